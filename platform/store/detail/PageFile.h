#pragma once

// Raw reading of a SQLite file, page by page, for salvage: what SQLite itself
// can no longer reach (a damaged header, schema or inner page of a tree) is
// found here by the shape of the pages that are still whole.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QVariant>

namespace platform::detail {

class PageFile {
public:
    // Maps the file read-only; pageSize 0 takes the header's (or a guess when it is damaged).
    explicit PageFile(const QString &path, int pageSize = 0);
    ~PageFile();
    PageFile(const PageFile &) = delete;
    PageFile &operator=(const PageFile &) = delete;

    bool isOpen() const { return m_data != nullptr; }
    int pageSize() const { return m_pageSize; }
    qint64 pageCount() const { return m_pageCount; }

    enum Kind { Other = 0, IndexInterior = 2, TableInterior = 5, IndexLeaf = 10, TableLeaf = 13 };
    Kind kind(qint64 page) const;
    // The pages an inner page points at (none for anything else, or when it does not parse).
    QList<qint64> children(qint64 page) const;

    // One row of a table leaf: its id, the stored type of each column and, when
    // asked for and the row lies whole on the page, its values.
    struct Row {
        qint64 rowid = 0;
        QList<qint64> types; // serial types, one per column
        QVariantList values; // qint64, double, QString, QByteArray or null
        bool complete = false;
    };
    QList<Row> rows(qint64 page, bool withValues) const;

    // The 100-byte header: whether it is one SQLite accepts, and one made up
    // for a file whose own is gone (WAL or rollback journal; no freelist).
    static bool headerIsValid(const QByteArray &header);
    static QByteArray madeUpHeader(int pageSize, bool wal);
    // The page size a file's pages suggest: the one at which most pages start
    // like the pages of a tree.
    static int guessPageSize(const uchar *data, qint64 size);

private:
    const uchar *page(qint64 number) const; // 1-based; null when out of the file
    int headerOffset(qint64 number) const { return number == 1 ? 100 : 0; }

    QFile m_file;
    const uchar *m_data = nullptr;
    qint64 m_size = 0;
    int m_pageSize = 0;
    int m_reserved = 0; // bytes at the end of each page that hold no rows
    qint64 m_pageCount = 0;
};

} // namespace platform::detail
