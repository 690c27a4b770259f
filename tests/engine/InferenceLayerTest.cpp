// The TF_* layer on its own (no sentencepiece in this binary): string tensors, tensors,
// saved-model loading and runs of models made by the model maker.
#include "EngineFixtures.h"
#include "synaptra_inference/c_api.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

using enginetest::fixture;

namespace {

struct StatusDeleter {
    void operator()(TF_Status *s) const { TF_DeleteStatus(s); }
};
struct TensorDeleter {
    void operator()(TF_Tensor *t) const { TF_DeleteTensor(t); }
};
using StatusPtr = std::unique_ptr<TF_Status, StatusDeleter>;
using TensorPtr = std::unique_ptr<TF_Tensor, TensorDeleter>;

void freeBuffer(void *data, size_t, void *arg) {
    std::free(data);
    if (arg != nullptr)
        ++*static_cast<int *>(arg);
}

// A [rows, cols] string tensor in the offset-table layout.
TensorPtr stringTensor(const std::vector<std::vector<std::string>> &rows) {
    const size_t cols = rows.empty() ? 0 : rows.front().size();
    std::vector<std::string> flat;
    for (const auto &r : rows)
        flat.insert(flat.end(), r.begin(), r.end());
    size_t size = flat.size() * 8;
    for (const auto &s : flat)
        size += TF_StringEncodedSize(s.size());
    char *buffer = static_cast<char *>(std::calloc(size, 1));
    StatusPtr status(TF_NewStatus());
    size_t offset = 0;
    for (size_t i = 0; i < flat.size(); ++i) {
        const uint64_t o = offset;
        std::memcpy(buffer + 8 * i, &o, 8);
        offset += TF_StringEncode(flat[i].data(), flat[i].size(), buffer + flat.size() * 8 + offset,
                                  size - flat.size() * 8 - offset, status.get());
    }
    const int64_t dims[] = {static_cast<int64_t>(rows.size()), static_cast<int64_t>(cols)};
    return TensorPtr(TF_NewTensor(TF_STRING, dims, 2, buffer, size, freeBuffer, nullptr));
}

TensorPtr int32Tensor(const std::vector<int32_t> &values) {
    void *buffer = std::malloc(values.size() * 4);
    std::memcpy(buffer, values.data(), values.size() * 4);
    const int64_t dims[] = {static_cast<int64_t>(values.size())};
    return TensorPtr(TF_NewTensor(TF_INT32, dims, 1, buffer, values.size() * 4, freeBuffer, nullptr));
}

std::vector<std::string> readStrings(const TF_Tensor *t) {
    size_t count = 1;
    for (int d = 0; d < TF_NumDims(t); ++d)
        count *= static_cast<size_t>(TF_Dim(t, d));
    const char *data = static_cast<const char *>(TF_TensorData(t));
    const size_t size = TF_TensorByteSize(t);
    std::vector<std::string> out;
    StatusPtr status(TF_NewStatus());
    for (size_t i = 0; i < count; ++i) {
        uint64_t offset;
        std::memcpy(&offset, data + 8 * i, 8);
        const char *s = nullptr;
        size_t len = 0;
        TF_StringDecode(data + count * 8 + offset, size - count * 8 - offset, &s, &len, status.get());
        EXPECT_EQ(TF_GetCode(status.get()), TF_OK);
        out.emplace_back(s, len);
    }
    return out;
}

class LoadedModel {
public:
    explicit LoadedModel(const std::string &dir, const char *tag = "serve") {
        StatusPtr status(TF_NewStatus());
        TF_SessionOptions *options = TF_NewSessionOptions();
        graph = TF_NewGraph();
        const char *tags[] = {tag};
        session = TF_LoadSessionFromSavedModel(options, nullptr, dir.c_str(), tags, 1, graph, nullptr,
                                               status.get());
        code = TF_GetCode(status.get());
        message = TF_Message(status.get());
        TF_DeleteSessionOptions(options);
    }
    ~LoadedModel() {
        TF_DeleteGraph(graph);
        StatusPtr status(TF_NewStatus());
        if (session != nullptr)
            TF_DeleteSession(session, status.get());
    }

