// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/MicCalibrationState.h"
#include "ui/settings/AudioTabModel.h"

#include <QObject>

#include <optional>

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

// What the Audio tab shows and what its controls do, without any widget: the input
// and output devices, the microphone's location note, the response measurement with
// the stored correction, the level calibration with the pink-noise test signal, and
// the saved calibration profiles.
class AudioTabPresenter : public QObject {
    Q_OBJECT
public:
    // The offset slider and field: 60 … 120 dB in steps of 0.1 dB, one slider position
    // per step (the position is the offset in tenths of a decibel).
    static constexpr double kMinimumOffsetDb = 60.0;
    static constexpr double kMaximumOffsetDb = 120.0;
    static constexpr double kStepsPerDb = 10.0;
    static constexpr int kMinimumSliderPosition = 600;
    static constexpr int kMaximumSliderPosition = 1200;

    // The state must outlive the presenter.
    explicit AudioTabPresenter(core::AppState& state, QObject* parent = nullptr);

    AudioTabModel model() const;

    // Commands.
    // Selects the input device (empty: the system default); a different device starts
    // at its first channel, and capture, when it runs, restarts on it.
    void selectMicrophone(const QString& uid);
    void selectChannel(qint64 index);
    void refreshDevices();
    void selectOutput(const QString& uid);
    void setMicLocationNote(const QString& note);
    void measureResponse();
    void cancelMeasurement();
    void dismissMeasurement();
    void setCorrectionEnabled(bool enabled);
    // Removes the stored correction; a finished measurement's message goes with it.
    void clearMeasurement();
    void setSliderPosition(int position);
    // A typed offset, to the nearest 0.1 dB within the slider's range.
    void setTypedOffset(double offsetDb);
    void resetCalibrationOffset();
    void togglePinkNoise();
    // Saves the current calibration under the label, or the device's name when the
    // label is blank.
    void saveProfile(const QString& label);
    void applyProfile(const QUuid& id);
    void deleteProfile(const QUuid& id);

    // The rules, for the view and the tests alike.
    static int sliderPositionForOffset(double offsetDb);
    static double offsetForSliderPosition(int position);
    // Where the pink noise of the level calibration plays: the chosen output, else the
    // chosen input device's UID (one device for both), else the system default (none).
    static std::optional<QString> pinkNoiseTarget(const QString& outputUID, const QString& inputUID);
    static QString liveReading(bool running, double currentSPL);
    static AudioTabModel::Measurement measurementRow(const models::MicCalibrationState& state,
                                                     bool hasPermission);
    static AudioTabModel::Calibration calibration(double offsetDb, bool running, double currentSPL,
                                                  bool pinkNoisePlaying,
                                                  const models::MicCalibrationState& measurement);
    static QString saveProfileCaption(double offsetDb, bool hasCorrection, const QString& deviceName);

signals:
    // Something the model shows may have changed.
    void changed();

private:
    AudioTabModel::InputDevice inputDevice() const;
    AudioTabModel::OutputDevice outputDevice() const;
    AudioTabModel::CorrectionStatus correctionStatus() const;
    QList<AudioTabModel::SavedProfile> savedProfiles() const;
    QString dateText(const QDateTime& moment) const;

    core::AppState& m_state;
};

} // namespace kavro::ui
