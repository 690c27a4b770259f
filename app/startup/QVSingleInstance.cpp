#include "startup/QVSingleInstance.h"

#include "core/DevLog.h"
#include "platform/Bundle.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

QString QVSingleInstance::serviceName() {
    return platform::Bundle::bundleIdentifier();
}

QVSingleInstance::QVSingleInstance(QDBusConnection connection, const QString &serviceName, QObject *parent)
    : QObject(parent), m_connection(std::move(connection)), m_serviceName(serviceName) {}

QVSingleInstance::~QVSingleInstance() {
    if (!m_registered)
        return;
    m_connection.unregisterObject(QString::fromLatin1(kObjectPath));
    m_connection.unregisterService(m_serviceName);
}

QVSingleInstance::Result QVSingleInstance::claim(std::function<void()> raise) {
    if (!m_connection.isConnected()) {
        DevLog(QStringLiteral("[instance] no session bus: running without the single-instance check"));
        return NoBus;
    }
    m_raise = std::move(raise);
    // The object first, so a launch that sees the name can always call it.
    if (!m_connection.registerObject(QString::fromLatin1(kObjectPath), this,
                                     QDBusConnection::ExportScriptableSlots)) {
        DevLog(QStringLiteral("[instance] could not serve %@: running alone"),
               QString::fromLatin1(kObjectPath));
        return NoBus;
    }
    QDBusConnectionInterface *bus = m_connection.interface();
    const auto reply = bus->registerService(m_serviceName, QDBusConnectionInterface::DontQueueService,
                                            QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_registered = true;
        return Primary;
    }
    m_connection.unregisterObject(QString::fromLatin1(kObjectPath));
    if (askOwnerToRaise())
        return ActivatedOther;
    // The owner did not answer (hung or just gone): better two windows than none.
    DevLog(QStringLiteral("[instance] %@ did not answer: running alone"), m_serviceName);
    return NoBus;
}

bool QVSingleInstance::askOwnerToRaise() {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(m_serviceName, QString::fromLatin1(kObjectPath),
                                       QString::fromLatin1(kInterface), QString::fromLatin1(kRaiseMethod));
    const QDBusMessage reply = m_connection.call(call, QDBus::BlockWithGui, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void QVSingleInstance::raise() {
    DevLog(QStringLiteral("[instance] another launch asked for the window"));
    if (m_raise)
        m_raise();
}
