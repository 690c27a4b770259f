#pragma once

#include "KeychainTestSupport.h"

#include <merovantia/MFDataManager.h>

#include "platform/BackendConfig.h"
#include "platform/MainQueue.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"

#include <QJsonObject>
#include <QStringList>

#include <algorithm>

// Records every call of a completion block: how often, on which thread, with what.
template <typename... Args> struct CallRecord {
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

// A fake backend for both hosts, a file keychain in a temporary folder, and a stored identity.
class BackendTest : public FileKeychainTest {
protected:
    void SetUp() override {
        FileKeychainTest::SetUp();
        ASSERT_TRUE(m_backend.isListening());
        platform::BackendConfig::overrideHost("QV_CLIENT_HOST", m_backend.baseUrl());
        platform::BackendConfig::overrideHost("QV_ACCOUNT_HOST", m_backend.baseUrl());
        MFDataManager::sharedDataManager().saveAppKey(QStringLiteral("test-app-key"),
                                                      [this](const QString &uuid) { m_uuid = uuid; });
        ASSERT_EQ(m_uuid.size(), 36);
    }
    void TearDown() override {
        // Let late replies land before the next test changes the hosts.
        qvtest::spin(20);
        platform::BackendConfig::overrideHost("QV_CLIENT_HOST", {});
        platform::BackendConfig::overrideHost("QV_ACCOUNT_HOST", {});
        FileKeychainTest::TearDown();
    }

    static QStringList sortedKeys(const QJsonObject &object) {
        QStringList keys = object.keys();
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    qvtest::FakeBackend m_backend;
    QString m_uuid;
};
