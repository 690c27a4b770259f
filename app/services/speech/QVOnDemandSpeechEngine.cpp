#include "services/speech/QVOnDemandSpeechEngine.h"

#include "core/DevLog.h"
#include "platform/OnDemandLibrary.h"

#include <QTimer>

namespace {

using CreateFunction = QVSpeechEngine *(*)(const char *engineName, QObject *parent);

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary speech("libqvspeech.so", "QV_SPEECH_MODULE",
                                            QStringLiteral(QV_SPEECH_MODULE_PATH));
    return speech;
}

} // namespace

QVOnDemandSpeechEngine::QVOnDemandSpeechEngine(const QString &engineName, QObject *parent)
    : QVSpeechEngine(parent), m_engineName(engineName) {}

QVOnDemandSpeechEngine::~QVOnDemandSpeechEngine() {
    if (m_engine)
        m_engine->disconnect(this);
}

bool QVOnDemandSpeechEngine::isModuleLoaded() {
    return library().isLoaded();
}

void QVOnDemandSpeechEngine::prepare() {
    if (m_engine || m_failed)
        return;
    const auto create = reinterpret_cast<CreateFunction>(library().symbol("qvSpeechModuleCreate"));
    QVSpeechEngine *made = create ? create(m_engineName.toUtf8().constData(), nullptr) : nullptr;
    if (!made) {
        DevLog(QStringLiteral("[speech] no system voice: %@"),
               create ? QStringLiteral("the module makes no engine") : library().error());
        m_failed = true;
        // Ready, with no voices: callers take the other way.
        QTimer::singleShot(0, this, [this] { emit ready(); });
        return;
    }
    m_engine.reset(made);
    connect(made, &QVSpeechEngine::finished, this, &QVSpeechEngine::finished);
    connect(made, &QVSpeechEngine::ready, this, &QVSpeechEngine::ready);
    if (made->isReady())
        QTimer::singleShot(0, this, [this] { emit ready(); });
}

bool QVOnDemandSpeechEngine::isReady() const {
    return m_failed || (m_engine && m_engine->isReady());
}

bool QVOnDemandSpeechEngine::hasVoiceForLocale(const QString &localeIdentifier) const {
    return m_engine && m_engine->hasVoiceForLocale(localeIdentifier);
}

void QVOnDemandSpeechEngine::speak(const QString &text, const QString &localeIdentifier,
                                   double wordsPerMinute) {
    prepare();
    if (m_engine) {
        m_engine->speak(text, localeIdentifier, wordsPerMinute);
        return;
    }
    m_failedSpeaking = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_failedSpeaking)
            return;
        m_failedSpeaking = false;
        emit finished(false);
    });
}

void QVOnDemandSpeechEngine::stop() {
    if (m_engine) {
        m_engine->stop();
        return;
    }
    if (!m_failedSpeaking)
        return;
    m_failedSpeaking = false;
    emit finished(false);
}

bool QVOnDemandSpeechEngine::isSpeaking() const {
    return m_engine ? m_engine->isSpeaking() : m_failedSpeaking;
}
