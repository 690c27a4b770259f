#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// The notice of an available application update: "version", "description"
// (updateDescription) and "message", each a string or empty.
struct QVVersionUpdateDTO {
    QString version;
    QString updateDescription;
    QString message;

    // Null when the value is not a JSON object.
    static std::optional<QVVersionUpdateDTO> modelFromJSONDictionary(const QVariant &json);
};
