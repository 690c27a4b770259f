#include "platform/store/Object.h"

#include "platform/store/Notifications.h"
#include "platform/store/ObjectStore.h"
#include "platform/store/StoreError.h"
#include "platform/store/Transaction.h"
#include "platform/store/detail/StoreCore.h"
#include "platform/store/detail/Writer.h"

namespace platform {

using detail::Writer;

namespace {

const ObjectSchema &emptySchema() {
    static const ObjectSchema schema;
    return schema;
}

const Property &requireProperty(const ObjectSchema &schema, const QString &name) {
    const Property *p = schema.propertyNamed(name);
    if (!p)
        throw StoreError(QStringLiteral("Class %1 has no property %2").arg(schema.className(), name));
    return *p;
}

} // namespace

Object Object::unmanaged(const ObjectSchema &schema, const QVariantMap &values) {
    auto data = std::make_shared<detail::ObjectData>();
    data->schema = std::make_shared<const ObjectSchema>(schema);
    Object object(data);
    for (const Property &p : schema.properties()) {
        if (p.isList())
            data->values.insert(p.name, QVariant::fromValue(QList<Object>()));
        else if (p.defaultValue.isValid())
            data->values.insert(p.name, p.defaultValue);
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        object.setValue(it.key(), it.value());
    return object;
}

bool Object::isManaged() const {
    return d && d->core;
}

bool Object::isValid() const {
    if (!d)
        return false;
    if (!d->core)
        return true;
    try {
        detail::Connection &c = d->core->connection();
        sqlite::Statement &st = c.cached(d->schema.get(), nullptr, detail::Connection::RowExists, [&] {
            return QStringLiteral("SELECT 1 FROM %1 WHERE _id = ?")
                .arg(sqlite::quoted(d->schema->className()));
        });
        st.bind(1, d->rowId);
        const bool found = st.step();
        st.reset();
        return found;
    } catch (const StoreError &e) {
        detail::report(
            Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
            QStringLiteral("Object store read failed"));
        return false;
    }
}

const ObjectSchema &Object::schema() const {
    return d ? *d->schema : emptySchema();
}

QString Object::className() const {
    return schema().className();
}

qint64 Object::rowId() const {
    return d ? d->rowId : 0;
}

ObjectStore Object::store() const {
    return d && d->core ? ObjectStore(d->core) : ObjectStore();
}

QVariant Object::value(const QString &property) const {
    if (!d)
        return {};
    const Property *p = d->schema->propertyNamed(property);
    if (!p) {
        detail::report(Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed,
                             QStringLiteral("Class %1 has no property %2").arg(className(), property)),
                       QStringLiteral("Object store read failed"));
        return {};
    }
    if (!d->core)
        return d->values.value(property);
    if (p->isList())
        return QVariant::fromValue(list(property).toList());
    if (p->isLink())
        return QVariant::fromValue(link(property));
    try {
        return detail::fromSql(*p, d->readColumn(*p));
    } catch (const StoreError &e) {
        detail::report(
            Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
            QStringLiteral("Object store read failed"));
        return {};
    }
}

Object Object::link(const QString &property) const {
    if (!d)
        return {};
    const Property *p = d->schema->propertyNamed(property);
    if (!p || !p->isLink() || !d->core)
        return p && p->isLink() ? d->values.value(property).value<Object>() : value(property).value<Object>();
    try {
        std::shared_ptr<detail::ObjectData> linked;
        const QVariant raw = d->readColumn(*p, &linked);
        if (!raw.isValid()) // stored values: null is an invalid QVariant
            return {};
        // Read with this row (Results::toList): no query needed.
        if (linked)
            return Object(std::move(linked));
        return d->core->makeObject(p->objectClass, raw.toLongLong());
    } catch (const StoreError &e) {
        detail::report(
            Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
            QStringLiteral("Object store read failed"));
        return {};
    }
}

List Object::list(const QString &property) const {
    if (!d)
        return {};
    const Property *p = d->schema->propertyNamed(property);
    if (!p || !p->isList())
        return {};
    return List(*this, p);
}

QVariant Object::primaryKeyValue() const {
    const QString pk = schema().primaryKeyName();
    return pk.isEmpty() ? QVariant() : value(pk);
}

QVariantMap Object::values() const {
    QVariantMap out;
    if (!d)
        return out;
    if (!d->core)
        return d->values;
    for (const Property &p : d->schema->properties())
        out.insert(p.name, value(p.name));
    return out;
}

void Object::set(Transaction &tx, const QString &property, const QVariant &value) const {
    if (!d)
        throw StoreError(QStringLiteral("Cannot set %1 on a null object").arg(property));
    if (!d->core) {
        setValue(property, value);
        return;
    }
    detail::guarded(*tx.m_connection, [&] {
        Writer writer(*tx.m_connection);
        if (d->core.get() != tx.m_connection->core)
            throw StoreError(QStringLiteral("The object belongs to another store"));
        writer.setProperty(*d->schema, d->rowId, requireProperty(*d->schema, property), value,
                           Writer::Mode::Update);
    });
}

void Object::setValue(const QString &property, const QVariant &value) const {
    if (!d)
        throw StoreError(QStringLiteral("Cannot set %1 on a null object").arg(property));
    if (d->core)
        throw StoreError(
            QStringLiteral("A stored %1 changes only inside a write transaction").arg(className()));
    const Property &p = requireProperty(*d->schema, property);
    if (p.isList()) {
        QList<Object> objects;
        if (value.typeId() == qMetaTypeId<QList<Object>>()) {
            objects = value.value<QList<Object>>();
        } else {
            for (const QVariant &item : value.toList()) {
                if (item.typeId() == qMetaTypeId<Object>())
                    objects.append(item.value<Object>());
                else
                    throw StoreError(QStringLiteral("%1 holds objects only").arg(property));
            }
        }
        d->values.insert(property, QVariant::fromValue(objects));
    } else if (p.isLink()) {
        if (!value.isValid() || value.isNull() || value.typeId() == qMetaTypeId<Object>())
            d->values.insert(property, value.isValid() ? value : QVariant::fromValue(Object()));
        else
            throw StoreError(QStringLiteral("%1 holds an object").arg(property));
    } else {
        d->values.insert(property, detail::coerceOrThrow(*d->schema, p, value));
    }
}

Results Object::linkingObjects(const QString &className, const QString &property) const {
    if (!d || !d->core)
        return {};
    Results all = d->core->makeResults(className);
    const ObjectSchema *owner = d->core->schemaPtr(className).get();
    const Property *p = owner ? owner->propertyNamed(property) : nullptr;
    if (p && p->isList())
        return all.filter(Key(property).has(*this));
    return all.filter(Key(property) == *this);
}

bool Object::operator==(const Object &other) const {
    if (d == other.d)
        return true;
    if (!d || !other.d || !d->core || !other.d->core)
        return false;
    return d->core == other.d->core && d->rowId == other.d->rowId &&
           d->schema->className() == other.d->schema->className();
}

// List

int List::size() const {
    return toList().size();
}

Object List::at(int index) const {
    const QList<Object> all = toList();
    return index >= 0 && index < all.size() ? all.at(index) : Object();
}

QList<Object> List::toList() const {
    if (!m_property || m_owner.isNull())
        return {};
    if (!m_owner.isManaged())
        return m_owner.d->values.value(m_property->name).value<QList<Object>>();
    QList<Object> out;
    try {
        detail::StoreCore &core = *m_owner.d->core;
        detail::Connection &c = core.connection();
        sqlite::Statement &st =
            c.cached(m_owner.d->schema.get(), m_property, detail::Connection::ReadList, [&] {
                return QStringLiteral("SELECT target FROM %1 WHERE owner = ? ORDER BY pos")
                    .arg(detail::StoreCore::listTable(m_owner.className(), m_property->name));
            });
        st.bind(1, m_owner.rowId());
        QList<qint64> ids;
        while (st.step())
            ids.append(st.columnInt(0));
        for (qint64 id : std::as_const(ids))
            out.append(core.makeObject(m_property->objectClass, id));
    } catch (const StoreError &e) {
        detail::report(
            Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message()),
            QStringLiteral("Object store read failed"));
    }
    return out;
}

