#pragma once

#include "services/offline/QVTranslationEngine.h"

// The real engine, through its service class.
class QVSynaptraEngine : public QVTranslationEngine {
public:
    bool load(Slot slot, const std::string &modelDirPath, const std::string &fromModelPath,
              const std::string &toModelPath, bool warmUp, SYNError &error) override;
    std::string translate(Slot slot, const std::string &text, SYNError &error,
                          std::string &unknownWords) override;
    bool release(Slot slot, SYNError &error) override;

private:
    SYNTranslatePhraseService m_phraseService;
};
