#include "ZipMaker.h"

#include "core/models/QVPackageFolders.h"
#include "services/packages/QVPackageUnpacker.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kTranslation = QString::fromLatin1(QVPackageFolders::kTranslationType);

// Every file under the folder, by relative path, with its contents.
QMap<QString, QByteArray> snapshot(const QString &folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files.insert(QDir(folder).relativeFilePath(path),
                     file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return files;
}

QList<ZipItem> without(QList<ZipItem> items, const QString &name) {
    items.erase(
        std::remove_if(items.begin(), items.end(), [&](const ZipItem &item) { return item.name == name; }),
        items.end());
    return items;
}

QList<ZipItem> with(QList<ZipItem> items, const ZipItem &extra) {
    items.append(extra);
    return items;
}

} // namespace

// Unpacking archives made here into a private Caches folder.
class PackageUnpackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        platform::AppPaths::setRoot(home.path());
        archive = home.filePath("package.zip");
    }
    void TearDown() override {
        QVPackageUnpacker::setFreeSpaceFunction({});
        platform::AppPaths::setRoot(QString());
    }

    platform::Error unpack(const QString &type, const QString &code, QStringList *placed = nullptr) {
        return QVPackageUnpacker::unpack({archive, QVPackageFolders::unpackFolderForType(type), type, code},
                                         placed);
    }
    platform::Error install(const QList<ZipItem> &items, const QString &code,
                            const QString &type = kTranslation) {
        EXPECT_TRUE(makeZip(archive, items));
        return unpack(type, code);
    }
    static QStringList stagingLeftovers() {
        QStringList left;
        QDirIterator it(QVPackageFolders::languagePacksFolder(), {".unpack-*"}, QDir::Dirs | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            left.append(it.next());
        return left;
    }

    QTemporaryDir home;
    QString archive;
};

TEST_F(PackageUnpackerTest, CompleteArchiveReplacesOnlyItsOwnLanguage) {
    ASSERT_FALSE(install(translationPackage("de", "1"), "de"));
    ASSERT_FALSE(install(translationPackage("fr", "1"), "fr"));
    ASSERT_TRUE(makeZip(archive, translationPackage("de", "2")));
    QStringList placed;
    const platform::Error error = unpack(kTranslation, "de", &placed);
    ASSERT_FALSE(error) << error.localizedDescription().toStdString();
    placed.sort();
    EXPECT_EQ(placed, (QStringList{"de-en", "en-de"}));

    const QMap<QString, QByteArray> files = snapshot(QVPackageFolders::folderForType(kTranslation));
    EXPECT_EQ(files.size(), 12);
    EXPECT_EQ(files.value("de-en/saved_model.pt"), QByteArray("model de-en 2"));
    EXPECT_EQ(files.value("en-de/de.spm.model"), QByteArray("de tokenizer 2"));
    EXPECT_EQ(files.value("fr-en/saved_model.pt"), QByteArray("model fr-en 1"));
    EXPECT_TRUE(QVPackageFolders::hasTranslationFiles("de"));
    EXPECT_TRUE(stagingLeftovers().isEmpty());
}

