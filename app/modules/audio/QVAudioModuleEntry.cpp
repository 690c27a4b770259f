// The audio module's entry point (see services/speech/QVOnDemandAudioPlayer.h): the only
// code that links QtMultimedia.
#include "QVMultimediaAudioPlayer.h"

extern "C" Q_DECL_EXPORT QVAudioPlayer *qvAudioModuleCreatePlayer(QObject *parent) {
    return new QVMultimediaAudioPlayer(parent);
}
