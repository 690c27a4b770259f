#include "synaptra/SYNTranslatePhraseService.h"
#include "EngineFixtures.h"
#include "TranslatorFixture.h"
#include "synaptra/quorvalde_c_translator.h"

#include <gtest/gtest.h>

#include <cctype>
#include <thread>

using enginetest::fixture;

namespace {

class RenamedService : public SYNTranslatePhraseService {
protected:
    std::string className() const override { return "RenamedService"; }
};

class PhraseService : public ::testing::Test {
protected:
    void TearDown() override {
        service.deallocCustomForFirstPairError(nullptr);
        service.deallocCustomForSecondPairError(nullptr);
    }
    bool loadIdentity(int index, SYNError *error) {
        return service.initWithModelDirPath(fixture("identity"), fixture("en.spm.model"),
                                            fixture("en.spm.model"), index, error);
    }
    SYNTranslatePhraseService service;
};

TEST_F(PhraseService, DirectoryWithoutSavedModelGivesEngineErrorTwo) {
    SYNError error;
    EXPECT_FALSE(service.setFirstWithModelDirPath(fixture("does-not-exist"), fixture("en.spm.model"),
                                                  fixture("en.spm.model"), &error));
    EXPECT_EQ(error.domain, "SYNTranslatePhraseService");
    EXPECT_EQ(error.code, 2041);
    EXPECT_EQ(error.codeONMT, 2);
    EXPECT_EQ(error.userInfo.at("CodeONMT"), "2");
    EXPECT_NE(error.description.find("saved_model.pt"), std::string::npos);
}

TEST_F(PhraseService, SubclassReportsItsOwnDomain) {
    RenamedService renamed;
    SYNError error;
    EXPECT_EQ(renamed.translatedTextForFirstPairFromText("", &error, nullptr), "");
    EXPECT_EQ(error.domain, "RenamedService");
    EXPECT_EQ(error.codeONMT, 3);
}

TEST_F(PhraseService, TranslationLeavesUnknownWordsUntouched) {
    SYNError error;
    ASSERT_TRUE(loadIdentity(2, &error)) << error.description;
    std::string unknown = "untouched";
    EXPECT_EQ(service.translatedTextForSecondPairFromText("good morning!", &error, &unknown),
              "good morning!");
    EXPECT_EQ(unknown, "untouched");
}

TEST_F(PhraseService, ReleasingFirstPairKeepsSecondLoaded) {
    SYNError error;
    ASSERT_TRUE(loadIdentity(1, &error));
    ASSERT_TRUE(loadIdentity(2, &error));
    EXPECT_TRUE(service.deallocCustomForFirstPairError(&error));
    EXPECT_EQ(service.translatedTextForSecondPairFromText("hello world", &error, nullptr), "hello world");
    SYNError released;
    EXPECT_EQ(service.translatedTextForFirstPairFromText("hello world", &released, nullptr), "");
    EXPECT_EQ(released.codeONMT, 1);
    EXPECT_FALSE(service.deallocCustomForFirstPairError(&released));
}

TEST_F(PhraseService, InitBothKeepsSlotOneWhenSlotTwoFails) {
    SYNError error;
    EXPECT_FALSE(service.initBothWithFirstModelDirPath(
        fixture("identity"), fixture("en.spm.model"), fixture("en.spm.model"), fixture("identity"),
        fixture("en.spm.model"), fixture("missing.spm.model"), &error));
    EXPECT_EQ(error.codeONMT, 4);
    EXPECT_EQ(service.translatedTextForFirstPairFromText("hello", &error, nullptr), "hello");
}

// A page of paragraphs, sentences and blank lines of at least `bytes` bytes.
std::string page(size_t bytes) {
    const char *sentences[] = {"the cat sat on a mat.", "we like green apples!", "how are you today?",
                               "good morning, the weather is very fine."};
    std::string text;
    for (size_t i = 0; text.size() < bytes; ++i)
        text += std::string(sentences[i % 4]) + (i % 9 == 8 ? "\r\n\r\n" : i % 4 == 3 ? "\n" : " ");
    return text;
}

std::string withoutTrailingWhitespace(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

TEST_F(PhraseService, TextsOfAnyLengthTranslateInPieces) {
    SYNError error;
    ASSERT_TRUE(loadIdentity(1, &error)) << error.description;
    std::string oneLine;
    while (oneLine.size() < 50000)
        oneLine += "the cat sat on a mat. ";
    std::string noSpaces;
    while (noSpaces.size() < 50000)
        noSpaces += "catdogmat";
    const std::vector<std::pair<const char *, std::string>> cases = {
        {"50 KB of paragraphs", page(50000)},
        {"1 MB of paragraphs", page(1u << 20)},
        {"50 KB on one line", oneLine},
        {"50 KB without spaces", noSpaces},
        {"leading blank lines", "\n\n" + page(20000)},
    };
    for (const auto &[name, text] : cases) {
        SCOPED_TRACE(name);
        SYNError failure;
        const std::string result = service.translatedTextForFirstPairFromText(text, &failure, nullptr);
        EXPECT_FALSE(failure) << failure.description;
        // Like one engine call: no leading blank lines, no whitespace at the end.
        std::string expected = text;
        expected.erase(0, expected.find_first_not_of("\r\n"));
        EXPECT_TRUE(result == withoutTrailingWhitespace(expected))
            << result.size() << " bytes back for " << text.size();
    }
}

TEST_F(PhraseService, PieceWhoseTranslationOutgrowsTheBufferIsRetriedInHalves) {
    // Each "cat" becomes forty: 3 KB of text translate to about 45 KB.
    const std::string cat = enginetest::tokenOf("cat");
    std::string forty, expectedLine = "the";
    for (int i = 0; i < 40; ++i) {
        forty += (i ? " " : "") + cat;
        expectedLine += " cat";
    }
    expectedLine += " sat.";
    SYNError error;
    ASSERT_TRUE(
        service.setFirstWithModelDirPath(enginetest::makeWordTableModel("service-forty-cats", {{cat, forty}}),
                                         fixture("en.spm.model"), fixture("en.spm.model"), &error))
        << error.description;
    std::string text, expected;
    for (int i = 0; i < 250; ++i) {
        text += std::string(i ? "\n" : "") + "the cat sat.";
        expected += std::string(i ? "\n" : "") + expectedLine;
    }
    const std::string result = service.translatedTextForFirstPairFromText(text, &error, nullptr);
    EXPECT_FALSE(error) << error.description;
    EXPECT_TRUE(result == expected) << result.size() << " bytes instead of " << expected.size();
}

TEST_F(PhraseService, FailedRunGivesCodeTwoWithAnEmptyDescription) {
    SYNError error;
    ASSERT_TRUE(service.setSecondWithModelDirPath(fixture("transformer-16"), fixture("en.spm.model"),
                                                  fixture("en.spm.model"), &error));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(service.translatedTextForSecondPairFromText(
                  "the cat sat on a mat and the dog ran far away from home with the green apples today.",
                  &error, nullptr),
              "");
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(error.code, 2041);
    EXPECT_EQ(error.codeONMT, 2);
    EXPECT_EQ(error.userInfo.at("CodeONMT"), "2");
    EXPECT_EQ(error.description, "");
}

TEST_F(PhraseService, CanBeDrivenFromAWorkerThread) {
    SYNError error;
    std::string result;
    std::thread worker([&] {
        if (loadIdentity(1, &error))
            result = service.translatedTextForFirstPairFromText("the cat sat.", &error, nullptr);
    });
    worker.join();
    EXPECT_EQ(result, "the cat sat.") << error.description;
}

} // namespace
