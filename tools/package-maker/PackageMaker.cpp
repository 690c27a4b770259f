// package-maker: tokenizers and offline language packages.
//
//   package-maker tokenizer --input TEXT --output FILE --vocab-size N [--plain FILE]
//       [--model-type unigram|bpe|word|char]
//       trains a tokenizer on TEXT and writes it encrypted (and, with --plain, unencrypted too)
//   package-maker encrypt --input MODEL --output FILE
//   package-maker package --language xx --en-text FILE --xx-text FILE --model-maker PATH
//       --output ZIP [--model identity|wordtable] [--vocab-size N]
//       [--xx-en-table FILE] [--en-xx-table FILE]      (word tables: "source<TAB>target" lines)
//       [--model-type unigram|bpe|word|char]           (both tokenizers; bpe keeps whole words of
//                                                       the texts, so word tables can name them)
//       [--byte-fallback yes|no]                       (yes: unseen characters become byte
//                                                       pieces, never the unknown piece)
//   The zip holds xx-en/ and en-xx/, each a saved model with en.spm.model and xx.spm.model.
#include "synaptra/TokenizerCipher.h"

#include "common/ToolOptions.h"

#include <sentencepiece_processor.h>
#include <sentencepiece_trainer.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using tools::Options;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure("cannot read " + path.string());
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw Failure("cannot write " + path.string());
}

const std::string &required(const Options &options, const std::string &name) {
    const auto it = options.find(name);
    if (it == options.end())
        throw Failure("missing --" + name);
    return it->second;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "package-maker.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw Failure("cannot create a temporary folder");
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path &path() const { return m_path; }

private:
    fs::path m_path;
};

// The byte pieces a tokenizer with byte fallback adds to the pieces it learns.
constexpr int kBytePieces = 256;

// Trains a tokenizer; returns the serialized model. With byte fallback a character its text
// never showed is spelled in byte pieces instead of becoming the unknown piece, so text of any
// script survives the round trip; `vocabSize` then counts the learnt pieces alone.
std::string trainTokenizer(const std::string &input, int vocabSize, const std::string &modelType = "unigram",
                           bool byteFallback = false) {
    TempDir dir;
    const fs::path prefix = dir.path() / "spm";
    const std::string args = "--input=" + input + " --model_prefix=" + prefix.string() +
                             " --vocab_size=" + std::to_string(vocabSize + (byteFallback ? kBytePieces : 0)) +
                             " --model_type=" + modelType +
                             " --character_coverage=1.0 --hard_vocab_limit=false --minloglevel=2" +
                             (byteFallback ? " --byte_fallback=true" : "");
    const auto status = sentencepiece::SentencePieceTrainer::Train(args);
    if (!status.ok())
        throw Failure("tokenizer training failed: " + status.ToString());
    return readFile(prefix.string() + ".model");
}

void writeEncrypted(const fs::path &path, const std::string &model) {
    const std::string file = synaptra::encryptTokenizerModel(model);
    if (file.empty())
        throw Failure("encryption failed");
    writeFile(path, file);
}

int tokenizerCommand(const Options &options) {
    const int vocab = options.count("vocab-size") ? std::stoi(options.at("vocab-size")) : 200;
    const std::string type = options.count("model-type") ? options.at("model-type") : "unigram";
    const std::string model = trainTokenizer(required(options, "input"), vocab, type);
    writeEncrypted(required(options, "output"), model);
    if (options.count("plain"))
        writeFile(options.at("plain"), model);
    return 0;
}

int encryptCommand(const Options &options) {
    writeEncrypted(required(options, "output"), readFile(required(options, "input")));
    return 0;
}

void runModelMaker(const std::string &modelMaker, const std::vector<std::string> &args) {
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(modelMaker.c_str()));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        throw Failure("cannot start the model maker");
    if (pid == 0) {
        execv(modelMaker.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Failure("the model maker failed (" + modelMaker + ")");
}

// The target's pieces spelling one source piece the target does not share, character by
// character: a character the target knows as a piece is that piece, any other its UTF-8 bytes
// (the target's byte pieces). Never the piece with the same number, which is another text.
std::string spelledInTarget(const std::string &piece, const sentencepiece::SentencePieceProcessor &target) {
    std::string pieces;
    auto add = [&](int id) { pieces += (pieces.empty() ? "widx" : " widx") + std::to_string(id); };
    for (size_t i = 0; i < piece.size();) {
        const auto lead = static_cast<unsigned char>(piece[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string character = piece.substr(i, length);
        i += length;
        if (const int id = target.PieceToId(character); id != target.unk_id()) {
            add(id);
            continue;
        }
        for (const char byte : character) {
            char name[8];
            std::snprintf(name, sizeof name, "<0x%02X>", static_cast<unsigned char>(byte));
            add(target.PieceToId(name)); // the unknown piece when the target has no byte pieces
        }
    }
    return pieces;
}

// A word table becomes a token table: pieces both tokenizers know (punctuation, shared words,
// byte pieces) map to themselves, every other source piece to its spelling in the target's
// pieces, and a source word that the source tokenizer keeps as one piece maps to the target
// tokenizer's pieces of its translation.
void writeTokenTable(const fs::path &wordTable, const std::string &sourceModel,
                     const std::string &targetModel, const fs::path &tokenTable) {
    sentencepiece::SentencePieceProcessor source, target;
    if (!source.LoadFromSerializedProto(sourceModel).ok() ||
        !target.LoadFromSerializedProto(targetModel).ok())
        throw Failure("cannot load the trained tokenizers");
    std::ifstream in(wordTable);
    if (!in)
        throw Failure("cannot read " + wordTable.string());
    std::map<int, std::string> table;
    for (int id = 0; id < source.GetPieceSize(); ++id) {
        if (source.IsControl(id) || source.IsUnknown(id))
            continue;
        const std::string &piece = source.IdToPiece(id);
        const int shared = target.PieceToId(piece);
        table[id] =
            shared != target.unk_id() ? "widx" + std::to_string(shared) : spelledInTarget(piece, target);
    }
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        std::vector<int> from, to;
        if (!source.Encode(line.substr(0, tab), &from).ok() || from.size() != 1) {
            std::cerr << "package-maker: skipping '" << line.substr(0, tab) << "', not one token\n";
            continue;
        }
        if (!target.Encode(line.substr(tab + 1), &to).ok())
            continue;
        std::string pieces;
        for (size_t i = 0; i < to.size(); ++i)
            pieces += (i ? " widx" : "widx") + std::to_string(to[i]);
        table[from.front()] = pieces;
    }
    std::ofstream out(tokenTable);
    for (const auto &[id, pieces] : table)
        out << "widx" << id << '\t' << pieces << '\n';
    if (!out)
        throw Failure("cannot write " + tokenTable.string());
}

void addToZip(zip_t *archive, const fs::path &root) {
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).generic_string();
        if (entry.is_directory()) {
            if (zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_UTF_8) < 0)
                throw Failure(std::string("zip: ") + zip_strerror(archive));
            continue;
        }
        zip_source_t *source = zip_source_file(archive, entry.path().c_str(), 0, -1);
        if (source == nullptr ||
            zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            if (source != nullptr)
                zip_source_free(source);
            throw Failure(std::string("zip: ") + zip_strerror(archive));
        }
    }
}

