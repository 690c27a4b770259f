#include "services/speech/QVMSpeechSynthesizerService.h"

#include "services/network/QVRequestManager.h"
#include "services/speech/QVOnDemandAudioPlayer.h"
#include "services/speech/QVOnDemandSpeechEngine.h"

#include "core/DevLogger.h"
#include "core/mapping/JSONMapping.h"
#include "core/settings/QVSettingsService.h"

#include "platform/Format.h"
#include "platform/SystemLog.h"

using platform::Key;

QVMSpeechSynthesizerService &QVMSpeechSynthesizerService::sharedInstance() {
    static QVMSpeechSynthesizerService *service = new QVMSpeechSynthesizerService(
        std::make_unique<QVOnDemandSpeechEngine>(), std::make_unique<QVOnDemandAudioPlayer>());
    return *service;
}

QVMSpeechSynthesizerService::QVMSpeechSynthesizerService(std::unique_ptr<QVSpeechEngine> engine,
                                                         std::unique_ptr<QVAudioPlayer> player,
                                                         QObject *parent)
    : QObject(parent), m_engine(std::move(engine)), m_player(std::move(player)) {
    connect(m_engine.get(), &QVSpeechEngine::finished, this, [this](bool completed) { complete(completed); });
    connect(m_engine.get(), &QVSpeechEngine::ready, this, [this] { speakWaiting(); });
    connect(m_player.get(), &QVAudioPlayer::ready, this, [this] { speakWaiting(); });
    connect(m_player.get(), &QVAudioPlayer::finished, this,
            [this](bool successfully) { complete(successfully); });
}

QVMSpeechSynthesizerService::~QVMSpeechSynthesizerService() {
    m_engine->disconnect(this);
    m_player->disconnect(this);
    if (m_request)
        QVRequestManager::instance().cancel(m_request);
}

QMap<QString, QString> QVMSpeechSynthesizerService::languageListDictionary() {
    const QString prefix = QStringLiteral("com.apple.speech.synthesis.voice.");
    const QList<QPair<const char *, const char *>> table = {
        {"ar_SA", "maged"},   {"cs_CZ", "zuzana"},      {"da_DK", "sara"},     {"de_DE", "anna"},
        {"el_GR", "melina"},  {"en-scotland", "fiona"}, {"en_AU", "karen"},    {"en_GB", "daniel"},
        {"en_IE", "moira"},   {"en_IN", "veena"},       {"en_US", "Victoria"}, {"en_ZA", "tessa"},
        {"es_AR", "diego"},   {"es_ES", "monica"},      {"es_MX", "paulina"},  {"fi_FI", "satu"},
        {"fr_CA", "amelie"},  {"fr_FR", "thomas"},      {"he_IL", "carmit"},   {"hi_IN", "lekha"},
        {"hu_HU", "mariska"}, {"id_ID", "damayanti"},   {"it_IT", "luca"},     {"ja_JP", "kyoko"},
        {"ko_KR", "yuna"},    {"nb_NO", "nora"},        {"nl_BE", "ellen"},    {"nl_NL", "xander"},
        {"pl_PL", "zosia"},   {"pt_BR", "luciana"},     {"pt_PT", "joana"},    {"ro_RO", "ioana"},
        {"ru_RU", "yuri"},    {"sk_SK", "laura"},       {"sv_SE", "alva"},     {"th_TH", "kanya"},
        {"tr_TR", "yelda"},   {"zh_CN", "ting-ting"},   {"zh_HK", "sin-ji"},   {"zh_TW", "mei-jia"},
    };
    QMap<QString, QString> dictionary;
    for (const auto &[locale, voice] : table)
        dictionary.insert(QString::fromLatin1(locale), prefix + QString::fromLatin1(voice));
    return dictionary;
}

QStringList QVMSpeechSynthesizerService::languageList() {
    return languageListDictionary().keys();
}

QString QVMSpeechSynthesizerService::voiceIDForLanguageID(const QString &localeIdentifier) {
    return languageListDictionary().value(localeIdentifier);
}

bool QVMSpeechSynthesizerService::isSupportedLocaleForPlay(const QString &localeIdentifier) const {
    // The system engine starts with the first speech: until then a table language may have a
    // voice, and the speech itself finds out (falling back to the backend's audio).
    return !voiceIDForLanguageID(localeIdentifier).isEmpty() &&
           (!m_engine->isReady() || m_engine->hasVoiceForLocale(localeIdentifier));
}

double QVMSpeechSynthesizerService::speechSpeed() {
    return QVSettingsService::defaultSettings().speedOfSpeech();
}

double QVMSpeechSynthesizerService::rateForPlaying() {
    return speechSpeed() * 270.0 + 90.0;
}

double QVMSpeechSynthesizerService::rateForPlayingWithApi() {
    return speechSpeed() + 0.5;
}

