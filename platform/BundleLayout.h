#pragma once

#include <QString>

namespace platform {

// Where the program's parts lie, found from the running executable's own path, so that an
// install works under any prefix (and a DESTDIR copy runs where it was copied):
//
//   P/bin/quorvalde-translator                         the program
//   P/libexec/quorvalde-translator/                    the package and model tools
//   P/lib/<multiarch>/quorvalde-translator/            its libraries and on-demand modules
//   P/share/quorvalde-translator/                      its resources
//
// A program that is not in such a layout has no prefix. Paths compiled in from the build
// (the build tree's modules, the source tree's resources) are for a program run from that
// build tree only: runsFromBuildTree() says whether this one is.
//
//   const QString modules = platform::BundleLayout::moduleFolder(platform::BundleLayout::executablePath());
//   if (modules.isEmpty() && platform::BundleLayout::runsFromBuildTree(executable)) ...
class BundleLayout {
public:
    // The running executable, links resolved; empty when the system does not say.
    static QString executablePath();

    // The install prefix holding executable (in its bin or libexec folder), else empty.
    static QString prefix(const QString &executable);
    // The prefix's folder of libraries and on-demand modules, or its resource folder; empty
    // without a prefix.
    static QString moduleFolder(const QString &executable);
    static QString resourceFolder(const QString &executable);

    // True when executable lies inside the build tree this code was compiled in.
    static bool runsFromBuildTree(const QString &executable);
    static QString buildTree();

    BundleLayout() = delete;
};

} // namespace platform
