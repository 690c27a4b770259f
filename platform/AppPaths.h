#pragma once

#include <QString>

namespace platform {

// Folders the application writes to. Defaults come from QStandardPaths; tests
// (and QV_HOME, which roots every folder below one directory) replace them.
//   caches()    downloaded packages ("LanguagePacks/..."), QStandardPaths::CacheLocation
//   documents() translated documents saved for the user
//   config()    user defaults
//   state()     database, diagnostic reports, the keychain's file store
class AppPaths {
public:
    static QString caches();
    static QString documents();
    static QString config();
    static QString state();

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