TEST_F(PackageUnpackerTest, BadArchivesInstallNothingAndKeepThePreviousPackage) {
    ASSERT_FALSE(install(translationPackage("de", "1"), "de"));
    const QMap<QString, QByteArray> before = snapshot(QVPackageFolders::languagePacksFolder());
    ASSERT_EQ(before.size(), 6);

    // An archive whose stored model fails its checksum.
    const QString badChecksum = home.filePath("checksum.zip");
    ASSERT_TRUE(makeZip(badChecksum, translationPackage("de", "2"), true));
    {
        QFile file(badChecksum);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        const int at = int(bytes.indexOf("model de-en 2"));
        ASSERT_GE(at, 0);
        bytes[at] = 'M';
        file.seek(0);
        file.write(bytes);
    }
    ASSERT_TRUE(makeZip(home.filePath("whole.zip"), translationPackage("de", "2")));
    QFile whole(home.filePath("whole.zip"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray wholeBytes = whole.readAll();

    struct Case {
        const char *name;
        std::function<void()> make;
        qint64 code;
    };
    auto zipOf = [this](const QList<ZipItem> &items) {
        return [this, items] { ASSERT_TRUE(makeZip(archive, items)); };
    };
    auto bytesOf = [this](const QByteArray &bytes) {
        return [this, bytes] {
            QFile file(archive);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        };
    };
    const QList<ZipItem> good = translationPackage("de", "2");
    const QList<Case> cases = {
        {"not a zip", bytesOf("this is no archive"), QVPackageUnpacker::UnreadableArchive},
        {"cut short", bytesOf(wholeBytes.left(wholeBytes.size() / 2)), QVPackageUnpacker::UnreadableArchive},
        {"wrong checksum", [&] { ASSERT_TRUE(QFile::copy(badChecksum, archive)); },
         QVPackageUnpacker::UnreadableArchive},
        {"parent step", zipOf(with(good, {"../escaped", "x"})), QVPackageUnpacker::UnsafeEntry},
        {"parent step inside", zipOf(with(good, {"de-en/../../escaped", "x"})),
         QVPackageUnpacker::UnsafeEntry},
        {"absolute path", zipOf(with(good, {"/tmp/escaped", "x"})), QVPackageUnpacker::UnsafeEntry},
        {"backslashes", zipOf(with(good, {"de-en\\..\\..\\escaped", "x"})), QVPackageUnpacker::UnsafeEntry},
        {"link", zipOf(with(good, {"de-en/link", "/etc/passwd", ZipItem::Link})),
         QVPackageUnpacker::UnsafeEntry},
        {"folder named like a file", zipOf(with(good, {"de-en/saved_model.pt/", {}, ZipItem::Folder})),
         QVPackageUnpacker::UnsafeEntry},
        {"file inside a file", zipOf(with(good, {"de-en/saved_model.pt/inner", "x"})),
         QVPackageUnpacker::UnsafeEntry},
        {"tokenizer missing", zipOf(without(good, "en-de/de.spm.model")), QVPackageUnpacker::WrongLayout},
        {"model missing", zipOf(without(good, "de-en/saved_model.pt")), QVPackageUnpacker::WrongLayout},
        {"another language's folder", zipOf(with(good, {"en-fr/saved_model.pt", "x"})),
         QVPackageUnpacker::WrongLayout},
        {"loose file", zipOf(with(good, {"readme.txt", "x"})), QVPackageUnpacker::WrongLayout},
        {"disk full",
         [&] {
             zipOf(good)();
             QVPackageUnpacker::setFreeSpaceFunction([](const QString &) { return qint64(4096); });
         },
         QVPackageUnpacker::NotEnoughSpace},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(archive);
        c.make();
        const platform::Error error = unpack(kTranslation, "de");
        QVPackageUnpacker::setFreeSpaceFunction({});
        EXPECT_EQ(error.domain(), QStringLiteral("QVPackageUnpacker"));
        EXPECT_EQ(error.code(), c.code);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
        EXPECT_EQ(snapshot(QVPackageFolders::languagePacksFolder()), before);
        EXPECT_TRUE(stagingLeftovers().isEmpty());
        EXPECT_FALSE(QFile::exists(home.filePath("escaped")));
        EXPECT_FALSE(QFile::exists(QDir(platform::AppPaths::caches()).filePath("escaped")));
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/escaped")));
}

TEST_F(PackageUnpackerTest, OtherKindsUnpackIntoTheirOwnFolder) {
    struct Case {
        const char *type;
        QList<ZipItem> items;
        QString expectedFile;
    };
    const QList<Case> cases = {
        {"tesseract", {{"deu.traineddata", "ocr data"}}, "tesseract/tessdata/deu.traineddata"},
        {"wordnet",
         {{"dict/", {}, ZipItem::Folder}, {"dict/index.noun", "nouns"}},
         "wordnet/dict/index.noun"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_FALSE(install(c.items, "de", c.type));
        EXPECT_TRUE(QFile::exists(QDir(QVPackageFolders::languagePacksFolder()).filePath(c.expectedFile)));
    }
    const platform::Error error = install({{"dict/", {}, ZipItem::Folder}}, "de", "wordnet");
    EXPECT_EQ(error.code(), QVPackageUnpacker::WrongLayout); // folders only: nothing to install
}

TEST_F(PackageUnpackerTest, LeftoversOfAKilledUnpackAreClearedAndNeverCount) {
    const QString stale = QDir(QVPackageFolders::languagePacksFolder()).filePath(".unpack-abc123/new/de-en");
    ASSERT_TRUE(QDir().mkpath(stale));
    QFile file(QDir(stale).filePath("en.spm.model"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(QVPackageFolders::hasTranslationFiles("de"));
    ASSERT_FALSE(install(translationPackage("fr"), "fr"));
    EXPECT_TRUE(stagingLeftovers().isEmpty());
    EXPECT_FALSE(QVPackageFolders::hasTranslationFiles("de"));
    EXPECT_TRUE(QVPackageFolders::hasTranslationFiles("fr"));
}
