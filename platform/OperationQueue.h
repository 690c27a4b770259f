#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

// A serial queue: one worker thread runs the added blocks one at a time, in
// the order they were added. cancelAllOperations() drops every block not yet
// started; the running one finishes. Destroying the queue cancels what is
// pending and waits for the running block. A block that throws is reported
// (reportProblem) and the queue carries on.
class OperationQueue {
public:
    explicit OperationQueue(QString name = QStringLiteral("operation-queue"));
    ~OperationQueue();
    OperationQueue(const OperationQueue &) = delete;
    OperationQueue &operator=(const OperationQueue &) = delete;

    void addOperation(std::function<void()> block);
    void cancelAllOperations();
    // Blocks the caller until nothing is pending or running. Never call it from one of this queue's blocks.
    void waitUntilAllOperationsAreFinished();
    // The same for at most timeoutMs; true when the queue became idle.
    bool waitUntilAllOperationsAreFinished(int timeoutMs);
    // Pending plus running.
    int operationCount() const;
    bool isOnQueue() const { return std::this_thread::get_id() == m_worker.get_id(); }

private:
    void run();

    QString m_name;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_pending;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace platform
