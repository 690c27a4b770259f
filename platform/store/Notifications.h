#pragma once

#include <QList>
#include <QStringList>

#include <memory>

namespace platform {

namespace detail {
struct StoreCore;
}

// What changed in a collection since the previous call. Deletions are indexes
// in the previous state; insertions and modifications are indexes in the new
// one. Each list is ascending.
class CollectionChange {
public:
    bool isInitial() const { return initial; }
    bool isEmpty() const { return deletions.isEmpty() && insertions.isEmpty() && modifications.isEmpty(); }

    bool initial = false;
    QList<int> deletions;
    QList<int> insertions;
    QList<int> modifications;
};

struct ObjectChange {
    bool deleted = false;
    QStringList properties; // changed top-level properties, in declaration order
};

// Keeps an observer registered. Destroying or invalidating it removes the
// observer; keep it as long as notifications are wanted.
class NotificationToken {
public:
    NotificationToken() = default;
    NotificationToken(NotificationToken &&other) noexcept;
    NotificationToken &operator=(NotificationToken &&other) noexcept;
    NotificationToken(const NotificationToken &) = delete;
    NotificationToken &operator=(const NotificationToken &) = delete;
    ~NotificationToken();

    void invalidate();
    bool isValid() const { return m_id != 0; }

private:
    friend struct detail::StoreCore;
    NotificationToken(std::weak_ptr<detail::StoreCore> core, quint64 id)
        : m_core(std::move(core)), m_id(id) {}
    std::weak_ptr<detail::StoreCore> m_core;
    quint64 m_id = 0;
};

} // namespace platform
