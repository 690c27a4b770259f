#pragma once

#include "core/mapping/JSONMapping.h"
#include "core/models/QVModelRegistry.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A fresh default store in a temporary folder holding every application
// class, with the application's mapping declarations.
class ModelStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const platform::Error declared = QVModelRegistry::declareMappings();
        ASSERT_FALSE(declared) << declared.localizedDescription().toStdString();
        platform::StoreConfiguration config;
        config.path = dir.filePath(QStringLiteral("models.sqlite"));
        config.schemaVersion = 112;
        config.classes = QVModelRegistry::allSchemas();
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
    platform::Object import(const QString &className, const QVariantMap &json) {
        platform::Object stored;
        write([&](platform::Transaction &tx) {
            stored = JSONMapping::createOrUpdateInRealm(tx, className, json);
        });
        return stored;
    }
    QList<platform::Object> import(const QString &className, const QVariantList &json) {
        QList<platform::Object> stored;
        write([&](platform::Transaction &tx) {
            stored = JSONMapping::createOrUpdateInRealm(tx, className, json);
        });
        return stored;
    }
    int count(const QString &className) const { return store.objects(className).count(); }

    static QVariantMap json(const char *text) {
        return QJsonDocument::fromJson(QByteArray(text)).toVariant().toMap();
    }
    static QVariantList jsonArray(const char *text) {
        return QJsonDocument::fromJson(QByteArray(text)).toVariant().toList();
    }

    QTemporaryDir dir;
    platform::ObjectStore store;
};
