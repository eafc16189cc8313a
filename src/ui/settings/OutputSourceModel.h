// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/AudioTabModel.h"

#include <QList>
#include <QString>

#include <optional>

namespace kavro::ui {

// What the "Measure From" and "Output Profile" sections show, already worded.
struct OutputSourceModel {
    // "Microphone", "Output", "Automatic", in that order.
    int selectedSource = 0;
    QString sourceCaption;

    QList<DeviceChoice> outputs; // one per output device; empty when there is none
    int selectedOutput = -1;
    QString reference;  // "110.0 dB SPL at full scale"
    SettingsText basis; // "Estimated: nothing is known about this output yet", ...
    bool canReset = false;

    // The measurement with the microphone.
    bool measureEnabled = false;
    bool showsMeasure = true;
    bool showsCancel = false;
    bool showsDismiss = false;
    std::optional<double> progress;
    std::optional<SettingsText> measurementStatus;
    // What a screen reader says for the status symbol: "Done" or "Failed".
    QString measurementSymbolName;

    friend bool operator==(const OutputSourceModel&, const OutputSourceModel&) = default;
};

} // namespace kavro::ui
