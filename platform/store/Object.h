#pragma once

#include "platform/store/Schema.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace platform {

class List;
class NotificationToken;
class ObjectStore;
class Results;
class Transaction;
struct ObjectChange;

namespace detail {
struct StoreCore;
struct ObjectData;
class Writer;
} // namespace detail

// A handle to one object: either stored (managed: a row of the store, read
// afresh on every access, usable from any thread) or standalone (unmanaged:
// values held in memory until Transaction::add()).
//
// Reading a deleted object is safe: isValid() turns false, values read as null.
// Stored objects change only through a Transaction (set(), List::append(), ...).
class Object {
public:
    Object() = default;

    // A standalone object of the class; values as for Transaction::create().
    static Object unmanaged(const ObjectSchema &schema, const QVariantMap &values = {});

    bool isNull() const { return !d; }
    bool isManaged() const;
    bool isValid() const; // not null, and still stored when managed
    const ObjectSchema &schema() const;
    QString className() const;
    qint64 rowId() const; // 0 for unmanaged
    ObjectStore store() const;

    // Scalars as QVariant (qint64, bool, float, double, QString, QByteArray,
    // QDateTime; invalid when null); a link as QVariant<Object>; a list as
    // QVariant<QList<Object>>.
    QVariant value(const QString &property) const;
    Object link(const QString &property) const;
    List list(const QString &property) const;
    QVariant primaryKeyValue() const;
    // Every scalar, link and list property, in the same forms as value().
    QVariantMap values() const;

    template <typename T> T get(const QString &property) const;

    // Stored object: writes inside the transaction. Standalone: sets in memory.
    void set(Transaction &tx, const QString &property, const QVariant &value) const;
    // Standalone objects only (throws StoreError on a stored one).
    void setValue(const QString &property, const QVariant &value) const;

    // Objects of className whose link or list `property` points at this one.
    Results linkingObjects(const QString &className, const QString &property) const;

    // Main thread only. Called after each commit that changes this object
    // (changed property names) or deletes it. With key paths, only changes along
    // them count ("languageFrom.languageModes.translateWebSite" reports
    // "languageFrom" when the link or anything on the path changes).
    [[nodiscard]] NotificationToken observe(std::function<void(const ObjectChange &)> block,
                                            const QStringList &keyPaths = {}) const;

    bool operator==(const Object &other) const;
    bool operator!=(const Object &other) const { return !(*this == other); }

protected:
    explicit Object(std::shared_ptr<detail::ObjectData> data) : d(std::move(data)) {}
    std::shared_ptr<detail::ObjectData> d;

    friend class List;
    friend class Results;
    friend class Transaction;
    friend class ObjectStore;
    friend struct detail::StoreCore;
    friend class detail::Writer;
    friend class Migration;
};

// Ordered list of links held by a property of an object.
class List {
public:
    List() = default;

    int size() const;
    bool isEmpty() const { return size() == 0; }
    Object at(int index) const; // null Object when out of range
    QList<Object> toList() const;
    int indexOf(const Object &object) const; // -1 when absent

    template <typename T> T at(int index) const { return T(at(index)); }

    void append(Transaction &tx, const Object &object) const;
    void insert(Transaction &tx, int index, const Object &object) const;
    void removeAt(Transaction &tx, int index) const;
    void move(Transaction &tx, int from, int to) const;
    void clear(Transaction &tx) const;
    void replace(Transaction &tx, const QList<Object> &objects) const;

private:
    friend class Object;
    List(Object owner, const Property *property) : m_owner(std::move(owner)), m_property(property) {}
    Object m_owner;
    const Property *m_property = nullptr;
};

// Typed reading of values: get<qint64>, get<std::optional<bool>>, get<QString>,
// get<QVLanguageRealm> (a model class derived from Object), ...
// A null number reads as 0 / false unless asked for as std::optional.
template <typename T> struct ValueTraits {
    static T fromVariant(const QVariant &v) {
        if constexpr (std::is_base_of_v<Object, T>)
            return T(v.value<Object>());
        else
            return v.value<T>();
    }
    static QVariant toVariant(const T &v) {
        if constexpr (std::is_base_of_v<Object, T>)
            return QVariant::fromValue(static_cast<const Object &>(v));
        else
            return QVariant::fromValue(v);
    }
};

template <typename T> struct ValueTraits<std::optional<T>> {
    static std::optional<T> fromVariant(const QVariant &v) {
        if (!v.isValid() || v.isNull())
            return std::nullopt;
        return ValueTraits<T>::fromVariant(v);
    }
    static QVariant toVariant(const std::optional<T> &v) {
        return v ? ValueTraits<T>::toVariant(*v) : QVariant();
    }
};

template <typename T> T Object::get(const QString &property) const {
    if constexpr (std::is_base_of_v<Object, T>)
        return T(link(property)); // no QVariant on the way
    else
        return ValueTraits<T>::fromVariant(value(property));
}

} // namespace platform

Q_DECLARE_METATYPE(platform::Object)

// Typed accessors for a model class derived from platform::Object:
//
//   class QVAuthProfile : public platform::Object {
//   public:
//       QV_STORE_MODEL(QVAuthProfile)
//       static platform::ObjectSchema schema();
//       QV_STORE_PROPERTY(std::optional<qint64>, idProfile, setIdProfile)
//       QV_STORE_PROPERTY(QString, userName, setUserName)
//       QV_STORE_PROPERTY(QVLanguageRealm, language, setLanguage)   // a link
//       QV_STORE_LIST(recentlyLanguages)                              // a list
//   };
//
//   profile.setUserName(tx, "ann");  QString name = profile.userName();
#define QV_STORE_MODEL(Class)                                                                                \
    Class() = default;                                                                                       \
    explicit Class(const platform::Object &object) : platform::Object(object) {}                             \
    static QString storeClassName() {                                                                        \
        return QStringLiteral(#Class);                                                                       \
    }

#define QV_STORE_PROPERTY(Type, getter, setter)                                                              \
    Type getter() const {                                                                                    \
        return get<Type>(QStringLiteral(#getter));                                                           \
    }                                                                                                        \
    void setter(platform::Transaction &tx, const Type &value) const {                                        \
        set(tx, QStringLiteral(#getter), platform::ValueTraits<Type>::toVariant(value));                     \
    }

#define QV_STORE_LIST(getter)                                                                                \
    platform::List getter() const {                                                                          \
        return list(QStringLiteral(#getter));                                                                \
    }
