#include "core/models/QVLexicalMeaning.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

QVariantMap json(const char *text) {
    return QJsonDocument::fromJson(QByteArray(text)).toVariant().toMap();
}

QVLexicalPart sense(const QString &meaning) {
    return QVLexicalPart::initWithValue({{QStringLiteral("meaning"), meaning}});
}

QStringList names(const QVLexicalMeaning &entry) {
    QStringList out;
    for (const QVPartOfSpeech &part : entry.partsOfSpeech())
        out.append(part.name());
    return out;
}

} // namespace

TEST(QVLexicalMeaning, OnlyTheFourKnownPartsOfSpeechAreKeptAndTheLookedUpTextStandsInForTheWord) {
    const QVLexicalMeaning entry = QVLexicalMeaning::initWithDictionary(
        json(
            R"({"partsOfSpeech": {"pronoun": [{"meaning": "x"}], "noun": [{"meaning": "a thing"}, {"syn": "b,c"}]}})"),
        QStringLiteral("thing"));
    ASSERT_FALSE(entry.isNull());
    EXPECT_EQ(entry.original(), QStringLiteral("thing"));
    EXPECT_TRUE(entry.transcription().isNull());
    EXPECT_EQ(names(entry), QStringList{QStringLiteral("noun")});
    const QList<QVLexicalPart> senses = entry.partsOfSpeech().first().lexicalParts();
    ASSERT_EQ(senses.size(), 2);
    EXPECT_EQ(senses.at(0).meaning(), QStringLiteral("a thing"));
    EXPECT_EQ(senses.at(1).syn(), QStringLiteral("b,c"));
    EXPECT_FALSE(entry.isEmpty());
    EXPECT_FALSE(entry.isManaged());
}

TEST(QVLexicalMeaning, AnEmptyDictionaryGivesNoEntryUnlessThereIsALookedUpText) {
    EXPECT_TRUE(QVLexicalMeaning::initWithDictionary({}, QString()).isNull());
    const QVLexicalMeaning entry = QVLexicalMeaning::initWithDictionary({}, QStringLiteral("word"));
    ASSERT_FALSE(entry.isNull());
    EXPECT_TRUE(entry.isEmpty());
    EXPECT_EQ(entry.original(), QStringLiteral("word"));

    // A transcription alone, or examples alone, are enough for an entry.
    EXPECT_FALSE(
        QVLexicalMeaning::initWithDictionary(json(R"({"transcription": "wɜːd"})"), QString()).isNull());
    const QVLexicalMeaning examplesOnly =
        QVLexicalMeaning::initWithDictionary(json(R"({"examples": [{"fromText": "a"}]})"), QString());
    ASSERT_FALSE(examplesOnly.isNull());
    EXPECT_FALSE(examplesOnly.isEmpty());
}

TEST(QVLexicalMeaning, WordTranscriptionAndExamplesAreTakenInOrder) {
    const QVLexicalMeaning entry =
        QVLexicalMeaning::initWithDictionary(json(R"({"word": "run", "transcription": "rʌn",
                 "examples": [{"fromText": "I run", "toText": "Ich laufe"}, {"toText": "nur"}, {}]})"),
                                             QStringLiteral("ran"));
    ASSERT_FALSE(entry.isNull());
    EXPECT_EQ(entry.original(), QStringLiteral("run")); // the dictionary's word wins over the looked-up text
    EXPECT_EQ(entry.transcription(), QStringLiteral("rʌn"));
    const QList<QVExample> examples = entry.exampleList();
    ASSERT_EQ(examples.size(), 3);
    EXPECT_EQ(examples.at(0).fromText(), QStringLiteral("I run"));
    EXPECT_EQ(examples.at(0).toText(), QStringLiteral("Ich laufe"));
    EXPECT_EQ(examples.at(1).fromText(), QStringLiteral(""));
    EXPECT_FALSE(examples.at(1).fromText().isNull());
    EXPECT_EQ(examples.at(1).toText(), QStringLiteral("nur"));
}

TEST(QVLexicalMeaning, PartsOfSpeechFollowAFixedOrderWhateverTheIncomingOrder) {
    // Whatever order the keys arrive in, the entry lists noun, verb, adjective, adverb.
    const QVLexicalMeaning entry = QVLexicalMeaning::initWithDictionary(
        json(
            R"({"partsOfSpeech": {"adverb": [], "verb": [{"meaning": "v"}], "adjective": [], "noun": [], "interjection": []}})"),
        QStringLiteral("fast"));
    EXPECT_EQ(names(entry), (QStringList{QStringLiteral("noun"), QStringLiteral("verb"),
                                         QStringLiteral("adjective"), QStringLiteral("adverb")}));

    QVariantMap partsOfSpeech;
    partsOfSpeech.insert(QStringLiteral("verb"), QVariantList{});
    partsOfSpeech.insert(QStringLiteral("adjective"), QVariantList{});
    const QVLexicalMeaning two = QVLexicalMeaning::initWithDictionary(
        {{QStringLiteral("partsOfSpeech"), partsOfSpeech}}, QStringLiteral("quick"));
    EXPECT_EQ(names(two), (QStringList{QStringLiteral("verb"), QStringLiteral("adjective")}));
}

