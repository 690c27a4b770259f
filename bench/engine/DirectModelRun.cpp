// Runs a saved translation model's "serve" method straight through TorchScript, with inputs
// built before the clock starts: the model's own time, without the engine around it.
#include <torch/script.h>

#include <dlfcn.h>

#include <chrono>

namespace {

torch::jit::Module module;
c10::List<c10::List<std::string>> tokens;
torch::Tensor lengths;

} // namespace

extern "C" __attribute__((visibility("default"))) int directLoad(const char *modelDir) {
    try {
        module = torch::jit::load(std::string(modelDir) + "/saved_model.pt");
        module.eval();
        return 0;
    } catch (const std::exception &) {
        return 1;
    }
}

// Rows of tokens, each row's tokens separated by '\0' within `rowData[i]` of `rowSizes[i]` tokens.
extern "C" __attribute__((visibility("default"))) void directPrepare(const char *const *flatTokens,
                                                                     const int *rowSizes, int rows) {
    int longest = 0;
    for (int r = 0; r < rows; ++r)
        longest = std::max(longest, rowSizes[r]);
    tokens = c10::List<c10::List<std::string>>();
    std::vector<int32_t> lens;
    size_t at = 0;
    for (int r = 0; r < rows; ++r) {
        c10::List<std::string> row;
        for (int k = 0; k < longest; ++k)
            row.push_back(k < rowSizes[r] ? flatTokens[at + static_cast<size_t>(k)] : "");
        at += static_cast<size_t>(rowSizes[r]);
        tokens.push_back(row);
        lens.push_back(rowSizes[r]);
    }
    lengths = torch::tensor(lens, torch::kInt);
}

// Seconds taken by one call of serve; negative on failure.
extern "C" __attribute__((visibility("default"))) double directRun() {
    try {
        c10::InferenceMode guard;
        const auto start = std::chrono::steady_clock::now();
        module.get_method("serve")({tokens, lengths});
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } catch (const std::exception &) {
        return -1.0;
    }
}

// The BLAS threads of the next runs, as the engine's layer sets them for a batch.
extern "C" __attribute__((visibility("default"))) void directThreads(int threads) {
    void *blas = dlopen("libopenblas.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (blas == nullptr)
        return;
    if (const auto set = reinterpret_cast<void (*)(int)>(dlsym(blas, "openblas_set_num_threads")))
        set(threads);
    dlclose(blas);
}
