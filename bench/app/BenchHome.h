#pragma once

// A private home for the window benchmarks: the store with the language
// catalogue, the pair English to German, Debian's English recognition data
// recorded as installed and, when asked, the English-German demo package made
// as scripts/run makes it (kept in BENCH_WORK_DIR between runs).
#include "core/QVStoreConfiguration.h"
#include "core/models/QVLanguagePackageRealm.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVPackageFolders.h"
#include "core/models/QVPackagesMapper.h"
#include "core/settings/QVSettingsService.h"
#include "platform/AppPaths.h"
#include "platform/NetworkStatus.h"
#include "platform/store/Store.h"
#include "services/languages/QVLanguageService.h"
#include "services/offline/QVMSynaptraService.h"
#include "startup/QVStoreMigration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace bench {

inline bool runTool(const QString &program, const QStringList &arguments, const QString &home = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!home.isEmpty())
        environment.insert(QStringLiteral("QV_HOME"), home);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        return false;
    }
    return true;
}

#ifdef BENCH_DEMO_TOOL
// The demo archive, made once into the work folder.
inline QString demoArchive() {
    const QString made = QDir(QStringLiteral(BENCH_WORK_DIR)).filePath(QStringLiteral("demo"));
    const QString archive = QDir(made).filePath(QStringLiteral("de.zip"));
    if (QFile::exists(archive))
        return archive;
    const QString words = QDir(made).filePath(QStringLiteral("words"));
    const bool made_ =
        runTool(QStringLiteral(BENCH_DEMO_TOOL), {"word-lists", "--dictionary", "/usr/share/trans/de-en",
                                                  "--output", words, "--words", "3000"}) &&
        runTool(QStringLiteral(BENCH_PACKAGE_MAKER), {"package",
                                                      "--language",
                                                      "de",
                                                      "--model",
                                                      "wordtable",
                                                      "--model-type",
                                                      "bpe",
                                                      "--vocab-size",
                                                      "30000",
                                                      "--en-text",
                                                      words + "/en.txt",
                                                      "--xx-text",
                                                      words + "/de.txt",
                                                      "--xx-en-table",
                                                      words + "/de-en.words",
                                                      "--en-xx-table",
                                                      words + "/en-de.words",
                                                      "--model-maker",
                                                      BENCH_MODEL_MAKER,
                                                      "--output",
                                                      archive});
    return made_ ? archive : QString();
}
#endif

class Home {
public:
    // False with the reason on stderr when something is missing.
    bool prepare(bool demo) {
        if (!m_dir.isValid())
            return false;
#ifdef BENCH_DEMO_TOOL
        if (demo) {
            const QString archive = demoArchive();
            if (archive.isEmpty() ||
                !runTool(QStringLiteral(BENCH_DEMO_TOOL), {"install", "--archive", archive}, m_dir.path()))
                return false;
        }
#else
        if (demo)
            return false;
#endif
        platform::AppPaths::setRoot(m_dir.path());
        if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()) ||
            QVLanguageService::initializeDefaultLanguages())
            return false;
        const platform::ObjectStore store = platform::ObjectStore::defaultStore();
        const auto language = [&](const char *locale) {
            return QVLanguageRealm(store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), locale));
        };
        if (QVSettingsService::setLanguageFrom(language("en_GB")) ||
            QVSettingsService::setLanguageTo(language("de_DE")))
            return false;
        platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
        // As the main window does when it opens: the offline engine loads the pair.
        if (demo)
            QVMSynaptraService::sharedInstance().setFromLanguage(language("en_GB"), language("de_DE"));
        return installEnglishRecognition(store);
    }
    QString path() const {
        return m_dir.path();
    }
    ~Home() {
        platform::ObjectStore::resetDefaultStore();
        platform::AppPaths::setRoot(QString());
    }

private:
    static bool installEnglishRecognition(const platform::ObjectStore &store) {
        const QString source = QStringLiteral("/usr/share/tesseract-ocr/5/tessdata/eng.traineddata");
        const QString folder = QVPackageFolders::unpackFolderForType(QStringLiteral("tesseract"));
        if (!QFile::exists(source) || !QDir().mkpath(folder) ||
            !QFile::link(source, QDir(folder).filePath(QStringLiteral("eng.traineddata")))) {
            std::fprintf(stderr, "no English recognition data (tesseract-ocr-eng)\n");
            return false;
        }
        const QVariantMap item{{"lang", "en"},
                               {"local_lang", "English"},
                               {"type", "tesseract"},
                               {"version", "1"},
                               {"model", QVariantMap{{"size", 1048576}, {"url", "ocr/eng.zip"}}}};
        if (QVPackagesMapper::createRealmObject({item}))
            return false;
        return !store.write([&](platform::Transaction &tx) {
            for (const QVLanguagePackageRealm &package :
                 store.objects(QVLanguagePackageRealm::storeClassName())
                     .filter(platform::Key("type") == QStringLiteral("tesseract"))
                     .toList<QVLanguagePackageRealm>())
                package.setIsDownloaded(tx, true);
        });
    }

    QTemporaryDir m_dir;
};

} // namespace bench
