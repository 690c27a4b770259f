#include "services/analysis/QVPartOfSpeechService.h"

#include "core/localization/DJLocalizationSystem.h"
#include "services/graphics/QVMStyleService.h"

#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

const QColor kRed(Qt::red);
const QColor kBlack(Qt::black);
const QColor kWhite(Qt::white);

// Debian's wordnet-base, the tagger's data here.
class PartOfSpeechTest : public ::testing::Test {
protected:
    void SetUp() override { QVPartOfSpeechService::setWordNetFolder(QStringLiteral("/usr/share/wordnet")); }
    void TearDown() override { QVPartOfSpeechService::setWordNetFolder(QString()); }
};

} // namespace

TEST_F(PartOfSpeechTest, ColoursOnlyTheWordsOfTheChosenTypeInRed) {
    struct Case {
        const char *text;
        qint64 type;
        QStringList red;
    };
    const QList<Case> cases = {
        {"He runs fast", QVPartOfSpeechService::Verb, {"runs"}},
        {"He runs fast", QVPartOfSpeechService::Adverb, {"fast"}},
        {"He runs fast", QVPartOfSpeechService::Pronoun, {"He"}},
        {"He runs fast", QVPartOfSpeechService::Noun, {}},
        {"The big dog ate two apples.", QVPartOfSpeechService::Noun, {"dog", "apples"}},
        {"The big dog ate two apples.", QVPartOfSpeechService::Adjective, {"big"}},
        {"The big dog ate two apples.", QVPartOfSpeechService::Verb, {"ate"}},
        {"She gave them her old books quickly.", QVPartOfSpeechService::Pronoun, {"She", "them"}},
        {"She gave them her old books quickly.", QVPartOfSpeechService::Adverb, {"quickly"}},
        {"Children were running to the houses", QVPartOfSpeechService::Verb, {"were", "running"}},
        {"Children were running to the houses", QVPartOfSpeechService::Noun, {"Children", "houses"}},
        // A word's neighbours decide between its parts of speech.
        {"I love you", QVPartOfSpeechService::Verb, {"love"}},
        {"We should study harder", QVPartOfSpeechService::Verb, {"should", "study"}},
        {"They have finished their work", QVPartOfSpeechService::Noun, {"work"}},
        {"They have finished their work", QVPartOfSpeechService::Verb, {"have", "finished"}},
        {"He drives a red car", QVPartOfSpeechService::Adjective, {"red"}},
        {"He drives a red car", QVPartOfSpeechService::Noun, {"car"}},
        {"He was very happy", QVPartOfSpeechService::Adverb, {"very"}},
        {"The chicken soup is hot", QVPartOfSpeechService::Adjective, {"hot"}},
        {"Give it back to me", QVPartOfSpeechService::Verb, {"Give"}},
        {"I went to school", QVPartOfSpeechService::Noun, {"school"}},
        {"We did. Books sell well.", QVPartOfSpeechService::Noun, {"Books"}},
        {"He runs fast", QVPartOfSpeechService::None, {}},
        {"He runs fast", 6, {}},
        {"He runs fast", -1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " type " + std::to_string(c.type));
        const QVAttributedString coloured = QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(
            QString::fromLatin1(c.text), QStringLiteral("en"), c.type, kBlack);
        EXPECT_EQ(coloured.string(), QString::fromLatin1(c.text)) << "the characters stay the same";
        EXPECT_EQ(coloured.stretchesWithColor(kRed), c.red);
        // Everything that is not red is the base colour.
        for (qsizetype i = 0; i < coloured.length(); ++i) {
            const QColor colour = coloured.foregroundColorAt(i);
            EXPECT_TRUE(colour == kRed || colour == kBlack) << i;
        }
    }
}

