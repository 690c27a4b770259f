#include "platform/store/detail/Salvage.h"

#include "platform/store/StoreError.h"
#include "platform/store/detail/PageFile.h"
#include "platform/store/detail/StoreCore.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace platform::detail {

const char *const kSalvageTable = "$salvage";

namespace {

struct MasterEntry {
    QString type;
    QString name;
    QString table;
    QString sql;
    qint64 root = 0; // 0: where the tree starts is not known
};

// Tables rebuilt at open (the search index, the row counts and the schema's stamp) and SQLite's own
// are not copied.
bool copied(const MasterEntry &e) {
    return !e.name.startsWith(QLatin1String("sqlite_")) && !e.name.contains(QLatin1String("$search")) &&
           e.name != QLatin1String(kRowCountsTable) && e.name != QLatin1String(kSchemaStampTable) &&
           !e.table.contains(QLatin1String("$search")) &&
           !e.sql.startsWith(QLatin1String("CREATE VIRTUAL TABLE"), Qt::CaseInsensitive);
}

const QString kOrphanPrefix = QStringLiteral("qv$orphan");

// A single id that fails is probed on its own; past this many the rest of a
// table is given up, so that a wrecked file cannot keep the launch waiting.
constexpr qint64 kMaxProbes = 1 << 20;

class TableCopy {
public:
    // Copies rows of `source` into `target` (the same columns), keyed by the
    // _id column when the table has one, else by rowid. Rows that `accept`
    // refuses are left out.
    TableCopy(sqlite::Database &from, sqlite::Database &to, const QString &source, const QString &target,
              const QStringList &columns, bool alias, std::function<bool(qint64)> accept = {})
        : m_from(from), m_to(to), m_alias(alias), m_accept(std::move(accept)) {
        QStringList quotedColumns;
        QStringList marks;
        for (const QString &c : columns) {
            quotedColumns.append(sqlite::quoted(c));
            marks.append(QStringLiteral("?"));
        }
        const QString key = alias ? QStringLiteral("_id") : QStringLiteral("rowid");
        m_read = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 BETWEEN ? AND ? ORDER BY %1")
                     .arg(key, quotedColumns.join(QLatin1Char(',')), sqlite::quoted(source))
                     .toUtf8();
        const QString write = alias ? QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                          .arg(sqlite::quoted(target), quotedColumns.join(QLatin1Char(',')),
                                               marks.join(QLatin1Char(',')))
                                    : QStringLiteral("INSERT OR IGNORE INTO %1 (rowid, %2) VALUES (?, %3)")
                                          .arg(sqlite::quoted(target), quotedColumns.join(QLatin1Char(',')),
                                               marks.join(QLatin1Char(',')));
        m_write = std::make_unique<sqlite::Statement>(to.handle(), write.toUtf8(), &to);
    }

    // Copies the rows with ids in [lo, hi]. A range that fails part-way is
    // split until the unreadable ids are isolated; with `split` false the copy
    // just stops at the first failure.
    void copyRange(qint64 lo, qint64 hi, bool split = true) {
        if (lo > hi || m_probes > kMaxProbes)
            return;
        qint64 last = lo - 1;
        try {
            sqlite::Statement read(m_from.handle(), m_read);
            read.bind(1, lo).bind(2, hi);
            bool inOrder = true;
            while (inOrder && read.step()) {
                // A damaged page can hand out ids out of order or out of range: it is not read on.
                const qint64 id = read.columnInt(0);
                inOrder = id > last && id <= hi;
                if (inOrder) {
                    last = id;
                    copyRow(read);
                }
            }
            if (inOrder)
                return;
            failed = true;
            if (!split)
                return;
        } catch (const StoreError &e) {
            failed = true;
            if (!sqlite::isDamage(e.sqliteCode()) || !split)
                return;
        }
        const qint64 from = last + 1;
        if (from > hi)
            return;
        if (from == hi) {
            ++m_probes;
            return;
        }
        const qint64 mid = from + (hi - from) / 2;
        copyRange(from, mid);
        copyRange(mid + 1, hi);
    }

