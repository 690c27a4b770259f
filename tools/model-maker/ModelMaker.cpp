// model-maker: writes saved-model directories (saved_model.pt) that follow the engine's
// contract: a method "serve(tokens: List[List[str]], lengths: Tensor)" returning per row a list
// of hypotheses and int32 lengths [B, H], with the signature names as list attributes.
//
//   model-maker identity --output DIR
//   model-maker wordtable --table FILE --output DIR      (FILE: "token<TAB>tokens" lines)
//   model-maker transformer --output DIR [--encoder-layers 6] [--decoder-layers 6] [--width 512]
//               [--heads 8] [--ffn 2048] [--vocab 8000] [--extra-steps 5] [--seed 1]
//   model-maker broken --output DIR      (answers for the first row only: for failure tests)
//   model-maker checked --output DIR [--max-row-tokens 128]
//       identity that fails the run on a row without tokens or with more than the maximum
// Any kind takes --method NAME (serve under another name) and --signature none (no signature
// attributes), to make models that do not follow the contract.
#include "common/ToolOptions.h"

#include <torch/script.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

namespace {

const char *const kIdentitySource = R"JIT(
def serve(self, tokens: List[List[str]], lengths: Tensor) -> Tuple[List[List[List[str]]], Tensor]:
    out: List[List[List[str]]] = []
    out_lengths: List[int] = []
    for i in range(len(tokens)):
        n = min(int(lengths[i]), len(tokens[i]))
        row: List[str] = []
        for j in range(n):
            row.append(tokens[i][j])
        row.append("</s>")
        out.append([row])
        out_lengths.append(len(row))
    return out, torch.tensor(out_lengths, dtype=3).reshape([len(tokens), 1])
)JIT";

const char *const kBrokenSource = R"JIT(
def serve(self, tokens: List[List[str]], lengths: Tensor) -> Tuple[List[List[List[str]]], Tensor]:
    return [[["</s>"]]], torch.tensor([[1]], dtype=3)
)JIT";

const char *const kCheckedSource = R"JIT(
def serve(self, tokens: List[List[str]], lengths: Tensor) -> Tuple[List[List[List[str]]], Tensor]:
    out: List[List[List[str]]] = []
    out_lengths: List[int] = []
    for i in range(len(tokens)):
        n = min(int(lengths[i]), len(tokens[i]))
        assert n > 0, "a row without tokens reached the model"
        assert n <= self.max_row_tokens, "a row of " + str(n) + " tokens is longer than " + str(self.max_row_tokens)
        row: List[str] = []
        for j in range(n):
            row.append(tokens[i][j])
        row.append("</s>")
        out.append([row])
        out_lengths.append(len(row))
    return out, torch.tensor(out_lengths, dtype=3).reshape([len(tokens), 1])
)JIT";

const char *const kWordTableSource = R"JIT(
def serve(self, tokens: List[List[str]], lengths: Tensor) -> Tuple[List[List[List[str]]], Tensor]:
    out: List[List[List[str]]] = []
    out_lengths: List[int] = []
    for i in range(len(tokens)):
        n = min(int(lengths[i]), len(tokens[i]))
        row: List[str] = []
        for j in range(n):
            token = tokens[i][j]
            if token in self.table:
                for piece in self.table[token].split(" "):
                    if piece != "":
                        row.append(piece)
            else:
                row.append(token)
        row.append("</s>")
        out.append([row])
        out_lengths.append(len(row))
    return out, torch.tensor(out_lengths, dtype=3).reshape([len(tokens), 1])
)JIT";

// Pre-norm encoder-decoder with greedy decoding and cached self-attention keys and values.
// Layer weights are stacked along their first dimension.
const char *const kTransformerSource = R"JIT(
def to_ids(self, tokens: List[List[str]], lengths: Tensor):
    batch = len(tokens)
    width = 1
    for i in range(batch):
        width = max(width, min(int(lengths[i]), len(tokens[i])))
    ids: List[List[int]] = []
    for i in range(batch):
        n = min(int(lengths[i]), len(tokens[i]))
        row: List[int] = []
        for j in range(width):
            v = 0
            if j < n:
                t = tokens[i][j]
                if t == "<s>":
                    v = 1
                elif t == "</s>":
                    v = 2
                elif t.startswith("widx") and len(t) > 4 and t[4:].isdigit():
                    v = int(t[4:])
                    if v >= self.vocab:
                        v = 0
            row.append(v)
        ids.append(row)
    return torch.tensor(ids, dtype=4)

