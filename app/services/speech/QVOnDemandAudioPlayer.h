#pragma once

#include "services/speech/QVSpeechEngines.h"

#include <memory>

// The player of the backend's speech audio, loaded from the audio module the
// first time audio is wanted: QtMultimedia costs the start nothing.
//
//   QVOnDemandAudioPlayer player;     // nothing loaded yet
//   player.prepare();                 // loads the module on a worker thread; ready() follows
//   if (player.canPlay())             // asks for an audio output (loads the module now if need be)
//       player.play(wav, 1.0, 1.0);
//
// A module that cannot be loaded gives a player with no output (canPlay() false).
// The module is looked for at $QV_AUDIO_MODULE, beside the program, then where the
// build made it.
class QVOnDemandAudioPlayer : public QVAudioPlayer {
    Q_OBJECT
public:
    explicit QVOnDemandAudioPlayer(QObject *parent = nullptr);
    ~QVOnDemandAudioPlayer() override;

    bool canPlay() const override;
    bool isReady() const override { return m_player || m_failed; }
    void prepare() override;
    void play(const QByteArray &audio, double volume, double rate) override;
    void stop() override;
    bool isPlaying() const override;

    static bool isModuleLoaded();

private:
    QVAudioPlayer *player() const;
    QVAudioPlayer *createPlayer(void *entry, const QString &error) const;

    mutable std::unique_ptr<QVAudioPlayer> m_player;
    mutable bool m_failed = false;
    bool m_loading = false;
};