    QSet<qint64> copiedIds;
    bool failed = false;

private:
    void copyRow(sqlite::Statement &read) {
        const qint64 id = read.columnInt(0);
        if (m_accept && !m_accept(id))
            return;
        sqlite::Statement &write = m_write->reset();
        const int n = read.columnCount();
        int at = 1;
        if (!m_alias)
            write.bind(at++, id);
        for (int i = 1; i < n; ++i)
            write.bind(at++, read.column(i));
        write.run();
        if (sqlite3_changes(m_to.handle()) > 0)
            copiedIds.insert(id);
    }

    sqlite::Database &m_from;
    sqlite::Database &m_to;
    const bool m_alias;
    std::function<bool(qint64)> m_accept;
    QByteArray m_read;
    std::unique_ptr<sqlite::Statement> m_write;
    qint64 m_probes = 0;
};

// Every id the table's indexes still name: each index is a tree of its own,
// so a damaged table page leaves its ids readable there.
// `whole` tells whether one index at least was read to its end: then every
// id the table held is known.
QSet<qint64> idsFromIndexes(sqlite::Database &db, const QString &table, const QString &key,
                            const QList<MasterEntry> &indexes, bool *whole) {
    QSet<qint64> ids;
    *whole = false;
    for (const MasterEntry &index : indexes) {
        try {
            sqlite::Statement st(db.handle(), QStringLiteral("SELECT %1 FROM %2 INDEXED BY %3")
                                                  .arg(key, sqlite::quoted(table), sqlite::quoted(index.name))
                                                  .toUtf8());
            while (st.step())
                ids.insert(st.columnInt(0));
            *whole = true;
        } catch (const StoreError &) {
            // What was read so far counts.
        }
    }
    return ids;
}

qint64 scalar(sqlite::Database &db, const QString &sql, bool *ok) {
    try {
        sqlite::Statement st(db.handle(), sql.toUtf8());
        *ok = st.step() && !st.columnIsNull(0);
        return *ok ? st.columnInt(0) : 0;
    } catch (const StoreError &) {
        *ok = false;
        return 0;
    }
}

void removeFiles(const QString &path) {
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

// Opens a file for the salvage to read. Schema errors are tolerated (the
// schema may be the damaged part), and so is a file shorter than its header
// says (it was cut short).
std::unique_ptr<sqlite::Database> openSource(const QString &path, bool readOnly) {
    auto db = std::make_unique<sqlite::Database>(path, readOnly);
    db->exec(QStringLiteral("PRAGMA writable_schema = ON"));
    db->exec(QStringLiteral("PRAGMA cell_size_check = ON"));
    return db;
}

// The schema as SQLite reads it; false when it could not read it to the end.
bool readMaster(sqlite::Database &db, QList<MasterEntry> &out) {
    try {
        sqlite::Statement st(
            db.handle(), QByteArrayLiteral("SELECT type, name, tbl_name, rootpage, sql FROM sqlite_master"));
        while (st.step())
            out.append({st.column(0).toString(), st.column(1).toString(), st.column(2).toString(),
                        st.column(4).toString(), st.columnInt(3)});
        return true;
    } catch (const StoreError &) {
        return false;
    }
}

// A copy of the damaged file (its WAL folded in) that the salvage may mend: a
// header made up when the file's own is gone, and no freelist, so that what
// the salvage adds to it goes at its end, never over a page that may hold rows.
class Probe {
public:
    Probe(const QString &damaged, const QString &path) : m_path(path) {
        removeFiles(m_path);
        if (!QFile::copy(damaged, m_path))
            return;
        const bool wal = QFile::exists(damaged + QStringLiteral("-wal"));
        if (wal && !QFile::copy(damaged + QStringLiteral("-wal"), m_path + QStringLiteral("-wal")))
            return;
        if (!patchHeader(wal))
            return;
        dropPartialPage();
        if (wal) {
            // Committed pages still in the WAL go into the file itself, where the pages are read.
            try {
                sqlite::Database db(m_path);
                db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
                db.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
            } catch (const StoreError &) {
                // What is still in the WAL is read through SQLite alone.
            }
            if (!patchHeader(QFile::exists(m_path + QStringLiteral("-wal"))))
                return;
        }
        ok = true;
    }
    ~Probe() { removeFiles(m_path); }
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;

    const QString &path() const { return m_path; }
    bool ok = false;
    bool headerMadeUp = false;

private:
    bool patchHeader(bool wal) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadWrite))
            return false;
        QByteArray header = file.read(100);
        if (!PageFile::headerIsValid(header)) {
            int pageSize = 4096;
            if (const uchar *data = file.size() > 0 ? file.map(0, file.size()) : nullptr) {
                pageSize = PageFile::guessPageSize(data, file.size());
                file.unmap(const_cast<uchar *>(data));
            }
            header = PageFile::madeUpHeader(pageSize, wal);
            headerMadeUp = true;
        }
        auto *h = reinterpret_cast<uchar *>(header.data());
        std::fill(h + 32, h + 40, uchar(0)); // no freelist
        // The page count is taken from the file's size (a file cut short holds fewer
        // pages than its header says): it counts only when bytes 92..95 repeat 24..27.
        h[92] = uchar(h[24] ^ 0xff);
        return file.seek(0) && file.write(header) == header.size();
    }

    // A file cut short in the middle of a page: the rest of that page would read
    // as zeros, rows made up of them. Its rows are lost like those of the pages after it.
    void dropPartialPage() {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadWrite))
            return;
        const QByteArray header = file.read(100);
        if (!PageFile::headerIsValid(header))
            return;
        const quint32 size = (quint32(uchar(header[16])) << 8) | uchar(header[17]);
        const qint64 pageSize = size == 1 ? 65536 : size;
        if (file.size() > pageSize && file.size() % pageSize != 0)
            file.resize(file.size() / pageSize * pageSize);
    }

    QString m_path;
};

