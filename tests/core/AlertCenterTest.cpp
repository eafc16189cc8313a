// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AlertCenter.h"

#include "dsp/ExposureLimits.h"
#include "models/NumberText.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/RecordingNotificationCenter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kavro::core {
namespace {

using models::DoseLevel;
using platform::NotificationSound;
using platform::testing::ManualClock;
using platform::testing::RecordingNotificationCenter;

class AlertCenterTest : public ::testing::Test {
protected:
    AlertCenterTest()
        : alerts(center, clock,
                 AlertCenter::Settings{[this] { return peakMonitoring; }, [this] { return timeSensitive; }},
                 [this] { return dose; }) {
        alerts.setupNotifications();
    }

    const std::vector<platform::NotificationRequest>& posted() const { return center.requests(); }
    void snooze() {
        ASSERT_TRUE(center.respond(QStringLiteral("dose-caution"), QStringLiteral("SNOOZE_30")));
    }
    // Fast ticks of 0.1 s at one level for a number of seconds.
    void holdLevel(double level, double seconds) {
        for (long tick = 0; tick < std::lround(seconds * 10.0); ++tick) {
            clock.advance(0.1);
            alerts.checkSustainedExposure(level);
        }
    }

    ManualClock clock;
    RecordingNotificationCenter center;
    bool peakMonitoring = true;
    bool timeSensitive = true;
    double dose = 0.0;
    AlertCenter alerts;
};

TEST_F(AlertCenterTest, RegistersSevenCategoriesWithTheirSnoozeButtons) {
    EXPECT_EQ(center.authorizationRequests(), 1);
    EXPECT_EQ(center.categoryRegistrations(), 1);
    std::map<QString, std::vector<platform::NotificationAction>> actions;
    for (const auto& category : center.categories()) {
        actions[category.identifier] = category.actions;
    }
    ASSERT_EQ(actions.size(), 7u);
    for (const QString id : {"SESSION_ALERT", "PEAK_ALERT", "INSTANTANEOUS_PEAK_ALERT", "SUSTAINED_SPL"}) {
        ASSERT_EQ(actions[id].size(), 1u) << id.toStdString();
        EXPECT_EQ(actions[id][0].identifier, "SNOOZE_30");
        EXPECT_EQ(actions[id][0].title, "Snooze 30 min");
        EXPECT_FALSE(actions[id][0].destructive);
    }
    ASSERT_EQ(actions["dose-danger"].size(), 1u);
    EXPECT_TRUE(actions["dose-danger"][0].destructive);
    EXPECT_TRUE(actions["SESSION_RECAP"].empty());
    EXPECT_TRUE(actions["DEVICE_DISCONNECTED"].empty());
}

TEST_F(AlertCenterTest, BandNotificationsCarryTheirTextsIdentifiersAndLevels) {
    alerts.sendThresholdNotification(DoseLevel::caution);
    alerts.sendThresholdNotification(DoseLevel::warning);
    alerts.sendThresholdNotification(DoseLevel::danger);
    alerts.sendThresholdNotification(DoseLevel::safe);
    ASSERT_EQ(posted().size(), 4u);

    // Each warning band names the threshold it crossed and says where the listener stands
    // on a second line; "safe" needs no second line.
    const struct {
        const char* identifier;
        std::optional<double> threshold;
        const char* category;
        NotificationSound sound;
        bool timeSensitive;
    } expected[] = {
        {"dose-caution", models::kCautionThresholdPercent, "SESSION_ALERT", NotificationSound::standard,
         false},
        {"dose-warning", models::kWarningThresholdPercent, "SESSION_ALERT", NotificationSound::standard,
         true},
        {"dose-danger", models::kDangerThresholdPercent, "dose-danger", NotificationSound::critical, true},
        {"dose-safe", std::nullopt, "SESSION_ALERT", NotificationSound::standard, false},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& request = posted()[i];
        SCOPED_TRACE(expected[i].identifier);
        EXPECT_EQ(request.identifier, expected[i].identifier);
        EXPECT_EQ(request.title.contains(QStringLiteral("(%1%").arg(expected[i].threshold.value_or(-1))),
                  expected[i].threshold.has_value())
            << request.title.toStdString();
        EXPECT_EQ(request.subtitle.has_value(), expected[i].threshold.has_value());
        EXPECT_FALSE(request.body.isEmpty());
        EXPECT_EQ(request.categoryIdentifier, expected[i].category);
        EXPECT_EQ(request.sound, expected[i].sound);
        EXPECT_EQ(request.timeSensitive, expected[i].timeSensitive);
    }
}

TEST_F(AlertCenterTest, TimeSensitiveSettingOffLeavesEveryAlertButTheDisconnectAtTheDefaultLevel) {
    timeSensitive = false;
    alerts.sendThresholdNotification(DoseLevel::danger);
    alerts.sendPeakNotification(141.0);
    alerts.sendInstantaneousPeakNotification(116.0);
    alerts.sendSustainedExposureNotification(95.0);
    alerts.sendSessionRecapNotification(5.0, 50.0);
    alerts.sendDeviceDisconnectedNotification();
    ASSERT_EQ(posted().size(), 6u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_FALSE(posted()[i].timeSensitive) << posted()[i].identifier.toStdString();
    }
    EXPECT_EQ(posted()[5].identifier, "device-disconnected");
    EXPECT_TRUE(posted()[5].timeSensitive);
    EXPECT_EQ(posted()[5].sound, NotificationSound::standard);
    // A lost output is named as such: its level never came from the microphone.
    alerts.sendDeviceDisconnectedNotification(true);
    EXPECT_EQ(posted().back().title, "Output Disconnected");
    EXPECT_FALSE(posted().back().body.contains("calibration")) << posted().back().body.toStdString();
}

TEST_F(AlertCenterTest, PeakRowIsChosenByTheUnroundedValue) {
    const struct {
        double peak;
        const char* title;
        NotificationSound sound;
        const char* bodyStart;
    } rows[] = {
        {141.2, "🔴 Impulse Peak: 141 dBC", NotificationSound::critical,
         "Turn down your monitoring level now."},
        {140.0, "🔴 Impulse Peak: 140 dBC", NotificationSound::critical, "Turn down"},
        {139.9, "🔶 Impulse Peak: 140 dBC", NotificationSound::standard, "Lower your monitoring level 3–6 dB"},
        {137.0, "🔶 Impulse Peak: 137 dBC", NotificationSound::standard, "Lower your"},
        {136.6, "⚠️ Impulse Peak: 137 dBC", NotificationSound::standard,
         "A loud transient just hit 135+ dBC."},
        {135.0, "⚠️ Impulse Peak: 135 dBC", NotificationSound::standard, "A loud transient"},
    };
    for (const auto& row : rows) {
        clock.advance(30.0);
        alerts.sendPeakNotification(row.peak);
        ASSERT_FALSE(posted().empty());
        const auto& request = posted().back();
        EXPECT_EQ(request.title, QString::fromUtf8(row.title)) << row.peak;
        EXPECT_EQ(request.sound, row.sound) << row.peak;
        EXPECT_TRUE(request.body.startsWith(QString::fromUtf8(row.bodyStart))) << row.peak;
        EXPECT_EQ(request.categoryIdentifier, "PEAK_ALERT");
        EXPECT_TRUE(request.timeSensitive);
        EXPECT_EQ(request.identifier, "peak-alert-" + AlertCenter::timeStamp(clock.now()));
    }
    EXPECT_EQ(posted().size(), std::size(rows));
}

// The band notifications quote their thresholds (tested with their texts above).
TEST_F(AlertCenterTest, TextsQuoteTheLimitsTheyAreBuiltFrom) {
    using models::fixedText;
    const auto quotes = [this](const QString& text) {
        return posted().back().title.contains(text) || posted().back().body.contains(text);
    };
    alerts.sendPeakNotification(dsp::eu::kPeakLimitDbc + 5);
    EXPECT_TRUE(quotes(fixedText(dsp::eu::kPeakLimitDbc, 0) + " dBC,"));
    clock.advance(AlertCenter::kPeakIntervalSeconds);
    alerts.sendPeakNotification(dsp::eu::kPeakLowerActionDbc);
    EXPECT_TRUE(quotes(fixedText(dsp::eu::kPeakLowerActionDbc, 0) + "+ dBC"));
    alerts.sendInstantaneousPeakNotification(dsp::eu::kInstantaneousPeakDba + 5);
    EXPECT_TRUE(quotes("exceeded " + fixedText(dsp::eu::kInstantaneousPeakDba, 0) + " dBA"));
}

TEST_F(AlertCenterTest, PeakRateLimitsAreThirtyAndSixtySecondsAndIndependent) {
    alerts.sendPeakNotification(141.2);
    alerts.sendInstantaneousPeakNotification(118.4);
    ASSERT_EQ(posted().size(), 2u);
    EXPECT_EQ(posted()[1].title, "⚠️ Peak Level: 118 dBA");
    EXPECT_EQ(posted()[1].sound, NotificationSound::critical);
    EXPECT_EQ(posted()[1].categoryIdentifier, "INSTANTANEOUS_PEAK_ALERT");
    EXPECT_TRUE(posted()[1].identifier.startsWith("instantaneous-peak-"));

    clock.advance(29.9);
    alerts.sendPeakNotification(141.2);
    EXPECT_EQ(posted().size(), 2u);
    clock.advance(0.1);
    alerts.sendPeakNotification(141.2);
    alerts.sendInstantaneousPeakNotification(118.4);
    EXPECT_EQ(posted().size(), 3u);

    clock.advance(29.9);
    alerts.sendInstantaneousPeakNotification(118.4);
    EXPECT_EQ(posted().size(), 3u);
    clock.advance(0.1);
    alerts.sendInstantaneousPeakNotification(118.4);
    ASSERT_EQ(posted().size(), 4u);
    EXPECT_TRUE(posted()[3].identifier.startsWith("instantaneous-peak-"));
}

TEST_F(AlertCenterTest, PeakMonitoringOffPostsNoPeaksAndLeavesTheRateLimitsAlone) {
    peakMonitoring = false;
    alerts.sendPeakNotification(141.0);
    alerts.sendInstantaneousPeakNotification(120.0);
    EXPECT_TRUE(posted().empty());
    EXPECT_FALSE(alerts.lastPeakNotificationTime());
    EXPECT_FALSE(alerts.lastInstantaneousPeakNotificationTime());

    alerts.sendThresholdNotification(DoseLevel::caution);
    alerts.sendSustainedExposureNotification(92.0);
    alerts.sendSessionRecapNotification(1.0, 10.0);
    alerts.sendDeviceDisconnectedNotification();
    EXPECT_EQ(posted().size(), 4u);

    // Turned back on, the first peak notifies at once.
    peakMonitoring = true;
    alerts.sendPeakNotification(141.0);
    EXPECT_EQ(posted().size(), 5u);
}

TEST_F(AlertCenterTest, SnoozeSilencesBandPeakAndSustainedForThirtyMinutesButNotRecapOrDisconnect) {
    const QDateTime snoozedAt = clock.now();
    snooze();
    ASSERT_TRUE(alerts.snoozedUntil());
    EXPECT_EQ(snoozedAt.secsTo(*alerts.snoozedUntil()), 1800);

    clock.advance(1799.9);
    alerts.sendThresholdNotification(DoseLevel::warning);
    alerts.sendPeakNotification(141.0);
    alerts.sendInstantaneousPeakNotification(120.0);
    alerts.sendSustainedExposureNotification(95.0);
    EXPECT_TRUE(posted().empty());
    // The gate comes before the rate limit, so a suppressed peak does not start one.
    EXPECT_FALSE(alerts.lastPeakNotificationTime());

    alerts.sendSessionRecapNotification(2.0, 30.0);
    alerts.sendDeviceDisconnectedNotification();
    ASSERT_EQ(posted().size(), 2u);
    EXPECT_EQ(posted()[0].categoryIdentifier, "SESSION_RECAP");
    EXPECT_EQ(posted()[1].categoryIdentifier, "DEVICE_DISCONNECTED");

    clock.advance(0.1);
    alerts.sendThresholdNotification(DoseLevel::warning);
    alerts.sendPeakNotification(141.0);
    alerts.sendInstantaneousPeakNotification(120.0);
    alerts.sendSustainedExposureNotification(95.0);
    EXPECT_EQ(posted().size(), 6u);
}

TEST_F(AlertCenterTest, OnlyTheSnoozeActionSnoozesAndASecondSnoozeRestartsTheHalfHour) {
    center.respond("dose-caution", platform::NotificationCenter::kDefaultActionIdentifier);
    EXPECT_FALSE(alerts.snoozedUntil());

    snooze();
    clock.advance(1000.0);
    snooze();
    clock.advance(1700.0);
    alerts.sendThresholdNotification(DoseLevel::danger);
    EXPECT_TRUE(posted().empty());
    clock.advance(100.0);
    alerts.sendThresholdNotification(DoseLevel::danger);
    EXPECT_EQ(posted().size(), 1u);
}

TEST_F(AlertCenterTest, SustainedAlertFiresTenMinutesAfterTheFirstLoudTickAndEveryTenAfter) {
    alerts.checkSustainedExposure(90.0); // the run starts here
    holdLevel(90.0, 599.9);
    EXPECT_TRUE(posted().empty());
    holdLevel(90.0, 0.1);
    ASSERT_EQ(posted().size(), 1u);
    EXPECT_EQ(posted()[0].identifier, "sustained-spl");
    EXPECT_EQ(posted()[0].categoryIdentifier, "SUSTAINED_SPL");
    EXPECT_EQ(posted()[0].title, "🔊 Sustained 90 dBA — 10 min");

    holdLevel(90.0, 600.0);
    EXPECT_EQ(posted().size(), 2u);
}

TEST_F(AlertCenterTest, OneQuieterTickOrASessionEndRestartsTheSustainedCount) {
    alerts.checkSustainedExposure(95.0);
    holdLevel(95.0, 300.0);
    holdLevel(89.9, 0.1);
    EXPECT_FALSE(alerts.sustainedHighSPLStart());
    holdLevel(95.0, 600.0); // the first of these restarts the run
    EXPECT_TRUE(posted().empty());
    holdLevel(95.0, 0.1);
    EXPECT_EQ(posted().size(), 1u);

    holdLevel(95.0, 300.0);
    alerts.clearSustainedWatch();
    holdLevel(95.0, 600.0);
    EXPECT_EQ(posted().size(), 1u);
    holdLevel(95.0, 0.1);
    EXPECT_EQ(posted().size(), 2u);
}

TEST_F(AlertCenterTest, SnoozedSustainedWindowStillRestartsTheCount) {
    snooze();
    alerts.checkSustainedExposure(92.0);
    holdLevel(92.0, 600.0);
    EXPECT_TRUE(posted().empty());
    ASSERT_TRUE(alerts.sustainedHighSPLStart());
    EXPECT_EQ(*alerts.sustainedHighSPLStart(), clock.now());
}

TEST_F(AlertCenterTest, SustainedBodyDependsOnTheMinutesLeft) {
    const QString opening94 = "You've been at 94 dBA for 10 minutes";
    dose = 0.5; // allowed 1 h at 94 dBA, half used
    alerts.sendSustainedExposureNotification(94.0);
    dose = 0.1; // allowed 2 h at 91 dBA, 108 min left
    alerts.sendSustainedExposureNotification(91.0);
    dose = 1.0;
    alerts.sendSustainedExposureNotification(94.0);
    dose = 1.7;
    alerts.sendSustainedExposureNotification(90.4);
    ASSERT_EQ(posted().size(), 4u);
    EXPECT_EQ(posted()[0].body, opening94 +
                                    ". Only ~30 min of safe listening left today — consider a break or "
                                    "lower your monitors.");
    EXPECT_EQ(posted()[1].body,
              "You've been at 91 dBA for 10 minutes. ~1.8 hrs of safe listening left today. "
              "Lowering by 6 dB gives you 4× more time.");
    EXPECT_EQ(posted()[2].body, opening94 + " and your daily dose is nearly used up. Rest your ears now.");
    EXPECT_EQ(posted()[3].title, "🔊 Sustained 90 dBA — 10 min");
    EXPECT_TRUE(posted()[3].body.endsWith("nearly used up. Rest your ears now."));
}

TEST_F(AlertCenterTest, SustainedMinutesAreTruncatedAtTheBoundaryOfTheHoursForm) {
    // At 90 dBA 8/2^(5/3) h are allowed, about 151.2 min; a dose leaving 61.x min
    // stays in the hours form and 60.x min falls into the minutes form.
    const double allowedMinutes = 8.0 / std::pow(2.0, 5.0 / 3.0) * 60.0;
    dose = 1.0 - 61.5 / allowedMinutes;
    alerts.sendSustainedExposureNotification(90.0);
    dose = 1.0 - 60.9 / allowedMinutes;
    alerts.sendSustainedExposureNotification(90.0);
    dose = 1.0 - 0.9 / allowedMinutes;
    alerts.sendSustainedExposureNotification(90.0);
    ASSERT_EQ(posted().size(), 3u);
    EXPECT_TRUE(posted()[0].body.contains("~1.0 hrs of safe listening")) << posted()[0].body.toStdString();
    EXPECT_TRUE(posted()[1].body.contains("Only ~60 min")) << posted()[1].body.toStdString();
    EXPECT_TRUE(posted()[2].body.contains("nearly used up")) << posted()[2].body.toStdString();
}

TEST_F(AlertCenterTest, RecapNeedsATenthOfAPercentAndNeverShowsNegativeRemaining) {
    alerts.sendSessionRecapNotification(0.05, 12.0);
    EXPECT_TRUE(posted().empty());
    alerts.sendSessionRecapNotification(0.1, 12.34);
    clock.advance(1.5);
    alerts.sendSessionRecapNotification(35.0, 120.0);
    ASSERT_EQ(posted().size(), 2u);
    EXPECT_EQ(posted()[0].title, "Session complete");
    EXPECT_EQ(posted()[0].body,
              "This session used 0.1% of your daily dose. Running total: 12.3% — 87.7% remaining today.");
    EXPECT_EQ(posted()[0].categoryIdentifier, "SESSION_RECAP");
    EXPECT_FALSE(posted()[0].timeSensitive);
    EXPECT_EQ(posted()[1].body,
              "This session used 35.0% of your daily dose. Running total: 120.0% — 0.0% remaining today.");
    EXPECT_NE(posted()[0].identifier, posted()[1].identifier);
    EXPECT_EQ(posted()[1].identifier, "session-recap-" + AlertCenter::timeStamp(clock.now()));
}

TEST(AlertTimeStamp, IsTheShortestRoundTripDecimalWithAFraction) {
    const auto at = [](qint64 msecs) { return QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc()); };
    EXPECT_EQ(AlertCenter::timeStamp(at(1741944413000)), "1741944413.0");
    EXPECT_EQ(AlertCenter::timeStamp(at(1741944413125)), "1741944413.125");
    EXPECT_EQ(AlertCenter::timeStamp(at(1741944413100)), "1741944413.1");
    EXPECT_EQ(AlertCenter::timeStamp(at(1741944413001)), "1741944413.001");
    EXPECT_EQ(AlertCenter::timeStamp(at(0)), "0.0");
}

TEST(AlertCenterLifetime, DestroyedAlertsNoLongerAnswerResponses) {
    ManualClock clock;
    RecordingNotificationCenter center;
    {
        AlertCenter alerts(center, clock, {}, {});
        alerts.setupNotifications();
    }
    EXPECT_FALSE(center.respond("dose-danger", "SNOOZE_30"));
}

} // namespace
} // namespace kavro::core
