#include "platform/store/detail/Writer.h"

#include "platform/store/StoreError.h"

#include <thread>

namespace platform::detail {

QVariant initialSqlValue(const Property &p); // StoreCore.cpp

static bool sameRaw(const QVariant &a, const QVariant &b) {
    const bool an = !a.isValid() || a.isNull();
    const bool bn = !b.isValid() || b.isNull();
    if (an || bn)
        return an == bn;
    return a == b;
}

Writer::Writer(Connection &connection) : c(connection), core(*connection.core) {
    if (c.writeDepth == 0)
        throw StoreError(QStringLiteral("Objects can only be changed inside a write transaction"));
    if (&core.connection() != &c)
        throw StoreError(QStringLiteral("A transaction was used outside the thread that opened it"));
    ++c.localWrites;
}

bool Writer::rowExists(const QString &className, qint64 id) {
    const ObjectSchema &schema = core.schemaFor(className);
    sqlite::Statement &st = c.cached(&schema, nullptr, Connection::RowExists, [&] {
        return QStringLiteral("SELECT 1 FROM %1 WHERE _id = ?").arg(sqlite::quoted(className));
    });
    st.bind(1, id);
    const bool found = st.step();
    st.reset();
    return found;
}

qint64 Writer::findByPrimaryKey(const ObjectSchema &schema, const QVariant &raw) {
    sqlite::Statement &st = c.cached(&schema, nullptr, Connection::FindByKey, [&] {
        return QStringLiteral("SELECT _id FROM %1 WHERE %2 = ?")
            .arg(sqlite::quoted(schema.className()), sqlite::quoted(schema.primaryKeyName()));
    });
    st.bind(1, raw);
    const qint64 id = st.step() ? st.columnInt(0) : 0;
    st.reset();
    return id;
}

qint64 Writer::upsert(const ObjectSchema &schema, const QVariantMap &values, Mode mode) {
    Given given(static_cast<size_t>(schema.properties().size()), nullptr);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const qsizetype index = schema.indexOf(it.key());
        if (index < 0)
            throw StoreError(QStringLiteral("Class %1 has no property %2").arg(schema.className(), it.key()));
        given[static_cast<size_t>(index)] = &it.value();
    }
    const Property *pk = schema.primaryKeyProperty();
    qint64 existing = 0;
    if (pk) {
        const QVariant key = coerceOrThrow(schema, *pk, values.value(pk->name));
        if (!key.isValid() || key.isNull())
            throw StoreError(
                QStringLiteral("%1 needs a value for its primary key %2").arg(schema.className(), pk->name));
        // A new object needs no look-up: the unique index refuses a duplicate key.
        if (mode != Mode::Create)
            existing = findByPrimaryKey(schema, toSql(*pk, key));
        if (!existing) {
            try {
                return insert(schema, given, mode);
            } catch (const StoreError &e) {
                if (e.sqliteCode() == 19 /* SQLITE_CONSTRAINT */)
                    throw StoreError(QStringLiteral("An object of %1 with %2 = %3 already exists")
                                         .arg(schema.className(), pk->name, key.toString()));
                throw;
            }
        }
    }
    if (!existing)
        return insert(schema, given, mode);

    const Mode nested = mode == Mode::Replace ? Mode::Replace : Mode::Update;
    for (qsizetype i = 0; i < schema.properties().size(); ++i) {
        const Property &p = schema.properties().at(i);
        if (p.primary)
            continue;
        if (const QVariant *value = given[static_cast<size_t>(i)]) {
            setProperty(schema, existing, p, *value, nested);
        } else if (mode == Mode::Replace) {
            setProperty(schema, existing, p,
                        p.isList() ? QVariant(QVariantList()) : fromSql(p, initialSqlValue(p)), nested);
        }
    }
    return existing;
}

