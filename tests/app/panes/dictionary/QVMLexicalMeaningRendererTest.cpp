#include "panes/dictionary/QVMLexicalMeaningRenderer.h"

#include "app/core/ModelTestStore.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/Format.h"

#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

const QChar kAttachment = QChar::ObjectReplacementCharacter;

QVariantMap sense(const QString &meaning, const QString &syn = {}) {
    return {{QStringLiteral("meaning"), meaning}, {QStringLiteral("syn"), syn}};
}

// An entry as the backend's dictionary gives it.
QVLexicalMeaning entry(const QString &word, const QVariantMap &partsOfSpeech,
                       const QVariantList &examples = {}) {
    return QVLexicalMeaning::initWithDictionary({{QStringLiteral("word"), word},
                                                 {QStringLiteral("transcription"), QStringLiteral("dɒɡ")},
                                                 {QStringLiteral("partsOfSpeech"), partsOfSpeech},
                                                 {QStringLiteral("examples"), examples}},
                                                word);
}

QVariantMap example(const QString &from, const QString &to) {
    return {{QStringLiteral("fromText"), from}, {QStringLiteral("toText"), to}};
}

// The "href" of every anchor in the view, with the text it covers.
QList<QPair<QString, QString>> anchors(const QTextDocument *document) {
    QList<QPair<QString, QString>> found;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor())
                found.append({fragment.charFormat().anchorHref(), fragment.text()});
        }
    }
    return found;
}

QList<QPair<QString, QString>> wordLinks(const QTextDocument *document) {
    QList<QPair<QString, QString>> words;
    for (const auto &anchor : anchors(document))
        if (anchor.first.startsWith(QLatin1String("word:")))
            words.append({QVMLexicalMeaningRenderer::wordForLink(QUrl(anchor.first)), anchor.second});
    return words;
}

} // namespace

class LexicalMeaningRendererTest : public ModelStoreTest {
protected:
    QTextBrowser view;
    QVMLexicalMeaningRenderer renderer{&view};
    QString text() const { return view.toPlainText(); }
};

