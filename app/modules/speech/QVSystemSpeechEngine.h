#pragma once

#include "services/speech/QVSpeechEngines.h"

#include <QMutex>
#include <QSet>
#include <QThread>

class QTextToSpeech;

// The desktop's speech synthesizer (QtTextToSpeech's "speechd" engine). Its
// constructor talks to the speech daemon and takes about 1.5 s, so the engine
// is made and driven on a thread of its own: the interface never waits for
// it, and until it is ready no voice is reported. It lives in the speech module,
// loaded on the first Listen (services/speech/QVOnDemandSpeechEngine.h).
class QVSystemSpeechEngine : public QVSpeechEngine {
    Q_OBJECT
public:
    explicit QVSystemSpeechEngine(const QString &engineName = QStringLiteral("speechd"),
                                  QObject *parent = nullptr);
    ~QVSystemSpeechEngine() override;

    bool hasVoiceForLocale(const QString &localeIdentifier) const override;
    void speak(const QString &text, const QString &localeIdentifier, double wordsPerMinute) override;
    void stop() override;
    bool isSpeaking() const override { return m_speaking; }

    bool isReady() const override;

    // Words per minute onto the engine's rate (-1 .. 1). The speech daemon's
    // default voice module maps its rate -100 / 0 / +100 linearly onto 80 / 170 /
    // 449 words per minute on either side of 0; this inverts that mapping and clamps.
    static double engineRateForWordsPerMinute(double wordsPerMinute);
    static constexpr double kMinimumWordsPerMinute = 80;
    static constexpr double kNormalWordsPerMinute = 170;
    static constexpr double kMaximumWordsPerMinute = 449;

private:
    void onEngineReady(const QStringList &locales);
    void onStateChanged(int state);

    QThread m_thread;
    QObject *m_context = nullptr;      // lives on m_thread
    QTextToSpeech *m_speech = nullptr; // made, used and deleted on m_thread
    mutable QMutex m_mutex;
    QStringList m_locales; // locale names of the installed voices, once ready
    bool m_ready = false;
    bool m_speaking = false;
    bool m_sawSpeaking = false;
};
