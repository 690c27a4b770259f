#include "ModelTestStore.h"

#include "core/models/QVStringRealm.h"
#include "core/models/QVUnknownWord.h"

using platform::Transaction;

using QVUnknownWordTest = ModelStoreTest;

TEST_F(QVUnknownWordTest, AWordStoredAgainKeepsOneRecordWithTheLastTarget) {
    EXPECT_TRUE(QVUnknownWord::initWithWord(QString(), QStringLiteral("en")).isNull());
    EXPECT_TRUE(QVUnknownWord::initWithWord(QStringLiteral(""), QStringLiteral("en")).isNull());

    write([&](Transaction &tx) {
        tx.add(QVUnknownWord::initWithWord(QStringLiteral("Fernweh"), QStringLiteral("en")));
        tx.add(QVUnknownWord::initWithWord(QStringLiteral("Fernweh"), QStringLiteral("fr")));
    });
    EXPECT_EQ(count(QStringLiteral("QVUnknownWord")), 1);
    const QVUnknownWord word(
        store.objectForPrimaryKey(QStringLiteral("QVUnknownWord"), QStringLiteral("Fernweh")));
    EXPECT_EQ(word.to(), QStringLiteral("fr"));
    // The upload sends each word with its target code.
    EXPECT_EQ(JSONMapping::JSONDictionary(word).toMap(),
              (QVariantMap{{QStringLiteral("word"), QStringLiteral("Fernweh")},
                           {QStringLiteral("to"), QStringLiteral("fr")}}));
}

TEST_F(QVUnknownWordTest, KeylessRecordsAreStandaloneUntilAddedAndGoWithTheListHoldingThem) {
    const QVStringRealm de = QVStringRealm::stringFromString(QStringLiteral("de"));
    EXPECT_FALSE(de.isManaged());
    EXPECT_EQ(de.value(), QStringLiteral("de"));

    // Dictionary senses stored in a list go with the part of speech that holds them.
    write([&](Transaction &tx) {
        tx.create(QStringLiteral("QVPartOfSpeech"),
                  {{QStringLiteral("name"), QStringLiteral("noun")},
                   {QStringLiteral("storageLexicalPart"),
                    QVariantList{QVariantMap{{QStringLiteral("syn"), QStringLiteral("a,b")}}}}});
    });
    EXPECT_EQ(count(QStringLiteral("QVLexicalPart")), 1);
    write([&](Transaction &tx) { tx.removeAll(QStringLiteral("QVPartOfSpeech")); });
    EXPECT_EQ(count(QStringLiteral("QVLexicalPart")), 0);
}
