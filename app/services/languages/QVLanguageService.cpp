#include "services/languages/QVLanguageService.h"

#include "core/DevLogger.h"
#include "core/localization/QVLanguageNames.h"
#include "core/localization/QVLocalizedString.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/QVLanguageMode.h"
#include "core/settings/QVSettingsService.h"
#include "services/network/QVRequestManager.h"
#include "services/speech/QVMSpeechSynthesizerService.h"

#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>

using platform::Key;
using platform::Results;

namespace {

const QString kLanguageClass = QVLanguageRealm::storeClassName();
const QString kAuto = QString::fromLatin1(QVLanguageRealm::kAutoDetectionIdentifier);

platform::Error serviceError(QVLanguageService::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVLanguageService::kErrorDomain), code, description);
}

platform::ObjectStore defaultStore() {
    return platform::ObjectStore::defaultStore();
}

Results languages() {
    const platform::ObjectStore store = defaultStore();
    return store.isNull() ? Results() : store.objects(kLanguageClass);
}

Results byName(const Results &results) {
    return results.sorted(QStringLiteral("languageName"));
}

platform::Predicate notAuto() {
    return Key(QVLanguageRealm::primaryKey()) != kAuto;
}

platform::Predicate nameContains(const QString &text) {
    return Key(QStringLiteral("languageName")).contains(text);
}

QVLanguageService::LanguageList listOf(const Results &results) {
    return results.toList<QVLanguageRealm>();
}

bool isWebSiteMode() {
    return QVSettingsService::defaultSettings().translationMode() ==
           QVLanguageService::kWebSiteTranslationMode;
}

// The flag that a mode selects on; empty for modes that select otherwise.
platform::Predicate modePredicate(int mode, bool *selective) {
    *selective = true;
    const auto flag = [](const char *name) {
        return Key(QStringLiteral("languageModes.") + QLatin1String(name)) == true;
    };
    switch (mode) {
    case QVLanguageService::ImageRecognition:
        return flag("imageRecognition") || flag("imageObjectRecognition");
    case QVLanguageService::ParseVoice:
        return flag("parseVoice");
    case QVLanguageService::ProduceVoice:
        return flag("produceVoice");
    case QVLanguageService::OfflineTranslate:
        return flag("offlineTranslate");
    case QVLanguageService::PhraseBook:
        return flag("phraseBook");
    case QVLanguageService::WebSites:
        return flag("translateWebSite");
    default:
        *selective = false;
        return Key(QStringLiteral("languageModes")) != QVariant();
    }
}

// Classes and properties that link a language: what must survive a refresh.
bool isLinked(const platform::ObjectStore &store, const QVLanguageRealm &language) {
    for (const platform::ObjectSchema &schema : store.schema()) {
        for (const platform::Property &property : schema.properties()) {
            if ((property.isLink() || property.isList()) && property.objectClass == kLanguageClass &&
                !language.linkingObjects(schema.className(), property.name).isEmpty())
                return true;
        }
    }
    return false;
}

QString capitalizedWithoutSpaces(const QString &name) {
    QString key;
    bool wordStart = true;
    for (const QChar c : name) {
        if (c.isSpace()) {
            wordStart = true;
            continue;
        }
        key += wordStart ? c.toUpper() : c.toLower();
        wordStart = false;
    }
    return key;
}

QString compact(const QString &text) {
    QString out;
    for (const QChar c : text) {
        if (!c.isSpace())
            out += c.toLower();
    }
    return out;
}

QVariantMap modesOf(const QVariant &modes) {
    QVariantMap out;
    for (const QVariant &element : modes.toList()) {
        const QVariantMap mode = element.toMap();
        const QVariant name = mode.value(QStringLiteral("name"));
        const QVariant value = mode.value(QStringLiteral("value"));
        if (name.typeId() != QMetaType::QString || compact(name.toString()).isEmpty())
            continue;
        if (value.typeId() != QMetaType::Bool && value.typeId() != QMetaType::Double &&
            value.typeId() != QMetaType::LongLong && value.typeId() != QMetaType::Int)
            continue;
        out.insert(QVLanguageService::modeKeyForName(name.toString()), value.toBool());
    }
    return out;
}

