#pragma once

#include "TemporaryStoreTest.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/QVModelRegistry.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A fresh default store in a temporary folder holding every application
// class, with the application's mapping declarations.
class ModelStoreTest : public TemporaryStoreTest {
protected:
    void SetUp() override {
        const platform::Error declared = QVModelRegistry::declareMappings();
        ASSERT_FALSE(declared) << declared.localizedDescription().toStdString();
        openStore(QStringLiteral("models.sqlite"), QVModelRegistry::allSchemas());
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
    static QVariantMap json(const char *text) {
        return QJsonDocument::fromJson(QByteArray(text)).toVariant().toMap();
    }
    static QVariantList jsonArray(const char *text) {
        return QJsonDocument::fromJson(QByteArray(text)).toVariant().toList();
    }
};
