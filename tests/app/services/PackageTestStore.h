#pragma once

#include "PackageCatalogueFixture.h"
#include "app/core/ModelTestStore.h"

#include "core/models/QVLanguageRealm.h"
#include "core/models/QVPackagesMapper.h"

#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A fresh store, a private Caches folder, a loopback API host and two
// catalogue languages with flag pictures.
class PackageStoreTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        ASSERT_TRUE(home.isValid());
        platform::AppPaths::setRoot(home.path());
        platform::BackendConfig::overrideHost("QV_API_HOST", QUrl(QStringLiteral("http://127.0.0.1:9")));
        write([](platform::Transaction &tx) {
            tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", "de_DE"},
                                                                  {"languageName", "German"},
                                                                  {"languageString", "de"},
                                                                  {"imageFile", "flag_de"}});
            tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", "fr_FR"},
                                                                  {"languageName", "French"},
                                                                  {"languageString", "fr"},
                                                                  {"imageFile", "flag_fr"}});
        });
    }
    void TearDown() override {
        platform::AppPaths::setRoot(QString());
        platform::BackendConfig::overrideHost("QV_API_HOST", QUrl());
        ModelStoreTest::TearDown();
    }

    void storeCatalogue() {
        const platform::Error error = QVPackagesMapper::createRealmObject(jsonArray(kPackageCatalogue));
        ASSERT_FALSE(error) << error.localizedDescription().toStdString();
    }
    QVLanguagePackageRealm package(const QString &path) const {
        return QVLanguagePackageRealm(
            store.objectForPrimaryKey(QVLanguagePackageRealm::storeClassName(),
                                      QStringLiteral("http://127.0.0.1:9/v2/static/") + path));
    }
    QVPackagesRealm language(const QString &code) const {
        return QVPackagesRealm(store.objectForPrimaryKey(QVPackagesRealm::storeClassName(), code));
    }
    QVLanguageRealm catalogueLanguage(const QString &locale) const {
        return QVLanguageRealm(store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), locale));
    }
    void markDownloaded(const QString &path) {
        write([&](platform::Transaction &tx) { package(path).setIsDownloaded(tx, true); });
    }
    static void touch(const QString &path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("spm");
    }

    QTemporaryDir home;
};