int List::indexOf(const Object &object) const {
    return toList().indexOf(object);
}

static void editList(const Object &owner, const Property *property, Transaction &tx,
                     const std::function<void(QList<Object> &)> &edit) {
    if (!property)
        throw StoreError(QStringLiteral("Not a list"));
    QList<Object> objects = owner.list(property->name).toList();
    edit(objects);
    owner.set(tx, property->name, QVariant::fromValue(objects));
}

void List::append(Transaction &tx, const Object &object) const {
    editList(m_owner, m_property, tx, [&](QList<Object> &l) { l.append(object); });
}

void List::insert(Transaction &tx, int index, const Object &object) const {
    editList(m_owner, m_property, tx, [&](QList<Object> &l) {
        if (index < 0 || index > l.size())
            throw StoreError(QStringLiteral("List index %1 out of range").arg(index));
        l.insert(index, object);
    });
}

void List::removeAt(Transaction &tx, int index) const {
    editList(m_owner, m_property, tx, [&](QList<Object> &l) {
        if (index < 0 || index >= l.size())
            throw StoreError(QStringLiteral("List index %1 out of range").arg(index));
        l.removeAt(index);
    });
}

void List::move(Transaction &tx, int from, int to) const {
    editList(m_owner, m_property, tx, [&](QList<Object> &l) {
        if (from < 0 || from >= l.size() || to < 0 || to >= l.size())
            throw StoreError(QStringLiteral("List move %1 -> %2 out of range").arg(from).arg(to));
        l.move(from, to);
    });
}

