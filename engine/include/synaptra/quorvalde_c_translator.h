// The engine's three entry points. Each returns 0 on success or a small positive status code
// and writes a NUL-terminated message into `error`, which must hold kQuorvaldeBufferSize bytes
// (as must `result`). No exception leaves them. Not thread-safe: callers serialise every call.
#pragma once

#include "synaptra/Export.h"

#ifdef __cplusplus
extern "C" {
#endif

// Size of every caller buffer; no result or message longer than this (NUL included) is written.
enum { kQuorvaldeBufferSize = 32000 };

// Loads a saved model directory with its source and target tokenizer files into slot 1 or 2.
// 5 null pointer, 1 bad index, 2 model load failed, 3 source tokenizer, 4 target tokenizer,
// 6 unexpected failure. A failed load leaves the slot as it was; a load into an occupied slot
// replaces its model.
SYNAPTRA_EXPORT int initQuorvalde(const char *modelDir, const char *fromModelPath, const char *toModelPath,
                                  int index, char *error);

// Translates NUL-terminated UTF-8 `text` with a slot. 4 null pointer, 3 empty text, 1 bad index
// or empty slot, 2 inference failed, 5 tokenizer failure, oversized result or unexpected failure.
SYNAPTRA_EXPORT int translateQuorvalde(char *text, char *result, int index, char *error);

// Releases a slot. 2 null error buffer, 1 bad index or empty slot, 3 unexpected failure.
SYNAPTRA_EXPORT int closeQuorvalde(int index, char *error);

#ifdef __cplusplus
}
#endif
