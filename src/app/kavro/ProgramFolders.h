// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>
#include <variant>

class QTemporaryDir;

namespace kavro::app {

// Where one run of the program keeps the day's dose, the history, the preferences and
// the lock of the history writer: the user's own folders, a folder given on the
// command line, or a temporary folder for a demonstration, so that playing a sound file
// never touches the user's real dose, history or preferences.
class ProgramFolders {
public:
    static inline const QString kPreferencesFileName = QStringLiteral("Kavro.conf");

    // The user's own folders.
    static ProgramFolders usersOwn();
    // A folder of the caller's choice. Taking the history writer's lock makes it when
    // missing, and says why it cannot.
    static ProgramFolders at(const QString& path);
    // A new temporary folder, removed when the last copy of this value goes.
    static std::variant<ProgramFolders, QString> temporary();

    // The folder of the history and the lock.
    const QString& path() const { return m_path; }
    // Empty for the user's own preferences.
    const QString& preferencesFilePath() const { return m_preferencesFilePath; }
    // The autostart folder a login-item setting writes to.
    const QString& autostartFolder() const { return m_autostartFolder; }
    bool isUsersOwn() const { return m_usersOwn; }
    bool isTemporary() const { return m_temporary != nullptr; }

private:
    ProgramFolders() = default;
    // Everything inside one folder.
    static ProgramFolders contained(const QString& path);

    QString m_path;
    QString m_preferencesFilePath;
    QString m_autostartFolder;
    bool m_usersOwn = false;
    std::shared_ptr<QTemporaryDir> m_temporary;
};

} // namespace kavro::app
