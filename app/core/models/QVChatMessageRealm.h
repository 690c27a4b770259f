#pragma once

#include "platform/store/Store.h"

#include <QVariantMap>

// One conversation message. Its identifier is the decimal text of the message
// time followed directly by the message UUID ("1700000000.5" + "abc"); the
// time field itself holds whole seconds.
class QVChatMessageRealm : public platform::Object {
public:
    QV_STORE_MODEL(QVChatMessageRealm)
    static platform::ObjectSchema schema();
    static QString primaryKey() { return QStringLiteral("idMessage"); }
    static QVariantMap JSONInboundMappingDictionary();
    static QVariantMap JSONOutboundMappingDictionary();
    // Adds "idMessage" built from "time" and "uuid" when both are usable.
    static std::optional<QVariantMap> preprocessedJSON(const QVariantMap &json);

    QV_STORE_PROPERTY(QString, idMessage, setIdMessage)
    QV_STORE_PROPERTY(std::optional<qint64>, messageTime, setMessageTime)
    QV_STORE_PROPERTY(QString, codeChat, setCodeChat)
    QV_STORE_PROPERTY(QString, message, setMessage)
    QV_STORE_PROPERTY(QString, messageUUID, setMessageUUID)
    QV_STORE_PROPERTY(QString, messageUserName, setMessageUserName)
    QV_STORE_PROPERTY(QString, languageCode, setLanguageCode)
    QV_STORE_PROPERTY(std::optional<qint64>, status, setStatus)
    QV_STORE_PROPERTY(std::optional<qint64>, type, setType)
    QV_STORE_PROPERTY(std::optional<qint64>, delay, setDelay)
    QV_STORE_PROPERTY(std::optional<bool>, incoming, setIncoming)
    QV_STORE_PROPERTY(std::optional<bool>, isConfirmed, setIsConfirmed)

    static constexpr qint64 kTypeJoined = 10;
    static constexpr qint64 kTypeLeft = 11;
    static constexpr const char *kSystemUserName = "System";

    // The identifier for a time (a number, or its text) and a UUID; a null
    // string when either is missing or unusable, since such a message cannot
    // be told apart from others.
    static QString idMessageFor(const QVariant &time, const QVariant &uuid);

    // Standalone messages from dictionaries keyed by the field names.
    // A received message: incoming and confirmed.
    static QVChatMessageRealm initWithChatMessage(const QVariantMap &message, const QString &chat);
    // A join (type 10) or leave (type 11) notice from "System".
    static QVChatMessageRealm initWithChatActionMessage(const QVariantMap &message, const QString &chat);
    // A message just sent; "time" and "uuid" take precedence over "messageTime" and "messageUUID".
    static QVChatMessageRealm initWithUnconfirmedChatMessage(const QVariantMap &message, const QString &chat);

    // The server's confirmation: confirmed, with "delay", "uuid", "status" and
    // "type" taken when present. The identifier does not change. tx is needed
    // for a stored message.
    void updateWithConfirmedChatMessage(platform::Transaction *tx, const QVariantMap &message,
                                        const QString &chat) const;

private:
    // Sets messageTime from `time` (when given) and the identifier from its decimal text.
    void setTimeAndRebuildIdMessage(const QVariant &time) const;
};
