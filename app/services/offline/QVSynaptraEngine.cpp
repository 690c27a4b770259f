#include "services/offline/QVSynaptraEngine.h"

bool QVSynaptraEngine::load(Slot slot, const std::string &modelDirPath, const std::string &fromModelPath,
                            const std::string &toModelPath, SYNError &error) {
    return slot == FirstSlot
               ? m_phraseService.setFirstWithModelDirPath(modelDirPath, fromModelPath, toModelPath, &error)
               : m_phraseService.setSecondWithModelDirPath(modelDirPath, fromModelPath, toModelPath, &error);
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
