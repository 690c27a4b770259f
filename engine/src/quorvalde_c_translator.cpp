// The engine's entry points and its two translator slots.
#include "synaptra/quorvalde_c_translator.h"

#include "BatchInference.h"
#include "EncryptedTokenizer.h"
#include "EngineLog.h"
#include "EngineMessages.h"
#include "Segmentation.h"
#include "SubBatches.h"
#include "Vocabulary.h"

#include <sentencepiece_processor.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace synaptra {

namespace {

constexpr const char *kBadPointers = "Bad data for input pointers. May be NULL pointers?";
constexpr const char *kBadIndex = "Bad translator index";
constexpr const char *kEmptyText = "Bad source text data. May be empty text?";
constexpr const char *kNotLoaded = "Translator is not loaded";
constexpr const char *kUnknownFailure = "Unknown engine failure";

struct TranslatorSlot {
    ModelHandle model;
    std::unique_ptr<sentencepiece::SentencePieceProcessor> encoder;
    std::unique_ptr<sentencepiece::SentencePieceProcessor> decoder;

    bool loaded() const { return model.loaded() && encoder && decoder; }
    void release() {
        model.release();
        encoder.reset();
        decoder.reset();
    }
};

TranslatorSlot &slotAt(int index) {
    // Never destroyed: at exit the layer's own statics may already be gone, so models still
    // loaded then are left to the process teardown rather than released through it.
    static auto *slots = new TranslatorSlot[2];
    return slots[index - 1];
}

bool validIndex(int index) {
    return index == 1 || index == 2;
}

// Copies a message into a caller buffer of kQuorvaldeBufferSize bytes, cut at a UTF-8
// character boundary when it would not fit.
void writeMessage(char *buffer, const std::string &message) {
    if (buffer == nullptr)
        return;
    size_t length = message.size();
    if (length >= kQuorvaldeBufferSize) {
        length = kQuorvaldeBufferSize - 1;
        while (length > 0 && (static_cast<unsigned char>(message[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(buffer, message.data(), length);
    buffer[length] = '\0';
}

int loadSlot(const char *modelDir, const char *fromModelPath, const char *toModelPath, int index,
             char *error) {
    TranslatorSlot fresh;
    std::string message;
    if (!LoadModel(modelDir, fresh.model, message)) {
        writeMessage(error, message);
        return 2;
    }
    fresh.encoder = std::make_unique<sentencepiece::SentencePieceProcessor>();
    if (const auto status = loadEncryptedTokenizer(*fresh.encoder, fromModelPath); !status.ok()) {
        writeMessage(error, status.ToString());
        return 3;
    }
    fresh.decoder = std::make_unique<sentencepiece::SentencePieceProcessor>();
    if (const auto status = loadEncryptedTokenizer(*fresh.decoder, toModelPath); !status.ok()) {
        writeMessage(error, status.ToString());
        return 4;
    }
    // All parts loaded: only now does the slot change, releasing what it held.
    TranslatorSlot &slot = slotAt(index);
    slot.release();
    slot = std::move(fresh);
    return 0;
}

bool isWhitespace(const std::string &text) {
    return text.find_first_not_of(" \t\r\v\f") == std::string::npos;
}

// True for ids whose piece begins a word ("\u2581" prefix): good places to cut a long row.
bool startsWord(const sentencepiece::SentencePieceProcessor &encoder, int id) {
    static const std::string kWordStart = "\xE2\x96\x81";
    return encoder.IdToPiece(id).compare(0, kWordStart.size(), kWordStart) == 0;
}

// The rows one sentence became: [first, first + count) of the text's rows.
struct SentenceRows {
    size_t first = 0;
    size_t count = 0;
};

// Runs every row through the model in length-sorted sub-batches; `outputs[i]` receives the
// ids of row i's translation. False with `message` when a run fails.
bool runSubBatches(const TranslatorSlot &slot, const std::vector<std::vector<int>> &rows,
                   std::vector<std::vector<int>> &outputs, std::string &message) {
    std::vector<size_t> lengths;
    lengths.reserve(rows.size());
    for (const auto &row : rows)
        lengths.push_back(row.size());
    outputs.assign(rows.size(), {});
    TokenBatch batch, outputBatch;
    for (const std::vector<size_t> &run : planSubBatches(lengths)) {
        batch.clear();
        for (size_t index : run) {
            std::vector<std::string> &tokens = batch.emplace_back();
            tokens.reserve(rows[index].size());
            for (int id : rows[index])
                tokens.push_back(transformIdsToWords(id));
        }
        if (!TranslateBatch(slot.model, std::move(batch), outputBatch, message))
            return false;
        for (size_t k = 0; k < run.size(); ++k) {
            std::vector<int> &ids = outputs[run[k]];
            ids.reserve(outputBatch[k].size());
            for (const std::string &token : outputBatch[k])
                ids.push_back(transformWordsToIds(token));
        }
        batch = TokenBatch();
    }
    return true;
}

// Decodes one sentence's output ids. Ids the target tokenizer does not know are left out, so
// a stray id costs one piece of one sentence rather than the whole text. Each unknown piece of
// the output takes, in order, the text of an unknown piece of the source (`unknownTexts`):
// characters neither tokenizer knows pass through unchanged instead of becoming a mark.
std::string decodeSentence(const sentencepiece::SentencePieceProcessor &decoder, std::vector<int> ids,
                           const std::vector<std::string> &unknownTexts) {
    const int vocabulary = decoder.GetPieceSize();
    const auto unknown =
        std::remove_if(ids.begin(), ids.end(), [&](int id) { return id < 0 || id >= vocabulary; });
    if (unknown != ids.end()) {
        engineLog("Skipped ", ids.end() - unknown, " ids outside the target vocabulary");
        ids.erase(unknown, ids.end());
    }
    const int unk = decoder.unk_id();
    if (std::find(ids.begin(), ids.end(), unk) == ids.end()) {
        std::string line;
        if (const auto status = decoder.Decode(ids, &line); !status.ok()) {
            engineError("A sentence could not be detokenised: ", status.ToString());
            line.clear();
        }
        return line;
    }
    const sentencepiece::ImmutableSentencePieceText decoded = decoder.DecodeIdsAsImmutableProto(ids);
    std::string line;
    size_t next = 0;
    for (const auto &piece : decoded.pieces()) {
        if (static_cast<int>(piece.id()) != unk)
            line += piece.surface();
        else if (next < unknownTexts.size())
            line += unknownTexts[next++];
    }
    return line;
}

int translateWithSlot(const TranslatorSlot &slot, const std::vector<std::string> &sentenceBatch,
                      const std::vector<std::string> &symbolsBatch, char *result, char *error) {
    // Blank sentences keep their text and never reach the model; long ones become several rows.
    std::vector<std::vector<int>> rows;
    std::vector<SentenceRows> sentenceRows(sentenceBatch.size());
    std::vector<std::vector<std::string>> unknownTexts(sentenceBatch.size());
    std::vector<int> ids;
    const int sourceUnknown = slot.encoder->unk_id();
    for (size_t i = 0; i < sentenceBatch.size(); ++i) {
        const std::string &sentence = sentenceBatch[i];
        engineLog("line - ", sentence);
        if (isWhitespace(sentence))
            continue;
        ids.clear();
        sentencepiece::ImmutableSentencePieceText encoded;
        if (const auto status = slot.encoder->Encode(sentence, encoded.mutable_proto()); !status.ok()) {
            writeMessage(error, "Cannot tokenise the text: " + status.ToString());
            return 5;
        }
        for (const auto &piece : encoded.pieces()) {
            ids.push_back(static_cast<int>(piece.id()));
            if (static_cast<int>(piece.id()) == sourceUnknown)
                unknownTexts[i].push_back(piece.surface());
        }
        sentenceRows[i].first = rows.size();
        for (std::vector<int> &row :
             splitLongRow(ids, kMaxRowTokens, [&](int id) { return startsWord(*slot.encoder, id); })) {
            rows.push_back(std::move(row));
            ++sentenceRows[i].count;
        }
    }

    std::vector<std::vector<int>> outputs;
    std::string message;
    if (!rows.empty() && !runSubBatches(slot, rows, outputs, message)) {
        // The caller's buffer stays untouched: a failed run reports its status alone.
        engineError("TranslateBatch failed: ", message);
        return 2;
    }
    engineLog("output_batch_tokens len - ", outputs.size(), " ", symbolsBatch.size());

    std::string outputText;
    for (size_t i = 0; i < sentenceBatch.size(); ++i) {
        const SentenceRows &span = sentenceRows[i];
        if (span.count == 0) {
            if (isWhitespace(sentenceBatch[i]))
                outputText += sentenceBatch[i];
        } else {
            ids.clear();
            for (size_t r = span.first; r < span.first + span.count; ++r)
                ids.insert(ids.end(), outputs[r].begin(), outputs[r].end());
            outputText += decodeSentence(*slot.decoder, std::move(ids), unknownTexts[i]);
            ids = {};
        }
        outputText += symbolsBatch.at(i);
        if (outputText.size() >= kQuorvaldeBufferSize) {
            writeMessage(error,
                         std::string(kResultTooLarge) + std::to_string(kQuorvaldeBufferSize) + " bytes");
            return 5;
        }
    }
    std::memcpy(result, outputText.c_str(), outputText.size() + 1);
    return 0;
}

} // namespace

} // namespace synaptra

using namespace synaptra;

extern "C" {

SYNAPTRA_EXPORT extern const double SynaptraVersionNumber;
SYNAPTRA_EXPORT extern const unsigned char SynaptraVersionString[];
const double SynaptraVersionNumber = 1.0;
const unsigned char SynaptraVersionString[] = "@(#)PROGRAM:Synaptra  PROJECT:Synaptra-1\n";

int initQuorvalde(const char *modelDir, const char *fromModelPath, const char *toModelPath, int index,
                  char *error) {
    if (modelDir == nullptr || error == nullptr || fromModelPath == nullptr || toModelPath == nullptr) {
        writeMessage(error, kBadPointers);
        return 5;
    }
    if (!validIndex(index)) {
        writeMessage(error, kBadIndex);
        return 1;
    }
    try {
        return loadSlot(modelDir, fromModelPath, toModelPath, index, error);
    } catch (const std::exception &e) {
        writeMessage(error, e.what());
    } catch (...) {
        writeMessage(error, kUnknownFailure);
    }
    return 6;
}

int translateQuorvalde(char *text, char *result, int index, char *error) {
    if (error == nullptr || text == nullptr || result == nullptr) {
        writeMessage(error, kBadPointers);
        return 4;
    }
    // Longer texts are refused before any work: their result could not come back in one buffer.
    if (const size_t length = strnlen(text, kQuorvaldeBufferSize); length >= kQuorvaldeBufferSize) {
        writeMessage(error, std::string(kTextTooLong) + std::to_string(kQuorvaldeBufferSize - 1) +
                                " bytes in one call");
        return 5;
    }
    try {
        std::vector<std::string> sentenceBatch, symbolsBatch;
        if (SplitByNewLine(text, sentenceBatch, symbolsBatch) != 0) {
            writeMessage(error, kBadPointers);
            return 4;
        }
        if (sentenceBatch.empty()) {
            writeMessage(error, kEmptyText);
            return 3;
        }
        if (!validIndex(index)) {
            writeMessage(error, kBadIndex);
            return 1;
        }
        const TranslatorSlot &slot = slotAt(index);
        if (!slot.loaded()) {
            writeMessage(error, kNotLoaded);
            return 1;
        }
        return translateWithSlot(slot, sentenceBatch, symbolsBatch, result, error);
    } catch (const std::exception &e) {
        writeMessage(error, e.what());
    } catch (...) {
        writeMessage(error, kUnknownFailure);
    }
    return 5;
}

int closeQuorvalde(int index, char *error) {
    if (error == nullptr)
        return 2;
    if (!validIndex(index)) {
        writeMessage(error, kBadIndex);
        return 1;
    }
    try {
        TranslatorSlot &slot = slotAt(index);
        if (!slot.loaded()) {
            writeMessage(error, kNotLoaded);
            return 1;
        }
        slot.release();
        return 0;
    } catch (const std::exception &e) {
        writeMessage(error, e.what());
    } catch (...) {
        writeMessage(error, kUnknownFailure);
    }
    return 3;
}

} // extern "C"
