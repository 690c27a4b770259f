#include "Segmentation.h"

#include <gtest/gtest.h>

#include <numeric>

using synaptra::SplitByNewLine;
using synaptra::SplitLongSentenceWithoutPunct;

namespace {

struct Segments {
    std::vector<std::string> sentences;
    std::vector<std::string> separators;
};

Segments split(const std::string &text) {
    Segments s;
    EXPECT_EQ(SplitByNewLine(text.c_str(), s.sentences, s.separators), 0);
    EXPECT_EQ(s.sentences.size(), s.separators.size()) << text;
    return s;
}

std::string words(int from, int to, const std::string &prefix = "w") {
    std::string out;
    for (int i = from; i <= to; ++i)
        out += (i == from ? "" : " ") + prefix + std::to_string(i);
    return out;
}

int wordCount(const std::string &piece) {
    return piece.empty() ? 0 : 1 + static_cast<int>(std::count(piece.begin(), piece.end(), ' '));
}

// Joining each sentence with its separator gives back the text, except for the dropped spaces
// after sentence ends at line ends.
std::string rebuild(const Segments &s) {
    std::string out;
    for (size_t i = 0; i < s.sentences.size(); ++i)
        out += s.sentences[i] + s.separators[i];
    return out;
}

struct Case {
    const char *name;
    std::string text;
    std::vector<std::string> sentences;
    std::vector<std::string> separators;
};

class SegmentationTable : public ::testing::TestWithParam<Case> {};

TEST_P(SegmentationTable, SplitsIntoSentencesAndSeparators) {
    const Case &c = GetParam();
    const Segments s = split(c.text);
    EXPECT_EQ(s.sentences, c.sentences);
    EXPECT_EQ(s.separators, c.separators);
}

const std::string kIdeographicStop = "\xE3\x80\x82";
const std::string kHalfwidthStop = "\xEF\xBD\xA1";
const std::string kEmDash = "\xE2\x80\x94";

INSTANTIATE_TEST_SUITE_P(
    Segmentation, SegmentationTable,
    ::testing::Values(
        Case{"TwoSentences", "Hello world. How are you?", {"Hello world.", "How are you?"}, {" ", ""}},
        Case{"TwoLines", "A.\nB.", {"A.", "B."}, {"\n", ""}},
        Case{"EmptyLineBetween", "A.\n\nB.", {"A.", "B."}, {"\n\n", ""}},
        Case{"TrailingSpaceDropped", "A. ", {"A."}, {""}},
        Case{"TrailingNewlineDropped", "A.\n", {"A."}, {""}},
        Case{"DecimalNumberStaysWhole", "3.5 kg", {"3.5 kg"}, {""}},
        Case{"RunOfStops", "Wait... what", {"Wait...", "what"}, {" ", ""}},
        Case{"MixedTerminators", "Really?! Yes.", {"Really?!", "Yes."}, {" ", ""}},
        Case{"TabIsOrdinary", "A.\tB.", {"A.\tB."}, {""}},
        Case{"CarriageReturnEndsTheLineWithItsBreak", "A.\r\nB.", {"A.", "B."}, {"\r\n", ""}},
        Case{"CarriageReturnInsideALineIsOrdinary", "A.\rB.", {"A.\rB."}, {""}},
        Case{"FinalCrLfDropped", "A.\r\n", {"A."}, {""}},
        Case{"BlankLinesKeepTheirBytesBetweenSentences",
             "A.\r\n\r\n \t\r\nB.\r\n",
             {"A.", "B."},
             {"\r\n\r\n \t\r\n", ""}},
        Case{"IdeographicFullStop",
             "\xE4\xBD\xA0" + kIdeographicStop + " \xE5\xA5\xBD",
             {"\xE4\xBD\xA0" + kIdeographicStop, "\xE5\xA5\xBD"},
             {" ", ""}},
        Case{"HalfwidthFullStop", "a" + kHalfwidthStop + " b", {"a" + kHalfwidthStop, "b"}, {" ", ""}},
        Case{"IdeographicStopWithoutSpaceDoesNotCut",
             "a" + kIdeographicStop + "b",
             {"a" + kIdeographicStop + "b"},
             {""}},
        Case{"EmptyLinesBeforeFirstSentenceAreDropped", "\n\nA.", {"A."}, {""}},
        Case{"ShortClauseMarksStayInSentence", "One, two; three.", {"One, two; three."}, {""}}),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

TEST(Segmentation, EmptyTextsYieldNoSentence) {
    for (const std::string text : {"", "\n", "\n\n", "\n\n\n", "\r\n\r\n", "   ", " \t\r\n\r", "\r"}) {
        const Segments s = split(text);
        EXPECT_TRUE(s.sentences.empty()) << "text of " << text.size() << " blank bytes";
        EXPECT_TRUE(s.separators.empty());
    }
}

TEST(Segmentation, NullTextIsTheOnlyFailure) {
    std::vector<std::string> a, b;
    EXPECT_EQ(SplitByNewLine(nullptr, a, b), 1);
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(SplitByNewLine("", a, b), 0);
}

TEST(Segmentation, LongLineCutAtClauseMarkKeepsPunctuationInSeparators) {
    // 60 words, a comma after word 20 and a full stop at the end.
    const std::string text = words(1, 20) + ", " + words(21, 60) + ".";
    const Segments s = split(text);
    ASSERT_EQ(s.sentences.size(), 2u);
    EXPECT_EQ(s.sentences[0], words(1, 20));
    EXPECT_EQ(s.separators[0], ", ");
    EXPECT_EQ(s.sentences[1], words(21, 60));
    EXPECT_EQ(s.separators[1], ".");
}

TEST(Segmentation, LongLineWithoutPunctuationIsCutEvery50Words) {
    const Segments s = split(words(1, 120));
    ASSERT_EQ(s.sentences.size(), 3u);
    EXPECT_EQ(wordCount(s.sentences[0]), 50);
    EXPECT_EQ(wordCount(s.sentences[1]), 50);
    EXPECT_EQ(wordCount(s.sentences[2]), 20);
    EXPECT_EQ(s.separators, (std::vector<std::string>{" ", " ", ""}));
    EXPECT_EQ(rebuild(s), words(1, 120));
}

TEST(Segmentation, Exactly50WordsWithoutPunctuationLeaveNoEmptySentence) {
    const Segments s = split(words(1, 51));
    ASSERT_EQ(s.sentences.size(), 2u);
    EXPECT_EQ(wordCount(s.sentences[0]), 50);
    EXPECT_EQ(s.sentences[1], "w51");
    EXPECT_EQ(rebuild(s), words(1, 51));
}

TEST(Segmentation, LongSentenceFollowedByAnotherKeepsTheSpaceBetween) {
    const std::string text = words(1, 60) + ". Short one.";
    const Segments s = split(text);
    ASSERT_EQ(s.sentences.size(), 3u);
    EXPECT_EQ(s.separators[1], ". ");
    EXPECT_EQ(s.sentences[2], "Short one.");
    EXPECT_EQ(s.separators[2], "");
    EXPECT_EQ(rebuild(s), text);
}

TEST(Segmentation, EmDashIsAClauseMark) {
    const std::string text = words(1, 10) + kEmDash + " " + words(11, 60) + ".";
    const Segments s = split(text);
    EXPECT_EQ(s.sentences, (std::vector<std::string>{words(1, 10), words(11, 60)}));
    EXPECT_EQ(s.separators, (std::vector<std::string>{kEmDash + " ", "."}));
}

TEST(Segmentation, LongClausePiecesFallBackToWordCuts) {
    // A clause of 70 words before a comma still gets cut every 50 words.
    const std::string text = words(1, 70) + ", " + words(71, 75) + "!";
    const Segments s = split(text);
    ASSERT_EQ(s.sentences.size(), 3u);
    EXPECT_EQ(wordCount(s.sentences[0]), 50);
    EXPECT_EQ(wordCount(s.sentences[1]), 20);
    EXPECT_EQ(s.separators[1], ", ");
    EXPECT_EQ(s.sentences[2], words(71, 75));
    EXPECT_EQ(s.separators[2], "!");
    EXPECT_EQ(rebuild(s), text);
}

TEST(Segmentation, SeparatorsRebuildMultiLineText) {
    const std::string text = "First line. Second sentence!\n\nAfter a gap? Yes.\nLast line";
    const Segments s = split(text);
    EXPECT_EQ(s.sentences, (std::vector<std::string>{"First line.", "Second sentence!", "After a gap?",
                                                     "Yes.", "Last line"}));
    EXPECT_EQ(rebuild(s), text);
}

TEST(Segmentation, PiecesLongerThanAnyFixedBufferAreKeptWhole) {
    // 100 KB without spaces: one sentence, nothing cut or lost.
    const std::string text(100000, 'x');
    const Segments s = split(text);
    ASSERT_EQ(s.sentences.size(), 1u);
    EXPECT_EQ(s.sentences[0].size(), text.size());
    // And a long text of many long lines keeps every byte.
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += words(1, 130) + ". " + std::string(500, 'y') + "\n";
    many.pop_back();
    EXPECT_EQ(rebuild(split(many)), many);
}

TEST(Segmentation, WithoutPunctEmptyPieceAppendsNothing) {
    std::vector<std::string> a, b;
    EXPECT_EQ(SplitLongSentenceWithoutPunct("", a, b), 1);
    EXPECT_TRUE(a.empty() && b.empty());
}

} // namespace