QString stringValue(const QVariantMap &item, const char *key) {
    const QVariant value = item.value(QString::fromLatin1(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

// ---- Loading and saving --------------------------------------------------------

QString QVLanguageService::modeKeyForName(const QString &name) {
    const QString wanted = compact(name);
    const QStringList keys = QVLanguageMode::JSONInboundMappingDictionary().keys();
    for (const QString &key : keys) {
        if (compact(key) == wanted)
            return key;
    }
    return capitalizedWithoutSpaces(name);
}

QVariantList QVLanguageService::processingLanguageArray(const QVariantList &items) {
    QVariantList out;
    for (const QVariant &element : items) {
        if (element.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap item = element.toMap();
        const QString fullCode = stringValue(item, "full_code");
        if (fullCode.trimmed().isEmpty())
            continue;
        const QString name = QVLanguageNames::nameForCode(fullCode, stringValue(item, "englishName"));
        const QString alpha1 = stringValue(item, "code_alpha_1");
        QVariantMap language{
            {QStringLiteral("localeIdentifier"), fullCode},
            {QStringLiteral("imageFile"), stringValue(item, "flagPath")},
            {QStringLiteral("languageString"), alpha1},
            {QStringLiteral("voiceLocale"), alpha1},
            {QStringLiteral("tesseractLanguageCode"), stringValue(item, "code_alpha_3")},
            {QStringLiteral("localeName"), name},
            {QStringLiteral("modes"), modesOf(item.value(QStringLiteral("modes")))},
        };
        if (item.contains(QStringLiteral("testWordForSyntezis")))
            language.insert(QStringLiteral("testWordForSyntezis"), stringValue(item, "testWordForSyntezis"));
        out.append(language);
    }
    return out;
}

platform::Error QVLanguageService::saveLanguagesToRealm(const QVariantList &catalogueItems) {
    const platform::ObjectStore store = defaultStore();
    if (store.isNull())
        return serviceError(NoStore, QStringLiteral("The database is not open"));
    QSet<QString> listed;
    for (const QVariant &item : catalogueItems) {
        const QString identifier = item.toMap().value(QStringLiteral("localeIdentifier")).toString();
        if (!identifier.isEmpty())
            listed.insert(identifier);
    }
    // An empty list is a failed reply, not a catalogue without languages.
    if (listed.isEmpty())
        return serviceError(EmptyList, QStringLiteral("The language list is empty"));

    return safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
        for (const QVLanguageRealm &language : listOf(store.objects(kLanguageClass).filter(notAuto()))) {
            if (!listed.contains(language.localeIdentifier()) && !isLinked(store, language))
                tx.remove(language);
        }
        tx.add(QVLanguageRealm::languageWithLocaleIdentifier(
            kAuto, QVLocalizedString(QString::fromLatin1(kAutoDetectKey)),
            QString::fromLatin1(kAutoDetectImage), QString(QLatin1String("")), QString(QLatin1String("")),
            QString(QLatin1String("")), QString(QLatin1String(""))));
        JSONMapping::createOrUpdateInRealm(tx, kLanguageClass, catalogueItems);
    });
}

platform::Error QVLanguageService::localizeLanguageNames() {
    const platform::ObjectStore store = defaultStore();
    if (store.isNull())
        return serviceError(NoStore, QStringLiteral("The database is not open"));
    return safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
        for (const QVLanguageRealm &language : listOf(store.objects(kLanguageClass))) {
            const QString code = language.localeIdentifier();
            QString name = code == kAuto ? QVLocalizedString(QString::fromLatin1(kAutoDetectKey))
                                         : QVLanguageNames::nameForCode(code);
            // The catalogue's English names are not kept: the locale data's stand in for them.
            if (name == code)
                name = QVLanguageNames::displayName(code, QStringLiteral("en"));
            // A code no table or locale data knows keeps the name the catalogue gave it.
            if (!name.isEmpty() && name != language.languageName())
                language.setLanguageName(tx, name);
        }
    });
}

platform::Error QVLanguageService::initializeDefaultLanguages() {
    const platform::ObjectStore store = defaultStore();
    if (store.isNull())
        return serviceError(NoStore, QStringLiteral("The database is not open"));
    // The auto-detection record alone is no catalogue.
    if (!store.objects(kLanguageClass).filter(notAuto()).isEmpty())
        return {};
    const QString path = platform::Bundle::pathForResource(QString::fromLatin1(kDefaultLanguagesResource),
                                                           QString::fromLatin1(kDefaultLanguagesType));
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return serviceError(NoResource, QStringLiteral("The default language list is missing"));
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return serviceError(BadResource, QStringLiteral("The default language list is not valid JSON"));
    return saveLanguagesToRealm(
        processingLanguageArray(document.object().value(QStringLiteral("result")).toArray().toVariantList()));
}

