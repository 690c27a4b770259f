#pragma once

#include <QString>

#include <memory>

// The desktop's sound theme, through libcanberra with its Vorbis, Ogg, TDB and ltdl libraries,
// lives in the sound module, loaded with the first sound rather than at start.
//
//   QString error;
//   std::unique_ptr<QVThemeSound> sound = QVSoundModule::create("My Program", &error);
//   if (!sound || !sound->play(QVThemeSound::Event, "bell", &error)) log(error);
//
// The module is looked for at $QV_SOUND_MODULE, beside the program, then where the build made it.
class QVThemeSound {
public:
    // An event of the sound theme ("bell"), or a sound file's path.
    enum Kind { Event, File };

    virtual ~QVThemeSound() = default;
    // Playback runs in the sound server: this returns at once. False with *error saying why.
    virtual bool play(Kind kind, const QString &value, QString *error) = 0;
};

namespace QVSoundModule {

// A connection to the sound system in the application's name, or null with *error saying why
// (no sound system, or the module cannot be loaded).
std::unique_ptr<QVThemeSound> create(const char *applicationName, QString *error);
bool isLoaded();

} // namespace QVSoundModule
