#pragma once

#include "services/speech/QVSpeechEngines.h"

#include "core/models/QVLanguageRealm.h"

#include <merovantia/MFURLSessionTask.h>

#include <QMap>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

// Reads a text aloud in a language: with the system synthesizer when the
// language is in the voice table and an installed voice speaks it, otherwise
// with the backend's speech audio (texts up to the remote setting
// onlineSpeechCharacterLimit). One shared instance serves every window.
//
//   QVMSpeechSynthesizerService::sharedInstance().speechText(text, german, [](bool finished) { ... });
//   QVMSpeechSynthesizerService::sharedInstance().stopSpeaking();
//
// Speaking while anything speaks (system voice, backend audio, or audio still
// on its way) stops it: the running speech's completion gets false and so does
// the new call's. Every completion runs once, on the main thread: true when
// the text was spoken to its end, false when it was stopped, too long, refused
// by the backend, undecodable, or there is no audio output. The system synthesizer
// and the audio player load on the first speech (their modules cost the start
// nothing, and load on a worker thread); a speech asked meanwhile waits for them,
// and counts as speaking, so a second click stops it.
class QVMSpeechSynthesizerService : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(bool finished)>;

    static constexpr double kVolume = 1.0;
    static constexpr const char *kVoiceMissingLogFormat = "Error MAC addInformationToRealmLanguage: %@";

    // Made on first use; its system synthesizer starts on a thread of its own.
    static QVMSpeechSynthesizerService &sharedInstance();
    QVMSpeechSynthesizerService(std::unique_ptr<QVSpeechEngine> engine, std::unique_ptr<QVAudioPlayer> player,
                                QObject *parent = nullptr);
    ~QVMSpeechSynthesizerService() override;

    // The voice table: locale identifier -> system voice identifier (40 entries).
    static QMap<QString, QString> languageListDictionary();
    static QStringList languageList();
    static QString voiceIDForLanguageID(const QString &localeIdentifier);

    // In the table, and an installed voice speaks it (or the system engine, which starts with
    // the first speech, has not started yet).
    bool isSupportedLocaleForPlay(const QString &localeIdentifier) const;

    // Words per minute of the system voice: speed x 270 + 90.
    static double rateForPlaying();
    // Rate asked of the backend: speed + 0.5.
    static double rateForPlayingWithApi();
    // Playback rate of backend audio: 2 x speed + 0.5.
    static double rateForAudioPlayer();
    // speedOfSpeech of the settings record.
    static double speechSpeed();

    // Stores each table language's voice on its catalogue record
    // (voiceIDMac, voiceIDMacBool); languages missing from the catalogue are logged.
    static void addInformationToRealmLanguage();

    void speechText(const QString &text, const QVLanguageRealm &language, Completion completion);
    void onlinePlayTextToSpeech(const QString &text, const QString &localeIdentifier);
    void playSelectedAlarm(const QByteArray &audio);
    // Stops the system voice, backend audio and audio on its way.
    void stopSpeaking();
    bool speaking() const;

    QVSpeechEngine &engine() { return *m_engine; }
    QVAudioPlayer &player() { return *m_player; }

private:
    struct WaitingSpeech {
        QString text;
        QString locale;
    };

    void complete(bool finished);
    void speakWaiting();
    void speakWithVoices(const QString &text, const QString &locale);

    std::unique_ptr<QVSpeechEngine> m_engine;
    std::unique_ptr<QVAudioPlayer> m_player;
    Completion m_completion;
    MFURLSessionTaskPtr m_request;          // backend audio on its way
    std::optional<WaitingSpeech> m_waiting; // asked while the player or the system engine loads
};
