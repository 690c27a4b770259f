#pragma once

#include "services/speech/QVSpeechEngines.h"

#include <memory>

// The system synthesizer, loaded from the speech module the first time it is
// wanted: QtTextToSpeech and the speech daemon cost the start nothing.
//
//   QVOnDemandSpeechEngine engine;          // nothing loaded yet
//   engine.prepare();                       // loads the module on a worker thread, then starts
//                                           // the engine; ready() follows
//   if (engine.hasVoiceForLocale("de_DE")) engine.speak(text, "de_DE", 170);
//
// A module that cannot be loaded gives an engine with no voices that is ready
// and ends every speak() with finished(false). speak() before prepare() loads the
// module at once. The module is looked for at $QV_SPEECH_MODULE, beside the
// program, then where the build made it.
class QVOnDemandSpeechEngine : public QVSpeechEngine {
    Q_OBJECT
public:
    explicit QVOnDemandSpeechEngine(const QString &engineName = QStringLiteral("speechd"),
                                    QObject *parent = nullptr);
    ~QVOnDemandSpeechEngine() override;

    bool hasVoiceForLocale(const QString &localeIdentifier) const override;
    void speak(const QString &text, const QString &localeIdentifier, double wordsPerMinute) override;
    void stop() override;
    bool isSpeaking() const override;
    bool isReady() const override;
    void prepare() override;

    // Whether the module was loaded in this process.
    static bool isModuleLoaded();

private:
    void createEngine(void *entry, const QString &error);

    QString m_engineName;
    std::unique_ptr<QVSpeechEngine> m_engine;
    bool m_loading = false;
    bool m_failed = false;
    bool m_failedSpeaking = false;
};
