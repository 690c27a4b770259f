#include "QVSynaptraEngine.h"

namespace {

// Short enough to cost little, long enough to run every part of a model once.
constexpr const char *kWarmUpText = "Hello world.";

} // namespace

bool QVSynaptraEngine::load(Slot slot, const std::string &modelDirPath, const std::string &fromModelPath,
                            const std::string &toModelPath, bool warmUp, SYNError &error) {
    const bool loaded =
        slot == FirstSlot
            ? m_phraseService.setFirstWithModelDirPath(modelDirPath, fromModelPath, toModelPath, &error)
            : m_phraseService.setSecondWithModelDirPath(modelDirPath, fromModelPath, toModelPath, &error);
    if (loaded && warmUp) {
        // A model's first run prepares its graph and threads (about four times a warm run): done
        // here, on the bridge's queue, rather than in the user's first translation.
        SYNError ignored;
        std::string unknownWords;
        translate(slot, kWarmUpText, ignored, unknownWords);
    }
    return loaded;
}

std::string QVSynaptraEngine::translate(Slot slot, const std::string &text, SYNError &error,
                                        std::string &unknownWords) {
    return slot == FirstSlot
               ? m_phraseService.translatedTextForFirstPairFromText(text, &error, &unknownWords)
               : m_phraseService.translatedTextForSecondPairFromText(text, &error, &unknownWords);
}

bool QVSynaptraEngine::release(Slot slot, SYNError &error) {
    return slot == FirstSlot ? m_phraseService.deallocCustomForFirstPairError(&error)
                             : m_phraseService.deallocCustomForSecondPairError(&error);
}
