#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace qvtest {

// A D-Bus daemon of the test's own: services a test starts on it meet no
// other test's, however many run at once. Stopped (and every connection to it
// closed) when it goes out of scope.
//
//   qvtest::PrivateBus bus;
//   ASSERT_TRUE(bus.isRunning());
//   QDBusConnection app = bus.connect("app");        // one connection per process it stands for
//   QDBusConnection other = bus.connect("distributor");
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    // The daemon's process (to stop it for a while: a bus that does not answer).
    qint64 processId() const { return m_daemon.processId(); }
    // A new connection under a name unique to this bus.
    QDBusConnection connect(const QString &name);
    // Closes one connection: its names go, as when a process exits.
    void disconnect(const QString &name);

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

} // namespace qvtest
