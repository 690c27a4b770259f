// The engine module's entry point (see services/offline/QVOnDemandTranslationEngine.h): the only
// code that links the engine, and with it sentencepiece and libcrypto.
#include "QVSynaptraEngine.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT QVTranslationEngine *qvEngineModuleCreate() {
    return new QVSynaptraEngine;
}
