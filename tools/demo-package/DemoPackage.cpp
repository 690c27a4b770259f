// The English-German demo package: a word-by-word table, not a neural model,
// so that a fresh machine without network can translate offline at once.
//
//   demo-package word-lists --dictionary FILE --output DIR [--words N]
//       word tables and tokenizer texts for the package maker (DemoWordLists.h)
//   demo-package install --archive ZIP
//       installs a made package into the application's store and Caches folder
//       (QV_HOME roots both, as for the application), unless German is installed
#include "common/ToolOptions.h"
#include "demo-package/DemoWordLists.h"

#include "core/DevLogger.h"
#include "core/QVStoreConfiguration.h"
#include "core/mapping/ObjectStoreReporting.h"
#include "startup/QVStoreMigration.h"
#include "services/packages/QVPackageDownloadManager.h"
#include "core/models/QVPackageFolders.h"
#include "core/models/QVPackagesMapper.h"
#include "core/models/QVPackagesRealm.h"

#include "platform/ProblemReporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iostream>

namespace {

constexpr const char *kLanguage = "de";
constexpr const char *kDemoVersion = "demo-word-by-word";
constexpr const char *kArchivePath = "demo/de-en-demo-word-by-word.zip";

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

// One catalogue item, as the backend would list the package.
QVariantList demoCatalogue(qint64 archiveSize) {
    const QVariantMap model{{QStringLiteral("size"), archiveSize},
                            {QStringLiteral("url"), QString::fromLatin1(kArchivePath)}};
    const QVariantMap item{{QStringLiteral("lang"), QString::fromLatin1(kLanguage)},
                           {QStringLiteral("local_lang"), QStringLiteral("Deutsch (Demo, Wort für Wort)")},
                           {QStringLiteral("type"), QString::fromLatin1(QVPackageFolders::kTranslationType)},
                           {QStringLiteral("version"), QString::fromLatin1(kDemoVersion)},
                           {QStringLiteral("compressedSize"), QString::number(archiveSize)},
                           {QStringLiteral("model"), model}};
    return {item};
}

// Maps the one-item catalogue. A catalogue fetched earlier keeps its German
// packages and name: the demo joins them instead of replacing them.
platform::Error addToCatalogue(const platform::ObjectStore &store, const QVariantList &catalogue) {
    const QString code = QString::fromLatin1(kLanguage);
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
    const QString code = QString::fromLatin1(kLanguage);
    if (QVPackageFolders::isTranslationPackageInstalled(store, code)) {
        std::cout << "a German package is installed already\n";
        return 0;
    }
    if (const platform::Error error = addToCatalogue(store, demoCatalogue(QFileInfo(archive).size())))
        return fail(error.localizedDescription());
    const QVLanguagePackageRealm package(
        store.objects(QVLanguagePackageRealm::storeClassName())
            .filter(platform::Key(QStringLiteral("version")) == QString::fromLatin1(kDemoVersion) &&
                    platform::Key(QStringLiteral("languageCode")) == code)
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
    if (status == 0)
        std::cout << "installed the English-German demo package\n";
    return status;
}

int usage() {
    std::cerr << "usage: demo-package word-lists --dictionary FILE --output DIR [--words N]\n"
                 "       demo-package install --archive ZIP\n";
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
    return usage();
}
