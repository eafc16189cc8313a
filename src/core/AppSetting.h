// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Settings.h"

#include <functional>
#include <utility>

namespace kavro::core {

// Tells the owner which setting was assigned.
using SettingAnnouncer = std::function<void(platform::SettingKey)>;

// One of the user's settings as the application holds it: the value, the key it is
// stored under, what an assignment does besides storing it, and who hears of the change.
//
// Every assignment stores the value, runs the side effect and announces the change,
// also when the value is unchanged: choosing the same input again is how a user
// restarts capture on it. Values read at launch are installed without any of that.
template <typename T> class AppSetting {
public:
    using SideEffect = std::function<void(const T&)>;

    AppSetting(platform::Settings settings, const platform::Setting<T>& key, SettingAnnouncer announce,
               SideEffect sideEffect = {})
        : m_settings(settings), m_key(key), m_announce(std::move(announce)),
          m_sideEffect(std::move(sideEffect)), m_value(platform::Settings::defaultOf(key)) {}

    const T& value() const { return m_value; }
    const platform::Setting<T>& key() const { return m_key; }

    // At launch: the stored value (or the key's default), without storing or side effect.
    void installStored() { m_value = m_settings.value(m_key); }
    // At launch: a value found elsewhere, without storing or side effect.
    void install(T value) { m_value = std::move(value); }

    void assign(T value) {
        m_value = std::move(value);
        m_settings.setValue(m_key, m_value);
        if (m_sideEffect) {
            m_sideEffect(m_value);
        }
        m_announce(m_key.key);
    }

private:
    platform::Settings m_settings;
    platform::Setting<T> m_key;
    SettingAnnouncer m_announce;
    SideEffect m_sideEffect;
    T m_value;
};

} // namespace kavro::core
