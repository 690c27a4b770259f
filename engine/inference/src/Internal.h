// Object layouts shared by the layer's translation units; torch stays out of this header.
#pragma once

#include "synaptra_inference/c_api.h"

#include <memory>
#include <string>
#include <vector>

struct TF_Status {
    TF_Code code = TF_OK;
    std::string message;
};

struct TF_Tensor {
    TF_DataType type = TF_FLOAT;
    std::vector<int64_t> dims;
    void *data = nullptr;
    size_t len = 0;
    void (*deallocator)(void *, size_t, void *) = nullptr;
    void *deallocatorArg = nullptr;
};

struct TF_SessionOptions {};

// An operation names one value of the model's signature: the N-th argument of the serving
// method (an input) or the N-th element of what it returns (an output).
struct TF_Operation {
    std::string name;
    bool isInput = false;
    int position = 0;
};

// Sessions keep the operation table alive after the graph is deleted, so output handles the
// caller still holds stay valid for as long as the session runs.
struct OperationTable {
    std::vector<std::unique_ptr<TF_Operation>> operations;
};

struct TF_Graph {
    std::shared_ptr<OperationTable> table;
};

namespace synaptra_inference {

void setStatus(TF_Status *status, TF_Code code, const std::string &message);

size_t elementCount(const std::vector<int64_t> &dims);

// Reads every element of a TF_STRING tensor, checking the offset table and each element
// against the buffer's end. False (with the status set) for a malformed tensor.
bool readStringTensor(const TF_Tensor *tensor, std::vector<std::string> &out, TF_Status *status);

// Builds a TF_STRING tensor of the given shape from elements in row-major order.
TF_Tensor *makeStringTensor(const std::vector<int64_t> &dims, const std::vector<std::string> &elements);

// A tensor whose buffer is a fresh malloc'd copy of `bytes` bytes.
TF_Tensor *makeTensorCopy(TF_DataType type, const std::vector<int64_t> &dims, const void *bytes, size_t len);

size_t dataTypeSize(TF_DataType type);

} // namespace synaptra_inference
