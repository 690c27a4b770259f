#include "RecordedRequest.h"

#include "MultipartParser.h"

namespace qvtest {

namespace {

QByteArray findHeader(const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &name) {
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

// application/x-www-form-urlencoded decoding: '+' is a space, then percent escapes.
QString formDecode(QByteArray raw) {
    raw.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(raw));
}

QList<QPair<QString, QString>> splitPairs(const QByteArray &raw) {
    QList<QPair<QString, QString>> items;
    if (raw.isEmpty())
        return items;
    for (const QByteArray &item : raw.split('&')) {
        if (item.isEmpty())
            continue;
        const int eq = item.indexOf('=');
        if (eq < 0)
            items.append({formDecode(item), QString()});
        else
            items.append({formDecode(item.left(eq)), formDecode(item.mid(eq + 1))});
    }
    return items;
}

QString findValue(const QList<QPair<QString, QString>> &items, const QString &key) {
    for (const auto &item : items)
        if (item.first == key)
            return item.second;
    return {};
}

} // namespace

QByteArray MultipartPart::header(const QByteArray &name) const {
    return findHeader(headers, name);
}

QByteArray RecordedRequest::header(const QByteArray &name) const {
    return findHeader(headers, name);
}

bool RecordedRequest::hasHeader(const QByteArray &name) const {
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString RecordedRequest::queryValue(const QString &key) const {
    return findValue(queryItems, key);
}

QString RecordedRequest::formValue(const QString &key) const {
    return findValue(formItems, key);
}

const MultipartPart *RecordedRequest::part(const QString &name) const {
    for (const MultipartPart &p : parts)
        if (p.name == name)
            return &p;
    return nullptr;
}

void RecordedRequest::decodeTarget() {
    QByteArray pathPart = target;
    if (pathPart.startsWith("http://") || pathPart.startsWith("https://")) { // absolute form
        const int slash = pathPart.indexOf('/', pathPart.indexOf("//") + 2);
        pathPart = slash < 0 ? QByteArray("/") : pathPart.mid(slash);
    }
    const int fragment = pathPart.indexOf('#');
    if (fragment >= 0)
        pathPart.truncate(fragment);
    QByteArray rawQuery;
    const int question = pathPart.indexOf('?');
    if (question >= 0) {
        rawQuery = pathPart.mid(question + 1);
        pathPart.truncate(question);
    }
    path = QString::fromUtf8(QByteArray::fromPercentEncoding(pathPart));
    query = QUrlQuery(QString::fromUtf8(rawQuery));
    queryItems = splitPairs(rawQuery);
}

void RecordedRequest::decodeBody() {
    json = QJsonDocument();
    formItems.clear();
    parts.clear();
    const QByteArray contentType = header("Content-Type");
    const QByteArray media = MultipartParser::mediaType(contentType);
    if (media == "multipart/form-data") {
        parts = MultipartParser::parse(body, MultipartParser::headerParameter(contentType, "boundary"));
        return;
    }
    if (media == "application/x-www-form-urlencoded") {
        formItems = splitPairs(body);
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error == QJsonParseError::NoError)
        json = document;
}

} // namespace qvtest
