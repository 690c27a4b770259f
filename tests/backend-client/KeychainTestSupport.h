#pragma once

#include <merovantia/FileKeychainStore.h>
#include <merovantia/KeychainStore.h>

#include "platform/AppPaths.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every keychain test gets its own state folder and a file store inside it.
class FileKeychainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        platform::AppPaths::setRoot(m_dir.path());
        m_store =
            std::make_shared<merovantia::FileKeychainStore>(merovantia::KeychainStore::defaultFilePath());
        merovantia::KeychainStore::setShared(m_store);
        merovantia::KeychainStore::setFallback(nullptr);
    }
    void TearDown() override {
        merovantia::KeychainStore::setShared(nullptr);
        merovantia::KeychainStore::setFallback(nullptr);
        platform::AppPaths::setRoot({});
    }

    QTemporaryDir m_dir;
    std::shared_ptr<merovantia::FileKeychainStore> m_store;
};

// A store that refuses everything, as a Secret Service does when it stops answering.
class RefusingKeychainStore : public merovantia::KeychainStore {
public:
    QString name() const override { return QStringLiteral("refusing store"); }
    int find(const QString &, const QString &, QByteArray *) override { return kStatus; }
    int add(const merovantia::KeychainItem &) override { return kStatus; }
    int update(const QString &, const QString &, const QByteArray &) override { return kStatus; }
    int remove(const QString &, const QString &) override { return kStatus; }
    int list(const QString &, QList<merovantia::KeychainItem> *) override { return kStatus; }

    static constexpr int kStatus = merovantia::KeychainStatus::NotAvailable;
};
