#pragma once

#include "RecordedRequest.h"

#include <QByteArray>
#include <QList>

namespace qvtest {

// Splits a multipart/form-data body into its parts.
class MultipartParser {
public:
    // Parts in body order; ok (when given) is false for a body that does not follow the boundary
    // syntax, in which case the parts read before the fault are returned.
    static QList<MultipartPart> parse(const QByteArray &body, const QByteArray &boundary, bool *ok = nullptr);

    // A parameter of a header value such as `form-data; name="file"; filename="a b.txt"` or
    // `multipart/form-data; boundary=xyz`, unquoted; empty when absent. `filename*` style
    // (RFC 5987, UTF-8 percent-encoded) parameters are decoded.
    static QByteArray headerParameter(const QByteArray &headerValue, const QByteArray &name);
    // The value before the first ';', trimmed and lower-cased ("multipart/form-data").
    static QByteArray mediaType(const QByteArray &headerValue);
};

} // namespace qvtest
