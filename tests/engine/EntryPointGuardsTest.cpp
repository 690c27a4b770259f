// The entry points' checks that come before any model is touched, under AddressSanitizer.
// Nothing here loads the inference layer (ASan refuses its RTLD_DEEPBIND).
#include "synaptra/SYNTranslatePhraseService.h"
#include "synaptra/quorvalde_c_translator.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr const char *kBadPointers = "Bad data for input pointers. May be NULL pointers?";

struct Buffers {
    std::vector<char> result = std::vector<char>(kQuorvaldeBufferSize, '\x7f');
    std::vector<char> error = std::vector<char>(kQuorvaldeBufferSize, '\x7f');
    std::string message() const { return error.data(); }
};

TEST(EntryPointGuards, InitChecksPointersThenIndex) {
    Buffers b;
    EXPECT_EQ(initQuorvalde(nullptr, "a", "b", 1, b.error.data()), 5);
    EXPECT_EQ(b.message(), kBadPointers);
    EXPECT_EQ(initQuorvalde("m", nullptr, "b", 1, b.error.data()), 5);
    EXPECT_EQ(initQuorvalde("m", "a", nullptr, 1, b.error.data()), 5);
    EXPECT_EQ(initQuorvalde("m", "a", "b", 1, nullptr), 5);
    // Pointers are checked before the index.
    EXPECT_EQ(initQuorvalde(nullptr, "a", "b", 7, b.error.data()), 5);
    for (int index : {0, 3, -1}) {
        EXPECT_EQ(initQuorvalde("m", "a", "b", index, b.error.data()), 1);
        EXPECT_EQ(b.message(), "Bad translator index");
    }
}

TEST(EntryPointGuards, TranslateChecksPointersTextThenIndex) {
    Buffers b;
    char text[] = "Hello.";
    char empty[] = "";
    char blankLines[] = "\n\n";
    EXPECT_EQ(translateQuorvalde(text, b.result.data(), 1, nullptr), 4);
    EXPECT_EQ(translateQuorvalde(nullptr, b.result.data(), 1, b.error.data()), 4);
    EXPECT_EQ(b.message(), kBadPointers);
    EXPECT_EQ(translateQuorvalde(text, nullptr, 1, b.error.data()), 4);
    EXPECT_EQ(translateQuorvalde(empty, b.result.data(), 1, b.error.data()), 3);
    EXPECT_EQ(b.message(), "Bad source text data. May be empty text?");
    EXPECT_EQ(translateQuorvalde(blankLines, b.result.data(), 2, b.error.data()), 3);
    // An empty text with a bad index reports the empty text: the index is checked after.
    EXPECT_EQ(translateQuorvalde(empty, b.result.data(), 3, b.error.data()), 3);
    EXPECT_EQ(translateQuorvalde(text, b.result.data(), 0, b.error.data()), 1);
    EXPECT_EQ(b.message(), "Bad translator index");
    EXPECT_EQ(translateQuorvalde(text, b.result.data(), 3, b.error.data()), 1);
}

TEST(EntryPointGuards, EmptySlotsReportAnErrorInsteadOfCrashing) {
    Buffers b;
    char text[] = "Hello there.";
    EXPECT_EQ(translateQuorvalde(text, b.result.data(), 1, b.error.data()), 1);
    EXPECT_EQ(b.message(), "Translator is not loaded");
    EXPECT_EQ(closeQuorvalde(2, b.error.data()), 1);
    EXPECT_EQ(b.message(), "Translator is not loaded");
}

TEST(EntryPointGuards, CloseChecksBufferThenIndex) {
    Buffers b;
    EXPECT_EQ(closeQuorvalde(1, nullptr), 2);
    EXPECT_EQ(closeQuorvalde(0, b.error.data()), 1);
    EXPECT_EQ(b.message(), "Bad translator index");
    EXPECT_EQ(closeQuorvalde(3, b.error.data()), 1);
}

TEST(EntryPointGuards, ServiceReportsEngineCodesAsErrors) {
    SYNTranslatePhraseService service;
    SYNError error;
    EXPECT_EQ(service.translatedTextForSecondPairFromText("", &error, nullptr), "");
    EXPECT_EQ(error.domain, "SYNTranslatePhraseService");
    EXPECT_EQ(error.code, 2041);
    EXPECT_EQ(error.codeONMT, 3);
    EXPECT_EQ(error.userInfo.at("CodeONMT"), "3");
    EXPECT_EQ(error.userInfo.at("Error"), "Invalid response");
    EXPECT_EQ(error.description, "Bad source text data. May be empty text?");

    SYNError closeError;
    EXPECT_FALSE(service.deallocCustomForIndex(3, &closeError));
    EXPECT_EQ(closeError.codeONMT, 1);
    EXPECT_EQ(closeError.description, "Bad translator index");
    // Without an error slot only the result reports the failure.
    EXPECT_FALSE(service.deallocCustomForIndex(0, nullptr));
}

TEST(EntryPointGuards, TextsTooLongForOneCallAreRefusedFirst) {
    // Refused before segmentation, the index check or any model: the result could not fit.
    struct Case {
        size_t bytes;
        int code;
    };
    for (const Case c : {Case{31999, 1}, Case{32000, 5}, Case{200000, 5}}) {
        SCOPED_TRACE(c.bytes);
        std::string big(c.bytes, 'a');
        for (size_t i = 50; i < big.size(); i += 51)
            big[i] = ' ';
        Buffers b;
        EXPECT_EQ(translateQuorvalde(big.data(), b.result.data(), 9, b.error.data()), c.code);
        if (c.code == 5) {
            EXPECT_EQ(b.message(),
                      "The text is too long to translate at once: at most 31999 bytes in one call");
        }
    }
}

} // namespace
