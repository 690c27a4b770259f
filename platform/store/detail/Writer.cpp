#include "platform/store/detail/Writer.h"

#include "platform/store/StoreError.h"

#include <algorithm>
#include <thread>

namespace platform::detail {

QVariant initialSqlValue(const Property &p); // SchemaAlignment.cpp

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
    QVariantList folded;
    for (const Property &p : schema.properties()) {
        if (p.searchable)
            folded.append(searchText(row.at(schema.columnOf(p))));
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
        for (const Property &p : schema.properties()) {
            if (p.searchable) {
                columns.append(sqlite::quoted(StoreCore::foldedColumn(p.name)));
                marks.append(QStringLiteral("?"));
            }
        }
        if (columns.isEmpty())
            return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(sqlite::quoted(schema.className()));
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(sqlite::quoted(schema.className()), columns.join(QLatin1Char(',')),
                 marks.join(QLatin1Char(',')));
    });
    int at = 1;
    for (const QVariant &value : std::as_const(row))
        st.bind(at++, value);
    for (const QVariant &value : std::as_const(folded))
        st.bind(at++, value);
    st.run();
    const qint64 id = c.db.lastInsertRowId();
    qint64 &highest = c.highestInserted[schema.className()];
    highest = std::max(highest, id);
    if (!folded.isEmpty())
        indexSearch(schema, id, folded, false);
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

void Writer::indexSearch(const ObjectSchema &schema, qint64 id, const QVariantList &folded, bool remove) {
    // External content: the index is told both what a row held (to forget it) and what it holds.
    sqlite::Statement &st =
        c.cached(&schema, nullptr, remove ? Connection::SearchDelete : Connection::SearchInsert, [&] {
            const QString table = StoreCore::searchTable(schema.className());
            QStringList columns;
            QStringList marks;
            for (const Property &p : schema.properties()) {
                if (p.searchable) {
                    columns.append(sqlite::quoted(StoreCore::foldedColumn(p.name)));
                    marks.append(QStringLiteral("?"));
                }
            }
            return remove ? QStringLiteral("INSERT INTO %1 (%1, rowid, %2) VALUES ('delete', ?, %3)")
                                .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                          : QStringLiteral("INSERT INTO %1 (rowid, %2) VALUES (?, %3)")
                                .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        });
    st.bind(1, id);
    for (int i = 0; i < folded.size(); ++i)
        st.bind(i + 2, folded.at(i));
    st.run();
}

