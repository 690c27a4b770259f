#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>

#include <memory>

// One request of a session manager: what was asked and, once answered, the
// response's status and headers.
struct MFHTTPResponse {
    QUrl url;
    int statusCode = 0;
    QList<QPair<QByteArray, QByteArray>> headers;

    // Case-insensitive; empty when absent.
    QByteArray header(const QByteArray &name) const;
    // The Content-Type without its parameters, lower case ("application/json").
    QByteArray mimeType() const;
};

struct MFURLSessionTask {
    quint64 taskIdentifier = 0;
    QUrl url;
    QByteArray httpMethod;
    MFHTTPResponse response; // empty in the task returned when the request starts
};

using MFURLSessionTaskPtr = std::shared_ptr<const MFURLSessionTask>;
