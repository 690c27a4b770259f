#include "core/models/QVChatMessageRealm.h"

#include "core/localization/QVLocalizedString.h"
#include "core/mapping/ValueTransformer.h"
#include "core/models/ModelValues.h"

#include "platform/Format.h"

using platform::Object;
using platform::PropertyType;

namespace {

QVChatMessageRealm fromValues(const QVariantMap &values) {
    return QVChatMessageRealm(modelvalues::initWithValue(QVChatMessageRealm::schema(), values));
}

void assign(const QVChatMessageRealm &message, const char *property, const QVariant &value) {
    modelvalues::trySet(message, nullptr, QString::fromLatin1(property), value);
}

// A received or action message carries "" rather than no language.
void fillReceived(const QVChatMessageRealm &message, const QString &chat) {
    if (message.languageCode().isNull())
        assign(message, "languageCode", QString(QLatin1String("")));
    assign(message, "incoming", true);
    assign(message, "codeChat", chat);
    assign(message, "isConfirmed", true);
}

} // namespace

platform::ObjectSchema QVChatMessageRealm::schema() {
    return platform::ObjectSchema(storeClassName())
        .primaryKey(primaryKey(), PropertyType::String)
        .property(QStringLiteral("messageTime"), PropertyType::Int)
        .property(QStringLiteral("codeChat"), PropertyType::String)
        .property(QStringLiteral("message"), PropertyType::String)
        .property(QStringLiteral("messageUUID"), PropertyType::String)
        .property(QStringLiteral("messageUserName"), PropertyType::String)
        .property(QStringLiteral("languageCode"), PropertyType::String)
        .property(QStringLiteral("status"), PropertyType::Int)
        .property(QStringLiteral("type"), PropertyType::Int)
        .property(QStringLiteral("delay"), PropertyType::Int)
        .property(QStringLiteral("incoming"), PropertyType::Bool)
        .property(QStringLiteral("isConfirmed"), PropertyType::Bool);
}

QVariantMap QVChatMessageRealm::JSONInboundMappingDictionary() {
    return {{QStringLiteral("idMessage"), QStringLiteral("idMessage")},
            {QStringLiteral("name"), QStringLiteral("messageUserName")},
            {QStringLiteral("time"), QStringLiteral("messageTime")},
            {QStringLiteral("languageCode"), QStringLiteral("languageCode")},
            {QStringLiteral("status"), QStringLiteral("status")},
            {QStringLiteral("uuid"), QStringLiteral("messageUUID")},
            {QStringLiteral("translatedText"), QStringLiteral("message")},
            {QStringLiteral("codeChat"), QStringLiteral("codeChat")}};
}

QVariantMap QVChatMessageRealm::JSONOutboundMappingDictionary() {
    return {{QStringLiteral("type"), QStringLiteral("type")},
            {QStringLiteral("messageTime"), QStringLiteral("time")},
            {QStringLiteral("messageUUID"), QStringLiteral("uuid")},
            {QStringLiteral("message"), QStringLiteral("message")},
            {QStringLiteral("messageUserName"), QStringLiteral("messageUserName")}};
}

std::optional<QVariantMap> QVChatMessageRealm::preprocessedJSON(const QVariantMap &json) {
    QVariantMap copy = json;
    if (json.contains(QStringLiteral("time"))) {
        const QString id =
            idMessageFor(json.value(QStringLiteral("time")), json.value(QStringLiteral("uuid")));
        if (!id.isNull())
            copy.insert(QStringLiteral("idMessage"), id);
    }
    return copy;
}

QString QVChatMessageRealm::idMessageFor(const QVariant &time, const QVariant &uuid) {
    const std::optional<qint64> seconds = modelvalues::integer(time);
    const QString text = modelvalues::text(uuid);
    if (!seconds || text.isEmpty())
        return {};
    return QString::number(*seconds) + text;
}

void QVChatMessageRealm::rebuildIdMessage() const {
    const QString id = idMessageFor(value(QStringLiteral("messageTime")), messageUUID());
    if (!id.isNull())
        assign(*this, "idMessage", id);
}

QVChatMessageRealm QVChatMessageRealm::initWithChatMessage(const QVariantMap &values, const QString &chat) {
    QVChatMessageRealm message = fromValues(values);
    fillReceived(message, chat);
    message.rebuildIdMessage();
    return message;
}

QVChatMessageRealm QVChatMessageRealm::initWithChatActionMessage(const QVariantMap &values,
                                                                 const QString &chat) {
    QVChatMessageRealm message = fromValues(values);
    fillReceived(message, chat);
    const std::optional<qint64> kind = message.type();
    if (kind == kTypeLeft || kind == kTypeJoined) {
        const QString notice = QVLocalizedString(kind == kTypeLeft ? QStringLiteral("_loc_chat_left")
                                                                   : QStringLiteral("_loc_chat_joined"));
        const QString name = modelvalues::text(values.value(QStringLiteral("messageUserName")));
        assign(message, "message",
               name.isEmpty() ? notice : platform::format(QStringLiteral("%@ %@"), name, notice));
    }
    assign(message, "messageUserName", QString::fromLatin1(kSystemUserName));
    message.rebuildIdMessage();
    return message;
}

QVChatMessageRealm QVChatMessageRealm::initWithUnconfirmedChatMessage(const QVariantMap &values,
                                                                      const QString &chat) {
    QVChatMessageRealm message = fromValues(values);
    assign(message, "codeChat", chat);
    assign(message, "isConfirmed", false);
    if (!isNullValue(values.value(QStringLiteral("time"))))
        assign(message, "messageTime", values.value(QStringLiteral("time")));
    if (!isNullValue(values.value(QStringLiteral("uuid"))))
        assign(message, "messageUUID", values.value(QStringLiteral("uuid")));
    message.rebuildIdMessage();
    return message;
}

void QVChatMessageRealm::updateWithConfirmedChatMessage(platform::Transaction *tx, const QVariantMap &values,
                                                        const QString &chat) const {
    Q_UNUSED(chat) // the confirmation names its message by time and UUID alone
    modelvalues::trySet(*this, tx, QStringLiteral("isConfirmed"), true);
    const std::pair<const char *, const char *> fields[] = {
        {"delay", "delay"}, {"uuid", "messageUUID"}, {"status", "status"}, {"type", "type"}};
    for (const auto &[key, property] : fields) {
        const QString jsonKey = QString::fromLatin1(key);
        if (values.contains(jsonKey) && !isNullValue(values.value(jsonKey)))
            modelvalues::trySet(*this, tx, QString::fromLatin1(property), values.value(jsonKey));
    }
}
