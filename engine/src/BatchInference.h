// Saved-model loading and one-run batch translation through the TF_* layer.
#pragma once

#include "InferenceLibrary.h"

#include <cstdint>
#include <string>
#include <vector>

namespace synaptra {

using TokenBatch = std::vector<std::vector<std::string>>;

// A loaded model: session and graph, released together when the handle dies.
class ModelHandle {
public:
    ModelHandle() = default;
    ModelHandle(const InferenceApi *api, TF_Session *session, TF_Graph *graph)
        : m_api(api), m_session(session), m_graph(graph) {}
    ModelHandle(ModelHandle &&other) noexcept { *this = std::move(other); }
    ModelHandle &operator=(ModelHandle &&other) noexcept;
    ModelHandle(const ModelHandle &) = delete;
    ModelHandle &operator=(const ModelHandle &) = delete;
    ~ModelHandle() { release(); }

    bool loaded() const { return m_session != nullptr; }
    const InferenceApi *api() const { return m_api; }
    TF_Session *session() const { return m_session; }
    TF_Graph *graph() const { return m_graph; }
    // Deletes the graph, then the session, as the layer expects.
    void release();

private:
    const InferenceApi *m_api = nullptr;
    TF_Session *m_session = nullptr;
    TF_Graph *m_graph = nullptr;
};

// Loads the saved model in `modelDir` with the tag "serve". False with the layer's message.
bool LoadModel(const std::string &modelDir, ModelHandle &model, std::string &error);

// Pads rows at the end with "" to the longest row; returns each row's length before padding.
std::vector<int32_t> PadBatch(TokenBatch &batch);
std::vector<std::string> FlattenVector(const TokenBatch &batch);

// Runs the whole batch once; `output` receives one row per input row, in input order, each the
// first hypothesis up to and including "</s>". False with a message on any failure.
bool TranslateBatch(const ModelHandle &model, TokenBatch batch, TokenBatch &output, std::string &error);

} // namespace synaptra
