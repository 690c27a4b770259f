#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace qvtest {

// The desktop's notification service on a bus of the test's: keeps each Notify call's summary
// and body as "summary|body".
//
//   qvtest::PrivateBus bus;
//   qvtest::FakeNotifications notifications;
//   ASSERT_TRUE(notifications.start(bus.connect("desktop")));
//   ... qvtest::waitUntil([&] { return !notifications.shown.isEmpty(); });
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    // Serves on the connection under the service's well-known name.
    bool start(QDBusConnection connection);

    QStringList shown;

public Q_SLOTS:
    Q_SCRIPTABLE uint Notify(const QString &application, uint replaces, const QString &icon,
                             const QString &summary, const QString &body, const QStringList &actions,
                             const QVariantMap &hints, int timeout);
};

} // namespace qvtest
