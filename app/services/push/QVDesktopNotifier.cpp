#include "services/push/QVDesktopNotifier.h"

#include "core/DevLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QVariantMap>

namespace {

const char *const kNotificationsService = "org.freedesktop.Notifications";
const char *const kNotificationsPath = "/org/freedesktop/Notifications";
const char *const kLauncherEntryPath = "/com/canonical/unity/launcherentry/quorvalde";
const char *const kLauncherEntryInterface = "com.canonical.Unity.LauncherEntry";

// The notification body may be read as markup: the payload's text is shown as written.
QString plainBody(const QString &text) {
    return text.toHtmlEscaped();
}

} // namespace

QVDesktopNotifier::QVDesktopNotifier(QDBusConnection connection) : m_connection(std::move(connection)) {}

bool QVDesktopNotifier::busAvailable() {
    if (m_connection.isConnected())
        return true;
    static bool reported = false;
    if (!reported) {
        reported = true;
        DevLog(QStringLiteral("[push] no session bus: notifications are not shown"));
    }
    return false;
}

QVDesktopNotifier::~QVDesktopNotifier() = default;

QDBusMessage QVDesktopNotifier::notifyMessage(const QString &title, const QString &body) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(kNotificationsService), QString::fromLatin1(kNotificationsPath),
        QString::fromLatin1(kNotificationsService), QStringLiteral("Notify"));
    const QString summary = title.isEmpty() ? QString::fromLatin1(kApplicationName) : title;
    message << QString::fromLatin1(kApplicationName) << uint(0) << QStringLiteral("quorvalde-translator")
            << summary << plainBody(body) << QStringList() << QVariantMap() << int(-1);
    return message;
}

QDBusMessage QVDesktopNotifier::launcherEntryMessage(const QString &label) {
    QDBusMessage message =
        QDBusMessage::createSignal(QString::fromLatin1(kLauncherEntryPath),
                                   QString::fromLatin1(kLauncherEntryInterface), QStringLiteral("Update"));
    bool isCount = false;
    const qint64 count = label.trimmed().toLongLong(&isCount);
    QVariantMap properties;
    properties.insert(QStringLiteral("count"), isCount ? count : qint64(0));
    properties.insert(QStringLiteral("count-visible"), isCount);
    message << QString::fromLatin1(kDesktopEntry) << properties;
    return message;
}

void QVDesktopNotifier::showAlert(const QString &title, const QString &body) {
    if (busAvailable())
        m_connection.asyncCall(notifyMessage(title, body));
}

bool QVDesktopNotifier::canShowNotifications() {
    if (!busAvailable())
        return false;
    QDBusConnectionInterface *bus = m_connection.interface();
    if (!bus)
        return false;
    const QString service = QString::fromLatin1(kNotificationsService);
    return bus->isServiceRegistered(service).value() || bus->activatableServiceNames().value().contains(service);
}

void QVDesktopNotifier::setBadgeLabel(const QString &label) {
    if (busAvailable())
        m_connection.send(launcherEntryMessage(label));
}

bool QVDesktopNotifier::play(QVThemeSound::Kind kind, const QString &value) {
    QString error;
    if (!m_sound)
        m_sound = QVSoundModule::create(kApplicationName, &error);
    // Playback runs in the sound server: this returns at once.
    if (!m_sound || !m_sound->play(kind, value, &error)) {
        DevLog(QStringLiteral("[push] sound not played: %@"), error);
        return false;
    }
    return true;
}

void QVDesktopNotifier::playAlertSound() {
    play(QVThemeSound::Event, QString::fromLatin1(kAlertSoundEvent));
}

void QVDesktopNotifier::playSoundFile(const QString &path) {
    play(QVThemeSound::File, path);
}
