#include "BatchInference.h"

#include "EngineLog.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace synaptra {

namespace {

constexpr const char *kServeTag = "serve";
constexpr const char *kTokensInput = "Placeholder";
constexpr const char *kLengthsInput = "Placeholder_1";
constexpr const char *kTokensOutput = "transformer/index_to_string_Lookup";
constexpr const char *kLengthsOutput = "transformer/decoder/Minimum";
constexpr const char *kEndToken = "</s>";

void DeallocateTensor(void *data, size_t, void *) {
    std::free(data);
    engineLog("Deallocate tensor");
}

// Owns one object of the layer and deletes it through the layer.
template <typename T, void (*InferenceApi::*Deleter)(T *)> class Owned {
public:
    Owned(const InferenceApi *api, T *object) : m_api(api), m_object(object) {}
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    ~Owned() {
        if (m_object != nullptr)
            (m_api->*Deleter)(m_object);
    }
    T *get() const { return m_object; }
    T **slot() { return &m_object; }

private:
    const InferenceApi *m_api;
    T *m_object;
};

using Status = Owned<TF_Status, &InferenceApi::TF_DeleteStatus>;
using Tensor = Owned<TF_Tensor, &InferenceApi::TF_DeleteTensor>;
using Graph = Owned<TF_Graph, &InferenceApi::TF_DeleteGraph>;
using SessionOptions = Owned<TF_SessionOptions, &InferenceApi::TF_DeleteSessionOptions>;

// Decodes every element of a string tensor, never reading past its buffer.
bool decodeStrings(const InferenceApi &api, const TF_Tensor *tensor, size_t count,
                   std::vector<std::string> &out, std::string &error) {
    const size_t size = api.TF_TensorByteSize(tensor);
    const char *data = static_cast<const char *>(api.TF_TensorData(tensor));
    if (data == nullptr && count > 0) {
        error = "Wrong data tensor";
        return false;
    }
    if (size / sizeof(uint64_t) < count) {
        error = "Malformed TF_STRING tensor; too short to hold number of elements";
        return false;
    }
    const size_t tableSize = count * sizeof(uint64_t);
    const size_t dataSize = size - tableSize;
    Status status(&api, api.TF_NewStatus());
    out.clear();
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        uint64_t offset;
        std::memcpy(&offset, data + i * sizeof(uint64_t), sizeof offset);
        if (offset >= dataSize) {
            error = "Malformed TF_STRING tensor; element " + std::to_string(i) + " out of range";
            return false;
        }
        const char *text = nullptr;
        size_t length = 0;
        api.TF_StringDecode(data + tableSize + offset, dataSize - offset, &text, &length, status.get());
        if (api.TF_GetCode(status.get()) != TF_OK) {
            error = std::string("ERROR: something wrong with decoding: ") + api.TF_Message(status.get());
            return false;
        }
        out.emplace_back(text, length);
    }
    return true;
}

bool checkTensor(const InferenceApi &api, const TF_Tensor *tensor, TF_DataType type,
                 const std::vector<int64_t> &dims, size_t byteSize, std::string &error) {
    if (tensor == nullptr) {
        error = "Wrong creat tensor";
    } else if (api.TF_TensorType(tensor) != type) {
        error = "Wrong tensor type";
    } else if (api.TF_NumDims(tensor) != static_cast<int>(dims.size())) {
        error = "Wrong number of dimensions";
    } else {
        for (size_t i = 0; i < dims.size(); ++i)
            if (api.TF_Dim(tensor, static_cast<int>(i)) != dims[i]) {
                error = "Wrong dimension size for dim: " + std::to_string(i);
                return false;
            }
        if (api.TF_TensorByteSize(tensor) != byteSize)
            error = "Wrong tensor byte size";
        else if (api.TF_TensorData(tensor) == nullptr)
            error = "Wrong data tensor";
        else
            return true;
    }
    return false;
}

