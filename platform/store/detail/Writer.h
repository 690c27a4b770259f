#pragma once

#include "platform/store/StoreError.h"
#include "platform/store/detail/StoreCore.h"

#include <vector>

namespace platform::detail {

// The write operations behind Transaction, Object::set and List.
class Writer {
public:
    enum class Mode { Create, Update, Replace };

    explicit Writer(Connection &connection); // throws unless a write transaction is open here

    qint64 upsert(const ObjectSchema &schema, const QVariantMap &values, Mode mode);
    void setProperty(const ObjectSchema &schema, qint64 id, const Property &property, const QVariant &value,
                     Mode mode);
    void setList(const ObjectSchema &schema, qint64 id, const Property &property,
                 const QList<qint64> &targets);
    QList<qint64> readList(const ObjectSchema &schema, qint64 id, const Property &property);
    qint64 resolveLink(const Property &property, const QVariant &value, Mode mode);
    void removeRow(const ObjectSchema &schema, qint64 id);
    // Removes many rows with a few statements; `everything` removes every
    // object of the class (ids are then not needed).
    void removeRows(const ObjectSchema &schema, const QList<qint64> &ids, bool everything);

private:
    // Tells the folded-text index what a row holds (or, removing, held).
    void indexSearch(const ObjectSchema &schema, qint64 id, const QVariantList &folded, bool remove);
    QVariantList foldedOf(const ObjectSchema &schema, qint64 id);
    QList<qint64> resolveList(const Property &property, const QVariant &value, Mode mode);
    qint64 findByPrimaryKey(const ObjectSchema &schema, const QVariant &raw);
    using Given = std::vector<const QVariant *>; // by property position; null when not given
    qint64 insert(const ObjectSchema &schema, const Given &given, Mode mode);
    void deleteIfOrphan(const QString &className, qint64 id);
    bool isReferenced(const QString &className, qint64 id);
    bool rowExists(const QString &className, qint64 id);

    Connection &c;
    StoreCore &core;
};

// Runs a write operation; a failure dooms the whole transaction even when the
// caller catches the exception, so that no half-made change is ever committed.
template <typename F> auto guarded(Connection &connection, F &&operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const StoreError &e) {
        if (!connection.failure)
            connection.failure =
                Error(QString::fromLatin1(ObjectStore::kErrorDomain), ObjectStore::WriteFailed, e.message());
        throw;
    }
}

} // namespace platform::detail
