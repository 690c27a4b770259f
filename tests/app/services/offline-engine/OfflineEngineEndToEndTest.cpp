// The whole offline road with the real engine: packages made by the package
// maker, installed through the package download manager into a store opened
// with the application's configuration, then translated through the bridge.
#include "PackageInstall.h"
#include "support/EventLoop.h"

#include "services/offline/QVMSynaptraService.h"
#include "services/offline/QVOfflinePackagesService.h"
#include "services/offline/QVOnDemandTranslationEngine.h"
#include "services/packages/QVPackageDownloadManager.h"
#include "core/models/QVPackageFolders.h"
#include "core/models/QVPackagesMapper.h"
#include "core/models/QVPackagesRealm.h"

#include "core/QVStoreConfiguration.h"
#include "core/models/QVLanguageRealm.h"
#include "core/settings/QVSettingsService.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct Answer {
    int count = 0;
    QString text;
    platform::Error error;
};

QStringList tableLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class OfflineEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        platform::AppPaths::setRoot(home.path());
    }
    void TearDown() override {
        bridge.reset();
        platform::ObjectStore::resetDefaultStore();
        platform::AppPaths::setRoot(QString());
    }

    void openStore() {
        const platform::Error error = QVStoreConfiguration::configureDefaultStore();
        ASSERT_FALSE(error) << error.localizedDescription().toStdString();
        store = platform::ObjectStore::defaultStore();
        ASSERT_EQ(store.schemaVersion(), 112u);
        ASSERT_FALSE(store.write([](platform::Transaction &tx) {
            for (const auto &[locale, name, code] :
                 {std::tuple{"en_GB", "English", "en"}, std::tuple{"de_DE", "German", "de"},
                  std::tuple{"fr_FR", "French", "fr"}})
                tx.createOrUpdate(
                    QVLanguageRealm::storeClassName(),
                    {{"localeIdentifier", locale}, {"languageName", name}, {"languageString", code}});
        }));
    }
    QVLanguageRealm lang(const char *locale) const {
        return QVLanguageRealm(
            store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), QString::fromLatin1(locale)));
    }
    // Lists the package in the catalogue and installs the made archive the way a download does.
    void install(const QString &code, const QString &madeArchive) {
        ASSERT_NO_FATAL_FAILURE(qvtest::installPackageArchive(store, code, code, madeArchive));
    }
    std::shared_ptr<Answer> translate(const QString &text, const char *from, const char *to) {
        auto answer = std::make_shared<Answer>();
        bridge->translateFromText(text, lang(from), lang(to),
                                  [answer](const QString &t, const platform::Error &e) {
                                      ++answer->count;
                                      answer->text = t;
                                      answer->error = e;
                                  });
        // A busy machine runs a model slowly: allow for it.
        EXPECT_TRUE(qvtest::waitUntil([&] { return answer->count > 0; }, 120000));
        EXPECT_TRUE(answer->error.isNull()) << answer->error.localizedDescription().toStdString();
        return answer;
    }

    // Runs the demo installer on the made demo package; its standard output.
    QString runInstaller(const QString &root = {}) {
        QProcess installer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QV_HOME", root.isEmpty() ? home.path() : root);
        installer.setProcessEnvironment(environment);
        installer.start(QStringLiteral(DEMO_TOOL),
                        {"install", "--archive", QStringLiteral(DEMO_FIXTURE "/de.zip")});
        EXPECT_TRUE(installer.waitForFinished(120000));
        EXPECT_EQ(installer.exitCode(), 0) << installer.readAllStandardError().toStdString();
        return QString::fromUtf8(installer.readAllStandardOutput());
    }

    QTemporaryDir home;
    platform::ObjectStore store;
    std::unique_ptr<QVMSynaptraService> bridge;
};

