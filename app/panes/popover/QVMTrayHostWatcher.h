#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>

// Tells the tray icon's owner when a system tray may have come up since it
// last looked: a status-notifier host taking its name on the session bus, or,
// on X11 only, a cheap periodic look for the XEmbed tray (whose selection owner
// is not announced on the bus). Runs only between start() and stop(), that is
// while an icon is wanted and no tray exists. Main thread only.
//
//   QVMTrayHostWatcher watcher(QDBusConnection::sessionBus(), QVMTrayHostWatcher::pollsOnThisPlatform());
//   connect(&watcher, &QVMTrayHostWatcher::trayHostMayHaveAppeared, this, &Owner::lookForTray);
//   watcher.start();
class QVMTrayHostWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kWatcherService = "org.kde.StatusNotifierWatcher";
    static constexpr int kPollIntervalMs = 3000;

    QVMTrayHostWatcher(QDBusConnection connection, bool poll, QObject *parent = nullptr);

    // True on X11, where an XEmbed tray can start without a bus name.
    static bool pollsOnThisPlatform();

    void start();
    void stop();
    bool isWatching() const { return m_watching; }
    void setPollInterval(int milliseconds) { m_poll.setInterval(milliseconds); }

signals:
    void trayHostMayHaveAppeared();

private:
    QDBusServiceWatcher m_watcher;
    QTimer m_poll;
    bool m_polls = false;
    bool m_watching = false;
};
