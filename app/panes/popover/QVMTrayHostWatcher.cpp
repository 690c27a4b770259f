#include "QVMTrayHostWatcher.h"

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
}

void QVMTrayHostWatcher::stop() {
    m_watching = false;
    m_watcher.setWatchedServices({});
    m_poll.stop();
}
