#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// One message of the backend's news feed, as the main window shows it.
//
//   const QList<QVServerMessage> messages = QVServerMessage::modelsFromJSONArray(reply);
//   if (messages.first().idMessage) ... *messages.first().idMessage ...
//
// Mapped from the JSON keys "id" (idMessage), "title" (messageTitle) and
// "description" (message). An "id" that is neither a whole number nor the text
// of one leaves idMessage empty; text fields that are not strings stay empty.
struct QVServerMessage {
    std::optional<qint64> idMessage;
    QString messageTitle;
    QString message;

    // Null when the value is not a JSON object.
    static std::optional<QVServerMessage> modelFromJSONDictionary(const QVariant &json);
    // Every object of the array, in order; other elements are left out.
    static QList<QVServerMessage> modelsFromJSONArray(const QVariant &json);

    bool operator==(const QVServerMessage &other) const {
        return idMessage == other.idMessage && messageTitle == other.messageTitle && message == other.message;
    }
};
