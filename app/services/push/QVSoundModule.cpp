#include "services/push/QVSoundModule.h"

#include "platform/OnDemandLibrary.h"

namespace {

using CreateFunction = QVThemeSound *(*)(const char *applicationName, QString *error);

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary sound("libqvsound.so", "QV_SOUND_MODULE",
                                           QStringLiteral(QV_SOUND_MODULE_PATH));
    return sound;
}

} // namespace

namespace QVSoundModule {

std::unique_ptr<QVThemeSound> create(const char *applicationName, QString *error) {
    const auto createSound = reinterpret_cast<CreateFunction>(library().symbol("qvSoundModuleCreate"));
    if (!createSound) {
        *error = library().error();
        return nullptr;
    }
    return std::unique_ptr<QVThemeSound>(createSound(applicationName, error));
}

bool isLoaded() {
    return library().isLoaded();
}

} // namespace QVSoundModule
