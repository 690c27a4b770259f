#include "QVMPortalShortcutBackend.h"

#include "core/DevLog.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>

#include <memory>

QDBusArgument &operator<<(QDBusArgument &argument, const QVMPortalShortcut &shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, QVMPortalShortcut &shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

// Receives one Request's "Response" and runs the block once.
class ResponseReceiver : public QObject {
    Q_OBJECT
public:
    ResponseReceiver(QDBusConnection connection, QString path,
                     std::function<void(uint, const QVariantMap &)> done)
        : m_connection(std::move(connection)), m_path(std::move(path)), m_done(std::move(done)) {
        m_connection.connect(QString(), m_path,
                             QString::fromLatin1(QVMPortalShortcutBackend::kRequestInterface),
                             QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    }
    void follow(const QString &path) {
        if (path == m_path || path.isEmpty())
            return;
        // An older portal names its own request object.
        m_connection.disconnect(QString(), m_path,
                                QString::fromLatin1(QVMPortalShortcutBackend::kRequestInterface),
                                QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
        m_path = path;
        m_connection.connect(QString(), m_path,
                             QString::fromLatin1(QVMPortalShortcutBackend::kRequestInterface),
                             QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    }
    void fail() { finish(2, {}); }

public Q_SLOTS:
    void onResponse(uint code, const QVariantMap &results) { finish(code, results); }

private:
    void finish(uint code, const QVariantMap &results) {
        if (!m_done)
            return;
        auto done = std::exchange(m_done, {});
        m_connection.disconnect(QString(), m_path,
                                QString::fromLatin1(QVMPortalShortcutBackend::kRequestInterface),
                                QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
        done(code, results);
        deleteLater();
    }
    QDBusConnection m_connection;
    QString m_path;
    std::function<void(uint, const QVariantMap &)> m_done;
};

QString objectPathText(const QVariant &value) {
    if (value.canConvert<QDBusObjectPath>() && value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

QList<QVMPortalShortcut> shortcutList(const QVariant &value) {
    QList<QVMPortalShortcut> list;
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        value.value<QDBusArgument>() >> list;
    else
        list = value.value<QList<QVMPortalShortcut>>();
    return list;
}

} // namespace

void QVMPortalShortcutBackend::registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<QVMPortalShortcut>();
        qDBusRegisterMetaType<QList<QVMPortalShortcut>>();
        return true;
    }();
    Q_UNUSED(registered)
}

QVMPortalShortcutBackend::QVMPortalShortcutBackend(QDBusConnection connection, QObject *parent)
    : QVMGlobalShortcutBackend(parent), m_connection(std::move(connection)) {
    registerTypes();
    // Any sender: the session handle in each signal says whether it is ours.
    m_connection.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                         QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
    m_connection.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                         QStringLiteral("ShortcutsChanged"), this,
                         SLOT(onShortcutsChanged(QDBusObjectPath, QDBusArgument)));
}

void QVMPortalShortcutBackend::probe(QDBusConnection connection, std::function<void(bool)> answer,
                                     int timeoutMs) {
    if (!connection.isConnected()) {
        answer(false);
        return;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(kInterface) << QStringLiteral("version");
    auto *watcher = new QDBusPendingCallWatcher(connection.asyncCall(get, timeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answer = std::move(answer)](QDBusPendingCallWatcher *call) {
                         answer(!call->isError());
                         call->deleteLater();
                     });
}

QString QVMPortalShortcutBackend::triggerForKeys(const QKeySequence &keys) {
    if (keys.isEmpty())
        return {};
    const QKeyCombination combination = keys[0];
    QStringList parts;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    QString key = QKeySequence(combination.key()).toString(QKeySequence::PortableText);
    if (key.size() == 1)
        key = key.toLower();
    parts << key;
    return parts.join(QLatin1Char('+'));
}

void QVMPortalShortcutBackend::request(const QString &method, QList<QVariant> arguments, QVariantMap options,
                                       Response response) {
    const QString token = QStringLiteral("quorvalde%1").arg(++m_token);
    options.insert(QStringLiteral("handle_token"), token);
    QString sender = m_connection.baseService();
    sender.remove(0, sender.startsWith(QLatin1Char(':')) ? 1 : 0).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString expected =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    // Listening before calling: the answer can come before the call returns.
    auto *receiver = new ResponseReceiver(m_connection, expected, std::move(response));
    receiver->setParent(this);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface), method);
    arguments.append(options);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    QPointer<ResponseReceiver> guard(receiver);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [guard, method](QDBusPendingCallWatcher *done) {
                done->deleteLater();
                QDBusPendingReply<QDBusObjectPath> reply = *done;
                if (!guard)
                    return;
                if (reply.isError()) {
                    DevLog(QStringLiteral("[shortcuts] portal %@ failed: %@"), method, reply.error().name());
                    guard->fail();
                    return;
                }
                guard->follow(reply.value().path());
            });
}

void QVMPortalShortcutBackend::setShortcuts(const QList<Shortcut> &shortcuts) {
    m_shortcuts = shortcuts;
    if (m_session.isEmpty())
        createSession();
    else
        bind();
}

void QVMPortalShortcutBackend::createSession() {
    if (std::exchange(m_creating, true))
        return;
    QPointer<QVMPortalShortcutBackend> self(this);
    request(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), QStringLiteral("quorvalde")}},
            [self](uint code, const QVariantMap &results) {
                if (!self)
                    return;
                self->m_creating = false;
                self->m_session = objectPathText(results.value(QStringLiteral("session_handle")));
                if (code != 0 || self->m_session.isEmpty()) {
                    DevLog(QStringLiteral("[shortcuts] the portal gave no session (%@)"),
                           QString::number(code));
                    return;
                }
                self->bind();
            });
}