void QVLanguageService::initializeDefaultLanguagesWithCompletion(
    std::function<void(bool refreshed)> completion) {
    const auto finish = [completion](bool refreshed) {
        if (completion)
            completion(refreshed);
    };
    const auto fallBack = [finish](const platform::Error &error) {
        if (error)
            DevLogger::logError(error, QString::fromLatin1(kRefreshMessage));
        // Offline gives -1003/-1004 here as often as -1009: any failure may
        // leave the catalogue empty, so the resource list fills it.
        initializeDefaultLanguages();
        finish(false);
    };
    QVRequestManager::instance().getLanguagesSucces(
        [fallBack, finish](const QVariantList &list) {
            const platform::Error saved = saveLanguagesToRealm(processingLanguageArray(list));
            if (saved) {
                fallBack(saved);
                return;
            }
            QVMSpeechSynthesizerService::addInformationToRealmLanguage();
            QVSettingsService::updateLanguages();
            platform::NotificationCenter::defaultCenter().post(
                QString::fromLatin1(kSettingsDidChangedNotification));
            finish(true);
        },
        fallBack);
}

// ---- Queries ------------------------------------------------------------------

Results QVLanguageService::allLanguages() {
    return byName(languages());
}

QVLanguageService::LanguageList QVLanguageService::allLanguagesWithoutAutoDetection() {
    return listOf(byName(languages().filter(notAuto())));
}

QVLanguageRealm QVLanguageService::autoDetectionLanguageRealm() {
    const platform::ObjectStore store = defaultStore();
    return store.isNull() ? QVLanguageRealm()
                          : QVLanguageRealm(store.objectForPrimaryKey(kLanguageClass, kAuto));
}

bool QVLanguageService::autoDetectionLanguageIsPresentInArray(const LanguageList &list) {
    return std::any_of(list.cbegin(), list.cend(),
                       [](const QVLanguageRealm &l) { return !l.isNull() && l.isAuto(); });
}

QVLanguageService::LanguageList QVLanguageService::allLanguagesForMode(int mode) {
    switch (mode) {
    case AllWithAutoDetection: {
        LanguageList list;
        const QVLanguageRealm autoDetection = autoDetectionLanguageRealm();
        if (autoDetection.isValid())
            list.append(autoDetection);
        return list + allLanguagesWithoutAutoDetection();
    }
    case InterfaceLanguages:
        return localizedLanguagesArray();
    case AllWithoutAutoDetection:
        return allLanguagesWithoutAutoDetection();
    default: {
        bool selective = false;
        return listOf(byName(languages().filter(modePredicate(mode, &selective) && notAuto())));
    }
    }
}

Results QVLanguageService::allLanguagesFilterName(const QString &text) {
    return byName(languages().filter(nameContains(text)));
}

Results QVLanguageService::allLanguagesWithoutAutoDetectionFilterName(const QString &text) {
    return byName(languages().filter(nameContains(text) && notAuto()));
}

QVLanguageService::LanguageList QVLanguageService::allLanguagesForMacWithoutAutoDetection() {
    return isWebSiteMode() ? allLanguagesForMode(WebSites) : allLanguagesWithoutAutoDetection();
}

QVLanguageService::LanguageList QVLanguageService::allLanguagesForMacFilterName(const QString &text) {
    if (isWebSiteMode()) {
        bool selective = false;
        return listOf(byName(
            languages().filter(modePredicate(WebSites, &selective) && notAuto() && nameContains(text))));
    }
    return listOf(allLanguagesFilterName(text));
}

QVLanguageService::LanguageList
QVLanguageService::allLanguagesForMacWithoutAutoDetectionFilterName(const QString &text) {
    bool selective = false;
    const platform::Predicate scope =
        isWebSiteMode() ? modePredicate(WebSites, &selective) && notAuto() : notAuto();
    return listOf(byName(languages().filter(scope && nameContains(text))));
}

QVLanguageService::LanguageList QVLanguageService::allLanguagesBuiltInVoices(const QStringList &codes) {
    return listOf(allLanguagesByFilterArray(codes));
}

Results QVLanguageService::allLanguagesByFilterArray(const QStringList &codes) {
    QVariantList values;
    for (const QString &code : codes)
        values.append(code);
    return byName(languages().filter(Key(QStringLiteral("languageString")).in(values)));
}

Results QVLanguageService::allLanguagesByFilter(const QList<QVStringRealm> &filter) {
    QStringList codes;
    for (const QVStringRealm &string : filter)
        codes.append(string.value());
    return allLanguagesByFilterArray(codes);
}

QVLanguageRealm QVLanguageService::correctedLanguage(const QVLanguageRealm &language,
                                                     const QStringList &supportedCodes) {
    if (language.isValid() && supportedCodes.contains(language.languageString()))
        return language;
    return allLanguagesBuiltInVoices(supportedCodes).value(0);
}

