// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/AudioTabPresenter.h"

#include "core/AppState.h"
#include "models/CalibrationSavedProfile.h"
#include "models/NumberText.h"
#include "platform/Clock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/CalibrationProfileStore.h"
#include "services/MicFrequencyCorrection.h"
#include "services/MicResponseCalibrationService.h"
#include "services/PinkNoisePlayer.h"
#include "ui/presentation/HistoryDates.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace kavro::ui {

using models::fixedText;
using models::MicCalibrationState;
using Kind = models::MicCalibrationState::Kind;

namespace {

const QString kSystemDefault = QStringLiteral("System Default");
const QString kCheckmark = QStringLiteral("checkmark.circle.fill");

// "System Default" and one entry per device; a chosen device that is not connected
// keeps an entry of its own (named by its UID), so the picker never claims another.
template <typename Devices>
std::pair<QList<DeviceChoice>, int> deviceChoices(const Devices& devices, const QString& selectedUID) {
    QList<DeviceChoice> choices{{kSystemDefault, QString()}};
    int selected = selectedUID.isEmpty() ? 0 : -1;
    for (const auto& device : devices) {
        if (selected < 0 && device.uid == selectedUID) {
            selected = static_cast<int>(choices.size());
        }
        choices.append({device.displayName(), device.uid});
    }
    if (selected < 0) {
        selected = static_cast<int>(choices.size());
        choices.append({selectedUID, selectedUID});
    }
    return {choices, selected};
}

} // namespace

AudioTabPresenter::AudioTabPresenter(core::AppState& state, QObject* parent)
    : QObject(parent), m_state(state) {
    connect(&m_state, &core::AppState::changed, this, &AudioTabPresenter::changed);
    // The profile store announces its changes to its viewers itself.
    connect(&m_state.calibrationProfileStore(), &services::CalibrationProfileStore::changed, this,
            &AudioTabPresenter::changed);
}

// ---- rules ----

int AudioTabPresenter::sliderPositionForOffset(double offsetDb) {
    if (!std::isfinite(offsetDb)) {
        return kMinimumSliderPosition;
    }
    const double clamped = std::clamp(offsetDb, kMinimumOffsetDb, kMaximumOffsetDb);
    return static_cast<int>(std::lround(clamped * kStepsPerDb));
}

double AudioTabPresenter::offsetForSliderPosition(int position) {
    // A division, not a multiplication by 0.1: 941 / 10 is the double nearest 94.1.
    return std::clamp(position, kMinimumSliderPosition, kMaximumSliderPosition) / kStepsPerDb;
}

std::optional<QString> AudioTabPresenter::pinkNoiseTarget(const QString& outputUID, const QString& inputUID) {
    if (!outputUID.isEmpty()) {
        return outputUID;
    }
    if (!inputUID.isEmpty()) {
        return inputUID;
    }
    return std::nullopt;
}

QString AudioTabPresenter::liveReading(bool running, double currentSPL) {
    if (!running) {
        return QStringLiteral("Play noise or start a session");
    }
    if (currentSPL > 0) {
        return fixedText(currentSPL, 1) + QStringLiteral(" dBA");
    }
    return QStringLiteral("—");
}

AudioTabModel::Measurement AudioTabPresenter::measurementRow(const MicCalibrationState& state,
                                                             bool hasPermission) {
    AudioTabModel::Measurement row;
    const SettingsText status{state.text(), ColourRole::secondary, {}, {}};
    switch (state.kind()) {
    case Kind::Idle:
        row.showsMeasureButton = true;
        row.measureEnabled = hasPermission;
        if (!hasPermission) {
            row.measureCaption = QStringLiteral("Microphone permission is required.");
        }
        break;
    case Kind::Settling:
        row.spinner = true;
        row.status = status;
        row.showsCancel = true;
        break;
    case Kind::Measuring:
        row.status = status;
        row.progress = std::clamp(state.progress(), 0.0, 1.0);
        row.showsCancel = true;
        break;
    case Kind::Computing:
        row.spinner = true;
        row.status = status;
        break;
    case Kind::Done:
        row.status = SettingsText{status.text, ColourRole::secondary, kCheckmark, ColourRole::green};
        row.statusSymbolName = QStringLiteral("Done");
        row.showsDismiss = true;
        break;
    case Kind::Failed:
        row.status = SettingsText{status.text, ColourRole::secondary,
                                  QStringLiteral("exclamationmark.triangle.fill"), ColourRole::red};
        row.statusSymbolName = QStringLiteral("Failed");
        row.showsDismiss = true;
        break;
    }
    return row;
}

