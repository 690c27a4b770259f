#pragma once

#include <merovantia/MFAuthRequestManager.h>
#include <merovantia/MFDataManager.h>
#include <merovantia/MFRequestManager.h>
#include <merovantia/SAMKeychain.h>

#include <QString>
#include <QVariantMap>

extern const double MerovantiaVersionNumber;
extern const char *const MerovantiaVersionString;

// The framework's public face: the application starts it with its key and
// reaches every backend service through these class methods. Blocks of the
// requests run on the main thread; the block of initializeWithAppKey runs
// before the call returns.
class Merovantia {
public:
    using ObjectBlock = MFRequestManager::ObjectBlock;
    using RemoteSettingsBlock = MFRequestManager::RemoteSettingsBlock;
    using DataSuccess = MFAuthRequestManager::DataSuccess;
    using ErrorFailure = MFAuthRequestManager::ErrorFailure;
    using ReplySuccess = MFAuthRequestManager::ReplySuccess;

    static void initializeWithAppKey(const QString &appKey,
                                     const std::function<void(const QString &uuid)> &block);
    static void initialiseWithKey(const QString &appKey, ObjectBlock block);

    static void getConfigInBackgroundWithBlock(ObjectBlock block);
    static void getRemoteSettingsWithLanguage(const QString &language, RemoteSettingsBlock block);
    static void getCrossPromoForLang(const QString &language, ObjectBlock callback);
    static void getNewsWithLang(const QString &language, const QVariant &lastNewsId,
                                const QString &osPlatform, ObjectBlock callback);
    static void getUpdateVersionWithLang(const QString &language, const QString &osPlatform,
                                         ObjectBlock callback);

    static void setAuthToken(const QString &token);
    static void clearAuthorization();
    static void loginWithEmail(const QString &email, const QString &password, const QString &locale,
                               const QString &osPlatform, DataSuccess success, ErrorFailure failure);
    static void registerUserWithName(const QString &name, const QString &email, const QString &password,
                                     const QString &phoneNumber, const QString &role, const QString &locale,
                                     const QString &osPlatform, DataSuccess success, ErrorFailure failure);
    static void resetPassword(const QString &email, DataSuccess success, ErrorFailure failure);
    static void logoutUserWithOsPlatform(const QString &osPlatform, ReplySuccess success,
                                         ErrorFailure failure);
    static void getUserWithOsPlatform(const QString &osPlatform, DataSuccess success, ErrorFailure failure);
    // Note the order: locale before platform here, platform before locale in the account client.
    static void authViaFacebookWithParameters(const QVariantMap &parameters, const QString &locale,
                                              const QString &osPlatform, DataSuccess success,
                                              ErrorFailure failure);

    Merovantia() = delete;
};