bool isSchemaRow(const PageFile::Row &row) {
    static const QStringList kinds = {QStringLiteral("table"), QStringLiteral("index"),
                                      QStringLiteral("view"), QStringLiteral("trigger")};
    if (!row.complete || row.values.size() != 5)
        return false;
    const QVariant &root = row.values.at(3);
    return row.values.at(0).typeId() == QMetaType::QString && kinds.contains(row.values.at(0).toString()) &&
           row.values.at(1).typeId() == QMetaType::QString &&
           row.values.at(2).typeId() == QMetaType::QString && root.typeId() == QMetaType::LongLong &&
           (row.values.at(4).typeId() == QMetaType::QString || !row.values.at(4).isValid());
}

// Schema rows found on the pages themselves, for a schema SQLite cannot read:
// its leaves usually outlive a damaged first page.
QList<MasterEntry> scanMaster(const PageFile &pages, QSet<qint64> *schemaPages) {
    QList<MasterEntry> found;
    for (qint64 page = 1; page <= pages.pageCount(); ++page) {
        if (pages.kind(page) != PageFile::TableLeaf)
            continue;
        for (const PageFile::Row &row : pages.rows(page, true)) {
            if (!isSchemaRow(row))
                continue;
            schemaPages->insert(page);
            found.append({row.values.at(0).toString(), row.values.at(1).toString(),
                          row.values.at(2).toString(), row.values.at(4).toString(),
                          row.values.at(3).toLongLong()});
        }
    }
    return found;
}

bool rootFits(const PageFile &pages, const MasterEntry &e) {
    const PageFile::Kind kind = pages.kind(e.root);
    if (e.type == QLatin1String("table"))
        return kind == PageFile::TableLeaf || kind == PageFile::TableInterior;
    return kind == PageFile::IndexLeaf || kind == PageFile::IndexInterior;
}