TEST_F(LexicalMeaningRendererTest, EntryShowsItsPartsOfSpeechOrElseItsExamplesNeverBoth) {
    const QVariantList examples{example("The dog runs.", "Der Hund rennt.")};
    const struct Case {
        const char *name;
        QVLexicalMeaning entry;
        QStringList present;
        QStringList absent;
    } cases[] = {
        {"examples only: the flag and the pairs, no headword or transcription",
         entry("dog", {}, examples),
         {"\"The dog runs.\"", "\"Der Hund rennt.\""},
         {"/dɒɡ/", "\ndog\n"}},
        {"parts of speech: headword, transcription and senses, never the examples",
         entry("dog", {{"noun", QVariantList{sense("a domestic animal")}}}, examples),
         {"\ndog\n/dɒɡ/\n", "NOUN\n", "1.a domestic animal\n"},
         {"The dog runs.", "Der Hund"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        renderer.showLexicalMeaning(c.entry);
        ASSERT_FALSE(text().isEmpty());
        EXPECT_EQ(text().at(0), kAttachment) << "the flag's place comes first even without a flag";
        for (const QString &piece : c.present)
            EXPECT_TRUE(text().contains(piece)) << piece.toStdString() << " in " << text().toStdString();
        for (const QString &piece : c.absent)
            EXPECT_FALSE(text().contains(piece)) << piece.toStdString();
    }
}

TEST_F(LexicalMeaningRendererTest, SensesNumberFromOneInEachPartOfSpeechAndEmptySynonymsLeaveOneLine) {
    renderer.showLexicalMeaning(
        entry("run", {{"verb", QVariantList{sense("move fast", "run,sprint"), sense("operate", "run")}},
                      {"noun", QVariantList{sense("a race", "dash, run")}}}));
    const QString shown = text();
    EXPECT_TRUE(shown.contains("NOUN\n1.a race\nSynonyms: dash\n\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("VERB\n1.move fast\nSynonyms: sprint\n\n2.operate\n\n"))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains("3.")) << "the numbering restarts";
}

TEST_F(LexicalMeaningRendererTest, LinksCoverWholeItemsOnlyAndCarryTrimmedValues) {
    const struct Case {
        const char *line;
        QStringList pieces;
        QList<QPair<int, int>> ranges;
    } cases[] = {
        {"hound, hot dog",
         {"dog", " hound", "hot dog"},
         {{0, 5}, {7, 7}}},                      // "dog" inside "hot dog" is no link
        {"cur, cur", {"cur"}, {{0, 3}, {5, 3}}}, // each item at its own place
        {"doggy", {"dog"}, {}},                  // part of a word
        {"  ", {" ", ""}, {}},                   // blanks link nothing
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(QVMLexicalMeaningRenderer::linkRanges(QString::fromUtf8(c.line), c.pieces), c.ranges);
    }
    renderer.showLexicalMeaning(
        entry("dog", {{"noun", QVariantList{sense("an animal", "dog, hound, hot dog")}}}));
    const QList<QPair<QString, QString>> expected{{"hound", "hound"}, {"hot dog", "hot dog"}};
    EXPECT_EQ(wordLinks(view.document()), expected);
}

TEST_F(LexicalMeaningRendererTest, HeadwordHighlightFallsOnItsFirstOccurrenceOnly) {
    const struct Case {
        const char *name;
        QVariantList examples;
        int position; // in the plain text
    } cases[] = {
        {"in the source", {example("a cat and a cat", "eine Katze")}, 4},
        {"only in the translation", {example("ein Tier", "a cat")}, 17},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        renderer.showLexicalMeaning(entry("cat", {}, c.examples));
        QList<int> bold;
        const QString shown = text();
        for (int i = 0; i < shown.size(); ++i) {
            QTextCursor cursor(view.document());
            cursor.setPosition(i + 1);
            if (cursor.charFormat().fontWeight() >= QFont::Bold && shown.at(i) != kAttachment)
                bold.append(i);
        }
        EXPECT_EQ(bold, (QList<int>{c.position, c.position + 1, c.position + 2})) << shown.toStdString();
    }
}

TEST_F(LexicalMeaningRendererTest, SpeakerLinksReadTheirOwnTextInTheirOwnLanguage) {
    renderer.setLanguages("en_GB", "de_DE");
    renderer.showLexicalMeaning(
        entry("dog", {{"noun", QVariantList{sense("an animal \"the dog barked\"; \"a dog's life\"")}}}));
    ASSERT_EQ(renderer.speechCount(), 2);
    EXPECT_EQ(renderer.speechForLink(QUrl("speak:1"))->text, QStringLiteral("a dog's life"));
    EXPECT_EQ(renderer.speechForLink(QUrl("speak:1"))->language, QStringLiteral("en_GB"));

    renderer.showLexicalMeaning(entry("dog", {}, {example("The dog runs.", "Der Hund rennt.")}));
    const struct {
        const char *link;
        const char *text;
        const char *language;
    } cases[] = {{"speak:0", "The dog runs.", "en_GB"}, {"speak:1", "Der Hund rennt.", "de_DE"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.link);
        const auto speech = renderer.speechForLink(QUrl(c.link));
        ASSERT_TRUE(speech.has_value());
        EXPECT_EQ(speech->text, QString::fromUtf8(c.text));
        EXPECT_EQ(speech->language, QString::fromUtf8(c.language));
    }
    for (const char *other : {"speak:2", "speak:x", "word:dog", "https://example.org"})
        EXPECT_FALSE(renderer.speechForLink(QUrl(other)).has_value()) << other;
}

TEST_F(LexicalMeaningRendererTest, BackendMarkupIsShownAsTyped) {
    renderer.showLexicalMeaning(
        entry("tag", {{"noun", QVariantList{sense("<b>bold</b> &amp; <img src=x>")}}}));
    EXPECT_TRUE(text().contains("1.<b>bold</b> &amp; <img src=x>")) << text().toStdString();
}

TEST_F(LexicalMeaningRendererTest, OfflineEntryIsAppendedBelowWhateverIsShownEachTime) {
    const QVariantMap offline{
        {"nounObjects", QVariantList{QVariantMap{
                            {"meaning", "dog, domestic dog"},
                            {"meaningDescription", "a member of the genus Canis"},
                            {"synonyms", QVariantList{QVariantMap{{"value", "cur"},
                                                                  {"synonymDescription", "a mongrel"}}}}}}}};
    renderer.showSynonyms(QVSynonyms::initWithDictionary(
        {{"noun", QVariantList{QVariantMap{{"translatedSyns", "Hund, Köter"}, {"syns", "dog"}}}}}, "dog"));
    renderer.showLexicalMeaningOffline(offline);
    renderer.showLexicalMeaningOffline(offline);
    const QString shown = text();
    EXPECT_TRUE(shown.startsWith(QString(kAttachment) + " noun\n1.  Hund, Köter\ndog\n\n"))
        << shown.toStdString();
    EXPECT_EQ(shown.count(
                  " LexicalMeaning\n1.  dog, domestic dog\n(a member of the genus Canis)\ncur a mongrel \n"),
              2)
        << shown.toStdString();
    EXPECT_EQ(wordLinks(view.document()).count({"domestic dog", "domestic dog"}), 2);
}

TEST_F(LexicalMeaningRendererTest, ImagesKeepTheirAspectAndAnImageWithoutHeightIsNeverScaled) {
    const struct Case {
        const char *name;
        QImage image;
        QSize entry, small;
    } cases[] = {
        {"no image", QImage(), QSize(0, 0), QSize(0, 0)},
        {"zero height", QImage(40, 0, QImage::Format_ARGB32), QSize(0, 0), QSize(0, 0)},
        {"wide", QImage(40, 10, QImage::Format_ARGB32), QSize(80, 20), QSize(56, 14)},
        {"thin", QImage(1, 100, QImage::Format_ARGB32), QSize(1, 20), QSize(1, 14)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QVMLexicalMeaningRenderer::resizeToFitLexicalMeaningImage(c.image).size(), c.entry);
        EXPECT_EQ(QVMLexicalMeaningRenderer::resizeToFitImage(c.image).size(), c.small);
    }
    renderer.showLexicalMeaning(entry("dog", {}, {example("a dog", "ein Hund")}),
                                QImage(40, 0, QImage::Format_ARGB32));
    EXPECT_EQ(text().at(0), kAttachment);
}

// A reply of any size renders its first few hundred senses and examples, each
// text cut to a readable length, and one line says how many more it holds.
TEST_F(LexicalMeaningRendererTest, EntryOfAnySizeShowsItsFirstHundredsAndSaysHowManyMore) {
    const auto more = [](const char *key, int count) {
        return platform::format(QVLocalizedString(QString::fromLatin1(key)), QString::number(count));
    };
    const auto senses = [](const QString &kind, int count) {
        QVariantList list;
        for (int i = 0; i < count; ++i)
            list.append(sense(QStringLiteral("%1 sense %2").arg(kind).arg(i)));
        return list;
    };
    QVariantList pairs;
    for (int i = 0; i < 1000; ++i)
        pairs.append(example(QStringLiteral("from %1 dog").arg(i), QStringLiteral("to %1").arg(i)));
    QStringList quoted;
    for (int i = 0; i < 400; ++i)
        quoted.append(QStringLiteral("\"said %1\"").arg(i));
    const QString longText = QString(5000, QLatin1Char('w'));
    const int limit = QVMLexicalMeaningRenderer::kMaximumTextLength;
    const struct Case {
        const char *name;
        QVLexicalMeaning entry;
        int speakers;
        QStringList present;
        QStringList absent;
    } cases[] = {
        {"1,000 example pairs",
         entry("dog", {}, pairs),
         600,
         {"\"from 299 dog\"", more(QVMLexicalMeaningRenderer::kMoreExamplesKey, 700)},
         {"\"from 300 dog\""}},
        {"400 senses over two parts of speech",
         entry("dog", {{"noun", senses("noun", 200)}, {"verb", senses("verb", 200)}}),
         0,
         {"200.noun sense 199", "100.verb sense 99", more(QVMLexicalMeaningRenderer::kMoreSensesKey, 100)},
         {"verb sense 100\n"}},
        {"400 examples of one definition",
         entry("dog", {{"noun", QVariantList{sense("a dog " + quoted.join("; "))}}}),
         300,
         {"•\"said 299\"", more(QVMLexicalMeaningRenderer::kMoreExamplesKey, 100)},
         {"said 300"}},
        {"a definition of 5,000 characters",
         entry("dog", {{"noun", QVariantList{sense(longText)}}}),
         0,
         {"1." + longText.left(limit) + QChar(0x2026) + "\n"},
         {longText.left(limit + 1)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        renderer.showLexicalMeaning(c.entry);
        const QString shown = text();
        EXPECT_EQ(renderer.speechCount(), c.speakers);
        for (const QString &piece : c.present)
            EXPECT_TRUE(shown.contains(piece)) << piece.left(80).toStdString();
        for (const QString &piece : c.absent)
            EXPECT_FALSE(shown.contains(piece)) << piece.left(80).toStdString();
    }
}
