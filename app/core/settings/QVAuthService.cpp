#include "core/settings/QVAuthService.h"

#include "core/mapping/JSONMapping.h"
#include "core/QVEnvironment.h"

#include "platform/UserDefaults.h"
#include "platform/store/Store.h"

namespace {

QString tokenKey() {
    return QString::fromLatin1(QVAuthService::kUserDefaultsTokenKey);
}

} // namespace

void QVAuthService::setAuthToken(const QString &token) {
    if (token.isEmpty())
        QVEnvironment::sharedDefaults().removeObject(tokenKey());
    else
        QVEnvironment::sharedDefaults().setObject(token, tokenKey());
}

QString QVAuthService::authToken() {
    return QVEnvironment::sharedDefaults().stringForKey(tokenKey());
}

void QVAuthService::clearAuthToken() {
    setAuthToken({});
}

QVAuthProfile QVAuthService::authProfile() {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull())
        return {};
    return QVAuthProfile(store.objects(QVAuthProfile::storeClassName()).first());
}

std::optional<qint64> QVAuthService::userId() {
    const QVAuthProfile profile = authProfile();
    if (!profile.isValid())
        return std::nullopt;
    return profile.idProfile();
}

QString QVAuthService::userName() {
    const QVAuthProfile profile = authProfile();
    return profile.isValid() ? profile.userName() : QString();
}

QString QVAuthService::userEmail() {
    const QVAuthProfile profile = authProfile();
    return profile.isValid() ? profile.email() : QString();
}

platform::Error QVAuthService::setIsSubscribedToNews(bool subscribed) {
    const QVAuthProfile profile = authProfile();
    if (!profile.isValid())
        return {};
    return safeTransactionWithBlock(
        profile.store(), [&](platform::Transaction &tx) { profile.setIsSubscribedToNews(tx, subscribed); });
}
