#include "services/push/QVUnifiedPushTokenSource.h"

#include "core/DevLog.h"
#include "core/QVEnvironment.h"

#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QStringDecoder>
#include <QUrl>
#include <QUuid>

namespace {

const char *const kBusService = "org.freedesktop.DBus";
const char *const kBusPath = "/org/freedesktop/DBus";
const char *const kErrorDomain = "org.unifiedpush";

// Runs the block with the finished call's reply, unless the source is gone by then.
template <typename Block> void whenFinished(QObject *owner, const QDBusPendingCall &call, Block block) {
    auto *watcher = new QDBusPendingCallWatcher(call, owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner,
                     [watcher, block](QDBusPendingCallWatcher *) {
                         watcher->deleteLater();
                         block(watcher->reply());
                     });
}

} // namespace

std::shared_ptr<QVUnifiedPushTokenSource> QVUnifiedPushTokenSource::forSessionBus() {
    platform::UserDefaults &defaults = QVEnvironment::sharedDefaults();
    // The distributor knows the application by this token: the same one at every launch.
    QString token = defaults.stringForKey(QString::fromLatin1(kTokenKey));
    if (token.isEmpty()) {
        token = QUuid::createUuid().toString(QUuid::WithoutBraces);
        defaults.setObject(token, QString::fromLatin1(kTokenKey));
    }
    return std::make_shared<QVUnifiedPushTokenSource>(QDBusConnection::sessionBus(),
                                                      platform::Bundle::bundleIdentifier(), token);
}

QVUnifiedPushTokenSource::QVUnifiedPushTokenSource(QDBusConnection connection, const QString &serviceName,
                                                   const QString &token, QObject *parent)
    : QObject(parent), m_connection(std::move(connection)), m_serviceName(serviceName), m_token(token) {}

QVUnifiedPushTokenSource::~QVUnifiedPushTokenSource() {
    if (!m_serving)
        return;
    m_connection.disconnect(QString::fromLatin1(kBusService), QString::fromLatin1(kBusPath),
                            QString::fromLatin1(kBusService), QStringLiteral("NameOwnerChanged"), this,
                            SLOT(nameOwnerChanged(QString, QString, QString)));
    m_connection.unregisterObject(QString::fromLatin1(kConnectorPath));
}

void QVUnifiedPushTokenSource::getNotificationSettings(
    std::function<void(AuthorizationStatus status, const QString &description)> block) {
    // Desktop notifications need no permission.
    if (block)
        block(AuthorizationStatus::Authorized, QStringLiteral("desktop notifications, UnifiedPush"));
}

void QVUnifiedPushTokenSource::requestAuthorizationWithOptions(
    int, std::function<void(bool granted, const platform::Error &error)> block) {
    if (block)
        block(true, {});
}

void QVUnifiedPushTokenSource::registerForRemoteNotificationTypes(int) {
    m_wanted = true;
    if (!m_connection.isConnected()) {
        m_state = State::NoBus;
        DevLog(QStringLiteral("[push] no session bus: push notifications are not received"));
        return;
    }
    if (!m_serving) {
        m_serving = m_connection.registerObject(QString::fromLatin1(kConnectorPath), this,
                                                QDBusConnection::ExportScriptableSlots);
        if (!m_serving) {
            DevLog(QStringLiteral("[push] could not serve %@: push notifications are not received"),
                   QString::fromLatin1(kConnectorPath));
            return;
        }
        m_connection.connect(QString::fromLatin1(kBusService), QString::fromLatin1(kBusPath),
                             QString::fromLatin1(kBusService), QStringLiteral("NameOwnerChanged"), this,
                             SLOT(nameOwnerChanged(QString, QString, QString)));
    }
    if (m_distributor.isEmpty())
        findDistributor();
    else
        registerWith(m_distributor);
}

