#include "ModelTestStore.h"

#include "core/models/QVLanguageMode.h"
#include "core/models/QVLanguageRealm.h"

using namespace platform;

namespace {

const QString kLanguage = QVLanguageRealm::storeClassName();
const QString kMode = QVLanguageMode::storeClassName();

QVLanguageRealm language(const ObjectStore &store, const char *identifier) {
    return QVLanguageRealm(store.objectForPrimaryKey(kLanguage, QString::fromLatin1(identifier)));
}

} // namespace

using QVLanguageRealmMapping = ModelStoreTest;

TEST_F(QVLanguageRealmMapping, CatalogueItemFillsItsFieldsAndFlagsAndIgnoresOtherKeys) {
    import(kLanguage,
           json(R"({"localeIdentifier": "de_DE", "localeName": "German", "imageFile": "flags/de.png",
        "languageString": "de", "voiceLocale": "de", "tesseractLanguageCode": "deu", "testWordForSyntezis": "Hallo",
        "recognizerLocale": "de-DE", "countryCode": "DE", "speed": 0.9,
        "modes": {"Translation": true, "SpeechSynthesis": true, "ImageRecognition": true,
                  "ImageObjectRecognition": true, "ParseSite": true, "parseVoice": true, "produceVoice": true,
                  "offlineTranslate": true, "PhraseBook": true, "wordNetDictionary": true,
                  "TranslateWebSite": true, "TranslationDocument": true}})"));
    const QVLanguageRealm de = language(store, "de_DE");
    ASSERT_TRUE(de.isValid());
    EXPECT_EQ(de.languageName(), QStringLiteral("German"));
    EXPECT_EQ(de.imageFile(), QStringLiteral("flags/de.png"));
    EXPECT_EQ(de.languageString(), QStringLiteral("de"));
    EXPECT_EQ(de.voiceLocale(), QStringLiteral("de"));
    EXPECT_EQ(de.tesseractLanguageCode(), QStringLiteral("deu"));
    EXPECT_EQ(de.testWordForSyntezis(), QStringLiteral("Hallo"));
    // Keys outside the item table are not read, even when a property has that name.
    EXPECT_TRUE(de.recognizerLocale().isNull());
    EXPECT_TRUE(de.countryCode().isNull());
    EXPECT_FALSE(de.value(QStringLiteral("speed")).isValid());

    const QVLanguageMode modes = de.languageModes();
    ASSERT_TRUE(modes.isValid());
    EXPECT_TRUE(modes.translation());
    EXPECT_TRUE(modes.speechSynthesis());
    EXPECT_TRUE(modes.imageRecognition());
    EXPECT_TRUE(modes.imageObjectRecognition());
    EXPECT_TRUE(modes.parseWebPage());
    EXPECT_TRUE(modes.parseVoice());
    EXPECT_TRUE(modes.produceVoice());
    EXPECT_TRUE(modes.offlineTranslate());
    EXPECT_TRUE(modes.phraseBook());
    EXPECT_TRUE(modes.wordNetDictionary());
    EXPECT_TRUE(modes.translateWebSite());
    EXPECT_TRUE(modes.translateDocument());
}

TEST_F(QVLanguageRealmMapping, AbsentCoreFlagsAreStoredFalseAndTheOthersStayUnset) {
    import(
        kLanguage,
        json(R"({"localeIdentifier": "fr_FR", "modes": {"parseWebPage": true, "ImageRecognition": true}})"));
    const QVLanguageMode modes = language(store, "fr_FR").languageModes();
    ASSERT_TRUE(modes.isValid());
    for (const char *flag :
         {"translation", "speechSynthesis", "parseVoice", "produceVoice", "offlineTranslate"})
        EXPECT_EQ(modes.value(QString::fromLatin1(flag)), QVariant(false)) << flag;
    for (const char *flag : {"phraseBook", "parseWebPage", "imageObjectRecognition", "wordNetDictionary",
                             "translateWebSite", "translateDocument"})
        EXPECT_FALSE(modes.value(QString::fromLatin1(flag)).isValid()) << flag;
    EXPECT_FALSE(modes.phraseBook());
    EXPECT_FALSE(modes.parseWebPage()); // "parseWebPage" is not a catalogue key; "ParseSite" is
    EXPECT_TRUE(modes.imageRecognition());
    EXPECT_EQ(modes.parseImage(), modes.imageRecognition());

    const QVariantMap hooked = QVLanguageMode::preprocessedJSON({{QStringLiteral("Translation"), true}});
    EXPECT_EQ(hooked.value(QStringLiteral("Translation")), QVariant(true)); // a present key is kept
    EXPECT_EQ(hooked.value(QStringLiteral("offlineTranslate")), QVariant(false));
    EXPECT_FALSE(hooked.contains(QStringLiteral("PhraseBook")));
}

