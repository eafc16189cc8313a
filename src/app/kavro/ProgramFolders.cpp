// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramFolders.h"

#include "platform/file/DataFolder.h"
#include "platform/linux/XdgAutostartLoginItem.h"

#include <QDir>
#include <QTemporaryDir>

namespace kavro::app {

ProgramFolders ProgramFolders::usersOwn() {
    ProgramFolders folder;
    folder.m_path = platform::defaultDataFolder();
    folder.m_autostartFolder = platform::XdgAutostartLoginItem::defaultAutostartFolder();
    folder.m_usersOwn = true;
    return folder;
}

ProgramFolders ProgramFolders::contained(const QString& path) {
    ProgramFolders folder;
    folder.m_path = QDir(path).absolutePath();
    folder.m_preferencesFilePath = QDir(folder.m_path).filePath(kPreferencesFileName);
    // A login item set from here must not start the program at the user's next login.
    folder.m_autostartFolder = QDir(folder.m_path).filePath(QStringLiteral("autostart"));
    return folder;
}

ProgramFolders ProgramFolders::at(const QString& path) {
    return contained(path);
}

std::variant<ProgramFolders, QString> ProgramFolders::temporary() {
    auto directory = std::make_shared<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kavro-XXXXXX"));
    if (!directory->isValid()) {
        return QStringLiteral("cannot create a temporary data folder: ") + directory->errorString();
    }
    ProgramFolders folder = contained(directory->path());
    folder.m_temporary = std::move(directory);
    return folder;
}

} // namespace kavro::app
