// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

namespace kavro::platform {

// One program per user, through the session bus: the first instance owns the
// application's name and answers the freedesktop Application interface's Activate;
// a later start finds the name taken and asks that instance to show itself. Owning a
// bus name is atomic and ends with the process, so nothing stale is left behind.
class DBusSingleInstance final : public QObject {
    Q_OBJECT
public:
    // The object path the freedesktop convention derives from a bus name.
    static QString objectPath(const QString& serviceName);

    DBusSingleInstance(QString serviceName, QDBusConnection connection = QDBusConnection::sessionBus(),
                       QObject* parent = nullptr);
    ~DBusSingleInstance() override;

    // Whether some process owns the name now.
    bool isTaken() const;
    // Asks the owner of the name to show itself; false when no owner answered in time.
    bool activateRunning(int timeoutMs) const;
    // Takes the name; every Activate (or Open) from now on calls onActivate on the main
    // thread. False when there is no bus or another process owns the name.
    bool claim(std::function<void()> onActivate);

    // Called by the bus adaptor.
    void activated();

private:
    QString m_serviceName;
    QDBusConnection m_connection;
    std::function<void()> m_onActivate;
    QObject* m_adaptor = nullptr;
    bool m_claimed = false;
};

} // namespace kavro::platform
