#include "app/services/OnlineServiceTest.h"

#include "services/languages/QVLanguageService.h"
#include "core/models/QVTranslationRealm.h"
#include "core/settings/QVSettingsService.h"

#include "platform/BackendConfig.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"

#include <QDir>
#include <QJsonDocument>

using qvtest::FakeReply;

namespace {

// Catalogue items as processingLanguageArray makes them.
QVariantMap item(const QString &locale, const QString &name, const QString &code,
                 const QVariantMap &modes = {}) {
    QVariantMap language{
        {"localeIdentifier", locale}, {"localeName", name}, {"languageString", code}, {"voiceLocale", code}};
    if (!modes.isEmpty())
        language.insert("modes", modes);
    return language;
}

QStringList identifiers(const QList<QVLanguageRealm> &languages) {
    QStringList out;
    for (const QVLanguageRealm &language : languages)
        out << language.localeIdentifier();
    return out;
}

QStringList identifiers(const platform::Results &results) {
    return identifiers(results.toList<QVLanguageRealm>());
}

} // namespace

class QVLanguageServiceTest : public OnlineServiceTest {
protected:
    // A catalogue of seven languages with assorted features, plus automatic detection.
    void storeCatalogue() {
        const QVariantList items = {
            item("en_GB", "English (UK)", "en",
                 {{"Translation", true},
                  {"TranslateWebSite", true},
                  {"PhraseBook", true},
                  {"produceVoice", true}}),
            item("de_DE", "German", "de",
                 {{"Translation", true},
                  {"TranslateWebSite", true},
                  {"offlineTranslate", true},
                  {"parseVoice", true}}),
            item("fr_FR", "Français", "fr", {{"ImageObjectRecognition", true}, {"PhraseBook", true}}),
            item("nl_BE", "Dutch (Belgium)", "nl", {{"ImageRecognition", true}}),
            item("nl_NL", "Dutch", "nl", {{"Translation", true}}),
            item("ja_JP", "Japanese", "ja", {{"Translation", true}}),
            item("xx_XX", "Zeta", "xx"), // no flags record at all
        };
        const platform::Error error = QVLanguageService::saveLanguagesToRealm(items);
        ASSERT_FALSE(error) << error.localizedDescription().toStdString();
    }
    QVLanguageRealm language(const QString &locale) const {
        return QVLanguageRealm(store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), locale));
    }
};

TEST_F(QVLanguageServiceTest, BackendItemsBecomeCatalogueItemsWithFlagTableModeKeys) {
    const QVariantList items = jsonArray(R"json([
        {"full_code": "de_DE", "englishName": "German", "flagPath": "flags/de.png", "code_alpha_1": "de",
         "code_alpha_3": "deu", "testWordForSyntezis": "Hallo",
         "modes": [{"name": "phrase book", "value": true}, {"name": "Phrase Book", "value": false},
                   {"name": "parse voice", "value": true}, {"name": "Offline  Translate", "value": true},
                   {"name": "word net dictionary", "value": true}, {"name": "translation document", "value": true},
                   {"name": "brand new feature", "value": true}, {"value": true}, {"name": "speech synthesis"}]},
        {"englishName": "No code"},
        "not an item",
        {"full_code": "tlh_XX", "code_alpha_1": "tlh"},
        {"full_code": "en-scotland", "englishName": "English (Scotland)", "code_alpha_1": "en"}
    ])json");
    const QVariantList out = QVLanguageService::processingLanguageArray(items);
    ASSERT_EQ(out.size(), 3);
    const QVariantMap german = out.at(0).toMap();
    EXPECT_EQ(german.value("localeIdentifier").toString(), QStringLiteral("de_DE"));
    EXPECT_EQ(german.value("imageFile").toString(), QStringLiteral("flags/de.png"));
    EXPECT_EQ(german.value("languageString").toString(), QStringLiteral("de"));
    EXPECT_EQ(german.value("voiceLocale").toString(), QStringLiteral("de"));
    EXPECT_EQ(german.value("tesseractLanguageCode").toString(), QStringLiteral("deu"));
    EXPECT_EQ(german.value("testWordForSyntezis").toString(), QStringLiteral("Hallo"));
    // In English the name is the English one.
    EXPECT_EQ(german.value("localeName").toString(), QStringLiteral("German"));
    const QVariantMap modes = german.value("modes").toMap();
    EXPECT_EQ(modes, (QVariantMap{{"PhraseBook", false},
                                  {"parseVoice", true},
                                  {"offlineTranslate", true},
                                  {"wordNetDictionary", true},
                                  {"TranslationDocument", true},
                                  {"BrandNewFeature", true}}));
    // Without an English name the code itself names the language.
    EXPECT_EQ(out.at(1).toMap().value("localeName").toString(), QStringLiteral("tlh_XX"));
    // A code without "_" given back by the lookup is no display name either.
    EXPECT_EQ(out.at(2).toMap().value("localeName").toString(), QStringLiteral("English (Scotland)"));
}

