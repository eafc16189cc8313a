// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PreferencesStore.h"

#include <QHash>

namespace kavro::platform {

// Preferences held in memory only: for tests, and for tools that must never touch
// the user's real preferences.
class MemoryPreferencesStore final : public PreferencesStore {
public:
    std::optional<Value> value(const QString& key) const override {
        const auto it = m_values.constFind(key);
        if (it == m_values.constEnd()) {
            return std::nullopt;
        }
        return *it;
    }
    void setValue(const QString& key, const Value& value) override { m_values.insert(key, value); }
    void remove(const QString& key) override { m_values.remove(key); }

private:
    QHash<QString, Value> m_values;
};

} // namespace kavro::platform
