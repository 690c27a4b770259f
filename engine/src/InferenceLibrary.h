// The TF_* layer, loaded on first use from libsynaptra_inference.so next to this library
// (or from $QV_INFERENCE_LIBRARY) with RTLD_DEEPBIND, so that its libtorch and protobuf stay
// out of the scope of the sentencepiece this library links.
#pragma once

#include "synaptra_inference/c_api.h"

#include <string>

namespace synaptra {

struct InferenceApi {
#define SYNAPTRA_TF_FUNCTION(name) decltype(&::name) name = nullptr;
#include "InferenceFunctions.inc"
#undef SYNAPTRA_TF_FUNCTION
};

// The loaded layer, or null with `error` set when it cannot be loaded. Loaded once per process.
const InferenceApi *inferenceApi(std::string &error);

} // namespace synaptra