TEST_F(PartOfSpeechTest, RangesAreUtf16PositionsOfTheWholeText) {
    // A character outside the basic plane takes two positions; a line break one.
    const QString text = QStringLiteral("\U0001F600 Birds sing.\nHe runs");
    const QVAttributedString coloured = QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(
        text, QStringLiteral("en_GB"), 3, kBlack);
    ASSERT_EQ(coloured.stretchesWithColor(kRed), (QStringList{"sing", "runs"}));
    const QList<QVColorRun> runs = coloured.runs();
    QList<QVTextRange> red;
    quint64 covered = 0;
    for (const QVColorRun &run : runs) {
        EXPECT_EQ(run.range.location, covered) << "runs follow each other without gaps";
        covered += run.range.length;
        if (run.color == kRed)
            red.append(run.range);
    }
    EXPECT_EQ(covered, static_cast<quint64>(text.size()));
    EXPECT_EQ(red, (QList<QVTextRange>{{9, 4}, {18, 4}}));

    // Applied to a document, the same positions are red.
    QTextDocument document;
    coloured.applyTo(&document);
    EXPECT_EQ(document.toPlainText(), text);
    QTextCursor cursor(&document);
    cursor.setPosition(10);
    EXPECT_EQ(cursor.charFormat().foreground().color(), kRed);
    cursor.setPosition(7);
    EXPECT_EQ(cursor.charFormat().foreground().color(), kBlack);
    cursor.setPosition(20);
    EXPECT_EQ(cursor.charFormat().foreground().color(), kRed);
}

TEST_F(PartOfSpeechTest, ADocumentColoursTheSameWordsWhateverTheLineBreaks) {
    // A document keeps one position for "\r\n", where the text has two.
    for (const char *lineBreak : {"\n", "\r\n", "\r", "\r\n\r\n", "\n\r"}) {
        SCOPED_TRACE(QString::fromLatin1(lineBreak).toUtf8().toPercentEncoding().toStdString());
        const QString text =
            QStringLiteral("Birds sing.%1He runs fast.%1Cats eat").arg(QLatin1String(lineBreak));
        const QVAttributedString coloured = QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(
            text, QStringLiteral("en"), QVPartOfSpeechService::Verb, kBlack);
        QTextDocument document;
        coloured.applyTo(&document);
        QStringList red;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                if (it.fragment().charFormat().foreground().color() == kRed)
                    red.append(it.fragment().text());
            }
        }
        EXPECT_EQ(red, coloured.stretchesWithColor(kRed));
        EXPECT_EQ(red, (QStringList{"sing", "runs", "eat"}));
    }
}

TEST_F(PartOfSpeechTest, ThemeColourFollowsTheInterface) {
    QVMStyleService &style = QVMStyleService::shared();
    const QVMStyleService::ColorScheme before = style.desktopColorScheme();
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        style.setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                         : QVMStyleService::ColorScheme::Light);
        const QVAttributedString coloured = QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(
            QStringLiteral("He runs fast"), QStringLiteral("en"), QVPartOfSpeechService::Verb);
        EXPECT_EQ(coloured.foregroundColorAt(0), dark ? kWhite : kBlack);
        EXPECT_EQ(coloured.foregroundColorAt(3), kRed);
    }
    style.setDesktopColorScheme(before);
}

TEST_F(PartOfSpeechTest, OtherLanguagesAndMissingTextColourNothing) {
    EXPECT_TRUE(
        QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(QString(), "en", 3, kBlack).isNull());
    const QVAttributedString empty =
        QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(QStringLiteral(""), "en", 3, kBlack);
    EXPECT_FALSE(empty.isNull());
    EXPECT_EQ(empty.length(), 0);
    for (const char *language : {"de", "de_DE", "fr", "eng", "", "english"}) {
        SCOPED_TRACE(language);
        const QVAttributedString coloured = QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(
            QStringLiteral("Er läuft schnell"), QString::fromLatin1(language), 3, kBlack);
        EXPECT_TRUE(coloured.stretchesWithColor(kRed).isEmpty());
        EXPECT_EQ(coloured.runs().size(), 1);
    }
}

TEST_F(PartOfSpeechTest, DetectionIsAvailableForEnglishWithItsData) {
    struct Case {
        const char *language;
        bool available;
    };
    const QList<Case> cases = {{"en", true}, {"en_GB", true}, {"en-US", true}, {"EN", true},
                               {"", false},  {"de", false},   {"eng", false},  {"e", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.language);
        EXPECT_EQ(QVPartOfSpeechService::isPartOfSpeechDetectionAvailableForLanguage(
                      QString::fromLatin1(c.language)),
                  c.available);
    }
    QVPartOfSpeechService::setWordNetFolder(QStringLiteral("/nonexistent/wordnet"));
    EXPECT_FALSE(QVPartOfSpeechService::isPartOfSpeechDetectionAvailableForLanguage(QStringLiteral("en")));
}

