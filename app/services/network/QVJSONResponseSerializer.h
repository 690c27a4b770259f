#pragma once

#include <merovantia/MFJSONResponseSerializer.h>

// The JSON part of the API clients' response serializer.
//
// A 2xx reply of a JSON type is parsed (fragments allowed); a 2xx reply whose
// Content-Type names speech audio or a converted document ("audio/wav",
// "text/rtf", the OOXML and ODF word-processing types) comes back as raw bytes.
// Any other status is an error of the domain "com.translator.network.response"
// whose code is the HTTP status, described by the body's "err" ("message" of a
// dictionary, or the string) or "errorCode" when it has one; the parsed body
// (or the raw bytes) comes back beside it. Every such error is reported through
// DevLogger. Runs on the network thread.
//
// Put first in an MFCompoundResponseSerializer: it yields an object whenever
// it has an error to tell, so a later serializer never replaces that error.
class QVJSONResponseSerializer : public MFJSONResponseSerializer {
public:
    static constexpr const char *kReportMessage = "responseObjectForResponse:data:error:";

    QVariant responseObjectForResponse(const MFHTTPResponse &response, const QByteArray &data,
                                       platform::Error *error) const override;

    // Content types that pass as raw bytes on a 2xx reply.
    static bool isRawContentType(const QByteArray &contentType);
};
