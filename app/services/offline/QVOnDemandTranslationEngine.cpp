#include "services/offline/QVOnDemandTranslationEngine.h"

#include "platform/OnDemandLibrary.h"

namespace {

using CreateFunction = QVTranslationEngine *(*)();

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary engine("libqvengine.so", "QV_ENGINE_MODULE",
                                            QStringLiteral(QV_ENGINE_MODULE_PATH));
    return engine;
}

} // namespace

QVOnDemandTranslationEngine::QVOnDemandTranslationEngine() = default;
QVOnDemandTranslationEngine::~QVOnDemandTranslationEngine() = default;

bool QVOnDemandTranslationEngine::isModuleLoaded() {
    return library().isLoaded();
}

QVTranslationEngine *QVOnDemandTranslationEngine::engine(SYNError &error) {
    if (m_engine)
        return m_engine.get();
    const auto create = reinterpret_cast<CreateFunction>(library().symbol("qvEngineModuleCreate"));
    m_engine.reset(create ? create() : nullptr);
    if (!m_engine) {
        error.domain = "SYNTranslatePhraseService";
        error.code = SYNTranslatePhraseService::kErrorCode;
        error.description = "The offline translation engine could not be loaded: " +
                            (create ? QStringLiteral("the module makes no engine") : library().error())
                                .toStdString();
    }
    return m_engine.get();
}

bool QVOnDemandTranslationEngine::load(Slot slot, const std::string &modelDirPath,
                                       const std::string &fromModelPath, const std::string &toModelPath,
                                       bool warmUp, SYNError &error) {
    QVTranslationEngine *loaded = engine(error);
    return loaded && loaded->load(slot, modelDirPath, fromModelPath, toModelPath, warmUp, error);
}

std::string QVOnDemandTranslationEngine::translate(Slot slot, const std::string &text, SYNError &error,
                                                   std::string &unknownWords) {
    QVTranslationEngine *loaded = engine(error);
    return loaded ? loaded->translate(slot, text, error, unknownWords) : std::string();
}

bool QVOnDemandTranslationEngine::release(Slot slot, SYNError &error) {
    // Nothing was loaded into a slot the module never saw.
    return m_engine ? m_engine->release(slot, error) : true;
}
