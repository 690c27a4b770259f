// Its own binary: the layer is loaded once per process, so this must run before any other load.
#include "EngineFixtures.h"
#include "synaptra/quorvalde_c_translator.h"

#include <gtest/gtest.h>

#include <cstdlib>

using enginetest::fixture;

TEST(InferenceLibraryLoad, MissingLayerFailsTheLoadAndALaterLoadRetries) {
    char error[kQuorvaldeBufferSize];
    const std::string tokenizer = fixture("en.spm.model");
    setenv("QV_INFERENCE_LIBRARY", "/nonexistent/libsynaptra_inference.so", 1);
    EXPECT_EQ(initQuorvalde(fixture("identity").c_str(), tokenizer.c_str(), tokenizer.c_str(), 1, error), 2);
    EXPECT_NE(std::string(error).find("Cannot load the inference library /nonexistent/"), std::string::npos)
        << error;

    setenv("QV_INFERENCE_LIBRARY", SYNAPTRA_INFERENCE_LIBRARY, 1);
    EXPECT_EQ(initQuorvalde(fixture("identity").c_str(), tokenizer.c_str(), tokenizer.c_str(), 1, error), 0)
        << error;
    EXPECT_EQ(closeQuorvalde(1, error), 0);
}
