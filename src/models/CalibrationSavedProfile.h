// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/AudioDevice.h"
#include "models/MicCorrectionProfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace kavro::models {

// One saved calibration of an input device: its level offset and, when one was
// stored, its microphone correction, under a label the user chose.
struct CalibrationSavedProfile {
    QUuid id;
    QString label;
    QString deviceUID;            // empty: the system default input
    QString deviceName;           // display name at save time
    double levelOffsetAtSave = 0; // dB
    QDateTime savedDate;
    std::optional<MicCorrectionProfile> freqProfile;

    bool operator==(const CalibrationSavedProfile&) const = default;

    // The name a profile records for the selected input: "System Default" for the
    // default input, the device's display name, or the UID itself for a device that is gone.
    static QString deviceNameFor(const QString& selectedDeviceUID, const QList<AudioDevice>& inputDevices);

    // A new profile as the "Save" command makes it: a fresh id; the device name from
    // the input list ("System Default" for the default input, the UID itself for a
    // device that is gone); the label trimmed of spaces and tabs, else the device name.
    static CalibrationSavedProfile create(const QString& labelText, const QString& selectedDeviceUID,
                                          const QList<AudioDevice>& inputDevices, double calibrationOffset,
                                          const QDateTime& now,
                                          std::optional<MicCorrectionProfile> freqProfile);

    // None when a value cannot be encoded (see MicCorrectionProfile).
    std::optional<QJsonObject> toJson() const;
    // Every key but "freqProfile" is required; unknown keys are ignored.
    static std::optional<CalibrationSavedProfile> fromJson(const QJsonObject& object);

    // The stored form: a compact UTF-8 JSON array, in list order.
    static std::optional<QByteArray> encodeList(const QList<CalibrationSavedProfile>& profiles);
    // None when any element fails to decode.
    static std::optional<QList<CalibrationSavedProfile>> decodeList(const QByteArray& data);
};

} // namespace kavro::models
