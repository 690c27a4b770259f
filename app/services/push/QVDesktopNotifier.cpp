#include "services/push/QVDesktopNotifier.h"

#include "core/DevLog.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QVariantMap>

namespace {

const char *const kNotificationsService = "org.freedesktop.Notifications";
const char *const kNotificationsPath = "/org/freedesktop/Notifications";
const char *const kLauncherEntryPath = "/com/canonical/unity/launcherentry/quorvalde";
const char *const kLauncherEntryInterface = "com.canonical.Unity.LauncherEntry";
// A bus that does not answer within this is taken as one without notifications.
constexpr int kAskTimeoutMs = 5000;

QDBusMessage busCall(const char *method) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
}

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

// The pending answers go first: none may reach a half-destroyed notifier.
QVDesktopNotifier::~QVDesktopNotifier() {
    m_context.reset();
}

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

void QVDesktopNotifier::canShowNotifications(std::function<void(bool)> answer) {
    if (!busAvailable()) {
        if (answer)
            answer(false);
        return;
    }
    if (m_available) {
        if (answer)
            answer(*m_available);
        return;
    }
    if (answer)
        m_waiting.append(std::move(answer));
    if (!m_context)
        ask();
}

// Whether the service runs now; only when it does not, whether the bus would start it.
void QVDesktopNotifier::ask() {
    m_context = std::make_unique<QObject>();
    const QString service = QString::fromLatin1(kNotificationsService);
    auto *watcher = new QDBusServiceWatcher(service, m_connection, QDBusServiceWatcher::WatchForOwnerChange,
                                            m_context.get());
    QObject::connect(watcher, &QDBusServiceWatcher::serviceRegistered, m_context.get(), [this] {
        m_registered = true;
        if (m_available)
            m_available = true;
    });
    QObject::connect(watcher, &QDBusServiceWatcher::serviceUnregistered, m_context.get(), [this] {
        m_registered = false;
        if (m_available)
            m_available = m_activatable;
    });
    QDBusMessage call = busCall("NameHasOwner");
    call << service;
    auto *pending = new QDBusPendingCallWatcher(m_connection.asyncCall(call, kAskTimeoutMs), m_context.get());
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, m_context.get(),
                     [this](QDBusPendingCallWatcher *call) {
                         call->deleteLater();
                         const QDBusPendingReply<bool> reply = *call;
                         m_registered = m_registered || (!reply.isError() && reply.value());
                         if (m_registered)
                             answer(true);
                         else
                             askActivatable();
                     });
}

void QVDesktopNotifier::askActivatable() {
    auto *pending = new QDBusPendingCallWatcher(
        m_connection.asyncCall(busCall("ListActivatableNames"), kAskTimeoutMs), m_context.get());
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, m_context.get(),
                     [this](QDBusPendingCallWatcher *call) {
                         call->deleteLater();
                         const QDBusPendingReply<QStringList> reply = *call;
                         m_activatable = !reply.isError() &&
                                         reply.value().contains(QString::fromLatin1(kNotificationsService));
                         if (reply.isError())
                             DevLog(QStringLiteral("[push] the session bus does not say whether it shows "
                                                   "notifications: %@"),
                                    reply.error().message());
                         answer(m_registered || m_activatable);
                     });
}

void QVDesktopNotifier::answer(bool available) {
    m_available = available;
    // A block may ask again (and is then answered at once): the list is taken first.
    const QList<std::function<void(bool)>> waiting = std::exchange(m_waiting, {});
    for (const auto &block : waiting)
        block(available);
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
