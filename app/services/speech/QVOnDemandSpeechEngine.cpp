#include "services/speech/QVOnDemandSpeechEngine.h"

#include "services/modules/QVModuleLoader.h"

#include "core/DevLog.h"
#include "platform/OnDemandLibrary.h"

#include <QTimer>

namespace {

using CreateFunction = QVSpeechEngine *(*)(const char *engineName, QObject *parent);
constexpr const char *kCreateSymbol = "qvSpeechModuleCreate";

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
    if (m_engine || m_failed || m_loading)
        return;
    // The module's libraries are mapped on a worker thread; the engine is made here, on this one.
    m_loading = true;
    QVModuleLoader::load(library(), kCreateSymbol, this, [this](void *entry, const QString &error) {
        m_loading = false;
        if (!m_engine && !m_failed)
            createEngine(entry, error);
    });
}

void QVOnDemandSpeechEngine::createEngine(void *entry, const QString &error) {
    const auto create = reinterpret_cast<CreateFunction>(entry);
    QVSpeechEngine *made = create ? create(m_engineName.toUtf8().constData(), nullptr) : nullptr;
    if (!made) {
        DevLog(QStringLiteral("[speech] no system voice: %@"),
               create ? QStringLiteral("the module makes no engine") : error);
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
    // Asked to speak before preparing: the module is loaded here and now.
    if (!m_engine && !m_failed) {
        void *entry = library().symbol(kCreateSymbol);
        createEngine(entry, library().error());
    }
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
