#include "platform/store/Query.h"

#include "platform/store/Notifications.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/StoreCore.h"

namespace platform {

using detail::PredicateNode;

Predicate::Predicate() : m_node(std::make_shared<PredicateNode>()) {}

static std::shared_ptr<PredicateNode> combine(PredicateNode::Kind kind, std::shared_ptr<PredicateNode> a,
                                              std::shared_ptr<PredicateNode> b) {
    auto node = std::make_shared<PredicateNode>();
    node->kind = kind;
    node->left = std::move(a);
    node->right = std::move(b);
    return node;
}

Predicate Predicate::operator&&(const Predicate &other) const {
    if (m_node->kind == PredicateNode::All)
        return other;
    if (other.m_node->kind == PredicateNode::All)
        return *this;
    return Predicate(combine(PredicateNode::And, m_node, other.m_node));
}

Predicate Predicate::operator||(const Predicate &other) const {
    return Predicate(combine(PredicateNode::Or, m_node, other.m_node));
}

Predicate Predicate::operator!() const {
    return Predicate(combine(PredicateNode::Not, m_node, nullptr));
}

Predicate Key::compare(const char *op, const QVariant &value) const {
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::Compare;
    node->path = m_path;
    node->op = QString::fromLatin1(op);
    node->value = value;
    return Predicate(node);
}

Predicate Key::operator==(const QVariant &value) const {
    return compare("=", value);
}
Predicate Key::operator!=(const QVariant &value) const {
    return compare("!=", value);
}
Predicate Key::operator<(const QVariant &value) const {
    return compare("<", value);
}
Predicate Key::operator<=(const QVariant &value) const {
    return compare("<=", value);
}
Predicate Key::operator>(const QVariant &value) const {
    return compare(">", value);
}
Predicate Key::operator>=(const QVariant &value) const {
    return compare(">=", value);
}

Predicate Key::in(const QVariantList &values) const {
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::In;
    node->path = m_path;
    node->values = values;
    return Predicate(node);
}

Predicate Key::contains(const QString &text, int options) const {
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::Contains;
    node->path = m_path;
    node->value = text;
    node->options = options;
    return Predicate(node);
}

Predicate Key::beginsWith(const QString &text, int options) const {
    Predicate p = contains(text, options);
    p.m_node->kind = PredicateNode::BeginsWith;
    return p;
}

Predicate Key::has(const Object &object) const {
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::Has;
    node->path = m_path;
    node->value = QVariant::fromValue(object);
    return Predicate(node);
}

namespace detail {

namespace {

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
            return QStringLiteral("coalesce(%1 IN (%2), 0)").arg(col, marks.join(QLatin1Char(',')));
        }
        case PredicateNode::Contains:
        case PredicateNode::BeginsWith: {
            const Property *p = nullptr;
            QString col = column(node.path, &p);
            if (p->type != PropertyType::String)
                throw StoreError(QStringLiteral("%1 is not text").arg(node.path));
            const int flags = (node.options & CaseInsensitive ? sqlite::FoldCase : 0) |
                              (node.options & DiacriticInsensitive ? sqlite::FoldDiacritics : 0);
            QString needle = QStringLiteral("?");
            if (flags) {
                col = QStringLiteral("qv_fold(%1, %2)").arg(col).arg(flags);
                needle = QStringLiteral("qv_fold(?, %1)").arg(flags);
            }
            binds.append(node.value.toString());
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
        for (const SortKey &s : sorts) {
            const Property *p = nullptr;
            terms.append(column(s.path, &p) +
                         (s.ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC")));
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
    const QSet<QString> &dependencies() const { return m_dependencies; }

private:
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
        return QStringLiteral("coalesce(%1 %2 ?, 0)").arg(col, node.op);
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
            prefix += (prefix.isEmpty() ? QString() : QStringLiteral(".")) + component;
            const ObjectSchema &target = m_core.schemaFor(p->objectClass);
            m_dependencies.insert(target.className());
            QString next = m_aliases.value(prefix);
            if (next.isEmpty()) {
                next = QStringLiteral("t%1").arg(m_aliases.size() + 1);
                m_aliases.insert(prefix, next);
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

    QString column(const QString &path, const Property **propertyOut) {
        const int dot = path.lastIndexOf(QLatin1Char('.'));
        const ObjectSchema *schema = &m_root;
        QString alias = QStringLiteral("t0");
        if (dot > 0)
            alias = join(path.left(dot), &schema);
        const Property *p = schema->propertyNamed(path.mid(dot + 1));
        if (!p)
            throw StoreError(
                QStringLiteral("Class %1 has no property %2").arg(schema->className(), path.mid(dot + 1)));
        *propertyOut = p;
        return QStringLiteral("%1.%2").arg(alias, sqlite::quoted(p->name));
    }

    StoreCore &m_core;
    const ObjectSchema &m_root;
    QHash<QString, QString> m_aliases;
    QStringList m_joins;
    QSet<QString> m_dependencies;
};

} // namespace

QList<qint64> ResultsQuery::evaluate(bool force, QList<QVariantList> *rows) const {
    if (!core || !schema)
        return {};
    Connection &c = core->connection();
    std::lock_guard<std::mutex> lock(cacheMutex);
    const quint64 commits = core->commits.load();
    if (!force && !rows && cached && cacheConnection == &c && cacheCommits == commits &&
        cacheLocalWrites == c.localWrites)
        return cachedIds;
    QList<qint64> ids;
    try {
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
        while (st.step()) {
            ids.append(st.columnInt(0));
            if (rows) {
                QVariantList row;
                const int n = st.columnCount();
                row.reserve(n - 1);
                for (int i = 1; i < n; ++i)
                    row.append(st.column(i));
                rows->append(std::move(row));
            }
        }
    } catch (const StoreError &e) {
        report(Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
               QStringLiteral("Object store query failed"));
        ids.clear();
    }
    cached = true;
    cacheConnection = &c;
    cacheCommits = commits;
    cacheLocalWrites = c.localWrites;
    cachedIds = ids;
    return ids;
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
    return static_cast<int>(rowIds().size());
}

Object Results::at(int index) const {
    const QList<qint64> ids = rowIds();
    if (index < 0 || index >= ids.size())
        return {};
    return m_query->core->makeObject(className(), ids.at(index));
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
    if (!m_query)
        return out;
    // One query reads every row, so that reading the objects costs no more queries.
    // The commit count is taken before reading: a commit landing in between
    // must make these rows stale, not pass them off as current.
    detail::Connection &c = m_query->core->connection();
    const quint64 commits = m_query->core->commits.load();
    QList<QVariantList> rows;
    const QList<qint64> ids = m_query->evaluate(false, &rows);
    out.reserve(ids.size());
    const QString cls = className();
    for (qsizetype i = 0; i < ids.size(); ++i) {
        Object object = m_query->core->makeObject(cls, ids.at(i));
        if (i < rows.size())
            object.d->setRow(c, commits, std::move(rows[i]));
        out.append(object);
    }
    return out;
}

} // namespace platform
