#include "PrivateBus.h"

#include <QUuid>

namespace qvtest {

PrivateBus::PrivateBus() {
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    m_daemon.start();
    if (!m_daemon.waitForStarted(5000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.state() == QProcess::Running)
        m_daemon.waitForReadyRead(5000);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString &name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }
}

QDBusConnection PrivateBus::connect(const QString &name) {
    // Connection names are process-wide: one bus's never clash with another's.
    const QString unique = name + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128);
    m_connections << unique;
    return QDBusConnection::connectToBus(m_address, unique);
}

void PrivateBus::disconnect(const QString &name) {
    for (const QString &unique : std::as_const(m_connections)) {
        if (unique.startsWith(name + QLatin1Char('-')))
            QDBusConnection::disconnectFromBus(unique);
    }
}

} // namespace qvtest