// Gives the probe a schema of its own: an empty first page, then the entries.
bool rebuildSchema(const QString &path, int pageSize, const QList<MasterEntry> &entries) {
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite) || file.size() < pageSize)
            return false;
        QByteArray page(pageSize - 100, '\0');
        page[0] = char(PageFile::TableLeaf);
        page[5] = char((pageSize >> 8) & 0xff); // content starts at the page's end (0 for 65536)
        page[6] = char(pageSize & 0xff);
        if (!file.seek(100) || file.write(page) != page.size())
            return false;
    }
    try {
        sqlite::Database db(path);
        db.exec(QStringLiteral("PRAGMA writable_schema = ON"));
        db.exec(QStringLiteral("BEGIN"));
        for (const MasterEntry &e : entries) {
            if (e.root <= 0)
                continue;
            sqlite::Statement &add =
                db.prepare(QStringLiteral("INSERT INTO sqlite_master (type, name, tbl_name, rootpage, sql) "
                                          "VALUES (?, ?, ?, ?, ?)"));
            add.bind(1, e.type).bind(2, e.name).bind(3, e.table).bind(4, e.root).bind(5, e.sql);
            add.run();
        }
        db.exec(QStringLiteral("COMMIT"));
        return true;
    } catch (const StoreError &) {
        return false;
    }
}

struct TableShape {
    QStringList columns;
    QList<char> affinity; // 'i' integer, 'r' real, 't' text, 'b' anything
    QList<bool> notNull;
    bool alias = false; // _id is the row id (stored as null in each row)
};

TableShape shapeOf(sqlite::Database &db, const QString &table) {
    TableShape shape;
    sqlite::Statement info(db.handle(),
                           QStringLiteral("PRAGMA table_info(%1)").arg(sqlite::quoted(table)).toUtf8());
    while (info.step()) {
        const QString name = info.column(1).toString();
        const QString type = info.column(2).toString().toUpper();
        shape.columns.append(name);
        shape.affinity.append(type.contains(QLatin1String("INT"))    ? 'i'
                              : type.contains(QLatin1String("TEXT")) ? 't'
                              : type.contains(QLatin1String("REAL")) ? 'r'
                                                                     : 'b');
        shape.notNull.append(info.columnInt(3) != 0);
        if (name == QLatin1String("_id") && info.columnInt(5) == 1)
            shape.alias = true;
    }
    return shape;
}

// Whether a row stored with these serial types can belong to the table.
bool fits(const TableShape &shape, const PageFile::Row &row) {
    if (row.types.isEmpty() || row.types.size() > shape.columns.size())
        return false; // rows written before a column was added hold fewer
    for (int i = 0; i < row.types.size(); ++i) {
        const qint64 t = row.types.at(i);
        const bool isNull = t == 0;
        const bool isInteger = (t >= 1 && t <= 6) || t == 8 || t == 9;
        const bool isText = t >= 13 && t % 2 == 1;
        if (shape.alias && shape.columns.at(i) == QLatin1String("_id")) {
            if (!isNull)
                return false;
            continue;
        }
        if (isNull && shape.notNull.at(i))
            return false;
        switch (shape.affinity.at(i)) {
        case 'i':
        case 'r':
            if (!isNull && !isInteger && t != 7)
                return false;
            break;
        case 't':
            if (!isNull && !isText)
                return false;
            break;
        default:
            break;
        }
    }
    return true;
}

// Rows of the first leaves under a page, to tell which table a tree belongs to.
QList<PageFile::Row> sampleRows(const PageFile &pages, qint64 top) {
    QList<PageFile::Row> rows;
    QList<qint64> queue{top};
    QSet<qint64> seen;
    int leaves = 0;
    while (!queue.isEmpty() && leaves < 8 && seen.size() < 64) {
        const qint64 page = queue.takeFirst();
        if (seen.contains(page))
            continue;
        seen.insert(page);
        if (pages.kind(page) == PageFile::TableLeaf) {
            rows += pages.rows(page, true);
            ++leaves;
        } else {
            queue = pages.children(page) + queue;
        }
    }
    return rows;
}

