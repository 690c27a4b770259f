#include "HistoryTestStore.h"

#include "core/history/QVTranslationService.h"

namespace {

QVariantMap favourite(const char *from, const char *to, const char *textFrom, const char *textTo) {
    return {{"languageFrom", from}, {"languageTo", to}, {"textFrom", textFrom}, {"textTo", textTo}};
}

} // namespace

TEST_F(HistoryStoreTest, DuplicateMatchNeedsSamePairAndTextsButNotTheFavouriteFlag) {
    save(1, "hello", "hallo", 1, false);
    save(2, "world", "Welt", 2, true);

    EXPECT_TRUE(QVTranslationService::isTranslationFavoriteObjectExistWithDictionary(
        favourite("en_GB", "de_DE", "hello", "hallo")));
    EXPECT_EQ(QVTranslationService::translationRealmCoincidentWithDictionary(
                  favourite("en_GB", "de_DE", "hello", "hallo"))
                  .idTranslation(),
              1);
    EXPECT_EQ(QVTranslationService::translationRealmCoincidentWithDictionary(
                  favourite("en_GB", "de_DE", "world", "Welt"))
                  .idTranslation(),
              2);

    for (const QVariantMap &other :
         {favourite("en_GB", "de_DE", "hello", "Hallo!"), favourite("en_GB", "de_DE", "Hello", "hallo"),
          favourite("de_DE", "en_GB", "hello", "hallo"), favourite("en_GB", "fr_FR", "hello", "hallo")}) {
        EXPECT_FALSE(QVTranslationService::isTranslationFavoriteObjectExistWithDictionary(other));
        EXPECT_TRUE(QVTranslationService::translationRealmCoincidentWithDictionary(other).isNull());
    }
}

TEST_F(HistoryStoreTest, DuplicateMatchWithAMissingValueMatchesNothing) {
    write([&](platform::Transaction &tx) {
        // A stored record without a translated text must not match a favourite lacking one.
        tx.create(QVTranslationRealm::storeClassName(),
                  {{"idTranslation", 9},
                   {"languageFrom", QVariant::fromValue<platform::Object>(english)},
                   {"languageTo", QVariant::fromValue<platform::Object>(german)},
                   {"originalText", "hello"}});
    });
    QVariantMap incomplete = favourite("en_GB", "de_DE", "hello", "");
    incomplete.remove("textTo");
    EXPECT_FALSE(QVTranslationService::isTranslationFavoriteObjectExistWithDictionary(incomplete));
    EXPECT_TRUE(QVTranslationService::translationRealmCoincidentWithDictionary(incomplete).isNull());
}