TEST_F(QVLanguageRealmMapping, RefreshReplacesTheFlagRecordAndDeletesTheOldOne) {
    import(kLanguage, jsonArray(R"([{"localeIdentifier": "en_GB", "modes": {"Translation": true}},
                                    {"localeIdentifier": "de_DE", "modes": {"Translation": true}}])"));
    EXPECT_EQ(count(kMode), 2);
    const QVLanguageMode before = language(store, "en_GB").languageModes();

    for (int refresh = 0; refresh < 3; ++refresh)
        import(kLanguage,
               json(R"({"localeIdentifier": "en_GB", "modes": {"Translation": false, "PhraseBook": true}})"));
    EXPECT_EQ(count(kLanguage), 2);
    EXPECT_EQ(count(kMode), 2);
    EXPECT_FALSE(before.isValid());
    const QVLanguageMode after = language(store, "en_GB").languageModes();
    EXPECT_FALSE(after.translation());
    EXPECT_TRUE(after.phraseBook());
    EXPECT_TRUE(language(store, "de_DE").languageModes().translation()); // the other language keeps its own

    // An item without "modes", or with null, leaves the stored flags alone.
    import(kLanguage, json(R"({"localeIdentifier": "en_GB", "localeName": "English"})"));
    import(kLanguage, json(R"({"localeIdentifier": "en_GB", "modes": null})"));
    EXPECT_TRUE(language(store, "en_GB").languageModes().phraseBook());
    EXPECT_EQ(count(kMode), 2);

    // A language dropped from the catalogue takes its flags with it.
    write([&](Transaction &tx) { tx.remove(language(store, "de_DE")); });
    EXPECT_EQ(count(kMode), 1);
}

TEST_F(QVLanguageRealmMapping, MalformedItemsAreCoercedOrSkipped) {
    const QList<Object> stored = import(kLanguage, jsonArray(R"([
        {"localeIdentifier": "it_IT", "localeName": 12, "modes": {"Translation": "1", "PhraseBook": "yes",
                                                                   "ParseSite": "sometimes", "TranslateWebSite": 0}},
        {"localeName": "No identifier"},
        {"localeIdentifier": null, "localeName": "Null identifier"},
        "pt_PT",
        17,
        {"localeIdentifier": "pl_PL", "modes": "all", "imageFile": ["a"]},
        {"localeIdentifier": "nl_NL", "modes": [true, false]}])"));
    // One entry per item, null where an item was skipped.
    ASSERT_EQ(stored.size(), 7);
    for (int skipped : {1, 2, 3, 4})
        EXPECT_TRUE(stored.at(skipped).isNull()) << skipped;
    EXPECT_EQ(count(kLanguage), 3);

    const QVLanguageRealm it = language(store, "it_IT");
    EXPECT_EQ(it.languageName(), QStringLiteral("12"));
    EXPECT_TRUE(it.languageModes().translation());
    EXPECT_TRUE(it.languageModes().phraseBook());
    EXPECT_FALSE(it.languageModes().value(QStringLiteral("parseWebPage")).isValid());
    EXPECT_EQ(it.languageModes().value(QStringLiteral("translateWebSite")), QVariant(false));

    const QVLanguageRealm pl = language(store, "pl_PL");
    EXPECT_TRUE(pl.isValid());
    EXPECT_TRUE(pl.languageModes().isNull());
    EXPECT_TRUE(pl.imageFile().isNull());
    EXPECT_TRUE(language(store, "nl_NL").languageModes().isNull());
    EXPECT_EQ(count(kMode), 1);
}

TEST_F(QVLanguageRealmMapping, OutboundUsesTheSnakeCaseFormOfEachStoredProperty) {
    import(kLanguage, json(R"({"localeIdentifier": "ar_AE", "localeName": "Arabic", "languageString": "ar",
                               "modes": {"Translation": true}})"));
    const QVariantMap out = JSONMapping::JSONDictionary(language(store, "ar_AE")).toMap();
    EXPECT_EQ(out.value(QStringLiteral("locale_identifier")).toString(), QStringLiteral("ar_AE"));
    EXPECT_EQ(out.value(QStringLiteral("language_name")).toString(), QStringLiteral("Arabic"));
    EXPECT_EQ(out.value(QStringLiteral("language_string")).toString(), QStringLiteral("ar"));
    ASSERT_TRUE(out.contains(QStringLiteral("image_file")));
    EXPECT_EQ(out.value(QStringLiteral("image_file")).typeId(), QMetaType::Nullptr);
    EXPECT_TRUE(out.contains(
        QStringLiteral("voice_iac"))); // "voiceIDMac": only the first letter of a capital run stays
    EXPECT_EQ(out.value(QStringLiteral("synthesis_ios")).toList().size(), 0);
    const QVariantMap modes = out.value(QStringLiteral("language_modes")).toMap();
    EXPECT_EQ(modes.value(QStringLiteral("translation")), QVariant(true));
    EXPECT_EQ(modes.value(QStringLiteral("offline_translate")), QVariant(false));
    EXPECT_EQ(modes.value(QStringLiteral("phrase_book")).typeId(), QMetaType::Nullptr);
    EXPECT_FALSE(out.contains(QStringLiteral("is"))); // isRTL and isAuto are derived, never mapped
}