TEST(QVLexicalMeaning, MalformedItemsAreSkippedOrCoerced) {
    const QVLexicalMeaning entry =
        QVLexicalMeaning::initWithDictionary(json(R"({"word": {"not": "text"}, "transcription": 7,
                 "partsOfSpeech": {"noun": "not an array", "verb": [{"meaning": 3, "syn": ["x"], "extra": 1}, "text", 5, null]},
                 "examples": [{"fromText": 1, "toText": null}, "text", 4]})"),
                                             QStringLiteral("w"));
    ASSERT_FALSE(entry.isNull());
    EXPECT_EQ(entry.original(), QStringLiteral("w"));
    EXPECT_EQ(entry.transcription(), QStringLiteral("7"));
    ASSERT_EQ(names(entry), QStringList{QStringLiteral("verb")});
    const QList<QVLexicalPart> senses = entry.partsOfSpeech().first().lexicalParts();
    ASSERT_EQ(senses.size(), 1);
    EXPECT_EQ(senses.first().meaning(), QStringLiteral("3"));
    EXPECT_TRUE(senses.first().syn().isNull());
    ASSERT_EQ(entry.exampleList().size(), 1);
    EXPECT_EQ(entry.exampleList().first().fromText(), QStringLiteral("1"));
    EXPECT_EQ(entry.exampleList().first().toText(), QStringLiteral(""));

    // Parts of speech that are not a dictionary, or examples that are not an array, give nothing.
    EXPECT_TRUE(QVLexicalMeaning::initWithDictionary(json(R"({"partsOfSpeech": [1], "examples": {"a": 1}})"),
                                                     QString())
                    .isNull());
}

TEST(QVPartOfSpeech, NameIsSetOnlyWhenGivenAndSensesKeepTheirOrder) {
    const QVPartOfSpeech unnamed =
        QVPartOfSpeech::initWithArray({QVariantMap{{QStringLiteral("meaning"), QStringLiteral("one")}},
                                       QVariantMap{{QStringLiteral("meaning"), QStringLiteral("two")}}},
                                      QString());
    EXPECT_TRUE(unnamed.name().isNull());
    ASSERT_EQ(unnamed.lexicalParts().size(), 2);
    EXPECT_EQ(unnamed.lexicalParts().at(1).meaning(), QStringLiteral("two"));
    EXPECT_EQ(QVPartOfSpeech::initWithArray({}, QStringLiteral("adverb")).name(), QStringLiteral("adverb"));
}

TEST(QVLexicalPart, DefinitionAndExamplesAreSplitAtTheFirstQuoteWithParenthesesRemoved) {
    const QVLexicalPart part = sense(QStringLiteral("(informal) move fast \"he ran home; she runs daily\""));
    EXPECT_EQ(part.definition(), QStringLiteral("informal move fast ")); // trailing space kept
    EXPECT_EQ(part.exempleOfDefinition(), QStringLiteral("\"he ran home; she runs daily\""));
    EXPECT_EQ(part.exemplesOfDefinition(),
              (QStringList{QStringLiteral("\"he ran home"), QStringLiteral("she runs daily\"")}));

    const QVLexicalPart plain = sense(QStringLiteral("a (small) dog"));
    EXPECT_EQ(plain.definition(), QStringLiteral("a small dog"));
    EXPECT_EQ(plain.exempleOfDefinition(), QStringLiteral(""));
    EXPECT_TRUE(plain.exemplesOfDefinition().isEmpty());

    const QVLexicalPart quoteOnly = sense(QStringLiteral("ab\""));
    EXPECT_EQ(quoteOnly.exempleOfDefinition(), QStringLiteral("\""));
    EXPECT_TRUE(quoteOnly.exemplesOfDefinition().isEmpty()); // an example text under 2 characters
}

TEST(QVLexicalPart, TooShortOrMissingMeaningGivesEmptyTexts) {
    for (const QString &meaning : {QStringLiteral("x"), QString(), QStringLiteral("\"")}) {
        const QVLexicalPart part = sense(meaning);
        EXPECT_EQ(part.definition(), QStringLiteral(""));
        EXPECT_FALSE(part.definition().isNull());
        EXPECT_EQ(part.exempleOfDefinition(), QStringLiteral(""));
        EXPECT_TRUE(part.exemplesOfDefinition().isEmpty());
    }
}

TEST(QVLexicalPart, RelatedWordsDropDuplicatesAndTheWordItselfInFirstSeenOrder) {
    const QVLexicalPart part =
        QVLexicalPart::initWithValue({{QStringLiteral("syn"), QStringLiteral("go,walk,go")},
                                      {QStringLiteral("hypernym"), QStringLiteral("z,y,x,y,move")},
                                      {QStringLiteral("hyponym"), QStringLiteral("go")}});
    EXPECT_EQ(part.synonymWithOrigin(QStringLiteral("go")), QStringLiteral("walk"));
    EXPECT_EQ(part.hypernymWithOrigin(QStringLiteral("move")), QStringLiteral("z, y, x"));
    EXPECT_EQ(part.hyponymWithOrigin(QStringLiteral("go")), QStringLiteral(""));
    EXPECT_EQ(QVLexicalPart::joinedWithoutOrigin(QString(), QStringLiteral("go")), QStringLiteral(""));
}

TEST(QVLexicalPart, RelatedWordsAreComparedAndJoinedWithoutTheirBlanks) {
    const struct {
        const char *list, *origin, *expected;
    } cases[] = {
        {"go, go, run", "go", "run"},             // a blank before a piece never hides the word itself
        {"dog, hound,hound ,  cur", "dog", "hound, cur"}, // duplicates collapse whatever their blanks
        {"walk,, ,run", "go", "walk, run"},       // empty pieces leave no double separators
        {" go ", "go", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(QVLexicalPart::joinedWithoutOrigin(QString::fromUtf8(c.list), QString::fromUtf8(c.origin)),
                  QString::fromUtf8(c.expected));
    }
}
