#include "QVSystemSpeechEngine.h"

#include <QLocale>
#include <QTextToSpeech>

#include <algorithm>

QVSystemSpeechEngine::QVSystemSpeechEngine(const QString &engineName, QObject *parent)
    : QVSpeechEngine(parent), m_context(new QObject) {
    m_thread.setObjectName(QStringLiteral("QVSystemSpeechEngine"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(m_context, [this, engineName] {
        m_speech = new QTextToSpeech(engineName);
        QStringList locales;
        if (m_speech->state() != QTextToSpeech::Error) {
            for (const QLocale &locale : m_speech->availableLocales())
                locales << locale.name();
        }
        connect(m_speech, &QTextToSpeech::stateChanged, this,
                [this](QTextToSpeech::State state) { onStateChanged(int(state)); });
        QMetaObject::invokeMethod(
            this, [this, locales] { onEngineReady(locales); }, Qt::QueuedConnection);
    });
}

QVSystemSpeechEngine::~QVSystemSpeechEngine() {
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            delete m_speech;
            m_speech = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

bool QVSystemSpeechEngine::isReady() const {
    QMutexLocker lock(&m_mutex);
    return m_ready;
}

void QVSystemSpeechEngine::onEngineReady(const QStringList &locales) {
    {
        QMutexLocker lock(&m_mutex);
        m_locales = locales;
        m_ready = true;
    }
    emit ready();
}

bool QVSystemSpeechEngine::hasVoiceForLocale(const QString &localeIdentifier) const {
    const QLocale wanted(localeIdentifier);
    if (localeIdentifier.isEmpty() || wanted.language() == QLocale::C)
        return false;
    QMutexLocker lock(&m_mutex);
    return std::any_of(m_locales.cbegin(), m_locales.cend(), [&](const QString &name) {
        const QLocale voice(name);
        return voice.language() == wanted.language() &&
               (voice.territory() == wanted.territory() || voice.territory() == QLocale::AnyTerritory);
    });
}

double QVSystemSpeechEngine::engineRateForWordsPerMinute(double wordsPerMinute) {
    const double rate =
        wordsPerMinute < kNormalWordsPerMinute
            ? (wordsPerMinute - kNormalWordsPerMinute) / (kNormalWordsPerMinute - kMinimumWordsPerMinute)
            : (wordsPerMinute - kNormalWordsPerMinute) / (kMaximumWordsPerMinute - kNormalWordsPerMinute);
    return std::clamp(rate, -1.0, 1.0);
}

void QVSystemSpeechEngine::speak(const QString &text, const QString &localeIdentifier,
                                 double wordsPerMinute) {
    if (m_speaking)
        stop();
    m_speaking = true;
    m_sawSpeaking = false;
    const double rate = engineRateForWordsPerMinute(wordsPerMinute);
    QMetaObject::invokeMethod(m_context, [this, text, localeIdentifier, rate] {
        if (!m_speech || m_speech->state() == QTextToSpeech::Error) {
            QMetaObject::invokeMethod(
                this, [this] { onStateChanged(int(QTextToSpeech::Error)); }, Qt::QueuedConnection);
            return;
        }
        m_speech->setLocale(QLocale(localeIdentifier));
        m_speech->setRate(rate);
        m_speech->say(text);
    });
}

void QVSystemSpeechEngine::stop() {
    QMetaObject::invokeMethod(m_context, [this] {
        if (m_speech)
            m_speech->stop();
    });
    if (!m_speaking)
        return;
    // Ends here rather than on the daemon's word: without an audio server it
    // may never leave the speaking state.
    m_speaking = false;
    emit finished(false);
}

void QVSystemSpeechEngine::onStateChanged(int state) {
    if (!m_speaking)
        return;
    if (state == QTextToSpeech::Speaking) {
        m_sawSpeaking = true;
        return;
    }
    const bool error = state == QTextToSpeech::Error;
    // A state change from before this utterance started is not its end.
    if (!error && !(state == QTextToSpeech::Ready && m_sawSpeaking))
        return;
    m_speaking = false;
    emit finished(!error);
}
