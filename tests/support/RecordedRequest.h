#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>

namespace qvtest {

// One part of a multipart/form-data body.
struct MultipartPart {
    QString name;           // form field name
    QString fileName;       // empty when the part is not a file
    QByteArray contentType; // "text/plain" when the part names none
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray data;

    QByteArray header(const QByteArray &name) const;
};

// A request exactly as the fake backend received it.
struct RecordedRequest {
    QByteArray method; // upper case as sent: "GET", "POST"...
    QString path;      // percent-decoded, without the query
    QByteArray target; // the request target as sent, query included
    QUrlQuery query;
    QList<QPair<QString, QString>> queryItems; // in the order sent
    QByteArray httpVersion;                    // "HTTP/1.1"
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;                          // de-chunked when sent chunked
    QJsonDocument json;                       // null unless the body is JSON
    QList<QPair<QString, QString>> formItems; // from an application/x-www-form-urlencoded body
    QList<MultipartPart> parts;               // from a multipart/form-data body
    int connectionId = 0;                     // requests on one kept-alive connection share it
    bool matchedRoute = false;

    // Case-insensitive; the first value when the header was sent twice.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
    QString queryValue(const QString &key) const;
    QString formValue(const QString &key) const;
    QJsonObject jsonObject() const { return json.object(); }
    // The first part with this field name, or nullptr.
    const MultipartPart *part(const QString &name) const;

    // Fills json, formItems and parts from the body and the Content-Type header.
    void decodeBody();
    // Splits the target into path, query and queryItems.
    void decodeTarget();
};

} // namespace qvtest