AudioTabModel::Calibration AudioTabPresenter::calibration(double offsetDb, bool running, double currentSPL,
                                                          bool pinkNoisePlaying,
                                                          const MicCalibrationState& measurement) {
    AudioTabModel::Calibration result;
    result.offsetText = fixedText(offsetDb, 1) + QStringLiteral(" dB");
    result.sliderPosition = sliderPositionForOffset(offsetDb);
    result.liveReading = liveReading(running, currentSPL);
    result.liveReadingIsLevel = running && currentSPL > 0;
    result.pinkNoiseButton = pinkNoisePlaying ? SettingsText{QStringLiteral("Stop Pink Noise"),
                                                             ColourRole::red,
                                                             QStringLiteral("stop.fill"),
                                                             {}}
                                              : SettingsText{QStringLiteral("Play Pink Noise"),
                                                             ColourRole::blue,
                                                             QStringLiteral("speaker.wave.2.fill"),
                                                             {}};
    result.pinkNoiseEnabled = !measurement.isRunning();
    if (!result.pinkNoiseEnabled) {
        result.pinkNoiseCaption = QStringLiteral("Pink noise in use by mic response measurement");
    } else if (pinkNoisePlaying) {
        result.pinkNoiseCaption = QStringLiteral("Adjust offset until reading stabilises");
    }
    return result;
}

QString AudioTabPresenter::saveProfileCaption(double offsetDb, bool hasCorrection,
                                              const QString& deviceName) {
    QString caption =
        QStringLiteral("Stores current level offset (") + fixedText(offsetDb, 1) + QStringLiteral(" dB)");
    if (hasCorrection) {
        caption += QStringLiteral(" + freq correction");
    }
    return caption + QStringLiteral(" for ") + deviceName + QLatin1Char('.');
}

// ---- the model ----

AudioTabModel AudioTabPresenter::model() const {
    const auto& audio = m_state.audioService();
    const auto& correction = m_state.micFreqCorrection();
    const MicCalibrationState& measurement = m_state.micResponseService().state();

    AudioTabModel model;
    model.input = inputDevice();
    model.output = outputDevice();
    model.micLocationNote = m_state.micLocationNote();
    model.correction = correctionStatus();
    if (correction.profile() && !correction.profile()->correctionCurve.isEmpty()) {
        model.chart = MicCorrectionCurveChart{correction.profile()->correctionCurve, correction.isEnabled()};
    }
    model.measurement = measurementRow(measurement, audio.hasPermission());
    model.showsClearMeasurement = correction.profile().has_value();
    model.calibration = calibration(m_state.calibrationOffset(), audio.isRunning(), audio.currentSPL(),
                                    m_state.pinkNoisePlayer().isPlaying(), measurement);
    model.saveProfileCaption =
        saveProfileCaption(m_state.calibrationOffset(), correction.profile().has_value(),
                           models::CalibrationSavedProfile::deviceNameFor(
                               m_state.selectedDeviceUID(), m_state.deviceManager().inputDevices()));
    model.savedProfiles = savedProfiles();
    return model;
}

AudioTabModel::InputDevice AudioTabPresenter::inputDevice() const {
    const auto& devices = m_state.deviceManager();
    AudioTabModel::InputDevice input;
    std::tie(input.microphones, input.selectedMicrophone) =
        deviceChoices(devices.inputDevices(), m_state.selectedDeviceUID());
    for (const auto& channel : devices.availableInputChannels()) {
        if (channel.index == devices.selectedChannelIndex()) {
            input.selectedChannel = static_cast<int>(input.channels.size());
        }
        input.channels.append({channel.name, channel.index});
    }
    input.showsChannels = input.channels.size() >= 2;
    if (!m_state.audioService().hasPermission()) {
        input.permissionWarning = SettingsText{
            QStringLiteral("Microphone access is required. Allow Kavro to use the microphone in your "
                           "system's privacy settings."),
            ColourRole::red,
            QStringLiteral("exclamationmark.triangle"),
            {}};
    }
    return input;
}

AudioTabModel::OutputDevice AudioTabPresenter::outputDevice() const {
    AudioTabModel::OutputDevice output;
    std::tie(output.outputs, output.selectedOutput) =
        deviceChoices(m_state.deviceManager().outputDevices(), m_state.selectedOutputDeviceUID());
    return output;
}

AudioTabModel::CorrectionStatus AudioTabPresenter::correctionStatus() const {
    const auto& correction = m_state.micFreqCorrection();
    if (!correction.profile()) {
        return {{QStringLiteral("No measurement — flat response assumed"),
                 ColourRole::secondary,
                 QStringLiteral("waveform.badge.exclamationmark"),
                 {}},
                {},
                false,
                false};
    }
    return {{QStringLiteral("Correction measured"), ColourRole::primary, kCheckmark, ColourRole::green},
            dateText(correction.profile()->measuredDate),
            true,
            correction.isEnabled()};
}