TEST_F(OfflineEngineTest, InstalledPackagesTranslateThroughBothSlots) {
    openStore();
    install("de", QStringLiteral(ENGINE_FIXTURES "/de.zip"));
    install("fr", QStringLiteral(ENGINE_FIXTURES "/fr.zip"));
    EXPECT_TRUE(lang("de_DE").isOfflinePackage());
    EXPECT_TRUE(lang("fr_FR").isOfflinePackage());

    bridge = std::make_unique<QVMSynaptraService>(std::make_unique<QVOnDemandTranslationEngine>());
    bridge->setFromLanguage(lang("de_DE"), lang("fr_FR"));
    EXPECT_EQ(translate("hallo welt. katze", "de_DE", "fr_FR")->text, QStringLiteral("bonjour monde. chat"));
    EXPECT_EQ(bridge->firstPairLang(), QStringLiteral("de"));
    EXPECT_EQ(bridge->secondPairLang(), QStringLiteral("fr"));
    // Each slot also serves the one-step pairs it holds.
    EXPECT_EQ(translate("hund", "de_DE", "en_GB")->text, QStringLiteral("dog"));
    EXPECT_EQ(translate("hello world", "en_GB", "fr_FR")->text, QStringLiteral("bonjour monde"));

    // The reverse pair reloads both slots.
    bridge->setFromLanguage(lang("fr_FR"), lang("de_DE"));
    EXPECT_EQ(translate("chien chat", "fr_FR", "de_DE")->text, QStringLiteral("hund katze"));
}

TEST_F(OfflineEngineTest, DemoPackageInstallsOnceAndTranslatesWordByWord) {
    const QString made = QStringLiteral(DEMO_FIXTURE "/de.zip");
    EXPECT_TRUE(runInstaller().contains("installed the English-German demo package"));
    EXPECT_TRUE(QFile::exists(made)); // the made package stays for the next run
    EXPECT_TRUE(runInstaller().contains("installed already"));

    openStore();
    const QVLanguageRealm german = lang("de_DE");
    EXPECT_TRUE(german.isOfflinePackage());
    ASSERT_FALSE(QVSettingsService::setLanguageFrom(lang("en_GB")));
    ASSERT_FALSE(QVSettingsService::setLanguageTo(german));
    const platform::Error check = QVOfflinePackagesService::checkOfflinePackagesForSelectedLanguages();
    EXPECT_TRUE(check.isNull()) << check.localizedDescription().toStdString();
    const QVLanguagePackageRealm package(store.objects(QVLanguagePackageRealm::storeClassName()).first());
    EXPECT_TRUE(package.version().contains("demo"));
    EXPECT_TRUE(package.localName().contains("Demo"));

    // Three entries of each table make a sentence that translates word by word.
    auto sentence = [](const QString &table) {
        QStringList source, target;
        for (const QString &line : tableLines(table).mid(0, 3)) {
            source.append(line.section('\t', 0, 0));
            target.append(line.section('\t', 1, 1));
        }
        return std::make_pair(source.join(' '), target.join(' '));
    };
    const auto [german3, english3] = sentence(QStringLiteral(DEMO_FIXTURE "/words/de-en.words"));
    const auto [english4, german4] = sentence(QStringLiteral(DEMO_FIXTURE "/words/en-de.words"));
    ASSERT_FALSE(german3.isEmpty());
    ASSERT_FALSE(english4.isEmpty());

    bridge = std::make_unique<QVMSynaptraService>(std::make_unique<QVOnDemandTranslationEngine>());
    bridge->setFromLanguage(lang("de_DE"), lang("en_GB"));
    EXPECT_EQ(translate(german3, "de_DE", "en_GB")->text, english3);
    bridge->setFromLanguage(lang("en_GB"), german);
    auto answer = std::make_shared<Answer>();
    bridge->translatedTextFromText(english4, [answer](const QString &t, const platform::Error &e) {
        ++answer->count;
        answer->text = t;
        answer->error = e;
    });
    ASSERT_TRUE(qvtest::waitUntil([&] { return answer->count > 0; }, 120000));
    EXPECT_EQ(answer->text, german4) << answer->error.localizedDescription().toStdString();
}

