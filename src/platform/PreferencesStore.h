// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace kavro::platform {

// The user's per-user key/value store. Values are typed: a key that holds a value of
// another type reads as absent, so a stored string never turns into a number.
class PreferencesStore {
public:
    using Value = std::variant<QString, double, bool, std::int64_t, QDateTime, QByteArray>;

    virtual ~PreferencesStore() = default;

    virtual std::optional<Value> value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const Value& value) = 0;
    virtual void remove(const QString& key) = 0;
    // Writes pending changes to disk now (normally done shortly after a change and at
    // quit). Returns why they did not reach the disk, or none when every change is kept.
    virtual std::optional<QString> flush() { return std::nullopt; }

    bool contains(const QString& key) const { return value(key).has_value(); }

    std::optional<QString> string(const QString& key) const { return typed<QString>(key); }
    std::optional<double> doubleValue(const QString& key) const { return typed<double>(key); }
    std::optional<bool> boolValue(const QString& key) const { return typed<bool>(key); }
    std::optional<std::int64_t> integer(const QString& key) const { return typed<std::int64_t>(key); }
    std::optional<QDateTime> date(const QString& key) const { return typed<QDateTime>(key); }
    std::optional<QByteArray> data(const QString& key) const { return typed<QByteArray>(key); }

    void setString(const QString& key, const QString& v) { setValue(key, Value(v)); }
    void setDouble(const QString& key, double v) { setValue(key, Value(v)); }
    void setBool(const QString& key, bool v) { setValue(key, Value(v)); }
    void setInteger(const QString& key, std::int64_t v) { setValue(key, Value(v)); }
    void setDate(const QString& key, const QDateTime& v) { setValue(key, Value(v)); }
    void setData(const QString& key, const QByteArray& v) { setValue(key, Value(v)); }

private:
    template <typename T> std::optional<T> typed(const QString& key) const {
        const auto stored = value(key);
        if (!stored) {
            return std::nullopt;
        }
        if (const T* v = std::get_if<T>(&*stored)) {
            return *v;
        }
        return std::nullopt;
    }
};

} // namespace kavro::platform
