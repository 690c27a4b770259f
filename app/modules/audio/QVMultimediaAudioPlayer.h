#pragma once

#include "services/speech/QVSpeechEngines.h"

#include <QBuffer>

#include <memory>

class QAudioOutput;
class QMediaPlayer;

// Plays speech audio held in memory through QtMultimedia. Nothing is made until
// the first play, and nothing plays without an audio output: without an audio
// server the media player is known to crash, so canPlay() is asked first. It lives in
// the audio module, loaded when audio is first wanted (services/speech/QVOnDemandAudioPlayer.h).
class QVMultimediaAudioPlayer : public QVAudioPlayer {
    Q_OBJECT
public:
    explicit QVMultimediaAudioPlayer(QObject *parent = nullptr);
    ~QVMultimediaAudioPlayer() override;

    bool canPlay() const override;
    void play(const QByteArray &audio, double volume, double rate) override;
    void stop() override;
    bool isPlaying() const override { return m_playing; }

private:
    void finish(bool successfully);

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
    std::unique_ptr<QBuffer> m_buffer;
    bool m_playing = false;
};
