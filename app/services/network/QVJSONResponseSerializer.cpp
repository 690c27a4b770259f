#include "services/network/QVJSONResponseSerializer.h"

#include "core/DevLogger.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

const char *const kRawContentTypes[] = {
    "audio/wav",
    "text/rtf",
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
    "application/vnd.oasis.opendocument.text",
};

bool isSuccessStatus(int status) {
    return status >= 200 && status <= 299;
}

// Fragments allowed: a bare string or number parses too. Empty data is no object and no error.
// A UTF-8 byte order mark before the text is read past, as JSON readers do.
QVariant parseJSON(const QByteArray &body, platform::Error *error) {
    static const QByteArray kByteOrderMark("\xEF\xBB\xBF");
    const QByteArray data = body.startsWith(kByteOrderMark) ? body.mid(kByteOrderMark.size()) : body;
    if (data.trimmed().isEmpty())
        return {};
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson("[" + data + "]", &parseError);
    if (parseError.error != QJsonParseError::NoError || document.array().size() != 1) {
        *error = platform::Error(
            QStringLiteral("NSCocoaErrorDomain"), 3840,
            QStringLiteral("The data couldn't be read because it isn't in the correct format."));
        return {};
    }
    return document.array().first().toVariant();
}

// The backend's error body, when it has one: the description it gives.
QString errorBodyDescription(const QVariant &object) {
    if (object.typeId() != QMetaType::QVariantMap)
        return {};
    const QVariantMap reply = object.toMap();
    const QVariant err = reply.value(QStringLiteral("err"));
    if (err.typeId() == QMetaType::QVariantMap)
        return err.toMap().value(QStringLiteral("message")).toString();
    if (err.typeId() == QMetaType::QString)
        return err.toString();
    if (reply.contains(QStringLiteral("errorCode")))
        return reply.value(QStringLiteral("errorCode")).toString();
    return {};
}

} // namespace

bool QVJSONResponseSerializer::isRawContentType(const QByteArray &contentType) {
    for (const char *raw : kRawContentTypes) {
        if (contentType.contains(raw))
            return true;
    }
    return false;
}

QVariant QVJSONResponseSerializer::responseObjectForResponse(const MFHTTPResponse &response,
                                                             const QByteArray &data,
                                                             platform::Error *error) const {
    platform::Error ignored;
    platform::Error &out = error ? *error : ignored;
    out = {};
    const int status = response.statusCode;
    const bool jsonType = m_acceptableContentTypes.contains(response.mimeType()) || data.trimmed().isEmpty();

    if (isSuccessStatus(status)) {
        if (isRawContentType(response.header("Content-Type")))
            return QVariant::fromValue(data);
        if (!jsonType) {
            // Not ours to read: a later serializer of the compound may accept the type.
            validateResponse(response, data, &out);
            return {};
        }
        const QVariant object = parseJSON(data, &out);
        if (out) {
            DevLogger::logError(out, QString::fromLatin1(kReportMessage));
            return QVariant::fromValue(data);
        }
        return object;
    }

    platform::Error parseError;
    const QVariant object = jsonType ? parseJSON(data, &parseError) : QVariant();
    // The status tells what happened even when the body has no error object.
    out = platform::Error(QString::fromLatin1(kMFNetworkResponseErrorDomain), status,
                          errorBodyDescription(object));
    DevLogger::logError(out, QString::fromLatin1(kReportMessage));
    return object.isValid() ? object : QVariant::fromValue(data);
}
