#include "platform/store/detail/Salvage.h"

#include "platform/store/StoreError.h"
#include "platform/store/detail/StoreCore.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <limits>

namespace platform::detail {

const char *const kSalvageTable = "$salvage";

namespace {

struct MasterEntry {
    QString type;
    QString name;
    QString table;
    QString sql;
};

// Tables rebuilt at open (the search index) and SQLite's own are not copied.
bool copied(const MasterEntry &e) {
    return !e.name.startsWith(QLatin1String("sqlite_")) && !e.name.contains(QLatin1String("$search")) &&
           !e.table.contains(QLatin1String("$search")) &&
           !e.sql.startsWith(QLatin1String("CREATE VIRTUAL TABLE"), Qt::CaseInsensitive);
}

// A single id that fails is probed on its own; past this many the rest of a
// table is given up, so that a wrecked file cannot keep the launch waiting.
constexpr qint64 kMaxProbes = 1 << 20;

class TableCopy {
public:
    TableCopy(sqlite::Database &from, sqlite::Database &to, const QString &table, const QStringList &columns,
              const QString &key)
        : m_from(from), m_alias(key != QLatin1String("rowid")) {
        QStringList quotedColumns;
        QStringList marks;
        for (const QString &c : columns) {
            quotedColumns.append(sqlite::quoted(c));
            marks.append(QStringLiteral("?"));
        }
        m_read = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 BETWEEN ? AND ? ORDER BY %1")
                     .arg(key, quotedColumns.join(QLatin1Char(',')), sqlite::quoted(table))
                     .toUtf8();
        const QString write = m_alias ? QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                            .arg(sqlite::quoted(table), quotedColumns.join(QLatin1Char(',')),
                                                 marks.join(QLatin1Char(',')))
                                      : QStringLiteral("INSERT OR IGNORE INTO %1 (rowid, %2) VALUES (?, %3)")
                                            .arg(sqlite::quoted(table), quotedColumns.join(QLatin1Char(',')),
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
            while (read.step()) {
                last = read.columnInt(0);
                copyRow(read);
            }
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
        sqlite::Statement &write = m_write->reset();
        const int n = read.columnCount();
        int at = 1;
        if (!m_alias)
            write.bind(at++, read.columnInt(0));
        for (int i = 1; i < n; ++i)
            write.bind(at++, read.column(i));
        write.run();
        copiedIds.insert(read.columnInt(0));
    }

    sqlite::Database &m_from;
    const bool m_alias;
    QByteArray m_read;
    std::unique_ptr<sqlite::Statement> m_write;
    qint64 m_probes = 0;
};

// Every id the table's indexes still name: each index is a tree of its own,
// so a damaged table page leaves its ids readable there.
QSet<qint64> idsFromIndexes(sqlite::Database &db, const QString &table, const QString &key,
                            const QList<MasterEntry> &indexes) {
    QSet<qint64> ids;
    for (const MasterEntry &index : indexes) {
        try {
            sqlite::Statement st(db.handle(), QStringLiteral("SELECT %1 FROM %2 INDEXED BY %3")
                                                  .arg(key, sqlite::quoted(table), sqlite::quoted(index.name))
                                                  .toUtf8());
            while (st.step())
                ids.insert(st.columnInt(0));
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

    QList<MasterEntry> master;
    std::unique_ptr<sqlite::Database> from;
    qint64 version = static_cast<qint64>(core.schemaVersion);
    try {
        from = std::make_unique<sqlite::Database>(damagedPath, true);
        sqlite::Statement st(from->handle(),
                             QByteArrayLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master"));
        while (st.step())
            master.append({st.column(0).toString(), st.column(1).toString(), st.column(2).toString(),
                           st.column(3).toString()});
        bool ok = false;
        const qint64 stored = scalar(*from, QStringLiteral("PRAGMA user_version"), &ok);
        if (ok)
            version = stored;
    } catch (const StoreError &) {
        master.clear(); // nothing can be told about the file: every class is unreadable
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

    for (const MasterEntry &e : std::as_const(master)) {
        if (e.type == QLatin1String("table") && copied(e))
            to.exec(e.sql);
    }
    for (const MasterEntry &e : std::as_const(master)) {
        if (e.type == QLatin1String("index") && !e.sql.isEmpty() && copied(e))
            to.exec(e.sql);
    }

    QSet<QString> readable;
    for (const MasterEntry &e : std::as_const(master)) {
        if (e.type != QLatin1String("table") || !copied(e))
            continue;
        QStringList columns;
        bool idAlias = false;
        try {
            sqlite::Statement info(
                from->handle(), QStringLiteral("PRAGMA table_info(%1)").arg(sqlite::quoted(e.name)).toUtf8());
            while (info.step()) {
                columns.append(info.column(1).toString());
                if (info.column(1).toString() == QLatin1String("_id") && info.columnInt(5) == 1)
                    idAlias = true;
            }
        } catch (const StoreError &) {
            columns.clear();
        }
        if (columns.isEmpty()) {
            if (core.classes.contains(e.name))
                outcome.unreadable.append(e.name);
            continue;
        }
        const QString key = idAlias ? QStringLiteral("_id") : QStringLiteral("rowid");
        QList<MasterEntry> indexes;
        for (const MasterEntry &i : std::as_const(master)) {
            if (i.type == QLatin1String("index") && i.table == e.name)
                indexes.append(i);
        }
        const QSet<qint64> known = idsFromIndexes(*from, e.name, key, indexes);
        qint64 hi = sequences.value(e.name, 0);
        for (qint64 id : known)
            hi = std::max(hi, id);
        bool ok = false;
        const qint64 max =
            scalar(*from, QStringLiteral("SELECT max(%1) FROM %2").arg(key, sqlite::quoted(e.name)), &ok);
        if (ok)
            hi = std::max(hi, max);
        qint64 lo = 1;
        for (qint64 id : known)
            lo = std::min(lo, id);

        TableCopy copy(*from, to, e.name, columns, key);
        copy.copyRange(lo, hi);
        // Rows past every id known: read until the first failure.
        if (hi < std::numeric_limits<qint64>::max())
            copy.copyRange(hi + 1, std::numeric_limits<qint64>::max(), false);

        if (core.classes.contains(e.name)) {
            qint64 lost = 0;
            for (qint64 id : known)
                lost += copy.copiedIds.contains(id) ? 0 : 1;
            const qint64 kept = copy.copiedIds.size();
            outcome.kept += kept;
            outcome.lost += lost;
            outcome.classes.insert(e.name, {kept, lost});
            if (kept == 0 && known.isEmpty() && copy.failed)
                outcome.unreadable.append(e.name);
        }
        readable.insert(e.name);
        qint64 counter = sequences.value(e.name, 0);
        for (qint64 id : std::as_const(copy.copiedIds))
            counter = std::max(counter, id);
        if (counter > 0 && sequences.contains(e.name)) {
            sqlite::Statement &seq =
                to.prepare(QStringLiteral("UPDATE sqlite_sequence SET seq = ?2 WHERE name = ?1"));
            seq.bind(1, e.name).bind(2, counter);
            seq.run();
            sqlite::Statement &add = to.prepare(
                QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 WHERE NOT EXISTS "
                               "(SELECT 1 FROM sqlite_sequence WHERE name = ?1)"));
            add.bind(1, e.name).bind(2, counter);
            add.run();
        }
    }
    for (const QString &name : core.classOrder) {
        if (!readable.contains(name) && master.isEmpty())
            outcome.unreadable.append(name);
    }

    // What the lost rows leave behind: links to them become null, list entries go.
    for (const QString &name : core.classOrder) {
        if (!readable.contains(name))
            continue;
        const ObjectSchema &schema = *core.classes.value(name);
        for (const Property &p : schema.properties()) {
            if (p.isScalar() || !readable.contains(p.objectClass))
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
        classes.insert(it.key(), QJsonObject{{QStringLiteral("kept"), it.value().first},
                                             {QStringLiteral("lost"), it.value().second}});
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
