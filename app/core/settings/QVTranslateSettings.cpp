#include "core/settings/QVTranslateSettings.h"

#include "core/DevLog.h"
#include "core/settings/QVSettingsService.h"
#include "core/settings/QVAuthService.h"

#include <merovantia/MFDataManager.h>

#include <QMutex>
#include <QMutexLocker>

using platform::PropertyType;

namespace {

QMutex uuidMutex;
QString cachedUuid;

QVariant linkValue(const platform::Object &object) {
    return object.isNull() ? QVariant() : QVariant::fromValue(object);
}

} // namespace

platform::ObjectSchema QVTranslateSettings::schema() {
    const QString language = QVLanguageRealm::storeClassName();
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), PropertyType::Int)
        .link(QStringLiteral("languageFrom"), language)
        .link(QStringLiteral("languageTo"), language)
        .link(QStringLiteral("cardLanguageFrom"), language)
        .link(QStringLiteral("cardLanguageTo"), language)
        .link(QStringLiteral("phraseLanguageFrom"), language)
        .link(QStringLiteral("phraseLanguageTo"), language)
        .property(QStringLiteral("translateDirection"), PropertyType::Int)
        .property(QStringLiteral("translationMode"), PropertyType::Int)
        .property(QStringLiteral("speechSpeed"), PropertyType::Double)
        .list(QStringLiteral("recentlyLanguages"), language)
        .list(QStringLiteral("filter"), QStringLiteral("QVStringRealm"))
        .property(QStringLiteral("autoSpeechEnabled"), PropertyType::Bool)
        .link(QStringLiteral("remoteSettings"), QVRemoteSettings::storeClassName())
        .property(QStringLiteral("userId"), PropertyType::String)
        .property(QStringLiteral("startDate"), PropertyType::Date)
        .property(QStringLiteral("countOfLaunch"), PropertyType::Int)
        .property(QStringLiteral("dayTranslationPassedCount"), PropertyType::Int)
        .property(QStringLiteral("isAlreadySignIn"), PropertyType::Bool)
        .property(QStringLiteral("safariTranslateLanguage"), PropertyType::String)
        .property(QStringLiteral("isFirstPhotoRecognition"), PropertyType::Bool)
        .property(QStringLiteral("wasIntroScreenShown"), PropertyType::Bool)
        .property(QStringLiteral("autoSpeak"), PropertyType::Bool)
        .property(QStringLiteral("builtInVoices"), PropertyType::Bool)
        .property(QStringLiteral("detectEndOfSpeech"), PropertyType::Bool)
        .property(QStringLiteral("speedOfSpeech"), PropertyType::Float)
        .property(QStringLiteral("speechVoice"), PropertyType::Int);
}

QString QVTranslateSettings::primaryKey() {
    return QStringLiteral("idSetting");
}

QStringList QVTranslateSettings::ignoredProperties() {
    return {QStringLiteral("uuid")};
}

QVLanguageRealm QVTranslateSettings::catalogueLanguage(const platform::ObjectStore &store,
                                                       const QString &localeIdentifier) {
    if (store.isNull() || localeIdentifier.isEmpty())
        return {};
    return QVLanguageRealm(store.objects(QVLanguageRealm::storeClassName())
                               .filter(platform::Key(QVLanguageRealm::primaryKey()) == localeIdentifier)
                               .first());
}

QVTranslateSettings QVTranslateSettings::getDefaultSettings() {
    return getDefaultSettings(platform::ObjectStore::defaultStore());
}

QVTranslateSettings QVTranslateSettings::getDefaultSettings(const platform::ObjectStore &store) {
    const QVLanguageRealm from = catalogueLanguage(store, QString::fromLatin1(kDefaultLanguageFrom));
    const QVLanguageRealm to = catalogueLanguage(store, QString::fromLatin1(kDefaultLanguageTo));
    const QVariantMap values = {
        {primaryKey(), kSettingsId},
        {QStringLiteral("languageFrom"), linkValue(from)},
        {QStringLiteral("languageTo"), linkValue(to)},
        {QStringLiteral("cardLanguageFrom"), linkValue(to)},
        {QStringLiteral("cardLanguageTo"), linkValue(from)},
        {QStringLiteral("phraseLanguageFrom"), linkValue(from)},
        {QStringLiteral("phraseLanguageTo"), linkValue(to)},
        {QStringLiteral("translateDirection"), 1},
        {QStringLiteral("translationMode"), 1},
        // The single-precision 0.4 widened, as earlier versions stored it.
        {QStringLiteral("speechSpeed"), static_cast<double>(0.4f)},
        {QStringLiteral("startDate"), QVSettingsService::currentDate()},
        {QStringLiteral("countOfLaunch"), 0},
        {QStringLiteral("dayTranslationPassedCount"), 0},
        {QStringLiteral("isAlreadySignIn"), false},
        {QStringLiteral("safariTranslateLanguage"), QStringLiteral("en")},
        {QStringLiteral("isFirstPhotoRecognition"), true},
        {QStringLiteral("wasIntroScreenShown"), false},
        {QStringLiteral("autoSpeak"), false},
        {QStringLiteral("detectEndOfSpeech"), true},
        {QStringLiteral("speedOfSpeech"), 0.4f},
        {QStringLiteral("speechVoice"), 0},
    };
    return QVTranslateSettings(platform::Object::unmanaged(schema(), values));
}

QString QVTranslateSettings::uuid() const {
    QMutexLocker locker(&uuidMutex);
    if (cachedUuid.isEmpty()) {
        cachedUuid = MFDataManager::sharedDataManager().uuid();
        DevLog(QString::fromLatin1(kUuidLogFormat), cachedUuid);
    }
    return cachedUuid;
}

void QVTranslateSettings::resetCachedUuid() {
    QMutexLocker locker(&uuidMutex);
    cachedUuid.clear();
}

bool QVTranslateSettings::isNeededShowRegistrationOffer() const {
    if (!QVAuthService::authToken().isEmpty())
        return false;
    return !isAlreadySignIn();
}

platform::Error QVTranslateSettings::updateShowRegistrationOfferFlag() {
    if (QVSettingsService::defaultSettings().isAlreadySignIn())
        return {};
    return updateShowRegistrationOfferFlag(true);
}

platform::Error QVTranslateSettings::updateShowRegistrationOfferFlag(bool alreadySignedIn) {
    return QVSettingsService::changeSettings(
        [alreadySignedIn](platform::Transaction &tx, const QVTranslateSettings &settings) {
            settings.setIsAlreadySignIn(tx, alreadySignedIn);
        });
}