TEST_F(QVLanguageServiceTest, ModeNamesMatchTheFlagTableIgnoringCaseAndSpaces) {
    const QList<QPair<QString, QString>> cases = {
        {"parse voice", "parseVoice"},
        {"PRODUCE VOICE", "produceVoice"},
        {"offline translate", "offlineTranslate"},
        {"parse site", "ParseSite"},
        {"translate web site", "TranslateWebSite"},
        {"image object recognition", "ImageObjectRecognition"},
        {"something else", "SomethingElse"},
    };
    for (const auto &[name, key] : cases) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(QVLanguageService::modeKeyForName(name), key);
    }
}

TEST_F(QVLanguageServiceTest, RefreshKeepsEveryLinkedLanguageAndAutomaticDetection) {
    storeCatalogue();
    write([&](platform::Transaction &tx) {
        tx.createOrUpdate(QVTranslationRealm::storeClassName(),
                          {{"idTranslation", 1},
                           {"originalText", "Bonjour"},
                           {"languageFrom", QVariant::fromValue<platform::Object>(language("fr_FR"))}});
    });
    ASSERT_FALSE(QVSettingsService::setLanguageFrom(QVLanguageService::autoDetectionLanguageRealm()));
    ASSERT_FALSE(QVSettingsService::setLanguageTo(language("ja_JP")));
    write([&](platform::Transaction &tx) { language("de_DE").setVoiceIDMac(tx, "voice-de"); });

    // The backend now lists German and English only.
    const platform::Error error = QVLanguageService::saveLanguagesToRealm(
        {item("en_GB", "English (UK)", "en"), item("de_DE", "Deutsch", "de", {{"Translation", false}})});
    ASSERT_FALSE(error) << error.localizedDescription().toStdString();

    EXPECT_TRUE(language("ja_JP").isValid()) << "the settings pair links it";
    EXPECT_TRUE(language("fr_FR").isValid()) << "a stored translation links it";
    EXPECT_FALSE(language("nl_NL").isValid());
    EXPECT_FALSE(language("xx_XX").isValid());
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("auto-detection"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("ja_JP"));
    EXPECT_EQ(QVTranslationRealm(store.objectForPrimaryKey(QVTranslationRealm::storeClassName(), 1))
                  .languageFrom()
                  .localeIdentifier(),
              QStringLiteral("fr_FR"));
    // Listed languages are updated in place; what the refresh does not name stays.
    EXPECT_EQ(language("de_DE").languageName(), QStringLiteral("Deutsch"));
    EXPECT_EQ(language("de_DE").voiceIDMac(), QStringLiteral("voice-de"));
    EXPECT_FALSE(language("de_DE").languageModes().translation());
    const QVLanguageRealm autoDetection = QVLanguageService::autoDetectionLanguageRealm();
    ASSERT_TRUE(autoDetection.isValid());
    EXPECT_EQ(autoDetection.languageName(), QStringLiteral("Detect language"));
    EXPECT_EQ(autoDetection.imageFile(), QStringLiteral("globe_new.png"));
}

