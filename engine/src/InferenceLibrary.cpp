#include "InferenceLibrary.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

namespace synaptra {

namespace {

constexpr const char *kLibraryName = "libsynaptra_inference.so";
constexpr const char *kLibraryEnv = "QV_INFERENCE_LIBRARY";

std::string libraryPath() {
    if (const char *overridden = std::getenv(kLibraryEnv); overridden != nullptr && *overridden != '\0')
        return overridden;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&inferenceApi), &info) != 0 && info.dli_fname != nullptr) {
        std::string self = info.dli_fname;
        const size_t slash = self.rfind('/');
        if (slash != std::string::npos)
            return self.substr(0, slash + 1) + kLibraryName;
    }
    return kLibraryName;
}

struct Loaded {
    InferenceApi api;
    bool ok = false;
    std::string error;
};

Loaded load() {
    Loaded loaded;
    const std::string path = libraryPath();
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    if (handle == nullptr) {
        const char *reason = dlerror();
        loaded.error =
            "Cannot load the inference library " + path + ": " + (reason ? reason : "unknown error");
        return loaded;
    }
#define SYNAPTRA_TF_FUNCTION(name)                                                                           \
    loaded.api.name = reinterpret_cast<decltype(loaded.api.name)>(dlsym(handle, #name));                     \
    if (loaded.api.name == nullptr) {                                                                        \
        loaded.error = "The inference library " + path + " lacks " #name;                                    \
        dlclose(handle);                                                                                     \
        return loaded;                                                                                       \
    }
#include "InferenceFunctions.inc"
#undef SYNAPTRA_TF_FUNCTION
    // The handle stays open for the life of the process: sessions may outlive any one caller.
    loaded.ok = true;
    return loaded;
}

} // namespace

const InferenceApi *inferenceApi(std::string &error) {
    static std::mutex mutex;
    static Loaded loaded;
    static bool attempted = false;
    std::lock_guard<std::mutex> lock(mutex);
    if (!attempted || !loaded.ok) {
        loaded = load();
        attempted = true;
    }
    if (!loaded.ok) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.api;
}

} // namespace synaptra
