#include "ModelTestStore.h"

#include "core/models/QVLanguageRealm.h"
#include "core/models/QVRemoteSettings.h"
#include "core/models/QVStringRealm.h"
#include "core/settings/QVSettingsService.h"
#include "core/settings/QVTranslateSettings.h"
#include "core/settings/QVAuthService.h"

#include "platform/UserDefaults.h"

#include <stdexcept>
#include <thread>
#include <vector>

using namespace platform;

namespace {

const QString kLanguage = QVLanguageRealm::storeClassName();
const QString kSettings = QVTranslateSettings::storeClassName();

QDateTime localTime(int day, int hour, int minute = 0) {
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute));
}

QStringList identifiers(const List &list) {
    QStringList out;
    for (const Object &o : list.toList())
        out.append(QVLanguageRealm(o).localeIdentifier());
    return out;
}

} // namespace

class SettingsServiceTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        now = localTime(10, 10);
        QVSettingsService::setClock([this] { return now; });
        UserDefaults::setStorageFile(dir.filePath(QStringLiteral("defaults.ini")));
    }
    void TearDown() override {
        QVSettingsService::setClock({});
        UserDefaults::setStorageFile({});
        ModelStoreTest::TearDown();
    }

    QVLanguageRealm addLanguage(const QString &identifier) {
        Object stored;
        write([&](Transaction &tx) {
            stored = tx.createOrUpdate(
                kLanguage, {{QStringLiteral("localeIdentifier"), identifier},
                            {QStringLiteral("languageName"), identifier + QStringLiteral(" name")}});
        });
        return QVLanguageRealm(stored);
    }
    void addLanguages(const QStringList &identifiers) {
        for (const QString &identifier : identifiers)
            addLanguage(identifier);
    }
    void setRecent(const QStringList &identifiers) {
        QVariantList languages;
        for (const QString &identifier : identifiers)
            languages.append(QVariant::fromValue(static_cast<Object>(addLanguage(identifier))));
        ASSERT_FALSE(
            QVSettingsService::updateSettingsWithObject({{QStringLiteral("recentlyLanguages"), languages}}));
    }
    QStringList recent() { return identifiers(QVSettingsService::defaultSettings().recentlyLanguages()); }

    QDateTime now;
};

// First launch and the record's defaults

TEST_F(SettingsServiceTest, FirstLaunchWithoutLanguagesStoresDefaultsAndCompletesThePairLater) {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    ASSERT_TRUE(settings.isManaged());
    EXPECT_EQ(count(kSettings), 1);
    EXPECT_EQ(settings.idSetting(), 1);
    EXPECT_TRUE(settings.languageFrom().isNull());
    EXPECT_TRUE(settings.languageTo().isNull());
    EXPECT_TRUE(QVSettingsService::languageFrom().isEmpty());
    EXPECT_FLOAT_EQ(settings.speedOfSpeech(), 0.4f);
    EXPECT_EQ(settings.speechSpeed(), 0.4000000059604645);
    EXPECT_EQ(settings.translateDirection(), 1);
    EXPECT_EQ(settings.translationMode(), 1);
    EXPECT_EQ(settings.safariTranslateLanguage(), QStringLiteral("en"));
    EXPECT_TRUE(settings.detectEndOfSpeech());
    EXPECT_TRUE(settings.isFirstPhotoRecognition());
    EXPECT_FALSE(settings.autoSpeak());
    EXPECT_FALSE(settings.isAlreadySignIn());
    EXPECT_FALSE(settings.wasIntroScreenShown());
    EXPECT_FALSE(settings.get<std::optional<bool>>(QStringLiteral("builtInVoices")).has_value());
    EXPECT_FALSE(settings.get<std::optional<bool>>(QStringLiteral("autoSpeechEnabled")).has_value());
    EXPECT_EQ(settings.countOfLaunch(), 0);
    EXPECT_EQ(settings.dayTranslationPassedCount(), 0);
    EXPECT_EQ(settings.startDate(), now);
    EXPECT_TRUE(settings.recentlyLanguages().isEmpty());

    addLanguages({QStringLiteral("en_GB"), QStringLiteral("de_DE")});
    const QVTranslateSettings completed = QVSettingsService::defaultSettings();
    EXPECT_EQ(completed, settings);
    EXPECT_EQ(count(kSettings), 1);
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("en_GB"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("de_DE"));
    EXPECT_EQ(QVSettingsService::cardLanguageFrom(), QStringLiteral("de_DE"));
    EXPECT_EQ(QVSettingsService::cardLanguageTo(), QStringLiteral("en_GB"));
    EXPECT_EQ(completed.phraseLanguageFrom().localeIdentifier(), QStringLiteral("en_GB"));
    EXPECT_EQ(completed.phraseLanguageTo().localeIdentifier(), QStringLiteral("de_DE"));
}