double QVMSpeechSynthesizerService::rateForAudioPlayer() {
    return 2.0 * speechSpeed() + 0.5;
}

void QVMSpeechSynthesizerService::addInformationToRealmLanguage() {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull())
        return;
    const QMap<QString, QString> table = languageListDictionary();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const QVLanguageRealm language(store.objects(QVLanguageRealm::storeClassName())
                                           .filter(Key(QVLanguageRealm::primaryKey()) == it.key())
                                           .first());
        if (!language.isValid()) {
            platform::SystemLog::write(
                platform::format(QString::fromLatin1(kVoiceMissingLogFormat), it.key()));
            continue;
        }
        const platform::Error error = safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
            language.setVoiceIDMac(tx, it.value());
            language.setVoiceIDMacBool(tx, true);
        });
        if (error)
            DevLogger::logError(error, QStringLiteral("addInformationToRealmLanguage"));
    }
}

bool QVMSpeechSynthesizerService::speaking() const {
    return m_waiting || m_engine->isSpeaking() || m_player->isPlaying() || m_request != nullptr;
}

void QVMSpeechSynthesizerService::complete(bool finished) {
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(finished);
}

void QVMSpeechSynthesizerService::stopSpeaking() {
    if (m_waiting) {
        m_waiting.reset();
        complete(false);
    }
    if (m_request) {
        const MFURLSessionTaskPtr request = std::move(m_request);
        m_request = nullptr;
        QVRequestManager::instance().cancel(request);
        complete(false);
    }
    if (m_engine->isSpeaking())
        m_engine->stop();
    if (m_player->isPlaying())
        m_player->stop();
}

void QVMSpeechSynthesizerService::speechText(const QString &text, const QVLanguageRealm &language,
                                             Completion completion) {
    if (speaking()) {
        stopSpeaking();
        if (completion)
            completion(false);
        return;
    }
    // A completion left from before is told it will not be called otherwise.
    complete(false);
    m_completion = std::move(completion);
    const QString locale = language.isNull() ? QString() : language.localeIdentifier();
    m_waiting = WaitingSpeech{text, locale};
    speakWaiting();
}

// The audio player and the system engine load on first use, off this thread: a speech waits
// for each in turn (and a second click meanwhile stops it, as any speech).
void QVMSpeechSynthesizerService::speakWaiting() {
    if (!m_waiting)
        return;
    if (!m_player->isReady()) {
        m_player->prepare();
        return;
    }
    // Nothing can be heard without an audio output: said at once rather than never.
    if (!m_player->canPlay()) {
        m_waiting.reset();
        complete(false);
        return;
    }
    if (!m_engine->isReady()) {
        // Its voices decide the way once it has started.
        m_engine->prepare();
        return;
    }
    const WaitingSpeech waiting = *m_waiting;
    m_waiting.reset();
    speakWithVoices(waiting.text, waiting.locale);
}

void QVMSpeechSynthesizerService::speakWithVoices(const QString &text, const QString &locale) {
    if (isSupportedLocaleForPlay(locale))
        m_engine->speak(text, locale, rateForPlaying());
    else
        onlinePlayTextToSpeech(text, locale);
}

void QVMSpeechSynthesizerService::onlinePlayTextToSpeech(const QString &text,
                                                         const QString &localeIdentifier) {
    const QVRemoteSettings remote = QVSettingsService::defaultSettings().remoteSettings();
    const qint64 limit = remote.isValid() ? remote.onlineSpeechCharacterLimit() : 0;
    // Compared as unsigned numbers, so a negative limit sets none.
    if (text.isEmpty() || localeIdentifier.isEmpty() || quint64(text.size()) > quint64(limit)) {
        complete(false);
        return;
    }
    QPointer<QVMSpeechSynthesizerService> self(this);
    const QString rate = QString::number(rateForPlayingWithApi(), 'g', 6);
    auto holder = std::make_shared<MFURLSessionTaskPtr>();
    m_request = QVRequestManager::instance().speechObjectForText(
        text, localeIdentifier, QString(QLatin1String("")), rate, QString(QLatin1String("")),
        [self, holder](const QByteArray &audio) {
            if (!self || !*holder || self->m_request != *holder)
                return; // stopped meanwhile
            self->m_request = nullptr;
            self->playSelectedAlarm(audio);
        },
        [self, holder](const platform::Error &) {
            if (!self || !*holder || self->m_request != *holder)
                return; // stopped meanwhile, or refused before sending
            self->m_request = nullptr;
            self->complete(false);
        });
    *holder = m_request;
    if (!m_request)
        complete(false); // refused before sending
}

void QVMSpeechSynthesizerService::playSelectedAlarm(const QByteArray &audio) {
    if (audio.isEmpty() || !m_player->canPlay()) {
        complete(false);
        return;
    }
    m_player->play(audio, kVolume, rateForAudioPlayer());
}
