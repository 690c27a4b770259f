// Descriptions of any JSON value, also inside an error, the way "%@" prints backend replies.
#include "platform/Describe.h"
#include "platform/Error.h"

#include <QJsonDocument>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QVariant value = QJsonDocument::fromJson(bytes).toVariant();
    platform::describe(value);
    const QString text = QString::fromUtf8(bytes.left(64));
    const platform::Error error(text, static_cast<qint64>(size), text,
                                {{QStringLiteral("NSUnderlyingError"), value}, {text, value}});
    platform::describe(QVariant::fromValue(error));
    return 0;
}
