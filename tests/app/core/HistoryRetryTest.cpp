#include "HistoryTestStore.h"

// A save that is rolled back with the write around it leaves the caller's
// records as they were, so that saving them again stores them.
TEST_F(HistoryStoreTest, RecordsOfAFailedSaveKeepTheirValuesAndARetryStoresThem) {
    const auto unsaved = [&](qint64 id, const QString &text) {
        return QVTranslationRealm(platform::Object::unmanaged(
            QVTranslationRealm::schema(),
            {{QStringLiteral("idTranslation"), id},
             {QStringLiteral("originalText"), text},
             {QStringLiteral("translatedText"), text.toUpper()},
             {QStringLiteral("languageFrom"), QVariant::fromValue<platform::Object>(english)},
             {QStringLiteral("languageTo"), QVariant::fromValue<platform::Object>(german)}}));
    };
    const QList<QVTranslationRealm> records = {unsaved(1, QStringLiteral("one")),
                                               unsaved(2, QStringLiteral("two"))};
    const QList<QVUnknownWord> words = {
        QVUnknownWord::initWithWord(QStringLiteral("Hausboot"), QStringLiteral("en")),
        QVUnknownWord::initWithWord(QStringLiteral("Fernweh"), QStringLiteral("en"))};
    bool completed = false;
    const platform::Error error = store.write([&](platform::Transaction &) {
        EXPECT_FALSE(manager().saveTranslations(records, [&] { completed = true; }));
        EXPECT_FALSE(manager().saveUnknownWords(words));
        throw std::runtime_error("the write around the saves fails");
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(count(QVTranslationRealm::storeClassName()), 0);
    EXPECT_EQ(count(QVUnknownWord::storeClassName()), 0);
    for (const QVTranslationRealm &record : records) {
        EXPECT_FALSE(record.isManaged());
        EXPECT_FALSE(record.originalText().isEmpty());
        EXPECT_EQ(record.translatedText(), record.originalText().toUpper());
        EXPECT_EQ(record.languageFrom(), english);
    }
    for (const QVUnknownWord &word : words) {
        EXPECT_FALSE(word.isManaged());
        EXPECT_FALSE(word.word().isEmpty());
    }

    completed = false;
    ASSERT_FALSE(manager().saveTranslations(records, [&] { completed = true; }));
    ASSERT_FALSE(manager().saveUnknownWords(words));
    EXPECT_TRUE(completed);
    EXPECT_EQ(byId(2).translatedText(), QStringLiteral("TWO"));
    EXPECT_EQ(byId(1).languageTo(), german);
    EXPECT_EQ(count(QVUnknownWord::storeClassName()), 2);
}
