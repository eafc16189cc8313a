// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PreferencesStore.h"

#include <QHash>
#include <QSettings>
#include <QTimer>

#include <memory>

namespace kavro::platform {

// The real preferences store: QSettings("Kavro", "Kavro") (~/.config/Kavro/Kavro.conf),
// or an ini file of the caller's choice. An ini file keeps only text, so every value is
// written with a short type tag ("d:0.25", "i:3", "t:2025-03-14T09:26:53.000Z") and
// reads back as the same type; a value of another type or an unknown tag reads as absent.
// The file is read and written through TextIniFormat, which never builds objects from it.
//
// Changes are visible to value() at once but reach the disk at most about a second
// later, in one write: the dose is stored up to ten times a second and rewriting the
// file each time would be wasteful. Pending changes are written at quit, on flush()
// and when the store is destroyed, so a normal quit loses nothing and a crash loses at
// most the last second. A write that does not reach the disk keeps its changes pending
// (visible to value(), tried again by the next write) and flush() says why. The file
// (and the Kavro folder of the user's settings) is kept readable by its owner only,
// also when an earlier version left it open to others. Main thread only.
class SettingsPreferencesStore final : public PreferencesStore {
public:
    static constexpr int kWriteDelayMs = 1000;

    // An empty path uses the user's Kavro settings.
    explicit SettingsPreferencesStore(const QString& filePath = {});
    ~SettingsPreferencesStore() override;

    std::optional<Value> value(const QString& key) const override;
    void setValue(const QString& key, const Value& value) override;
    void remove(const QString& key) override;
    std::optional<QString> flush() override;

    // True while changes wait to be written.
    bool hasPendingWrites() const { return !m_pending.isEmpty(); }
    QString fileName() const { return m_settings->fileName(); }

    // The text form of a value in the file, and back; exposed for the tests of the format.
    static QString encode(const Value& value);
    static std::optional<Value> decode(const QString& text);

private:
    using Changes = QHash<QString, std::optional<Value>>;

    void schedule(const QString& key, const std::optional<Value>& value);
    std::unique_ptr<QSettings> openSettings() const;
    static bool write(QSettings& settings, const Changes& changes);
    QString writeFailure() const;

    // Takes the permissions of other users away from the file and, for the user's own
    // settings, from their folder; with `createFolder`, the folder is made first, so
    // the file is never created where others could read it.
    void keepPrivate(bool createFolder) const;

    QString m_filePath;
    // The user's own settings (~/.config/Kavro/Kavro.conf), not a file the caller named.
    bool m_ownFolder;
    std::unique_ptr<QSettings> m_settings;
    // Changes not yet on disk; an empty optional is a removal.
    Changes m_pending;
    std::unique_ptr<QTimer> m_writeTimer;
};

} // namespace kavro::platform
