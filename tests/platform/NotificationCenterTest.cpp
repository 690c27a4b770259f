#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "support/EventLoop.h"

#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using platform::NotificationCenter;

namespace {
const QString kLanguage = QStringLiteral("kLanguageDidChangeNotification");
const QString kUser = QStringLiteral("kUserDidChangedNotification");
} // namespace

TEST(NotificationCenter, ObserversRunInRegistrationOrderForTheirNameOnly) {
    NotificationCenter center;
    QStringList calls;
    center.addObserver(kLanguage, [&](const QVariantMap &) { calls << QStringLiteral("first"); });
    center.addObserver(kUser, [&](const QVariantMap &) { calls << QStringLiteral("user"); });
    center.addObserver(kLanguage, [&](const QVariantMap &info) {
        calls << QStringLiteral("second:") + info.value(QStringLiteral("code")).toString();
    });
    center.post(kLanguage, {{QStringLiteral("code"), QStringLiteral("de")}});
    EXPECT_EQ(calls, (QStringList{QStringLiteral("first"), QStringLiteral("second:de")}));
}

TEST(NotificationCenter, RemovedObserversAreNotCalledEvenMidDelivery) {
    NotificationCenter center;
    int first = 0;
    int second = 0;
    NotificationCenter::Token secondToken = 0;
    const auto firstToken = center.addObserver(kLanguage, [&](const QVariantMap &) {
        ++first;
        center.removeObserver(secondToken);
    });
    secondToken = center.addObserver(kLanguage, [&](const QVariantMap &) { ++second; });
    EXPECT_NE(firstToken, 0u);
    EXPECT_NE(firstToken, secondToken);
    center.post(kLanguage);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    center.removeObserver(firstToken);
    center.post(kLanguage);
    EXPECT_EQ(first, 1);
}

TEST(NotificationCenter, PostFromWorkerIsDeliveredOnTheMainThreadInPostOrder) {
    NotificationCenter center;
    QStringList received;
    std::atomic<bool> allOnMain{true};
    center.addObserver(kUser, [&](const QVariantMap &info) {
        allOnMain = allOnMain && platform::isMainThread();
        received << info.value(QStringLiteral("n")).toString();
    });
    QThread *worker = QThread::create([&] {
        for (int i = 0; i < 5; ++i)
            center.post(kUser, {{QStringLiteral("n"), i}});
    });
    worker->start();
    worker->wait();
    delete worker;
    // Nothing runs on the worker: delivery waits for the main loop.
    EXPECT_TRUE(received.isEmpty());
    ASSERT_TRUE(qvtest::waitUntil([&] { return received.size() == 5; }));
    EXPECT_EQ(received, (QStringList{"0", "1", "2", "3", "4"}));
    EXPECT_TRUE(allOnMain);
}

TEST(NotificationCenter, ObserverRemovedBeforeQueuedDeliveryIsSkipped) {
    NotificationCenter center;
    int calls = 0;
    const auto token = center.addObserver(kUser, [&](const QVariantMap &) { ++calls; });
    QThread *worker = QThread::create([&] { center.post(kUser); });
    worker->start();
    worker->wait();
    delete worker;
    center.removeObserver(token);
    qvtest::spin(50);
    EXPECT_EQ(calls, 0);
}

TEST(NotificationCenter, ThrowingObserverDoesNotStopTheOthers) {
    NotificationCenter center;
    int later = 0;
    center.addObserver(kLanguage, [](const QVariantMap &) { throw std::runtime_error("observer failed"); });
    center.addObserver(kLanguage, [&](const QVariantMap &) { ++later; });
    center.post(kLanguage);
    EXPECT_EQ(later, 1);
}

TEST(NotificationCenter, DefaultCenterIsOneInstance) {
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    int calls = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("kActionHistoryNotification"), [&](const QVariantMap &) { ++calls; });
    NotificationCenter::defaultCenter().post(QStringLiteral("kActionHistoryNotification"));
    NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(calls, 1);
}
