// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/OutputProfileStore.h"

#include <algorithm>

namespace kavro::services {

OutputProfileStore::OutputProfileStore(platform::Settings settings, QObject* parent)
    : QObject(parent), m_settings(settings) {
    reload();
}

void OutputProfileStore::reload() {
    const auto data = m_settings.stored(platform::keys::outputProfiles);
    m_profiles = data ? models::OutputProfile::decodeList(*data) : QList<models::OutputProfile>();
    emit changed();
}

std::optional<models::OutputProfile> OutputProfileStore::profileFor(const QString& outputKey) const {
    const auto found = std::find_if(m_profiles.begin(), m_profiles.end(),
                                    [&outputKey](const auto& profile) { return profile.key == outputKey; });
    return found == m_profiles.end() ? std::nullopt : std::optional<models::OutputProfile>(*found);
}

OutputReference OutputProfileStore::referenceFor(const QString& outputKey, const QString& displayName) const {
    OutputReference reference;
    reference.displayName = displayName;
    // A profile of the port itself, else one of the whole device (the settings window
    // keys profiles by device, as the outputs it lists carry no port).
    const qsizetype portStart = outputKey.indexOf(QLatin1Char('#'));
    auto profile = profileFor(outputKey);
    if (!profile && portStart >= 0) {
        profile = profileFor(outputKey.left(portStart + 1));
    }
    if (profile) {
        reference.fullScaleDbSpl = profile->fullScaleDbSpl;
        reference.estimated = profile->basis == models::OutputProfile::Basis::estimated;
        if (displayName.isEmpty()) {
            reference.displayName = profile->displayName;
        }
    }
    return reference;
}

std::optional<QString> OutputProfileStore::setProfile(const models::OutputProfile& profile) {
    if (auto problem = models::OutputProfile::referenceProblem(profile.fullScaleDbSpl)) {
        return problem;
    }
    m_profiles.removeIf([&profile](const auto& stored) { return stored.key == profile.key; });
    m_profiles.append(profile);
    persist();
    emit changed();
    return std::nullopt;
}

bool OutputProfileStore::remove(const QString& outputKey) {
    const auto removed =
        m_profiles.removeIf([&outputKey](const auto& profile) { return profile.key == outputKey; });
    if (removed == 0) {
        return false;
    }
    persist();
    emit changed();
    return true;
}

void OutputProfileStore::persist() {
    m_settings.setValue(platform::keys::outputProfiles, models::OutputProfile::encodeList(m_profiles));
}

} // namespace kavro::services
