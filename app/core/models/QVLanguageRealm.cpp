#include "core/models/QVLanguageRealm.h"

#include "core/models/QVSpeechSynthesisVoice.h"

#include <QLocale>
#include <QLoggingCategory>

using platform::Key;
using platform::PropertyType;

namespace {

Q_LOGGING_CATEGORY(lcLanguage, "qv.language")

// Codes whose language is one fixed locale of the catalogue.
QString localeForCode(const QString &code) {
    static const QHash<QString, QString> table = {
        {QStringLiteral("en"), QStringLiteral("en_GB")}, {QStringLiteral("fr"), QStringLiteral("fr_FR")},
        {QStringLiteral("ar"), QStringLiteral("ar_AE")}, {QStringLiteral("nl"), QStringLiteral("nl_NL")},
        {QStringLiteral("es"), QStringLiteral("es_ES")},
    };
    return table.value(code);
}

} // namespace

platform::ObjectSchema QVLanguageRealm::schema() {
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), PropertyType::String)
        .property(QStringLiteral("languageName"), PropertyType::String)
        .property(QStringLiteral("imageFile"), PropertyType::String)
        .property(QStringLiteral("languageString"), PropertyType::String)
        .property(QStringLiteral("voiceLocale"), PropertyType::String)
        .property(QStringLiteral("recognizerLocale"), PropertyType::String)
        .property(QStringLiteral("tesseractLanguageCode"), PropertyType::String)
        .property(QStringLiteral("testWordForSyntezis"), PropertyType::String)
        .link(QStringLiteral("languageModes"), QVLanguageMode::storeClassName())
        .list(QStringLiteral("synthesisIos"), QVSpeechSynthesisVoice::storeClassName())
        .property(QStringLiteral("voiceIDMac"), PropertyType::String)
        .property(QStringLiteral("voiceIDMacBool"), PropertyType::Bool)
        .property(QStringLiteral("gender"), PropertyType::Int)
        .property(QStringLiteral("speed"), PropertyType::Float)
        .property(QStringLiteral("pitch"), PropertyType::Float)
        .property(QStringLiteral("countryCode"), PropertyType::String)
        // Lists sort by name; codes find languages.
        .indexed(QStringLiteral("languageName"))
        .indexed(QStringLiteral("languageString"));
}

QString QVLanguageRealm::primaryKey() {
    return QStringLiteral("localeIdentifier");
}

QStringList QVLanguageRealm::ignoredProperties() {
    return {QStringLiteral("isRTL"), QStringLiteral("isAuto")};
}

QVariantMap QVLanguageRealm::JSONInboundMappingDictionary() {
    return {
        {QStringLiteral("localeIdentifier"), QStringLiteral("localeIdentifier")},
        {QStringLiteral("localeName"), QStringLiteral("languageName")},
        {QStringLiteral("imageFile"), QStringLiteral("imageFile")},
        {QStringLiteral("languageString"), QStringLiteral("languageString")},
        {QStringLiteral("voiceLocale"), QStringLiteral("voiceLocale")},
        {QStringLiteral("modes"), QStringLiteral("languageModes")},
        {QStringLiteral("tesseractLanguageCode"), QStringLiteral("tesseractLanguageCode")},
        {QStringLiteral("testWordForSyntezis"), QStringLiteral("testWordForSyntezis")},
    };
}

QVLanguageRealm QVLanguageRealm::languageWithLocaleIdentifier(
    const QString &localeIdentifier, const QString &name, const QString &imageFile, const QString &langString,
    const QString &voiceLocale, const QString &recognizerLocale, const QString &tesseractLanguageCode) {
    return QVLanguageRealm(platform::Object::unmanaged(
        schema(), {
                      {QStringLiteral("localeIdentifier"), localeIdentifier},
                      {QStringLiteral("languageName"), name},
                      {QStringLiteral("imageFile"), imageFile},
                      {QStringLiteral("languageString"), langString},
                      {QStringLiteral("voiceLocale"), voiceLocale},
                      {QStringLiteral("recognizerLocale"), recognizerLocale},
                      {QStringLiteral("tesseractLanguageCode"), tesseractLanguageCode},
                  }));
}

QVLanguageRealm QVLanguageRealm::languageWithCode(const QString &code) {
    return languageWithCode(platform::ObjectStore::defaultStore(), code);
}

QVLanguageRealm QVLanguageRealm::languageWithCode(const platform::ObjectStore &store, const QString &code) {
    if (store.isNull())
        return {};
    const QString locale = localeForCode(code);
    const platform::Predicate predicate =
        locale.isEmpty() ? Key(QStringLiteral("languageString")) == code : Key(primaryKey()) == locale;
    return QVLanguageRealm(store.objects(storeClassName()).filter(predicate).first());
}

bool QVLanguageRealm::compareWithLanguage(const QVLanguageRealm &language) const {
    // An unset identifier names no language, so it equals nothing.
    const QString mine = localeIdentifier();
    const QString theirs = language.localeIdentifier();
    return !mine.isNull() && !theirs.isNull() && mine == theirs;
}

bool QVLanguageRealm::isRTL() const {
    const QString identifier = localeIdentifier();
    // An identifier that names no language ("auto-detection") parses to the C
    // locale, which runs left to right.
    const bool rtl = QLocale(identifier).textDirection() == Qt::RightToLeft;
    qCDebug(lcLanguage, "Language name: %s; identifier: %s; is right to left: %s;",
            qUtf8Printable(languageName()), qUtf8Printable(identifier), rtl ? "true" : "false");
    return rtl;
}

bool QVLanguageRealm::isAuto() const {
    return localeIdentifier() == QLatin1String(kAutoDetectionIdentifier);
}