void QVMPortalShortcutBackend::bind() {
    QList<QVMPortalShortcut> list;
    for (const Shortcut &shortcut : std::as_const(m_shortcuts))
        list.append({shortcut.id,
                     {{QStringLiteral("description"), shortcut.description},
                      {QStringLiteral("preferred_trigger"), triggerForKeys(shortcut.keys)}}});
    QPointer<QVMPortalShortcutBackend> self(this);
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(list), QString()}, {},
            [self](uint code, const QVariantMap &results) {
                if (!self)
                    return;
                if (code != 0) {
                    DevLog(QStringLiteral("[shortcuts] the desktop bound no shortcuts (%@)"),
                           QString::number(code));
                    return;
                }
                self->takeShortcutList(shortcutList(results.value(QStringLiteral("shortcuts"))));
            });
}

void QVMPortalShortcutBackend::listShortcuts() {
    if (m_session.isEmpty())
        return;
    QPointer<QVMPortalShortcutBackend> self(this);
    request(QStringLiteral("ListShortcuts"), {QVariant::fromValue(QDBusObjectPath(m_session))}, {},
            [self](uint code, const QVariantMap &results) {
                if (self && code == 0)
                    self->takeShortcutList(shortcutList(results.value(QStringLiteral("shortcuts"))));
            });
}

void QVMPortalShortcutBackend::takeShortcutList(const QList<QVMPortalShortcut> &list) {
    QMap<QString, QString> bound;
    for (const QVMPortalShortcut &shortcut : list)
        bound.insert(shortcut.id,
                     shortcut.properties.value(QStringLiteral("trigger_description")).toString());
    setBoundTriggers(bound);
}

void QVMPortalShortcutBackend::onActivated(const QDBusMessage &message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    if (objectPathText(arguments.at(0)) == m_session && !m_session.isEmpty())
        emit activated(arguments.at(1).toString());
}

void QVMPortalShortcutBackend::onShortcutsChanged(const QDBusObjectPath &session,
                                                  const QDBusArgument &shortcuts) {
    if (session.path() != m_session)
        return;
    QList<QVMPortalShortcut> list;
    shortcuts >> list;
    takeShortcutList(list);
}

#include "QVMPortalShortcutBackend.moc"