qint64 Writer::insert(const ObjectSchema &schema, const Given &given, Mode mode) {
    const Mode nested = mode == Mode::Replace ? Mode::Replace : Mode::Update;
    QVariantList row;
    row.reserve(schema.properties().size());
    for (qsizetype i = 0; i < schema.properties().size(); ++i) {
        const Property &p = schema.properties().at(i);
        if (p.isList())
            continue;
        const QVariant *value = given[static_cast<size_t>(i)];
        if (!value) {
            row.append(initialSqlValue(p));
        } else if (p.isLink()) {
            const qint64 target = resolveLink(p, *value, nested);
            row.append(target ? QVariant::fromValue(target) : QVariant());
        } else {
            row.append(toSql(p, coerceOrThrow(schema, p, *value)));
        }
    }
    sqlite::Statement &st = c.cached(&schema, nullptr, Connection::Insert, [&] {
        QStringList columns;
        QStringList marks;
        for (const Property &p : schema.properties()) {
            if (p.isList())
                continue;
            columns.append(sqlite::quoted(p.name));
            marks.append(QStringLiteral("?"));
        }
        if (columns.isEmpty())
            return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(sqlite::quoted(schema.className()));
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(sqlite::quoted(schema.className()), columns.join(QLatin1Char(',')),
                 marks.join(QLatin1Char(',')));
    });
    for (int i = 0; i < row.size(); ++i)
        st.bind(i + 1, row.at(i));
    st.run();
    const qint64 id = c.db.lastInsertRowId();
    for (qsizetype i = 0; i < schema.properties().size(); ++i) {
        const Property &p = schema.properties().at(i);
        const QVariant *value = given[static_cast<size_t>(i)];
        if (!p.isList() || !value)
            continue;
        const QList<qint64> targets = resolveList(p, *value, nested);
        sqlite::Statement &ins =
            c.db.prepare(QStringLiteral("INSERT INTO %1 (owner, pos, target) VALUES (?, ?, ?)")
                             .arg(StoreCore::listTable(schema.className(), p.name)));
        for (int pos = 0; pos < targets.size(); ++pos) {
            ins.reset();
            ins.bind(1, id).bind(2, pos).bind(3, targets.at(pos));
            ins.run();
        }
    }
    c.changes.recordInsert(schema.className(), id);
    return id;
}

qint64 Writer::resolveLink(const Property &property, const QVariant &value, Mode mode) {
    if (!value.isValid() || value.isNull())
        return 0;
    const ObjectSchema &target = core.schemaFor(property.objectClass);
    if (value.typeId() == qMetaTypeId<Object>()) {
        const Object object = value.value<Object>();
        if (object.isNull())
            return 0;
        if (object.className() != property.objectClass) {
            throw StoreError(QStringLiteral("%1 cannot hold an object of %2 (expects %3)")
                                 .arg(property.name, object.className(), property.objectClass));
        }
        if (object.isManaged()) {
            if (object.d->core.get() != &core)
                throw StoreError(QStringLiteral("An object of another store cannot be linked"));
            // Checked once per transaction until something is deleted.
            const auto key = qMakePair(static_cast<const void *>(&target), object.rowId());
            if (!c.linkableRows.contains(key)) {
                if (!rowExists(property.objectClass, object.rowId()))
                    throw StoreError(
                        QStringLiteral("A deleted %1 cannot be linked").arg(property.objectClass));
                c.linkableRows.insert(key);
            }
            return object.rowId();
        }
        return upsert(target, object.values(), Mode::Replace);
    }
    if (value.typeId() == QMetaType::QVariantMap)
        return upsert(target, value.toMap(), mode == Mode::Create ? Mode::Update : mode);
    throw StoreError(QStringLiteral("%1 takes an object or a dictionary, not %2")
                         .arg(property.name, QString::fromLatin1(value.typeName())));
}

QList<qint64> Writer::resolveList(const Property &property, const QVariant &value, Mode mode) {
    QVariantList items;
    if (!value.isValid() || value.isNull()) {
        // An unset list is an empty one.
    } else if (value.typeId() == qMetaTypeId<QList<Object>>()) {
        for (const Object &o : value.value<QList<Object>>())
            items.append(QVariant::fromValue(o));
    } else if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
        items = value.toList();
    } else {
        throw StoreError(QStringLiteral("%1 takes a list, not %2")
                             .arg(property.name, QString::fromLatin1(value.typeName())));
    }
    QList<qint64> ids;
    ids.reserve(items.size());
    for (const QVariant &item : std::as_const(items)) {
        const qint64 id = resolveLink(property, item, mode);
        if (!id)
            throw StoreError(QStringLiteral("%1 cannot hold null").arg(property.name));
        ids.append(id);
    }
    return ids;
}

