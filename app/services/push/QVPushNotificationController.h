#pragma once

#include "services/push/QVNotificationPresenter.h"
#include "services/push/QVPushTokenSource.h"

#include "platform/Error.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

// Push notifications: permission and registration at launch, every device
// token sent to the push service, and incoming payloads shown on the desktop.
//
//   QVPushNotificationController::shared().lazyRemoteNotifications(); // launch
//
//   // Tests: a fake source, a recording presenter and their own sender.
//   QVPushNotificationController push(source, presenter, sender);
//   source->handlers().didRegister("<0a1b 2c3d>");    // sends "0a1b2c3d"
//   push.didReceiveRemoteNotification({{"aps", QVariantMap{{"alert", "Hi"}}}});
//
// Main thread only. An "aps" payload reads "sound" ("default" is the desktop's
// alert sound, any other value names a sound file among the application's
// resources), "badge" (number or text; absent removes the badge) and "alert"
// (text, or a dictionary with "title" and "body").
class QVPushNotificationController {
public:
    using SendSuccess = std::function<void()>;
    using SendFailure = std::function<void(const platform::Error &error)>;
    // Registers the cleaned token with the push service.
    using Sender = std::function<void(const QString &token, SendSuccess success, SendFailure failure)>;

    static constexpr const char *kAuthorizationMessage = "Push notifications requestAuthorizationWithOptions";
    static constexpr const char *kDidRegister =
        "application:didRegisterForRemoteNotificationsWithDeviceToken:";
    static constexpr const char *kDidFailToRegister =
        "application:didFailToRegisterForRemoteNotificationsWithError:";
    static constexpr const char *kSendToProvider = "sendToProvider:";
    static constexpr const char *kDefaultSound = "default";

    // The application's: a UnifiedPush distributor on the session bus, desktop
    // notifications, and the general API client's device registration.
    static QVPushNotificationController &shared();

    QVPushNotificationController(std::shared_ptr<QVPushTokenSource> source,
                                 std::shared_ptr<QVNotificationPresenter> presenter, Sender sender);
    ~QVPushNotificationController();
    QVPushNotificationController(const QVPushNotificationController &) = delete;
    QVPushNotificationController &operator=(const QVPushNotificationController &) = delete;

    // Permission when not yet given, registration for badge, sound and alert, badge cleared.
    void lazyRemoteNotifications();

    void didRegisterForRemoteNotificationsWithDeviceToken(const QString &deviceToken);
    // An endpoint URL is the token itself: sent whole (cleaning would leave no address).
    void didRegisterForRemoteNotificationsWithEndpoint(const QString &endpoint);
    void didFailToRegisterForRemoteNotificationsWithError(const platform::Error &error);
    void didReceiveRemoteNotification(const QVariantMap &userInfo);
    void sendToProvider(const QString &token);

    void playNotificationSound(const QVariantMap &aps);
    void badgeApplicationIcon(const QVariantMap &aps);
    void showNotificationAlert(const QVariantMap &aps);
    void downloadDataFromProvider() {}

    // Letters and digits of the token's description, in order.
    static QString cleanedToken(const QString &description);
    // The path of a sound file directly in the resource folder, or empty: a name
    // with a folder part, a hidden name or one naming no file gives nothing.
    static QString bundledSoundPath(const QString &name);

    QVPushTokenSource &source() { return *m_source; }

private:
    std::shared_ptr<QVPushTokenSource> m_source;
    std::shared_ptr<QVNotificationPresenter> m_presenter;
    Sender m_sender;
};
