#include "QVMTrayHostWatcher.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>

QVMTrayHostWatcher::QVMTrayHostWatcher(QDBusConnection connection, bool poll, QObject *parent)
    : QObject(parent), m_polls(poll) {
    m_watcher.setConnection(connection);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForRegistration);
    m_poll.setInterval(kPollIntervalMs);
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this,
            &QVMTrayHostWatcher::trayHostMayHaveAppeared);
    connect(&m_poll, &QTimer::timeout, this, &QVMTrayHostWatcher::trayHostMayHaveAppeared);
}

bool QVMTrayHostWatcher::pollsOnThisPlatform() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void QVMTrayHostWatcher::start() {
    if (m_watching)
        return;
    m_watching = true;
    m_watcher.setWatchedServices({QString::fromLatin1(kWatcherService)});
    if (m_polls)
        m_poll.start();
    // A host that took its name while the watch was being set up sends no signal: ask the bus once.
    // The question goes after the watch on the same connection, so no moment falls between them.
    QDBusMessage hasOwner = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    hasOwner << QString::fromLatin1(kWatcherService);
    auto *reply = new QDBusPendingCallWatcher(m_watcher.connection().asyncCall(hasOwner), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this, reply] {
        reply->deleteLater();
        const QDBusPendingReply<bool> owned = *reply;
        if (m_watching && owned.isValid() && owned.value())
            emit trayHostMayHaveAppeared();
    });
}

void QVMTrayHostWatcher::stop() {
    m_watching = false;
    m_watcher.setWatchedServices({});
    m_poll.stop();
}