TEST(PartOfSpeechSentencesTest, NumbersSentencesInTextOrder) {
    struct Case {
        QString text;
        QStringList sentences;
    };
    const QList<Case> cases = {
        {QStringLiteral("Hello world. How are you? Fine!"), {"Hello world. ", "How are you? ", "Fine!"}},
        {QStringLiteral("One sentence only"), {"One sentence only"}},
        {QStringLiteral("First line\nSecond line"), {"First line\n", "Second line"}},
        {QStringLiteral("Done. ... \n\n Next."), {"Done. ... \n", " Next."}},
        // Titles, initials and Latin abbreviations end with a stop but not the sentence.
        {QStringLiteral("Mr. Smith went to Washington. He stayed."),
         {"Mr. Smith went to Washington. ", "He stayed."}},
        {QStringLiteral("Dr. J. R. Tolkien wrote it. Yes."), {"Dr. J. R. Tolkien wrote it. ", "Yes."}},
        {QStringLiteral("Cities, e.g. Paris, are big. I agree."),
         {"Cities, e.g. Paris, are big. ", "I agree."}},
        {QStringLiteral("Ask the Dr.\nShe knows."), {"Ask the Dr.\n", "She knows."}},
        {QStringLiteral("Goodbye Mrs. "), {"Goodbye Mrs. "}},
        {QStringLiteral("   \n "), {}},
        {QStringLiteral(""), {}},
        {QString(), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QList<QVSentenceDTO> dtos = QVPartOfSpeechService::sensencesDTOArrayfromText(c.text);
        QStringList texts;
        for (int i = 0; i < dtos.size(); ++i) {
            EXPECT_EQ(dtos[i].tag(), i + 1);
            const QVTextRange range = dtos[i].range();
            EXPECT_EQ(dtos[i].text(), c.text.mid(static_cast<qsizetype>(range.location),
                                                 static_cast<qsizetype>(range.length)));
            if (i > 0) {
                EXPECT_GE(range.location, dtos[i - 1].range().location + dtos[i - 1].range().length);
            }
            texts.append(dtos[i].text());
        }
        EXPECT_EQ(texts, c.sentences);
    }
}

TEST(PartOfSpeechSentencesTest, SelectionGivesTheTagOfItsSentence) {
    const QString text = QStringLiteral("Hello world. How are you? Fine!");
    const QList<QVSentenceDTO> sentences = QVPartOfSpeechService::sensencesDTOArrayfromText(text);
    struct Case {
        quint64 location;
        quint64 length;
        qint64 tag;
    };
    const QList<Case> cases = {{0, 0, 1},  {5, 3, 1},  {12, 0, 1}, {13, 0, 2}, {20, 100, 2},
                               {26, 1, 3}, {30, 0, 3}, {31, 0, 0}, {500, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.location);
        EXPECT_EQ(QVPartOfSpeechService::tagForSelectedRange({c.location, c.length}, sentences), c.tag);
    }
    EXPECT_EQ(QVPartOfSpeechService::tagForSelectedRange({0, 1}, {}), 0);
}

TEST(PartOfSpeechTitlesTest, SixTitlesIndexedByTypeInTheInterfaceLanguage) {
    DJLocalizationSystem &localization = DJLocalizationSystem::shared();
    const QString before = localization.customLanguage();
    struct Case {
        const char *language;
        QStringList titles;
    };
    const QList<Case> cases = {
        {"en", {"None", "Noun", "Adjective", "Verb", "Pronoun", "Adverb"}},
        {"de", {"Keine", "Substantiv", "Adjektiv", "Verb", "Pronomen", "Adverb"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.language);
        localization.setLanguage(QString::fromLatin1(c.language));
        EXPECT_EQ(QVPartOfSpeechService::partsOfSpeechTitlesArray(), c.titles);
        for (qint64 type = 1; type <= 5; ++type)
            EXPECT_EQ(QVPartOfSpeechService::localizedPartOfSpeechTagForType(type), c.titles[type]);
    }
    localization.setLanguage(before);
    for (const qint64 type : {qint64(0), qint64(6), qint64(-1)}) {
        EXPECT_TRUE(QVPartOfSpeechService::localizedPartOfSpeechTagForType(type).isNull());
        EXPECT_TRUE(QVPartOfSpeechService::partOfSpeechTagForType(type).isNull());
    }
}

TEST_F(PartOfSpeechTest, ClosedClassesComeBeforeWordNetAndFormsFindTheirBase) {
    const auto wordnet = QVWordNetDatabase::open(QStringLiteral("/usr/share/wordnet"));
    ASSERT_TRUE(wordnet);
    const QVEnglishTagger tagger(wordnet);
    struct Case {
        const char *word;
        const char *tag;
    };
    const QList<Case> cases = {
        {"he", QVLexicalClass::kPronoun},     {"Them", QVLexicalClass::kPronoun},
        {"the", QVLexicalClass::kDeterminer}, {"a", QVLexicalClass::kDeterminer}, // also a noun in WordNet
        {"in", QVLexicalClass::kPreposition}, {"and", QVLexicalClass::kConjunction},
        {"can", QVLexicalClass::kVerb},       {"will", QVLexicalClass::kVerb}, // nouns by tagged count
        {"isn't", QVLexicalClass::kVerb},     {"42", QVLexicalClass::kNumber},
        {"runs", QVLexicalClass::kVerb},      {"ran", QVLexicalClass::kVerb},  // exception list
        {"mice", QVLexicalClass::kNoun},      {"dogs", QVLexicalClass::kNoun}, // tie broken by senses
        {"quickly", QVLexicalClass::kAdverb}, {"happier", QVLexicalClass::kAdjective},
        {"glasses", QVLexicalClass::kNoun},   {"Zyxwvut", QVLexicalClass::kNoun}, // unknown: a name
        {"dog's", QVLexicalClass::kNoun},     {"not", QVLexicalClass::kAdverb},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(tagger.lexicalClassOfWord(QString::fromLatin1(c.word)), QString::fromLatin1(c.tag));
    }
}

TEST(AttributedStringTest, RecolouringSplitsAndMergesRunsOverTheWholeText) {
    const QColor blue(Qt::blue);
    struct Step {
        QVTextRange range;
        QColor color;
    };
    struct Case {
        const char *name;
        QList<Step> steps;
        QList<QVColorRun> runs;
    };
    const QList<Case> cases = {
        {"inside", {{{2, 3}, kRed}}, {{{0, 2}, kBlack}, {{2, 3}, kRed}, {{5, 5}, kBlack}}},
        {"at the start", {{{0, 4}, kRed}}, {{{0, 4}, kRed}, {{4, 6}, kBlack}}},
        {"past the end is clipped", {{{8, 50}, kRed}}, {{{0, 8}, kBlack}, {{8, 2}, kRed}}},
        {"outside the text changes nothing", {{{10, 2}, kRed}, {{3, 0}, kRed}}, {{{0, 10}, kBlack}}},
        {"neighbours of one colour merge",
         {{{2, 2}, kRed}, {{4, 2}, kRed}},
         {{{0, 2}, kBlack}, {{2, 4}, kRed}, {{6, 4}, kBlack}}},
        {"over two runs",
         {{{1, 2}, kRed}, {{5, 2}, blue}, {{2, 4}, kWhite}},
         {{{0, 1}, kBlack}, {{1, 1}, kRed}, {{2, 4}, kWhite}, {{6, 1}, blue}, {{7, 3}, kBlack}}},
        {"back to the base colour", {{{2, 3}, kRed}, {{0, 10}, kBlack}}, {{{0, 10}, kBlack}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVAttributedString text(QStringLiteral("0123456789"), kBlack);
        for (const Step &step : c.steps)
            text.setForegroundColor(step.range, step.color);
        EXPECT_EQ(text.runs(), c.runs);
        const QList<QTextLayout::FormatRange> formats = text.formatRanges();
        ASSERT_EQ(formats.size(), c.runs.size());
        for (int i = 0; i < formats.size(); ++i) {
            EXPECT_EQ(formats[i].start, static_cast<int>(c.runs[i].range.location));
            EXPECT_EQ(formats[i].format.foreground().color(), c.runs[i].color);
        }
    }
}
