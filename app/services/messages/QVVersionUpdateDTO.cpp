#include "services/messages/QVVersionUpdateDTO.h"

#include "services/messages/JSONModelValues.h"

std::optional<QVVersionUpdateDTO> QVVersionUpdateDTO::modelFromJSONDictionary(const QVariant &json) {
    if (json.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = json.toMap();
    QVVersionUpdateDTO model;
    model.version = jsonmodel::string(map.value(QStringLiteral("version")));
    model.updateDescription = jsonmodel::string(map.value(QStringLiteral("description")));
    model.message = jsonmodel::string(map.value(QStringLiteral("message")));
    return model;
}
