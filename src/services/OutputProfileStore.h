// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/OutputProfile.h"
#include "platform/Settings.h"
#include "services/OutputReferenceSource.h"

#include <QList>
#include <QObject>

#include <optional>

namespace kavro::services {

// The output profiles, one per output device and port, kept as one JSON array in the
// preferences and rewritten after every change. An output without a profile reads as
// the conservative estimate. Profiles stored by another program (kavro-cli) are read
// again by reload().
class OutputProfileStore : public QObject, public OutputReferenceSource {
    Q_OBJECT
public:
    // Loads the stored list; damaged entries are left out.
    explicit OutputProfileStore(platform::Settings settings, QObject* parent = nullptr);

    const QList<models::OutputProfile>& profiles() const { return m_profiles; }
    std::optional<models::OutputProfile> profileFor(const QString& outputKey) const;

    // The stored reference, or the estimate when none is stored. A stored profile is
    // named by displayName when one is given.
    OutputReference referenceFor(const QString& outputKey, const QString& displayName) const override;

    // Stores the profile in place of the output's former one; a reference that cannot be
    // true is refused with the reason, and nothing changes.
    std::optional<QString> setProfile(const models::OutputProfile& profile);
    // Forgets the output's profile: it reads as estimated again. False when it had none.
    bool remove(const QString& outputKey);
    void reload();

signals:
    void changed();

private:
    void persist();

    platform::Settings m_settings;
    QList<models::OutputProfile> m_profiles;
};

} // namespace kavro::services
