// bench_engine: 200 sentences through translateQuorvalde with a base-size transformer
// (6+6 layers, width 512, 8 heads, feed-forward 2048, vocabulary 8000) against the same batch
// run straight through the TorchScript module; and segmentation throughput.
// Goals: the engine adds at most 5% to the model's time; segmentation at least 100 MB/s.
#include "Segmentation.h"
#include "synaptra/quorvalde_c_translator.h"

#include <benchmark/benchmark.h>
#include <sentencepiece_processor.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSentences = 200;
constexpr int kVocabulary = 8000;

struct Fixture {
    std::string text; // the 200 sentences, one per line
    size_t words = 0;
    std::string segmentationText; // several MB for the splitter
    double (*directRun)() = nullptr;
    double engineSeconds = 0;
    double modelSeconds = 0;
    double segmentationSeconds = 0;
    size_t segmentationBytes = 0;
};

Fixture fixture;

// Pseudo-words from syllables: a vocabulary large enough for an 8000-piece tokenizer.
std::vector<std::string> makeWords(std::mt19937 &rng, int count) {
    static const char *syllables[] = {"ka",  "lo",  "mi",  "ne",  "ru",  "sa",  "ti",  "vo",  "ze",  "pra",
                                      "gli", "dor", "fen", "hus", "jal", "bre", "cto", "wen", "yas", "qui"};
    std::vector<std::string> words;
    std::uniform_int_distribution<int> syllable(0, 19), length(1, 4);
    for (int i = 0; i < count; ++i) {
        std::string w;
        for (int n = length(rng); n > 0; --n)
            w += syllables[syllable(rng)];
        words.push_back(w);
    }
    return words;
}

std::string sentence(std::mt19937 &rng, const std::vector<std::string> &words, int minWords, int maxWords) {
    std::uniform_int_distribution<size_t> pick(0, words.size() - 1);
    std::uniform_int_distribution<int> length(minWords, maxWords);
    std::string s;
    for (int n = length(rng); n > 0; --n)
        s += (s.empty() ? "" : " ") + words[pick(rng)];
    return s + ".";
}

void run(const std::string &command) {
    if (std::system(command.c_str()) != 0) {
        std::cerr << "bench_engine: failed: " << command << "\n";
        std::exit(1);
    }
}

void prepare() {
    const fs::path work = BENCH_WORK_DIR;
    fs::create_directories(work);
    std::mt19937 rng(42);
    const std::vector<std::string> words = makeWords(rng, 20000);
    const fs::path corpus = work / "corpus.txt";
    const fs::path tokenizer = work / "en.spm.model";
    const fs::path plainTokenizer = work / "en.plain.model";
    const fs::path model = work / "transformer";
    if (!fs::exists(tokenizer) || !fs::exists(plainTokenizer)) {
        std::ofstream out(corpus);
        for (int i = 0; i < 60000; ++i)
            out << sentence(rng, words, 6, 16) << "\n";
        out.close();
        std::cerr << "bench_engine: training an " << kVocabulary << "-piece tokenizer...\n";
        run(std::string(BENCH_PACKAGE_MAKER) + " tokenizer --input " + corpus.string() + " --output " +
            tokenizer.string() + " --plain " + plainTokenizer.string() + " --vocab-size " +
            std::to_string(kVocabulary) + " --model-type bpe");
    }
    if (!fs::exists(model / "saved_model.pt")) {
        std::cerr << "bench_engine: writing the base transformer...\n";
        run(std::string(BENCH_MODEL_MAKER) + " transformer --output " + model.string() +
            " --encoder-layers 6 --decoder-layers 6 --width 512 --heads 8 --ffn 2048 --vocab " +
            std::to_string(kVocabulary));
    }

    std::mt19937 textRng(7);
    std::vector<std::string> sentences;
    for (int i = 0; i < kSentences; ++i) {
        sentences.push_back(sentence(textRng, words, 8, 16));
        fixture.words +=
            static_cast<size_t>(std::count(sentences.back().begin(), sentences.back().end(), ' ') + 1);
        fixture.text += sentences.back() + (i + 1 < kSentences ? "\n" : "");
    }
    while (fixture.segmentationText.size() < 8u << 20) {
        std::string paragraph;
        for (int i = 0; i < 8; ++i)
            paragraph += sentence(textRng, words, 4, 70) + (i % 3 ? " " : ", ");
        fixture.segmentationText += paragraph + "\n";
    }
}

