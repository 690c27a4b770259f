#pragma once

#include "platform/store/Store.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// A fresh default store in a temporary folder; subclasses choose its classes.
class TemporaryStoreTest : public ::testing::Test {
protected:
    void openStore(const QString &fileName, const QList<platform::ObjectSchema> &classes) {
        ASSERT_TRUE(dir.isValid());
        platform::StoreConfiguration config;
        config.path = dir.filePath(fileName);
        config.schemaVersion = 112;
        config.classes = classes;
        platform::ObjectStore::setDefaultConfiguration(config);
        platform::Error error;
        store = platform::ObjectStore::defaultStore(&error);
        ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
    }
    void TearDown() override { platform::ObjectStore::resetDefaultStore(); }

    void write(const std::function<void(platform::Transaction &)> &block) {
        const platform::Error error = store.write(block);
        ASSERT_FALSE(error) << error.localizedDescription().toStdString();
    }
    int count(const QString &className) const { return store.objects(className).count(); }

    QTemporaryDir dir;
    platform::ObjectStore store;
};
