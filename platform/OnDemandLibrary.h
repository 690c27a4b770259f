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
// It is looked for at the environment variable's path when set, else beside the
// program, else at the path the build made it. Loaded once and kept; safe from any thread.
// Never with RTLD_DEEPBIND: a library that uses the program's classes must bind to
// the program's own (exported) copies.
class OnDemandLibrary {
public:
    OnDemandLibrary(const char *fileName, const char *environmentVariable, QString buildPath);

    // The named symbol, or nullptr with error() saying why.
    void *symbol(const char *name);
    QString error() const;
    bool isLoaded() const;

private:
    QStringList candidates() const;

    const char *m_fileName;
    const char *m_environmentVariable;
    QString m_buildPath;
    mutable std::mutex m_mutex;
    bool m_attempted = false;
    void *m_handle = nullptr;
    QString m_error;
};

} // namespace platform