def attend(self, q, k, v, mask: Optional[Tensor]):
    b = q.size(0)
    t = q.size(1)
    h = self.heads
    dh = self.width // h
    q = q.view(b, t, h, dh).transpose(1, 2)
    scores = torch.matmul(q, k.transpose(2, 3)) / (float(dh) ** 0.5)
    if mask is not None:
        scores = scores.masked_fill(mask, -1e9)
    weights = torch.softmax(scores, -1)
    return torch.matmul(weights, v).transpose(1, 2).reshape(b, t, self.width)

def heads_of(self, x):
    b = x.size(0)
    t = x.size(1)
    return x.view(b, t, self.heads, self.width // self.heads).transpose(1, 2)

def feed_forward(self, x, w1, b1, w2, b2):
    return torch.matmul(torch.relu(torch.matmul(x, w1) + b1), w2) + b2

def norm(self, x, w, b):
    return torch.layer_norm(x, [self.width], w, b, 1e-5)

def encode(self, ids, pad_mask):
    s = ids.size(1)
    positions = torch.arange(s, dtype=4)
    x = torch.embedding(self.embedding, ids) * (float(self.width) ** 0.5) + torch.embedding(self.positions, positions)
    mask = pad_mask.unsqueeze(1).unsqueeze(2)
    for l in range(self.encoder_layers):
        h = self.norm(x, self.enc_ln1_w[l], self.enc_ln1_b[l])
        attn = self.attend(torch.matmul(h, self.enc_wq[l]), self.heads_of(torch.matmul(h, self.enc_wk[l])), self.heads_of(torch.matmul(h, self.enc_wv[l])), mask)
        x = x + torch.matmul(attn, self.enc_wo[l])
        h = self.norm(x, self.enc_ln2_w[l], self.enc_ln2_b[l])
        x = x + self.feed_forward(h, self.enc_w1[l], self.enc_b1[l], self.enc_w2[l], self.enc_b2[l])
    return self.norm(x, self.enc_lnf_w, self.enc_lnf_b)

def name_of(self, i: int) -> str:
    if i == 0:
        return "<blank>"
    if i == 1:
        return "<s>"
    if i == 2:
        return "</s>"
    return "widx" + str(i)

def serve(self, tokens: List[List[str]], lengths: Tensor) -> Tuple[List[List[List[str]]], Tensor]:
    ids = self.to_ids(tokens, lengths)
    batch = ids.size(0)
    source_lengths = torch.clamp(lengths.to(4), 0, ids.size(1))
    pad_mask = torch.arange(ids.size(1), dtype=4).unsqueeze(0) >= source_lengths.unsqueeze(1)
    memory = self.encode(ids, pad_mask)
    cross_mask = pad_mask.unsqueeze(1).unsqueeze(2)
    cross_k: List[Tensor] = []
    cross_v: List[Tensor] = []
    self_k: List[Tensor] = []
    self_v: List[Tensor] = []
    for l in range(self.decoder_layers):
        cross_k.append(self.heads_of(torch.matmul(memory, self.dec_cwk[l])))
        cross_v.append(self.heads_of(torch.matmul(memory, self.dec_cwv[l])))
        self_k.append(torch.zeros([batch, self.heads, 0, self.width // self.heads]))
        self_v.append(torch.zeros([batch, self.heads, 0, self.width // self.heads]))
    limits = source_lengths + self.extra_steps
    steps = int(torch.max(limits))
    steps = min(steps, self.positions.size(0))
    current = torch.ones([batch], dtype=4)
    finished = torch.zeros([batch], dtype=11)
    produced: List[Tensor] = []
    for step in range(steps):
        x = (torch.embedding(self.embedding, current) * (float(self.width) ** 0.5) + self.positions[step]).unsqueeze(1)
        for l in range(self.decoder_layers):
            h = self.norm(x, self.dec_ln1_w[l], self.dec_ln1_b[l])
            self_k[l] = torch.cat([self_k[l], self.heads_of(torch.matmul(h, self.dec_wk[l]))], 2)
            self_v[l] = torch.cat([self_v[l], self.heads_of(torch.matmul(h, self.dec_wv[l]))], 2)
            x = x + torch.matmul(self.attend(torch.matmul(h, self.dec_wq[l]), self_k[l], self_v[l], None), self.dec_wo[l])
            h = self.norm(x, self.dec_ln2_w[l], self.dec_ln2_b[l])
            x = x + torch.matmul(self.attend(torch.matmul(h, self.dec_cwq[l]), cross_k[l], cross_v[l], cross_mask), self.dec_cwo[l])
            h = self.norm(x, self.dec_ln3_w[l], self.dec_ln3_b[l])
            x = x + self.feed_forward(h, self.dec_w1[l], self.dec_b1[l], self.dec_w2[l], self.dec_b2[l])
        logits = torch.matmul(self.norm(x, self.dec_lnf_w, self.dec_lnf_b).squeeze(1), self.embedding.t())
        current = torch.argmax(logits, -1)
        produced.append(current)
        finished = finished | (current == 2)
        if bool(torch.all(finished)):
            break
    table: List[List[int]] = torch.stack(produced, 1).tolist()
    limit_list: List[int] = limits.tolist()
    out: List[List[List[str]]] = []
    out_lengths: List[int] = []
    for i in range(batch):
        row: List[str] = []
        for j in range(min(len(table[i]), limit_list[i])):
            row.append(self.name_of(table[i][j]))
            if table[i][j] == 2:
                break
        out.append([row])
        out_lengths.append(len(row))
    return out, torch.tensor(out_lengths, dtype=3).reshape([batch, 1])
)JIT";

using tools::Options;

void addSignature(torch::jit::Module &module) {
    c10::List<std::string> inputs({"Placeholder", "Placeholder_1"});
    c10::List<std::string> outputs({"transformer/index_to_string_Lookup", "transformer/decoder/Minimum"});
    module.register_attribute("signature_inputs", c10::ListType::ofStrings(), inputs);
    module.register_attribute("signature_outputs", c10::ListType::ofStrings(), outputs);
}

int64_t intOption(const Options &options, const std::string &name, int64_t fallback) {
    const auto it = options.find(name);
    return it == options.end() ? fallback : std::stoll(it->second);
}

bool readTable(const std::string &path, c10::Dict<std::string, std::string> &table) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0)
            continue;
        table.insert_or_assign(line.substr(0, tab), line.substr(tab + 1));
    }
    return true;
}

void addStacked(torch::jit::Module &module, const std::string &name, std::vector<int64_t> shape,
                bool ones = false, bool zeros = false) {
    torch::Tensor value;
    if (ones)
        value = torch::ones(shape);
    else if (zeros)
        value = torch::zeros(shape);
    else
        value = torch::randn(shape) * 0.02;
    module.register_parameter(name, value, false);
}

// Renames the serving method when asked to, for models that must lack "serve".
std::string withMethodName(const std::string &source, const Options &options) {
    const auto it = options.find("method");
    if (it == options.end())
        return source;
    std::string renamed = source;
    const std::string from = "def serve(";
    const size_t at = renamed.find(from);
    if (at != std::string::npos)
        renamed.replace(at, from.size(), "def " + it->second + "(");
    return renamed;
}

void buildTransformer(torch::jit::Module &module, const Options &options) {
    const int64_t encoderLayers = intOption(options, "encoder-layers", 6);
    const int64_t decoderLayers = intOption(options, "decoder-layers", 6);
    const int64_t width = intOption(options, "width", 512);
    const int64_t heads = intOption(options, "heads", 8);
    const int64_t ffn = intOption(options, "ffn", 2048);
    const int64_t vocab = intOption(options, "vocab", 8000);
    const int64_t maxPositions = intOption(options, "max-positions", 1024);
    if (heads <= 0 || width <= 0 || width % heads != 0)
        throw std::invalid_argument("--width must be a positive multiple of --heads");
    torch::manual_seed(static_cast<uint64_t>(intOption(options, "seed", 1)));

    module.register_attribute("encoder_layers", c10::IntType::get(), encoderLayers);
    module.register_attribute("decoder_layers", c10::IntType::get(), decoderLayers);
    module.register_attribute("width", c10::IntType::get(), width);
    module.register_attribute("heads", c10::IntType::get(), heads);
    module.register_attribute("vocab", c10::IntType::get(), vocab);
    module.register_attribute("extra_steps", c10::IntType::get(), intOption(options, "extra-steps", 5));

    addStacked(module, "embedding", {vocab, width});
    addStacked(module, "positions", {maxPositions, width});
    for (const std::string side : {"enc", "dec"}) {
        const int64_t layers = side == "enc" ? encoderLayers : decoderLayers;
        std::vector<std::string> projections{"wq", "wk", "wv", "wo"};
        if (side == "dec")
            projections.insert(projections.end(), {"cwq", "cwk", "cwv", "cwo"});
        for (const std::string &p : projections)
            addStacked(module, side + "_" + p, {layers, width, width});
        addStacked(module, side + "_w1", {layers, width, ffn});
        addStacked(module, side + "_b1", {layers, ffn}, false, true);
        addStacked(module, side + "_w2", {layers, ffn, width});
        addStacked(module, side + "_b2", {layers, width}, false, true);
        const int norms = side == "enc" ? 2 : 3;
        for (int n = 1; n <= norms; ++n) {
            addStacked(module, side + "_ln" + std::to_string(n) + "_w", {layers, width}, true);
            addStacked(module, side + "_ln" + std::to_string(n) + "_b", {layers, width}, false, true);
        }
        addStacked(module, side + "_lnf_w", {width}, true);
        addStacked(module, side + "_lnf_b", {width}, false, true);
    }
    module.define(withMethodName(kTransformerSource, options));
}

const char *const kUsage =
    "usage: model-maker identity --output DIR\n"
    "       model-maker wordtable --table FILE --output DIR      (FILE: \"token<TAB>tokens\" lines)\n"
    "       model-maker transformer --output DIR [--encoder-layers 6] [--decoder-layers 6] [--width 512]\n"
    "                   [--heads 8] [--ffn 2048] [--vocab 8000] [--extra-steps 5] [--seed 1]\n"
    "       model-maker broken --output DIR      (answers for the first row only)\n"
    "       model-maker checked --output DIR [--max-row-tokens 128]\n"
    "       model-maker --help\n"
    "Writes a saved translation model (DIR/saved_model.pt). Any kind takes --method NAME and\n"
    "--signature none, to make models that do not follow the engine's contract.\n";

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
    const std::string kind = argv[1];
    const std::optional<Options> parsed = tools::parseOptions(argc, argv);
    if (!parsed)
        return usage();
    Options options = *parsed;
    if (!options.count("output"))
        return usage();
    try {
        torch::jit::Module module("SavedTranslationModel");
        const auto signature = options.find("signature");
        if (signature == options.end() || signature->second != "none")
            addSignature(module);
        if (kind == "identity") {
            module.define(withMethodName(kIdentitySource, options));
        } else if (kind == "checked") {
            module.register_attribute("max_row_tokens", c10::IntType::get(),
                                      intOption(options, "max-row-tokens", 128));
            module.define(withMethodName(kCheckedSource, options));
        } else if (kind == "broken") {
            module.define(withMethodName(kBrokenSource, options));
        } else if (kind == "wordtable") {
            c10::Dict<std::string, std::string> table;
            if (!options.count("table") || !readTable(options["table"], table)) {
                std::cerr << "model-maker: cannot read the table " << options["table"] << "\n";
                return 1;
            }
            module.register_attribute(
                "table", c10::DictType::create(c10::StringType::get(), c10::StringType::get()), table);
            module.define(withMethodName(kWordTableSource, options));
        } else if (kind == "transformer") {
            buildTransformer(module, options);
        } else {
            return usage();
        }
        std::filesystem::create_directories(options["output"]);
        module.save((std::filesystem::path(options["output"]) / "saved_model.pt").string());
    } catch (const std::exception &e) {
        std::cerr << "model-maker: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
