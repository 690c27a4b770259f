#include "core/models/QVLanguageMode.h"

using platform::PropertyType;

namespace {

// Catalogue key -> flag, in the order the flags are declared.
const QList<QPair<QString, QString>> &flagTable() {
    static const QList<QPair<QString, QString>> table = {
        {QStringLiteral("Translation"), QStringLiteral("translation")},
        {QStringLiteral("SpeechSynthesis"), QStringLiteral("speechSynthesis")},
        {QStringLiteral("ImageRecognition"), QStringLiteral("imageRecognition")},
        {QStringLiteral("ImageObjectRecognition"), QStringLiteral("imageObjectRecognition")},
        {QStringLiteral("ParseSite"), QStringLiteral("parseWebPage")},
        {QStringLiteral("parseVoice"), QStringLiteral("parseVoice")},
        {QStringLiteral("produceVoice"), QStringLiteral("produceVoice")},
        {QStringLiteral("offlineTranslate"), QStringLiteral("offlineTranslate")},
        {QStringLiteral("PhraseBook"), QStringLiteral("phraseBook")},
        {QStringLiteral("wordNetDictionary"), QStringLiteral("wordNetDictionary")},
        {QStringLiteral("TranslateWebSite"), QStringLiteral("translateWebSite")},
        {QStringLiteral("TranslationDocument"), QStringLiteral("translateDocument")},
    };
    return table;
}

} // namespace

platform::ObjectSchema QVLanguageMode::schema() {
    platform::ObjectSchema schema(storeClassName());
    for (const auto &entry : flagTable())
        schema.property(entry.second, PropertyType::Bool);
    return schema;
}

QVariantMap QVLanguageMode::JSONInboundMappingDictionary() {
    QVariantMap table;
    for (const auto &entry : flagTable())
        table.insert(entry.first, entry.second);
    return table;
}

QVariantMap QVLanguageMode::preprocessedJSON(const QVariantMap &json) {
    static const QStringList defaultedFalse = {
        QStringLiteral("SpeechSynthesis"), QStringLiteral("Translation"),  QStringLiteral("ImageRecognition"),
        QStringLiteral("parseVoice"),      QStringLiteral("produceVoice"), QStringLiteral("offlineTranslate"),
    };
    QVariantMap out = json;
    for (const QString &key : defaultedFalse) {
        if (!out.contains(key))
            out.insert(key, false);
    }
    return out;
}
