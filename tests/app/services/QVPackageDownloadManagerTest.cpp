#include "PackageTestStore.h"
#include "ZipMaker.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"

#include "services/offline/QVOfflinePackagesService.h"
#include "services/packages/QVPackageDownloadManager.h"
#include "core/models/QVPackageFolders.h"
#include "services/packages/QVPackageUnpacker.h"

#include "core/history/QVDataManager.h"

#include <memory>

namespace {

struct Install {
    int successes = 0;
    int failures = 0;
    QString path;
    platform::Error error;
    QList<double> progress;
    bool done() const { return successes + failures > 0; }
};

QByteArray zipBytes(const QString &path, const QList<ZipItem> &items) {
    if (!makeZip(path, items))
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The package catalogue served by a loopback backend, installed into a private Caches folder.
class PackageDownloadManagerTest : public PackageStoreTest {
protected:
    void SetUp() override {
        PackageStoreTest::SetUp();
        ASSERT_TRUE(scratch.isValid());
        platform::BackendConfig::overrideHost("QV_API_HOST", backend.baseUrl());
        storeCatalogue();
        manager = std::make_unique<QVPackageDownloadManager>();
        german = zipBytes(scratch.filePath("de.zip"), translationPackage("de"));
        ASSERT_FALSE(german.isEmpty());
    }
    void TearDown() override {
        manager.reset();
        PackageStoreTest::TearDown();
    }

    QVLanguagePackageRealm packageAt(const QString &path) const {
        return QVLanguagePackageRealm(store.objectForPrimaryKey(
            QVLanguagePackageRealm::storeClassName(), backend.url("/v2/static/" + path).toString()));
    }
    std::shared_ptr<Install> download(const QVLanguagePackageRealm &package) {
        auto install = std::make_shared<Install>();
        manager->downloadPackage(package, progressOf(install), successOf(install), failureOf(install));
        return install;
    }
    static QVPackageDownloadManager::Progress progressOf(const std::shared_ptr<Install> &install) {
        return [install](double value) { install->progress.append(value); };
    }
    static QVPackageDownloadManager::Success successOf(const std::shared_ptr<Install> &install) {
        return [install](const QString &path) {
            ++install->successes;
            install->path = path;
        };
    }
    static QVPackageDownloadManager::Failure failureOf(const std::shared_ptr<Install> &install) {
        return [install](const platform::Error &error) {
            ++install->failures;
            install->error = error;
        };
    }
    static bool finished(const std::shared_ptr<Install> &install) {
        return qvtest::waitUntil([&] { return install->done(); }, 10000);
    }
    static QString inCaches(const QString &relative) {
        return QDir(platform::AppPaths::caches()).filePath(relative);
    }

    qvtest::FakeBackend backend;
    QTemporaryDir scratch;
    std::unique_ptr<QVPackageDownloadManager> manager;
    QByteArray german;
};

TEST_F(PackageDownloadManagerTest, DownloadedPackageIsUnpackedMarkedAndItsArchiveDeleted) {
    struct Case {
        const char *path;
        QList<ZipItem> items;
        QString installedFile;
        std::function<platform::Error()> check;
    };
    const QList<Case> cases = {
        {"models/de.zip", translationPackage("de"), "LanguagePacks/opennmt-desktop/en-de/de.spm.model",
         [] { return QVOfflinePackagesService::checkOfflinePackageForLanguage("de"); }},
        {"ocr/deu.zip",
         {{"deu.traineddata", "ocr"}},
         "LanguagePacks/tesseract/tessdata/deu.traineddata",
         [] { return QVOfflinePackagesService::checkTesseractPackageForLanguage("de"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        const QByteArray bytes = zipBytes(scratch.filePath("served.zip"), c.items);
        backend.route("GET", QStringLiteral("/v2/static/") + c.path,
                      qvtest::FakeReply::bytes(bytes, "application/zip").throttled(512, 2));
        const QVLanguagePackageRealm package = packageAt(c.path);
        ASSERT_FALSE(package.isNull());
        EXPECT_FALSE(manager->isDownloadedPackage(package));
        EXPECT_TRUE(c.check()); // not installed yet

        const auto install = download(package);
        ASSERT_TRUE(finished(install));
        qvtest::spin(20);
        EXPECT_EQ(install->successes, 1);
        EXPECT_EQ(install->failures, 0) << install->error.localizedDescription().toStdString();
        EXPECT_FALSE(install->progress.isEmpty());
        EXPECT_TRUE(package.isDownloaded());
        EXPECT_TRUE(manager->isDownloadedPackage(package));
        EXPECT_TRUE(QFile::exists(inCaches(c.installedFile)));
        EXPECT_FALSE(QFile::exists(QVPackageFolders::archivePathForUrl(package.packageUrl())));
        const platform::Error check = c.check();
        EXPECT_TRUE(check.isNull()) << check.localizedDescription().toStdString();
    }
}

TEST_F(PackageDownloadManagerTest, FailuresReachTheFailureBlockAndInstallNothing) {
    struct Case {
        const char *name;
        qvtest::FakeReply reply;
        QString domain;
        qint64 code;
    };
    const QList<Case> cases = {
        {"server refuses", qvtest::FakeReply::text("no", 503), "com.translator.network.response", 503},
        {"connection cut", qvtest::FakeReply::bytes(german).throttled(256, 2).abortAfter(german.size() / 2),
         "", 0},
        {"damaged archive", qvtest::FakeReply::bytes("PK\x03\x04 not really"), "QVPackageUnpacker",
         QVPackageUnpacker::UnreadableArchive},
        {"wrong layout",
         qvtest::FakeReply::bytes(zipBytes(scratch.filePath("fr.zip"), translationPackage("fr"))),
         "QVPackageUnpacker", QVPackageUnpacker::WrongLayout},
    };
    const QVLanguagePackageRealm package = packageAt("models/de.zip");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("GET", "/v2/static/models/de.zip", c.reply);
        const auto install = download(package);
        ASSERT_TRUE(finished(install));
        qvtest::spin(20);
        EXPECT_EQ(install->failures, 1);
        EXPECT_EQ(install->successes, 0);
        if (!c.domain.isEmpty()) {
            EXPECT_EQ(install->error.domain(), c.domain);
            EXPECT_EQ(install->error.code(), c.code);
        }
        EXPECT_FALSE(install->error.localizedDescription().isEmpty());
        EXPECT_FALSE(package.isDownloaded());
        EXPECT_FALSE(QVPackageFolders::hasTranslationFiles("de"));
        EXPECT_FALSE(QDir(QVPackageFolders::folderForType("opennmt-desktop")).exists("fr-en"));
        EXPECT_FALSE(QFile::exists(inCaches("de.zip")));
        EXPECT_FALSE(QFile::exists(inCaches("de.zip.part")));
        EXPECT_FALSE(manager->isPackageDownloading(package, {}, {}, {})); // the cell is free again
    }
}

TEST_F(PackageDownloadManagerTest, EarlierArchiveOrVanishedRecordNeverBlocks) {
    // An archive left in Caches by an earlier run is replaced.
    QDir().mkpath(platform::AppPaths::caches());
    QFile left(inCaches("de.zip"));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.write("half an archive");
    left.close();
    backend.route("GET", "/v2/static/models/de.zip", qvtest::FakeReply::bytes(german).throttled(1024, 5));
    const QVLanguagePackageRealm package = packageAt("models/de.zip");
    const auto install = download(package);
    ASSERT_TRUE(finished(install));
    EXPECT_EQ(install->successes, 1) << install->error.localizedDescription().toStdString();
    EXPECT_TRUE(QVPackageFolders::isTranslationPackageInstalled(store, "de"));

    // The catalogue is cleared while the archive downloads.
    const QVLanguagePackageRealm french = packageAt("models/fr.zip");
    backend.route("GET", "/v2/static/models/fr.zip",
                  qvtest::FakeReply::bytes(zipBytes(scratch.filePath("fr.zip"), translationPackage("fr")))
                      .throttled(512, 10));
    const auto orphan = download(french);
    ASSERT_TRUE(qvtest::waitUntil([&] { return !orphan->progress.isEmpty(); }));
    ASSERT_FALSE(QVDataManager::sharedInstance().removeAllPackages());
    ASSERT_TRUE(finished(orphan));
    EXPECT_EQ(orphan->failures, 1);
    EXPECT_EQ(orphan->error.code(), QVPackageDownloadManager::NoRecord);
    EXPECT_FALSE(QFile::exists(inCaches("fr.zip")));
}

TEST_F(PackageDownloadManagerTest, ReattachingAndPausingFollowTheRunningDownload) {
    backend.route("GET", "/v2/static/models/de.zip", qvtest::FakeReply::bytes(german).throttled(256, 5));
    const QVLanguagePackageRealm package = packageAt("models/de.zip");
    EXPECT_FALSE(manager->isPackageDownloading(package, {}, {}, {}));
    const auto first = download(package);
    ASSERT_TRUE(qvtest::waitUntil([&] { return !first->progress.isEmpty(); }));

    const auto second = std::make_shared<Install>();
    ASSERT_TRUE(
        manager->isPackageDownloading(package, progressOf(second), successOf(second), failureOf(second)));
    int paused = 0;
    manager->pauseDownloadForPackage(package, [&](bool ok) { paused += ok; });
    EXPECT_EQ(paused, 1);

    // Asking again resumes the paused download with the new blocks.
    const auto third = download(package);
    ASSERT_TRUE(finished(third));
    qvtest::spin(20);
    EXPECT_EQ(third->successes, 1) << third->error.localizedDescription().toStdString();
    EXPECT_FALSE(first->done());
    EXPECT_FALSE(second->done());
    EXPECT_TRUE(package.isDownloaded());
    EXPECT_EQ(backend.requests("GET", "/v2/static/models/de.zip").last().header("Range").left(6), "bytes=");
}

TEST_F(PackageDownloadManagerTest, DeletingClearsTheInstalledFlagOfWhatWentWithTheFiles) {
    const QVLanguagePackageRealm package = packageAt("models/de.zip");
    auto install = std::make_shared<Install>();
    manager->savePackage(package, inCaches("nothing.zip"), successOf(install), failureOf(install));
    EXPECT_EQ(install->failures, 1); // no archive there
    EXPECT_EQ(install->error.code(), QVPackageDownloadManager::MissingArchive);

    QDir().mkpath(platform::AppPaths::caches());
    ASSERT_TRUE(QFile::copy(scratch.filePath("de.zip"), inCaches("local.zip")));
    install = std::make_shared<Install>();
    manager->savePackage(package, inCaches("local.zip"), successOf(install), failureOf(install));
    ASSERT_TRUE(finished(install));
    ASSERT_TRUE(manager->isDownloadedPackage(package));
    EXPECT_EQ(install->path, inCaches("local.zip"));

    EXPECT_TRUE(manager->deletePackage(package));
    EXPECT_FALSE(package.isDownloaded());
    EXPECT_FALSE(manager->isDownloadedPackage(package));
    for (const QString &folder : QVPackageDownloadManager::pathsForSynaptraPackage(package))
        EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    EXPECT_EQ(QVOfflinePackagesService::checkOfflinePackageForLanguage("de").code(), -204);
    EXPECT_TRUE(manager->deletePackage(package)); // already gone

    const QVLanguagePackageRealm ocr = packageAt("ocr/deu.zip");
    write([&](platform::Transaction &tx) { ocr.setIsDownloaded(tx, true); });
    touch(QDir(QVPackageFolders::unpackFolderForType("tesseract")).filePath("deu.traineddata"));
    ASSERT_TRUE(manager->isDownloadedPackage(ocr));
    EXPECT_TRUE(manager->deletePackage(ocr));
    EXPECT_FALSE(QFileInfo::exists(QVPackageDownloadManager::filePathForPackage(ocr)));
    EXPECT_FALSE(ocr.isDownloaded());
}

TEST_F(PackageDownloadManagerTest, PackagesWhoseNamesLeaveTheirFolderTouchNothing) {
    // The catalogue's type and language code become folder names: a hostile
    // one must never reach folders outside the package folders.
    const QString victim = scratch.filePath("victim");
    const QString outsideCaches = QDir(home.path()).filePath("victim");
    struct Case {
        const char *name;
        QString type;
        QString code;
    };
    const QList<Case> cases = {
        {"type climbs out", "../../victim", "de"},
        {"type is absolute", victim, "de"},
        {"code climbs out", "opennmt-desktop", "../../../victim"},
        {"code is absolute", "opennmt-desktop", victim},
        {"type is empty", "", "de"},
    };
    int served = 0;
    backend.route("GET", "/v2/static/hostile.zip", qvtest::FakeReply::bytes(german));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &folder : {victim, outsideCaches, victim + "-en", outsideCaches + "-en"})
            touch(QDir(folder).filePath("keep"));
        const QString url = backend.url("/v2/static/hostile.zip").toString();
        write([&](platform::Transaction &tx) {
            tx.createOrUpdate(
                QVLanguagePackageRealm::storeClassName(),
                {{"packageUrl", url}, {"type", c.type}, {"languageCode", c.code}, {"isDownloaded", true}});
        });
        const QVLanguagePackageRealm package(
            store.objectForPrimaryKey(QVLanguagePackageRealm::storeClassName(), url));
        ASSERT_FALSE(package.isNull());

        EXPECT_FALSE(manager->isDownloadedPackage(package));
        EXPECT_FALSE(manager->deletePackage(package));

        QDir().mkpath(platform::AppPaths::caches());
        const QString archive = inCaches("hostile.zip");
        ASSERT_TRUE(makeZip(archive, {{"keep", "replaced"}}));
        const auto saved = std::make_shared<Install>();
        manager->savePackage(package, archive, successOf(saved), failureOf(saved));
        ASSERT_TRUE(finished(saved));
        EXPECT_EQ(saved->failures, 1);

        const auto downloaded = download(package);
        ASSERT_TRUE(finished(downloaded));
        EXPECT_EQ(downloaded->failures, 1);
        qvtest::spin(20);
        served += backend.requests("GET", "/v2/static/hostile.zip").size();

        for (const QString &folder : {victim, outsideCaches, victim + "-en", outsideCaches + "-en"}) {
            QFile kept(QDir(folder).filePath("keep"));
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << folder.toStdString();
            EXPECT_EQ(kept.readAll(), QByteArray("spm")) << folder.toStdString();
        }
    }
    EXPECT_EQ(served, 0); // refused before anything was downloaded
}
