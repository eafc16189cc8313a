// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/DBusSingleInstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace kavro::platform {

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

// org.freedesktop.Application, as desktops and `gapplication launch` call it. The
// program has no actions of its own, so ActivateAction does nothing.
class ApplicationAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(DBusSingleInstance& instance)
        : QDBusAbstractAdaptor(&instance), m_instance(instance) {}

public slots:
    void Activate(const QVariantMap& platformData) {
        Q_UNUSED(platformData);
        m_instance.activated();
    }
    void Open(const QStringList& uris, const QVariantMap& platformData) {
        Q_UNUSED(uris);
        Q_UNUSED(platformData);
        m_instance.activated();
    }
    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData) {
        Q_UNUSED(actionName);
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
    }

private:
    DBusSingleInstance& m_instance;
};

} // namespace

QString DBusSingleInstance::objectPath(const QString& serviceName) {
    QString path = u'/' + serviceName;
    path.replace(u'.', u'/');
    path.replace(u'-', u'_');
    return path;
}

DBusSingleInstance::DBusSingleInstance(QString serviceName, QDBusConnection connection, QObject* parent)
    : QObject(parent), m_serviceName(std::move(serviceName)), m_connection(std::move(connection)) {}

DBusSingleInstance::~DBusSingleInstance() {
    if (m_claimed) {
        m_connection.unregisterObject(objectPath(m_serviceName));
        m_connection.unregisterService(m_serviceName);
    }
}

bool DBusSingleInstance::isTaken() const {
    if (!m_connection.isConnected() || !m_connection.interface()) {
        return false;
    }
    return m_connection.interface()->isServiceRegistered(m_serviceName).value();
}

bool DBusSingleInstance::activateRunning(int timeoutMs) const {
    if (!m_connection.isConnected()) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(m_serviceName, objectPath(m_serviceName), kInterface,
                                                       QStringLiteral("Activate"));
    call << QVariantMap();
    return m_connection.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage;
}

bool DBusSingleInstance::claim(std::function<void()> onActivate) {
    if (!m_connection.isConnected() || !m_connection.interface()) {
        return false;
    }
    m_onActivate = std::move(onActivate);
    // The object answers before the name is taken, so a caller that sees the name can
    // always reach it.
    if (!m_adaptor) {
        m_adaptor = new ApplicationAdaptor(*this);
    }
    const QString path = objectPath(m_serviceName);
    m_connection.registerObject(path, this);
    // Without replacement and without queueing: a second owner is refused outright.
    const auto reply =
        m_connection.interface()->registerService(m_serviceName, QDBusConnectionInterface::DontQueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        m_connection.unregisterObject(path);
        return false;
    }
    m_claimed = true;
    return true;
}

void DBusSingleInstance::activated() {
    if (m_onActivate) {
        m_onActivate();
    }
}

} // namespace kavro::platform

#include "DBusSingleInstance.moc"
