#include "services/messages/QVServerMessage.h"

#include "services/messages/JSONModelValues.h"

std::optional<QVServerMessage> QVServerMessage::modelFromJSONDictionary(const QVariant &json) {
    if (json.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = json.toMap();
    QVServerMessage model;
    model.idMessage = jsonmodel::wholeNumber(map.value(QStringLiteral("id")));
    model.messageTitle = jsonmodel::string(map.value(QStringLiteral("title")));
    model.message = jsonmodel::string(map.value(QStringLiteral("description")));
    return model;
}

QList<QVServerMessage> QVServerMessage::modelsFromJSONArray(const QVariant &json) {
    QList<QVServerMessage> models;
    if (json.typeId() != QMetaType::QVariantList)
        return models;
    for (const QVariant &element : json.toList()) {
        if (const auto model = modelFromJSONDictionary(element))
            models.append(*model);
    }
    return models;
}
