// The English-German demo package: a word-by-word table, not a neural model,
// so that a fresh machine without network can translate offline at once. Installed as
// quorvalde-translator-demo-package.
//
//   demo-package make --output ZIP [--dictionary FILE] [--words N]
//       makes the package from Debian's German-English dictionary (trans-de-en) with the
//       package and model makers found beside this tool (or in the build tree's layout)
//   demo-package word-lists --dictionary FILE --output DIR [--words N]
//       word tables and tokenizer texts for the package maker (DemoWordLists.h)
//   demo-package install --archive ZIP
//       installs a made package into the application's store and Caches folder
//       (QV_HOME roots both, as for the application), unless German is installed
//   demo-package install-pictures [--traineddata FILE]
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
#include <QProcess>
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
constexpr const char *kDictionary = "/usr/share/trans/de-en";
constexpr const char *kDebianPictureData = "/usr/share/tesseract-ocr/5/tessdata/eng.traineddata";
constexpr int kDemoWords = 3000;

int fail(const QString &message) {
    std::cerr << "demo-package: " << message.toStdString() << "\n";
    return 1;
}

QString option(const tools::Options &options, const char *name, const char *fallback) {
    const auto found = options.find(name);
    return found != options.end() ? QString::fromStdString(found->second) : QString::fromUtf8(fallback);
}

// The word lists' size; 0 when --words is no number of at least 30.
int wordLimit(const tools::Options &options) {
    const int limit = options.count("words") ? std::atoi(options.at("words").c_str()) : kDemoWords;
    return limit < 30 ? 0 : limit;
}

int wordListsCommand(const tools::Options &options) {
    if (!options.count("dictionary") || !options.count("output"))
        return fail(QStringLiteral("word-lists needs --dictionary and --output"));
    const int limit = wordLimit(options);
    if (limit == 0)
        return fail(QStringLiteral("--words must be at least 30"));
    QString error;
    const int count = DemoWordLists::write(QString::fromStdString(options.at("dictionary")),
                                           QString::fromStdString(options.at("output")), limit, &error);
    if (count < 0)
        return fail(error);
    std::cout << count << " word pairs each way\n";
    return 0;
}

// A maker installed beside this tool, or in the build tree's layout (tools/<name>/<name>).
QString sibling(const QString &name) {
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &path : {here.filePath(name), here.filePath(QStringLiteral("../%1/%1").arg(name))}) {
        if (QFileInfo(path).isExecutable())
            return QDir::cleanPath(path);
    }
    return {};
}

int makeCommand(const tools::Options &options) {
    if (!options.count("output"))
        return fail(QStringLiteral("make needs --output"));
    const QString output = QFileInfo(QString::fromStdString(options.at("output"))).absoluteFilePath();
    const QString dictionary = option(options, "dictionary", kDictionary);
    if (!QFileInfo(dictionary).isFile())
        return fail(QStringLiteral("no dictionary at %1 (Debian package trans-de-en)").arg(dictionary));
    const int limit = wordLimit(options);
    if (limit == 0)
        return fail(QStringLiteral("--words must be at least 30"));
    const QString packageMaker = sibling(QStringLiteral("package-maker"));
    const QString modelMaker = sibling(QStringLiteral("model-maker"));
    if (packageMaker.isEmpty() || modelMaker.isEmpty())
        return fail(QStringLiteral("the package and model makers are not beside %1")
                        .arg(QCoreApplication::applicationDirPath()));
    QTemporaryDir words;
    if (!words.isValid())
        return fail(QStringLiteral("no temporary folder"));
    QString error;
    if (DemoWordLists::write(dictionary, words.path(), limit, &error) < 0)
        return fail(error);
    // Made under another name and renamed at the end: a failed run leaves no half archive.
    const QString part = output + QStringLiteral(".part");
    // The makers' own lines (the tokenizer trainer's log, the words it skips) are said only
    // when the package could not be made.
    QProcess maker;
    maker.setProcessChannelMode(QProcess::MergedChannels);
    // The options scripts/run makes the demo with: bpe keeps the texts' whole words for the tables.
    QStringList arguments =
        QStringLiteral("package --language %1 --model wordtable --model-type bpe --vocab-size 30000")
            .arg(QLatin1String(kLanguage))
            .split(QLatin1Char(' '));
    arguments << QStringLiteral("--en-text") << words.filePath(QStringLiteral("en.txt"));
    arguments << QStringLiteral("--xx-text") << words.filePath(QStringLiteral("de.txt"));
    arguments << QStringLiteral("--xx-en-table") << words.filePath(QStringLiteral("de-en.words"));
    arguments << QStringLiteral("--en-xx-table") << words.filePath(QStringLiteral("en-de.words"));
    arguments << QStringLiteral("--model-maker") << modelMaker << QStringLiteral("--output") << part;
    maker.start(packageMaker, arguments);
    const bool made =
        maker.waitForFinished(-1) && maker.exitStatus() == QProcess::NormalExit && maker.exitCode() == 0;
    if (!made || !QFile::exists(part)) {
        QFile::remove(part);
        std::cerr << maker.readAll().toStdString();
        return fail(QStringLiteral("the package maker failed (%1)").arg(packageMaker));
    }
    QFile::remove(output);
    if (!QFile::rename(part, output)) {
        QFile::remove(part);
        return fail(QStringLiteral("cannot write %1").arg(output));
    }
    std::cout << "made the English-German demo package " << output.toStdString() << "\n";
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
    const QString traineddata = option(options, "traineddata", kDebianPictureData);
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

std::string usageText(const std::string &name) {
    const std::string indent(name.size(), ' ');
    return "usage: " + name + " make --output ZIP [--dictionary FILE] [--words N]\n" + "       " + indent +
           "   makes the English-German word-by-word demo package from\n" + "       " + indent +
           "   Debian's German-English dictionary (default " + kDictionary + ")\n" + "       " + name +
           " install --archive ZIP\n" + "       " + indent +
           "   installs it for this user, unless a German package is installed\n" + "       " + name +
           " install-pictures [--traineddata FILE]\n" + "       " + indent +
           "   records Debian's English text recognition data (default\n" + "       " + indent + "   " +
           kDebianPictureData + ") as the English picture package\n" + "       " + name +
           " word-lists --dictionary FILE --output DIR [--words N]\n" + "       " + indent +
           "   writes the package's word lists only\n" + "       " + name + " --help\n" +
           "QV_HOME roots the folders it installs into, as it does for the program.\n";
}

int usage(const std::string &name) {
    std::cerr << usageText(name);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    const std::string name = tools::commandName(argv, "demo-package");
    if (tools::asksForHelp(argc, argv)) {
        std::cout << usageText(name);
        return 0;
    }
    if (argc < 2)
        return usage(name);
    const std::string command = argv[1];
    const std::optional<tools::Options> options = tools::parseOptions(argc, argv);
    if (!options)
        return usage(name);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvalde-translator"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvalde"));
    platform::setProblemHandler(
        [](const QString &name, const QVariantMap &info) { DevLogger::logNonFatal(name, info); });
    installObjectStoreReporter();
    if (command == "make")
        return makeCommand(*options);
    if (command == "word-lists")
        return wordListsCommand(*options);
    if (command == "install")
        return installCommand(*options);
    if (command == "install-pictures")
        return installPicturesCommand(*options);
    return usage(name);
}
