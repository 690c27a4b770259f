// The engine's entry points and its two translator slots.
#include "synaptra/quorvalde_c_translator.h"

#include "BatchInference.h"
#include "EncryptedTokenizer.h"
#include "EngineLog.h"
#include "Segmentation.h"
#include "Vocabulary.h"

#include <sentencepiece_processor.h>

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

int translateWithSlot(const TranslatorSlot &slot, const std::vector<std::string> &sentenceBatch,
                      const std::vector<std::string> &symbolsBatch, char *result, char *error) {
    TokenBatch batch;
    batch.reserve(sentenceBatch.size());
    // Rows run from the last sentence to the first; detokenising walks them back into text order.
    std::vector<int> ids;
    for (auto it = sentenceBatch.rbegin(); it != sentenceBatch.rend(); ++it) {
        engineLog("line - ", *it);
        ids.clear();
        if (const auto status = slot.encoder->Encode(*it, &ids); !status.ok()) {
            writeMessage(error, "Cannot tokenise the text: " + status.ToString());
            return 5;
        }
        std::vector<std::string> row;
        row.reserve(ids.size());
        for (int id : ids)
            row.push_back(transformIdsToWords(id));
        batch.push_back(std::move(row));
    }

    TokenBatch outputBatch;
    std::string message;
    if (!TranslateBatch(slot.model, batch, outputBatch, message)) {
        engineLog("TranslateBatch failed: ", message);
        writeMessage(error, message);
        return 2;
    }
    engineLog("output_batch_tokens len - ", outputBatch.size(), " ", symbolsBatch.size());

    std::string outputText;
    size_t iter = 0;
    std::string detokenizedLine;
    while (!outputBatch.empty()) {
        ids.clear();
        for (const std::string &token : outputBatch.back())
            ids.push_back(transformWordsToIds(token));
        detokenizedLine.clear();
        if (const auto status = slot.decoder->Decode(ids, &detokenizedLine); !status.ok()) {
            writeMessage(error, "Cannot detokenise the translation: " + status.ToString());
            return 5;
        }
        outputText += detokenizedLine;
        outputText += symbolsBatch.at(iter);
        outputBatch.pop_back();
        ++iter;
    }
    if (outputText.size() >= kQuorvaldeBufferSize) {
        writeMessage(error, "The translation needs " + std::to_string(outputText.size() + 1) +
                                " bytes, more than the result buffer's " +
                                std::to_string(kQuorvaldeBufferSize));
        return 5;
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
