// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/CalibrationSavedProfile.h"
#include "platform/Settings.h"

#include <QList>
#include <QObject>
#include <QUuid>

namespace kavro::services {

class MicFrequencyCorrection;

// The saved calibration profiles, newest first, kept as one JSON array in the
// preferences and rewritten after every change.
class CalibrationProfileStore : public QObject {
    Q_OBJECT
public:
    // Loads the stored list; missing or undecodable data gives an empty list.
    explicit CalibrationProfileStore(platform::Settings settings, QObject* parent = nullptr);

    const QList<models::CalibrationSavedProfile>& profiles() const { return m_profiles; }

    // Inserts at the front.
    void add(const models::CalibrationSavedProfile& profile);
    // Removes every profile with this id (none is fine); the list is stored either way.
    void deleteProfile(const QUuid& id);
    // Restores the profile's microphone correction and switches it on; a profile
    // without one leaves the current correction as it is. The level offset is the
    // caller's to restore.
    void apply(const models::CalibrationSavedProfile& profile, MicFrequencyCorrection& correction) const;

signals:
    void changed();

private:
    void load();
    void persist();

    platform::Settings m_settings;
    QList<models::CalibrationSavedProfile> m_profiles;
};

} // namespace kavro::services
