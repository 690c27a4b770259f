#include "PackageTestStore.h"

#include "core/localization/QVLocalizedString.h"

using platform::Key;

namespace {

QStringList urlsOf(const QVPackagesRealm &language) {
    QStringList urls;
    for (const platform::Object &package : language.packages().toList())
        urls.append(QVLanguagePackageRealm(package).packageUrl().section(QLatin1Char('/'), -2));
    return urls;
}

} // namespace

TEST_F(PackageStoreTest, CatalogueStoresUsablePackagesOnly) {
    storeCatalogue();
    // Mobile models, object recognition for other languages than English and
    // items without an archive are left out.
    QStringList stored;
    for (const platform::Object &o :
         store.objects(QVLanguagePackageRealm::storeClassName()).sorted("packageUrl").toList())
        stored.append(QVLanguagePackageRealm(o).packageUrl().section(QLatin1Char('/'), -2));
    EXPECT_EQ(stored, QStringList({"dict/fr.zip", "models/de.zip", "models/fr.zip", "models/it.zip",
                                   "objects/en.zip", "ocr/deu.zip"}));
    EXPECT_EQ(package("models/de.zip").packageUrl(),
              QStringLiteral("http://127.0.0.1:9/v2/static/models/de.zip"));
    EXPECT_FALSE(package("models/de.zip").isDownloaded());
    EXPECT_EQ(package("models/de.zip").version(), QStringLiteral("3"));
}

TEST_F(PackageStoreTest, CatalogueGroupsPackagesPerLanguageWithFlags) {
    const QList<QVPackagesRealm> all =
        QVPackagesMapper::arrayPackagesForJSONArray(jsonArray(kPackageCatalogue));
    QStringList codes;
    for (const QVPackagesRealm &language : all)
        codes.append(language.languageCode());
    codes.sort();
    // Tlingit (only a mobile package) and the broken item give no language.
    EXPECT_EQ(codes, QStringList({"de", "en", "fr", "it"}));

    EXPECT_EQ(language("de").localName(), QStringLiteral("Deutsch"));
    EXPECT_EQ(language("de").imageUrl(), QStringLiteral("flag_de"));
    EXPECT_EQ(urlsOf(language("de")), QStringList({"models/de.zip", "ocr/deu.zip"}));
    EXPECT_EQ(urlsOf(language("fr")), QStringList({"models/fr.zip", "dict/fr.zip"}));
    // No catalogue language for Italian: an empty picture address, not none.
    EXPECT_TRUE(language("it").imageUrl().isEmpty());
    EXPECT_FALSE(language("it").imageUrl().isNull());
    EXPECT_EQ(package("ocr/deu.zip").owners().first(), language("de"));

    EXPECT_EQ(QVPackagesMapper::imageUrlForLanguage(QStringLiteral("fr")), QStringLiteral("flag_fr"));
    EXPECT_TRUE(QVPackagesMapper::imageUrlForLanguage(QStringLiteral("it")).isNull());
}

TEST_F(PackageStoreTest, SizesAreMegabytesRoundedHalfAwayFromZero) {
    storeCatalogue();
    EXPECT_FLOAT_EQ(package("models/de.zip").packageSize(), 100.0f);
    EXPECT_EQ(package("models/de.zip").formatPackageSize(), QStringLiteral("100mb"));
    EXPECT_EQ(package("ocr/deu.zip").formatPackageSize(), QStringLiteral("2mb")); // 1.5 MB
    EXPECT_EQ(language("de").formatPackageSize(), QStringLiteral("102mb"));
    // 100.4 MB + 50.3 MB
    EXPECT_EQ(package("models/fr.zip").formatPackageSize(), QStringLiteral("100mb"));
    EXPECT_EQ(package("dict/fr.zip").formatPackageSize(), QStringLiteral("50mb"));
    EXPECT_EQ(language("fr").formatPackageSize(), QStringLiteral("151mb"));
    EXPECT_EQ(language("fr").formatTypes(), QList<uint>({2, 5}));
    EXPECT_EQ(language("it").formatTypes(), QList<uint>({1}));
}

