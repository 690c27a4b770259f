// A package made by the package maker, unpacked as the application unpacks it.
#include "EngineFixtures.h"
#include "synaptra/SYNTranslatePhraseService.h"

#include <gtest/gtest.h>

using enginetest::fixture;

namespace {

TEST(LanguagePackage, HoldsBothDirectionsWithTheirTokenizers) {
    for (const char *folder : {"package/de-en", "package/en-de"})
        for (const char *file : {"saved_model.pt", "en.spm.model", "de.spm.model"})
            EXPECT_TRUE(std::filesystem::is_regular_file(fixture(std::string(folder) + "/" + file)))
                << folder << "/" << file;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fixture("package")), {}), 2);
}

TEST(LanguagePackage, TranslatesBothWaysAsTheBridgeLoadsIt) {
    SYNTranslatePhraseService service;
    SYNError error;
    // Slot 1: language to English, the language's tokenizer encodes. Slot 2: English to it.
    ASSERT_TRUE(service.setFirstWithModelDirPath(fixture("package/de-en"),
                                                 fixture("package/de-en/de.spm.model"),
                                                 fixture("package/de-en/en.spm.model"), &error))
        << error.description;
    ASSERT_TRUE(service.setSecondWithModelDirPath(fixture("package/en-de"),
                                                  fixture("package/en-de/en.spm.model"),
                                                  fixture("package/en-de/de.spm.model"), &error))
        << error.description;
    EXPECT_EQ(service.translatedTextForFirstPairFromText("hallo welt. katze", &error, nullptr),
              "hello world. cat");
    EXPECT_EQ(service.translatedTextForSecondPairFromText("hello world\ndog", &error, nullptr),
              "hallo welt\nhund");
    service.deallocCustomForFirstPairError(nullptr);
    service.deallocCustomForSecondPairError(nullptr);
}

} // namespace
