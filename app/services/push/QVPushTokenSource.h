#pragma once

#include "platform/Error.h"

#include <QString>
#include <QVariantMap>

#include <functional>

// Where push permission, device tokens and incoming payloads come from. The
// application's source is a UnifiedPush distributor on the session bus
// (QVUnifiedPushTokenSource); the dormant source below never delivers
// anything. A source, or a test's fake, hands its events to the handlers the
// push controller sets.
class QVPushTokenSource {
public:
    // As the notification settings report it: not asked yet, refused, allowed.
    enum class AuthorizationStatus { NotDetermined = 0, Denied = 1, Authorized = 2 };
    // Badge, sound and alert together.
    static constexpr int kBadgeSoundAlert = 7;

    struct Handlers {
        // The token's description; the controller cleans it.
        std::function<void(const QString &deviceToken)> didRegister;
        std::function<void(const platform::Error &error)> didFailToRegister;
        std::function<void(const QVariantMap &userInfo)> didReceiveRemoteNotification;
        // An endpoint URL that stands for the token: sent as it is, never cleaned.
        std::function<void(const QString &endpoint)> didReceiveEndpoint;
    };

    virtual ~QVPushTokenSource() = default;

    void setHandlers(Handlers handlers) { m_handlers = std::move(handlers); }
    const Handlers &handlers() const { return m_handlers; }

    // The block gets the status and a description of the settings for the log.
    virtual void getNotificationSettings(
        std::function<void(AuthorizationStatus status, const QString &description)> block) = 0;
    virtual void requestAuthorizationWithOptions(
        int options, std::function<void(bool granted, const platform::Error &error)> block) = 0;
    virtual void registerForRemoteNotificationTypes(int types) = 0;

private:
    Handlers m_handlers;
};

// The desktop's source: notifications need no permission, and no push service
// hands out tokens or payloads, so registration asks nothing and never answers.
class QVDormantPushTokenSource : public QVPushTokenSource {
public:
    void getNotificationSettings(
        std::function<void(AuthorizationStatus status, const QString &description)> block) override {
        if (block)
            block(AuthorizationStatus::Authorized, QStringLiteral("desktop notifications, no push service"));
    }
    void requestAuthorizationWithOptions(
        int, std::function<void(bool granted, const platform::Error &error)> block) override {
        if (block)
            block(true, {});
    }
    void registerForRemoteNotificationTypes(int) override {}
};
