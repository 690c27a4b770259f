#include "Internal.h"

#include <cstdlib>
#include <cstring>
#include <limits>

using namespace synaptra_inference;

namespace synaptra_inference {

void setStatus(TF_Status *status, TF_Code code, const std::string &message) {
    if (status == nullptr)
        return;
    status->code = code;
    status->message = message;
}

size_t elementCount(const std::vector<int64_t> &dims) {
    size_t n = 1;
    for (int64_t d : dims)
        n *= static_cast<size_t>(d < 0 ? 0 : d);
    return n;
}

size_t dataTypeSize(TF_DataType type) {
    switch (type) {
    case TF_FLOAT:
        return 4;
    case TF_DOUBLE:
        return 8;
    case TF_INT32:
        return 4;
    case TF_UINT8:
        return 1;
    case TF_INT16:
        return 2;
    case TF_INT8:
        return 1;
    case TF_INT64:
        return 8;
    case TF_BOOL:
        return 1;
    case TF_STRING:
        return 0;
    }
    return 0;
}

bool readStringTensor(const TF_Tensor *tensor, std::vector<std::string> &out, TF_Status *status) {
    out.clear();
    if (tensor == nullptr || tensor->type != TF_STRING) {
        setStatus(status, TF_INVALID_ARGUMENT, "Expected a TF_STRING tensor");
        return false;
    }
    const size_t count = elementCount(tensor->dims);
    if (count > tensor->len / sizeof(uint64_t)) {
        setStatus(status, TF_INVALID_ARGUMENT,
                  "Malformed TF_STRING tensor; too short to hold number of elements");
        return false;
    }
    const char *base = static_cast<const char *>(tensor->data);
    const size_t tableSize = count * sizeof(uint64_t);
    const char *dataArea = base + tableSize;
    const size_t dataSize = tensor->len - tableSize;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        uint64_t offset;
        std::memcpy(&offset, base + i * sizeof(uint64_t), sizeof offset);
        if (offset >= dataSize) {
            setStatus(status, TF_INVALID_ARGUMENT,
                      "Malformed TF_STRING tensor; element " + std::to_string(i) + " out of range");
            return false;
        }
        const char *text = nullptr;
        size_t textLen = 0;
        TF_StringDecode(dataArea + offset, dataSize - offset, &text, &textLen, status);
        if (status->code != TF_OK)
            return false;
        out.emplace_back(text, textLen);
    }
    return true;
}

TF_Tensor *makeTensorCopy(TF_DataType type, const std::vector<int64_t> &dims, const void *bytes, size_t len) {
    void *buffer = std::malloc(len == 0 ? 1 : len);
    if (buffer == nullptr)
        return nullptr;
    if (len > 0)
        std::memcpy(buffer, bytes, len);
    TF_Tensor *tensor = TF_NewTensor(
        type, dims.data(), static_cast<int>(dims.size()), buffer, len,
        [](void *data, size_t, void *) { std::free(data); }, nullptr);
    if (tensor == nullptr)
        std::free(buffer); // a refused tensor never takes ownership
    return tensor;
}

TF_Tensor *makeStringTensor(const std::vector<int64_t> &dims, const std::vector<std::string> &elements) {
    const size_t tableSize = elements.size() * sizeof(uint64_t);
    size_t total = tableSize;
    for (const std::string &e : elements)
        total += TF_StringEncodedSize(e.size());
    char *buffer = static_cast<char *>(std::calloc(total == 0 ? 1 : total, 1));
    if (buffer == nullptr)
        return nullptr;
    TF_Status status;
    size_t offset = 0;
    for (size_t i = 0; i < elements.size(); ++i) {
        const uint64_t o = offset;
        std::memcpy(buffer + i * sizeof(uint64_t), &o, sizeof o);
        offset += TF_StringEncode(elements[i].data(), elements[i].size(), buffer + tableSize + offset,
                                  total - tableSize - offset, &status);
    }
    TF_Tensor *tensor = TF_NewTensor(
        TF_STRING, dims.data(), static_cast<int>(dims.size()), buffer, total,
        [](void *data, size_t, void *) { std::free(data); }, nullptr);
    if (tensor == nullptr)
        std::free(buffer);
    return tensor;
}

} // namespace synaptra_inference

