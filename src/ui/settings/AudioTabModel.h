// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/MicCorrectionCurveChart.h"
#include "ui/settings/SettingsText.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace kavro::ui {

// One entry of a device picker: what it shows and the UID it stands for.
struct DeviceChoice {
    QString text;
    QString uid;

    friend bool operator==(const DeviceChoice&, const DeviceChoice&) = default;
};

// One entry of the channel picker.
struct ChannelChoice {
    QString text;
    qint64 index = 0;

    friend bool operator==(const ChannelChoice&, const ChannelChoice&) = default;
};

// Everything the Audio tab shows, already worded: the devices, the microphone's
// location, the response measurement, the level calibration and the saved profiles.
struct AudioTabModel {
    struct InputDevice {
        QList<DeviceChoice> microphones; // "System Default" first
        int selectedMicrophone = 0;
        // Only shown with at least two channels.
        QList<ChannelChoice> channels;
        int selectedChannel = 0;
        bool showsChannels = false;
        std::optional<SettingsText> permissionWarning;
        friend bool operator==(const InputDevice&, const InputDevice&) = default;
    };

    struct OutputDevice {
        QList<DeviceChoice> outputs; // "System Default" first
        int selectedOutput = 0;
        friend bool operator==(const OutputDevice&, const OutputDevice&) = default;
    };

    // The stored correction: whether there is one, when it was measured, its switch.
    struct CorrectionStatus {
        SettingsText title;   // "Correction measured" or "No measurement — flat response assumed"
        QString measuredDate; // empty without a correction
        bool showsSwitch = false;
        bool enabled = false;
        friend bool operator==(const CorrectionStatus&, const CorrectionStatus&) = default;
    };

    // The row of the response measurement, by the measurement's state.
    struct Measurement {
        bool spinner = false;
        std::optional<SettingsText> status;
        // What a screen reader says for the status symbol: "Done" or "Failed".
        QString statusSymbolName;
        std::optional<double> progress; // 0 … 1, while capturing
        bool showsMeasureButton = false;
        bool measureEnabled = false;
        std::optional<QString> measureCaption; // why the button is disabled
        bool showsCancel = false;
        bool showsDismiss = false;
        friend bool operator==(const Measurement&, const Measurement&) = default;
    };

    struct Calibration {
        QString offsetText; // "94.0 dB"
        int sliderPosition = 0;
        QString liveReading;             // "85.3 dBA", "—" or "Play noise or start a session"
        bool liveReadingIsLevel = false; // a number, drawn in fixed-width digits
        SettingsText pinkNoiseButton;
        bool pinkNoiseEnabled = true;
        std::optional<QString> pinkNoiseCaption;
        friend bool operator==(const Calibration&, const Calibration&) = default;
    };

    struct SavedProfile {
        QUuid id;
        QString label;
        QString deviceName;
        QString detail; // "Mar 14, 2025 · Offset at save: 94.0 dB"
        bool hasCorrection = false;
        friend bool operator==(const SavedProfile&, const SavedProfile&) = default;
    };

    InputDevice input;
    OutputDevice output;
    QString micLocationNote;
    CorrectionStatus correction;
    std::optional<MicCorrectionCurveChart> chart;
    Measurement measurement;
    bool showsClearMeasurement = false;
    Calibration calibration;
    QString saveProfileCaption;
    // Newest first; the section is absent while the list is empty.
    QList<SavedProfile> savedProfiles;

    friend bool operator==(const AudioTabModel&, const AudioTabModel&) = default;
};

} // namespace kavro::ui
