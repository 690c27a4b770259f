#pragma once

#include <QString>
#include <QStringList>

#include <mutex>

namespace platform {

// A library of the program's own that is loaded the first time it is needed
// rather than at start, so its dependencies cost the start nothing.
//
//   static platform::OnDemandLibrary recognizer("libqvrecognizer.so", "QV_RECOGNIZER_MODULE", buildPath);
//   auto read = reinterpret_cast<ReadFunction>(recognizer.symbol("qvRecognizeLines"));
//   if (!read) log(recognizer.error());
//
// It is looked for at the environment variable's path when set (an absolute path; anything
// else is refused), else in the install prefix's module folder (BundleLayout.h), else beside
// a program that is not installed, else, for a program run from its build tree only, at the
// path the build made it. A module carries the build it belongs to (kBuildSymbol, which the
// build adds to every module): one from another build is refused, its build and the
// program's named in error(). Loaded once and kept; safe from any thread.
// Never with RTLD_DEEPBIND: a library that uses the program's classes must bind to
// the program's own (exported) copies.
class OnDemandLibrary {
public:
    OnDemandLibrary(const char *fileName, const char *environmentVariable, QString buildPath);

    // The named symbol, or nullptr with error() saying why.
    void *symbol(const char *name);
    QString error() const;
    bool isLoaded() const;

    static constexpr const char *kBuildSymbol = "qvModuleBuild";
    // The build this program is, as its modules carry it: "1.0.0 (build 3f2a9c1e5b7d)".
    static QString programBuild();

    struct Search {
        QStringList paths; // in order
        QString refusal;   // why there are none, when the override is refused
    };
    // Where a program at executable looks for fileName, given the environment's override.
    static Search searchPaths(const QString &fileName, const QString &overridden, const QString &executable,
                              const QString &buildPath);

private:
    QString load(const QString &path);

    const char *m_fileName;
    const char *m_environmentVariable;
    QString m_buildPath;
    mutable std::mutex m_mutex;
    bool m_attempted = false;
    void *m_handle = nullptr;
    QString m_error;
};

} // namespace platform
