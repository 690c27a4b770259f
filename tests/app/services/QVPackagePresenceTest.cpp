#include "PackageTestStore.h"

#include "core/models/QVPackageFolders.h"

// On-disk presence of the German translation package.
class PackagePresenceTest : public PackageStoreTest {
protected:
    void SetUp() override {
        PackageStoreTest::SetUp();
        storeCatalogue();
        german = catalogueLanguage("de_DE");
    }
    void installFiles() {
        touch(german.pathOfflinePackageEngModelFrom());
        touch(german.pathOfflinePackageLangModelFrom());
        touch(german.pathOfflinePackageEngModelTo());
        touch(german.pathOfflinePackageLangModelTo());
    }
    QVLanguageRealm german;
};

TEST_F(PackagePresenceTest, PathsFollowTheCachesLayout) {
    const QString packs = platform::AppPaths::caches() + QStringLiteral("/LanguagePacks/");
    EXPECT_EQ(german.typePackage(), QStringLiteral("opennmt-desktop"));
    EXPECT_EQ(german.folderPath(), packs + QStringLiteral("opennmt-desktop"));
    EXPECT_EQ(german.pathOfflinePackageDirFromEng(), packs + QStringLiteral("opennmt-desktop/en-de"));
    EXPECT_EQ(german.pathOfflinePackageDirToEng(), packs + QStringLiteral("opennmt-desktop/de-en"));
    EXPECT_EQ(german.pathOfflinePackageEngModelFrom(),
              packs + QStringLiteral("opennmt-desktop/en-de/en.spm.model"));
    EXPECT_EQ(german.pathOfflinePackageLangModelFrom(),
              packs + QStringLiteral("opennmt-desktop/en-de/de.spm.model"));
    EXPECT_EQ(german.pathOfflinePackageEngModelTo(),
              packs + QStringLiteral("opennmt-desktop/de-en/en.spm.model"));
    EXPECT_EQ(german.pathOfflinePackageLangModelTo(),
              packs + QStringLiteral("opennmt-desktop/de-en/de.spm.model"));
    EXPECT_EQ(german.patchOfflinePDictionaryToEng(),
              packs + QStringLiteral("opennmt-desktop/de-en.desktop.pt"));
    EXPECT_EQ(QVPackageFolders::unpackFolderForType(QStringLiteral("tesseract")),
              packs + QStringLiteral("tesseract/tessdata"));
    EXPECT_EQ(QVPackageFolders::unpackFolderForType(QStringLiteral("wordnet")),
              QVPackageFolders::dictionaryFolder());
    EXPECT_EQ(QVPackageFolders::dictionaryFolder(), packs + QStringLiteral("wordnet"));
    EXPECT_EQ(QVPackageFolders::ocrDataFolder(), packs + QStringLiteral("tesseract"));
}

TEST_F(PackagePresenceTest, ArchivesLandDirectlyInCaches) {
    EXPECT_EQ(QVPackageFolders::archivePathForUrl(package("models/de.zip").packageUrl()),
              platform::AppPaths::caches() + QStringLiteral("/de.zip"));
    EXPECT_TRUE(
        QVPackageFolders::archivePathForUrl(QStringLiteral("http://127.0.0.1:9/v2/static/")).isEmpty());
    EXPECT_TRUE(QVPackageFolders::archivePathForUrl(QStringLiteral("http://127.0.0.1:9/a/..")).isEmpty());
}

TEST_F(PackagePresenceTest, InstalledWithRecordAndBothDirectionsComplete) {
    installFiles();
    markDownloaded("models/de.zip");
    EXPECT_TRUE(german.isOfflinePackage());
    EXPECT_TRUE(QVPackageFolders::isTranslationPackageInstalled(store, QStringLiteral("de")));
    // A standalone record answers from the default store.
    EXPECT_TRUE(QVLanguageRealm::languageWithLocaleIdentifier("de_DE", "German", "", "de", "", "", "")
                    .isOfflinePackage());
}

TEST_F(PackagePresenceTest, NotInstalledWhenAnyTokenizerOfEitherDirectionIsMissing) {
    markDownloaded("models/de.zip");
    const QStringList files = {german.pathOfflinePackageEngModelFrom(),
                               german.pathOfflinePackageLangModelFrom(),
                               german.pathOfflinePackageEngModelTo(), german.pathOfflinePackageLangModelTo()};
    for (const QString &missing : files) {
        installFiles();
        ASSERT_TRUE(QFile::remove(missing));
        EXPECT_FALSE(german.isOfflinePackage()) << missing.toStdString();
    }
    installFiles();
    ASSERT_TRUE(QDir(german.pathOfflinePackageDirToEng()).removeRecursively());
    EXPECT_FALSE(german.isOfflinePackage());
}

TEST_F(PackagePresenceTest, NotInstalledWithoutADownloadedTranslationRecord) {
    installFiles();
    EXPECT_FALSE(german.isOfflinePackage()); // stored, not downloaded
    markDownloaded("ocr/deu.zip");
    EXPECT_FALSE(german.isOfflinePackage()); // a downloaded package of another kind
    EXPECT_FALSE(catalogueLanguage("fr_FR").isOfflinePackage());
}