QList<qint64> Writer::readList(const ObjectSchema &schema, qint64 id, const Property &property) {
    sqlite::Statement &st = c.cached(&schema, &property, Connection::ReadList, [&] {
        return QStringLiteral("SELECT target FROM %1 WHERE owner = ? ORDER BY pos")
            .arg(StoreCore::listTable(schema.className(), property.name));
    });
    st.bind(1, id);
    QList<qint64> ids;
    while (st.step())
        ids.append(st.columnInt(0));
    return ids;
}

void Writer::setList(const ObjectSchema &schema, qint64 id, const Property &property,
                     const QList<qint64> &targets) {
    const QList<qint64> old = readList(schema, id, property);
    if (old == targets)
        return;
    const QString table = StoreCore::listTable(schema.className(), property.name);
    sqlite::Statement &del = c.db.prepare(QStringLiteral("DELETE FROM %1 WHERE owner = ?").arg(table));
    del.bind(1, id);
    del.run();
    sqlite::Statement &ins =
        c.db.prepare(QStringLiteral("INSERT INTO %1 (owner, pos, target) VALUES (?, ?, ?)").arg(table));
    for (int i = 0; i < targets.size(); ++i) {
        ins.reset();
        ins.bind(1, id).bind(2, i).bind(3, targets.at(i));
        ins.run();
    }
    c.changes.recordModify(schema.className(), id, property.name);
    const ObjectSchema &target = core.schemaFor(property.objectClass);
    if (target.primaryKeyName().isEmpty()) {
        for (qint64 gone : old) {
            if (!targets.contains(gone))
                deleteIfOrphan(property.objectClass, gone);
        }
    }
}

void Writer::setProperty(const ObjectSchema &schema, qint64 id, const Property &property,
                         const QVariant &value, Mode mode) {
    if (property.isList()) {
        setList(schema, id, property, resolveList(property, value, mode));
        return;
    }
    QVariant raw;
    if (property.isLink()) {
        const qint64 target = resolveLink(property, value, mode);
        if (target)
            raw = QVariant::fromValue(target);
    } else {
        raw = toSql(property, coerceOrThrow(schema, property, value));
        if (property.primary && raw.isValid()) {
            const qint64 other = findByPrimaryKey(schema, raw);
            if (other && other != id) {
                throw StoreError(QStringLiteral("An object of %1 with %2 = %3 already exists")
                                     .arg(schema.className(), property.name, raw.toString()));
            }
        }
    }
    const auto table = [&] { return sqlite::quoted(schema.className()); };
    const auto column = [&] { return sqlite::quoted(property.name); };
    sqlite::Statement &read = c.cached(&schema, &property, Connection::SelectColumn, [&] {
        return QStringLiteral("SELECT %1 FROM %2 WHERE _id = ?").arg(column(), table());
    });
    read.bind(1, id);
    if (!read.step())
        throw StoreError(QStringLiteral("The %1 object was deleted").arg(schema.className()));
    const QVariant old = read.column(0);
    read.reset();
    if (sameRaw(old, raw))
        return;
    sqlite::Statement &update = c.cached(&schema, &property, Connection::UpdateColumn, [&] {
        return QStringLiteral("UPDATE %1 SET %2 = ? WHERE _id = ?").arg(table(), column());
    });
    update.bind(1, raw).bind(2, id);
    update.run();
    c.changes.recordModify(schema.className(), id, property.name);
    if (property.isLink() && old.isValid() && !old.isNull() &&
        core.schemaFor(property.objectClass).primaryKeyName().isEmpty())
        deleteIfOrphan(property.objectClass, old.toLongLong());
}

