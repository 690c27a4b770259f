#include "MultipartParser.h"

namespace qvtest {

namespace {

// Reads `name=value` pairs after the first ';', honouring quotes and backslash escapes.
QList<QPair<QByteArray, QByteArray>> parameters(const QByteArray &value) {
    QList<QPair<QByteArray, QByteArray>> result;
    int i = value.indexOf(';');
    if (i < 0)
        return result;
    const int n = value.size();
    while (i < n) {
        ++i; // past ';'
        while (i < n && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        const int eq = value.indexOf('=', i);
        const int semi = value.indexOf(';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            i = semi < 0 ? n : semi;
            continue;
        }
        const QByteArray key = value.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        while (i < n && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        QByteArray v;
        if (i < n && value[i] == '"') {
            ++i;
            while (i < n && value[i] != '"') {
                if (value[i] == '\\' && i + 1 < n)
                    ++i;
                v.append(value[i++]);
            }
            i = value.indexOf(';', i);
            if (i < 0)
                i = n;
        } else {
            const int end = value.indexOf(';', i);
            v = value.mid(i, (end < 0 ? n : end) - i).trimmed();
            i = end < 0 ? n : end;
        }
        result.append({key, v});
    }
    return result;
}

QList<QPair<QByteArray, QByteArray>> parsePartHeaders(const QByteArray &block) {
    QList<QPair<QByteArray, QByteArray>> headers;
    for (const QByteArray &line : block.split('\n')) {
        const QByteArray trimmed = line.endsWith('\r') ? line.chopped(1) : line;
        const int colon = trimmed.indexOf(':');
        if (colon <= 0)
            continue;
        headers.append({trimmed.left(colon).trimmed(), trimmed.mid(colon + 1).trimmed()});
    }
    return headers;
}

} // namespace

QByteArray MultipartParser::headerParameter(const QByteArray &headerValue, const QByteArray &name) {
    const QByteArray wanted = name.toLower();
    const auto params = parameters(headerValue);
    for (const auto &p : params) {
        if (p.first != wanted + '*')
            continue;
        // charset'language'percent-encoded
        const int second = p.second.indexOf('\'', p.second.indexOf('\'') + 1);
        if (second >= 0)
            return QByteArray::fromPercentEncoding(p.second.mid(second + 1));
    }
    for (const auto &p : params)
        if (p.first == wanted)
            return p.second;
    return {};
}

QByteArray MultipartParser::mediaType(const QByteArray &headerValue) {
    const int semi = headerValue.indexOf(';');
    return (semi < 0 ? headerValue : headerValue.left(semi)).trimmed().toLower();
}

QList<MultipartPart> MultipartParser::parse(const QByteArray &body, const QByteArray &boundary, bool *ok) {
    QList<MultipartPart> parts;
    if (ok)
        *ok = false;
    if (boundary.isEmpty())
        return parts;
    const QByteArray dashBoundary = "--" + boundary;
    const QByteArray delimiter = "\r\n" + dashBoundary;

    // The first boundary may start the body or follow a preamble line.
    qsizetype pos = dashBoundary.size();
    if (!body.startsWith(dashBoundary)) {
        pos = body.indexOf(delimiter);
        if (pos < 0)
            return parts;
        pos += delimiter.size();
    }

    for (;;) {
        if (body.mid(pos, 2) == "--") {
            if (ok)
                *ok = true;
            return parts;
        }
        // Transport padding after the boundary, then the line break.
        while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t'))
            ++pos;
        if (body.mid(pos, 2) != "\r\n")
            return parts;
        pos += 2;

        qsizetype headersEnd;
        qsizetype dataStart;
        if (body.mid(pos, 2) == "\r\n") { // a part with no headers
            headersEnd = pos;
            dataStart = pos + 2;
        } else {
            headersEnd = body.indexOf("\r\n\r\n", pos);
            if (headersEnd < 0)
                return parts;
            dataStart = headersEnd + 4;
        }
        const qsizetype next = body.indexOf(delimiter, dataStart);
        if (next < 0)
            return parts;

        MultipartPart part;
        part.headers = parsePartHeaders(body.mid(pos, headersEnd - pos));
        const QByteArray disposition = part.header("Content-Disposition");
        part.name = QString::fromUtf8(headerParameter(disposition, "name"));
        part.fileName = QString::fromUtf8(headerParameter(disposition, "filename"));
        part.contentType = part.header("Content-Type");
        if (part.contentType.isEmpty())
            part.contentType = "text/plain";
        part.data = body.mid(dataStart, next - dataStart);
        parts.append(part);
        pos = next + delimiter.size();
    }
}

} // namespace qvtest
