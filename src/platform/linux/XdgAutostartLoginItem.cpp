// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/XdgAutostartLoginItem.h"

#include "platform/ApplicationId.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace kavro::platform {

QString XdgAutostartLoginItem::defaultAutostartFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

XdgAutostartLoginItem::XdgAutostartLoginItem(QString autostartFolder, QString executable)
    : m_folder(std::move(autostartFolder)),
      m_executable(executable.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(executable)) {}

QString XdgAutostartLoginItem::entryPath() const {
    return QDir(m_folder).filePath(kFileName);
}

LoginItemStatus XdgAutostartLoginItem::status() const {
    QFile entry(entryPath());
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return LoginItemStatus::notRegistered;
    }
    // A desktop's startup settings switch an entry off by one of these two keys rather
    // than deleting it.
    bool inDesktopEntry = false;
    while (!entry.atEnd()) {
        const QByteArray line = entry.readLine().trimmed();
        if (line.startsWith('[')) {
            inDesktopEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inDesktopEntry) {
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) {
            continue;
        }
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return LoginItemStatus::notRegistered;
        }
    }
    return LoginItemStatus::enabled;
}

std::optional<QString> XdgAutostartLoginItem::execValue(const QString& executable) {
    if (!QDir::isAbsolutePath(executable)) {
        return std::nullopt;
    }
    QString quoted = QStringLiteral("\"");
    for (const QChar c : executable) {
        if (c.category() == QChar::Other_Control) {
            return std::nullopt;
        }
        // Inside double quotes these four are escaped with a backslash; "%" starts a
        // field code and is doubled.
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        if (c == u'%') {
            quoted += u'%';
        }
        quoted += c;
    }
    quoted += u'"';
    // The value is also a string of the desktop-entry file, where a backslash is itself
    // escaped: the quoting backslashes are written twice.
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    return quoted;
}

std::optional<LoginItemError> XdgAutostartLoginItem::registerItem() {
    const auto exec = execValue(m_executable);
    if (!exec) {
        return LoginItemError{QStringLiteral("The program's path cannot be started from a desktop entry: ") +
                              m_executable};
    }
    if (!QDir().mkpath(m_folder)) {
        return LoginItemError{QStringLiteral("Cannot create the autostart folder ") + m_folder};
    }
    QSaveFile entry(entryPath());
    if (!entry.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return LoginItemError{entry.errorString()};
    }
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Kavro\n"
                                        "Exec=") +
                         *exec +
                         QStringLiteral("\n"
                                        "Icon=") +
                         applicationId() +
                         QStringLiteral("\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n");
    entry.write(text.toUtf8());
    if (!entry.commit()) {
        return LoginItemError{entry.errorString()};
    }
    return std::nullopt;
}

std::optional<LoginItemError> XdgAutostartLoginItem::unregisterItem() {
    QFile entry(entryPath());
    if (!entry.exists() || entry.remove()) {
        return std::nullopt;
    }
    return LoginItemError{entry.errorString()};
}

} // namespace kavro::platform
