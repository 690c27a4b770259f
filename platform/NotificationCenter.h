#pragma once

#include <QMutex>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <map>
#include <memory>

namespace platform {

// Named notifications ("kLanguageDidChangeNotification", ...) with a user-info
// dictionary. Observers always run on the main thread, in the order they were
// added. A post from the main thread delivers at once, before post() returns;
// a post from another thread is delivered later from the main event loop. An
// observer removed before a delivery reaches it is not called.
class NotificationCenter {
public:
    using Token = quint64;
    using Block = std::function<void(const QVariantMap &userInfo)>;

    NotificationCenter() = default;
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    static NotificationCenter &defaultCenter();

    // Never returns 0, so 0 can stand for "no observer".
    Token addObserver(const QString &name, Block block);
    void removeObserver(Token token);
    void post(const QString &name, const QVariantMap &userInfo = {});

private:
    struct Observer {
        QString name;
        std::shared_ptr<Block> block;
    };

    void deliver(const QString &name, const QVariantMap &userInfo);
    bool isRegistered(Token token) const;

    mutable QMutex m_mutex;
    Token m_nextToken = 1;
    std::map<Token, Observer> m_observers;
    // Deliveries queued from other threads check this before touching the centre.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace platform