void QVUnifiedPushTokenSource::unregisterForRemoteNotifications() {
    m_wanted = false;
    if (!m_distributor.isEmpty()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            m_distributor, QString::fromLatin1(kDistributorPath), QString::fromLatin1(kDistributorInterface),
            QStringLiteral("Unregister"));
        call << m_token;
        m_connection.send(call);
    }
    m_endpoint.clear();
    m_state = State::Unregistered;
    DevLog(QStringLiteral("[push] unregistered from %@"), m_distributor);
}

void QVUnifiedPushTokenSource::findDistributor() {
    const QPointer<QVUnifiedPushTokenSource> self(this);
    whenFinished(this, m_connection.interface()->asyncCall(QStringLiteral("ListNames")),
                 [self](const QDBusMessage &reply) {
                     if (!self || !self->m_wanted || !self->m_distributor.isEmpty())
                         return;
                     QStringList names;
                     for (const QString &name : reply.arguments().value(0).toStringList()) {
                         if (name.startsWith(QLatin1String(kDistributorPrefix)))
                             names << name;
                     }
                     // Several distributors: the user set up each for a reason; any one
                     // delivers, and a sorted list picks the same one at every launch.
                     names.sort();
                     if (names.isEmpty())
                         self->noDistributor();
                     else
                         self->registerWith(names.first());
                 });
}

void QVUnifiedPushTokenSource::noDistributor() {
    m_state = State::NoDistributor;
    m_distributor.clear();
    m_distributorOwner.clear();
    if (std::exchange(m_reportedNoDistributor, true))
        return;
    DevLog(QString::fromLatin1(kNoDistributorLog));
}

void QVUnifiedPushTokenSource::registerWith(const QString &distributor) {
    m_distributor = distributor;
    m_state = State::Registering;
    const QPointer<QVUnifiedPushTokenSource> self(this);
    // Calls to the connector are taken only from the distributor's own connection.
    whenFinished(
        this, m_connection.interface()->asyncCall(QStringLiteral("GetNameOwner"), distributor),
        [self, distributor](const QDBusMessage &owner) {
            if (!self || self->m_distributor != distributor)
                return;
            if (owner.type() != QDBusMessage::ReplyMessage) {
                // Gone meanwhile: look again, it may have been replaced.
                self->noDistributor();
                self->findDistributor();
                return;
            }
            self->m_distributorOwner = owner.arguments().value(0).toString();
            QDBusMessage call = QDBusMessage::createMethodCall(
                distributor, QString::fromLatin1(kDistributorPath),
                QString::fromLatin1(kDistributorInterface), QStringLiteral("Register"));
            call << self->m_serviceName << self->m_token << QString::fromLatin1(kDescription);
            whenFinished(
                self, self->m_connection.asyncCall(call), [self, distributor](const QDBusMessage &reply) {
                    if (!self || self->m_distributor != distributor)
                        return;
                    const QString result = reply.arguments().value(0).toString();
                    if (reply.type() == QDBusMessage::ReplyMessage && result == QLatin1String(kNewEndpoint)) {
                        self->m_reportedNoDistributor = false;
                        if (self->m_state == State::Registering)
                            self->m_state = State::Registered;
                        DevLog(QStringLiteral("[push] registered with %@"), distributor);
                        return;
                    }
                    const QString reason = reply.type() == QDBusMessage::ReplyMessage
                                               ? reply.arguments().value(1).toString()
                                               : reply.errorMessage();
                    self->m_state = State::Unregistered;
                    const platform::Error error(
                        QString::fromLatin1(kErrorDomain), 1,
                        QStringLiteral("%1 refused the registration: %2").arg(distributor, reason.left(200)));
                    if (self->handlers().didFailToRegister)
                        self->handlers().didFailToRegister(error);
                });
        });
}

