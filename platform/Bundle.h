#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The application's own bundle: its identifier, version and resource folder.
// Resources are found, in order, under $QV_RESOURCES_DIR, in the install prefix holding the
// executable (P/share/quorvalde-translator, BundleLayout.h), or, for a program run from its
// build tree only, in the source tree it was built from.
class Bundle {
public:
    static QString bundleIdentifier();      // "CFBundleIdentifier"
    static QString shortVersionString();    // "CFBundleShortVersionString"
    static QString bundleVersion();         // "CFBundleVersion"
    static QString resourcePath();

    // Path of resource name.type inside the resource folder (or its sub-folder), or empty when missing.
    static QString pathForResource(const QString &name, const QString &type, const QString &subdirectory = {});

    // Interface languages the bundle has tables for ("en", "de", "pt-PT", ...), preferred first:
    // the system's UI languages that exist, then "en".
    static QStringList preferredLocalizations();

    // Tests point the bundle at their own folder; empty restores the default.
    static void setResourcePath(const QString &path);
    static void setBundleIdentifier(const QString &identifier);

    static constexpr const char *kDefaultBundleIdentifier = "com.tessaphyre.translator.mac";
};

} // namespace platform
