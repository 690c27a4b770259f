#include "core/models/QVSpeechSynthesisVoice.h"

using platform::PropertyType;

platform::ObjectSchema QVSpeechSynthesisVoice::schema() {
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), PropertyType::String)
        .property(QStringLiteral("language"), PropertyType::String)
        .property(QStringLiteral("name"), PropertyType::String)
        .required(QStringLiteral("quality"), PropertyType::Int, 0)
        .required(QStringLiteral("gender"), PropertyType::Int, 0)
        .property(QStringLiteral("selected"), PropertyType::Bool);
}

QString QVSpeechSynthesisVoice::primaryKey() {
    return QStringLiteral("identifier");
}
