#include "core/models/QVModelRegistry.h"

#include "core/mapping/JSONMapping.h"
#include "core/models/QVAuthProfile.h"
#include "core/models/QVLanguageMode.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVSpeechSynthesisVoice.h"

#include <functional>

namespace QVModelRegistry {

// One class per line keeps additions from colliding.
QList<platform::ObjectSchema> allSchemas() {
    return {
        QVSpeechSynthesisVoice::schema(),
        QVLanguageMode::schema(),
        QVLanguageRealm::schema(),
        QVAuthProfile::schema(),
    };
}

platform::Error declareMappings() {
    const QList<std::function<platform::Error()>> declarations = {
        &JSONMapping::declare<QVSpeechSynthesisVoice>,
        &JSONMapping::declare<QVLanguageMode>,
        &JSONMapping::declare<QVLanguageRealm>,
        &JSONMapping::declare<QVAuthProfile>,
    };
    for (const auto &declare : declarations) {
        if (const platform::Error error = declare())
            return error;
    }
    return {};
}

} // namespace QVModelRegistry
