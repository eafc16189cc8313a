// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AlertCenter.h"

#include "dsp/DoseMath.h"
#include "dsp/ExposureLimits.h"
#include "models/NumberText.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cmath>

namespace kavro::core {

using models::fixedText;
using platform::NotificationAction;
using platform::NotificationCategory;
using platform::NotificationRequest;
using platform::NotificationSound;

namespace {

const QString kSnoozeTitle = QStringLiteral("Snooze 30 min");

const QString kSessionAlertCategory = QStringLiteral("SESSION_ALERT");
const QString kDangerCategory = QStringLiteral("dose-danger");
const QString kPeakCategory = QStringLiteral("PEAK_ALERT");
const QString kInstantaneousPeakCategory = QStringLiteral("INSTANTANEOUS_PEAK_ALERT");
const QString kRecapCategory = QStringLiteral("SESSION_RECAP");
const QString kSustainedCategory = QStringLiteral("SUSTAINED_SPL");
const QString kDisconnectedCategory = QStringLiteral("DEVICE_DISCONNECTED");

// The length of the sustained-listening window in whole minutes, as the texts say it.
constexpr int kSustainedWindowMinutes = 10;

double secondsBetween(const QDateTime& from, const QDateTime& to) {
    return static_cast<double>(from.msecsTo(to)) / 1000.0;
}

// Hours of listening allowed per day at a level; unlimited below the level at which
// nothing counts.
double allowedHours(double levelDb) {
    return levelDb >= dsp::niosh::kThresholdDb ? dsp::dose::allowedHours(levelDb) : INFINITY;
}

// "40%": a band's lower edge as the texts quote it.
QString percent(double threshold) {
    return fixedText(threshold, 0) + QLatin1Char('%');
}

// "140 dBC": a peak limit as the texts quote it.
QString dbc(double level) {
    return fixedText(level, 0) + QStringLiteral(" dBC");
}

struct BandText {
    QString title;
    std::optional<QString> subtitle;
    QString body;
    NotificationSound sound;
    QString category;
};

BandText bandText(models::DoseLevel level) {
    switch (level) {
    case models::DoseLevel::safe:
        return {QStringLiteral("Hearing Dose: Safe"), std::nullopt,
                QStringLiteral("Your hearing dose is within safe limits."), NotificationSound::standard,
                kSessionAlertCategory};
    case models::DoseLevel::caution:
        return {
            QStringLiteral("⚠️ Hearing Dose: Caution (") + percent(models::kCautionThresholdPercent) +
                QStringLiteral(")"),
            QStringLiteral("You've been in the caution zone"),
            QStringLiteral("Try lowering your monitor volume by 3–6 dB. Even a small reduction significantly "
                           "extends your safe listening time."),
            NotificationSound::standard, kSessionAlertCategory};
    case models::DoseLevel::warning:
        return {
            QStringLiteral("🔶 Hearing Dose: Warning (") + percent(models::kWarningThresholdPercent) +
                QStringLiteral(")"),
            QStringLiteral("Approaching your daily exposure limit"),
            QStringLiteral("Take a 10–15 minute break away from speakers, or turn monitors down now. At this "
                           "level you have less than 2 hours of safe exposure remaining today."),
            NotificationSound::standard, kSessionAlertCategory};
    case models::DoseLevel::danger:
        return {
            QStringLiteral("🔴 Hearing Dose: Over-exposed (") + percent(models::kDangerThresholdPercent) +
                QStringLiteral("+)"),
            QStringLiteral("Daily NIOSH limit exceeded"),
            QStringLiteral("Step away from your monitors. Your daily hearing dose is exceeded — continued "
                           "exposure risks permanent hearing damage. Rest, then resume at a lower level."),
            NotificationSound::critical, kDangerCategory};
    }
    return {};
}

} // namespace

AlertCenter::AlertCenter(platform::NotificationCenter& center, const platform::Clock& clock,
                         Settings settings, DoseSource accumulatedDose)
    : m_center(center), m_clock(clock), m_settings(std::move(settings)),
      m_accumulatedDose(std::move(accumulatedDose)) {}

AlertCenter::~AlertCenter() {
    m_center.setResponseHandler({});
}

std::vector<NotificationCategory> AlertCenter::categories() {
    const NotificationAction snooze{kSnoozeActionIdentifier, kSnoozeTitle, false};
    const NotificationAction destructiveSnooze{kSnoozeActionIdentifier, kSnoozeTitle, true};
    return {
        {kSessionAlertCategory, {snooze}},
        {kDangerCategory, {destructiveSnooze}},
        {kPeakCategory, {snooze}},
        {kInstantaneousPeakCategory, {snooze}},
        {kRecapCategory, {}},
        {kSustainedCategory, {snooze}},
        {kDisconnectedCategory, {}},
    };
}

QString AlertCenter::timeStamp(const QDateTime& moment) {
    return models::shortestFixedText(static_cast<double>(moment.toMSecsSinceEpoch()) / 1000.0);
}

void AlertCenter::setupNotifications() {
    m_center.setResponseHandler(
        [this](const platform::NotificationResponse& response) { handleResponse(response); });
    m_center.requestAuthorization();
    m_center.setCategories(categories());
}

bool AlertCenter::isSnoozed(const QDateTime& now) const {
    return m_snoozedUntil && now < *m_snoozedUntil;
}

bool AlertCenter::timeSensitive() const {
    return !m_settings.timeSensitiveNotifications || m_settings.timeSensitiveNotifications();
}

void AlertCenter::sendThresholdNotification(models::DoseLevel level) {
    if (isSnoozed(m_clock.now())) {
        return;
    }
    BandText text = bandText(level);
    NotificationRequest request;
    request.identifier = QStringLiteral("dose-") + models::rawValue(level);
    request.title = std::move(text.title);
    request.subtitle = std::move(text.subtitle);
    request.body = std::move(text.body);
    request.sound = text.sound;
    request.categoryIdentifier = std::move(text.category);
    request.timeSensitive =
        timeSensitive() && (level == models::DoseLevel::warning || level == models::DoseLevel::danger);
    m_center.add(request);
}

bool AlertCenter::passPeakGates(std::optional<QDateTime>& lastNotification, double intervalSeconds,
                                const QDateTime& now) {
    if (m_settings.peakMonitoringEnabled && !m_settings.peakMonitoringEnabled()) {
        return false;
    }
    if (isSnoozed(now)) {
        return false;
    }
    if (lastNotification && secondsBetween(*lastNotification, now) < intervalSeconds) {
        return false;
    }
    lastNotification = now;
    return true;
}

void AlertCenter::sendPeakNotification(double peakDB) {
    const QDateTime now = m_clock.now();
    if (!passPeakGates(m_lastPeakNotificationTime, kPeakIntervalSeconds, now)) {
        return;
    }

    // The row is chosen by the exact value; only the title shows it rounded.
    const QString value = fixedText(peakDB, 0);
    NotificationRequest request;
    if (peakDB >= dsp::eu::kPeakLimitDbc) {
        request.title = QStringLiteral("🔴 Impulse Peak: ") + value + QStringLiteral(" dBC");
        request.body =
            QStringLiteral("Turn down your monitoring level now. At ") + dbc(dsp::eu::kPeakLimitDbc) +
            QStringLiteral(
                ", a single impulse can cause permanent mechanical damage to hair cells. Pull back "
                "the offending element or lower your monitor trim.");
        request.sound = NotificationSound::critical;
    } else if (peakDB >= dsp::eu::kPeakUpperActionDbc) {
        request.title = QStringLiteral("🔶 Impulse Peak: ") + value + QStringLiteral(" dBC");
        request.body =
            QStringLiteral("Lower your monitoring level 3–6 dB, or tame the source — kick, snare, or a "
                           "transient-heavy bus. Repeated peaks here accumulate mechanical risk that "
                           "A-weighted dose won't capture.");
    } else {
        request.title = QStringLiteral("⚠️ Impulse Peak: ") + value + QStringLiteral(" dBC");
        request.body =
            QStringLiteral("A loud transient just hit ") + fixedText(dsp::eu::kPeakLowerActionDbc, 0) +
            QStringLiteral("+ dBC. If this keeps recurring, the source element may be uncontrolled — "
                           "consider a limiter on that bus, or nudge your monitor trim down a couple of dB.");
    }
    request.categoryIdentifier = kPeakCategory;
    request.timeSensitive = timeSensitive();
    request.identifier = QStringLiteral("peak-alert-") + timeStamp(now);
    m_center.add(request);
}

void AlertCenter::sendInstantaneousPeakNotification(double peakDB) {
    const QDateTime now = m_clock.now();
    if (!passPeakGates(m_lastInstantaneousPeakNotificationTime, kInstantaneousPeakIntervalSeconds, now)) {
        return;
    }

    NotificationRequest request;
    request.title = QStringLiteral("⚠️ Peak Level: ") + fixedText(peakDB, 0) + QStringLiteral(" dBA");
    request.body =
        QStringLiteral("An instantaneous A-weighted peak just exceeded ") +
        fixedText(dsp::eu::kInstantaneousPeakDba, 0) +
        QStringLiteral(" dBA — the EU legal ceiling (Directive 2003/10/EC). This is a transient event, but "
                       "repeated occurrences cause mechanical hair cell fatigue. Check for uncontrolled "
                       "transients on your loudest bus, or lower your monitor trim.");
    request.sound = NotificationSound::critical;
    request.categoryIdentifier = kInstantaneousPeakCategory;
    request.timeSensitive = timeSensitive();
    request.identifier = QStringLiteral("instantaneous-peak-") + timeStamp(now);
    m_center.add(request);
}

void AlertCenter::checkSustainedExposure(double spl) {
    if (!(spl >= kSustainedLevelDb)) {
        m_sustainedHighSPLStart.reset();
        return;
    }
    const QDateTime now = m_clock.now();
    if (!m_sustainedHighSPLStart) {
        m_sustainedHighSPLStart = now;
        return;
    }
    if (secondsBetween(*m_sustainedHighSPLStart, now) >= kSustainedWindowSeconds) {
        sendSustainedExposureNotification(spl);
        // The next window starts now even when the snooze kept this one quiet.
        m_sustainedHighSPLStart = now;
    }
}

void AlertCenter::sendSustainedExposureNotification(double spl) {
    if (isSnoozed(m_clock.now())) {
        return;
    }
    const double dose = m_accumulatedDose ? m_accumulatedDose() : 0.0;
    const double minutes = allowedHours(spl) * std::max(0.0, 1.0 - dose) * 60.0;
    // Whole minutes, the fraction discarded.
    const long long m = std::isfinite(minutes) ? static_cast<long long>(minutes) : 0;
    const QString level = fixedText(spl, 0);
    const QString window = QString::number(kSustainedWindowMinutes);

    NotificationRequest request;
    request.title =
        QStringLiteral("🔊 Sustained ") + level + QStringLiteral(" dBA — ") + window + QStringLiteral(" min");
    const QString opening = QStringLiteral("You've been at ") + level + QStringLiteral(" dBA for ") + window;
    if (m >= 61) {
        request.body =
            opening + QStringLiteral(" minutes. ~") + fixedText(static_cast<double>(m) / 60.0, 1) +
            QStringLiteral(" hrs of safe listening left today. Lowering by 6 dB gives you 4× more time.");
    } else if (m >= 1) {
        request.body =
            opening + QStringLiteral(" minutes. Only ~") + QString::number(m) +
            QStringLiteral(" min of safe listening left today — consider a break or lower your monitors.");
    } else {
        request.body =
            opening + QStringLiteral(" minutes and your daily dose is nearly used up. Rest your ears now.");
    }
    request.sound = NotificationSound::standard;
    request.categoryIdentifier = kSustainedCategory;
    request.timeSensitive = timeSensitive();
    request.identifier = QStringLiteral("sustained-spl");
    m_center.add(request);
}

void AlertCenter::sendSessionRecapNotification(double sessionDose, double totalDose) {
    if (!(sessionDose >= 0.1)) {
        return;
    }
    NotificationRequest request;
    request.title = QStringLiteral("Session complete");
    request.body = QStringLiteral("This session used ") + fixedText(sessionDose, 1) +
                   QStringLiteral("% of your daily dose. Running total: ") + fixedText(totalDose, 1) +
                   QStringLiteral("% — ") + fixedText(std::max(0.0, 100.0 - totalDose), 1) +
                   QStringLiteral("% remaining today.");
    request.sound = NotificationSound::standard;
    request.categoryIdentifier = kRecapCategory;
    request.identifier = QStringLiteral("session-recap-") + timeStamp(m_clock.now());
    m_center.add(request);
}

void AlertCenter::sendDeviceDisconnectedNotification(bool outputLost) {
    NotificationRequest request;
    request.title =
        outputLost ? QStringLiteral("Output Disconnected") : QStringLiteral("Microphone Disconnected");
    // An output's level comes from its profile, not from the microphone's calibration.
    request.body =
        outputLost
            ? QStringLiteral(
                  "Measurement stopped. Kavro measures again as soon as an output to measure is back.")
            : QStringLiteral("Measurement stopped. If you reconnect a different device or adjust input gain, "
                             "recalibrate before resuming — your calibration offset is device-specific.");
    request.sound = NotificationSound::standard;
    request.categoryIdentifier = kDisconnectedCategory;
    // A lost microphone always breaks through, whatever the setting says.
    request.timeSensitive = true;
    request.identifier = QStringLiteral("device-disconnected");
    m_center.add(request);
}

void AlertCenter::sendHistorySaveFailedNotification(const QString& reason) {
    NotificationRequest request;
    request.title = QStringLiteral("Session history not saved");
    request.body =
        QStringLiteral("Your sessions are kept and will be saved as soon as writing works again (%1).")
            .arg(reason);
    request.sound = NotificationSound::standard;
    // One identifier: a later failure replaces this notice instead of adding another.
    request.identifier = QStringLiteral("history-save-failed");
    m_center.add(request);
}

void AlertCenter::handleResponse(const platform::NotificationResponse& response) {
    if (response.actionIdentifier == kSnoozeActionIdentifier) {
        m_snoozedUntil = m_clock.now().addMSecs(static_cast<qint64>(kSnoozeSeconds * 1000.0));
    }
}

} // namespace kavro::core
