#include "services/analysis/QVSynonyms.h"

#include <gtest/gtest.h>

namespace {

QStringList names(const QVSynonyms &synonyms) {
    QStringList out;
    for (const QVPartOfSpeechObject &part : synonyms.storagePartOfSpeech())
        out.append(part.name());
    return out;
}

} // namespace

TEST(SynonymsTest, PartsOfSpeechKeepTheReplysOrder) {
    struct Case {
        const char *json;
        QStringList names;
    };
    const QList<Case> cases = {
        {R"({"verb": [], "noun": [], "adjective": []})", {"verb", "noun", "adjective"}},
        {R"({ "z" : [{"syns": "a,b", "translatedSyns": "{\"x\": [1]}"}] , "a":[[1,{"q":"}"}]], "m" : 3 })",
         {"z", "a", "m"}},
        {R"({"noun\"s": [], "\u00e9t\u00e9": []})", {"noun\"s", QString::fromUtf8("été")}},
        {R"({"verb": [], "verb": []})", {"verb"}},
        {R"({})", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.json);
        platform::Error error;
        const QVSynonyms synonyms =
            QVSynonyms::initWithJson(QByteArray(c.json), QStringLiteral("run"), &error);
        EXPECT_FALSE(error);
        EXPECT_EQ(names(synonyms), c.names);
        EXPECT_EQ(synonyms.original(), QStringLiteral("run"));
    }
}

TEST(SynonymsTest, PairsKeepTheirOrderAndAbsentKeysStayNull) {
    const QVSynonyms synonyms = QVSynonyms::initWithJson(
        R"({"verb": [{"syns": "go, move", "translatedSyns": "gehen, bewegen"}, {"syns": "sprint"}, 7,
                     {"translatedSyns": "laufen"}, {"syns": 12}]})",
        QStringLiteral("run"));
    ASSERT_EQ(synonyms.storagePartOfSpeech().size(), 1);
    const QList<QVSynonymOne> pairs = synonyms.storagePartOfSpeech()[0].storageSynonyms();
    ASSERT_EQ(pairs.size(), 4) << "an element that is not an object is skipped";
    EXPECT_EQ(pairs[0].syns(), QStringLiteral("go, move"));
    EXPECT_EQ(pairs[0].translatedSyns(), QStringLiteral("gehen, bewegen"));
    EXPECT_EQ(pairs[1].syns(), QStringLiteral("sprint"));
    EXPECT_TRUE(pairs[1].translatedSyns().isNull());
    EXPECT_TRUE(pairs[2].syns().isNull());
    EXPECT_EQ(pairs[2].translatedSyns(), QStringLiteral("laufen"));
    EXPECT_EQ(pairs[3].syns(), QStringLiteral("12"));
}

TEST(SynonymsTest, TextThatIsNoObjectGivesNoPartsAndAnError) {
    for (const char *json : {"[]", "not json", "", "{\"verb\": [", "\"text\""}) {
        SCOPED_TRACE(json);
        platform::Error error;
        const QVSynonyms synonyms = QVSynonyms::initWithJson(QByteArray(json), QStringLiteral("run"), &error);
        EXPECT_TRUE(error);
        EXPECT_TRUE(synonyms.storagePartOfSpeech().isEmpty());
        EXPECT_TRUE(QVSynonyms::orderedKeysOfJsonObject(QByteArray(json)).isEmpty());
    }
}

TEST(SynonymsTest, DictionariesGiveTheirOwnKeyOrder) {
    const QVSynonyms synonyms = QVSynonyms::initWithDictionary(
        {{"verb", QVariantList{QVariantMap{{"syns", "go"}}}}, {"adverb", QVariantList()}}, QString());
    EXPECT_EQ(names(synonyms), (QStringList{"adverb", "verb"}));
    EXPECT_TRUE(synonyms.original().isNull());
    EXPECT_TRUE(QVSynonyms::initWithDictionary({}, QStringLiteral("w")).storagePartOfSpeech().isEmpty());
}
