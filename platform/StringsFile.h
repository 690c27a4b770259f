#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace platform {

// Reader of ".strings" tables: lines of "key" = "value"; with /* */ and // comments and
// the escapes \" \\ \n \t \r \UXXXX. Files may be UTF-8 or UTF-16 with a byte-order mark.
class StringsFile {
public:
    using Entries = QList<QPair<QString, QString>>;

    // Entries in file order; parsing stops at the first malformed entry and reports it.
    static Entries parse(const QByteArray &data, QString *error = nullptr);
    static Entries read(const QString &path, QString *error = nullptr);
};

} // namespace platform