    // Runs tokens and lengths; returns the two outputs (null on failure, with `runMessage`).
    std::pair<TensorPtr, TensorPtr> run(const std::vector<std::vector<std::string>> &rows,
                                        const std::vector<int32_t> &lengths) {
        TensorPtr tokens = stringTensor(rows);
        TensorPtr lens = int32Tensor(lengths);
        const TF_Output inputs[] = {{TF_GraphOperationByName(graph, "Placeholder"), 0},
                                    {TF_GraphOperationByName(graph, "Placeholder_1"), 0}};
        TF_Tensor *const values[] = {tokens.get(), lens.get()};
        const TF_Output outputs[] = {
            {TF_GraphOperationByName(graph, "transformer/index_to_string_Lookup"), 0},
            {TF_GraphOperationByName(graph, "transformer/decoder/Minimum"), 0}};
        TF_Tensor *results[] = {nullptr, nullptr};
        StatusPtr status(TF_NewStatus());
        TF_SessionRun(session, nullptr, inputs, values, 2, outputs, results, 2, nullptr, 0, nullptr,
                      status.get());
        runCode = TF_GetCode(status.get());
        runMessage = TF_Message(status.get());
        return {TensorPtr(results[0]), TensorPtr(results[1])};
    }

    TF_Graph *graph = nullptr;
    TF_Session *session = nullptr;
    TF_Code code = TF_OK;
    std::string message;
    TF_Code runCode = TF_OK;
    std::string runMessage;
};

TEST(StringEncoding, RoundTripsWithVarintLengths) {
    StatusPtr status(TF_NewStatus());
    for (size_t len : {size_t(0), size_t(1), size_t(127), size_t(128), size_t(300), size_t(70000)}) {
        const std::string text(len, 'q');
        EXPECT_EQ(TF_StringEncodedSize(len), len + (len < 128 ? 1 : len < 16384 ? 2 : 3));
        std::vector<char> buffer(TF_StringEncodedSize(len));
        EXPECT_EQ(TF_StringEncode(text.data(), len, buffer.data(), buffer.size(), status.get()),
                  buffer.size());
        const char *out = nullptr;
        size_t outLen = 0;
        EXPECT_EQ(TF_StringDecode(buffer.data(), buffer.size(), &out, &outLen, status.get()), buffer.size());
        ASSERT_EQ(TF_GetCode(status.get()), TF_OK);
        EXPECT_EQ(std::string(out, outLen), text);
    }
}

TEST(StringEncoding, RejectsShortDestinationsAndTruncatedSources) {
    StatusPtr status(TF_NewStatus());
    char small[3];
    EXPECT_EQ(TF_StringEncode("hello", 5, small, sizeof small, status.get()), 0u);
    EXPECT_NE(TF_GetCode(status.get()), TF_OK);
    std::vector<char> buffer(TF_StringEncodedSize(200));
    const std::string text(200, 'z');
    TF_StringEncode(text.data(), text.size(), buffer.data(), buffer.size(), status.get());
    const char *out = nullptr;
    size_t outLen = 0;
    EXPECT_EQ(TF_StringDecode(buffer.data(), 100, &out, &outLen, status.get()), 0u);
    EXPECT_NE(TF_GetCode(status.get()), TF_OK);
    EXPECT_EQ(TF_StringDecode(buffer.data(), 1, &out, &outLen, status.get()), 0u);
    EXPECT_NE(TF_GetCode(status.get()), TF_OK);
}

TEST(Tensors, OwnTheirBufferAndCheckTheirSize) {
    int freed = 0;
    const int64_t dims[] = {2, 3};
    TF_Tensor *t = TF_NewTensor(TF_INT32, dims, 2, std::malloc(24), 24, freeBuffer, &freed);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(TF_TensorType(t), TF_INT32);
    EXPECT_EQ(TF_NumDims(t), 2);
    EXPECT_EQ(TF_Dim(t, 1), 3);
    EXPECT_EQ(TF_TensorByteSize(t), 24u);
    TF_DeleteTensor(t);
    EXPECT_EQ(freed, 1);
    // A buffer that does not match the shape is refused and stays the caller's.
    void *wrong = std::malloc(20);
    EXPECT_EQ(TF_NewTensor(TF_INT32, dims, 2, wrong, 20, freeBuffer, &freed), nullptr);
    // So is a shape whose element count wraps around to fit a small buffer.
    const int64_t huge[] = {int64_t(1) << 62, 4};
    EXPECT_EQ(TF_NewTensor(TF_INT32, huge, 2, wrong, 0, freeBuffer, &freed), nullptr);
    const int64_t hugeStrings[] = {int64_t(1) << 61, 8};
    EXPECT_EQ(TF_NewTensor(TF_STRING, hugeStrings, 2, wrong, 20, freeBuffer, &freed), nullptr);
    std::free(wrong);
    EXPECT_EQ(freed, 1);
}

TEST(SavedModelLoad, FailuresNameTheirCause) {
    {
        LoadedModel m(fixture("does-not-exist"));
        EXPECT_EQ(m.session, nullptr);
        EXPECT_EQ(m.code, TF_NOT_FOUND);
        EXPECT_NE(m.message.find("saved_model.pt"), std::string::npos) << m.message;
    }
    {
        LoadedModel m(fixture("not-a-model"));
        EXPECT_EQ(m.session, nullptr);
        EXPECT_NE(m.code, TF_OK);
        EXPECT_NE(m.message.find("Unreadable saved model archive"), std::string::npos) << m.message;
    }
    {
        LoadedModel m(fixture("no-serve"));
        EXPECT_EQ(m.session, nullptr);
        EXPECT_EQ(m.code, TF_NOT_FOUND);
        EXPECT_NE(m.message.find("'serve'"), std::string::npos) << m.message;
    }
    {
        LoadedModel m(fixture("no-serve"), "predict");
        EXPECT_NE(m.session, nullptr) << m.message;
    }
    {
        LoadedModel m(fixture("unsigned"));
        EXPECT_EQ(m.session, nullptr);
        EXPECT_NE(m.message.find("signature_inputs"), std::string::npos) << m.message;
    }
}

TEST(SavedModelLoad, GraphNamesExactlyTheSignatureOperations) {
    LoadedModel m(fixture("identity"));
    ASSERT_EQ(m.code, TF_OK) << m.message;
    for (const char *name : {"Placeholder", "Placeholder_1", "transformer/index_to_string_Lookup",
                             "transformer/decoder/Minimum"})
        EXPECT_NE(TF_GraphOperationByName(m.graph, name), nullptr) << name;
    EXPECT_EQ(TF_GraphOperationByName(m.graph, "Placeholder_2"), nullptr);
    EXPECT_EQ(TF_GraphOperationByName(m.graph, "transformer"), nullptr);
}

TEST(SessionRun, IdentityModelGivesRectangularHypothesesPaddedWithEmptyStrings) {
    LoadedModel m(fixture("identity"));
    ASSERT_EQ(m.code, TF_OK) << m.message;
    auto [tokens, lengths] = m.run({{"widx5", "widx6", "widx7"}, {"widx8", "", ""}, {"", "", ""}}, {3, 1, 0});
    ASSERT_EQ(m.runCode, TF_OK) << m.runMessage;
    ASSERT_EQ(TF_TensorType(tokens.get()), TF_STRING);
    ASSERT_EQ(TF_NumDims(tokens.get()), 3);
    EXPECT_EQ(TF_Dim(tokens.get(), 0), 3);
    EXPECT_EQ(TF_Dim(tokens.get(), 1), 1);
    EXPECT_EQ(TF_Dim(tokens.get(), 2), 4);
    EXPECT_EQ(readStrings(tokens.get()), (std::vector<std::string>{"widx5", "widx6", "widx7", "</s>", "widx8",
                                                                   "</s>", "", "", "</s>", "", "", ""}));
    ASSERT_EQ(TF_TensorType(lengths.get()), TF_INT32);
    ASSERT_EQ(TF_NumDims(lengths.get()), 2);
    const auto *l = static_cast<const int32_t *>(TF_TensorData(lengths.get()));
    EXPECT_EQ(std::vector<int32_t>(l, l + 3), (std::vector<int32_t>{4, 2, 1}));
}

TEST(SessionRun, RejectsMissingOrForeignOperations) {
    LoadedModel m(fixture("identity"));
    LoadedModel other(fixture("identity"));
    ASSERT_EQ(m.code, TF_OK);
    TensorPtr tokens = stringTensor({{"widx3"}});
    TensorPtr lengths = int32Tensor({1});
    TF_Tensor *const values[] = {tokens.get(), lengths.get()};
    TF_Tensor *results[] = {nullptr};
    StatusPtr status(TF_NewStatus());
    const TF_Output foreign[] = {{TF_GraphOperationByName(other.graph, "Placeholder"), 0},
                                 {TF_GraphOperationByName(m.graph, "Placeholder_1"), 0}};
    const TF_Output out[] = {{TF_GraphOperationByName(m.graph, "transformer/index_to_string_Lookup"), 0}};
    TF_SessionRun(m.session, nullptr, foreign, values, 2, out, results, 1, nullptr, 0, nullptr, status.get());
    EXPECT_EQ(TF_GetCode(status.get()), TF_INVALID_ARGUMENT);
    EXPECT_EQ(results[0], nullptr);
    const TF_Output one[] = {{TF_GraphOperationByName(m.graph, "Placeholder"), 0}};
    TF_SessionRun(m.session, nullptr, one, values, 1, out, results, 1, nullptr, 0, nullptr, status.get());
    EXPECT_EQ(TF_GetCode(status.get()), TF_INVALID_ARGUMENT);
    const TF_Output swapped[] = {{TF_GraphOperationByName(m.graph, "Placeholder"), 0},
                                 {TF_GraphOperationByName(m.graph, "Placeholder_1"), 0}};
    const TF_Output inputAsOutput[] = {{TF_GraphOperationByName(m.graph, "Placeholder"), 0}};
    TF_SessionRun(m.session, nullptr, swapped, values, 2, inputAsOutput, results, 1, nullptr, 0, nullptr,
                  status.get());
    EXPECT_EQ(TF_GetCode(status.get()), TF_INVALID_ARGUMENT);
}

TEST(SessionRun, MalformedStringTensorIsRefused) {
    LoadedModel m(fixture("identity"));
    ASSERT_EQ(m.code, TF_OK);
    // An offset pointing past the data area.
    char *buffer = static_cast<char *>(std::calloc(16, 1));
    const uint64_t bad = 1000;
    std::memcpy(buffer, &bad, 8);
    const int64_t dims[] = {1, 1};
    TensorPtr tokens(TF_NewTensor(TF_STRING, dims, 2, buffer, 16, freeBuffer, nullptr));
    TensorPtr lengths = int32Tensor({1});
    TF_Tensor *const values[] = {tokens.get(), lengths.get()};
    const TF_Output in[] = {{TF_GraphOperationByName(m.graph, "Placeholder"), 0},
                            {TF_GraphOperationByName(m.graph, "Placeholder_1"), 0}};
    const TF_Output out[] = {{TF_GraphOperationByName(m.graph, "transformer/index_to_string_Lookup"), 0}};
    TF_Tensor *results[] = {nullptr};
    StatusPtr status(TF_NewStatus());
    TF_SessionRun(m.session, nullptr, in, values, 2, out, results, 1, nullptr, 0, nullptr, status.get());
    EXPECT_NE(TF_GetCode(status.get()), TF_OK);
    EXPECT_NE(std::string(TF_Message(status.get())).find("out of range"), std::string::npos);
    EXPECT_EQ(results[0], nullptr);
}

TEST(SessionRun, SessionOutlivesItsDeletedGraph) {
    LoadedModel m(fixture("identity"));
    ASSERT_EQ(m.code, TF_OK);
    TF_Operation *tokensIn = TF_GraphOperationByName(m.graph, "Placeholder");
    TF_Operation *lengthsIn = TF_GraphOperationByName(m.graph, "Placeholder_1");
    TF_Operation *tokensOut = TF_GraphOperationByName(m.graph, "transformer/index_to_string_Lookup");
    TF_DeleteGraph(m.graph);
    m.graph = nullptr;
    TensorPtr tokens = stringTensor({{"widx9"}});
    TensorPtr lengths = int32Tensor({1});
    TF_Tensor *const values[] = {tokens.get(), lengths.get()};
    const TF_Output in[] = {{tokensIn, 0}, {lengthsIn, 0}};
    const TF_Output out[] = {{tokensOut, 0}};
    TF_Tensor *results[] = {nullptr};
    StatusPtr status(TF_NewStatus());
    TF_SessionRun(m.session, nullptr, in, values, 2, out, results, 1, nullptr, 0, nullptr, status.get());
    ASSERT_EQ(TF_GetCode(status.get()), TF_OK) << TF_Message(status.get());
    TensorPtr owned(results[0]);
    EXPECT_EQ(readStrings(owned.get()), (std::vector<std::string>{"widx9", "</s>"}));
}

TEST(SessionRun, WordTableModelLooksUpEachToken) {
    LoadedModel m(fixture("package/de-en"));
    ASSERT_EQ(m.code, TF_OK) << m.message;
    auto [tokens, lengths] = m.run({{"<s>", "widx99999"}}, {2});
    ASSERT_EQ(m.runCode, TF_OK) << m.runMessage;
    // Unknown tokens pass through.
    EXPECT_EQ(readStrings(tokens.get()), (std::vector<std::string>{"<s>", "widx99999", "</s>"}));
}

TEST(SessionRun, TransformerAnswersEveryRowWithBoundedHypotheses) {
    LoadedModel m(fixture("transformer"));
    ASSERT_EQ(m.code, TF_OK) << m.message;
    auto [tokens, lengths] = m.run({{"widx5", "widx6", "widx7", "widx8"}, {"widx9", "", "", ""}}, {4, 1});
    ASSERT_EQ(m.runCode, TF_OK) << m.runMessage;
    ASSERT_EQ(TF_NumDims(tokens.get()), 3);
    EXPECT_EQ(TF_Dim(tokens.get(), 0), 2);
    const auto *l = static_cast<const int32_t *>(TF_TensorData(lengths.get()));
    // At most the source length plus the model's three extra steps.
    EXPECT_GE(l[0], 1);
    EXPECT_LE(l[0], 7);
    EXPECT_LE(l[1], 4);
    for (const std::string &t : readStrings(tokens.get()))
        if (!t.empty()) {
            EXPECT_TRUE(t == "<blank>" || t == "<s>" || t == "</s>" || t.rfind("widx", 0) == 0) << t;
        }
}

// Weights of 2 MB and more lie in blocks of their own allocator: each load reads them whole, and
// freeing one session's leaves the other's intact.
TEST(SessionRun, LargeWeightsGiveTheSameAnswerAcrossLoadsAndUnloads) {
    const std::vector<std::vector<std::string>> rows = {{"widx5", "widx6", "widx7"}};
    std::vector<std::string> answers[3];
    auto first = std::make_unique<LoadedModel>(fixture("transformer-wide"));
    ASSERT_EQ(first->code, TF_OK) << first->message;
    LoadedModel second(fixture("transformer-wide"));
    ASSERT_EQ(second.code, TF_OK) << second.message;
    answers[0] = readStrings(first->run(rows, {3}).first.get());
    first.reset();
    answers[1] = readStrings(second.run(rows, {3}).first.get());
    ASSERT_EQ(second.runCode, TF_OK) << second.runMessage;
    LoadedModel third(fixture("transformer-wide"));
    answers[2] = readStrings(third.run(rows, {3}).first.get());
    ASSERT_FALSE(answers[0].empty());
    EXPECT_EQ(answers[1], answers[0]);
    EXPECT_EQ(answers[2], answers[0]);
}

} // namespace
