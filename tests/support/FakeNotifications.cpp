#include "FakeNotifications.h"

namespace qvtest {

bool FakeNotifications::start(QDBusConnection connection) {
    return connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                     QDBusConnection::ExportScriptableSlots) &&
           connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint FakeNotifications::Notify(const QString &, uint, const QString &, const QString &summary,
                               const QString &body, const QStringList &, const QVariantMap &, int) {
    shown << summary + QLatin1Char('|') + body;
    return uint(shown.size());
}

} // namespace qvtest
