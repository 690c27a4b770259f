#pragma once

#include <QString>

// The name of a catalogue language ("de_DE", "zh_CN") in the interface language:
// the chosen language's table entry for the code, else (in a language other than
// English) the locale data's name in that language or the English table's, else
// the catalogue's English name, else the code.
//
//   QVLanguageNames::nameForCode(QStringLiteral("de_DE"), QStringLiteral("German"));
//   // "German" in English, "Deutsch" in German; "ko_KR", in no table, "Koreanisch (Südkorea)" in German
class QVLanguageNames {
public:
    static QString nameForCode(const QString &fullCode, const QString &englishName = {});
    // The locale data's name of the code in the display language ("de", "zh-Hans"),
    // starting with a capital; empty for a language the locale data does not know.
    static QString displayName(const QString &fullCode, const QString &displayLanguage);

    QVLanguageNames() = delete;
};
