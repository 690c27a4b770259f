// How the translate entry point feeds the model: sub-batches that keep the text's order and
// the results of one batch, rows capped for the model, blank lines and stray output ids kept
// local, texts too long for one call refused before any model work, and failed runs logged.
#include "TranslatorFixture.h"

#include <fstream>
#include <sstream>

using enginetest::fixture;
using enginetest::Outcome;

namespace {

using TranslatorBatching = enginetest::TranslatorFixture;

std::vector<std::string> englishLines() {
    std::ifstream in(std::string(ENGINE_TEST_DATA) + "/en.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// Lines of the test corpus joined in ones, twos and threes, so lengths vary widely.
std::vector<std::string> variedLines(size_t count) {
    const std::vector<std::string> corpus = englishLines();
    std::vector<std::string> lines;
    for (size_t i = 0, at = 0; lines.size() < count; ++i) {
        std::string line;
        for (size_t k = 0; k <= i % 3; ++k)
            line += (k ? " " : "") + corpus[at++ % corpus.size()];
        lines.push_back(line);
    }
    return lines;
}

std::string joinLines(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(TranslatorBatching, RowsComeBackInTheOrderOfTheText) {
    ASSERT_EQ(loadIdentity(1).code, 0);
    // More rows than one sub-batch holds, with lengths in no order.
    const std::string text = joinLines(variedLines(300));
    const Outcome o = translate(text, 1);
    ASSERT_EQ(o.code, 0) << o.message;
    EXPECT_EQ(o.text, text);
}

TEST_F(TranslatorBatching, SubBatchesGiveWhatEachSentenceGivesAlone) {
    ASSERT_EQ(load(fixture("transformer"), 1).code, 0);
    const std::vector<std::string> lines = variedLines(150);
    const Outcome whole = translate(joinLines(lines), 1);
    ASSERT_EQ(whole.code, 0) << whole.message;
    const std::vector<std::string> translated = splitLines(whole.text);
    ASSERT_EQ(translated.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const Outcome alone = translate(lines[i], 1);
        ASSERT_EQ(alone.code, 0) << alone.message;
        EXPECT_EQ(translated[i], alone.text) << "line " << i << ": " << lines[i];
    }
}

TEST_F(TranslatorBatching, OverLongRowsAreCutForTheModelAndJoinedBack) {
    // This model fails any run holding a row of more than 128 tokens.
    ASSERT_EQ(load(fixture("checked"), 1).code, 0);
    std::string noSpaces, manyWords;
    for (int i = 0; i < 400; ++i) {
        noSpaces += "catdogmat";
        manyWords += (i ? " " : "") + std::string(i % 2 ? "weather" : "morning");
    }
    const std::vector<std::pair<const char *, std::string>> cases = {
        {"OneWordOfThousandsOfLetters", noSpaces},
        {"LongSentenceBetweenShortOnes", "hello world.\n" + noSpaces + "\nthe cat sat."},
        {"FiftyLongWords", manyWords + "\n" + manyWords},
    };
    for (const auto &[name, text] : cases) {
        SCOPED_TRACE(name);
        const Outcome o = translate(text, 1);
        ASSERT_EQ(o.code, 0) << o.message;
        EXPECT_EQ(o.text, text);
    }
}

TEST_F(TranslatorBatching, BlankLinesNeverReachTheModelAndKeepTheirPlace) {
    // This model fails any run holding a row without tokens.
    ASSERT_EQ(load(fixture("checked"), 1).code, 0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Hello.\r\n\r\nFar.\r\n", "Hello.\r\n\r\nFar."},
        {"Hello.\n   \n\t\nFar.", "Hello.\n   \n\t\nFar."},
        {"Hello.\r\n \t\r\n\r\nFar.   ", "Hello.\r\n \t\r\n\r\nFar.   "},
        {"\r\n\r\nHello.", "Hello."},
        {"Hello.\n\r\n", "Hello.\n"},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(text));
        const Outcome o = translate(text, 1);
        ASSERT_EQ(o.code, 0) << o.message;
        EXPECT_EQ(o.text, expected);
    }
    EXPECT_EQ(translate(" \r\n\t\r\n", 1).code, 3) << "a text of blank lines is an empty text";
}

TEST_F(TranslatorBatching, UnknownOutputIdsAreLeftOutOfTheirSentenceOnly) {
    // "cat" comes back as itself between ids the tokenizer does not have.
    const std::string cat = enginetest::tokenOf("cat");
    const std::string dog = enginetest::tokenOf("dog");
    ASSERT_EQ(
        load(enginetest::makeWordTableModel(
                 "unknown-ids", {{cat, "widx99999 " + cat + " widx-4 widx123456789012"}, {dog, "widx77777"}}),
             1)
            .code,
        0);
    const Outcome o = translate("the cat sat.\nthe dog ran.\nwe like green apples.", 1);
    ASSERT_EQ(o.code, 0) << o.message;
    EXPECT_EQ(o.text, "the cat sat.\nthe ran.\nwe like green apples.");
}

TEST_F(TranslatorBatching, TextsTooLongForOneCallAreRefusedBeforeTheModelRuns) {
    // The model would fail any run: a text that reaches it gets code 2, not 5.
    ASSERT_EQ(load(fixture("broken"), 1).code, 0);
    std::string page;
    while (page.size() < (1u << 20))
        page += "the cat sat on a mat. ";
    struct Case {
        size_t bytes;
        int code;
    };
    for (const Case c : {Case{31999, 2}, Case{32000, 5}, Case{50000, 5}, Case{1u << 20, 5}}) {
        SCOPED_TRACE(c.bytes);
        const std::string text = page.substr(0, c.bytes);
        ::testing::internal::CaptureStderr();
        const Outcome o = translate(text, 1);
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(o.code, c.code) << o.message;
        if (c.code == 5) {
            EXPECT_EQ(o.message,
                      "The text is too long to translate at once: at most 31999 bytes in one call");
        }
    }
}

TEST_F(TranslatorBatching, InterpreterFailureLogsItsWholeMessageAndWritesNoDescription) {
    // Positions for 16 tokens only: a longer sentence fails inside the model's code.
    ASSERT_EQ(load(fixture("transformer-16"), 1).code, 0);
    char text[] = "the cat sat on a mat and the dog ran far away from home with the green apples today.";
    std::vector<char> result(kQuorvaldeBufferSize, '\0');
    std::vector<char> error(kQuorvaldeBufferSize, '\0');
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(translateQuorvalde(text, result.data(), 1, error.data()), 2);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::string(error.data()), "");
    EXPECT_NE(log.find("The following operation failed in the TorchScript interpreter."), std::string::npos)
        << log;
    // More than that first line: the interpreter's traceback and the failure itself.
    EXPECT_NE(log.find("Traceback"), std::string::npos) << log;
    EXPECT_NE(log.find("index out of range"), std::string::npos) << log;
}

} // namespace