bool Writer::isReferenced(const QString &className, qint64 id) {
    for (const StoreCore::Backlink &link : core.backlinks.value(className)) {
        const QString sql =
            link.property->isList()
                ? QStringLiteral("SELECT 1 FROM %1 WHERE target = ? LIMIT 1")
                      .arg(StoreCore::listTable(link.owner->className(), link.property->name))
                : QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ? LIMIT 1")
                      .arg(sqlite::quoted(link.owner->className()), sqlite::quoted(link.property->name));
        sqlite::Statement &st = c.db.prepare(sql);
        st.bind(1, id);
        const bool found = st.step();
        st.reset();
        if (found)
            return true;
    }
    return false;
}

void Writer::deleteIfOrphan(const QString &className, qint64 id) {
    if (!isReferenced(className, id) && rowExists(className, id))
        removeRow(core.schemaFor(className), id);
}

void Writer::removeRow(const ObjectSchema &schema, qint64 id) {
    if (!rowExists(schema.className(), id))
        return;
    // Objects without a primary key belong to whoever links them: note the
    // ones this row links so they go with it unless something else links them.
    QList<QPair<QString, qint64>> ownedLinks;
    for (const Property &p : schema.properties()) {
        if (!p.isLink() || !core.schemaFor(p.objectClass).primaryKeyName().isEmpty())
            continue;
        sqlite::Statement &read =
            c.db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE _id = ?")
                             .arg(sqlite::quoted(p.name), sqlite::quoted(schema.className())));
        read.bind(1, id);
        if (read.step() && !read.column(0).isNull())
            ownedLinks.append({p.objectClass, read.column(0).toLongLong()});
        read.reset();
    }
    sqlite::Statement &del =
        c.db.prepare(QStringLiteral("DELETE FROM %1 WHERE _id = ?").arg(sqlite::quoted(schema.className())));
    del.bind(1, id);
    del.run();
    QList<qint64> ownedElements;
    for (const Property &p : schema.properties()) {
        if (!p.isList())
            continue;
        const QList<qint64> elements = readList(schema, id, p);
        sqlite::Statement &drop = c.db.prepare(QStringLiteral("DELETE FROM %1 WHERE owner = ?")
                                                   .arg(StoreCore::listTable(schema.className(), p.name)));
        drop.bind(1, id);
        drop.run();
        if (core.schemaFor(p.objectClass).primaryKeyName().isEmpty()) {
            for (qint64 e : elements)
                deleteIfOrphan(p.objectClass, e);
        }
    }
    c.changes.recordDelete(schema.className(), id);
    c.linkableRows.clear();

    for (const StoreCore::Backlink &link : core.backlinks.value(schema.className())) {
        const QString ownerClass = link.owner->className();
        QList<qint64> owners;
        if (link.property->isList()) {
            const QString table = StoreCore::listTable(ownerClass, link.property->name);
            sqlite::Statement &find =
                c.db.prepare(QStringLiteral("SELECT DISTINCT owner FROM %1 WHERE target = ?").arg(table));
            find.bind(1, id);
            while (find.step())
                owners.append(find.columnInt(0));
            for (qint64 owner : std::as_const(owners)) {
                QList<qint64> ids = readList(*link.owner, owner, *link.property);
                ids.removeAll(id);
                setList(*link.owner, owner, *link.property, ids);
            }
        } else {
            const QString table = sqlite::quoted(ownerClass);
            const QString column = sqlite::quoted(link.property->name);
            sqlite::Statement &find =
                c.db.prepare(QStringLiteral("SELECT _id FROM %1 WHERE %2 = ?").arg(table, column));
            find.bind(1, id);
            while (find.step())
                owners.append(find.columnInt(0));
            sqlite::Statement &unset =
                c.db.prepare(QStringLiteral("UPDATE %1 SET %2 = NULL WHERE %2 = ?").arg(table, column));
            unset.bind(1, id);
            unset.run();
            for (qint64 owner : std::as_const(owners))
                c.changes.recordModify(ownerClass, owner, link.property->name);
        }
    }
    for (const auto &owned : std::as_const(ownedLinks))
        deleteIfOrphan(owned.first, owned.second);
}

} // namespace platform::detail
