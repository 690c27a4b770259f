#include "services/QVAuthRequestManager.h"

#include "core/settings/QVAuthService.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/QVAuthProfile.h"

#include "platform/NotificationCenter.h"
#include "platform/store/Store.h"

#include <merovantia/Merovantia.h>

namespace {

void postUserDidChange() {
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(QVAuthRequestManager::kUserDidChangedNotification));
}

platform::Error storeError() {
    return platform::Error(QString::fromLatin1(platform::ObjectStore::kErrorDomain),
                           platform::ObjectStore::OpenFailed, QStringLiteral("The database is not open"));
}

// A failure block that tolerates being absent.
Merovantia::ErrorFailure forward(const QVAuthRequestManager::Failure &failure) {
    return [failure](const platform::Error &error) {
        if (failure)
            failure(error);
    };
}

QString platformName() {
    return QString::fromLatin1(QVAuthRequestManager::kPlatform);
}

} // namespace

QString QVAuthRequestManager::authorizationHeaderValue() {
    const QString token = QVAuthService::authToken();
    return token.isEmpty() ? QString::fromLatin1(kBasicCredential) : QStringLiteral("Bearer ") + token;
}

void QVAuthRequestManager::setAuthorizationHeader() {
    Merovantia::clearAuthorization();
    Merovantia::setAuthToken(authorizationHeaderValue());
}

platform::Error QVAuthRequestManager::parseLoginResponse(const QVariant &data) {
    const QVariantMap reply = data.toMap();
    const QVariant profileValue =
        QVAuthService::authToken().isEmpty() ? reply.value(QStringLiteral("user")) : QVariant(reply);
    platform::Error error;
    if (profileValue.typeId() == QMetaType::QVariantMap && !profileValue.toMap().isEmpty()) {
        const platform::ObjectStore store = platform::ObjectStore::defaultStore();
        error =
            store.isNull() ? storeError() : safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
                const QVAuthProfile profile(JSONMapping::createOrUpdateInRealm(
                    tx, QVAuthProfile::storeClassName(), profileValue.toMap()));
                // The profile's id only: names and addresses stay out of the log.
                if (profile.isValid())
                    DevLog(QStringLiteral("[auth] profile %@ stored"), profile.idProfile());
            });
        if (error)
            DevLogger::logError(error, QString::fromLatin1(kParseLoginMessage));
    }
    const QVariant token = reply.value(QStringLiteral("bearerToken"));
    if (token.typeId() == QMetaType::QString && !token.toString().isEmpty()) {
        QVAuthService::setAuthToken(token.toString());
        setAuthorizationHeader();
    }
    return error;
}

platform::Error QVAuthRequestManager::clearUserInfo() {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    const platform::Error error =
        store.isNull() ? storeError() : safeTransactionWithBlock(store, [](platform::Transaction &tx) {
            tx.removeAll(QVAuthProfile::storeClassName());
        });
    if (error)
        DevLogger::logError(error, QStringLiteral("clearUserInfo"));
    QVAuthService::clearAuthToken();
    return error;
}

void QVAuthRequestManager::loginWithEmail(const QString &email, const QString &password,
                                          const QString &locale, DataSuccess success, Failure failure) {
    clearUserInfo();
    setAuthorizationHeader();
    Merovantia::loginWithEmail(
        email, password, locale, platformName(),
        [success](const QVariant &data) {
            parseLoginResponse(data);
            postUserDidChange();
            if (success)
                success(data);
        },
        forward(failure));
}

void QVAuthRequestManager::registerUserWithName(const QString &name, const QString &email,
                                                const QString &password, const QString &phoneNumber,
                                                const QString &role, const QString &locale,
                                                DataSuccess success, Failure failure) {
    clearUserInfo();
    setAuthorizationHeader();
    Merovantia::registerUserWithName(
        name, email, password, phoneNumber, role, locale, platformName(),
        [success](const QVariant &data) {
            parseLoginResponse(data);
            postUserDidChange();
            if (success)
                success(data);
        },
        forward(failure));
}

void QVAuthRequestManager::logoutSuccess(Success success, Failure failure) {
    setAuthorizationHeader();
    Merovantia::logoutUserWithOsPlatform(
        platformName(),
        [success](const MFURLSessionTaskPtr &, const QVariant &) {
            clearUserInfo();
            setAuthorizationHeader();
            postUserDidChange();
            QVAnalyticsManager::setCustomVariables();
            if (success)
                success();
        },
        forward(failure));
}

void QVAuthRequestManager::getUserSuccess(DataSuccess success, Failure failure) {
    setAuthorizationHeader();
    Merovantia::getUserWithOsPlatform(
        platformName(),
        [success](const QVariant &data) {
            parseLoginResponse(data);
            QVAnalyticsManager::setCustomVariables();
            if (success)
                success(data);
        },
        forward(failure));
}

void QVAuthRequestManager::resetEmail(const QString &email, DataSuccess success, Failure failure) {
    setAuthorizationHeader();
    Merovantia::resetPassword(
        email,
        [success](const QVariant &data) {
            if (success)
                success(data);
        },
        forward(failure));
}