int packageCommand(const Options &options) {
    const std::string &language = required(options, "language");
    const std::string &modelMaker = required(options, "model-maker");
    const std::string kind = options.count("model") ? options.at("model") : "identity";
    const int vocab = options.count("vocab-size") ? std::stoi(options.at("vocab-size")) : 200;
    if (language.empty() || language.find('/') != std::string::npos)
        throw Failure("bad --language");

    const std::string tokenizerType = options.count("model-type") ? options.at("model-type") : "unigram";
    // A package translates whatever the user types: characters its texts lack pass through.
    const bool byteFallback = !options.count("byte-fallback") || options.at("byte-fallback") != "no";
    const std::string enModel =
        trainTokenizer(required(options, "en-text"), vocab, tokenizerType, byteFallback);
    const std::string xxModel =
        trainTokenizer(required(options, "xx-text"), vocab, tokenizerType, byteFallback);
    TempDir staging;
    struct Direction {
        std::string folder, tableOption;
        const std::string *sourceModel, *targetModel;
    };
    const Direction directions[] = {{language + "-en", "xx-en-table", &xxModel, &enModel},
                                    {"en-" + language, "en-xx-table", &enModel, &xxModel}};
    for (const Direction &d : directions) {
        const fs::path folder = staging.path() / "package" / d.folder;
        fs::create_directories(folder);
        writeEncrypted(folder / "en.spm.model", enModel);
        writeEncrypted(folder / (language + ".spm.model"), xxModel);
        if (kind == "wordtable") {
            const fs::path tokenTable = staging.path() / (d.folder + ".table");
            writeTokenTable(required(options, d.tableOption), *d.sourceModel, *d.targetModel, tokenTable);
            runModelMaker(modelMaker,
                          {"wordtable", "--table", tokenTable.string(), "--output", folder.string()});
        } else {
            runModelMaker(modelMaker, {kind, "--output", folder.string()});
        }
    }

    const std::string &output = required(options, "output");
    int error = 0;
    zip_t *archive = zip_open(output.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr)
        throw Failure("cannot create " + output);
    try {
        addToZip(archive, staging.path() / "package");
    } catch (...) {
        zip_discard(archive);
        throw;
    }
    // Files are read when the archive is closed, so the staging folder must still exist here.
    if (zip_close(archive) < 0) {
        const std::string reason = zip_strerror(archive);
        zip_discard(archive);
        throw Failure("cannot write " + output + ": " + reason);
    }
    return 0;
}

const char *const kUsage =
    "usage: package-maker tokenizer --input TEXT --output FILE --vocab-size N [--plain FILE]\n"
    "                     [--model-type unigram|bpe|word|char]\n"
    "           trains a tokenizer on TEXT and writes it encrypted (with --plain, unencrypted too)\n"
    "       package-maker encrypt --input MODEL --output FILE\n"
    "           encrypts a tokenizer model\n"
    "       package-maker package --language xx --en-text FILE --xx-text FILE --model-maker PATH\n"
    "                     --output ZIP [--model identity|wordtable] [--vocab-size N]\n"
    "                     [--xx-en-table FILE] [--en-xx-table FILE] [--model-type unigram|bpe|word|char]\n"
    "                     [--byte-fallback yes|no]\n"
    "           makes an offline language package: xx-en/ and en-xx/, each a saved model with its\n"
    "           two tokenizers; word tables are \"source<TAB>target\" lines\n"
    "       package-maker --help\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (tools::asksForHelp(argc, argv)) {
        std::cout << kUsage;
        return 0;
    }
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    const std::optional<Options> parsed = tools::parseOptions(argc, argv);
    if (!parsed)
        return usage();
    Options options = *parsed;
    try {
        if (command == "tokenizer")
            return tokenizerCommand(options);
        if (command == "encrypt")
            return encryptCommand(options);
        if (command == "package")
            return packageCommand(options);
    } catch (const std::exception &e) {
        std::cerr << "package-maker: " << e.what() << "\n";
        return 1;
    }
    return usage();
}
