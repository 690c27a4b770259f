#include "NotificationCenter.h"

#include "MainQueue.h"
#include "ProblemReporter.h"

#include <exception>
#include <vector>

namespace platform {

NotificationCenter &NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::~NotificationCenter() {
    QMutexLocker lock(&m_mutex);
    *m_alive = false;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, Block block) {
    QMutexLocker lock(&m_mutex);
    const Token token = m_nextToken++;
    m_observers.emplace(token, Observer{name, std::make_shared<Block>(std::move(block))});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    QMutexLocker lock(&m_mutex);
    m_observers.erase(token);
}

bool NotificationCenter::isRegistered(Token token) const {
    QMutexLocker lock(&m_mutex);
    return m_observers.count(token) > 0;
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo) {
    if (isMainThread()) {
        deliver(name, userInfo);
        return;
    }
    std::shared_ptr<bool> alive;
    {
        QMutexLocker lock(&m_mutex);
        alive = m_alive;
    }
    // The default centre lives for the whole run; a test's own centre may not.
    dispatchAsyncMain([this, alive, name, userInfo] {
        if (*alive)
            deliver(name, userInfo);
    });
}

void NotificationCenter::deliver(const QString &name, const QVariantMap &userInfo) {
    std::vector<std::pair<Token, std::shared_ptr<Block>>> targets;
    {
        QMutexLocker lock(&m_mutex);
        for (const auto &[token, observer] : m_observers) {
            if (observer.name == name)
                targets.emplace_back(token, observer.block);
        }
    }
    for (const auto &[token, block] : targets) {
        // An earlier observer may have removed this one.
        if (!isRegistered(token) || !*block)
            continue;
        try {
            (*block)(userInfo);
        } catch (const std::exception &exception) {
            reportProblem(QStringLiteral("Notification observer threw"),
                          {{QStringLiteral("name"), name}, {QStringLiteral("what"), QString::fromUtf8(exception.what())}});
        } catch (...) {
            reportProblem(QStringLiteral("Notification observer threw"), {{QStringLiteral("name"), name}});
        }
    }
}

} // namespace platform
