#pragma once

#include "services/offline/QVTranslationEngine.h"

#include <memory>

// The engine, loaded from the engine module with the first model: the engine library,
// sentencepiece and libcrypto cost the start nothing. Calls come from the bridge's queue, so the
// module loads there too, never on the interface thread.
//
//   QVMSynaptraService bridge(std::make_unique<QVOnDemandTranslationEngine>());
//
// A module that cannot be loaded fails every load and translation with an error saying why;
// releasing what was never loaded succeeds without loading it. The module is looked for at
// $QV_ENGINE_MODULE, beside the program, then where the build made it.
class QVOnDemandTranslationEngine : public QVTranslationEngine {
public:
    QVOnDemandTranslationEngine();
    ~QVOnDemandTranslationEngine() override;

    bool load(Slot slot, const std::string &modelDirPath, const std::string &fromModelPath,
              const std::string &toModelPath, bool warmUp, SYNError &error) override;
    std::string translate(Slot slot, const std::string &text, SYNError &error,
                          std::string &unknownWords) override;
    bool release(Slot slot, SYNError &error) override;

    // Whether the module was loaded in this process.
    static bool isModuleLoaded();

private:
    QVTranslationEngine *engine(SYNError &error);

    std::unique_ptr<QVTranslationEngine> m_engine;
};
