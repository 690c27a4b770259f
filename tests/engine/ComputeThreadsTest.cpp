// The compute threads the layer gives runs, read back from the libraries that use them. Its own
// binary: the layer reads QV_ENGINE_THREADS once, before its first model loads.
#include "TranslatorFixture.h"

#include <dlfcn.h>

#include <cstdlib>

using enginetest::Outcome;

namespace {

template <typename Function> Function symbol(const char *library, const char *name) {
    void *handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(handle, nullptr) << library << " is not loaded";
    return handle == nullptr ? nullptr : reinterpret_cast<Function>(dlsym(handle, name));
}

class ComputeThreads : public enginetest::TranslatorFixture {};

TEST_F(ComputeThreads, VariableFixesEveryRunAndTheDefaultStaysWithinItsBounds) {
    setenv("QV_ENGINE_THREADS", "3", 1);
    ASSERT_EQ(loadIdentity(1).code, 0);
    const auto blasThreads = symbol<int (*)()>("libopenblas.so.0", "openblas_get_num_threads");
    const auto torchThreads = symbol<int (*)()>("libtorch_cpu.so.1.13", "_ZN2at15get_num_threadsEv");
    const auto setThreads = symbol<int (*)(int)>(SYNAPTRA_INFERENCE_LIBRARY, "SYN_SetComputeThreads");
    ASSERT_TRUE(blasThreads && torchThreads && setThreads);

    std::string page;
    for (int i = 0; i < 300; ++i)
        page += "the cat sat on a mat and we like green apples.\n";
    ASSERT_EQ(translate("hello world.", 1).code, 0);
    EXPECT_EQ(blasThreads(), 3) << "the variable fixes the threads of a small run too";
    // Beside OpenBLAS's own pool, libtorch's OpenMP pool keeps one thread.
    EXPECT_EQ(torchThreads(), 1);

    // The built-in choice: between one thread (contended cores) and its cap, by load.
    const int cap = setThreads(0);
    EXPECT_GE(cap, 1);
    EXPECT_LE(cap, 4);
    const Outcome batch = translate(page, 1);
    ASSERT_EQ(batch.code, 0) << batch.message;
    EXPECT_GE(blasThreads(), 1);
    EXPECT_LE(blasThreads(), cap);
    EXPECT_EQ(torchThreads(), 1);
    EXPECT_EQ(setThreads(5), 5);
    ASSERT_EQ(translate("hello world.", 1).code, 0);
    EXPECT_EQ(blasThreads(), 5);
}

} // namespace
