#pragma once
// The real program started as a user starts it, for the install and desktop-session tests:
// its environment, the translation it stored, the files it has open, and its quit.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

namespace qvtest {

// An environment for the program: the runner's, without what would point it at the
// runner's home, bus, display or folders, with these set on top.
QProcessEnvironment programEnvironment(const QVariantMap &set);

// The translation of original in the store at storePath once the program has saved it;
// empty when none is there within timeoutMs (or the program ended first).
QString waitForTranslation(const QString &storePath, const QString &original, const QProcess &program,
                           int timeoutMs);

// Descriptors this process was handed by whoever started it (the test runner's log, say) are
// not passed on to the programs it starts: what the program has open is then its own.
void closeInheritedDescriptorsOnExec();

// Every file path the process has mapped or open (/proc/<pid>/maps and /proc/<pid>/fd).
QStringList openedPaths(qint64 pid);
// Of those, the ones below any of the folders.
QStringList pathsBelow(const QStringList &paths, const QStringList &folders);

// Sends the signal and waits for the program to end; true when it ended by itself with 0.
bool endsCleanlyOn(QProcess &program, int signalNumber, QString *why);

} // namespace qvtest
