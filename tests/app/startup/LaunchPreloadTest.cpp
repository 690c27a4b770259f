#include "startup/QVLaunchPreload.h"

#include "merovantia/KeychainStore.h"

#include <QMutex>
#include <QSemaphore>
#include <QStringList>
#include <QThreadPool>

#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace {

QMutex g_mutex;
QStringList g_keychainLines;

void captureKeychainLines(QtMsgType, const QMessageLogContext &, const QString &message) {
    const QMutexLocker lock(&g_mutex);
    if (message.startsWith(QLatin1String("[keychain]")))
        g_keychainLines << message;
}

qsizetype keychainLines() {
    const QMutexLocker lock(&g_mutex);
    return g_keychainLines.size();
}

} // namespace

// A second launch only hands its text over and quits: it never looks at the keychain. The copy
// that runs has it looked at on the preload's thread, and whoever asks later gets that store.
TEST(LaunchPreload, TheKeychainIsLookedAtOnlyByTheCopyThatRunsAndOnlyOnce) {
    qputenv("QV_KEYCHAIN", "file");
    const QtMessageHandler previous = qInstallMessageHandler(captureKeychainLines);
    for (const bool ready : {false, true}) {
        SCOPED_TRACE(ready);
        merovantia::KeychainStore::setShared(nullptr);
        g_keychainLines.clear();
        {
            QVLaunchPreload preload;
            if (ready) {
                preload.applicationReady();
                // A quit leaves steps not yet begun undone: this one waits for the keychain's.
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (keychainLines() == 0 && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        EXPECT_EQ(keychainLines(), ready ? 1 : 0);
    }
    ASSERT_NE(merovantia::KeychainStore::shared(), nullptr);
    EXPECT_EQ(keychainLines(), 1);
    qInstallMessageHandler(previous);
    merovantia::KeychainStore::setShared(nullptr);
    qunsetenv("QV_KEYCHAIN");
}

// The pool's threads are made ahead of the first frame, but a thread busy with other work (here
// one waiting for the test) neither holds the launch nor keeps the pool's other threads waiting.
TEST(LaunchPreload, APoolThreadBusyWithOtherWorkHoldsNeitherTheLaunchNorThePool) {
    qputenv("QV_KEYCHAIN", "file");
    QThreadPool *pool = QThreadPool::globalInstance();
    QSemaphore busyStarted, releaseBusy;
    pool->start([&] {
        busyStarted.release();
        releaseBusy.acquire();
    });
    ASSERT_TRUE(busyStarted.tryAcquire(1, 5000));
    auto launch = std::async(std::launch::async, [] {
        QVLaunchPreload preload;
        preload.applicationReady();
    });
    const bool finished = launch.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    QSemaphore ran;
    pool->start([&ran] { ran.release(); });
    const bool poolRan = ran.tryAcquire(1, 5000);
    releaseBusy.release();
    launch.wait();
    pool->waitForDone();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(poolRan);
    merovantia::KeychainStore::setShared(nullptr);
    qunsetenv("QV_KEYCHAIN");
}
