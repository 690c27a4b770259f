#include "platform/store/Query.h"

#include "platform/store/Notifications.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/StoreCore.h"

namespace platform {

namespace detail {

namespace {

// Places read one row at a time before the whole list is read once: a window's first rows.
constexpr int kSingleRowReads = 256;

// Spare room an evaluated id list may keep; past it the list is cut to its size.
constexpr qsizetype kSpareIdsKept = 4096;

// Turns a query into SQL over the class tables, joining to-one links on demand.
class SqlBuilder {
public:
    SqlBuilder(StoreCore &core, const ObjectSchema &root) : m_core(core), m_root(root) {
        m_dependencies.insert(root.className());
    }

    QString whereClause(const PredicateNode &node) {
        switch (node.kind) {
        case PredicateNode::All:
            return QStringLiteral("1");
        case PredicateNode::And:
        case PredicateNode::Or: {
            // Binds follow the text: build left before right.
            const QString left = whereClause(*node.left);
            const QString right = whereClause(*node.right);
            return QStringLiteral("(%1 %2 %3)")
                .arg(left, node.kind == PredicateNode::And ? QStringLiteral("AND") : QStringLiteral("OR"),
                     right);
        }
        case PredicateNode::Not:
            return QStringLiteral("(NOT %1)").arg(whereClause(*node.left));
        case PredicateNode::Compare:
            return compare(node);
        case PredicateNode::In: {
            const Property *p = nullptr;
            const QString col = column(node.path, &p);
            if (node.values.isEmpty())
                return QStringLiteral("0");
            QStringList marks;
            for (const QVariant &v : node.values) {
                binds.append(bindable(*p, v));
                marks.append(QStringLiteral("?"));
            }
            // False rather than null for a null value, and still a term an index can answer.
            return QStringLiteral("(%1 IN (%2) AND %1 IS NOT NULL)").arg(col, marks.join(QLatin1Char(',')));
        }
        case PredicateNode::Contains:
        case PredicateNode::BeginsWith: {
            const Property *p = nullptr;
            QString alias;
            QString col = column(node.path, &p, &alias);
            if (p->type != PropertyType::String)
                throw StoreError(QStringLiteral("%1 is not text").arg(node.path));
            const int flags = (node.options & CaseInsensitive ? sqlite::FoldCase : 0) |
                              (node.options & DiacriticInsensitive ? sqlite::FoldDiacritics : 0);
            const QString text = node.value.toString();
            if (p->searchable && flags == (sqlite::FoldCase | sqlite::FoldDiacritics))
                return searched(node, *p, alias, text);
            QString needle = QStringLiteral("?");
            if (flags) {
                col = QStringLiteral("qv_fold(%1, %2)").arg(col).arg(flags);
                needle = QStringLiteral("qv_fold(?, %1)").arg(flags);
            }
            binds.append(text);
            return node.kind == PredicateNode::Contains
                       ? QStringLiteral("coalesce(instr(%1, %2) > 0, 0)").arg(col, needle)
                       : QStringLiteral("coalesce(instr(%1, %2) = 1, 0)").arg(col, needle);
        }
        case PredicateNode::Has: {
            const int dot = node.path.lastIndexOf(QLatin1Char('.'));
            const ObjectSchema *owner = &m_root;
            QString alias = QStringLiteral("t0");
            if (dot > 0)
                alias = join(node.path.left(dot), &owner);
            const Property *p = owner->propertyNamed(node.path.mid(dot + 1));
            if (!p || !p->isList())
                throw StoreError(QStringLiteral("%1 is not a list of %2").arg(node.path, owner->className()));
            m_dependencies.insert(p->objectClass);
            if (dot < 0)
                m_rootProperties.insert(p->name);
            const Object o = node.value.value<Object>();
            binds.append(QVariant::fromValue<qint64>(o.rowId()));
            return QStringLiteral("EXISTS (SELECT 1 FROM %1 l WHERE l.owner = %2._id AND l.target = ?)")
                .arg(StoreCore::listTable(owner->className(), p->name), alias);
        }
        }
        return QStringLiteral("1");
    }