void QVUnifiedPushTokenSource::nameOwnerChanged(const QString &name, const QString &oldOwner,
                                                const QString &newOwner) {
    if (!name.startsWith(QLatin1String(kDistributorPrefix)))
        return;
    if (name == m_distributor && newOwner.isEmpty()) {
        DevLog(QStringLiteral("[push] distributor %@ is gone"), name);
        m_endpoint.clear();
        if (!m_wanted) {
            m_distributor.clear();
            m_distributorOwner.clear();
            return;
        }
        noDistributor();
        // Another one may still be there.
        findDistributor();
        return;
    }
    if (!m_wanted)
        return;
    if (name == m_distributor) {
        // A restarted distributor under the same name: the endpoint is asked for again.
        registerWith(name);
        return;
    }
    if (!newOwner.isEmpty() && oldOwner.isEmpty() && m_distributor.isEmpty() &&
        m_state != State::Unregistered)
        registerWith(name);
}

bool QVUnifiedPushTokenSource::fromOurDistributor(const QString &token, const char *method) {
    const bool ours = calledFromDBus() && !m_distributorOwner.isEmpty() &&
                      message().service() == m_distributorOwner && token == m_token;
    if (!ours)
        DevLog(QStringLiteral("[push] %@ ignored: not from the distributor of this application"),
               QString::fromLatin1(method));
    return ours;
}

bool QVUnifiedPushTokenSource::isUsableEndpoint(const QString &endpoint) {
    if (endpoint.isEmpty() || endpoint.size() > kMaxEndpointLength)
        return false;
    const QUrl url(endpoint, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("https") || scheme == QLatin1String("http")) &&
           !url.host().isEmpty();
}

QVariantMap QVUnifiedPushTokenSource::payloadFromMessage(const QByteArray &message, QString *problem) {
    const auto fail = [problem](const QString &why) {
        if (problem)
            *problem = why;
        return QVariantMap();
    };
    if (message.size() > kMaxMessageBytes)
        return fail(QStringLiteral("%1 bytes, more than %2").arg(message.size()).arg(kMaxMessageBytes));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(message);
    if (decoder.hasError() || text.contains(QChar(0)))
        return fail(QStringLiteral("not UTF-8 text"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return fail(QStringLiteral("not a JSON object"));
    if (problem)
        problem->clear();
    return document.object().toVariantMap();
}

void QVUnifiedPushTokenSource::Message(const QString &token, const QByteArray &bytes, const QString &) {
    if (!fromOurDistributor(token, "Message"))
        return;
    if (m_state != State::Registered) {
        DevLog(QStringLiteral("[push] message ignored: not registered"));
        return;
    }
    QString problem;
    const QVariantMap payload = payloadFromMessage(bytes, &problem);
    if (!problem.isEmpty()) {
        DevLog(QStringLiteral("[push] message dropped: %@"), problem);
        return;
    }
    if (handlers().didReceiveRemoteNotification)
        handlers().didReceiveRemoteNotification(payload);
}

void QVUnifiedPushTokenSource::NewEndpoint(const QString &token, const QString &endpoint) {
    if (!fromOurDistributor(token, "NewEndpoint"))
        return;
    if (m_state == State::Unregistered || !m_wanted) {
        DevLog(QStringLiteral("[push] endpoint ignored: not registered"));
        return;
    }
    if (!isUsableEndpoint(endpoint)) {
        DevLog(QStringLiteral("[push] endpoint refused: not an http(s) address"));
        return;
    }
    m_state = State::Registered;
    m_endpoint = endpoint;
    if (handlers().didReceiveEndpoint)
        handlers().didReceiveEndpoint(endpoint);
}

void QVUnifiedPushTokenSource::Unregistered(const QString &token) {
    // An empty token confirms an unregistration this application asked for.
    if (token.isEmpty() && m_state == State::Unregistered)
        return;
    if (!fromOurDistributor(token, "Unregistered"))
        return;
    m_wanted = false;
    m_endpoint.clear();
    m_state = State::Unregistered;
    DevLog(QStringLiteral("[push] the distributor %@ unregistered this application"), m_distributor);
}
