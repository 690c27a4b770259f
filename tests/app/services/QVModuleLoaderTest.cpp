// Modules loaded off the interface thread: the answer comes on the main thread, once, later;
// an owner gone by then gets nothing; a module that cannot load says why.
#include "services/modules/QVModuleLoader.h"
#include "services/documents/QVDocumentSocket.h"

#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

// The document socket's module, named by an absolute path as an override names it.
platform::OnDemandLibrary &present() {
    static platform::OnDemandLibrary library = [] {
        qputenv("QV_LOADER_TEST_MODULE", QV_TEST_SOCKET_MODULE);
        return platform::OnDemandLibrary("libqvsocket.so", "QV_LOADER_TEST_MODULE", QString());
    }();
    return library;
}

platform::OnDemandLibrary &missing() {
    static platform::OnDemandLibrary library("libqvnothing.so", "QV_LOADER_TEST_MISSING",
                                             QStringLiteral("/nonexistent/libqvnothing.so"));
    return library;
}

struct Answer {
    int calls = 0;
    void *entry = nullptr;
    QString error;
    bool onMainThread = false;
};

} // namespace

TEST(QVModuleLoaderTest, TheEntryArrivesOnceOnTheMainThreadUnlessItsOwnerWentFirst) {
    const struct Case {
        const char *name;
        platform::OnDemandLibrary &library;
        const char *symbol;
        bool ownerGoes;
        int calls;
        bool entry;
        const char *error; // part of the error said
    } cases[] = {
        {"the owner went before the answer", present(), "qvSocketModuleCreate", true, 0, false, ""},
        {"a module that is not there", missing(), "anything", false, 1, false, "libqvnothing.so"},
        {"a module without the entry", present(), "qvNoSuchEntry", false, 1, false, "qvNoSuchEntry"},
        {"a module with it", present(), "qvSocketModuleCreate", false, 1, true, ""},
        {"the same module again", present(), "qvSocketModuleCreate", false, 1, true, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto owner = std::make_unique<QObject>();
        auto answer = std::make_shared<Answer>();
        QVModuleLoader::load(c.library, c.symbol, owner.get(), [answer](void *entry, const QString &error) {
            ++answer->calls;
            answer->entry = entry;
            answer->error = error;
            answer->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        });
        EXPECT_EQ(answer->calls, 0) << "never before the call returns";
        if (c.ownerGoes)
            owner.reset();
        QVModuleLoader::waitForLoads();
        qvtest::spin(20);
        EXPECT_EQ(answer->calls, c.calls);
        if (!c.calls)
            continue;
        EXPECT_TRUE(answer->onMainThread);
        EXPECT_EQ(answer->entry != nullptr, c.entry);
        EXPECT_TRUE(answer->error.contains(QString::fromLatin1(c.error))) << answer->error.toStdString();
        if (c.entry) {
            using Create = QVDocumentSocket *(*)(qint64 maxIncomingBytes, QObject * parent);
            std::unique_ptr<QVDocumentSocket> socket(reinterpret_cast<Create>(answer->entry)(1024, nullptr));
            EXPECT_NE(socket, nullptr);
        }
    }
}

TEST(QVModuleLoaderTest, TheWarmStepRunsOnTheWorkerBeforeTheAnswerOnlyForAModuleThatLoaded) {
    const QDir folder(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/printsupport"));
    const QStringList plugins = folder.entryList({QStringLiteral("*.so")}, QDir::Files);
    if (plugins.isEmpty())
        GTEST_SKIP() << "no print support plugin installed";
    const auto mapped = [&] {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(plugins.first().toUtf8());
    };
    ASSERT_FALSE(mapped());
    const struct Case {
        const char *name;
        platform::OnDemandLibrary &library;
        bool warmed;
    } cases[] = {{"a module that is not there", missing(), false}, {"a module that loads", present(), true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> warms{0};
        std::atomic<bool> warmedOffMain{false};
        bool answered = false;
        bool mappedAtAnswer = false;
        QVModuleLoader::load(
            c.library, "qvSocketModuleCreate", nullptr,
            [&](void *, const QString &) {
                answered = true;
                mappedAtAnswer = mapped();
            },
            [&] {
                ++warms;
                warmedOffMain = QThread::currentThread() != QCoreApplication::instance()->thread();
                QVModuleLoader::mapPlugins({QStringLiteral("printsupport")});
            });
        ASSERT_TRUE(qvtest::waitUntil([&] { return answered; }));
        EXPECT_EQ(warms.load(), c.warmed ? 1 : 0);
        EXPECT_EQ(warmedOffMain.load(), c.warmed);
        EXPECT_EQ(mappedAtAnswer, c.warmed);
    }
}
