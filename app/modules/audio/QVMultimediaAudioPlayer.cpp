#include "QVMultimediaAudioPlayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>

QVMultimediaAudioPlayer::QVMultimediaAudioPlayer(QObject *parent) : QVAudioPlayer(parent) {}

QVMultimediaAudioPlayer::~QVMultimediaAudioPlayer() {
    if (m_player) {
        m_player->disconnect(this);
        m_player->stop();
    }
}

bool QVMultimediaAudioPlayer::canPlay() const {
    return !QMediaDevices::defaultAudioOutput().isNull();
}

void QVMultimediaAudioPlayer::play(const QByteArray &audio, double volume, double rate) {
    if (m_playing)
        stop();
    if (!m_player) {
        m_player = new QMediaPlayer(this);
        m_output = new QAudioOutput(this);
        m_player->setAudioOutput(m_output);
        connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::EndOfMedia)
                finish(true);
            else if (status == QMediaPlayer::InvalidMedia)
                finish(false);
        });
        connect(m_player, &QMediaPlayer::errorOccurred, this, [this] { finish(false); });
    }
    m_playing = true;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(audio);
    buffer->open(QIODevice::ReadOnly);
    m_output->setVolume(float(volume));
    // Without a name the media backend cannot tell the stream's type and never loads it.
    m_player->setSourceDevice(buffer.get(), QUrl(QStringLiteral("speech.wav")));
    m_buffer = std::move(buffer); // after the player let go of the previous one
    m_player->setPlaybackRate(rate);
    m_player->play();
}

void QVMultimediaAudioPlayer::stop() {
    if (m_player)
        m_player->stop();
    finish(false);
}

void QVMultimediaAudioPlayer::finish(bool successfully) {
    if (!m_playing)
        return;
    m_playing = false;
    emit finished(successfully);
}