QVLanguageService::LanguageList QVLanguageService::getRecentlyLanguages() {
    QVTranslateSettings settings = QVSettingsService::defaultSettings();
    if (settings.recentlyLanguages().isEmpty()) {
        QVSettingsService::addRecentlyLanguage(settings.languageFrom());
        QVSettingsService::addRecentlyLanguage(settings.languageTo());
        settings = QVSettingsService::defaultSettings();
    }
    LanguageList recent;
    for (const platform::Object &object : settings.recentlyLanguages().toList()) {
        const QVLanguageRealm language(object);
        if (language.isValid() && !language.isAuto())
            recent.append(language);
    }
    return recent;
}

QVLanguageService::LanguageList QVLanguageService::getRecentlyLanguagesForMode(int mode) {
    LanguageList recent = getRecentlyLanguages();
    const QStringList interfaceCodes = interfaceLanguageCodes();
    recent.removeIf([&](const QVLanguageRealm &language) {
        switch (mode) {
        case WebSites:
            return !language.languageModes().isValid() || !language.languageModes().translateWebSite();
        case PhraseBook:
            return !language.languageModes().isValid() || !language.languageModes().phraseBook();
        case InterfaceLanguages:
            return !interfaceCodes.contains(language.languageString());
        default:
            return false;
        }
    });
    return recent;
}

QVLanguageService::LanguageList QVLanguageService::getRecentlyLanguagesWithoutAutoDetection() {
    return isWebSiteMode() ? getRecentlyLanguagesForMode(WebSites) : getRecentlyLanguages();
}

QVLanguageService::LanguageList QVLanguageService::recentlyLanguagesBuiltInVoices(const QStringList &codes) {
    LanguageList recent = getRecentlyLanguages();
    recent.removeIf(
        [&](const QVLanguageRealm &language) { return !codes.contains(language.languageString()); });
    return recent;
}

QString QVLanguageService::languageTitleWithoutCountryWithLanguage(const QVLanguageRealm &language) {
    if (language.isNull())
        return {};
    return language.languageName().section(QLatin1Char('('), 0, 0);
}

QVLanguageRealm QVLanguageService::languageForLocaleIdentifier(const QString &localeIdentifier) {
    return QVLanguageRealm(
        languages().filter(Key(QVLanguageRealm::primaryKey()) == localeIdentifier).first());
}

QVLanguageRealm QVLanguageService::languageForLanguageString(const QString &code) {
    const platform::ObjectStore store = defaultStore();
    return store.isNull() ? QVLanguageRealm() : QVLanguageRealm::languageWithCode(store, code);
}

QVLanguageRealm QVLanguageService::defaultLanguage() {
    return languageForLocaleIdentifier(QString::fromLatin1(kDefaultLanguage));
}

QStringList QVLanguageService::interfaceLanguageCodes() {
    return {QStringLiteral("en"), QStringLiteral("ru"),      QStringLiteral("fr"),     QStringLiteral("es"),
            QStringLiteral("it"), QStringLiteral("pt"),      QStringLiteral("de"),     QStringLiteral("ja"),
            QStringLiteral("ko"), QStringLiteral("zh-Hant"), QStringLiteral("zh-Hans")};
}

QVLanguageService::LanguageList QVLanguageService::localizedLanguagesArray() {
    LanguageList found;
    for (const QString &code : interfaceLanguageCodes()) {
        QVLanguageRealm language = languageForLanguageString(code);
        if (!language.isValid())
            language = languageForLocaleIdentifier(QString(code).replace(QLatin1Char('-'), QLatin1Char('_')));
        if (language.isValid())
            found.append(language);
    }
    std::stable_sort(found.begin(), found.end(), [](const QVLanguageRealm &a, const QVLanguageRealm &b) {
        return a.languageName().compare(b.languageName()) < 0;
    });
    return found;
}

QVariantMap QVLanguageService::recentlyJsonLanguages() {
    QVariantList names;
    for (const QVLanguageRealm &language : getRecentlyLanguages())
        names.append(language.languageName());
    return {{QStringLiteral("operationType"), QStringLiteral("kWatchTransferRecentlyLanguages")},
            {QStringLiteral("data"), names}};
}

QVariantMap QVLanguageService::allJsonLanguages() {
    QVariantList data;
    QList<QVStringRealm> filter;
    for (const platform::Object &string : QVSettingsService::defaultSettings().filter().toList())
        filter.append(QVStringRealm(string));
    if (!filter.isEmpty()) {
        for (const platform::Object &language : allLanguagesByFilter(filter).toList())
            data.append(JSONMapping::JSONDictionary(language));
    }
    return {{QStringLiteral("operationType"), QStringLiteral("kWatchTransferOperationAllLanguages")},
            {QStringLiteral("data"), data}};
}