TEST_F(PackageStoreTest, SizesOutOfRangeAreClampedNeverShownNegative) {
    const struct {
        const char *size; // the catalogue's "model"."size" in bytes, as JSON
        const char *shown;
    } cases[] = {
        {"1e30", "9223372036854775807mb"},
        {"1e300", "9223372036854775807mb"},
        {"9.7e24", "9223372036854775807mb"},
        {"-5242880", "0mb"},
        {"-1e30", "0mb"},
        {"\"big\"", "0mb"},
        {"524288", "1mb"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        const QByteArray item =
            QByteArray(R"([{"lang": "de", "local_lang": "Deutsch", "type": "opennmt-desktop",
            "model": {"size": )") +
            c.size + R"(, "url": "big/de.zip"}, "update": {"size": )" + c.size +
            R"(, "url": "big/de-2.zip"}}])";
        ASSERT_FALSE(QVPackagesMapper::createRealmObject(jsonArray(item.constData())));
        const QVLanguagePackageRealm stored = package("big/de.zip");
        ASSERT_TRUE(stored.isValid());
        EXPECT_EQ(stored.formatPackageSize(), QString::fromLatin1(c.shown));
        EXPECT_EQ(stored.formatUpdateSize(), QString::fromLatin1(c.shown));
        EXPECT_EQ(language("de").formatPackageSize(), QString::fromLatin1(c.shown));
    }
    // Two packages at the largest size still add up to the largest shown, not to a negative one.
    ASSERT_FALSE(QVPackagesMapper::createRealmObject(jsonArray(R"([
        {"lang": "de", "local_lang": "Deutsch", "type": "opennmt-desktop", "model": {"size": 1e300, "url": "big/de.zip"}},
        {"lang": "de", "local_lang": "Deutsch", "type": "wordnet", "model": {"size": 1e300, "url": "big/wn.zip"}}])")));
    EXPECT_EQ(language("de").formatPackageSize(), QStringLiteral("9223372036854775807mb"));
}

TEST_F(PackageStoreTest, UpdateFieldsAreStoredInMegabytesLikeThePackage) {
    storeCatalogue();
    const QVLanguagePackageRealm german = package("models/de.zip");
    EXPECT_EQ(german.compressedSize(), QStringLiteral("95 MB"));
    EXPECT_EQ(german.updateCompressedSize(), QStringLiteral("12 MB"));
    EXPECT_EQ(german.updateUrl(), QStringLiteral("https://cdn.example/models/de-4.zip"));
    ASSERT_TRUE(german.updateSize().has_value());
    EXPECT_FLOAT_EQ(*german.updateSize(), 20.0f);
    EXPECT_EQ(german.formatUpdateSize(), QStringLiteral("20mb"));

    // A null update stores nothing; a numeric archive size is kept as text.
    const QVLanguagePackageRealm ocr = package("ocr/deu.zip");
    EXPECT_TRUE(ocr.updateUrl().isNull());
    EXPECT_TRUE(ocr.updateCompressedSize().isNull());
    EXPECT_FALSE(ocr.updateSize().has_value());
    EXPECT_TRUE(ocr.formatUpdateSize().isEmpty());
    EXPECT_EQ(ocr.compressedSize(), QStringLiteral("1200000"));
}

TEST_F(PackageStoreTest, RefreshKeepsDownloadedFlagAndUpdatesTheRest) {
    storeCatalogue();
    markDownloaded("models/de.zip");
    QVariantList refreshed = jsonArray(kPackageCatalogue);
    QVariantMap german = refreshed[0].toMap();
    german["version"] = "4";
    refreshed[0] = german;
    ASSERT_FALSE(QVPackagesMapper::createRealmObject(refreshed));

    EXPECT_TRUE(package("models/de.zip").isDownloaded());
    EXPECT_EQ(package("models/de.zip").version(), QStringLiteral("4"));
    EXPECT_EQ(count(QVLanguagePackageRealm::storeClassName()), 6);
    EXPECT_EQ(language("de").packages().size(), 2);
}

TEST_F(PackageStoreTest, CatalogueJoinsAnOpenTransaction) {
    // Rolling back the caller's transaction takes the catalogue with it.
    const platform::Error error = store.write([&](platform::Transaction &) {
        ASSERT_FALSE(QVPackagesMapper::createRealmObject(jsonArray(kPackageCatalogue)));
        EXPECT_EQ(count(QVPackagesRealm::storeClassName()), 4);
        throw std::runtime_error("caller gives up");
    });
    EXPECT_TRUE(error);
    EXPECT_EQ(count(QVLanguagePackageRealm::storeClassName()), 0);
    EXPECT_EQ(count(QVPackagesRealm::storeClassName()), 0);
}

TEST_F(PackageStoreTest, LanguagesSortByLocalName) {
    storeCatalogue();
    QStringList names;
    for (const QVPackagesRealm &language : QVPackagesRealm::allSorted().toList<QVPackagesRealm>())
        names.append(language.localName());
    EXPECT_EQ(names, QStringList({"Deutsch", "English", "Français", "Italiano"}));
}

TEST_F(PackageStoreTest, PackageKindsAndTheirNames) {
    storeCatalogue();
    EXPECT_EQ(package("models/de.zip").formatType(), 2u);
    EXPECT_EQ(package("ocr/deu.zip").formatType(), 4u);
    EXPECT_EQ(package("dict/fr.zip").formatType(), 5u);
    EXPECT_EQ(package("objects/en.zip").formatType(), 0u);
    EXPECT_EQ(QVLanguagePackageRealm::formatTypeForType(QStringLiteral("opennmt-mobile")), 3u);

    EXPECT_EQ(package("ocr/deu.zip").formattedName(),
              QVLocalizedString(QStringLiteral("_loc_image_translation")));
    EXPECT_EQ(package("models/de.zip").formattedName(),
              QVLocalizedString(QStringLiteral("_loc_text_translation")));
    EXPECT_EQ(package("dict/fr.zip").formattedName(), QVLocalizedString(QStringLiteral("_loc_dictionary")));
    EXPECT_EQ(package("objects/en.zip").formattedName(),
              QVLocalizedString(QStringLiteral("_loc_object_translation")));
    EXPECT_EQ(package("models/it.zip").formattedName(), QStringLiteral("mtplz"));
}

TEST(QVLanguagePackageRealmTest, PreprocessingLeavesOutItemsItCannotUse) {
    EXPECT_FALSE(QVLanguagePackageRealm::preprocessedJSON(
        {{"type", "opennmt-mobile"}, {"lang", "de"}, {"model", QVariantMap{{"url", "a.zip"}, {"size", 1}}}}));
    EXPECT_FALSE(QVLanguagePackageRealm::preprocessedJSON({{"type", "opennmt-desktop"}, {"lang", "de"}}));
    const auto french =
        QVLanguagePackageRealm::preprocessedJSON({{"type", "parseImageObjectIOS"},
                                                  {"lang", "fr"},
                                                  {"model", QVariantMap{{"url", "o.zip"}, {"size", 1}}}});
    ASSERT_TRUE(french);
    EXPECT_TRUE(french->isEmpty());
}
