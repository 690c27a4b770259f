#include "services/push/QVPushNotificationController.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "services/network/QVRequestManager.h"
#include "services/push/QVDesktopNotifier.h"
#include "services/push/QVUnifiedPushTokenSource.h"

#include "platform/Bundle.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// A string as it is, a number as its text ("badge": 3 shows "3"); anything else is empty.
QString text(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return {};
    }
}

} // namespace

QVPushNotificationController &QVPushNotificationController::shared() {
    static QVPushNotificationController *controller = new QVPushNotificationController(
        QVUnifiedPushTokenSource::forSessionBus(), std::make_shared<QVDesktopNotifier>(),
        [](const QString &token, SendSuccess success, SendFailure failure) {
            QVRequestManager::instance().addDeviceWithPushToken(
                token, [success](bool) { success(); }, failure);
        });
    return *controller;
}

QVPushNotificationController::QVPushNotificationController(std::shared_ptr<QVPushTokenSource> source,
                                                           std::shared_ptr<QVNotificationPresenter> presenter,
                                                           Sender sender)
    : m_source(std::move(source)), m_presenter(std::move(presenter)), m_sender(std::move(sender)) {
    // The source may outlive a controller made for a test: it reaches the controller only while set.
    m_source->setHandlers({
        [this](const QString &token) { didRegisterForRemoteNotificationsWithDeviceToken(token); },
        [this](const platform::Error &error) { didFailToRegisterForRemoteNotificationsWithError(error); },
        [this](const QVariantMap &userInfo) { didReceiveRemoteNotification(userInfo); },
        [this](const QString &endpoint) { didRegisterForRemoteNotificationsWithEndpoint(endpoint); },
    });
}

QVPushNotificationController::~QVPushNotificationController() {
    m_source->setHandlers({});
}

void QVPushNotificationController::lazyRemoteNotifications() {
    const std::weak_ptr<QVPushTokenSource> weakSource = m_source;
    m_source->getNotificationSettings(
        [weakSource](QVPushTokenSource::AuthorizationStatus status, const QString &description) {
            DevLog(QStringLiteral("[push] notifications settings: %@"), description);
            if (status != QVPushTokenSource::AuthorizationStatus::NotDetermined &&
                status != QVPushTokenSource::AuthorizationStatus::Denied)
                return;
            const auto source = weakSource.lock();
            if (!source)
                return;
            source->requestAuthorizationWithOptions(
                QVPushTokenSource::kBadgeSoundAlert, [](bool granted, const platform::Error &error) {
                    DevLog(QStringLiteral("[push] notifications granted: %@"),
                           granted ? QStringLiteral("true") : QStringLiteral("false"));
                    if (error)
                        DevLogger::logError(error, QString::fromLatin1(kAuthorizationMessage));
                });
        });
    // Registration does not wait for permission: a token is sent even when alerts are refused.
    m_source->registerForRemoteNotificationTypes(QVPushTokenSource::kBadgeSoundAlert);
    downloadDataFromProvider();
    m_presenter->setBadgeLabel(QString());
}

QString QVPushNotificationController::cleanedToken(const QString &description) {
    QString token;
    token.reserve(description.size());
    for (const QChar c : description) {
        if (c.isLetterOrNumber())
            token.append(c);
    }
    return token;
}

void QVPushNotificationController::didRegisterForRemoteNotificationsWithDeviceToken(
    const QString &deviceToken) {
    const QString token = cleanedToken(deviceToken);
    DevLog(QStringLiteral("[push] %@ %@"), QString::fromLatin1(kDidRegister), token);
    sendToProvider(token);
}

void QVPushNotificationController::didRegisterForRemoteNotificationsWithEndpoint(const QString &endpoint) {
    // The whole address lets anyone push to this device: the log gets its origin only.
    DevLog(QStringLiteral("[push] %@ %@"), QString::fromLatin1(kDidRegister),
           QUrl(endpoint)
               .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
               .toString());
    sendToProvider(endpoint);
}

void QVPushNotificationController::didFailToRegisterForRemoteNotificationsWithError(
    const platform::Error &error) {
    DevLog(QStringLiteral("[push] %@ %@"), QString::fromLatin1(kDidFailToRegister),
           error.localizedDescription());
    DevLogger::logError(error, QString::fromLatin1(kDidFailToRegister));
}

void QVPushNotificationController::sendToProvider(const QString &token) {
    if (!m_sender)
        return;
    m_sender(
        token,
        [] {
            DevLog(QStringLiteral("[push] %@ token post = success"), QString::fromLatin1(kSendToProvider));
        },
        [](const platform::Error &error) {
            DevLogger::logError(error, QString::fromLatin1(kSendToProvider));
        });
}

void QVPushNotificationController::didReceiveRemoteNotification(const QVariantMap &userInfo) {
    DevLog(QStringLiteral("[push] didReceiveRemoteNotification userInfo %@"), userInfo);
    const QVariant aps = userInfo.value(QStringLiteral("aps"));
    if (aps.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap map = aps.toMap();
    playNotificationSound(map);
    badgeApplicationIcon(map);
    showNotificationAlert(map);
    downloadDataFromProvider();
}

QString QVPushNotificationController::bundledSoundPath(const QString &name) {
    // A name, never a path: nothing outside the resource folder is ever played.
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/')) ||
        name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return {};
    const QString path = platform::Bundle::pathForResource(name, QString());
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return {};
    const QString folder = QFileInfo(platform::Bundle::resourcePath()).canonicalFilePath();
    if (QFileInfo(info.canonicalFilePath()).absolutePath() != folder)
        return {};
    return info.canonicalFilePath();
}

void QVPushNotificationController::playNotificationSound(const QVariantMap &aps) {
    if (!aps.contains(QStringLiteral("sound")))
        return;
    const QString name = text(aps.value(QStringLiteral("sound")));
    const QString path = name == QLatin1String(kDefaultSound) ? QString() : bundledSoundPath(name);
    // A sound the application does not have still sounds: the desktop's alert.
    if (path.isEmpty())
        m_presenter->playAlertSound();
    else
        m_presenter->playSoundFile(path);
}

void QVPushNotificationController::badgeApplicationIcon(const QVariantMap &aps) {
    m_presenter->setBadgeLabel(
        aps.contains(QStringLiteral("badge")) ? text(aps.value(QStringLiteral("badge"))) : QString());
}

void QVPushNotificationController::showNotificationAlert(const QVariantMap &aps) {
    const QVariant alert = aps.value(QStringLiteral("alert"));
    QString title;
    QString body;
    if (alert.typeId() == QMetaType::QVariantMap) {
        const QVariantMap fields = alert.toMap();
        title = text(fields.value(QStringLiteral("title")));
        body = text(fields.value(QStringLiteral("body")));
    } else {
        body = text(alert);
    }
    // Nothing to read: no empty notification.
    if (title.isEmpty() && body.isEmpty())
        return;
    m_presenter->showAlert(title, body);
}
