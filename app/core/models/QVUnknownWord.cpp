#include "core/models/QVUnknownWord.h"

platform::ObjectSchema QVUnknownWord::schema() {
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), platform::PropertyType::String)
        .property(QStringLiteral("to"), platform::PropertyType::String);
}

QVUnknownWord QVUnknownWord::initWithWord(const QString &word, const QString &toLang) {
    if (word.isEmpty())
        return {};
    return QVUnknownWord(platform::Object::unmanaged(
        schema(), {{QStringLiteral("word"), word}, {QStringLiteral("to"), toLang}}));
}