    QString orderClause(const QList<SortKey> &sorts) {
        QStringList terms;
        orderColumns.clear();
        for (const SortKey &s : sorts) {
            const Property *p = nullptr;
            const QString col = column(s.path, &p);
            orderColumns.append(col);
            terms.append(col + (s.ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC")));
        }
        // Ties follow insertion order in the direction of the last key, which lets
        // SQLite walk an index on that key instead of sorting.
        const bool descending = !sorts.isEmpty() && !sorts.last().ascending;
        terms.append(descending ? QStringLiteral("t0._id DESC") : QStringLiteral("t0._id"));
        return terms.join(QStringLiteral(", "));
    }

    QString fromClause() const {
        return QStringLiteral("%1 t0%2").arg(sqlite::quoted(m_root.className()), m_joins.join(QString()));
    }

    QVariantList binds;
    QStringList orderColumns;
    const QSet<QString> &dependencies() const { return m_dependencies; }
    const QSet<QString> &rootProperties() const { return m_rootProperties; }
    const QSet<QString> &joinedClasses() const { return m_joinedClasses; }

private:
    // Through the folded-text index: a substring of three characters or more
    // is looked up by its trigrams, each hit then checked against the folded
    // text; a shorter one is looked for in the folded column, row by row.
    QString searched(const PredicateNode &node, const Property &p, const QString &alias,
                     const QString &text) {
        const QString folded = sqlite::fold(text, sqlite::FoldCase | sqlite::FoldDiacritics);
        const QString column = sqlite::quoted(StoreCore::foldedColumn(p.name));
        const QString check = node.kind == PredicateNode::Contains ? QStringLiteral("instr(%1, ?) > 0")
                                                                   : QStringLiteral("instr(%1, ?) = 1");
        const QList<uint> points = folded.toUcs4();
        if (points.size() < 3) {
            binds.append(folded);
            return QStringLiteral("coalesce(%1, 0)").arg(check.arg(alias + QLatin1Char('.') + column));
        }
        QStringList trigrams;
        for (qsizetype i = 0;; i += 3) {
            const qsizetype at = std::min<qsizetype>(i, points.size() - 3);
            QString gram = QString::fromUcs4(reinterpret_cast<const char32_t *>(points.constData() + at), 3);
            trigrams.append(QLatin1Char('"') + gram.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                            QLatin1Char('"'));
            if (at == points.size() - 3)
                break;
        }
        binds.append(trigrams.join(QStringLiteral(" AND ")));
        binds.append(folded);
        const QString search = StoreCore::searchTable(owningClass(alias));
        const QString hits =
            QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH ? AND %2").arg(search, check.arg(column));
        // The root's id is never null, so its test needs no coalesce(), and
        // without one SQLite drives the query from the index hits.
        return alias == QLatin1String("t0") ? QStringLiteral("t0._id IN (%1)").arg(hits)
                                            : QStringLiteral("coalesce(%1._id IN (%2), 0)").arg(alias, hits);
    }

    QString owningClass(const QString &alias) const {
        return alias == QLatin1String("t0") ? m_root.className() : m_aliasClasses.value(alias);
    }

    QString compare(const PredicateNode &node) {
        const Property *p = nullptr;
        const QString col = column(node.path, &p);
        const QVariant v = bindable(*p, node.value);
        const bool isNull = !v.isValid() || v.isNull();
        if (node.op == QLatin1String("=")) {
            if (isNull)
                return QStringLiteral("%1 IS NULL").arg(col);
            binds.append(v);
            return QStringLiteral("%1 IS ?").arg(col);
        }
        if (node.op == QLatin1String("!=")) {
            if (isNull)
                return QStringLiteral("%1 IS NOT NULL").arg(col);
            binds.append(v);
            return QStringLiteral("%1 IS NOT ?").arg(col);
        }
        if (isNull)
            return QStringLiteral("0");
        binds.append(v);
        // False rather than null for a null value (so that negating it holds), and
        // written so that SQLite can still answer the range from an index.
        return QStringLiteral("(%1 %2 ? AND %1 IS NOT NULL)").arg(col, node.op);
    }

    QVariant bindable(const Property &p, const QVariant &value) {
        if (p.isLink()) {
            if (!value.isValid() || value.isNull())
                return {};
            if (value.typeId() != qMetaTypeId<Object>())
                throw StoreError(QStringLiteral("%1 compares with objects only").arg(p.name));
            const Object o = value.value<Object>();
            return o.isNull() ? QVariant() : QVariant::fromValue<qint64>(o.rowId());
        }
        if (p.isList())
            throw StoreError(QStringLiteral("List %1 cannot be compared; use has()").arg(p.name));
        QVariant coerced;
        if (!coerceValue(p, value, coerced))
            throw StoreError(
                QStringLiteral("Value does not fit %1 (%2)").arg(p.name, propertyTypeName(p.type)));
        return toSql(p, coerced);
    }

    // Alias of the table reached by following the to-one links of `path`.
    QString join(const QString &path, const ObjectSchema **schemaOut) {
        const ObjectSchema *schema = &m_root;
        QString alias = QStringLiteral("t0");
        QString prefix;
        for (const QString &component : path.split(QLatin1Char('.'))) {
            const Property *p = schema->propertyNamed(component);
            if (!p || !p->isLink())
                throw StoreError(
                    QStringLiteral("%1 is not a link of %2").arg(component, schema->className()));
            if (prefix.isEmpty())
                m_rootProperties.insert(component);
            prefix += (prefix.isEmpty() ? QString() : QStringLiteral(".")) + component;
            const ObjectSchema &target = m_core.schemaFor(p->objectClass);
            m_dependencies.insert(target.className());
            m_joinedClasses.insert(target.className());
            QString next = m_aliases.value(prefix);
            if (next.isEmpty()) {
                next = QStringLiteral("t%1").arg(m_aliases.size() + 1);
                m_aliases.insert(prefix, next);
                m_aliasClasses.insert(next, target.className());
                m_joins.append(
                    QStringLiteral(" LEFT JOIN %1 %2 ON %2._id = %3.%4")
                        .arg(sqlite::quoted(target.className()), next, alias, sqlite::quoted(p->name)));
            }
            alias = next;
            schema = &target;
        }
        *schemaOut = schema;
        return alias;
    }

    QString column(const QString &path, const Property **propertyOut, QString *aliasOut = nullptr) {
        const int dot = path.lastIndexOf(QLatin1Char('.'));
        const ObjectSchema *schema = &m_root;
        QString alias = QStringLiteral("t0");
        if (dot > 0)
            alias = join(path.left(dot), &schema);
        const Property *p = schema->propertyNamed(path.mid(dot + 1));
        if (!p)
            throw StoreError(
                QStringLiteral("Class %1 has no property %2").arg(schema->className(), path.mid(dot + 1)));
        if (dot < 0)
            m_rootProperties.insert(p->name);
        *propertyOut = p;
        if (aliasOut)
            *aliasOut = alias;
        return QStringLiteral("%1.%2").arg(alias, sqlite::quoted(p->name));
    }

    StoreCore &m_core;
    const ObjectSchema &m_root;
    QHash<QString, QString> m_aliases;
    QHash<QString, QString> m_aliasClasses; // alias -> class
    QStringList m_joins;
    QSet<QString> m_dependencies;
    QSet<QString> m_rootProperties;
    QSet<QString> m_joinedClasses;
};

} // namespace

QList<qint64> ResultsQuery::evaluate(bool force, const RowSink &rows, ReadStamp *stamp) const {
    try {
        return evaluateOrThrow(force, rows, stamp);
    } catch (const StoreError &e) {
        // Reported every time and never cached: the next read asks SQLite again.
        report(Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
               QStringLiteral("Object store query failed"));
        return {};
    }
}

QList<qint64> ResultsQuery::evaluateOrThrow(bool force, const RowSink &rows, ReadStamp *stamp) const {
    if (!core || !schema)
        return {};
    Connection &c = core->connection();
    std::lock_guard<std::mutex> lock(cacheMutex);
    const ReadStamp now = core->stamp(c);
    if (stamp)
        *stamp = now;
    if (!force && !rows && cached && cacheStamp == now)
        return cachedIds;
    cached = false;
    // A long list is kept while it is observed: held at its size, not at the growth's spare room
    // (a million rows would otherwise hold up to twice their 8 MB).
    QList<qint64> ids = readIds(c, rows, cachedCount >= 0 && countStamp == now ? cachedCount : 0);
    cached = true;
    cacheStamp = now;
    cachedIds = ids;
    return ids;
}

QList<qint64> ResultsQuery::readIds(Connection &c, const RowSink &rows, int expected) const {
    QList<qint64> ids;
    if (!core || !schema)
        return ids;
    SqlBuilder builder(*core, *schema);
    const QString where = predicate ? builder.whereClause(*predicate) : QStringLiteral("1");
    const QString order = builder.orderClause(sorts);
    const QString columns = rows ? QStringLiteral("t0._id,") + rowColumns(*schema, QStringLiteral("t0."))
                                 : QStringLiteral("t0._id");
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4")
                            .arg(columns, builder.fromClause(), where, order);
    sqlite::Statement &st = c.db.prepare(sql);
    for (int i = 0; i < builder.binds.size(); ++i)
        st.bind(i + 1, builder.binds.at(i));
    if (expected > 0)
        ids.reserve(expected);
    while (st.step()) {
        const qint64 id = st.columnInt(0);
        ids.append(id);
        if (rows)
            rows(id, st);
    }
    if (ids.capacity() - ids.size() > kSpareIdsKept)
        ids.squeeze();
    return ids;
}

int ResultsQuery::count() const {
    if (!core || !schema)
        return 0;
    try {
        Connection &c = core->connection();
        std::lock_guard<std::mutex> lock(cacheMutex);
        const ReadStamp now = core->stamp(c);
        if (cached && cacheStamp == now)
            return static_cast<int>(cachedIds.size());
        if (cachedCount >= 0 && countStamp == now)
            return cachedCount;
        if (!predicate) {
            if (const std::optional<qint64> kept = core->keptRowCount(c, schema->className())) {
                cachedCount = static_cast<int>(*kept);
                countStamp = now;
                return cachedCount;
            }
        }
        SqlBuilder builder(*core, *schema);
        // Without a predicate, no WHERE at all: SQLite counts a whole table from its b-tree's pages
        // only then (a file whose counts are not kept yet).
        const QString where = predicate ? QStringLiteral(" WHERE ") + builder.whereClause(*predicate) : QString();
        sqlite::Statement &st =
            c.db.prepare(QStringLiteral("SELECT count(*) FROM %1%2").arg(builder.fromClause(), where));
        for (int i = 0; i < builder.binds.size(); ++i)
            st.bind(i + 1, builder.binds.at(i));
        const int rows = st.step() ? static_cast<int>(st.columnInt(0)) : 0;
        st.reset();
        cachedCount = rows;
        countStamp = now;
        return rows;
    } catch (const StoreError &e) {
        report(Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
               QStringLiteral("Object store query failed"));
        return 0;
    }
}

qint64 ResultsQuery::idAt(int index) const {
    if (!core || !schema || index < 0)
        return 0;
    if (index >= kSingleRowReads) {
        const QList<qint64> ids = evaluate();
        return index < ids.size() ? ids.at(index) : 0;
    }
    try {
        Connection &c = core->connection();
        std::lock_guard<std::mutex> lock(cacheMutex);
        if (cached && cacheStamp == core->stamp(c))
            return index < cachedIds.size() ? cachedIds.at(index) : 0;
        SqlBuilder builder(*core, *schema);
        const QString where = predicate ? builder.whereClause(*predicate) : QStringLiteral("1");
        const QString order = builder.orderClause(sorts);
        sqlite::Statement &st =
            c.db.prepare(QStringLiteral("SELECT t0._id FROM %1 WHERE %2 ORDER BY %3 LIMIT 1 OFFSET ?")
                             .arg(builder.fromClause(), where, order));
        for (int i = 0; i < builder.binds.size(); ++i)
            st.bind(i + 1, builder.binds.at(i));
        st.bind(builder.binds.size() + 1, QVariant(qint64(index)));
        const qint64 id = st.step() ? st.columnInt(0) : 0;
        st.reset();
        return id;
    } catch (const StoreError &e) {
        report(Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
               QStringLiteral("Object store query failed"));
        return 0;
    }
}

QueryShape ResultsQuery::shape() const {
    QueryShape shape;
    if (!core || !schema)
        return shape;
    try {
        SqlBuilder builder(*core, *schema);
        const QString where = predicate ? builder.whereClause(*predicate) : QStringLiteral("1");
        builder.orderClause(sorts);
        const QString keys = builder.orderColumns.isEmpty() ? QStringLiteral("t0._id")
                                                            : builder.orderColumns.join(QLatin1Char(','));
        shape.keySql = QStringLiteral("SELECT %1 FROM %2 WHERE t0._id = ?").arg(keys, builder.fromClause());
        shape.candidatesSql = QStringLiteral("SELECT t0._id, %1 FROM %2 WHERE (%3) AND t0._id IN (%4)")
                                  .arg(keys, builder.fromClause(), where, QStringLiteral("%1"));
        shape.binds = builder.binds;
        for (const SortKey &s : sorts)
            shape.ascending.append(s.ascending);
        if (sorts.isEmpty())
            shape.ascending.append(true); // the key is the id itself
        shape.idAscending = sorts.isEmpty() || sorts.last().ascending;
        shape.rootProperties = builder.rootProperties();
        shape.pathClasses = builder.joinedClasses();
        shape.pathClasses.remove(schema->className());
        for (const Property &p : schema->properties()) {
            if (!p.isScalar())
                shape.linkedClasses.insert(p.objectClass);
        }
        // A list that the predicate looks into changes membership through its own
        // rows only (recorded on the owner), so its class needs no re-run.
        shape.valid = true;
    } catch (const StoreError &) {
        shape.valid = false;
    }
    return shape;
}

QSet<QString> ResultsQuery::dependencies() const {
    if (!core || !schema)
        return {};
    try {
        SqlBuilder builder(*core, *schema);
        if (predicate)
            builder.whereClause(*predicate);
        builder.orderClause(sorts);
        QSet<QString> classes = builder.dependencies();
        for (const Property &p : schema->properties()) {
            if (!p.isScalar())
                classes.insert(p.objectClass); // linked objects' changes count as modifications
        }
        return classes;
    } catch (const StoreError &) {
        return {schema->className()};
    }
}

} // namespace detail

QString Results::className() const {
    return m_query && m_query->schema ? m_query->schema->className() : QString();
}

Results Results::filter(const Predicate &predicate) const {
    if (!m_query)
        return {};
    auto q = std::make_shared<detail::ResultsQuery>();
    q->core = m_query->core;
    q->schema = m_query->schema;
    q->sorts = m_query->sorts;
    q->predicate =
        m_query->predicate ? (Predicate(m_query->predicate) && predicate).m_node : predicate.m_node;
    return Results(q);
}

Results Results::sorted(const QString &keyPath, bool ascending) const {
    if (!m_query)
        return {};
    auto q = std::make_shared<detail::ResultsQuery>();
    q->core = m_query->core;
    q->schema = m_query->schema;
    q->predicate = m_query->predicate;
    q->sorts = m_query->sorts;
    q->sorts.append({keyPath, ascending});
    return Results(q);
}

QList<qint64> Results::rowIds() const {
    return m_query ? m_query->evaluate() : QList<qint64>();
}

int Results::count() const {
    return m_query ? m_query->count() : 0;
}

Object Results::at(int index) const {
    const qint64 id = m_query ? m_query->idAt(index) : 0;
    if (id <= 0)
        return {};
    return m_query->core->makeObject(className(), id);
}

Object Results::last() const {
    return at(count() - 1);
}

int Results::indexOf(const Object &object) const {
    if (!m_query || object.isNull() || !object.isManaged() || object.className() != className() ||
        object.d->core != m_query->core)
        return -1;
    return static_cast<int>(rowIds().indexOf(object.rowId()));
}

QList<Object> Results::toList() const {
    QList<Object> out;
    if (!m_query || !m_query->schema)
        return out;
    // One query reads every row, and one more per link the objects they name,
    // so that reading the objects and their links costs no more queries.
    detail::StoreCore &core = *m_query->core;
    const ObjectSchema &schema = *m_query->schema;
    std::vector<std::pair<int, QSet<qint64>>> targets;
    int width = 0;
    for (const Property &p : schema.properties()) {
        if (p.isLink())
            targets.emplace_back(schema.columnOf(p), QSet<qint64>());
        if (!p.isList())
            ++width;
    }
    auto batch = std::make_shared<detail::RowBatch>(width);
    // The stamp of the query itself, taken before it ran (so that a commit
    // landing meanwhile makes these rows stale rather than current) and set
    // before the first row arrives.
    detail::ReadStamp stamp;
    // Rows are taken while they are warm in the cache: one pass builds the objects.
    const auto sink = [&](qint64 id, const sqlite::Statement &row) {
        batch->addRow(row, 1);
        const int at = batch->rows() - 1;
        for (auto &[column, ids] : targets) {
            if (!batch->isNull(at, column))
                ids.insert(batch->integer(at, column));
        }
        auto data = std::make_shared<detail::ObjectData>();
        data->core = m_query->core;
        data->schema = m_query->schema;
        data->rowId = id;
        data->rowStamp = stamp;
        data->rowLoaded = true;
        data->batch = batch;
        data->batchRow = batch->rows() - 1;
        out.append(Object(data));
    };
    m_query->evaluate(false, sink, &stamp);
    if (targets.empty() || out.isEmpty())
        return out;

    detail::Connection &c = core.connection();
    try {
        for (const auto &[column, ids] : targets) {
            if (ids.isEmpty())
                continue;
            const Property *p = nullptr;
            for (const Property &q : schema.properties()) {
                if (schema.columnOf(q) == column)
                    p = &q;
            }
            const auto targetSchema = core.schemaPtr(p->objectClass);
            QHash<qint64, std::shared_ptr<detail::ObjectData>> objects;
            const QList<qint64> all(ids.cbegin(), ids.cend());
            constexpr qsizetype kChunk = 500;
            for (qsizetype start = 0; start < all.size(); start += kChunk) {
                QStringList list;
                for (qsizetype i = start; i < std::min(all.size(), start + kChunk); ++i)
                    list.append(QString::number(all.at(i)));
                sqlite::Statement st(c.db.handle(),
                                     QStringLiteral("SELECT _id, %1 FROM %2 WHERE _id IN (%3)")
                                         .arg(detail::rowColumns(*targetSchema, QString()),
                                              sqlite::quoted(p->objectClass), list.join(QLatin1Char(',')))
                                         .toUtf8(),
                                     &c.db);
                while (st.step()) {
                    auto data = std::make_shared<detail::ObjectData>();
                    data->core = m_query->core;
                    data->schema = targetSchema;
                    data->rowId = st.columnInt(0);
                    QVariantList columns;
                    columns.reserve(st.columnCount() - 1);
                    for (int i = 1; i < st.columnCount(); ++i)
                        columns.append(st.column(i));
                    data->setRow(stamp, std::move(columns));
                    objects.insert(data->rowId, data);
                }
            }
            batch->linked.emplace_back(column, std::move(objects));
        }
    } catch (const StoreError &) {
        batch->linked.clear(); // links are then read one by one
    }
    return out;
}

} // namespace platform
