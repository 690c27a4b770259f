#pragma once

#include "platform/store/Store.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// A small model shaped like the application's: languages with capability
// flags and voices, translations linking languages, one settings record.
namespace storetest {

using platform::ObjectSchema;
using platform::PropertyType;

class Mode : public platform::Object {
public:
    QV_STORE_MODEL(Mode)
    static ObjectSchema schema() {
        return ObjectSchema(QStringLiteral("Mode"))
            .property(QStringLiteral("translation"), PropertyType::Bool)
            .property(QStringLiteral("translateWebSite"), PropertyType::Bool);
    }
    QV_STORE_PROPERTY(std::optional<bool>, translateWebSite, setTranslateWebSite)
};

class Voice : public platform::Object {
public:
    QV_STORE_MODEL(Voice)
    static ObjectSchema schema() {
        return ObjectSchema(QStringLiteral("Voice"))
            .primaryKey(QStringLiteral("identifier"), PropertyType::String)
            .required(QStringLiteral("quality"), PropertyType::Int);
    }
};

class Language : public platform::Object {
public:
    QV_STORE_MODEL(Language)
    static ObjectSchema schema() {
        return ObjectSchema(QStringLiteral("Language"))
            .primaryKey(QStringLiteral("localeIdentifier"), PropertyType::String)
            .property(QStringLiteral("languageName"), PropertyType::String)
            .link(QStringLiteral("languageModes"), QStringLiteral("Mode"))
            .list(QStringLiteral("voices"), QStringLiteral("Voice"))
            .searchable(QStringLiteral("languageName"));
    }
    QV_STORE_PROPERTY(QString, localeIdentifier, setLocaleIdentifier)
    QV_STORE_PROPERTY(QString, languageName, setLanguageName)
    QV_STORE_PROPERTY(Mode, languageModes, setLanguageModes)
    QV_STORE_LIST(voices)
};

inline ObjectSchema translationSchema() {
    return ObjectSchema(QStringLiteral("Translation"))
        .primaryKey(QStringLiteral("idTranslation"), PropertyType::Int)
        .link(QStringLiteral("languageFrom"), QStringLiteral("Language"))
        .link(QStringLiteral("languageTo"), QStringLiteral("Language"))
        .property(QStringLiteral("originalText"), PropertyType::String)
        .property(QStringLiteral("isFavorite"), PropertyType::Bool)
        .property(QStringLiteral("createdDate"), PropertyType::Double)
        .property(QStringLiteral("learnCount"), PropertyType::Int, 0)
        .searchable(QStringLiteral("originalText"));
}

class Settings : public platform::Object {
public:
    QV_STORE_MODEL(Settings)
    static ObjectSchema schema() {
        return ObjectSchema(QStringLiteral("Settings"))
            .primaryKey(QStringLiteral("idSetting"), PropertyType::Int)
            .link(QStringLiteral("languageFrom"), QStringLiteral("Language"))
            .list(QStringLiteral("recentlyLanguages"), QStringLiteral("Language"))
            .property(QStringLiteral("speechSpeed"), PropertyType::Double, 0.4)
            .property(QStringLiteral("startDate"), PropertyType::Date)
            .property(QStringLiteral("countOfLaunch"), PropertyType::Int, 0);
    }
    QV_STORE_PROPERTY(Language, languageFrom, setLanguageFrom)
    QV_STORE_PROPERTY(qint64, countOfLaunch, setCountOfLaunch)
    QV_STORE_LIST(recentlyLanguages)
};

inline platform::StoreConfiguration configuration(const QString &path, quint64 version = 112) {
    platform::StoreConfiguration config;
    config.path = path;
    config.schemaVersion = version;
    config.classes = {Mode::schema(), Voice::schema(), Language::schema(), translationSchema(),
                      Settings::schema()};
    return config;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        platform::Error error;
        store = platform::ObjectStore::open(configuration(path()), &error);
        ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
    }
    QString path() const { return dir.filePath(QStringLiteral("store.sqlite")); }

    void write(const std::function<void(platform::Transaction &)> &block) {
        const platform::Error error = store.write(block);
        ASSERT_FALSE(error) << error.localizedDescription().toStdString();
    }

    platform::Object language(const QString &code) {
        return store.objectForPrimaryKey(QStringLiteral("Language"), code);
    }

    QTemporaryDir dir;
    platform::ObjectStore store;
};

} // namespace storetest
