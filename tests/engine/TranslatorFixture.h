// The entry points called as the service calls them, with fresh 32000-byte buffers, and the
// fixture that releases both slots after each test.
#pragma once

#include "EngineFixtures.h"
#include "synaptra/quorvalde_c_translator.h"

#include <gtest/gtest.h>
#include <sentencepiece_processor.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace enginetest {

struct Outcome {
    int code;
    std::string text;
    std::string message;
};

class TranslatorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(fixture("identity/saved_model.pt")))
            << "fixtures missing: run through ctest";
    }
    void TearDown() override {
        char error[kQuorvaldeBufferSize];
        closeQuorvalde(1, error);
        closeQuorvalde(2, error);
    }

    static Outcome init(const std::string &model, const std::string &from, const std::string &to, int index) {
        std::vector<char> error(kQuorvaldeBufferSize, '\0');
        const int code = initQuorvalde(model.c_str(), from.c_str(), to.c_str(), index, error.data());
        return {code, {}, error.data()};
    }

    static Outcome loadIdentity(int index) {
        return init(fixture("identity"), fixture("en.spm.model"), fixture("en.spm.model"), index);
    }

    // A model directory with the English tokenizer on both sides.
    static Outcome load(const std::string &modelDir, int index) {
        return init(modelDir, fixture("en.spm.model"), fixture("en.spm.model"), index);
    }

    static Outcome translate(const std::string &text, int index) {
        std::vector<char> source(text.begin(), text.end());
        source.push_back('\0');
        std::vector<char> result(kQuorvaldeBufferSize, '\0');
        std::vector<char> error(kQuorvaldeBufferSize, '\0');
        const int code = translateQuorvalde(source.data(), result.data(), index, error.data());
        return {code, result.data(), error.data()};
    }

    static Outcome close(int index) {
        std::vector<char> error(kQuorvaldeBufferSize, '\0');
        const int code = closeQuorvalde(index, error.data());
        return {code, {}, error.data()};
    }
};

// The English tokenizer, unencrypted, to know the ids the engine sees.
inline const sentencepiece::SentencePieceProcessor &englishTokenizer() {
    static const auto *processor = [] {
        auto *p = new sentencepiece::SentencePieceProcessor();
        EXPECT_TRUE(p->LoadFromSerializedProto(readBytes(fixture("en.plain.model"))).ok());
        return p;
    }();
    return *processor;
}

// The model token of a word the tokenizer keeps as one piece ("widxN").
inline std::string tokenOf(const std::string &word) {
    std::vector<int> ids;
    EXPECT_TRUE(englishTokenizer().Encode(word, &ids).ok());
    EXPECT_EQ(ids.size(), 1u) << word << " is not one piece";
    return ids.empty() ? std::string() : "widx" + std::to_string(ids.front());
}

// A word-table model made for one test: each line maps a model token to tokens.
inline std::string makeWordTableModel(const std::string &name,
                                      const std::vector<std::pair<std::string, std::string>> &table) {
    const std::string dir = scratchDir(name);
    std::string lines;
    for (const auto &[from, to] : table)
        lines += from + "\t" + to + "\n";
    writeBytes(dir + "/table.txt", lines);
    const std::string command = std::string(ENGINE_MODEL_MAKER) + " wordtable --table " + dir +
                                "/table.txt --output " + dir + "/model";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return dir + "/model";
}

} // namespace enginetest
