#pragma once

#include "app/core/ModelTestStore.h"
#include "app/core/RecordingCrashReporter.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"
#include "support/ScopedBackendHosts.h"

#include "core/settings/QVTranslateSettings.h"

#include "platform/AppPaths.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"

#include <merovantia/FileKeychainStore.h>
#include <merovantia/KeychainStore.h>
#include <merovantia/MFDataManager.h>

#include <QJsonArray>
#include <QJsonObject>

// Counts the calls of one completion block and keeps the last arguments.
template <typename... Args> struct Calls {
    int count = 0;
    bool allOnMain = true;
    std::tuple<std::decay_t<Args>...> last;

    std::function<void(Args...)> block() {
        return [this](Args... args) {
            ++count;
            allOnMain = allOnMain && platform::isMainThread();
            last = std::make_tuple(std::decay_t<Args>(args)...);
        };
    }
    template <size_t I> const auto &arg() const { return std::get<I>(last); }
};

// A fresh store, a loopback backend behind every host, a file keychain holding
// an installation identity, private user defaults and a recording crash reporter.
class OnlineServiceTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        ASSERT_TRUE(home.isValid());
        platform::AppPaths::setRoot(home.path());
        platform::UserDefaults::setStorageFile(home.filePath(QStringLiteral("defaults.ini")));
        keychain =
            std::make_shared<merovantia::FileKeychainStore>(merovantia::KeychainStore::defaultFilePath());
        merovantia::KeychainStore::setShared(keychain);
        merovantia::KeychainStore::setFallback(nullptr);
        QVTranslateSettings::resetCachedUuid();
        MFDataManager::sharedDataManager().saveAppKey(QStringLiteral("test-app-key"),
                                                      [this](const QString &id) { uuid = id; });
        ASSERT_EQ(uuid.size(), 36);
        ASSERT_TRUE(backend.isListening());
        hosts = std::make_unique<qvtest::ScopedBackendHosts>(backend.baseUrl());
        reporter = std::make_shared<RecordingCrashReporter>();
        platform::CrashReporter::setShared(reporter);
    }
    void TearDown() override {
        // Late replies land before the next test changes hosts and stores.
        qvtest::spin(20);
        hosts.reset();
        platform::CrashReporter::setShared(nullptr);
        merovantia::KeychainStore::setShared(nullptr);
        QVTranslateSettings::resetCachedUuid();
        platform::UserDefaults::setStorageFile({});
        platform::AppPaths::setRoot({});
        ModelStoreTest::TearDown();
    }

    template <typename CallsT> bool settle(const CallsT &calls, int count = 1, int timeoutMs = 5000) {
        return qvtest::waitUntil([&] { return calls.count >= count; }, timeoutMs);
    }
    QStringList loggedLines() {
        QMutexLocker lock(&reporter->mutex);
        return reporter->lines;
    }
    QList<RecordingCrashReporter::Record> reports() {
        QMutexLocker lock(&reporter->mutex);
        return reporter->records;
    }
    static QStringList queryNames(const qvtest::RecordedRequest &request) {
        QStringList names;
        for (const auto &item : request.queryItems)
            names << item.first;
        return names;
    }

    QTemporaryDir home;
    std::shared_ptr<merovantia::FileKeychainStore> keychain;
    std::shared_ptr<RecordingCrashReporter> reporter;
    qvtest::FakeBackend backend;
    std::unique_ptr<qvtest::ScopedBackendHosts> hosts;
    QString uuid;
};
