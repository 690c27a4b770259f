#pragma once

#include "platform/store/Object.h"

#include <QVariant>

#include <functional>
#include <memory>

namespace platform {

class CollectionChange;
class NotificationToken;

namespace detail {
struct PredicateNode;
struct ResultsQuery;
} // namespace detail

// A condition on objects of one class, built from Key:
//
//   using platform::Key;
//   store.objects("QVTranslationRealm")
//        .filter(Key("isFavorite") == true
//                && (Key("languageFrom.localeIdentifier").in({"en_GB", "de_DE"})
//                    || Key("originalText").contains("cafe")))
//        .sorted("createdDate", false);
//
// Key paths may pass through to-one links. Comparing with a null QVariant
// matches unset values; != also matches them.
class Predicate {
public:
    Predicate(); // matches everything
    Predicate operator&&(const Predicate &other) const;
    Predicate operator||(const Predicate &other) const;
    Predicate operator!() const;

private:
    explicit Predicate(std::shared_ptr<detail::PredicateNode> node) : m_node(std::move(node)) {}
    std::shared_ptr<detail::PredicateNode> m_node;
    friend class Key;
    friend class Results;
    friend struct detail::ResultsQuery;
};

enum StringOption { CaseSensitive = 0, CaseInsensitive = 1, DiacriticInsensitive = 2 };

class Key {
public:
    explicit Key(QString keyPath) : m_path(std::move(keyPath)) {}
    Predicate operator==(const QVariant &value) const;
    Predicate operator!=(const QVariant &value) const;
    Predicate operator<(const QVariant &value) const;
    Predicate operator<=(const QVariant &value) const;
    Predicate operator>(const QVariant &value) const;
    Predicate operator>=(const QVariant &value) const;
    // Link comparison: Key("languageFrom") == language.
    Predicate operator==(const Object &object) const { return *this == QVariant::fromValue(object); }
    Predicate operator!=(const Object &object) const { return *this != QVariant::fromValue(object); }
    Predicate in(const QVariantList &values) const;
    // Case- and diacritic-insensitive by default ("cafe" finds "Café"); on a
    // searchable property (Schema.h) that default is answered by its index.
    Predicate contains(const QString &text, int options = CaseInsensitive | DiacriticInsensitive) const;
    Predicate beginsWith(const QString &text, int options = CaseSensitive) const;
    // A list property holding the object.
    Predicate has(const Object &object) const;

private:
    Predicate compare(const char *op, const QVariant &value) const;
    QString m_path;
};

// A live query: each read sees the store as it is now (including this
// thread's uncommitted writes; another process's commits within a few
// milliseconds). Default order: insertion order.
class Results {
public:
    Results() = default;

    QString className() const;
    Results filter(const Predicate &predicate) const; // ANDed with the current one
    // Adds a sort key. Objects equal on every key keep their insertion order,
    // reversed when the last key sorts descending (newest first).
    Results sorted(const QString &keyPath, bool ascending = true) const;

    int count() const;
    bool isEmpty() const { return count() == 0; }
    Object at(int index) const; // null Object when out of range
    Object first() const { return at(0); }
    Object last() const;
    int indexOf(const Object &object) const; // -1 when absent
    QList<Object> toList() const;            // a snapshot
    QList<qint64> rowIds() const;

    template <typename T> QList<T> toList() const {
        QList<T> out;
        for (const Object &o : toList())
            out.append(T(o));
        return out;
    }

    // Main thread only. First an initial call (change.isInitial()), then one
    // call per commit batch that inserts, deletes or modifies matching objects.
    [[nodiscard]] NotificationToken observe(std::function<void(const CollectionChange &)> block) const;

private:
    friend class ObjectStore;
    friend class Object;
    friend class Transaction;
    friend struct detail::StoreCore;
    explicit Results(std::shared_ptr<detail::ResultsQuery> query) : m_query(std::move(query)) {}
    std::shared_ptr<detail::ResultsQuery> m_query;
};

} // namespace platform
