#include "QVLanguageNames.h"

#include "DJLocalizationSystem.h"

#include <QLocale>

#include <unicode/uloc.h>

namespace {

// A table lookup that gave the key back, or a key-like text, is no name.
bool isName(const QString &found, const QString &fullCode) {
    return !found.isEmpty() && found != fullCode && !found.contains(QLatin1Char('_'));
}

QByteArray icuLocale(const QString &code) {
    return QString(code).replace(QLatin1Char('-'), QLatin1Char('_')).toUtf8();
}

} // namespace

QString QVLanguageNames::displayName(const QString &fullCode, const QString &displayLanguage) {
    if (!DJLocalizationSystem::isValidLanguageCode(fullCode) ||
        !DJLocalizationSystem::isValidLanguageCode(displayLanguage))
        return {};
    const QByteArray locale = icuLocale(fullCode);
    const QByteArray display = icuLocale(displayLanguage);
    UChar buffer[256];
    UErrorCode status = U_ZERO_ERROR;
    // The locale data answers an unknown language with its code.
    const int32_t languageLength =
        uloc_getDisplayLanguage(locale.constData(), display.constData(), buffer, 256, &status);
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || languageLength <= 0)
        return {};
    const QString language = QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), languageLength);
    char languageCode[16] = {};
    status = U_ZERO_ERROR;
    uloc_getLanguage(locale.constData(), languageCode, sizeof languageCode, &status);
    if (U_FAILURE(status) || language == QString::fromLatin1(languageCode))
        return {};
    status = U_ZERO_ERROR;
    const int32_t length = uloc_getDisplayName(locale.constData(), display.constData(), buffer, 256, &status);
    if (U_FAILURE(status) || length <= 0)
        return {};
    QString name = QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), length);
    // Several languages write their language names in lower case; a list entry starts with a capital.
    const QLocale in(QString::fromUtf8(display));
    return in.toUpper(name.left(1)) + name.mid(1);
}

QString QVLanguageNames::nameForCode(const QString &fullCode, const QString &englishName) {
    const DJLocalizationSystem &system = DJLocalizationSystem::shared();
    if (const QString chosen = system.stringInCurrentTable(fullCode); isName(chosen, fullCode))
        return chosen;
    const QString interface = system.language();
    const bool english = DJLocalizationSystem::languageOfLocale(QLocale(interface)) == QLatin1String("en");
    if (!english) {
        if (const QString local = displayName(fullCode, interface); !local.isEmpty())
            return local;
        if (const QString fromTable = system.englishStringForKey(fullCode); isName(fromTable, fullCode))
            return fromTable;
    }
    return englishName.isEmpty() ? fullCode : englishName;
}
