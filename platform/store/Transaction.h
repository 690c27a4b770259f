#pragma once

#include "platform/store/Object.h"
#include "platform/store/Query.h"

namespace platform {

namespace detail {
struct Connection;
struct StoreCore;
} // namespace detail

// The one way to change stored objects; handed to the block of
// ObjectStore::write(). Every operation throws StoreError on misuse; write()
// catches it and rolls the whole transaction back.
//
// Values are property name -> value. A link takes an Object (stored, or
// standalone to be added), a QVariantMap (a nested object created or updated
// by its primary key; without a key a new one is made) or null. A list takes a
// QVariantList / QList<Object> of the same and replaces the list.
//
// An object without a primary key belongs to whoever links it: when a link or
// list replaces it and nothing else links it any more, it is deleted.
class Transaction {
public:
    // A new object; fails when the primary key is already stored. Properties not
    // given take their default (or null / 0 / empty).
    Object create(const QString &className, const QVariantMap &values = {});
    // Create, or update only the given properties of the object with the same
    // primary key.
    Object createOrUpdate(const QString &className, const QVariantMap &values);
    // Create, or overwrite every property of the object with the same primary
    // key: properties not given are reset to their default or null.
    Object replace(const QString &className, const QVariantMap &values);
    // Stores a standalone object (replace semantics); returns the stored handle,
    // and the object itself becomes that handle. If the transaction rolls back,
    // the object is the standalone one it was, values and all, ready for a retry.
    Object add(const Object &object);

    void remove(const Object &object); // unsets links to it, drops it from lists
    // The same for many objects, with a few statements rather than a few per object.
    void removeAll(const Results &results);
    void removeAll(const QString &className);

    ObjectStore store() const;

    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    friend class ObjectStore;
    friend class Object;
    friend class List;
    friend class Migration;
    friend struct detail::StoreCore;
    Object addObject(const Object &object);
    explicit Transaction(detail::Connection *connection) : m_connection(connection) {}
    detail::Connection *m_connection;
};

} // namespace platform
