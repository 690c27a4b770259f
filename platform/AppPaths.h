#pragma once

#include <QString>

namespace platform {

// Folders the application writes to. Defaults come from QStandardPaths; tests
// (and QV_HOME, which roots every folder below one directory) replace them.
// Asking for a folder creates its root closed to others (0700) when missing: the
// QV_HOME root, and the program's own folder (cache, config, state) below it or in the
// desktop's cache, config and data locations, with any missing folder above it. The first
// ask also closes those own folders to 0700 where they were left open to others, with a
// line in the log; the documents folder is the user's and never changed.
//   caches()    downloaded packages ("LanguagePacks/..."), QStandardPaths::CacheLocation
//   documents() translated documents saved for the user
//   config()    user defaults
//   state()     database, diagnostic reports, the keychain's file store
//   autostart() the desktop's autostart entries ($XDG_CONFIG_HOME/autostart)
//   runtime()   files that live until the session ends or the program starts again
//               ($XDG_RUNTIME_DIR/<program>), QStandardPaths::RuntimeLocation
class AppPaths {
public:
    static QString caches();
    static QString documents();
    static QString config();
    static QString state();
    static QString autostart();
    static QString runtime();

    // Roots every folder below one directory (created on demand); an empty root restores the defaults.
    static void setRoot(const QString &root);

    // Creates the folder when missing and returns it.
    static QString ensure(const QString &folder);
    // The same for a folder of files that hold the user's text or identity: made
    // 0700, and narrowed to 0700 when it exists wider (only a folder of ours, never
    // through a link).
    static QString ensurePrivate(const QString &folder);
};

} // namespace platform
