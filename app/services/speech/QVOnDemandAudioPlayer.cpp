#include "services/speech/QVOnDemandAudioPlayer.h"

#include "services/modules/QVModuleLoader.h"

#include "core/DevLog.h"
#include "platform/OnDemandLibrary.h"

namespace {

using CreateFunction = QVAudioPlayer *(*)(QObject *parent);
constexpr const char *kCreateSymbol = "qvAudioModuleCreatePlayer";

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary audio("libqvaudio.so", "QV_AUDIO_MODULE",
                                           QStringLiteral(QV_AUDIO_MODULE_PATH));
    return audio;
}

} // namespace

QVOnDemandAudioPlayer::QVOnDemandAudioPlayer(QObject *parent) : QVAudioPlayer(parent) {}

QVOnDemandAudioPlayer::~QVOnDemandAudioPlayer() {
    if (m_player)
        m_player->disconnect(this);
}

bool QVOnDemandAudioPlayer::isModuleLoaded() {
    return library().isLoaded();
}

void QVOnDemandAudioPlayer::prepare() {
    if (isReady() || m_loading)
        return;
    // QtMultimedia's libraries are mapped on a worker thread; the player is made here, on this one.
    m_loading = true;
    QVModuleLoader::load(library(), kCreateSymbol, this, [this](void *entry, const QString &error) {
        m_loading = false;
        if (!isReady())
            createPlayer(entry, error);
        emit ready();
    });
}

QVAudioPlayer *QVOnDemandAudioPlayer::player() const {
    if (m_player || m_failed)
        return m_player.get();
    void *entry = library().symbol(kCreateSymbol);
    return createPlayer(entry, library().error());
}

QVAudioPlayer *QVOnDemandAudioPlayer::createPlayer(void *entry, const QString &error) const {
    const auto create = reinterpret_cast<CreateFunction>(entry);
    QVAudioPlayer *made = create ? create(nullptr) : nullptr;
    if (!made) {
        DevLog(QStringLiteral("[audio] no audio player: %@"),
               create ? QStringLiteral("the module makes no player") : error);
        m_failed = true;
        return nullptr;
    }
    m_player.reset(made);
    connect(made, &QVAudioPlayer::finished, const_cast<QVOnDemandAudioPlayer *>(this),
            &QVAudioPlayer::finished);
    return made;
}

bool QVOnDemandAudioPlayer::canPlay() const {
    QVAudioPlayer *loaded = player();
    return loaded && loaded->canPlay();
}

void QVOnDemandAudioPlayer::play(const QByteArray &audio, double volume, double rate) {
    // Callers ask canPlay() first; without a player there is nothing to end.
    if (QVAudioPlayer *loaded = player())
        loaded->play(audio, volume, rate);
}

void QVOnDemandAudioPlayer::stop() {
    if (m_player)
        m_player->stop();
}

bool QVOnDemandAudioPlayer::isPlaying() const {
    return m_player && m_player->isPlaying();
}