TF_Tensor *makeTokensTensor(const InferenceApi &api, const std::vector<std::string> &tokens,
                            const std::vector<int64_t> &dims, size_t &byteSize, std::string &error) {
    const size_t tableSize = tokens.size() * sizeof(uint64_t);
    byteSize = tableSize;
    for (const std::string &t : tokens)
        byteSize += api.TF_StringEncodedSize(t.size());
    char *buffer = static_cast<char *>(std::calloc(byteSize == 0 ? 1 : byteSize, 1));
    if (buffer == nullptr) {
        error = "Out of memory for the tokens tensor";
        return nullptr;
    }
    Status status(&api, api.TF_NewStatus());
    size_t offset = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const uint64_t o = offset;
        std::memcpy(buffer + i * sizeof(uint64_t), &o, sizeof o);
        offset += api.TF_StringEncode(tokens[i].data(), tokens[i].size(), buffer + tableSize + offset,
                                      byteSize - tableSize - offset, status.get());
        if (api.TF_GetCode(status.get()) != TF_OK) {
            error = std::string("ERROR: something wrong with encoding: ") + api.TF_Message(status.get());
            std::free(buffer);
            return nullptr;
        }
    }
    TF_Tensor *tensor = api.TF_NewTensor(TF_STRING, dims.data(), static_cast<int>(dims.size()), buffer,
                                         byteSize, DeallocateTensor, nullptr);
    if (tensor == nullptr)
        std::free(buffer); // not handed over
    return tensor;
}

TF_Tensor *makeLengthsTensor(const InferenceApi &api, const std::vector<int32_t> &lengths,
                             const std::vector<int64_t> &dims) {
    const size_t size = lengths.size() * sizeof(int32_t);
    void *buffer = std::malloc(size == 0 ? 1 : size);
    if (buffer == nullptr)
        return nullptr;
    if (size > 0)
        std::memcpy(buffer, lengths.data(), size);
    TF_Tensor *tensor = api.TF_NewTensor(TF_INT32, dims.data(), 1, buffer, size, DeallocateTensor, nullptr);
    if (tensor == nullptr)
        std::free(buffer);
    return tensor;
}

} // namespace

ModelHandle &ModelHandle::operator=(ModelHandle &&other) noexcept {
    if (this != &other) {
        release();
        m_api = other.m_api;
        m_session = other.m_session;
        m_graph = other.m_graph;
        other.m_session = nullptr;
        other.m_graph = nullptr;
    }
    return *this;
}

void ModelHandle::release() {
    if (m_api == nullptr)
        return;
    if (m_graph != nullptr)
        m_api->TF_DeleteGraph(m_graph);
    m_graph = nullptr;
    if (m_session != nullptr) {
        TF_Status *status = m_api->TF_NewStatus();
        m_api->TF_DeleteSession(m_session, status);
        m_api->TF_DeleteStatus(status);
    }
    m_session = nullptr;
}

bool LoadModel(const std::string &modelDir, ModelHandle &model, std::string &error) {
    const InferenceApi *api = inferenceApi(error);
    if (api == nullptr)
        return false;
    SessionOptions options(api, api->TF_NewSessionOptions());
    Status status(api, api->TF_NewStatus());
    Graph graph(api, api->TF_NewGraph());
    const char *tags[] = {kServeTag};
    TF_Session *session = api->TF_LoadSessionFromSavedModel(options.get(), nullptr, modelDir.c_str(), tags, 1,
                                                            graph.get(), nullptr, status.get());
    if (api->TF_GetCode(status.get()) != TF_OK || session == nullptr) {
        error = api->TF_Message(status.get());
        engineError("Can't load session and graph from saved model: ", error);
        if (session != nullptr)
            api->TF_DeleteSession(session, status.get());
        return false;
    }
    TF_Graph *loadedGraph = graph.get();
    *graph.slot() = nullptr;
    model = ModelHandle(api, session, loadedGraph);
    return true;
}

std::vector<int32_t> PadBatch(TokenBatch &batch) {
    std::vector<int32_t> lengths;
    lengths.reserve(batch.size());
    size_t longest = 0;
    for (const auto &row : batch) {
        lengths.push_back(static_cast<int32_t>(row.size()));
        longest = std::max(longest, row.size());
    }
    for (auto &row : batch)
        row.resize(longest);
    return lengths;
}

std::vector<std::string> FlattenVector(const TokenBatch &batch) {
    std::vector<std::string> flat;
    flat.reserve(batch.size() * (batch.empty() ? 0 : batch.front().size()));
    for (const auto &row : batch)
        flat.insert(flat.end(), row.begin(), row.end());
    return flat;
}

