#include <merovantia/Merovantia.h>

const double MerovantiaVersionNumber = 1.0;
const char *const MerovantiaVersionString = "1.0";

void Merovantia::initializeWithAppKey(const QString &appKey,
                                      const std::function<void(const QString &)> &block) {
    MFDataManager::sharedDataManager().saveAppKey(appKey, block);
}

void Merovantia::initialiseWithKey(const QString &appKey, ObjectBlock block) {
    MFDataManager::sharedDataManager().saveAppKey(appKey);
    MFRequestManager::sharedRequestManager().getConfigInBackgroundWithBlock(std::move(block));
}

void Merovantia::getConfigInBackgroundWithBlock(ObjectBlock block) {
    MFRequestManager::sharedRequestManager().getConfigInBackgroundWithBlock(std::move(block));
}

void Merovantia::getRemoteSettingsWithLanguage(const QString &language, RemoteSettingsBlock block) {
    MFRequestManager::sharedRequestManager().getRemoteSettingsWithLanguage(language, std::move(block));
}

void Merovantia::getCrossPromoForLang(const QString &language, ObjectBlock callback) {
    MFRequestManager::sharedRequestManager().getCrossPromoForLang(language, std::move(callback));
}

void Merovantia::getNewsWithLang(const QString &language, const QVariant &lastNewsId,
                                 const QString &osPlatform, ObjectBlock callback) {
    MFRequestManager::sharedRequestManager().getNewsWithLang(language, lastNewsId, osPlatform,
                                                             std::move(callback));
}

void Merovantia::getUpdateVersionWithLang(const QString &language, const QString &osPlatform,
                                          ObjectBlock callback) {
    MFRequestManager::sharedRequestManager().getUpdateVersionWithLang(language, osPlatform,
                                                                      std::move(callback));
}

void Merovantia::setAuthToken(const QString &token) {
    MFAuthRequestManager::instance().setAuthToken(token);
}

void Merovantia::clearAuthorization() {
    MFAuthRequestManager::instance().clearAuthorization();
}

void Merovantia::loginWithEmail(const QString &email, const QString &password, const QString &locale,
                                const QString &osPlatform, DataSuccess success, ErrorFailure failure) {
    MFAuthRequestManager::instance().loginWithEmail(email, password, locale, osPlatform, std::move(success),
                                                    std::move(failure));
}

void Merovantia::registerUserWithName(const QString &name, const QString &email, const QString &password,
                                      const QString &phoneNumber, const QString &role, const QString &locale,
                                      const QString &osPlatform, DataSuccess success, ErrorFailure failure) {
    MFAuthRequestManager::instance().registerUserWithName(name, email, password, phoneNumber, role, locale,
                                                          osPlatform, std::move(success), std::move(failure));
}

void Merovantia::resetPassword(const QString &email, DataSuccess success, ErrorFailure failure) {
    MFAuthRequestManager::instance().resetPassword(email, std::move(success), std::move(failure));
}

void Merovantia::logoutUserWithOsPlatform(const QString &osPlatform, ReplySuccess success,
                                          ErrorFailure failure) {
    MFAuthRequestManager::instance().logoutUserWithOsPlatform(osPlatform, std::move(success),
                                                              std::move(failure));
}

void Merovantia::getUserWithOsPlatform(const QString &osPlatform, DataSuccess success, ErrorFailure failure) {
    MFAuthRequestManager::instance().getUserWithOsPlatform(osPlatform, std::move(success),
                                                           std::move(failure));
}

void Merovantia::authViaFacebookWithParameters(const QVariantMap &parameters, const QString &locale,
                                               const QString &osPlatform, DataSuccess success,
                                               ErrorFailure failure) {
    MFAuthRequestManager::instance().authViaFacebookWithParameters(parameters, osPlatform, locale,
                                                                   std::move(success), std::move(failure));
}