using QVLanguageRealmQueries = ModelStoreTest;

TEST_F(QVLanguageRealmQueries, LanguageWithCodeUsesTheFixedTableThenTheTwoLetterCode) {
    import(kLanguage, jsonArray(R"([
        {"localeIdentifier": "en_US", "languageString": "en"},
        {"localeIdentifier": "en_GB", "languageString": "en"},
        {"localeIdentifier": "de_AT", "languageString": "de"},
        {"localeIdentifier": "de_DE", "languageString": "de"},
        {"localeIdentifier": "es_MX", "languageString": "es"}])"));
    EXPECT_EQ(QVLanguageRealm::languageWithCode(QStringLiteral("en")).localeIdentifier(),
              QStringLiteral("en_GB"));
    EXPECT_EQ(QVLanguageRealm::languageWithCode(QStringLiteral("de")).localeIdentifier(),
              QStringLiteral("de_AT"));
    // "es" names es_ES, which the catalogue lacks: no fallback to another Spanish.
    EXPECT_TRUE(QVLanguageRealm::languageWithCode(QStringLiteral("es")).isNull());
    EXPECT_TRUE(QVLanguageRealm::languageWithCode(QStringLiteral("xx")).isNull());
    EXPECT_TRUE(QVLanguageRealm::languageWithCode(QString()).isNull());
    EXPECT_TRUE(QVLanguageRealm::languageWithCode(ObjectStore(), QStringLiteral("en")).isNull());
}

TEST_F(QVLanguageRealmQueries, DerivedFlagsAreComputedAndNeverStored) {
    const ObjectSchema schema = QVLanguageRealm::schema();
    for (const QString &ignored : QVLanguageRealm::ignoredProperties())
        EXPECT_EQ(schema.propertyNamed(ignored), nullptr) << ignored.toStdString();

    const QVLanguageRealm autoDetection = QVLanguageRealm::languageWithLocaleIdentifier(
        QStringLiteral("auto-detection"), QStringLiteral("Detect"), QStringLiteral("globe_new.png"),
        QString(), QString(), QString(), QString());
    EXPECT_FALSE(autoDetection.isManaged());
    EXPECT_TRUE(autoDetection.isAuto());
    EXPECT_FALSE(autoDetection.isRTL());

    write([&](Transaction &tx) {
        tx.add(autoDetection);
        tx.create(kLanguage, {{QStringLiteral("localeIdentifier"), QStringLiteral("ar_AE")}});
        tx.create(kLanguage, {{QStringLiteral("localeIdentifier"), QStringLiteral("fa_IR")}});
        tx.create(kLanguage, {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
    });
    const QVLanguageRealm storedAuto = language(store, "auto-detection");
    EXPECT_TRUE(storedAuto.isAuto());
    EXPECT_EQ(storedAuto.imageFile(), QStringLiteral("globe_new.png"));
    EXPECT_TRUE(storedAuto.languageModes().isNull());
    EXPECT_TRUE(language(store, "ar_AE").isRTL());
    EXPECT_TRUE(language(store, "fa_IR").isRTL());
    EXPECT_FALSE(language(store, "en_GB").isRTL());
    EXPECT_FALSE(language(store, "en_GB").isAuto());
}

TEST_F(QVLanguageRealmQueries, FactorySetsItsSevenFieldsAndComparisonUsesTheIdentifier) {
    const QVLanguageRealm made = QVLanguageRealm::languageWithLocaleIdentifier(
        QStringLiteral("uk_UA"), QStringLiteral("Ukrainian"), QStringLiteral("uk.png"), QStringLiteral("uk"),
        QStringLiteral("uk-voice"), QStringLiteral("uk-UA"), QStringLiteral("ukr"));
    EXPECT_EQ(made.localeIdentifier(), QStringLiteral("uk_UA"));
    EXPECT_EQ(made.languageName(), QStringLiteral("Ukrainian"));
    EXPECT_EQ(made.imageFile(), QStringLiteral("uk.png"));
    EXPECT_EQ(made.languageString(), QStringLiteral("uk"));
    EXPECT_EQ(made.voiceLocale(), QStringLiteral("uk-voice"));
    EXPECT_EQ(made.recognizerLocale(), QStringLiteral("uk-UA"));
    EXPECT_EQ(made.tesseractLanguageCode(), QStringLiteral("ukr"));
    EXPECT_EQ(made.synthesisIos().size(), 0);

    write([&](Transaction &tx) { tx.add(made); });
    const QVLanguageRealm stored = language(store, "uk_UA");
    EXPECT_EQ(stored.recognizerLocale(), QStringLiteral("uk-UA"));
    const QVLanguageRealm other = QVLanguageRealm::languageWithLocaleIdentifier(
        QStringLiteral("uk_UA"), QString(), QString(), QString(), QString(), QString(), QString());
    EXPECT_TRUE(stored.compareWithLanguage(other));
    EXPECT_FALSE(stored.compareWithLanguage(language(store, "missing")));
    EXPECT_FALSE(QVLanguageRealm().compareWithLanguage(QVLanguageRealm()));
}
