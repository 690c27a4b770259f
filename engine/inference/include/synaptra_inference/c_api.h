// The flat inference interface the engine drives: statuses, string and numeric tensors,
// graphs of named operations and sessions over saved models. Implemented on libtorch
// (TorchScript) in libsynaptra_inference.so, which the engine loads with dlopen.
//
// Saved models: a directory holding saved_model.pt, a TorchScript archive with
//  - a method named after the load tag ("serve"), taking one argument per signature input
//    (a [B, T] TF_STRING tensor arrives as List[List[str]], numeric tensors as Tensor) and
//    returning a tuple with one value per signature output (a Tensor, or nested lists of str that
//    become a rectangular TF_STRING tensor padded with "");
//  - attributes signature_inputs and signature_outputs (List[str]) naming those values; they are
//    the graph's operations, each used at index 0.
// Runs happen under inference mode on the CPU. Compute threads are set up once, before the first
// load: each run gets up to the machine's physical cores, at most 4, and down to 2 while other
// programs keep the cores busy. QV_ENGINE_THREADS (a positive number) fixes the count instead.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(SYNAPTRA_INFERENCE_BUILD)
#define TF_CAPI_EXPORT __attribute__((visibility("default")))
#else
#define TF_CAPI_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum TF_Code {
    TF_OK = 0,
    TF_CANCELLED = 1,
    TF_UNKNOWN = 2,
    TF_INVALID_ARGUMENT = 3,
    TF_DEADLINE_EXCEEDED = 4,
    TF_NOT_FOUND = 5,
    TF_ALREADY_EXISTS = 6,
    TF_PERMISSION_DENIED = 7,
    TF_UNAUTHENTICATED = 16,
    TF_RESOURCE_EXHAUSTED = 8,
    TF_FAILED_PRECONDITION = 9,
    TF_ABORTED = 10,
    TF_OUT_OF_RANGE = 11,
    TF_UNIMPLEMENTED = 12,
    TF_INTERNAL = 13,
    TF_UNAVAILABLE = 14,
    TF_DATA_LOSS = 15,
} TF_Code;

typedef enum TF_DataType {
    TF_FLOAT = 1,
    TF_DOUBLE = 2,
    TF_INT32 = 3,
    TF_UINT8 = 4,
    TF_INT16 = 5,
    TF_INT8 = 6,
    TF_STRING = 7,
    TF_INT64 = 9,
    TF_BOOL = 10,
} TF_DataType;

typedef struct TF_Status TF_Status;
typedef struct TF_Tensor TF_Tensor;
typedef struct TF_Graph TF_Graph;
typedef struct TF_Operation TF_Operation;
typedef struct TF_Session TF_Session;
typedef struct TF_SessionOptions TF_SessionOptions;

typedef struct TF_Buffer {
    const void *data;
    size_t length;
    void (*data_deallocator)(void *data, size_t length);
} TF_Buffer;

typedef struct TF_Output {
    TF_Operation *oper;
    int index;
} TF_Output;

// Status
TF_CAPI_EXPORT TF_Status *TF_NewStatus(void);
TF_CAPI_EXPORT void TF_DeleteStatus(TF_Status *);
TF_CAPI_EXPORT void TF_SetStatus(TF_Status *s, TF_Code code, const char *msg);
TF_CAPI_EXPORT TF_Code TF_GetCode(const TF_Status *s);
TF_CAPI_EXPORT const char *TF_Message(const TF_Status *s);

// Strings inside TF_STRING tensors: a varint64 length followed by the bytes. A string tensor's
// buffer starts with one uint64 offset per element, counted from the end of that table.
TF_CAPI_EXPORT size_t TF_StringEncodedSize(size_t len);
TF_CAPI_EXPORT size_t TF_StringEncode(const char *src, size_t src_len, char *dst, size_t dst_len,
                                      TF_Status *status);
TF_CAPI_EXPORT size_t TF_StringDecode(const char *src, size_t src_len, const char **dst, size_t *dst_len,
                                      TF_Status *status);

// Tensors own their buffer through the deallocator given at creation.
TF_CAPI_EXPORT TF_Tensor *TF_NewTensor(TF_DataType type, const int64_t *dims, int num_dims, void *data,
                                       size_t len, void (*deallocator)(void *data, size_t len, void *arg),
                                       void *deallocator_arg);
TF_CAPI_EXPORT void TF_DeleteTensor(TF_Tensor *);
TF_CAPI_EXPORT TF_DataType TF_TensorType(const TF_Tensor *);
TF_CAPI_EXPORT int TF_NumDims(const TF_Tensor *);
TF_CAPI_EXPORT int64_t TF_Dim(const TF_Tensor *tensor, int dim_index);
TF_CAPI_EXPORT size_t TF_TensorByteSize(const TF_Tensor *);
TF_CAPI_EXPORT void *TF_TensorData(const TF_Tensor *);

// Graphs hold the named operations of a loaded saved model.
TF_CAPI_EXPORT TF_Graph *TF_NewGraph(void);
TF_CAPI_EXPORT void TF_DeleteGraph(TF_Graph *);
TF_CAPI_EXPORT TF_Operation *TF_GraphOperationByName(TF_Graph *graph, const char *oper_name);

// Sessions
TF_CAPI_EXPORT TF_SessionOptions *TF_NewSessionOptions(void);
TF_CAPI_EXPORT void TF_DeleteSessionOptions(TF_SessionOptions *);
TF_CAPI_EXPORT TF_Session *TF_LoadSessionFromSavedModel(const TF_SessionOptions *session_options,
                                                        const TF_Buffer *run_options, const char *export_dir,
                                                        const char *const *tags, int tags_len,
                                                        TF_Graph *graph, TF_Buffer *meta_graph_def,
                                                        TF_Status *status);
TF_CAPI_EXPORT void TF_DeleteSession(TF_Session *, TF_Status *status);
// Output tensors are new and belong to the caller. Input tensors stay the caller's.
TF_CAPI_EXPORT void TF_SessionRun(TF_Session *session, const TF_Buffer *run_options, const TF_Output *inputs,
                                  TF_Tensor *const *input_values, int ninputs, const TF_Output *outputs,
                                  TF_Tensor **output_values, int noutputs,
                                  const TF_Operation *const *target_opers, int ntargets,
                                  TF_Buffer *run_metadata, TF_Status *status);

// Not part of the TF_* interface: fixes the compute threads of later runs (threads > 0) or
// returns to the built-in choice (0), whatever QV_ENGINE_THREADS says. Returns the most threads a
// run may now use. For benchmarks and tests.
TF_CAPI_EXPORT int SYN_SetComputeThreads(int threads);

#ifdef __cplusplus
}
#endif
