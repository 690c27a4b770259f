// Sessions over TorchScript saved models.
#include "Internal.h"
#include "ThreadPolicy.h"

#include <ATen/Parallel.h>
#include <torch/script.h>

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>

using namespace synaptra_inference;

struct TF_Session {
    torch::jit::Module module;
    std::string method;
    std::shared_ptr<OperationTable> table;
    size_t inputCount = 0;
};

namespace {

constexpr const char *kSavedModelFile = "saved_model.pt";

// Compute threads, set up once before the first model loads. libtorch hands matrix products
// to OpenBLAS, which (as Debian ships it) runs its own pthread pool beside libtorch's OpenMP
// pool; with both pools busy, runs on a loaded machine took many times longer. So with such a
// BLAS, OpenMP keeps one thread and the BLAS pool gets each run's threads (see ThreadPolicy.h).
class ComputeThreads {
public:
    static ComputeThreads &instance() {
        static ComputeThreads threads;
        return threads;
    }

    void beforeRun() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const bool fixed = m_fixed.load();
        const double others = fixed ? 0.0 : m_others.runnable(OthersLoad::Clock::now());
        const int n = threadsForRun(m_maxThreads.load(), fixed, others, m_onlineCpus, m_cores);
        if (m_current.exchange(n) == n)
            return;
        if (m_setBlasThreads != nullptr)
            m_setBlasThreads(n);
        if (!m_blasOwnPool)
            at::set_num_threads(n);
    }

    // threads > 0 fixes the count of every run; 0 gives the built-in choice, even over the variable.
    int set(int threads) {
        m_fixed = threads > 0;
        m_maxThreads = threads > 0 ? threads : m_defaultThreads;
        m_current = 0;
        return m_maxThreads;
    }

private:
    ComputeThreads() {
        m_cores = std::max(1, machineCores());
        m_onlineCpus = static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
        m_defaultThreads = defaultThreads(m_cores);
        set(threadsFromSetting(std::getenv(kThreadsVariable)));
        using SetThreads = void (*)(int);
        using GetParallel = int (*)();
        for (const char *library : {"libopenblas.so.0", "libblas.so.3"}) {
            void *handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
            if (handle == nullptr)
                continue;
            m_setBlasThreads = reinterpret_cast<SetThreads>(dlsym(handle, "openblas_set_num_threads"));
            const auto parallel = reinterpret_cast<GetParallel>(dlsym(handle, "openblas_get_parallel"));
            // 1: OpenBLAS built on pthreads; with OpenMP it shares libtorch's pool.
            m_blasOwnPool = m_setBlasThreads != nullptr && parallel != nullptr && parallel() == 1;
            dlclose(handle); // the library stays loaded through libtorch
            if (m_setBlasThreads != nullptr)
                break;
        }
        try {
            // TorchScript only uses the inter-op pool for fork(), which the models never call.
            at::set_num_interop_threads(1);
        } catch (const std::exception &) {
            // Already started by another user of libtorch in this process: keep its size.
        }
        at::set_num_threads(m_blasOwnPool ? 1 : m_maxThreads.load());
    }

    int m_defaultThreads = 1;
    int m_cores = 1;
    int m_onlineCpus = 1;
    std::mutex m_mutex; // the engine serialises runs; other callers of the layer need not
    OthersLoad m_others;
    std::atomic<bool> m_fixed{false};
    std::atomic<int> m_maxThreads{1};
    std::atomic<int> m_current{0};
    void (*m_setBlasThreads)(int) = nullptr;
    bool m_blasOwnPool = false;
};

