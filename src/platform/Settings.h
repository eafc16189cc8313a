// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PreferencesStore.h"
#include "platform/SettingKey.h"

#include <cmath>
#include <optional>
#include <type_traits>

namespace kavro::platform {

// Typed reads and writes of the preferences in the table of SettingKey.h: every call
// names a key, and the key fixes the type and the default. A value of another type, a
// number that is not finite or an invalid date reads as absent, so a damaged store can
// never hand a service nonsense.
//
// A light handle on the store, copied into every service that keeps preferences; the
// store must outlive it. The constructor is deliberately implicit: a service can be
// handed the store itself.
class Settings {
public:
    Settings(PreferencesStore& store) : m_store(&store) {}

    // The stored value, or none when nothing usable is stored.
    template <typename T> std::optional<T> stored(const Setting<T>& setting) const {
        return storedIn(*m_store, setting);
    }
    // The stored value, or the key's default.
    template <typename T> T value(const Setting<T>& setting) const { return valueIn(*m_store, setting); }
    // The stored value as it is, not-a-number and infinity included; none when nothing of
    // the key's type is stored. For telling a damaged value from a missing one.
    template <typename T> std::optional<T> storedAsIs(const Setting<T>& setting) const {
        const std::optional<PreferencesStore::Value> stored = m_store->value(setting.name);
        const T* typed = stored ? std::get_if<T>(&*stored) : nullptr;
        return typed ? std::optional<T>(*typed) : std::nullopt;
    }
    template <typename T> void setValue(const Setting<T>& setting, const std::type_identity_t<T>& value) {
        m_store->setValue(setting.name, PreferencesStore::Value(value));
    }
    template <typename T> void remove(const Setting<T>& setting) { m_store->remove(setting.name); }
    const PreferencesStore& store() const { return *m_store; }
    // Writes pending changes to disk now; says why when they did not get there.
    std::optional<QString> flush() { return m_store->flush(); }

    // The same reads on a store the caller may only look at.
    template <typename T>
    static std::optional<T> storedIn(const PreferencesStore& store, const Setting<T>& setting);
    template <typename T> static T valueIn(const PreferencesStore& store, const Setting<T>& setting) {
        return storedIn(store, setting).value_or(defaultOf(setting));
    }
    template <typename T> static T defaultOf(const Setting<T>& setting) {
        if constexpr (std::is_arithmetic_v<T>) {
            return setting.defaultValue;
        } else {
            return T();
        }
    }

private:
    PreferencesStore* m_store;
};

template <typename T>
std::optional<T> Settings::storedIn(const PreferencesStore& store, const Setting<T>& setting) {
    const std::optional<PreferencesStore::Value> stored = store.value(setting.name);
    if (!stored) {
        return std::nullopt;
    }
    const T* typed = std::get_if<T>(&*stored);
    if (!typed) {
        return std::nullopt;
    }
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(*typed) || (setting.zeroIsUnset && *typed == 0)) {
            return std::nullopt;
        }
    } else if constexpr (std::is_same_v<T, QDateTime>) {
        if (!typed->isValid()) {
            return std::nullopt;
        }
    }
    return *typed;
}

} // namespace kavro::platform
