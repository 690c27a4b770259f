#include "core/settings/QVSettingsService.h"

#include "core/DevLogger.h"
#include "core/models/QVRemoteSettings.h"

#include <QMutex>
#include <QMutexLocker>

using platform::Error;
using platform::Object;
using platform::ObjectStore;
using platform::Transaction;

namespace {

QMutex clockMutex;
QVSettingsService::Clock injectedClock;

const QString kSettingsClass = QVTranslateSettings::storeClassName();

Error serviceError(QVSettingsService::ErrorCode code, const QString &description) {
    return Error(QString::fromLatin1(QVSettingsService::kErrorDomain), code, description);
}

ObjectStore openStore(Error *error) {
    Error openError;
    const ObjectStore store = ObjectStore::defaultStore(&openError);
    if (store.isNull()) {
        *error = serviceError(QVSettingsService::NoStore, QStringLiteral("The settings store is not open"));
        if (openError)
            error->setUserInfoValue(QStringLiteral("underlyingError"), QVariant::fromValue(openError));
    }
    return store;
}

QVTranslateSettings storedRecord(const ObjectStore &store) {
    return QVTranslateSettings(store.objectForPrimaryKey(kSettingsClass, QVTranslateSettings::kSettingsId));
}

// One language link the defaults fill, with the default identifier and the
// identifier to use instead when the pair's other side already holds it.
struct LinkDefault {
    const char *property;
    const char *otherSide;
    const char *identifier;
    const char *alternative;
};

constexpr const char *kFrom = QVTranslateSettings::kDefaultLanguageFrom;
constexpr const char *kTo = QVTranslateSettings::kDefaultLanguageTo;
constexpr LinkDefault kLinkDefaults[] = {
    {"languageFrom", "languageTo", kFrom, kTo},
    {"languageTo", "languageFrom", kTo, kFrom},
    {"cardLanguageFrom", "cardLanguageTo", kTo, kFrom},
    {"cardLanguageTo", "cardLanguageFrom", kFrom, kTo},
    {"phraseLanguageFrom", "phraseLanguageTo", kFrom, kTo},
    {"phraseLanguageTo", "phraseLanguageFrom", kTo, kFrom},
};

QString linkedIdentifier(const Object &object, const QString &property) {
    const QVLanguageRealm language(object.link(property));
    return language.isValid() ? language.localeIdentifier() : QString();
}

// The links to restore: each unset language link whose default is in the
// catalogue. A pair never ends up with the same language on both sides.
QList<QPair<QString, QVLanguageRealm>> missingLinks(const ObjectStore &store,
                                                    const QVTranslateSettings &settings) {
    QList<QPair<QString, QVLanguageRealm>> repairs;
    QHash<QString, QString> planned;
    for (const LinkDefault &entry : kLinkDefaults) {
        const QString property = QString::fromLatin1(entry.property);
        if (!linkedIdentifier(settings, property).isEmpty())
            continue;
        const QString otherProperty = QString::fromLatin1(entry.otherSide);
        const QString other = planned.value(otherProperty, linkedIdentifier(settings, otherProperty));
        QString identifier = QString::fromLatin1(entry.identifier);
        if (identifier == other)
            identifier = QString::fromLatin1(entry.alternative);
        const QVLanguageRealm language = QVTranslateSettings::catalogueLanguage(store, identifier);
        if (language.isValid()) {
            repairs.append({property, language});
            planned.insert(property, identifier);
        }
    }
    return repairs;
}

bool sameDay(const QDateTime &a, const QDateTime &b) {
    return a.isValid() && b.isValid() && a.toLocalTime().date() == b.toLocalTime().date();
}

bool needsWork(const ObjectStore &store, const QVTranslateSettings &settings) {
    return !settings.isValid() || !missingLinks(store, settings).isEmpty() ||
           !sameDay(settings.startDate(), QVSettingsService::currentDate());
}

// Inside a write transaction: the stored record, created from the defaults
// when missing, with its missing language links restored one by one (every
// other field kept) and a new day started when the date moved on.
QVTranslateSettings ensureStored(Transaction &tx, const ObjectStore &store) {
    QVTranslateSettings settings = storedRecord(store);
    if (!settings.isValid())
        return QVTranslateSettings(tx.add(QVTranslateSettings::getDefaultSettings(store)));
    for (const auto &[property, language] : missingLinks(store, settings))
        settings.set(tx, property, QVariant::fromValue(static_cast<const Object &>(language)));
    const QDateTime now = QVSettingsService::currentDate();
    if (!sameDay(settings.startDate(), now)) {
        settings.setStartDate(tx, now);
        settings.setDayTranslationPassedCount(tx, 0);
    }
    return settings;
}

void trimRecentLanguages(Transaction &tx, const QVTranslateSettings &settings) {
    const platform::List recent = settings.recentlyLanguages();
    for (int size = recent.size(); size > QVSettingsService::kRecentLanguagesLimit; --size)
        recent.removeAt(tx, size - 1);
}

// The catalogue record a caller's language stands for (callers may hold an
// unsaved copy, which must never replace the stored record).
Error resolveLanguage(const QVLanguageRealm &language, QVLanguageRealm *stored) {
    Error error;
    const ObjectStore store = openStore(&error);
    if (error)
        return error;
    const QString identifier = language.isNull() ? QString() : language.localeIdentifier();
    *stored = QVTranslateSettings::catalogueLanguage(store, identifier);
    if (!stored->isValid())
        return serviceError(QVSettingsService::NotInCatalogue,
                            QStringLiteral("Language \"%1\" is not in the catalogue").arg(identifier));
    return {};
}

Error setLanguageLink(const QString &property, const QVLanguageRealm &language, bool isTarget) {
    QVLanguageRealm stored;
    if (const Error error = resolveLanguage(language, &stored))
        return error;
    if (isTarget && stored.isAuto())
        return serviceError(QVSettingsService::AutoDetectionAsTarget,
                            QStringLiteral("Automatic detection cannot be a target language"));
    return QVSettingsService::changeSettings([&](Transaction &tx, const QVTranslateSettings &settings) {
        settings.set(tx, property, QVariant::fromValue(static_cast<const Object &>(stored)));
    });
}

Error setField(const QString &property, const QVariant &value) {
    return QVSettingsService::changeSettings(
        [&](Transaction &tx, const QVTranslateSettings &settings) { settings.set(tx, property, value); });
}

} // namespace

