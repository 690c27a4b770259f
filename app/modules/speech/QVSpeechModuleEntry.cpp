// The speech module's entry point (see services/speech/QVOnDemandSpeechEngine.h): the only
// code that links QtTextToSpeech.
#include "QVSystemSpeechEngine.h"

extern "C" Q_DECL_EXPORT QVSpeechEngine *qvSpeechModuleCreate(const char *engineName, QObject *parent) {
    return new QVSystemSpeechEngine(QString::fromUtf8(engineName), parent);
}