void List::clear(Transaction &tx) const {
    editList(m_owner, m_property, tx, [](QList<Object> &l) { l.clear(); });
}

void List::replace(Transaction &tx, const QList<Object> &objects) const {
    editList(m_owner, m_property, tx, [&](QList<Object> &l) { l = objects; });
}

// Transaction

Object Transaction::create(const QString &className, const QVariantMap &values) {
    return detail::guarded(*m_connection, [&] {
        Writer writer(*m_connection);
        const qint64 id =
            writer.upsert(m_connection->core->schemaFor(className), values, Writer::Mode::Create);
        return m_connection->core->makeObject(className, id);
    });
}

Object Transaction::createOrUpdate(const QString &className, const QVariantMap &values) {
    return detail::guarded(*m_connection, [&] {
        Writer writer(*m_connection);
        const qint64 id =
            writer.upsert(m_connection->core->schemaFor(className), values, Writer::Mode::Update);
        return m_connection->core->makeObject(className, id);
    });
}

Object Transaction::replace(const QString &className, const QVariantMap &values) {
    return detail::guarded(*m_connection, [&] {
        Writer writer(*m_connection);
        const qint64 id =
            writer.upsert(m_connection->core->schemaFor(className), values, Writer::Mode::Replace);
        return m_connection->core->makeObject(className, id);
    });
}

Object Transaction::add(const Object &object) {
    return detail::guarded(*m_connection, [&] { return addObject(object); });
}

Object Transaction::addObject(const Object &object) {
    if (object.isNull())
        throw StoreError(QStringLiteral("Cannot add a null object"));
    Writer writer(*m_connection);
    if (object.isManaged()) {
        if (object.d->core.get() != m_connection->core)
            throw StoreError(QStringLiteral("The object belongs to another store"));
        return object;
    }
    const QString className = object.className();
    const qint64 id =
        writer.upsert(m_connection->core->schemaFor(className), object.d->values, Writer::Mode::Replace);
    // The standalone handle becomes the stored object, as callers expect after
    // adding; a rollback turns it back (ObjectStore::write).
    m_connection->added.push_back({object.d, object.d->schema, object.d->values});
    object.d->core = m_connection->core->shared_from_this();
    object.d->schema = m_connection->core->schemaPtr(className);
    object.d->rowId = id;
    object.d->values.clear();
    return object;
}

void Transaction::remove(const Object &object) {
    if (object.isNull() || !object.isManaged())
        return;
    detail::guarded(*m_connection, [&] {
        Writer writer(*m_connection);
        if (object.d->core.get() != m_connection->core)
            throw StoreError(QStringLiteral("The object belongs to another store"));
        writer.removeRow(*object.d->schema, object.d->rowId);
    });
}

void Transaction::removeAll(const Results &results) {
    const std::shared_ptr<detail::ResultsQuery> &query = results.m_query;
    if (!query || !query->schema)
        return;
    detail::guarded(*m_connection, [&] {
        Writer writer(*m_connection);
        if (query->core.get() != m_connection->core)
            throw StoreError(QStringLiteral("The objects belong to another store"));
        const bool everything = !query->predicate || query->predicate->kind == detail::PredicateNode::All;
        writer.removeRows(*query->schema, everything ? QList<qint64>() : query->evaluateOrThrow(true),
                          everything);
    });
}

void Transaction::removeAll(const QString &className) {
    detail::guarded(*m_connection, [&] {
        Writer writer(*m_connection);
        writer.removeRows(m_connection->core->schemaFor(className), {}, true);
    });
}

ObjectStore Transaction::store() const {
    return ObjectStore(m_connection->core->shared_from_this());
}

} // namespace platform