QVTranslateSettings QVSettingsService::defaultSettings() {
    Error error;
    const ObjectStore store = openStore(&error);
    if (error) {
        DevLogger::logError(error, QString::fromLatin1(kDefaultSettingsMessage));
        return QVTranslateSettings::getDefaultSettings(store);
    }
    // The window asks a few dozen times as it is built: a record that needed no work needs none
    // while nothing in the store changed and the day is the same.
    thread_local ObjectStore::Version verifiedVersion;
    thread_local QDate verifiedDay;
    const ObjectStore::Version version = store.version();
    const QDate today = currentDate().toLocalTime().date();
    const QVTranslateSettings current = storedRecord(store);
    if (version == verifiedVersion && today == verifiedDay && current.isValid())
        return current;
    if (!needsWork(store, current)) {
        verifiedVersion = version;
        verifiedDay = today;
        return current;
    }
    QVTranslateSettings settings;
    error = store.write([&](Transaction &tx) { settings = ensureStored(tx, store); });
    if (error) {
        DevLogger::logError(error, QString::fromLatin1(kDefaultSettingsMessage));
        return QVTranslateSettings::getDefaultSettings(store);
    }
    return settings;
}

Error QVSettingsService::changeSettings(const Change &change) {
    Error error;
    const ObjectStore store = openStore(&error);
    if (!error) {
        error = store.write([&](Transaction &tx) { change(tx, ensureStored(tx, store)); });
    }
    if (error)
        DevLogger::logError(error, QString::fromLatin1(kDefaultSettingsMessage));
    return error;
}

QString QVSettingsService::languageFrom() {
    return linkedIdentifier(defaultSettings(), QStringLiteral("languageFrom"));
}

QString QVSettingsService::languageTo() {
    return linkedIdentifier(defaultSettings(), QStringLiteral("languageTo"));
}

QString QVSettingsService::cardLanguageFrom() {
    return linkedIdentifier(defaultSettings(), QStringLiteral("cardLanguageFrom"));
}

QString QVSettingsService::cardLanguageTo() {
    return linkedIdentifier(defaultSettings(), QStringLiteral("cardLanguageTo"));
}

Error QVSettingsService::changeLanguages() {
    if (defaultSettings().languageFrom().isAuto())
        return serviceError(AutoDetectionAsTarget,
                            QStringLiteral("Automatic detection cannot be a target language"));
    return changeSettings([](Transaction &tx, const QVTranslateSettings &settings) {
        const QVLanguageRealm from = settings.languageFrom();
        const QVLanguageRealm to = settings.languageTo();
        if (from.isAuto())
            return; // changed since the check above
        settings.setLanguageFrom(tx, to);
        settings.setLanguageTo(tx, from);
    });
}

Error QVSettingsService::updateLanguages() {
    return changeSettings([](Transaction &tx, const QVTranslateSettings &settings) {
        const ObjectStore store = tx.store();
        for (const QString &property : {QStringLiteral("languageFrom"), QStringLiteral("languageTo")}) {
            const QVLanguageRealm linked(settings.link(property));
            if (!linked.isValid())
                continue;
            const QVLanguageRealm current =
                QVTranslateSettings::catalogueLanguage(store, linked.localeIdentifier());
            if (current.isValid() && current != linked)
                settings.set(tx, property, QVariant::fromValue(static_cast<const Object &>(current)));
        }
    });
}

Error QVSettingsService::changeTranslateDirection() {
    return changeSettings([](Transaction &tx, const QVTranslateSettings &settings) {
        settings.setTranslateDirection(tx, settings.translateDirection() == 1 ? 2 : 1);
    });
}

