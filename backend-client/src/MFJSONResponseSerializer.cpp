#include <merovantia/MFJSONResponseSerializer.h>

#include "JsonText.h"
#include "MFLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

const char *const kMFResponseSerializationErrorDomain = "MFResponseSerializationErrorDomain";
const char *const kMFNetworkResponseErrorDomain = "com.translator.network.response";

namespace {

constexpr int kBadServerResponse = -1011;
constexpr int kCannotDecodeContentData = -1016;

// Replies handed back as raw data whatever their status.
const char *const kRawContentTypes[] = {
    "audio/wav",
    "text/rtf",
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
    "application/vnd.oasis.opendocument.text",
};

QVariant rawData(const QByteArray &data) {
    return QVariant::fromValue(data);
}

} // namespace

MFResponseSerializer::~MFResponseSerializer() = default;

MFHTTPResponseSerializer::MFHTTPResponseSerializer(QSet<QByteArray> acceptableContentTypes)
    : m_acceptableContentTypes(std::move(acceptableContentTypes)) {}

bool MFHTTPResponseSerializer::validateResponse(const MFHTTPResponse &response, const QByteArray &data,
                                                platform::Error *error) const {
    const QByteArray mime = response.mimeType();
    const QVariantMap failing{
        {QStringLiteral("MFNetworkingOperationFailingURLResponseStatusCode"), response.statusCode},
        {QStringLiteral("NSErrorFailingURLKey"), response.url.toString()}};
    platform::Error validation;
    // An empty body has nothing to decode, whatever type it claims.
    if (!m_acceptableContentTypes.isEmpty() && !m_acceptableContentTypes.contains(mime) && !data.isEmpty()) {
        validation = platform::Error(
            QString::fromLatin1(kMFResponseSerializationErrorDomain), kCannotDecodeContentData,
            QStringLiteral("Request failed: unacceptable content-type: %1").arg(QString::fromLatin1(mime)),
            failing);
    }
    if (response.statusCode < 200 || response.statusCode > 299) {
        QVariantMap info = failing;
        if (validation)
            info.insert(QStringLiteral("NSUnderlyingError"), validation.code());
        validation =
            platform::Error(QString::fromLatin1(kMFResponseSerializationErrorDomain), kBadServerResponse,
                            QStringLiteral("Request failed: (%1)").arg(response.statusCode), info);
    }
    if (error)
        *error = validation;
    return validation.isNull();
}

QVariant MFHTTPResponseSerializer::responseObjectForResponse(const MFHTTPResponse &response,
                                                             const QByteArray &data,
                                                             platform::Error *error) const {
    validateResponse(response, data, error);
    return rawData(data);
}

MFJSONResponseSerializer::MFJSONResponseSerializer()
    : MFHTTPResponseSerializer({"application/json", "text/json", "text/javascript"}) {}

QVariant MFJSONResponseSerializer::parse(const MFHTTPResponse &response, const QByteArray &data,
                                         platform::Error *error) const {
    platform::Error validation;
    if (!validateResponse(response, data, &validation)) {
        // A body of another content type is not JSON to read.
        const bool wrongType = validation.code() == kCannotDecodeContentData ||
                               validation.userInfo().value(QStringLiteral("NSUnderlyingError")).toInt() ==
                                   kCannotDecodeContentData;
        if (wrongType) {
            *error = validation;
            return {};
        }
    }
    *error = validation;
    const QByteArray text = merovantia::jsonText(data);
    if (text.isEmpty() || text == " ")
        return {};
    // Fragments allowed: wrap the value so a bare string or number parses too.
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson("[" + text + "]", &parseError);
    if (parseError.error != QJsonParseError::NoError || document.array().size() != 1) {
        if (error->isNull())
            *error = platform::Error(
                QStringLiteral("NSCocoaErrorDomain"), 3840,
                QStringLiteral("The data couldn't be read because it isn't in the correct format."));
        return {};
    }
    return document.array().first().toVariant();
}

QVariant MFJSONResponseSerializer::responseObjectForResponse(const MFHTTPResponse &response,
                                                             const QByteArray &data,
                                                             platform::Error *error) const {
    platform::Error failure;
    const QVariant object = parse(response, data, &failure);
    if (failure.isNull()) {
        if (error)
            *error = {};
        return object;
    }
    const QByteArray contentType = response.header("Content-Type");
    for (const char *raw : kRawContentTypes) {
        if (contentType.contains(raw)) {
            if (error)
                *error = {};
            return rawData(data);
        }
    }

    const int status = response.statusCode;
    platform::Error mapped(QString::fromLatin1(kMFNetworkResponseErrorDomain), status == 402 ? 402 : 0);
    if (object.typeId() == QMetaType::QVariantMap) {
        const QVariantMap reply = object.toMap();
        const QVariant err = reply.value(QStringLiteral("err"));
        if (err.typeId() == QMetaType::QVariantMap) {
            const QVariantMap detail = err.toMap();
            mapped = platform::Error(QString::fromLatin1(kMFNetworkResponseErrorDomain), status,
                                     detail.contains(QStringLiteral("message"))
                                         ? detail.value(QStringLiteral("message")).toString()
                                         : QString());
        } else if (err.typeId() == QMetaType::QString) {
            mapped =
                platform::Error(QString::fromLatin1(kMFNetworkResponseErrorDomain), status, err.toString());
        } else if (reply.contains(QStringLiteral("errorCode"))) {
            mapped = platform::Error(QString::fromLatin1(kMFNetworkResponseErrorDomain), status,
                                     reply.value(QStringLiteral("errorCode")).toString());
        }
    }
    qWarning("ERROR: %s", qPrintable(merovantia::describe(mapped)));
    if (error)
        *error = mapped;
    return object;
}

MFCompoundResponseSerializer::MFCompoundResponseSerializer(
    QList<std::shared_ptr<const MFResponseSerializer>> serializers)
    : m_serializers(std::move(serializers)) {}

QVariant MFCompoundResponseSerializer::responseObjectForResponse(const MFHTTPResponse &response,
                                                                 const QByteArray &data,
                                                                 platform::Error *error) const {
    platform::Error last;
    for (const auto &serializer : m_serializers) {
        platform::Error serializerError;
        const QVariant object = serializer->responseObjectForResponse(response, data, &serializerError);
        if (object.isValid()) {
            if (error)
                *error = serializerError;
            return object;
        }
        if (serializerError)
            last = serializerError;
    }
    if (error)
        *error = last;
    return {};
}