bool TranslateBatch(const ModelHandle &model, TokenBatch batch, TokenBatch &output, std::string &error) {
    if (!model.loaded()) {
        error = "No model is loaded";
        return false;
    }
    const InferenceApi &api = *model.api();
    const std::vector<int32_t> lengths = PadBatch(batch);
    const auto rows = static_cast<int64_t>(batch.size());
    if (rows == 0) {
        error = "Empty batch";
        return false;
    }
    const auto length = static_cast<int64_t>(batch.front().size());
    const std::vector<std::string> flat = FlattenVector(batch);
    const std::vector<int64_t> tokenDims{rows, length};

    size_t tokensSize = 0;
    Tensor tokens(&api, makeTokensTensor(api, flat, tokenDims, tokensSize, error));
    if (tokens.get() == nullptr) {
        if (error.empty())
            error = "Wrong creat tensor";
        return false;
    }
    if (!checkTensor(api, tokens.get(), TF_STRING, tokenDims, tokensSize, error))
        return false;
    engineLog("Success creat tokens_tensor");

    const std::vector<int64_t> lengthDims{rows};
    Tensor lengthsTensor(&api, makeLengthsTensor(api, lengths, lengthDims));
    if (!checkTensor(api, lengthsTensor.get(), TF_INT32, lengthDims, lengths.size() * sizeof(int32_t), error))
        return false;
    engineLog("Success creat lengths_tensor");

    TF_Operation *tokensInput = api.TF_GraphOperationByName(model.graph(), kTokensInput);
    if (tokensInput == nullptr) {
        error = "Can't init tokens_input_op";
        return false;
    }
    TF_Operation *lengthInput = api.TF_GraphOperationByName(model.graph(), kLengthsInput);
    if (lengthInput == nullptr) {
        error = "Can't init length_input_op";
        return false;
    }
    const TF_Output inputs[] = {{tokensInput, 0}, {lengthInput, 0}};
    TF_Tensor *const inputValues[] = {tokens.get(), lengthsTensor.get()};
    const TF_Output outputs[] = {{api.TF_GraphOperationByName(model.graph(), kTokensOutput), 0},
                                 {api.TF_GraphOperationByName(model.graph(), kLengthsOutput), 0}};
    TF_Tensor *outputValues[] = {nullptr, nullptr};
    Status status(&api, api.TF_NewStatus());
    engineLog("Session run.");
    api.TF_SessionRun(model.session(), nullptr, inputs, inputValues, 2, outputs, outputValues, 2, nullptr, 0,
                      nullptr, status.get());
    Tensor outTokens(&api, outputValues[0]);
    Tensor outLengths(&api, outputValues[1]);
    if (api.TF_GetCode(status.get()) != TF_OK) {
        error = std::string("Running model failed: ") + api.TF_Message(status.get());
        return false;
    }

    // The model's answer must match the batch: [rows, hypotheses, tokens] and [rows, hypotheses].
    const TF_Tensor *t = outTokens.get();
    const TF_Tensor *l = outLengths.get();
    if (t == nullptr || api.TF_TensorType(t) != TF_STRING || api.TF_NumDims(t) != 3 ||
        api.TF_Dim(t, 0) != rows || api.TF_Dim(t, 1) < 1) {
        error = "The model's output tokens do not match the batch of " + std::to_string(rows) + " rows";
        return false;
    }
    const int64_t hypotheses = api.TF_Dim(t, 1);
    const int64_t perHypothesis = api.TF_Dim(t, 2);
    if (l == nullptr || api.TF_TensorType(l) != TF_INT32 || api.TF_NumDims(l) != 2 ||
        api.TF_Dim(l, 0) != rows || api.TF_Dim(l, 1) != hypotheses ||
        api.TF_TensorByteSize(l) != static_cast<size_t>(rows * hypotheses) * sizeof(int32_t)) {
        error = "The model's output lengths do not match its output tokens";
        return false;
    }
    std::vector<std::string> decoded;
    if (!decodeStrings(api, t, static_cast<size_t>(rows * hypotheses * perHypothesis), decoded, error))
        return false;
    const auto *outLengthData = static_cast<const int32_t *>(api.TF_TensorData(l));

    output.clear();
    output.reserve(static_cast<size_t>(rows));
    for (int64_t r = 0; r < rows; ++r) {
        // Only the first hypothesis counts; the padding after its length is not a token.
        const int64_t taken =
            std::min<int64_t>(perHypothesis, std::max<int32_t>(0, outLengthData[r * hypotheses]));
        std::vector<std::string> row;
        for (int64_t k = 0; k < taken; ++k) {
            row.push_back(std::move(decoded[static_cast<size_t>(r * hypotheses * perHypothesis + k)]));
            if (row.back() == kEndToken)
                break;
        }
        output.push_back(std::move(row));
    }
    return true;
}

} // namespace synaptra
