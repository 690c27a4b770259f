#include "core/models/QVChatMessageRealm.h"

#include "core/localization/QVLocalizedString.h"
#include "core/mapping/ValueTransformer.h"
#include "core/models/ModelValues.h"

#include "platform/Format.h"

#include <QLocale>

#include <cmath>

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

// The decimal text of a message time: whole numbers as integers, others in
// the shortest form that reads back as the same number; null when unusable.
QString decimalTimeText(const QVariant &time) {
    if (isNullValue(time) || time.typeId() == QMetaType::Bool)
        return {};
    if (const std::optional<qint64> whole = modelvalues::integer(time))
        return QString::number(*whole);
    const bool numeric = time.typeId() == QMetaType::Double || time.typeId() == QMetaType::Float ||
                         time.typeId() == QMetaType::QString;
    bool ok = false;
    const double seconds = numeric ? time.toString().trimmed().toDouble(&ok) : 0;
    if (!ok || !std::isfinite(seconds))
        return {};
    return QString::number(seconds, 'f', QLocale::FloatingPointShortest);
}

// The time for the whole-seconds field: a fraction is dropped (towards the past).
QVariant wholeSeconds(const QVariant &time) {
    if (decimalTimeText(time).isNull() || modelvalues::integer(time))
        return time;
    const double seconds = std::floor(time.toString().trimmed().toDouble());
    if (!(seconds >= -9223372036854775808.0 && seconds < 9223372036854775808.0))
        return {};
    return QVariant::fromValue<qint64>(static_cast<qint64>(seconds));
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
    const QString timeKey = QStringLiteral("time");
    if (json.contains(timeKey)) {
        const QString id = idMessageFor(json.value(timeKey), json.value(QStringLiteral("uuid")));
        if (!id.isNull())
            copy.insert(QStringLiteral("idMessage"), id);
        copy.insert(timeKey, wholeSeconds(json.value(timeKey)));
    }
    return copy;
}

QString QVChatMessageRealm::idMessageFor(const QVariant &time, const QVariant &uuid) {
    const QString seconds = decimalTimeText(time);
    const QString text = modelvalues::text(uuid);
    if (seconds.isNull() || text.isEmpty())
        return {};
    return seconds + text;
}

void QVChatMessageRealm::setTimeAndRebuildIdMessage(const QVariant &time) const {
    if (!isNullValue(time))
        assign(*this, "messageTime", wholeSeconds(time));
    const QString id =
        idMessageFor(isNullValue(time) ? value(QStringLiteral("messageTime")) : time, messageUUID());
    if (!id.isNull())
        assign(*this, "idMessage", id);
}

QVChatMessageRealm QVChatMessageRealm::initWithChatMessage(const QVariantMap &values, const QString &chat) {
    QVChatMessageRealm message = fromValues(values);
    fillReceived(message, chat);
    message.setTimeAndRebuildIdMessage(values.value(QStringLiteral("messageTime")));
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
    message.setTimeAndRebuildIdMessage(values.value(QStringLiteral("messageTime")));
    return message;
}

QVChatMessageRealm QVChatMessageRealm::initWithUnconfirmedChatMessage(const QVariantMap &values,
                                                                      const QString &chat) {
    QVChatMessageRealm message = fromValues(values);
    assign(message, "codeChat", chat);
    assign(message, "isConfirmed", false);
    if (!isNullValue(values.value(QStringLiteral("uuid"))))
        assign(message, "messageUUID", values.value(QStringLiteral("uuid")));
    const QVariant time = values.value(QStringLiteral("time"));
    message.setTimeAndRebuildIdMessage(isNullValue(time) ? values.value(QStringLiteral("messageTime"))
                                                         : time);
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