TEST_F(QVLanguageServiceTest, EmptyListChangesNothing) {
    storeCatalogue();
    const int before = count(QVLanguageRealm::storeClassName());
    const platform::Error error = QVLanguageService::saveLanguagesToRealm({});
    EXPECT_EQ(error.code(), QVLanguageService::EmptyList);
    EXPECT_EQ(count(QVLanguageRealm::storeClassName()), before);
}

TEST_F(QVLanguageServiceTest, SuccessfulRefreshSavesStoresVoicesAndAnnouncesIt) {
    backend.route("GET", QStringLiteral("/v2/api/v3/getLanguages"),
                  FakeReply::json(QJsonDocument::fromJson(R"json({"result": [
        {"full_code": "en_GB", "englishName": "English (UK)", "code_alpha_1": "en",
         "modes": [{"name": "translation", "value": true}]},
        {"full_code": "de_DE", "englishName": "German", "code_alpha_1": "de",
         "modes": [{"name": "translation", "value": true}]}]
})json")
                                      .object()));
    int announced = 0;
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("kSettingsDidChangedNotification"), [&](const QVariantMap &) { ++announced; });
    Calls<bool> completion;
    QVLanguageService::initializeDefaultLanguagesWithCompletion(completion.block());
    ASSERT_TRUE(settle(completion));
    platform::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_TRUE(completion.arg<0>());
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(language("de_DE").voiceIDMac(), QStringLiteral("com.apple.speech.synthesis.voice.anna"));
    EXPECT_TRUE(language("de_DE").voiceIDMacBool());
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("en_GB"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("de_DE"));
}