TEST_F(SettingsServiceTest, FirstLaunchWithLanguagesGivesTheDefaultPairsAtOnce) {
    addLanguages({QStringLiteral("en_GB"), QStringLiteral("de_DE"), QStringLiteral("fr_FR")});
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    EXPECT_EQ(settings.languageFrom().localeIdentifier(), QStringLiteral("en_GB"));
    EXPECT_EQ(settings.languageTo().localeIdentifier(), QStringLiteral("de_DE"));
    EXPECT_EQ(settings.cardLanguageFrom().localeIdentifier(), QStringLiteral("de_DE"));
    EXPECT_EQ(settings.cardLanguageTo().localeIdentifier(), QStringLiteral("en_GB"));
    // The links point at the catalogue's records, not at copies.
    EXPECT_EQ(count(kLanguage), 3);
    EXPECT_EQ(settings.languageFrom().languageName(), QStringLiteral("en_GB name"));
    EXPECT_EQ(QVSettingsService::defaultSettings(), settings);
}

TEST_F(SettingsServiceTest, SetterBeforeAnyReadStoresTheDefaultsWithTheValue) {
    ASSERT_FALSE(QVSettingsService::setUserId(QStringLiteral("user-1")));
    EXPECT_EQ(count(kSettings), 1);
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    EXPECT_EQ(settings.userId(), QStringLiteral("user-1"));
    EXPECT_FLOAT_EQ(settings.speedOfSpeech(), 0.4f);
    EXPECT_EQ(settings.translateDirection(), 1);
}

// A damaged record is repaired, not replaced

TEST_F(SettingsServiceTest, MissingLanguageLinkIsRestoredWhileEveryOtherFieldSurvives) {
    addLanguages({QStringLiteral("en_GB"), QStringLiteral("de_DE")});
    setRecent({QStringLiteral("fr_FR"), QStringLiteral("es_ES")});
    ASSERT_FALSE(
        QVSettingsService::setLanguageFilter({QVStringRealm::stringFromString(QStringLiteral("fr"))}));
    ASSERT_FALSE(QVSettingsService::setUserId(QStringLiteral("user-7")));
    ASSERT_FALSE(QVSettingsService::countOfLaunchIncrease());
    ASSERT_FALSE(QVSettingsService::changeTranslateDirection());
    ASSERT_FALSE(QVTranslateSettings::updateShowRegistrationOfferFlag(true));
    ASSERT_FALSE(QVSettingsService::setWasIntroScreenShown(true));
    ASSERT_FALSE(QVSettingsService::setCardLanguageTo(addLanguage(QStringLiteral("fr_FR"))));
    QVRemoteSettings remote;
    write([&](Transaction &tx) {
        remote = QVRemoteSettings::createWithDefaults(tx);
        QVSettingsService::defaultSettings().setRemoteSettings(tx, remote);
    });

    // A catalogue refresh drops "de_DE", then brings it back.
    write([&](Transaction &tx) {
        tx.remove(QVTranslateSettings::catalogueLanguage(store, QStringLiteral("de_DE")));
    });
    EXPECT_TRUE(QVSettingsService::defaultSettings().languageTo().isNull());
    addLanguage(QStringLiteral("de_DE"));

    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("en_GB"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("de_DE"));
    EXPECT_EQ(QVSettingsService::cardLanguageFrom(), QStringLiteral("de_DE"));
    EXPECT_EQ(QVSettingsService::cardLanguageTo(), QStringLiteral("fr_FR"));
    EXPECT_EQ(settings.phraseLanguageTo().localeIdentifier(), QStringLiteral("de_DE"));
    EXPECT_EQ(identifiers(settings.recentlyLanguages()), (QStringList{"fr_FR", "es_ES"}));
    ASSERT_EQ(settings.filter().size(), 1);
    EXPECT_EQ(settings.filter().at<QVStringRealm>(0).value(), QStringLiteral("fr"));
    EXPECT_EQ(settings.userId(), QStringLiteral("user-7"));
    EXPECT_EQ(settings.countOfLaunch(), 1);
    EXPECT_EQ(settings.translateDirection(), 2);
    EXPECT_TRUE(settings.isAlreadySignIn());
    EXPECT_TRUE(settings.wasIntroScreenShown());
    EXPECT_EQ(settings.remoteSettings(), remote);
    EXPECT_EQ(count(kSettings), 1);
}

