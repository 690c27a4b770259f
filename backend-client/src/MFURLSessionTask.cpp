#include <merovantia/MFURLSessionTask.h>

QByteArray MFHTTPResponse::header(const QByteArray &name) const {
    for (const auto &pair : headers) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return {};
}

QByteArray MFHTTPResponse::mimeType() const {
    QByteArray type = header("Content-Type");
    const int semicolon = type.indexOf(';');
    if (semicolon >= 0)
        type.truncate(semicolon);
    return type.trimmed().toLower();
}