TEST_F(OfflineEngineTest, DemoTranslatesWordsWithUmlautsAndKeepsEveryScript) {
    EXPECT_TRUE(runInstaller().contains("installed the English-German demo package"));
    openStore();
    bridge = std::make_unique<QVMSynaptraService>(std::make_unique<QVOnDemandTranslationEngine>());
    struct Case {
        const char *from, *to;
        QString text, expected;
    };
    const QList<Case> cases = {
        {"de_DE", "en_GB", QStringLiteral("Die Tür ist grün"), QStringLiteral("The door is green")},
        {"de_DE", "en_GB", QStringLiteral("Das Mädchen 👋🏽"), QStringLiteral("The girl 👋🏽")},
        {"de_DE", "en_GB", QStringLiteral("Tür Привет café"), QStringLiteral("door Привет café")},
        {"de_DE", "en_GB", QStringLiteral("grün γάτα 世界。"), QStringLiteral("green γάτα 世界。")},
        {"en_GB", "de_DE", QStringLiteral("The door 🎉 Καλημέρα"), QStringLiteral("Die Tür 🎉 Καλημέρα")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        bridge->setFromLanguage(lang(c.from), lang(c.to));
        const QString translated = translate(c.text, c.from, c.to)->text;
        EXPECT_EQ(translated, c.expected);
        EXPECT_FALSE(translated.contains(QChar(0xFFFD)));
        EXPECT_FALSE(translated.contains(QChar(0x2047)));
    }
}

TEST_F(OfflineEngineTest, DemoInstallerJoinsTheCatalogueAndNeverReplacesARealPackage) {
    struct Case {
        const char *name;
        bool realInstalled;
    };
    for (const Case &c :
         {Case{"catalogue fetched, nothing installed", false}, Case{"real package installed", true}}) {
        SCOPED_TRACE(c.name);
        const QString root = home.filePath(c.realInstalled ? "real" : "catalogue");
        platform::AppPaths::setRoot(root);
        openStore();
        const auto item = [](const char *type, const char *url) {
            return QVariantMap{{"lang", "de"},
                               {"local_lang", "Deutsch"},
                               {"type", type},
                               {"version", "1"},
                               {"model", QVariantMap{{"size", 1048576}, {"url", url}}}};
        };
        QByteArray realModel;
        if (c.realInstalled) {
            install("de", QStringLiteral(ENGINE_FIXTURES "/de.zip"));
            QFile model(QDir(QVPackageFolders::translationFolderToEnglish("de")).filePath("en.spm.model"));
            ASSERT_TRUE(model.open(QIODevice::ReadOnly));
            realModel = model.readAll();
        }
        ASSERT_FALSE(QVPackagesMapper::createRealmObject(
            {item("opennmt-desktop", "models/de.zip"), item("tesseract", "ocr/deu.zip")}));
        platform::ObjectStore::resetDefaultStore();

        const QString said = runInstaller(root);
        EXPECT_TRUE(said.contains(c.realInstalled ? "installed already"
                                                  : "installed the English-German demo package"))
            << said.toStdString();

        openStore();
        const QVPackagesRealm german(store.objectForPrimaryKey(QVPackagesRealm::storeClassName(), "de"));
        ASSERT_FALSE(german.isNull());
        EXPECT_EQ(german.localName().toStdString(), "Deutsch");
        QStringList types;
        for (const platform::Object &object : german.packages().toList()) {
            const QVLanguagePackageRealm package(object);
            types.append(package.type() + (package.version().contains("demo") ? "+demo" : ""));
        }
        EXPECT_EQ(types.join(' ').toStdString(), c.realInstalled
                                                     ? "opennmt-desktop tesseract"
                                                     : "opennmt-desktop tesseract opennmt-desktop+demo");
        EXPECT_TRUE(QVOfflinePackagesService::checkOfflinePackageForLanguage("de").isNull());
        // The OCR package is listed and not installed: the check still says so.
        EXPECT_EQ(QVOfflinePackagesService::checkTesseractPackageForLanguage("de").code(), -202);
        if (c.realInstalled) {
            QFile model(QDir(QVPackageFolders::translationFolderToEnglish("de")).filePath("en.spm.model"));
            ASSERT_TRUE(model.open(QIODevice::ReadOnly));
            EXPECT_EQ(model.readAll(), realModel);
        }
        platform::ObjectStore::resetDefaultStore();
    }
}
