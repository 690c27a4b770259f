#include "OperationQueue.h"

#include "ProblemReporter.h"

#include <chrono>
#include <exception>

#include <pthread.h>

namespace platform {

OperationQueue::OperationQueue(QString name) : m_name(std::move(name)) {
    m_worker = std::thread([this] { run(); });
    // Thread names show in debuggers and crash stacks; Linux allows 15 characters.
    pthread_setname_np(m_worker.native_handle(), m_name.left(15).toUtf8().constData());
}

OperationQueue::~OperationQueue() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.clear();
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable()) {
        if (isOnQueue())
            m_worker.detach();
        else
            m_worker.join();
    }
}

void OperationQueue::addOperation(std::function<void()> block) {
    if (!block)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_pending.push_back(std::move(block));
    }
    m_wake.notify_one();
}

void OperationQueue::cancelAllOperations() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        dropped.swap(m_pending);
    }
    m_idle.notify_all();
    // Blocks are destroyed outside the lock: their captures may do anything.
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    if (isOnQueue())
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_pending.empty() && !m_running; });
}

bool OperationQueue::waitUntilAllOperationsAreFinished(int timeoutMs) {
    if (isOnQueue())
        return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_pending.empty() && !m_running; });
}

int OperationQueue::operationCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_pending.size()) + (m_running ? 1 : 0);
}

void OperationQueue::run() {
    for (;;) {
        std::function<void()> block;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_running = false;
            if (m_pending.empty())
                m_idle.notify_all();
            m_wake.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
            if (m_stopping)
                return;
            block = std::move(m_pending.front());
            m_pending.pop_front();
            m_running = true;
        }
        try {
            block();
        } catch (const std::exception &exception) {
            reportProblem(QStringLiteral("Operation threw"), {{QStringLiteral("queue"), m_name},
                                                             {QStringLiteral("what"), QString::fromUtf8(exception.what())}});
        } catch (...) {
            reportProblem(QStringLiteral("Operation threw"), {{QStringLiteral("queue"), m_name}});
        }
        block = nullptr;
    }
}

} // namespace platform