// Trees of table rows that no page points at any more: under an inner page
// that was destroyed, or whose schema entry was lost.
QList<qint64> orphanTops(const PageFile &pages, const QSet<qint64> &roots, const QSet<qint64> &schemaPages) {
    QSet<qint64> pointedAt;
    for (qint64 page = 1; page <= pages.pageCount(); ++page) {
        for (qint64 child : pages.children(page))
            pointedAt.insert(child);
    }
    QList<qint64> tops;
    for (qint64 page = 2; page <= pages.pageCount(); ++page) {
        const PageFile::Kind kind = pages.kind(page);
        if ((kind == PageFile::TableLeaf || kind == PageFile::TableInterior) && !pointedAt.contains(page) &&
            !roots.contains(page) && !schemaPages.contains(page))
            tops.append(page);
    }
    return tops;
}

struct TableState {
    TableShape shape;
    QSet<qint64> known;  // ids the indexes name
    QSet<qint64> copied; // ids in the fresh file
    bool failed = false; // reading it met damage, or its tree could not be found
    bool knownWhole = false;
};

} // namespace

bool fileIsSound(const QString &path, QString *verdict) {
    try {
        sqlite::Database db(path, true);
        sqlite::Statement st(db.handle(), QByteArrayLiteral("PRAGMA quick_check"));
        const QString first = st.step() ? st.column(0).toString() : QString();
        if (verdict)
            *verdict = first;
        return first == QLatin1String("ok");
    } catch (const StoreError &e) {
        if (verdict)
            *verdict = e.message();
        return !sqlite::isDamage(e.sqliteCode());
    }
}

