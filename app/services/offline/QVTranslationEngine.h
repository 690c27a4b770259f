#pragma once

#include "synaptra/SYNTranslatePhraseService.h"

#include <memory>
#include <string>

// What the offline bridge needs of the engine: load, translate with and
// release each of its two slots. Slot 1 translates a language into English,
// slot 2 English into a language. Not thread-safe: the bridge makes every
// call from its one serial queue. Every call gets an error to fill.
class QVTranslationEngine {
public:
    enum Slot { FirstSlot = 1, SecondSlot = 2 };

    virtual ~QVTranslationEngine() = default;

    // `warmUp` runs the model once after loading, so that the next translation finds it ready.
    virtual bool load(Slot slot, const std::string &modelDirPath, const std::string &fromModelPath,
                      const std::string &toModelPath, bool warmUp, SYNError &error) = 0;
    // Empty result and `error` set on failure.
    virtual std::string translate(Slot slot, const std::string &text, SYNError &error,
                                  std::string &unknownWords) = 0;
    virtual bool release(Slot slot, SYNError &error) = 0;
};
