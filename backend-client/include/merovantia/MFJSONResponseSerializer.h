#pragma once

#include <merovantia/MFURLSessionTask.h>

#include "platform/Error.h"

#include <QSet>
#include <QVariant>

#include <memory>

// Domain of the generic response checks (unacceptable status -1011, content type -1016).
extern const char *const kMFResponseSerializationErrorDomain;
// Domain of the backend's mapped error bodies.
extern const char *const kMFNetworkResponseErrorDomain; // "com.translator.network.response"

// Turns a response into an object. Returns the object (possibly alongside an error).
class MFResponseSerializer {
public:
    virtual ~MFResponseSerializer();
    virtual QVariant responseObjectForResponse(const MFHTTPResponse &response, const QByteArray &data,
                                               platform::Error *error) const = 0;
};

// Accepts 2xx replies of its content types and hands back the raw body (QByteArray).
class MFHTTPResponseSerializer : public MFResponseSerializer {
public:
    explicit MFHTTPResponseSerializer(QSet<QByteArray> acceptableContentTypes = {});
    QVariant responseObjectForResponse(const MFHTTPResponse &response, const QByteArray &data,
                                       platform::Error *error) const override;
    // False with an error for a status outside 200-299 or an unacceptable content type.
    bool validateResponse(const MFHTTPResponse &response, const QByteArray &data,
                          platform::Error *error) const;

protected:
    QSet<QByteArray> m_acceptableContentTypes;
};

// JSON replies (fragments allowed). Failed replies become errors of the domain
// "com.translator.network.response": "err" (its "message" when a dictionary, or
// the string itself) or "errorCode" as description with the HTTP status as code,
// else code 402 for status 402 and 0 otherwise. Sound, document and speech types
// come back as raw data without error.
class MFJSONResponseSerializer : public MFHTTPResponseSerializer {
public:
    MFJSONResponseSerializer();
    QVariant responseObjectForResponse(const MFHTTPResponse &response, const QByteArray &data,
                                       platform::Error *error) const override;

private:
    QVariant parse(const MFHTTPResponse &response, const QByteArray &data, platform::Error *error) const;
};

// Tries each serializer in turn; the first that yields an object wins.
class MFCompoundResponseSerializer : public MFResponseSerializer {
public:
    explicit MFCompoundResponseSerializer(QList<std::shared_ptr<const MFResponseSerializer>> serializers);
    QVariant responseObjectForResponse(const MFHTTPResponse &response, const QByteArray &data,
                                       platform::Error *error) const override;

private:
    QList<std::shared_ptr<const MFResponseSerializer>> m_serializers;
};