std::string firstLine(const std::string &text) {
    const size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

// The interpreter's first line alone says little ("The following operation failed in the
// TorchScript interpreter."); runs keep every line, loads only the first.
std::string errorText(const std::exception &e, bool everyLine) {
    std::string text = e.what();
    if (const auto *c10 = dynamic_cast<const c10::Error *>(&e))
        text = c10->what_without_backtrace();
    return everyLine ? text : firstLine(text);
}

bool readNameList(const torch::jit::Module &module, const char *attribute, std::vector<std::string> &names,
                  TF_Status *status) {
    if (!module.hasattr(attribute)) {
        setStatus(status, TF_INVALID_ARGUMENT,
                  std::string("Saved model has no attribute '") + attribute + "'");
        return false;
    }
    const c10::IValue value = module.attr(attribute);
    if (!value.isList()) {
        setStatus(status, TF_INVALID_ARGUMENT,
                  std::string("Saved model attribute '") + attribute + "' is not a list of names");
        return false;
    }
    for (const c10::IValue &item : value.toListRef()) {
        if (!item.isString()) {
            setStatus(status, TF_INVALID_ARGUMENT,
                      std::string("Saved model attribute '") + attribute + "' is not a list of names");
            return false;
        }
        names.push_back(item.toStringRef());
    }
    return true;
}

torch::ScalarType scalarTypeOf(TF_DataType type, bool &ok) {
    ok = true;
    switch (type) {
    case TF_FLOAT:
        return torch::kFloat;
    case TF_DOUBLE:
        return torch::kDouble;
    case TF_INT32:
        return torch::kInt;
    case TF_UINT8:
        return torch::kByte;
    case TF_INT16:
        return torch::kShort;
    case TF_INT8:
        return torch::kChar;
    case TF_INT64:
        return torch::kLong;
    case TF_BOOL:
        return torch::kBool;
    case TF_STRING:
        break;
    }
    ok = false;
    return torch::kFloat;
}

bool dataTypeOf(torch::ScalarType type, TF_DataType &out) {
    switch (type) {
    case torch::kFloat:
        out = TF_FLOAT;
        return true;
    case torch::kDouble:
        out = TF_DOUBLE;
        return true;
    case torch::kInt:
        out = TF_INT32;
        return true;
    case torch::kByte:
        out = TF_UINT8;
        return true;
    case torch::kShort:
        out = TF_INT16;
        return true;
    case torch::kChar:
        out = TF_INT8;
        return true;
    case torch::kLong:
        out = TF_INT64;
        return true;
    case torch::kBool:
        out = TF_BOOL;
        return true;
    default:
        return false;
    }
}

// A [B, T] string tensor becomes the List[List[str]] the serving methods take.
bool toArgument(const TF_Tensor *tensor, c10::IValue &argument, TF_Status *status) {
    if (tensor->type == TF_STRING) {
        if (tensor->dims.size() != 2) {
            setStatus(status, TF_INVALID_ARGUMENT, "String inputs must have two dimensions");
            return false;
        }
        std::vector<std::string> elements;
        if (!readStringTensor(tensor, elements, status))
            return false;
        const auto rows = static_cast<size_t>(tensor->dims[0]);
        const auto cols = static_cast<size_t>(tensor->dims[1]);
        c10::List<c10::List<std::string>> batch;
        batch.reserve(rows);
        for (size_t r = 0; r < rows; ++r) {
            c10::List<std::string> row;
            row.reserve(cols);
            for (size_t c = 0; c < cols; ++c)
                row.push_back(std::move(elements[r * cols + c]));
            batch.push_back(std::move(row));
        }
        argument = std::move(batch);
        return true;
    }
    bool known = false;
    const torch::ScalarType scalar = scalarTypeOf(tensor->type, known);
    if (!known) {
        setStatus(status, TF_UNIMPLEMENTED, "Unsupported input tensor type");
        return false;
    }
    argument = torch::from_blob(tensor->data, tensor->dims, torch::TensorOptions().dtype(scalar)).clone();
    return true;
}

// Nested lists of strings of any depth become a rectangular TF_STRING tensor padded with "".
void measure(const c10::IValue &value, size_t depth, std::vector<int64_t> &shape, bool &ok) {
    if (value.isString()) {
        if (depth != shape.size())
            ok = false;
        return;
    }
    if (!value.isList()) {
        ok = false;
        return;
    }
    if (depth >= shape.size()) {
        if (depth > 8) {
            ok = false;
            return;
        }
        shape.resize(depth + 1, 0);
    }
    const auto &items = value.toListRef();
    shape[depth] = std::max<int64_t>(shape[depth], static_cast<int64_t>(items.size()));
    for (const c10::IValue &item : items)
        measure(item, depth + 1, shape, ok);
}

void place(const c10::IValue &value, size_t depth, size_t base, const std::vector<int64_t> &shape,
           std::vector<std::string> &elements) {
    if (value.isString()) {
        elements[base] = value.toStringRef();
        return;
    }
    size_t stride = 1;
    for (size_t d = depth + 1; d < shape.size(); ++d)
        stride *= static_cast<size_t>(shape[d]);
    size_t i = 0;
    for (const c10::IValue &item : value.toListRef())
        place(item, depth + 1, base + stride * i++, shape, elements);
}

TF_Tensor *toTensor(const c10::IValue &value, TF_Status *status) {
    if (value.isTensor()) {
        torch::Tensor t = value.toTensor().contiguous();
        TF_DataType type;
        if (!dataTypeOf(t.scalar_type(), type)) {
            setStatus(status, TF_UNIMPLEMENTED, "Unsupported output tensor type");
            return nullptr;
        }
        const std::vector<int64_t> dims(t.sizes().begin(), t.sizes().end());
        return makeTensorCopy(type, dims, t.data_ptr(), t.numel() * t.element_size());
    }
    std::vector<int64_t> shape;
    bool ok = true;
    measure(value, 0, shape, ok);
    if (!ok) {
        setStatus(status, TF_UNIMPLEMENTED, "Output is neither a tensor nor evenly nested lists of strings");
        return nullptr;
    }
    std::vector<std::string> elements(elementCount(shape));
    if (!elements.empty())
        place(value, 0, 0, shape, elements);
    return makeStringTensor(shape, elements);
}

bool runSession(TF_Session *session, const TF_Output *inputs, TF_Tensor *const *input_values, int ninputs,
                const TF_Output *outputs, TF_Tensor **output_values, int noutputs, TF_Status *status) {
    if (ninputs != static_cast<int>(session->inputCount) ||
        (ninputs > 0 && (inputs == nullptr || input_values == nullptr)) ||
        (noutputs > 0 && (outputs == nullptr || output_values == nullptr)) || noutputs < 0) {
        setStatus(status, TF_INVALID_ARGUMENT,
                  "Expected " + std::to_string(session->inputCount) + " inputs and valid output slots");
        return false;
    }
    const auto owned = [&](const TF_Operation *op) {
        for (const auto &candidate : session->table->operations)
            if (candidate.get() == op)
                return true;
        return false;
    };
    std::vector<c10::IValue> arguments(session->inputCount);
    std::vector<bool> given(session->inputCount, false);
    for (int i = 0; i < ninputs; ++i) {
        const TF_Operation *op = inputs[i].oper;
        if (op == nullptr || !owned(op) || !op->isInput || inputs[i].index != 0 ||
            input_values[i] == nullptr) {
            setStatus(status, TF_INVALID_ARGUMENT,
                      "Input " + std::to_string(i) + " is not an input of this model");
            return false;
        }
        const auto position = static_cast<size_t>(op->position);
        if (given[position]) {
            setStatus(status, TF_INVALID_ARGUMENT, "Input '" + op->name + "' is fed twice");
            return false;
        }
        given[position] = true;
        if (!toArgument(input_values[i], arguments[position], status))
            return false;
    }
    for (int i = 0; i < noutputs; ++i) {
        const TF_Operation *op = outputs[i].oper;
        if (op == nullptr || !owned(op) || op->isInput || outputs[i].index != 0) {
            setStatus(status, TF_INVALID_ARGUMENT,
                      "Output " + std::to_string(i) + " is not an output of this model");
            return false;
        }
    }

    ComputeThreads::instance().beforeRun();

    c10::InferenceMode inference;
    const c10::IValue result = session->module.get_method(session->method)(std::move(arguments));
    std::vector<c10::IValue> values;
    if (result.isTuple())
        values = result.toTupleRef().elements().vec();
    else
        values.push_back(result);

    for (int i = 0; i < noutputs; ++i) {
        const auto position = static_cast<size_t>(outputs[i].oper->position);
        if (position >= values.size()) {
            setStatus(status, TF_INTERNAL, "Model returned no value for '" + outputs[i].oper->name + "'");
        } else {
            output_values[i] = toTensor(values[position], status);
        }
        if (output_values[i] == nullptr) {
            if (status->code == TF_OK)
                setStatus(status, TF_RESOURCE_EXHAUSTED, "Cannot allocate output");
            for (int j = 0; j < i; ++j) {
                TF_DeleteTensor(output_values[j]);
                output_values[j] = nullptr;
            }
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" {

TF_Session *TF_LoadSessionFromSavedModel(const TF_SessionOptions *, const TF_Buffer *, const char *export_dir,
                                         const char *const *tags, int tags_len, TF_Graph *graph, TF_Buffer *,
                                         TF_Status *status) {
    if (status == nullptr)
        return nullptr;
    setStatus(status, TF_OK, "");
    if (export_dir == nullptr || graph == nullptr || tags == nullptr || tags_len < 1 || tags[0] == nullptr) {
        setStatus(status, TF_INVALID_ARGUMENT, "A saved-model load needs a directory, a graph and a tag");
        return nullptr;
    }
    if (!graph->table->operations.empty()) {
        setStatus(status, TF_FAILED_PRECONDITION, "The graph already holds a model");
        return nullptr;
    }
    const std::filesystem::path file = std::filesystem::path(export_dir) / kSavedModelFile;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        setStatus(status, TF_NOT_FOUND,
                  std::string("No saved model in ") + export_dir + ": " + kSavedModelFile + " is missing");
        return nullptr;
    }
    ComputeThreads::instance();
    auto session = std::make_unique<TF_Session>();
    try {
        // Weights on ordinary pages: on huge ones the kernel's zeroing of each fresh 2 MB page made the
        // first translation after start take 0.8-2.9 s instead of 0.7 s, and later runs gained nothing.
        session->module = torch::jit::load(file.string(), torch::kCPU);
    } catch (const std::exception &e) {
        setStatus(status, TF_DATA_LOSS,
                  "Unreadable saved model archive " + file.string() + ": " + errorText(e, false));
        return nullptr;
    }
    session->method = tags[0];
    if (!session->module.find_method(session->method)) {
        setStatus(status, TF_NOT_FOUND,
                  "Saved model " + file.string() + " has no method '" + session->method + "' for its tag");
        return nullptr;
    }
    std::vector<std::string> inputNames, outputNames;
    if (!readNameList(session->module, "signature_inputs", inputNames, status) ||
        !readNameList(session->module, "signature_outputs", outputNames, status))
        return nullptr;
    session->module.eval();

    auto table = std::make_shared<OperationTable>();
    for (size_t i = 0; i < inputNames.size(); ++i)
        table->operations.push_back(
            std::make_unique<TF_Operation>(TF_Operation{inputNames[i], true, static_cast<int>(i)}));
    for (size_t i = 0; i < outputNames.size(); ++i)
        table->operations.push_back(
            std::make_unique<TF_Operation>(TF_Operation{outputNames[i], false, static_cast<int>(i)}));
    graph->table = table;
    session->table = table;
    session->inputCount = inputNames.size();
    return session.release();
}

int SYN_SetComputeThreads(int threads) {
    return ComputeThreads::instance().set(threads);
}

void TF_DeleteSession(TF_Session *session, TF_Status *status) {
    delete session;
    setStatus(status, TF_OK, "");
}

void TF_SessionRun(TF_Session *session, const TF_Buffer *, const TF_Output *inputs,
                   TF_Tensor *const *input_values, int ninputs, const TF_Output *outputs,
                   TF_Tensor **output_values, int noutputs, const TF_Operation *const *, int, TF_Buffer *,
                   TF_Status *status) {
    if (status == nullptr)
        return;
    setStatus(status, TF_OK, "");
    if (session == nullptr) {
        setStatus(status, TF_INVALID_ARGUMENT, "No session");
        return;
    }
    if (output_values != nullptr)
        for (int i = 0; i < noutputs; ++i)
            output_values[i] = nullptr;
    try {
        runSession(session, inputs, input_values, ninputs, outputs, output_values, noutputs, status);
    } catch (const std::exception &e) {
        for (int i = 0; i < noutputs && output_values != nullptr; ++i) {
            TF_DeleteTensor(output_values[i]);
            output_values[i] = nullptr;
        }
        setStatus(status, TF_INTERNAL, "Model run failed: " + errorText(e, true));
    }
}

} // extern "C"