SalvageOutcome salvage(const StoreCore &core, const QString &damagedPath, const QString &freshPath,
                       const QString &movedTo) {
    SalvageOutcome outcome;
    sqlite::Database to(freshPath);
    to.exec(QStringLiteral("BEGIN"));

    // Reading goes through a copy the salvage may mend; without room for one,
    // through the damaged file itself, as it is.
    Probe probe(damagedPath, freshPath + QStringLiteral("-probe"));
    const QString source = probe.ok ? probe.path() : damagedPath;
    std::unique_ptr<sqlite::Database> from;
    QList<MasterEntry> master;
    bool masterWhole = false;
    qint64 version = static_cast<qint64>(core.schemaVersion);
    try {
        from = openSource(source, !probe.ok);
        masterWhole = readMaster(*from, master);
        bool ok = false;
        const qint64 stored = scalar(*from, QStringLiteral("PRAGMA user_version"), &ok);
        if (ok && !probe.headerMadeUp)
            version = stored;
    } catch (const StoreError &) {
        from.reset();
    }

    // A schema SQLite cannot read is looked for on the pages, and given to the probe anew.
    QSet<qint64> schemaPages;
    if (probe.ok && !masterWhole) {
        from.reset();
        {
            const PageFile pages(probe.path());
            QSet<QString> names;
            for (const MasterEntry &e : std::as_const(master))
                names.insert(e.name);
            for (const MasterEntry &e : scanMaster(pages, &schemaPages)) {
                if (!names.contains(e.name)) {
                    names.insert(e.name);
                    master.append(e);
                }
            }
            for (MasterEntry &e : master) {
                if (e.root > 0 && !rootFits(pages, e))
                    e.root = 0;
            }
            rebuildSchema(probe.path(), pages.pageSize(), master);
        }
        try {
            from = openSource(probe.path(), false);
        } catch (const StoreError &) {
            from.reset();
        }
    }
    // Classes of which the file shows nothing are looked for as this version declares them.
    if (version == static_cast<qint64>(core.schemaVersion)) {
        QSet<QString> names;
        for (const MasterEntry &e : std::as_const(master))
            names.insert(e.name);
        for (const QString &name : core.classOrder) {
            const ObjectSchema &schema = *core.classes.value(name);
            if (!names.contains(name))
                master.append({QStringLiteral("table"), name, name, StoreCore::createTableSql(schema)});
            for (const Property &p : schema.properties()) {
                const QString list = name + QLatin1Char('.') + p.name;
                if (p.isList() && !names.contains(list))
                    master.append(
                        {QStringLiteral("table"), list, list, StoreCore::createListTableSql(name, p.name)});
            }
        }
    }

    QHash<QString, qint64> sequences;
    if (from) {
        try {
            sqlite::Statement st(from->handle(), QByteArrayLiteral("SELECT name, seq FROM sqlite_sequence"));
            while (st.step())
                sequences.insert(st.column(0).toString(), st.columnInt(1));
        } catch (const StoreError &) {
            // Counters are rebuilt from the rows copied.
        }
    }

    QMap<QString, TableState> tables;
    for (const MasterEntry &e : std::as_const(master)) {
        if (e.type != QLatin1String("table") || !copied(e) || tables.contains(e.name))
            continue;
        try {
            to.exec(e.sql);
            tables.insert(e.name, {shapeOf(to, e.name), {}, {}, false, false});
        } catch (const StoreError &) {
            // Not a statement SQLite takes (text damaged): nothing of it can be stored.
        }
    }
    for (const MasterEntry &e : std::as_const(master)) {
        if (e.type == QLatin1String("index") && !e.sql.isEmpty() && copied(e) && tables.contains(e.table)) {
            try {
                to.exec(e.sql);
            } catch (const StoreError &) {
                // The index is made again at open.
            }
        }
    }

    // Table by table, through SQLite.
    QSet<qint64> roots{1};
    for (const MasterEntry &e : std::as_const(master))
        roots.insert(e.root);
    for (const MasterEntry &e : std::as_const(master)) {
        auto table = tables.find(e.name);
        if (e.type != QLatin1String("table") || table == tables.end() || table->shape.columns.isEmpty())
            continue;
        if (!from || e.root <= 0) {
            table->failed = true;
            continue;
        }
        const QString key = table->shape.alias ? QStringLiteral("_id") : QStringLiteral("rowid");
        QList<MasterEntry> indexes;
        for (const MasterEntry &i : std::as_const(master)) {
            if (i.type == QLatin1String("index") && i.table == e.name && i.root > 0)
                indexes.append(i);
        }
        table->known = idsFromIndexes(*from, e.name, key, indexes, &table->knownWhole);
        qint64 hi = sequences.value(e.name, 0);
        qint64 lo = 1;
        for (qint64 id : std::as_const(table->known)) {
            hi = std::max(hi, id);
            lo = std::min(lo, id);
        }
        bool ok = false;
        const qint64 max =
            scalar(*from, QStringLiteral("SELECT max(%1) FROM %2").arg(key, sqlite::quoted(e.name)), &ok);
        if (ok)
            hi = std::max(hi, max);
        TableCopy copy(*from, to, e.name, e.name, table->shape.columns, table->shape.alias);
        copy.copyRange(lo, hi);
        // Rows past every id known: read until the first failure.
        if (hi < std::numeric_limits<qint64>::max())
            copy.copyRange(hi + 1, std::numeric_limits<qint64>::max(), false);
        table->copied = copy.copiedIds;
        table->failed = copy.failed;
    }

    // Rows SQLite cannot reach any more (under a destroyed inner page, or in a
    // tree whose schema entry is gone) are found by the shape of their pages:
    // the classes' own rows first, then their lists, told apart by the objects
    // their entries join.
    if (probe.ok) {
        from.reset();
        QList<QPair<qint64, QList<PageFile::Row>>> tops;
        {
            const PageFile pages(probe.path());
            for (qint64 top : orphanTops(pages, roots, schemaPages)) {
                QList<PageFile::Row> sample = sampleRows(pages, top);
                if (!sample.isEmpty())
                    tops.append({top, std::move(sample)});
            }
        }
        const auto listEnds = [&](const QString &table) -> QPair<QString, QString> {
            const QString owner = table.section(QLatin1Char('.'), 0, 0);
            const ObjectSchema *schema = core.classes.value(owner).get();
            const Property *p = schema ? schema->propertyNamed(table.section(QLatin1Char('.'), 1)) : nullptr;
            return p && p->isList() ? qMakePair(owner, p->objectClass) : QPair<QString, QString>();
        };
        for (const bool lists : {false, true}) {
            QList<QPair<qint64, QString>> orphans; // top page, table
            for (const auto &[top, sample] : std::as_const(tops)) {
                QString best;
                qint64 bestScore = -1;
                bool tie = false;
                for (auto t = tables.cbegin(); t != tables.cend(); ++t) {
                    const QPair<QString, QString> ends = listEnds(t.key());
                    if (lists ? ends.first.isEmpty() : !core.classes.contains(t.key()))
                        continue; // only the classes' own tables and lists take rows found this way
                    bool all = true;
                    qint64 missing = 0; // sampled ids the indexes name that nothing copied
                    qint64 joined = 0;  // list entries between objects that were kept
                    qint64 exact = 0;
                    for (const PageFile::Row &row : sample) {
                        all = all && fits(t->shape, row);
                        missing += t->known.contains(row.rowid) && !t->copied.contains(row.rowid) ? 1 : 0;
                        exact += row.types.size() == t->shape.columns.size() ? 1 : 0;
                        if (lists && row.values.size() == 3 &&
                            tables.value(ends.first).copied.contains(row.values.at(0).toLongLong()) &&
                            tables.value(ends.second).copied.contains(row.values.at(2).toLongLong()))
                            ++joined;
                    }
                    if (!all || (!t->known.isEmpty() && missing == 0))
                        continue;
                    const qint64 score = (missing + joined) * 2 * sample.size() + exact;
                    if (score > bestScore) {
                        best = t.key();
                        bestScore = score;
                        tie = false;
                    } else if (score == bestScore) {
                        tie = true;
                    }
                }
                if (!best.isEmpty() && !tie)
                    orphans.append({top, best});
            }
            if (orphans.isEmpty())
                continue;
            from.reset();
            try {
                sqlite::Database db(probe.path());
                db.exec(QStringLiteral("PRAGMA writable_schema = ON"));
                db.exec(QStringLiteral("BEGIN"));
                for (const auto &[top, table] : std::as_const(orphans)) {
                    const TableShape &shape = tables.value(table).shape;
                    QStringList columns;
                    for (const QString &c : shape.columns)
                        columns.append(sqlite::quoted(c) + (shape.alias && c == QLatin1String("_id")
                                                                ? QStringLiteral(" INTEGER PRIMARY KEY")
                                                                : QString()));
                    const QString name = kOrphanPrefix + QString::number(top);
                    sqlite::Statement &add = db.prepare(
                        QStringLiteral("INSERT INTO sqlite_master (type, name, tbl_name, rootpage, sql) "
                                       "VALUES ('table', ?, ?, ?, ?)"));
                    add.bind(1, name).bind(2, name).bind(3, top).bind(
                        4, QStringLiteral("CREATE TABLE %1 (%2)")
                               .arg(sqlite::quoted(name), columns.join(QLatin1Char(','))));
                    add.run();
                }
                db.exec(QStringLiteral("COMMIT"));
                from = openSource(probe.path(), true);
            } catch (const StoreError &) {
                from.reset();
                continue;
            }
            for (const auto &[top, table] : std::as_const(orphans)) {
                TableState &state = tables[table];
                // Only rows the file still knew of: a deleted row left on a page stays deleted.
                const QSet<qint64> known = state.known;
                const QSet<qint64> done = state.copied;
                TableCopy copy(*from, to, kOrphanPrefix + QString::number(top), table, state.shape.columns,
                               state.shape.alias, [known, done](qint64 id) {
                                   return !done.contains(id) && (known.isEmpty() || known.contains(id));
                               });
                copy.copyRange(1, std::numeric_limits<qint64>::max());
                state.copied.unite(copy.copiedIds);
            }
            // A top taken by a class is not offered to the lists.
            tops.erase(std::remove_if(tops.begin(), tops.end(),
                                      [&](const auto &t) {
                                          for (const auto &o : std::as_const(orphans)) {
                                              if (o.first == t.first)
                                                  return true;
                                          }
                                          return false;
                                      }),
                       tops.end());
        }
    }

    for (auto t = tables.cbegin(); t != tables.cend(); ++t) {
        if (!core.classes.contains(t.key()))
            continue;
        qint64 lost = 0;
        for (qint64 id : t->known)
            lost += t->copied.contains(id) ? 0 : 1;
        const qint64 kept = t->copied.size();
        outcome.kept += kept;
        outcome.lost += lost;
        outcome.classes.insert(t.key(), {kept, lost});
        if (kept == 0 && t->known.isEmpty() && t->failed)
            outcome.unreadable.append(t.key());
        else if (t->failed && !t->knownWhole)
            outcome.uncounted.append(t.key());
    }
    // A file of another version may not have had a class at all: only when no
    // table could be found is every class unreadable.
    for (const QString &name : core.classOrder) {
        if (tables.isEmpty() && !outcome.unreadable.contains(name))
            outcome.unreadable.append(name);
    }

    // Counters stay past every id the file handed out, lost ones included.
    for (auto t = tables.cbegin(); t != tables.cend(); ++t) {
        if (!t->shape.alias)
            continue;
        qint64 counter = sequences.value(t.key(), 0);
        for (qint64 id : t->copied)
            counter = std::max(counter, id);
        for (qint64 id : t->known)
            counter = std::max(counter, id);
        if (counter <= 0)
            continue;
        try {
            sqlite::Statement &seq =
                to.prepare(QStringLiteral("UPDATE sqlite_sequence SET seq = ?2 WHERE name = ?1"));
            seq.bind(1, t.key()).bind(2, counter);
            seq.run();
            sqlite::Statement &add = to.prepare(
                QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 WHERE NOT EXISTS "
                               "(SELECT 1 FROM sqlite_sequence WHERE name = ?1)"));
            add.bind(1, t.key()).bind(2, counter);
            add.run();
        } catch (const StoreError &) {
            // A table without AUTOINCREMENT has no counter.
        }
    }

    // What the lost rows leave behind: links to them become null, list entries go.
    for (const QString &name : core.classOrder) {
        if (!tables.contains(name))
            continue;
        const ObjectSchema &schema = *core.classes.value(name);
        for (const Property &p : schema.properties()) {
            if (p.isScalar() || !tables.contains(p.objectClass))
                continue;
            try {
                if (p.isLink()) {
                    to.exec(QStringLiteral("UPDATE %1 SET %2 = NULL WHERE %2 IS NOT NULL AND %2 NOT IN "
                                           "(SELECT _id FROM %3)")
                                .arg(sqlite::quoted(name), sqlite::quoted(p.name),
                                     sqlite::quoted(p.objectClass)));
                } else {
                    to.exec(
                        QStringLiteral("DELETE FROM %1 WHERE owner NOT IN (SELECT _id FROM %2) OR target NOT "
                                       "IN (SELECT _id FROM %3)")
                            .arg(StoreCore::listTable(name, p.name), sqlite::quoted(name),
                                 sqlite::quoted(p.objectClass)));
                }
            } catch (const StoreError &) {
                // A column or table of another schema version: the migration deals with it.
            }
        }
    }

    QJsonObject classes;
    for (auto it = outcome.classes.cbegin(); it != outcome.classes.cend(); ++it)
        classes.insert(it.key(),
                       QJsonObject{{QStringLiteral("kept"), it.value().first},
                                   {QStringLiteral("lost"), it.value().second},
                                   {QStringLiteral("uncounted"), outcome.uncounted.contains(it.key())}});
    to.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (movedTo TEXT, kept INTEGER, lost INTEGER, "
                           "unreadable TEXT, classes TEXT, at INTEGER)")
                .arg(sqlite::quoted(QString::fromLatin1(kSalvageTable))));
    sqlite::Statement &note = to.prepare(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?, ?, ?)")
                                             .arg(sqlite::quoted(QString::fromLatin1(kSalvageTable))));
    note.bind(1, movedTo)
        .bind(2, outcome.kept)
        .bind(3, outcome.lost)
        .bind(4, outcome.unreadable.join(QLatin1Char('\n')))
        .bind(5, QString::fromUtf8(QJsonDocument(classes).toJson(QJsonDocument::Compact)))
        .bind(6, QDateTime::currentMSecsSinceEpoch());
    note.run();
    to.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
    to.exec(QStringLiteral("COMMIT"));
    return outcome;
}

} // namespace platform::detail
