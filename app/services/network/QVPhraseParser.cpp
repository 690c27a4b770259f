#include "services/network/QVPhraseParser.h"

#include "platform/Format.h"
#include "platform/SystemLog.h"

namespace {

// [{"en": "Hello"}] -> [{"locale": "en", "localeValue": "Hello"}]
QVariantList plainNames(const QVariant &names) {
    QVariantList plain;
    for (const QVariant &element : names.toList()) {
        const QVariantMap name = element.toMap();
        if (name.isEmpty())
            continue;
        const QString locale = name.firstKey();
        plain.append(QVariantMap{{QStringLiteral("locale"), locale},
                                 {QStringLiteral("localeValue"), name.value(locale)}});
    }
    return plain;
}

} // namespace

QVariantList QVPhraseParser::plainJSONFromArray(const QVariantList &categories) {
    platform::SystemLog::write(QStringLiteral("__START__"));
    QVariantList out;
    for (const QVariant &element : categories) {
        if (element.typeId() != QMetaType::QVariantMap) {
            out.append(element);
            continue;
        }
        QVariantMap category = element.toMap();
        category.insert(QStringLiteral("isFavorite"), false);
        category.insert(QStringLiteral("categoryNames"),
                        plainNames(category.value(QStringLiteral("categoryNames"))));
        QVariantList words;
        for (const QVariant &wordElement : category.value(QStringLiteral("words")).toList()) {
            if (wordElement.typeId() != QMetaType::QVariantMap) {
                words.append(wordElement);
                continue;
            }
            QVariantMap word = wordElement.toMap();
            word.insert(QStringLiteral("wordNames"), plainNames(word.value(QStringLiteral("wordNames"))));
            word.insert(QStringLiteral("idCategory"), category.value(QStringLiteral("categoryId")));
            word.insert(QStringLiteral("isLearned"), false);
            words.append(word);
        }
        if (category.contains(QStringLiteral("words")))
            category.insert(QStringLiteral("words"), words);
        out.append(category);
    }
    platform::SystemLog::write(QStringLiteral("__FINISH__"));
    if (!out.isEmpty())
        platform::SystemLog::write(platform::format(QStringLiteral("%@"), out.first()));
    return out;
}
