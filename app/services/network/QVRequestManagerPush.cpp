#include "services/network/QVRequestManager.h"

#include "services/network/QVJSONResponseSerializer.h"

#include "core/DevLog.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "core/localization/DJLocalizationSystem.h"

#include "platform/BackendConfig.h"
#include "platform/Bundle.h"

#include <QDateTime>
#include <QSet>
#include <QTimeZone>

namespace {

// The push service is not the maker's backend: it gets the common fields but
// never the general API's authorization.
QVHTTPSessionManager &pushSession() {
    static QVHTTPSessionManager *session = [] {
        auto *manager = new QVHTTPSessionManager(&platform::BackendConfig::pushHost);
        manager->setValueForHTTPHeaderField("application/json", "Content-Type");
        manager->setValueForHTTPHeaderField("application/json", "Accept");
        manager->setTimeoutInterval(QVRequestManager::kTimeoutMs);
        manager->setResourceTimeoutInterval(QVRequestManager::kTimeoutMs);
        manager->setResponseSerializer(
            std::make_shared<MFCompoundResponseSerializer>(QList<std::shared_ptr<const MFResponseSerializer>>{
                std::make_shared<QVJSONResponseSerializer>(),
                std::make_shared<MFHTTPResponseSerializer>(QSet<QByteArray>{"text/html"}),
            }));
        return manager;
    }();
    return *session;
}

// The player identifier of a reply, or empty.
QString playerId(const QVariant &reply) {
    const QVariant id = reply.toMap().value(QStringLiteral("id"));
    if (id.typeId() == QMetaType::QString)
        return id.toString();
    if (id.typeId() == QMetaType::Double || id.typeId() == QMetaType::LongLong ||
        id.typeId() == QMetaType::Int)
        return id.toString();
    return {};
}

} // namespace

QString QVRequestManager::pushAppIdForBundleIdentifier(const QString &bundleIdentifier) {
    if (bundleIdentifier == QLatin1String("com.tessaphyre.translatormacfree"))
        return QStringLiteral("7e3b9c21-5d4a-4f86-9b17-c2e8a0d4f613");
    if (bundleIdentifier == QLatin1String("com.tessaphyre.translator.mac"))
        return QStringLiteral("b5d17e90-3c6f-48a2-8e5d-91f4c7a2b0e8");
    DevLog(QStringLiteral("[push] invalid app ID %@"), bundleIdentifier);
    return QStringLiteral("");
}

qint64 QVRequestManager::timezoneOffsetSeconds(const QTimeZone &zone, const QDateTime &at) {
    return zone.offsetFromUtc(at);
}

MFURLSessionTaskPtr QVRequestManager::addDeviceWithPushToken(const QString &token, BoolSuccess success,
                                                             ErrorBlock failure) {
    const QVariantMap body{
        {QStringLiteral("app_id"), pushAppIdForBundleIdentifier(platform::Bundle::bundleIdentifier())},
        {QStringLiteral("device_type"), kPushDeviceType},
        {QStringLiteral("identifier"), token},
        {QStringLiteral("language"), DJLocalizationSystem::shared().language()},
        {QStringLiteral("timezone"),
         timezoneOffsetSeconds(QTimeZone::systemTimeZone(), QDateTime::currentDateTimeUtc())},
    };
    QUrl url = platform::BackendConfig::pushHost();
    url.setPath(url.path() + QString::fromLatin1(kPlayersPath));
    return pushSession().POST(
        url.toString(), body,
        [success = std::move(success)](const MFURLSessionTaskPtr &, const QVariant &reply) {
            const QString id = playerId(reply);
            if (!id.isEmpty()) {
                DevLog(QStringLiteral("Push notification OneSignal player id: %@"), id);
                QVAnalyticsManager::trackEventWithCategory(
                    QStringLiteral("APP"), QStringLiteral("Main screen: Subscribe to push notifications"),
                    QVariantMap{{QStringLiteral("player_id"), id}});
            }
            if (success)
                success(!id.isEmpty());
        },
        [failure = std::move(failure)](const MFURLSessionTaskPtr &, const platform::Error &error) {
            if (failure)
                failure(error);
        });
}