TEST_F(SettingsServiceTest, RestoredSourceNeverDuplicatesTheTarget) {
    addLanguages({QStringLiteral("en_GB"), QStringLiteral("de_DE")});
    ASSERT_FALSE(QVSettingsService::setLanguageTo(QVTranslateSettings::catalogueLanguage(store, "en_GB")));
    write([&](Transaction &tx) {
        QVSettingsService::defaultSettings().setLanguageFrom(tx, QVLanguageRealm());
    });

    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("de_DE"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("en_GB"));
}

TEST_F(SettingsServiceTest, UnopenableStoreGivesAnUnsavedRecordAndSettersReportInsteadOfWritingToIt) {
    ObjectStore::resetDefaultStore();
    StoreConfiguration config;
    config.path = dir.path(); // a folder: cannot be opened as a database
    config.classes = QVModelRegistry::allSchemas();
    ObjectStore::setDefaultConfiguration(config);

    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    EXPECT_FALSE(settings.isNull());
    EXPECT_FALSE(settings.isManaged());
    EXPECT_FLOAT_EQ(settings.speedOfSpeech(), 0.4f);

    const Error error = QVSettingsService::setUserId(QStringLiteral("lost"));
    EXPECT_EQ(error.domain(), QString::fromLatin1(QVSettingsService::kErrorDomain));
    EXPECT_EQ(error.code(), QVSettingsService::NoStore);
    EXPECT_TRUE(settings.userId().isEmpty());
    EXPECT_TRUE(QVSettingsService::defaultSettings().userId().isEmpty());
}

// Language links

TEST_F(SettingsServiceTest, UnsavedLanguageCopyLinksTheCatalogueRecordWithoutOverwritingIt) {
    addLanguages({QStringLiteral("en_GB"), QStringLiteral("de_DE"), QStringLiteral("fr_FR")});
    const QVLanguageRealm copy = QVLanguageRealm::languageWithLocaleIdentifier(
        QStringLiteral("fr_FR"), QStringLiteral("stale"), {}, {}, {}, {}, {});
    ASSERT_FALSE(QVSettingsService::setLanguageTo(copy));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("fr_FR"));
    EXPECT_EQ(QVTranslateSettings::catalogueLanguage(store, "fr_FR").languageName(),
              QStringLiteral("fr_FR name"));

    const QVLanguageRealm unknown = QVLanguageRealm::languageWithLocaleIdentifier(
        QStringLiteral("xx_XX"), QStringLiteral("unknown"), {}, {}, {}, {}, {});
    EXPECT_EQ(QVSettingsService::setLanguageFrom(unknown).code(), QVSettingsService::NotInCatalogue);
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("en_GB"));
    EXPECT_EQ(count(kLanguage), 3);
}

TEST_F(SettingsServiceTest, SwapExchangesThePairButNeverMovesAutoDetectionIntoTheTarget) {
    addLanguages({QStringLiteral("en_GB"), QStringLiteral("de_DE"), QStringLiteral("auto-detection")});
    ASSERT_FALSE(QVSettingsService::changeLanguages());
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("de_DE"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("en_GB"));

    const QVLanguageRealm automatic = QVTranslateSettings::catalogueLanguage(store, "auto-detection");
    ASSERT_FALSE(QVSettingsService::setLanguageFrom(automatic));
    EXPECT_EQ(QVSettingsService::changeLanguages().code(), QVSettingsService::AutoDetectionAsTarget);
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("auto-detection"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("en_GB"));

    EXPECT_EQ(QVSettingsService::setLanguageTo(automatic).code(), QVSettingsService::AutoDetectionAsTarget);
    EXPECT_EQ(QVSettingsService::setCardLanguageTo(automatic).code(),
              QVSettingsService::AutoDetectionAsTarget);
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("en_GB"));
}

TEST_F(SettingsServiceTest, UpdateLanguagesKeepsThePairBoundToTheCatalogue) {
    addLanguages({QStringLiteral("en_GB"), QStringLiteral("de_DE")});
    const QVTranslateSettings before = QVSettingsService::defaultSettings();
    ASSERT_FALSE(QVSettingsService::updateLanguages());
    EXPECT_EQ(QVSettingsService::defaultSettings().languageFrom(),
              QVTranslateSettings::catalogueLanguage(store, "en_GB"));
    EXPECT_EQ(QVSettingsService::defaultSettings().languageTo(), before.languageTo());
}

// The recent-languages list