Error QVSettingsService::addRecentlyLanguage(const QVLanguageRealm &language) {
    if (language.isNull())
        return {};
    QVLanguageRealm stored;
    if (const Error error = resolveLanguage(language, &stored))
        return error;
    return changeSettings([&](Transaction &tx, const QVTranslateSettings &settings) {
        const platform::List recent = settings.recentlyLanguages();
        const int index = recent.indexOf(stored);
        if (index > 0)
            recent.move(tx, index, 0);
        else if (index < 0)
            recent.insert(tx, 0, stored);
        trimRecentLanguages(tx, settings);
    });
}

Error QVSettingsService::increaseTranslateWithSymbolsCount(qint64 length) {
    Q_UNUSED(length)
    return changeSettings([](Transaction &tx, const QVTranslateSettings &settings) {
        settings.setDayTranslationPassedCount(tx, settings.dayTranslationPassedCount() + 1);
    });
}

Error QVSettingsService::countOfLaunchIncrease() {
    return changeSettings([](Transaction &tx, const QVTranslateSettings &settings) {
        settings.setCountOfLaunch(tx, settings.countOfLaunch() + 1);
    });
}

Error QVSettingsService::updateSettingsWithObject(const QVariantMap &values) {
    const platform::ObjectSchema schema = QVTranslateSettings::schema();
    QVariantMap fields;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (schema.propertyNamed(it.key()))
            fields.insert(it.key(), it.value());
    }
    // There is one record: whatever key the value carries, it updates that one.
    fields.insert(QVTranslateSettings::primaryKey(), QVTranslateSettings::kSettingsId);
    return changeSettings([&](Transaction &tx, const QVTranslateSettings &settings) {
        tx.createOrUpdate(kSettingsClass, fields);
        trimRecentLanguages(tx, settings);
    });
}

Error QVSettingsService::updateSettingsWithObject(const QVTranslateSettings &settings) {
    if (settings.isNull())
        return {};
    return updateSettingsWithObject(settings.values());
}

Error QVSettingsService::setLanguageFrom(const QVLanguageRealm &language) {
    return setLanguageLink(QStringLiteral("languageFrom"), language, false);
}

Error QVSettingsService::setLanguageTo(const QVLanguageRealm &language) {
    return setLanguageLink(QStringLiteral("languageTo"), language, true);
}

Error QVSettingsService::setCardLanguageFrom(const QVLanguageRealm &language) {
    return setLanguageLink(QStringLiteral("cardLanguageFrom"), language, false);
}

Error QVSettingsService::setCardLanguageTo(const QVLanguageRealm &language) {
    return setLanguageLink(QStringLiteral("cardLanguageTo"), language, true);
}

Error QVSettingsService::setTranslateDirection(qint64 direction) {
    return setField(QStringLiteral("translateDirection"), direction);
}

Error QVSettingsService::setTranslationMode(qint64 mode) {
    return setField(QStringLiteral("translationMode"), mode);
}

Error QVSettingsService::setLanguageFilter(const QList<QVStringRealm> &filter) {
    QList<Object> objects;
    for (const QVStringRealm &code : filter)
        objects.append(code);
    return changeSettings([&](Transaction &tx, const QVTranslateSettings &settings) {
        settings.filter().replace(tx, objects);
    });
}

Error QVSettingsService::setAutoSpeak(bool autoSpeak) {
    return setField(QStringLiteral("autoSpeak"), autoSpeak);
}

Error QVSettingsService::setBuiltIn(bool builtIn) {
    return setField(QStringLiteral("builtInVoices"), builtIn);
}

Error QVSettingsService::setDetectEndOfSpeech(bool detect) {
    return setField(QStringLiteral("detectEndOfSpeech"), detect);
}

Error QVSettingsService::setSpeechSpeed(float speed) {
    return setField(QStringLiteral("speedOfSpeech"), speed);
}

Error QVSettingsService::setVoiceType(qint64 voice) {
    return setField(QStringLiteral("speechVoice"), voice);
}

Error QVSettingsService::setIsFirstPhotoRecognition(bool first) {
    return setField(QStringLiteral("isFirstPhotoRecognition"), first);
}

Error QVSettingsService::setWasIntroScreenShown(bool shown) {
    return setField(QStringLiteral("wasIntroScreenShown"), shown);
}

Error QVSettingsService::setUserId(const QString &userId) {
    return setField(QStringLiteral("userId"), userId);
}

Error QVSettingsService::setMainScreenAdsType(qint64 type) {
    bool linked = false;
    const Error error = changeSettings([&](Transaction &tx, const QVTranslateSettings &settings) {
        const QVRemoteSettings remote = settings.remoteSettings();
        linked = remote.isValid();
        if (linked)
            remote.setMainScreenAdsType(tx, type);
    });
    if (!error && !linked)
        return serviceError(NoRemoteSettings, QStringLiteral("No remote settings are linked"));
    return error;
}

void QVSettingsService::setClock(Clock newClock) {
    QMutexLocker locker(&clockMutex);
    injectedClock = std::move(newClock);
}

QDateTime QVSettingsService::currentDate() {
    QMutexLocker locker(&clockMutex);
    return injectedClock ? injectedClock() : QDateTime::currentDateTime();
}
