#pragma once

#include "services/push/QVPushTokenSource.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>

#include <memory>

// Push on a Linux desktop through UnifiedPush: a distributor service on the
// session bus (a name starting "org.unifiedpush.Distributor.") hands out an
// endpoint URL, which is this device's push token, and delivers what the push
// service posts to that URL to the application's connector object.
//
//   auto source = std::make_shared<QVUnifiedPushTokenSource>(QDBusConnection::sessionBus(),
//                                                            serviceName, token);
//   QVPushNotificationController push(source, presenter, sender);
//   push.lazyRemoteNotifications();   // registers; the endpoint arrives later
//
// The application must own `serviceName` on the connection (the distributor
// calls it back there). Without a distributor one diagnostic line says so and
// the source waits: one that appears later is registered with then, as is a
// distributor that comes back after going away. Messages are read as JSON
// objects (the payload with "aps"); a message from another sender, for
// another token, over the size limit, not UTF-8 or not a JSON object is
// dropped with a diagnostic line. Main thread only; no call blocks.
class QVUnifiedPushTokenSource : public QObject, public QVPushTokenSource, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.unifiedpush.Connector1")
public:
    static constexpr const char *kDistributorPrefix = "org.unifiedpush.Distributor.";
    static constexpr const char *kDistributorPath = "/org/unifiedpush/Distributor";
    static constexpr const char *kDistributorInterface = "org.unifiedpush.Distributor1";
    static constexpr const char *kConnectorPath = "/org/unifiedpush/Connector";
    static constexpr const char *kConnectorInterface = "org.unifiedpush.Connector1";
    static constexpr const char *kNewEndpoint = "NEW_ENDPOINT";
    static constexpr const char *kDescription = "Quorvalde Translator";
    // What a push service may post to an endpoint; anything longer is not a payload of ours.
    static constexpr int kMaxMessageBytes = 4096;
    static constexpr int kMaxEndpointLength = 2048;
    static constexpr const char *kNoDistributorLog =
        "[push] no UnifiedPush distributor on the session bus: push notifications are not received";
    static constexpr const char *kTokenKey = "kUserDefaultUnifiedPushToken";

    enum class State { Idle, NoBus, NoDistributor, Registering, Registered, Unregistered };

    // The application's: the session bus, the bundle identifier as the service
    // name, and a connection token kept in the user defaults across launches.
    static std::shared_ptr<QVUnifiedPushTokenSource> forSessionBus();

    QVUnifiedPushTokenSource(QDBusConnection connection, const QString &serviceName, const QString &token,
                             QObject *parent = nullptr);
    ~QVUnifiedPushTokenSource() override;

    void getNotificationSettings(
        std::function<void(AuthorizationStatus status, const QString &description)> block) override;
    void requestAuthorizationWithOptions(
        int options, std::function<void(bool granted, const platform::Error &error)> block) override;
    // Starts the registration with the distributor the desktop offers.
    void registerForRemoteNotificationTypes(int types) override;
    // Tells the distributor to forget this application; no message arrives after it.
    void unregisterForRemoteNotifications();

    State state() const { return m_state; }
    // The distributor's bus name, empty without one.
    QString distributor() const { return m_distributor; }
    QString endpoint() const { return m_endpoint; }

    // The payload of a message, or why it is not one.
    static QVariantMap payloadFromMessage(const QByteArray &message, QString *problem);
    // An endpoint the push service can be given: an http(s) URL of sane length.
    static bool isUsableEndpoint(const QString &endpoint);

public Q_SLOTS:
    // The connector interface, called by the distributor.
    Q_SCRIPTABLE Q_NOREPLY void Message(const QString &token, const QByteArray &bytes,
                                        const QString &messageIdentifier);
    Q_SCRIPTABLE Q_NOREPLY void NewEndpoint(const QString &token, const QString &endpoint);
    Q_SCRIPTABLE Q_NOREPLY void Unregistered(const QString &token);

private Q_SLOTS:
    void nameOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);

private:
    void findDistributor();
    void registerWith(const QString &distributor);
    void noDistributor();
    bool fromOurDistributor(const QString &token, const char *method);

    QDBusConnection m_connection;
    QString m_serviceName;
    QString m_token;
    State m_state = State::Idle;
    bool m_wanted = false;
    bool m_serving = false;
    bool m_reportedNoDistributor = false;
    QString m_distributor;
    QString m_distributorOwner;
    QString m_endpoint;
};
