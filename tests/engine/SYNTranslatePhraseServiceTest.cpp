#include "synaptra/SYNTranslatePhraseService.h"
#include "EngineFixtures.h"
#include "synaptra/quorvalde_c_translator.h"

#include <gtest/gtest.h>

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
