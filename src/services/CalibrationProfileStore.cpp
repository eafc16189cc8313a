// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/CalibrationProfileStore.h"

#include "services/MicFrequencyCorrection.h"

namespace kavro::services {

CalibrationProfileStore::CalibrationProfileStore(platform::Settings settings, QObject* parent)
    : QObject(parent), m_settings(settings) {
    load();
}

void CalibrationProfileStore::add(const models::CalibrationSavedProfile& profile) {
    m_profiles.prepend(profile);
    persist();
    emit changed();
}

void CalibrationProfileStore::deleteProfile(const QUuid& id) {
    m_profiles.removeIf([&id](const models::CalibrationSavedProfile& profile) { return profile.id == id; });
    persist();
    emit changed();
}

void CalibrationProfileStore::apply(const models::CalibrationSavedProfile& profile,
                                    MicFrequencyCorrection& correction) const {
    if (!profile.freqProfile) {
        return;
    }
    // A refused correction is not switched on (decoded profiles are never refused).
    if (!correction.save(*profile.freqProfile)) {
        correction.setIsEnabled(true);
    }
}

void CalibrationProfileStore::load() {
    const auto data = m_settings.stored(platform::keys::calibrationProfiles);
    if (!data) {
        return;
    }
    if (auto decoded = models::CalibrationSavedProfile::decodeList(*data)) {
        m_profiles = std::move(*decoded);
    }
}

void CalibrationProfileStore::persist() {
    // On an encoding failure the previous stored value stays; the list in memory keeps the change.
    if (const auto data = models::CalibrationSavedProfile::encodeList(m_profiles)) {
        m_settings.setValue(platform::keys::calibrationProfiles, *data);
    }
}

} // namespace kavro::services