TEST_F(QVLanguageServiceTest, AnyFailedRefreshFillsAnEmptyCatalogueFromTheResourceList) {
    struct Case {
        const char *name;
        std::function<void()> arrange;
    };
    const QList<Case> cases = {
        {"server error", [&] { backend.route("GET", "/v2/api/v3/getLanguages", FakeReply::json({}, 500)); }},
        {"reply without result",
         [&] {
             backend.route("GET", "/v2/api/v3/getLanguages", FakeReply::json({{"x", 1}}));
         }},
        {"empty list",
         [&] {
             backend.route("GET", "/v2/api/v3/getLanguages", FakeReply::json({{"result", QJsonArray{}}}));
         }},
        {"backend unreachable",
         [&] {
             platform::BackendConfig::overrideHost("QV_API_HOST", QUrl(QStringLiteral("http://127.0.0.1:9")));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write([](platform::Transaction &tx) { tx.removeAll(QVLanguageRealm::storeClassName()); });
        c.arrange();
        Calls<bool> completion;
        QVLanguageService::initializeDefaultLanguagesWithCompletion(completion.block());
        ASSERT_TRUE(settle(completion));
        platform::BackendConfig::overrideHost("QV_API_HOST", QUrl());
        EXPECT_FALSE(completion.arg<0>());
        const QVLanguageRealm english = language("en_GB");
        const QVLanguageRealm german = language("de_DE");
        ASSERT_TRUE(english.isValid());
        ASSERT_TRUE(german.isValid());
        EXPECT_TRUE(german.languageModes().translation());
        EXPECT_TRUE(german.languageModes().offlineTranslate());
        EXPECT_TRUE(english.languageModes().offlineTranslate());
    }
}

TEST_F(QVLanguageServiceTest, ResourceListFillsOnlyAnEmptyCatalogueAndReportsAMissingFile) {
    storeCatalogue();
    EXPECT_FALSE(QVLanguageService::initializeDefaultLanguages());
    EXPECT_FALSE(language("it_IT").isValid()) << "a filled catalogue is left alone";

    write([](platform::Transaction &tx) { tx.removeAll(QVLanguageRealm::storeClassName()); });
    QTemporaryDir empty;
    platform::Bundle::setResourcePath(empty.path());
    const platform::Error missing = QVLanguageService::initializeDefaultLanguages();
    QFile broken(QDir(empty.path()).filePath("DefaultLanguages.js"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("{\"result\": [");
    broken.close();
    const platform::Error malformed = QVLanguageService::initializeDefaultLanguages();
    platform::Bundle::setResourcePath({});
    EXPECT_EQ(missing.code(), QVLanguageService::NoResource);
    EXPECT_EQ(malformed.code(), QVLanguageService::BadResource);
    EXPECT_EQ(count(QVLanguageRealm::storeClassName()), 0);
}

TEST_F(QVLanguageServiceTest, ModesSelectTheirLanguagesSortedByName) {
    storeCatalogue();
    const QStringList withFlags = {"nl_NL", "nl_BE", "en_GB", "fr_FR", "de_DE", "ja_JP"};
    struct Case {
        int mode;
        QStringList expected;
    };
    const QList<Case> cases = {
        {0, {"auto-detection", "nl_NL", "nl_BE", "en_GB", "fr_FR", "de_DE", "ja_JP", "xx_XX"}},
        {1, {"nl_BE", "fr_FR"}},
        {2, withFlags},
        {7, withFlags},
        {42, withFlags},
        {3, {"de_DE"}},
        {4, {"en_GB"}},
        {5, {"de_DE"}},
        {6, {"en_GB", "fr_FR"}},
        {8, {"en_GB", "fr_FR", "de_DE", "ja_JP"}},
        {9, {"en_GB", "de_DE"}},
        {100, {"nl_NL", "nl_BE", "en_GB", "fr_FR", "de_DE", "ja_JP", "xx_XX"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(identifiers(QVLanguageService::allLanguagesForMode(c.mode)), c.expected);
    }
}

TEST_F(QVLanguageServiceTest, NameAndCodeLookupsFollowTheCatalogue) {
    storeCatalogue();
    EXPECT_EQ(identifiers(QVLanguageService::allLanguagesFilterName("FRANCAIS")), QStringList{"fr_FR"});
    EXPECT_EQ(identifiers(QVLanguageService::allLanguagesWithoutAutoDetectionFilterName("e")),
              (QStringList{"nl_BE", "en_GB", "de_DE", "ja_JP", "xx_XX"}));
    EXPECT_EQ(QVLanguageService::languageForLanguageString("nl").localeIdentifier(), QStringLiteral("nl_NL"));
    EXPECT_EQ(QVLanguageService::languageForLanguageString("en").localeIdentifier(), QStringLiteral("en_GB"));
    EXPECT_EQ(QVLanguageService::languageForLanguageString("ja").localeIdentifier(), QStringLiteral("ja_JP"));
    EXPECT_FALSE(QVLanguageService::languageForLanguageString("ko").isValid());
    EXPECT_EQ(QVLanguageService::defaultLanguage().localeIdentifier(), QStringLiteral("en_GB"));
    EXPECT_EQ(QVLanguageService::languageTitleWithoutCountryWithLanguage(language("en_GB")),
              QStringLiteral("English "));
    EXPECT_EQ(QVLanguageService::languageTitleWithoutCountryWithLanguage(language("ja_JP")),
              QStringLiteral("Japanese"));
    EXPECT_EQ(identifiers(QVLanguageService::allLanguagesBuiltInVoices({"de", "ja"})),
              (QStringList{"de_DE", "ja_JP"}));
    EXPECT_EQ(QVLanguageService::correctedLanguage(language("fr_FR"), {"de", "ja"}).localeIdentifier(),
              QStringLiteral("de_DE"));
    EXPECT_EQ(QVLanguageService::correctedLanguage(language("ja_JP"), {"de", "ja"}).localeIdentifier(),
              QStringLiteral("ja_JP"));
    EXPECT_TRUE(
        QVLanguageService::autoDetectionLanguageIsPresentInArray(QVLanguageService::allLanguagesForMode(0)));
    EXPECT_FALSE(QVLanguageService::autoDetectionLanguageIsPresentInArray(
        QVLanguageService::allLanguagesForMode(100)));
}

TEST_F(QVLanguageServiceTest, WebSiteModeNarrowsThePickersToWebSiteLanguages) {
    storeCatalogue();
    EXPECT_EQ(QVLanguageService::allLanguagesForMacWithoutAutoDetection().size(), 7);
    ASSERT_FALSE(QVSettingsService::setTranslationMode(2));
    EXPECT_EQ(identifiers(QVLanguageService::allLanguagesForMacWithoutAutoDetection()),
              (QStringList{"en_GB", "de_DE"}));
    EXPECT_EQ(identifiers(QVLanguageService::allLanguagesForMacFilterName("GER")), QStringList{"de_DE"});
    EXPECT_TRUE(QVLanguageService::allLanguagesForMacFilterName("Japan").isEmpty());
    EXPECT_EQ(identifiers(QVLanguageService::allLanguagesForMacWithoutAutoDetectionFilterName("eng")),
              QStringList{"en_GB"});
}

TEST_F(QVLanguageServiceTest, RecentLanguagesAreSeededFromThePairAndNarrowedByMode) {
    storeCatalogue();
    ASSERT_FALSE(QVSettingsService::setLanguageFrom(language("fr_FR")));
    ASSERT_FALSE(QVSettingsService::setLanguageTo(language("de_DE")));
    EXPECT_EQ(identifiers(QVLanguageService::getRecentlyLanguages()), (QStringList{"de_DE", "fr_FR"}));

    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(language("nl_BE")));
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(language("ja_JP")));
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(QVLanguageService::autoDetectionLanguageRealm()));
    EXPECT_EQ(identifiers(QVLanguageService::getRecentlyLanguages()),
              (QStringList{"ja_JP", "nl_BE", "de_DE", "fr_FR"}));
    EXPECT_EQ(identifiers(QVLanguageService::getRecentlyLanguagesForMode(9)), QStringList{"de_DE"});
    EXPECT_EQ(identifiers(QVLanguageService::getRecentlyLanguagesForMode(6)), QStringList{"fr_FR"});
    EXPECT_EQ(identifiers(QVLanguageService::getRecentlyLanguagesForMode(8)),
              (QStringList{"ja_JP", "de_DE", "fr_FR"}));
    EXPECT_EQ(identifiers(QVLanguageService::recentlyLanguagesBuiltInVoices({"fr", "ja"})),
              (QStringList{"ja_JP", "fr_FR"}));
    const QVariantMap watch = QVLanguageService::recentlyJsonLanguages();
    EXPECT_EQ(watch.value("operationType").toString(), QStringLiteral("kWatchTransferRecentlyLanguages"));
    EXPECT_EQ(watch.value("data").toStringList(),
              (QStringList{"Japanese", "Dutch (Belgium)", "German", "Français"}));
}

TEST_F(QVLanguageServiceTest, InterfaceLanguagesLeaveOutCodesWithoutARecord) {
    storeCatalogue();
    write([](platform::Transaction &tx) {
        tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", "zh_Hant"},
                                                              {"languageName", "Chinese (Traditional)"},
                                                              {"languageString", "zh"}});
    });
    EXPECT_EQ(identifiers(QVLanguageService::localizedLanguagesArray()),
              (QStringList{"zh_Hant", "en_GB", "fr_FR", "de_DE", "ja_JP"}));
}

TEST_F(QVLanguageServiceTest, BuiltInResourceListHoldsTheOfflineDemoLanguages) {
    const QString path = platform::Bundle::pathForResource("DefaultLanguages", "js");
    ASSERT_FALSE(path.isEmpty());
    ASSERT_FALSE(QVLanguageService::initializeDefaultLanguages());
    for (const char *locale : {"en_GB", "de_DE"}) {
        SCOPED_TRACE(locale);
        const QVLanguageRealm stored = language(QString::fromLatin1(locale));
        ASSERT_TRUE(stored.isValid());
        EXPECT_TRUE(stored.languageModes().translation());
        EXPECT_TRUE(stored.languageModes().offlineTranslate());
        EXPECT_FALSE(stored.languageName().contains('_'));
    }
}