QVariantList Writer::foldedOf(const ObjectSchema &schema, qint64 id) {
    sqlite::Statement &st = c.cached(&schema, nullptr, Connection::SearchRead, [&] {
        QStringList columns;
        for (const Property &p : schema.properties()) {
            if (p.searchable)
                columns.append(sqlite::quoted(StoreCore::foldedColumn(p.name)));
        }
        return QStringLiteral("SELECT %1 FROM %2 WHERE _id = ?")
            .arg(columns.join(QLatin1Char(',')), sqlite::quoted(schema.className()));
    });
    st.bind(1, id);
    QVariantList folded;
    if (st.step()) {
        for (int i = 0; i < st.columnCount(); ++i)
            folded.append(st.column(i));
    }
    st.reset();
    return folded;
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
    QVariantList folded;
    if (property.searchable) {
        folded = foldedOf(schema, id);
        indexSearch(schema, id, folded, true);
    }
    sqlite::Statement &update = c.cached(&schema, &property, Connection::UpdateColumn, [&] {
        if (property.searchable)
            return QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ? WHERE _id = ?")
                .arg(table(), column(), sqlite::quoted(StoreCore::foldedColumn(property.name)));
        return QStringLiteral("UPDATE %1 SET %2 = ? WHERE _id = ?").arg(table(), column());
    });
    if (property.searchable) {
        int position = 0;
        for (const Property &p : schema.properties()) {
            if (&p == &property || p.name == property.name)
                break;
            position += p.searchable ? 1 : 0;
        }
        folded[position] = searchText(raw);
        update.bind(1, raw).bind(2, folded.at(position)).bind(3, id);
        update.run();
        indexSearch(schema, id, folded, false);
    } else {
        update.bind(1, raw).bind(2, id);
        update.run();
    }
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
    if (schema.hasSearchable())
        indexSearch(schema, id, foldedOf(schema, id), true);
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

void Writer::removeRows(const ObjectSchema &schema, const QList<qint64> &ids, bool everything) {
    constexpr qsizetype kOneByOne = 16;
    if (!everything && ids.size() <= kOneByOne) {
        for (qint64 id : ids)
            removeRow(schema, id);
        return;
    }
    const QString cls = schema.className();
    const QString table = sqlite::quoted(cls);
    QString doomed = QStringLiteral("SELECT _id FROM %1").arg(table);
    if (!everything) {
        c.db.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS qv_doomed (id INTEGER PRIMARY KEY)"));
        c.db.exec(QStringLiteral("DELETE FROM temp.qv_doomed"));
        sqlite::Statement &add =
            c.db.prepare(QStringLiteral("INSERT OR IGNORE INTO temp.qv_doomed VALUES (?)"));
        for (qint64 id : ids) {
            add.reset();
            add.bind(1, id);
            add.run();
        }
        doomed = QStringLiteral("SELECT id FROM temp.qv_doomed");
    }
    const auto collect = [&](const QString &sql, QList<qint64> &into) {
        sqlite::Statement st(c.db.handle(), sql.toUtf8(), &c.db);
        while (st.step())
            into.append(st.columnInt(0));
    };

    // Keyless objects these rows own go with them unless something else links them.
    QList<QPair<QString, qint64>> owned;
    for (const Property &p : schema.properties()) {
        if (p.isScalar() || !core.schemaFor(p.objectClass).primaryKeyName().isEmpty())
            continue;
        QList<qint64> targets;
        if (p.isLink())
            collect(QStringLiteral("SELECT DISTINCT %1 FROM %2 WHERE %1 IS NOT NULL%3")
                        .arg(sqlite::quoted(p.name), table,
                             everything ? QString() : QStringLiteral(" AND _id IN (%1)").arg(doomed)),
                    targets);
        else
            collect(QStringLiteral("SELECT DISTINCT target FROM %1 WHERE owner IN (%2)")
                        .arg(StoreCore::listTable(cls, p.name), doomed),
                    targets);
        for (qint64 t : std::as_const(targets))
            owned.append({p.objectClass, t});
    }
    for (const Property &p : schema.properties()) {
        if (p.isList())
            c.db.exec(QStringLiteral("DELETE FROM %1%2")
                          .arg(StoreCore::listTable(cls, p.name),
                               everything ? QString() : QStringLiteral(" WHERE owner IN (%1)").arg(doomed)));
    }

    // Links to these rows become null and list entries naming them go.
    for (const StoreCore::Backlink &link : core.backlinks.value(cls)) {
        const QString ownerClass = link.owner->className();
        if (everything && ownerClass == cls)
            continue; // its rows go too
        QList<qint64> owners;
        if (link.property->isList()) {
            const QString list = StoreCore::listTable(ownerClass, link.property->name);
            const QString which =
                everything ? QStringLiteral("1") : QStringLiteral("target IN (%1)").arg(doomed);
            collect(QStringLiteral("SELECT DISTINCT owner FROM %1 WHERE %2").arg(list, which), owners);
            c.db.exec(QStringLiteral("DELETE FROM %1 WHERE %2").arg(list, which));
        } else {
            const QString ownerTable = sqlite::quoted(ownerClass);
            const QString column = sqlite::quoted(link.property->name);
            const QString which = everything ? QStringLiteral("%1 IS NOT NULL").arg(column)
                                             : QStringLiteral("%1 IN (%2)").arg(column, doomed);
            collect(QStringLiteral("SELECT _id FROM %1 WHERE %2").arg(ownerTable, which), owners);
            c.db.exec(QStringLiteral("UPDATE %1 SET %2 = NULL WHERE %3").arg(ownerTable, column, which));
        }
        for (qint64 owner : std::as_const(owners))
            c.changes.recordModify(ownerClass, owner, link.property->name);
    }

    if (schema.hasSearchable()) {
        const QString search = StoreCore::searchTable(cls);
        if (everything) {
            c.db.exec(QStringLiteral("INSERT INTO %1 (%1) VALUES ('delete-all')").arg(search));
        } else {
            QStringList columns;
            for (const Property &p : schema.properties()) {
                if (p.searchable)
                    columns.append(sqlite::quoted(StoreCore::foldedColumn(p.name)));
            }
            c.db.exec(QStringLiteral(
                          "INSERT INTO %1 (%1, rowid, %2) SELECT 'delete', _id, %2 FROM %3 WHERE _id IN (%4)")
                          .arg(search, columns.join(QLatin1Char(',')), table, doomed));
        }
    }
    if (everything) {
        c.db.exec(QStringLiteral("DELETE FROM %1").arg(table));
        c.changes.recordClear(cls);
    } else {
        c.db.exec(QStringLiteral("DELETE FROM %1 WHERE _id IN (%2)").arg(table, doomed));
        for (qint64 id : ids)
            c.changes.recordDelete(cls, id);
        c.db.exec(QStringLiteral("DELETE FROM temp.qv_doomed"));
    }
    c.linkableRows.clear();
    for (const auto &o : std::as_const(owned))
        deleteIfOrphan(o.first, o.second);
}

} // namespace platform::detail
