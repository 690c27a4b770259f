// The English-German demo package: a word-by-word table, not a neural model,
// so that a fresh machine without network can translate offline at once.
//
//   demo-package word-lists --dictionary FILE --output DIR [--words N]
//       word tables and tokenizer texts for the package maker (DemoWordLists.h)
//   demo-package install --archive ZIP
//       installs a made package into the application's store and Caches folder
//       (QV_HOME roots both, as for the application), unless German is installed
//   demo-package install-pictures --traineddata FILE
//       records the English text recognition data (Debian's tesseract-ocr-eng) as
//       the English picture package and installs it the same way, unless one is
#include "common/ToolOptions.h"
#include "demo-package/DemoWordLists.h"

#include "core/DevLogger.h"
#include "core/QVStoreConfiguration.h"
#include "core/mapping/ObjectStoreReporting.h"
#include "core/models/QVPackageFolders.h"
#include "core/models/QVPackagesMapper.h"
#include "core/models/QVPackagesRealm.h"
#include "services/packages/QVPackageDownloadManager.h"
#include "startup/QVStoreMigration.h"

#include "platform/ProblemReporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <zip.h>

#include <iostream>

namespace {

constexpr const char *kLanguage = "de";
constexpr const char *kDemoVersion = "demo-word-by-word";
constexpr const char *kArchivePath = "demo/de-en-demo-word-by-word.zip";
constexpr const char *kPictureLanguage = "en";
constexpr const char *kPictureVersion = "debian-tesseract-ocr-eng";
constexpr const char *kPictureArchivePath = "demo/en-tesseract-ocr-eng.zip";
constexpr const char *kPictureDataName = "eng.traineddata";

int fail(const QString &message) {
    std::cerr << "demo-package: " << message.toStdString() << "\n";
    return 1;
}

int wordListsCommand(const tools::Options &options) {
    if (!options.count("dictionary") || !options.count("output"))
        return fail(QStringLiteral("word-lists needs --dictionary and --output"));
    const int limit = options.count("words") ? std::atoi(options.at("words").c_str()) : 3000;
    if (limit < 30)
        return fail(QStringLiteral("--words must be at least 30"));
    QString error;
    const int count = DemoWordLists::write(QString::fromStdString(options.at("dictionary")),
                                           QString::fromStdString(options.at("output")), limit, &error);
    if (count < 0)
        return fail(error);
    std::cout << count << " word pairs each way\n";
    return 0;
}

struct DemoItem {
    const char *language;
    const char *localName;
    const char *type;
    const char *version;
    const char *archivePath;
};

const DemoItem kTranslationItem{kLanguage, "Deutsch (Demo, Wort für Wort)",
                                QVPackageFolders::kTranslationType, kDemoVersion, kArchivePath};
const DemoItem kPictureItem{kPictureLanguage, "English", QVPackageFolders::kOcrType, kPictureVersion,
                            kPictureArchivePath};

// One catalogue item, as the backend would list the package.
QVariantList demoCatalogue(const DemoItem &demo, qint64 archiveSize) {
    const QVariantMap model{{QStringLiteral("size"), archiveSize},
                            {QStringLiteral("url"), QString::fromLatin1(demo.archivePath)}};
    const QVariantMap item{{QStringLiteral("lang"), QString::fromLatin1(demo.language)},
                           {QStringLiteral("local_lang"), QString::fromUtf8(demo.localName)},
                           {QStringLiteral("type"), QString::fromLatin1(demo.type)},
                           {QStringLiteral("version"), QString::fromLatin1(demo.version)},
                           {QStringLiteral("compressedSize"), QString::number(archiveSize)},
                           {QStringLiteral("model"), model}};
    return {item};
}

// Maps the one-item catalogue. A catalogue fetched earlier keeps the language's
// packages and name: the demo joins them instead of replacing them.
platform::Error addToCatalogue(const platform::ObjectStore &store, const QString &code,
                               const QVariantList &catalogue) {
    const QVPackagesRealm before(store.objectForPrimaryKey(QVPackagesRealm::storeClassName(), code));
    const QList<platform::Object> earlier =
        before.isNull() ? QList<platform::Object>() : before.packages().toList();
    const QString earlierName = before.isNull() ? QString() : before.localName();
    if (const platform::Error error = QVPackagesMapper::createRealmObject(catalogue))
        return error;
    if (earlier.isEmpty())
        return {};
    return store.write([&](platform::Transaction &tx) {
        const QVPackagesRealm language(store.objectForPrimaryKey(QVPackagesRealm::storeClassName(), code));
        if (language.isNull())
            return;
        language.setLocalName(tx, earlierName);
        int at = 0;
        for (const platform::Object &package : earlier) {
            if (language.packages().indexOf(package) < 0)
                language.packages().insert(tx, at++, package);
        }
    });
}

// Records the item in the catalogue and installs the archive through the application's own
// package installer (which unpacks it and marks the record downloaded).
int installItem(const platform::ObjectStore &store, const DemoItem &demo, const QString &archive) {
    const QString code = QString::fromLatin1(demo.language);
    if (const platform::Error error =
            addToCatalogue(store, code, demoCatalogue(demo, QFileInfo(archive).size())))
        return fail(error.localizedDescription());
    const QVLanguagePackageRealm package(
        store.objects(QVLanguagePackageRealm::storeClassName())
            .filter(platform::Key(QStringLiteral("version")) == QString::fromLatin1(demo.version) &&
                    platform::Key(QStringLiteral("languageCode")) == code &&
                    platform::Key(QStringLiteral("type")) == QString::fromLatin1(demo.type))
            .first());
    if (package.isNull())
        return fail(QStringLiteral("the demo package was not stored"));

    // The install consumes the archive in Caches; the made one stays where it is.
    const QString cached = QVPackageFolders::archivePathForUrl(package.packageUrl());
    QDir().mkpath(QFileInfo(cached).absolutePath());
    QFile::remove(cached);
    if (!QFile::copy(archive, cached))
        return fail(QStringLiteral("cannot copy the archive to %1").arg(cached));
    int status = 1;
    bool answered = false; // a refusal can come before the event loop runs
    QVPackageDownloadManager::sharedManager().savePackage(
        package, cached,
        [&](const QString &) {
            status = 0;
            answered = true;
            QCoreApplication::exit(0);
        },
        [&](const platform::Error &error) {
            fail(error.localizedDescription());
            answered = true;
            QCoreApplication::exit(1);
        });
    if (!answered)
        QCoreApplication::exec();
    return status;
}

int installCommand(const tools::Options &options) {
    if (!options.count("archive"))
        return fail(QStringLiteral("install needs --archive"));
    const QString archive = QString::fromStdString(options.at("archive"));
    if (!QFileInfo(archive).isFile())
        return fail(QStringLiteral("no archive at %1").arg(archive));

    if (const platform::Error error =
            QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return fail(error.localizedDescription());
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (QVPackageFolders::isTranslationPackageInstalled(store, QString::fromLatin1(kLanguage))) {
        std::cout << "a German package is installed already\n";
        return 0;
    }
    const int status = installItem(store, kTranslationItem, archive);
    if (status == 0)
        std::cout << "installed the English-German demo package\n";
    return status;
}

// A package archive holding the one recognition data file at its top.
bool writePictureArchive(const QString &traineddata, const QString &output, QString *error) {
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(output).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        *error = QStringLiteral("cannot create %1").arg(output);
        return false;
    }
    zip_source_t *source = zip_source_file(archive, QFile::encodeName(traineddata).constData(), 0, -1);
    if (!source || zip_file_add(archive, kPictureDataName, source, ZIP_FL_ENC_UTF_8) < 0) {
        if (source)
            zip_source_free(source);
        *error = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        return false;
    }
    if (zip_close(archive) < 0) {
        *error = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        return false;
    }
    return true;
}

int installPicturesCommand(const tools::Options &options) {
    if (!options.count("traineddata"))
        return fail(QStringLiteral("install-pictures needs --traineddata"));
    const QString traineddata = QString::fromStdString(options.at("traineddata"));
    if (!QFileInfo(traineddata).isFile())
        return fail(QStringLiteral("no recognition data at %1").arg(traineddata));

    if (const platform::Error error =
            QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return fail(error.localizedDescription());
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    const QString code = QString::fromLatin1(kPictureLanguage);
    if (QVPackageFolders::isOcrPackageInstalled(store, code) &&
        QFileInfo::exists(
            QDir(QVPackageFolders::unpackFolderForType(QString::fromLatin1(QVPackageFolders::kOcrType)))
                .filePath(QString::fromLatin1(kPictureDataName)))) {
        std::cout << "an English picture package is installed already\n";
        return 0;
    }
    QTemporaryDir staging;
    if (!staging.isValid())
        return fail(QStringLiteral("no temporary folder"));
    const QString archive = staging.filePath(QStringLiteral("en-tesseract-ocr-eng.zip"));
    QString error;
    if (!writePictureArchive(traineddata, archive, &error))
        return fail(error);
    const int status = installItem(store, kPictureItem, archive);
    if (status == 0)
        std::cout << "installed the English picture package\n";
    return status;
}

int usage() {
    std::cerr << "usage: demo-package word-lists --dictionary FILE --output DIR [--words N]\n"
                 "       demo-package install --archive ZIP\n"
                 "       demo-package install-pictures --traineddata FILE\n";
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    const std::optional<tools::Options> options = tools::parseOptions(argc, argv);
    if (!options)
        return usage();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvalde-translator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvalde"));
    platform::setProblemHandler(
        [](const QString &name, const QVariantMap &info) { DevLogger::logNonFatal(name, info); });
    installObjectStoreReporter();
    if (command == "word-lists")
        return wordListsCommand(*options);
    if (command == "install")
        return installCommand(*options);
    if (command == "install-pictures")
        return installPicturesCommand(*options);
    return usage();
}
