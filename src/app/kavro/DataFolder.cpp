#include "DataFolder.h"

#include "platform/linux/XdgAutostartLoginItem.h"
#include "services/SessionManager.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace kavro::app {

DataFolder DataFolder::usersOwn() {
    DataFolder folder;
    folder.m_path = QFileInfo(services::SessionManager::defaultHistoryFilePath()).absolutePath();
    folder.m_autostartFolder = platform::XdgAutostartLoginItem::defaultAutostartFolder();
    folder.m_usersOwn = true;
    return folder;
}

DataFolder DataFolder::contained(const QString& path) {
    DataFolder folder;
    folder.m_path = QDir(path).absolutePath();
    folder.m_preferencesFilePath = QDir(folder.m_path).filePath(kPreferencesFileName);
    // A login item set from here must not start the program at the user's next login.
    folder.m_autostartFolder = QDir(folder.m_path).filePath(QStringLiteral("autostart"));
    return folder;
}

std::variant<DataFolder, QString> DataFolder::at(const QString& path) {
    if (!QDir().mkpath(path)) {
        return QStringLiteral("cannot create the data folder ") + path;
    }
    return contained(path);
}

std::variant<DataFolder, QString> DataFolder::temporary() {
    auto directory = std::make_shared<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kavro-XXXXXX"));
    if (!directory->isValid()) {
        return QStringLiteral("cannot create a temporary data folder: ") + directory->errorString();
    }
    DataFolder folder = contained(directory->path());
    folder.m_temporary = std::move(directory);
    return folder;
}

QString DataFolder::historyFilePath() const {
    return QDir(m_path).filePath(kHistoryFileName);
}

} // namespace kavro::app