QList<AudioTabModel::SavedProfile> AudioTabPresenter::savedProfiles() const {
    QList<AudioTabModel::SavedProfile> rows;
    for (const auto& profile : m_state.calibrationProfileStore().profiles()) {
        rows.append({profile.id, profile.label, profile.deviceName,
                     dateText(profile.savedDate) + QStringLiteral(" · Offset at save: ") +
                         fixedText(profile.levelOffsetAtSave, 1) + QStringLiteral(" dB"),
                     profile.freqProfile.has_value()});
    }
    return rows;
}

QString AudioTabPresenter::dateText(const QDateTime& moment) const {
    // Written as the History window writes its days.
    return HistoryDates::mediumDate(m_state.clock().dayOf(moment), QLocale());
}

// ---- commands ----

void AudioTabPresenter::selectMicrophone(const QString& uid) {
    // Another device starts at its first channel (the device manager resets it when
    // the UID changes); the setting then restarts capture, when it runs, on the new
    // device. Choosing the same device again keeps its channel and restarts capture.
    m_state.setSelectedDeviceUID(uid);
}

void AudioTabPresenter::selectChannel(qint64 index) {
    m_state.deviceManager().setSelectedChannelIndex(index);
    m_state.audioService().switchDevice();
}

void AudioTabPresenter::refreshDevices() {
    m_state.deviceManager().refreshDevices();
}

void AudioTabPresenter::selectOutput(const QString& uid) {
    m_state.setSelectedOutputDeviceUID(uid);
}

void AudioTabPresenter::setMicLocationNote(const QString& note) {
    m_state.setMicLocationNote(note);
}

void AudioTabPresenter::measureResponse() {
    const QString& output = m_state.selectedOutputDeviceUID();
    m_state.micResponseService().start(&m_state.audioService(), &m_state.pinkNoisePlayer(),
                                       output.isEmpty() ? std::nullopt : std::optional<QString>(output),
                                       &m_state.micFreqCorrection());
}

void AudioTabPresenter::cancelMeasurement() {
    m_state.micResponseService().cancel();
}

void AudioTabPresenter::dismissMeasurement() {
    m_state.micResponseService().setState(MicCalibrationState::idle());
}

void AudioTabPresenter::setCorrectionEnabled(bool enabled) {
    m_state.micFreqCorrection().setIsEnabled(enabled);
}

void AudioTabPresenter::clearMeasurement() {
    m_state.micFreqCorrection().clear();
    auto& measurement = m_state.micResponseService();
    if (measurement.state().kind() == Kind::Done) {
        measurement.setState(MicCalibrationState::idle());
    }
}

void AudioTabPresenter::setSliderPosition(int position) {
    m_state.setCalibrationOffset(offsetForSliderPosition(position));
}

void AudioTabPresenter::setTypedOffset(double offsetDb) {
    if (std::isfinite(offsetDb)) {
        setSliderPosition(sliderPositionForOffset(offsetDb));
    }
}

void AudioTabPresenter::resetCalibrationOffset() {
    m_state.setCalibrationOffset(platform::Settings::defaultOf(platform::keys::calibrationOffset));
}

void AudioTabPresenter::togglePinkNoise() {
    auto& player = m_state.pinkNoisePlayer();
    // The measurement owns the noise while it runs; the button is disabled then.
    if (m_state.micResponseService().state().isRunning()) {
        return;
    }
    if (player.isPlaying()) {
        player.stop();
    } else {
        player.start(pinkNoiseTarget(m_state.selectedOutputDeviceUID(), m_state.selectedDeviceUID()));
    }
}

void AudioTabPresenter::saveProfile(const QString& label) {
    m_state.calibrationProfileStore().add(models::CalibrationSavedProfile::create(
        label, m_state.selectedDeviceUID(), m_state.deviceManager().inputDevices(),
        m_state.calibrationOffset(), m_state.clock().now(), m_state.micFreqCorrection().profile()));
}

void AudioTabPresenter::applyProfile(const QUuid& id) {
    auto& store = m_state.calibrationProfileStore();
    const auto& profiles = store.profiles();
    const auto found =
        std::find_if(profiles.begin(), profiles.end(), [&id](const auto& p) { return p.id == id; });
    if (found == profiles.end()) {
        return;
    }
    // A copy: applying may change the list the reference points into.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const models::CalibrationSavedProfile profile = *found;
    store.apply(profile, m_state.micFreqCorrection());
    m_state.setCalibrationOffset(profile.levelOffsetAtSave);
}

void AudioTabPresenter::deleteProfile(const QUuid& id) {
    m_state.calibrationProfileStore().deleteProfile(id);
}

} // namespace kavro::ui