TEST_F(SettingsServiceTest, RecentLanguagesMoveToTheFrontAndStayAtFive) {
    const QStringList five = {"fr", "es", "it", "pt", "ja"};
    setRecent(five);
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(addLanguage(QStringLiteral("ko"))));
    EXPECT_EQ(recent(), (QStringList{"ko", "fr", "es", "it", "pt"}));

    setRecent(five);
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(addLanguage(QStringLiteral("it"))));
    EXPECT_EQ(recent(), (QStringList{"it", "fr", "es", "pt", "ja"}));

    setRecent(five);
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(addLanguage(QStringLiteral("fr"))));
    EXPECT_EQ(recent(), five);

    setRecent({});
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(addLanguage(QStringLiteral("fr"))));
    EXPECT_EQ(recent(), (QStringList{"fr"}));

    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(QVLanguageRealm()));
    EXPECT_EQ(recent(), (QStringList{"fr"}));
}

TEST_F(SettingsServiceTest, RecentLanguagesNeverHoldMoreThanFiveEvenFromAnOverlongList) {
    setRecent({"a", "b", "c", "d", "e", "f", "g"});
    EXPECT_EQ(recent(), (QStringList{"a", "b", "c", "d", "e"}));
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(addLanguage(QStringLiteral("z"))));
    EXPECT_EQ(recent(), (QStringList{"z", "a", "b", "c", "d"}));
    EXPECT_EQ(QVSettingsService::addRecentlyLanguage(
                  QVLanguageRealm::languageWithLocaleIdentifier("new", "n", {}, {}, {}, {}, {}))
                  .code(),
              QVSettingsService::NotInCatalogue);
    EXPECT_EQ(recent().size(), 5);
}

// Transactions

TEST_F(SettingsServiceTest, ChangesJoinTheCallersTransactionAndCommitOrRollBackWithIt) {
    const Error committed = store.write([&](Transaction &) {
        ASSERT_FALSE(QVSettingsService::setUserId(QStringLiteral("joined")));
        ASSERT_FALSE(QVSettingsService::countOfLaunchIncrease());
        EXPECT_TRUE(store.isInWriteTransaction());
    });
    ASSERT_FALSE(committed);
    EXPECT_EQ(QVSettingsService::defaultSettings().userId(), QStringLiteral("joined"));
    EXPECT_EQ(QVSettingsService::defaultSettings().countOfLaunch(), 1);

    const Error aborted = store.write([&](Transaction &) {
        ASSERT_FALSE(QVSettingsService::setUserId(QStringLiteral("dropped")));
        ASSERT_FALSE(QVSettingsService::setAutoSpeak(true));
        throw std::runtime_error("caller gives up");
    });
    EXPECT_TRUE(aborted);
    EXPECT_EQ(QVSettingsService::defaultSettings().userId(), QStringLiteral("joined"));
    EXPECT_FALSE(QVSettingsService::defaultSettings().autoSpeak());
}

TEST_F(SettingsServiceTest, CountersChangedFromSeveralThreadsLoseNoUpdate) {
    ASSERT_FALSE(QVSettingsService::countOfLaunchIncrease());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 10; ++i)
                QVSettingsService::increaseTranslateWithSymbolsCount(1);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(QVSettingsService::defaultSettings().dayTranslationPassedCount(), 40);
    EXPECT_EQ(count(kSettings), 1);
}

// The daily counter

TEST_F(SettingsServiceTest, FirstReadOnANewDayStartsTheDailyCountAgain) {
    for (int i = 0; i < 3; ++i)
        ASSERT_FALSE(QVSettingsService::increaseTranslateWithSymbolsCount(42));
    EXPECT_EQ(QVSettingsService::defaultSettings().dayTranslationPassedCount(), 3);

    now = localTime(10, 23, 59);
    EXPECT_EQ(QVSettingsService::defaultSettings().dayTranslationPassedCount(), 3);

    now = localTime(11, 0, 1);
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    EXPECT_EQ(settings.dayTranslationPassedCount(), 0);
    EXPECT_EQ(settings.startDate(), now);

    ASSERT_FALSE(QVSettingsService::increaseTranslateWithSymbolsCount(1));
    EXPECT_EQ(QVSettingsService::defaultSettings().dayTranslationPassedCount(), 1);
}

TEST_F(SettingsServiceTest, UnsetStartDateCountsAsAnotherDay) {
    ASSERT_FALSE(QVSettingsService::increaseTranslateWithSymbolsCount(1));
    write([&](Transaction &tx) {
        QVSettingsService::defaultSettings().set(tx, QStringLiteral("startDate"), QVariant());
    });
    const QVTranslateSettings settings(store.objectForPrimaryKey(kSettings, 1));
    ASSERT_FALSE(settings.startDate().isValid());

    EXPECT_EQ(QVSettingsService::defaultSettings().dayTranslationPassedCount(), 0);
    EXPECT_EQ(settings.startDate(), now);
}

