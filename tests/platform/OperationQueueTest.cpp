#include "platform/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using platform::OperationQueue;

TEST(OperationQueue, RunsBlocksOneAtATimeInOrderOffTheCallingThread) {
    OperationQueue queue;
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> concurrent{0};
    std::atomic<int> maxConcurrent{0};
    std::atomic<bool> offCaller{true};
    const auto caller = std::this_thread::get_id();
    for (int i = 0; i < 50; ++i) {
        queue.addOperation([&, i] {
            maxConcurrent = std::max(maxConcurrent.load(), ++concurrent);
            offCaller = offCaller && std::this_thread::get_id() != caller;
            {
                std::lock_guard<std::mutex> lock(mutex);
                order.push_back(i);
            }
            --concurrent;
        });
    }
    queue.waitUntilAllOperationsAreFinished();
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    EXPECT_EQ(maxConcurrent.load(), 1);
    EXPECT_TRUE(offCaller);
    EXPECT_EQ(queue.operationCount(), 0);
}

TEST(OperationQueue, CancelAllDropsPendingButLetsTheRunningBlockFinish) {
    OperationQueue queue;
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> firstFinished{false};
    std::atomic<int> laterRan{0};
    queue.addOperation([&] {
        started.set_value();
        released.wait();
        firstFinished = true;
    });
    for (int i = 0; i < 5; ++i)
        queue.addOperation([&] { ++laterRan; });
    started.get_future().wait();
    EXPECT_EQ(queue.operationCount(), 6);
    queue.cancelAllOperations();
    EXPECT_EQ(queue.operationCount(), 1);
    release.set_value();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(firstFinished);
    EXPECT_EQ(laterRan.load(), 0);
    // The queue keeps working after a cancel.
    queue.addOperation([&] { ++laterRan; });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(laterRan.load(), 1);
}

TEST(OperationQueue, ThrowingBlockDoesNotStopTheQueue) {
    OperationQueue queue;
    std::atomic<bool> ran{false};
    queue.addOperation([] { throw std::runtime_error("failed"); });
    queue.addOperation([&] { ran = true; });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(ran);
}

TEST(OperationQueue, DestructionWaitsForTheRunningBlockAndDropsThePending) {
    std::atomic<bool> finished{false};
    std::atomic<int> pendingRan{0};
    std::promise<void> started;
    {
        OperationQueue queue;
        queue.addOperation([&] {
            started.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
        });
        for (int i = 0; i < 3; ++i)
            queue.addOperation([&] { ++pendingRan; });
        started.get_future().wait();
    }
    EXPECT_TRUE(finished);
    EXPECT_EQ(pendingRan.load(), 0);
}