// Loads the engine and the direct runner; only when a translation benchmark runs.
void prepareModels() {
    static bool done = false;
    if (done)
        return;
    done = true;
    const fs::path work = BENCH_WORK_DIR;
    const fs::path tokenizer = work / "en.spm.model";
    const fs::path plainTokenizer = work / "en.plain.model";
    const fs::path model = work / "transformer";
    std::vector<std::string> sentences;
    std::istringstream lines(fixture.text);
    for (std::string line; std::getline(lines, line);)
        sentences.push_back(line);

    char error[kQuorvaldeBufferSize];
    if (initQuorvalde(model.c_str(), tokenizer.c_str(), tokenizer.c_str(), 1, error) != 0) {
        std::cerr << "bench_engine: engine load failed: " << error << "\n";
        std::exit(1);
    }

    // The engine's batch, built the same way: one row of "widxN" tokens per sentence.
    sentencepiece::SentencePieceProcessor spm;
    std::ifstream in(plainTokenizer, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (!spm.LoadFromSerializedProto(bytes.str()).ok())
        std::exit(1);
    std::vector<std::string> tokens;
    std::vector<int> rowSizes;
    for (auto it = sentences.rbegin(); it != sentences.rend(); ++it) {
        std::vector<int> ids;
        spm.Encode(*it, &ids).IgnoreError();
        for (int id : ids)
            tokens.push_back(id < 3 ? (id == 0   ? "<blank>"
                                       : id == 1 ? "<s>"
                                                 : "</s>")
                                    : "widx" + std::to_string(id));
        rowSizes.push_back(static_cast<int>(ids.size()));
    }
    std::vector<const char *> flat;
    for (const auto &t : tokens)
        flat.push_back(t.c_str());

    void *direct = dlopen(BENCH_DIRECT_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    if (direct == nullptr) {
        std::cerr << "bench_engine: " << dlerror() << "\n";
        std::exit(1);
    }
    auto load = reinterpret_cast<int (*)(const char *)>(dlsym(direct, "directLoad"));
    auto prepareRun =
        reinterpret_cast<void (*)(const char *const *, const int *, int)>(dlsym(direct, "directPrepare"));
    fixture.directRun = reinterpret_cast<double (*)()>(dlsym(direct, "directRun"));
    if (load == nullptr || prepareRun == nullptr || fixture.directRun == nullptr || load(model.c_str()) != 0)
        std::exit(1);
    prepareRun(flat.data(), rowSizes.data(), static_cast<int>(rowSizes.size()));

    // Warm both paths: TorchScript optimises a method over its first runs.
    std::vector<char> result(kQuorvaldeBufferSize);
    for (int i = 0; i < 2; ++i) {
        if (translateQuorvalde(fixture.text.data(), result.data(), 1, error) != 0) {
            std::cerr << "bench_engine: translation failed: " << error << "\n";
            std::exit(1);
        }
        if (fixture.directRun() < 0)
            std::exit(1);
    }
}

// Engine and model alternate within each iteration, so both see the same machine load.
void BM_EngineVersusModel(benchmark::State &state) {
    prepareModels();
    std::vector<char> result(kQuorvaldeBufferSize);
    char error[kQuorvaldeBufferSize];
    double engineTotal = 0, modelTotal = 0;
    bool modelFirst = false;
    for (auto _ : state) {
        // Which one runs first alternates too, so neither always inherits the other's caches.
        double model = modelFirst ? fixture.directRun() : 0;
        const auto start = std::chrono::steady_clock::now();
        const int code = translateQuorvalde(fixture.text.data(), result.data(), 1, error);
        const double engine = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!modelFirst)
            model = fixture.directRun();
        modelFirst = !modelFirst;
        if (code != 0)
            state.SkipWithError(error);
        if (model < 0)
            state.SkipWithError("direct run failed");
        state.SetIterationTime(engine);
        engineTotal += engine;
        modelTotal += model;
    }
    const auto iterations = static_cast<double>(state.iterations());
    fixture.engineSeconds = engineTotal / iterations;
    fixture.modelSeconds = modelTotal / iterations;
    state.counters["engine_words/s"] = static_cast<double>(fixture.words) / fixture.engineSeconds;
    state.counters["model_words/s"] = static_cast<double>(fixture.words) / fixture.modelSeconds;
    state.counters["overhead"] = fixture.engineSeconds / fixture.modelSeconds;
}

void BM_Segmentation(benchmark::State &state) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::vector<std::string> sentences, separators;
        synaptra::SplitByNewLine(fixture.segmentationText.c_str(), sentences, separators);
        benchmark::DoNotOptimize(sentences.data());
    }
    fixture.segmentationSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fixture.segmentationBytes = fixture.segmentationText.size() * static_cast<size_t>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(fixture.segmentationBytes));
}

} // namespace

BENCHMARK(BM_EngineVersusModel)->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Segmentation)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    prepare();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (fixture.engineSeconds > 0 && fixture.modelSeconds > 0) {
        std::printf("\n%d sentences, %zu words\n", kSentences, fixture.words);
        std::printf("engine:  %.1f words/s (%.1f ms per batch)\n", fixture.words / fixture.engineSeconds,
                    fixture.engineSeconds * 1e3);
        std::printf("model:   %.1f words/s (%.1f ms per batch)\n", fixture.words / fixture.modelSeconds,
                    fixture.modelSeconds * 1e3);
        std::printf("engine overhead: x%.3f of the model's time (goal: at most x1.05)\n",
                    fixture.engineSeconds / fixture.modelSeconds);
    }
    if (fixture.segmentationSeconds > 0)
        std::printf("segmentation: %.1f MB/s (goal: at least 100 MB/s)\n",
                    fixture.segmentationBytes / fixture.segmentationSeconds / 1e6);
    return 0;
}