// Single fields

TEST_F(SettingsServiceTest, DirectionTogglesBetweenOneAndTwo) {
    ASSERT_FALSE(QVSettingsService::changeTranslateDirection());
    EXPECT_EQ(QVSettingsService::defaultSettings().translateDirection(), 2);
    ASSERT_FALSE(QVSettingsService::changeTranslateDirection());
    EXPECT_EQ(QVSettingsService::defaultSettings().translateDirection(), 1);
    ASSERT_FALSE(QVSettingsService::setTranslateDirection(7));
    ASSERT_FALSE(QVSettingsService::changeTranslateDirection());
    EXPECT_EQ(QVSettingsService::defaultSettings().translateDirection(), 1);
}

TEST_F(SettingsServiceTest, SpeechSpeedWritesSpeedOfSpeechOnly) {
    ASSERT_FALSE(QVSettingsService::setSpeechSpeed(0.5f));
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    EXPECT_FLOAT_EQ(settings.speedOfSpeech(), 0.5f);
    EXPECT_EQ(settings.speechSpeed(), 0.4000000059604645);
}

TEST_F(SettingsServiceTest, UpdateWithValuesChangesOnlyTheGivenFieldsOfTheOneRecord) {
    ASSERT_FALSE(QVSettingsService::setVoiceType(3));
    ASSERT_FALSE(
        QVSettingsService::updateSettingsWithObject({{QStringLiteral("idSetting"), 9},
                                                     {QStringLiteral("userId"), QStringLiteral("u")},
                                                     {QStringLiteral("uuid"), QStringLiteral("not stored")},
                                                     {QStringLiteral("translationMode"), 2}}));
    EXPECT_EQ(count(kSettings), 1);
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    EXPECT_EQ(settings.idSetting(), 1);
    EXPECT_EQ(settings.userId(), QStringLiteral("u"));
    EXPECT_EQ(settings.translationMode(), 2);
    EXPECT_EQ(settings.speechVoice(), 3);
}

TEST_F(SettingsServiceTest, LanguageFilterReplacesItsCodesWithoutLeavingOrphans) {
    ASSERT_FALSE(
        QVSettingsService::setLanguageFilter({QVStringRealm::stringFromString(QStringLiteral("fr")),
                                              QVStringRealm::stringFromString(QStringLiteral("de"))}));
    EXPECT_EQ(QVSettingsService::defaultSettings().filter().size(), 2);
    ASSERT_FALSE(
        QVSettingsService::setLanguageFilter({QVStringRealm::stringFromString(QStringLiteral("es"))}));
    const List filter = QVSettingsService::defaultSettings().filter();
    ASSERT_EQ(filter.size(), 1);
    EXPECT_EQ(filter.at<QVStringRealm>(0).value(), QStringLiteral("es"));
    EXPECT_EQ(count(QVStringRealm::storeClassName()), 1);
}

TEST_F(SettingsServiceTest, MainScreenAdsTypeNeedsALinkedRemoteRecord) {
    EXPECT_EQ(QVSettingsService::setMainScreenAdsType(2).code(), QVSettingsService::NoRemoteSettings);
    EXPECT_EQ(count(QVRemoteSettings::storeClassName()), 0);

    write([&](Transaction &tx) {
        QVSettingsService::defaultSettings().setRemoteSettings(tx, QVRemoteSettings::createWithDefaults(tx));
    });
    ASSERT_FALSE(QVSettingsService::setMainScreenAdsType(2));
    EXPECT_EQ(QVSettingsService::defaultSettings().remoteSettings().mainScreenAdsType(), 2);
}

// The registration offer

TEST_F(SettingsServiceTest, RegistrationOfferHidesWithATokenOrOnceSignedIn) {
    EXPECT_TRUE(QVSettingsService::defaultSettings().isNeededShowRegistrationOffer());

    QVAuthService::setAuthToken(QStringLiteral("token"));
    EXPECT_FALSE(QVSettingsService::defaultSettings().isNeededShowRegistrationOffer());
    EXPECT_FALSE(QVSettingsService::defaultSettings().isAlreadySignIn());

    QVAuthService::clearAuthToken();
    ASSERT_FALSE(QVTranslateSettings::updateShowRegistrationOfferFlag());
    EXPECT_TRUE(QVSettingsService::defaultSettings().isAlreadySignIn());
    EXPECT_FALSE(QVSettingsService::defaultSettings().isNeededShowRegistrationOffer());
}
