#include "core/models/QVModelRegistry.h"

#include "core/mapping/JSONMapping.h"
#include "core/models/QVAuthProfile.h"
#include "core/models/QVChatMessageRealm.h"
#include "core/models/QVCrossApp.h"
#include "core/models/QVExample.h"
#include "core/models/QVLanguageMode.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVLexicalMeaning.h"
#include "core/models/QVLexicalPart.h"
#include "core/models/QVPartOfSpeech.h"
#include "core/models/QVRemoteSettings.h"
#include "core/models/QVSpeechSynthesisVoice.h"
#include "core/models/QVStringRealm.h"
#include "core/models/QVTranslationRealm.h"
#include "core/models/QVUnknownWord.h"
#include "core/settings/QVTranslateSettings.h"
#include "core/models/QVLanguagePackageRealm.h"
#include "core/models/QVPackagesRealm.h"

#include <functional>

namespace QVModelRegistry {

// One class per line keeps additions from colliding (hence no reformatting).
// clang-format off
QList<platform::ObjectSchema> allSchemas() {
    return {
        QVSpeechSynthesisVoice::schema(),
        QVLanguageMode::schema(),
        QVLanguageRealm::schema(),
        QVAuthProfile::schema(),
        QVRemoteSettings::schema(),
        QVCrossApp::schema(),
        QVStringRealm::schema(),
        QVTranslateSettings::schema(),
        QVLexicalPart::schema(),
        QVPartOfSpeech::schema(),
        QVExample::schema(),
        QVLexicalMeaning::schema(),
        QVBaseTranslateModel::schema(),
        QVTranslationRealm::schema(),
        QVChatMessageRealm::schema(),
        QVUnknownWord::schema(),
        QVLanguagePackageRealm::schema(),
        QVPackagesRealm::schema(),
    };
}

platform::Error declareMappings() {
    const QList<std::function<platform::Error()>> declarations = {
        &JSONMapping::declare<QVSpeechSynthesisVoice>,
        &JSONMapping::declare<QVLanguageMode>,
        &JSONMapping::declare<QVLanguageRealm>,
        &JSONMapping::declare<QVAuthProfile>,
        &JSONMapping::declare<QVRemoteSettings>,
        &JSONMapping::declare<QVCrossApp>,
        &JSONMapping::declare<QVStringRealm>,
        &JSONMapping::declare<QVTranslateSettings>,
        &JSONMapping::declare<QVLexicalPart>,
        &JSONMapping::declare<QVPartOfSpeech>,
        &JSONMapping::declare<QVExample>,
        &JSONMapping::declare<QVLexicalMeaning>,
        &JSONMapping::declare<QVBaseTranslateModel>,
        &JSONMapping::declare<QVTranslationRealm>,
        &JSONMapping::declare<QVChatMessageRealm>,
        &JSONMapping::declare<QVUnknownWord>,
        &JSONMapping::declare<QVLanguagePackageRealm>,
        &JSONMapping::declare<QVPackagesRealm>,
    };
    // clang-format on
    for (const auto &declare : declarations) {
        if (const platform::Error error = declare())
            return error;
    }
    return {};
}

} // namespace QVModelRegistry
