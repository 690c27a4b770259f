#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace platform {

// Reader of ".strings" tables: lines of "key" = "value"; ("key"; alone maps the key to
// itself) with /* */ and // comments and the escapes \" \\ \n \t \r and \UXXXX (exactly
// four hex digits; a surrogate pair as two escapes). Files are UTF-8 or UTF-16, big- or
// little-endian, told by the byte-order mark or, without one, by the zero byte of the
// first character; a UTF-8 mark is skipped too.
//
//   QString error;
//   for (const auto &[key, value] : StringsFile::read(path, &error)) ...
//   if (!error.isEmpty()) ...   // e.g. "malformed entry near offset 42"
class StringsFile {
public:
    using Entries = QList<QPair<QString, QString>>;

    // Entries in file order. Parsing stops at the first fault (a malformed entry, an
    // unterminated comment, bytes that do not decode) and reports it: entries wholly
    // before the fault are kept, none after it. Offsets count characters after the
    // byte-order mark; decoding faults give the byte offset in the file.
    static Entries parse(const QByteArray &data, QString *error = nullptr);
    static Entries read(const QString &path, QString *error = nullptr);
};

} // namespace platform
