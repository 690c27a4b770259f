#include "PackageTestStore.h"

#include "services/offline/QVOfflinePackagesService.h"
#include "core/models/QVPackageFolders.h"

#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"

#include "platform/Format.h"

namespace {

QString message(const char *key, const QString &name = {}) {
    const QString text = QVLocalizedString(QString::fromLatin1(key));
    return name.isEmpty() ? text : platform::format(text, name);
}

} // namespace

// The checks against the stored catalogue and the files under Caches.
class OfflinePackagesServiceTest : public PackageStoreTest {
protected:
    void SetUp() override {
        PackageStoreTest::SetUp();
        write([](platform::Transaction &tx) {
            tx.createOrUpdate(
                QVLanguageRealm::storeClassName(),
                {{"localeIdentifier", "en_GB"}, {"languageName", "English"}, {"languageString", "en"}});
        });
    }
    void TearDown() override {
        QVOfflinePackagesService::setLanguageNameLookup({});
        PackageStoreTest::TearDown();
    }
    void installTranslationFiles(const QString &code) {
        const QVLanguageRealm language = QVLanguageRealm::languageWithCode(code);
        touch(language.pathOfflinePackageEngModelFrom());
        touch(language.pathOfflinePackageLangModelFrom());
        touch(language.pathOfflinePackageEngModelTo());
        touch(language.pathOfflinePackageLangModelTo());
    }
    static void expectError(const platform::Error &error, qint64 code, const QString &description) {
        ASSERT_FALSE(error.isNull());
        EXPECT_EQ(error.domain(), QStringLiteral("com.translator"));
        EXPECT_EQ(error.code(), code);
        EXPECT_EQ(error.localizedDescription(), description);
    }
};

TEST_F(OfflinePackagesServiceTest, TranslationCheckTellsMissingFromNotDownloaded) {
    // No catalogue: the language is not supported offline.
    expectError(QVOfflinePackagesService::checkOfflinePackageForLanguage("de"), -202,
                message("_loc_err_language_supporting_offline", "German"));
    storeCatalogue();
    expectError(QVOfflinePackagesService::checkOfflinePackageForLanguage("it"), -202, // no translation kind
                message("_loc_err_language_supporting_offline", "it"));
    expectError(QVOfflinePackagesService::checkOfflinePackageForLanguage("de"), -204,
                message("_loc_err_offline_package_downloaded", "German"));
    markDownloaded("models/de.zip"); // the record alone is not enough
    expectError(QVOfflinePackagesService::checkOfflinePackageForLanguage("de"), -204,
                message("_loc_err_offline_package_downloaded", "German"));
    installTranslationFiles("de");
    EXPECT_TRUE(QVOfflinePackagesService::checkOfflinePackageForLanguage("de").isNull());

    QVOfflinePackagesService::setLanguageNameLookup(
        [](const QString &) { return QStringLiteral("Französisch"); });
    expectError(QVOfflinePackagesService::checkOfflinePackageForLanguage("fr"), -204,
                message("_loc_err_offline_package_downloaded", "Französisch"));
}

TEST_F(OfflinePackagesServiceTest, RecognitionCheckNeedsTheRecordAndTheDataFolder) {
    storeCatalogue();
    const QString data = QDir(QVPackageFolders::unpackFolderForType("tesseract")).filePath("deu.traineddata");
    struct Case {
        const char *name;
        const char *code;
        std::function<void()> prepare;
        std::optional<QString> error;
    };
    const QList<Case> cases = {
        {"language not in the catalogue", "xx", [] {}, message("_loc_err_supporting_offline_recognize")},
        {"no recognition package listed", "fr", [] {}, std::nullopt},
        {"listed, not downloaded", "de", [] {}, message("_loc_err_offline_tesseract")},
        {"downloaded, data missing", "de", [this] { markDownloaded("ocr/deu.zip"); },
         message("_loc_err_offline_tesseract")},
        {"installed", "de", [&] { touch(data); }, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        const platform::Error error = QVOfflinePackagesService::checkTesseractPackageForLanguage(c.code);
        if (c.error)
            expectError(error, -202, *c.error);
        else
            EXPECT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
    }
}

TEST_F(OfflinePackagesServiceTest, SettingsPairNeedsBothPackagesSourceFirst) {
    storeCatalogue();
    markDownloaded("models/de.zip");
    installTranslationFiles("de");
    struct Case {
        const char *from;
        const char *to;
        std::optional<qint64> code;
        std::optional<qint64> pairRule;
    };
    const QList<Case> cases = {
        {"en_GB", "de_DE", std::nullopt, std::nullopt},
        {"de_DE", "en_GB", std::nullopt, std::nullopt},
        {"en_GB", "en_GB", std::nullopt, std::nullopt},
        {"en_GB", "fr_FR", -204, std::nullopt},
        {"fr_FR", "de_DE", -204, -202},
        {"de_DE", "fr_FR", -204, -202},
        {"de_DE", "de_DE", std::nullopt, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 -> %2").arg(c.from, c.to).toStdString());
        ASSERT_FALSE(QVSettingsService::setLanguageFrom(catalogueLanguage(c.from)));
        ASSERT_FALSE(QVSettingsService::setLanguageTo(catalogueLanguage(c.to)));
        const platform::Error error = QVOfflinePackagesService::checkOfflinePackagesForSelectedLanguages();
        if (c.code) {
            expectError(error, *c.code, message("_loc_err_offline_package_downloaded", "French"));
        } else {
            EXPECT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
        }
        const platform::Error rule = QVOfflinePackagesService::checkOfflineOnlyFromIntoEng();
        if (c.pairRule) {
            expectError(rule, *c.pairRule, message("_loc_err_language_supporting_only_from_into_eng"));
        } else {
            EXPECT_TRUE(rule.isNull());
        }
    }
}