extern "C" {

TF_Status *TF_NewStatus(void) {
    return new TF_Status;
}

void TF_DeleteStatus(TF_Status *s) {
    delete s;
}

void TF_SetStatus(TF_Status *s, TF_Code code, const char *msg) {
    setStatus(s, code, msg == nullptr ? "" : msg);
}

TF_Code TF_GetCode(const TF_Status *s) {
    return s == nullptr ? TF_OK : s->code;
}

const char *TF_Message(const TF_Status *s) {
    return s == nullptr ? "" : s->message.c_str();
}

size_t TF_StringEncodedSize(size_t len) {
    size_t varintBytes = 1;
    for (uint64_t v = len; v >= 0x80; v >>= 7)
        ++varintBytes;
    return varintBytes + len;
}

size_t TF_StringEncode(const char *src, size_t src_len, char *dst, size_t dst_len, TF_Status *status) {
    const size_t needed = TF_StringEncodedSize(src_len);
    if (dst == nullptr || dst_len < needed || (src == nullptr && src_len > 0)) {
        setStatus(status, TF_INVALID_ARGUMENT,
                  "dst_len (" + std::to_string(dst_len) + ") too small to encode a " +
                      std::to_string(src_len) + "-byte string");
        return 0;
    }
    size_t pos = 0;
    uint64_t v = src_len;
    while (v >= 0x80) {
        dst[pos++] = static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    dst[pos++] = static_cast<char>(v);
    if (src_len > 0)
        std::memcpy(dst + pos, src, src_len);
    setStatus(status, TF_OK, "");
    return needed;
}

size_t TF_StringDecode(const char *src, size_t src_len, const char **dst, size_t *dst_len,
                       TF_Status *status) {
    uint64_t length = 0;
    size_t pos = 0;
    for (int shift = 0;; shift += 7) {
        if (src == nullptr || pos >= src_len || shift > 63) {
            setStatus(status, TF_INVALID_ARGUMENT, "Invalid string encoding or truncated src buffer");
            return 0;
        }
        const auto byte = static_cast<unsigned char>(src[pos++]);
        length |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            break;
    }
    if (length > src_len - pos) {
        setStatus(status, TF_OUT_OF_RANGE,
                  "Encoded string of length " + std::to_string(length) + " runs past the buffer");
        return 0;
    }
    if (dst != nullptr)
        *dst = src + pos;
    if (dst_len != nullptr)
        *dst_len = static_cast<size_t>(length);
    setStatus(status, TF_OK, "");
    return pos + static_cast<size_t>(length);
}

TF_Tensor *TF_NewTensor(TF_DataType type, const int64_t *dims, int num_dims, void *data, size_t len,
                        void (*deallocator)(void *, size_t, void *), void *deallocator_arg) {
    if (num_dims < 0 || (num_dims > 0 && dims == nullptr))
        return nullptr;
    std::vector<int64_t> shape(dims, dims + num_dims);
    // The element count and the bytes it needs must not wrap, or a huge shape would pass the
    // size check below with a small buffer and every reader would run past it.
    size_t count = 1;
    for (int64_t d : shape)
        if (d < 0 || __builtin_mul_overflow(count, static_cast<uint64_t>(d), &count))
            return nullptr;
    const size_t elementSize = type == TF_STRING ? sizeof(uint64_t) : dataTypeSize(type);
    size_t needed = 0;
    if (__builtin_mul_overflow(count, elementSize, &needed))
        return nullptr;
    // Numeric buffers must hold exactly their elements; string buffers at least their offset table.
    if (type != TF_STRING && needed != len)
        return nullptr;
    if (type == TF_STRING && needed > len)
        return nullptr;
    auto *t = new TF_Tensor;
    t->type = type;
    t->dims = std::move(shape);
    t->data = data;
    t->len = len;
    t->deallocator = deallocator;
    t->deallocatorArg = deallocator_arg;
    return t;
}

void TF_DeleteTensor(TF_Tensor *t) {
    if (t == nullptr)
        return;
    if (t->deallocator != nullptr)
        t->deallocator(t->data, t->len, t->deallocatorArg);
    delete t;
}

TF_DataType TF_TensorType(const TF_Tensor *t) {
    return t->type;
}

int TF_NumDims(const TF_Tensor *t) {
    return static_cast<int>(t->dims.size());
}

int64_t TF_Dim(const TF_Tensor *t, int dim_index) {
    if (dim_index < 0 || static_cast<size_t>(dim_index) >= t->dims.size())
        return -1;
    return t->dims[static_cast<size_t>(dim_index)];
}

size_t TF_TensorByteSize(const TF_Tensor *t) {
    return t->len;
}

void *TF_TensorData(const TF_Tensor *t) {
    return t->data;
}

TF_Graph *TF_NewGraph(void) {
    auto *g = new TF_Graph;
    g->table = std::make_shared<OperationTable>();
    return g;
}

void TF_DeleteGraph(TF_Graph *g) {
    delete g;
}

TF_Operation *TF_GraphOperationByName(TF_Graph *graph, const char *oper_name) {
    if (graph == nullptr || oper_name == nullptr)
        return nullptr;
    for (const auto &op : graph->table->operations)
        if (op->name == oper_name)
            return op.get();
    return nullptr;
}

TF_SessionOptions *TF_NewSessionOptions(void) {
    return new TF_SessionOptions;
}

void TF_DeleteSessionOptions(TF_SessionOptions *o) {
    delete o;
}

} // extern "C"
