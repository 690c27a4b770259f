#pragma once

// The program's start: crash reporting first, then the application object,
// the single-instance check over the session bus and the launch sequence.
namespace QVApplicationMain {

// Makes the crash reporter ready and reports an uncaught exception before the
// process ends. Call it first in main, before anything can fail.
void installCrashReporting();

// Runs the application; returns the process's exit code: 0 also when another
// running launch was asked to show its window instead.
// The exit code of a command line whose text or action cannot be run.
constexpr int kCommandLineErrorExitCode = 2;
// Every log line on the terminal too, not only warnings and errors (as QV_VERBOSE=1).
constexpr const char *kVerboseOption = "--verbose";

int run(int argc, char **argv);

// Ends the process with run()'s code. While the offline engine's thread is still inside the
// inference library (a model load cannot be left half way), the static destructors, which would
// tear that library down under it, are skipped: the store and settings are on disk by then.
//   return QVApplicationMain::exit(QVApplicationMain::run(argc, argv));
int exit(int code);

// How long a quit waits for a running engine operation before leaving without it.
constexpr int kEngineExitWaitMs = 300;
// The warning a quit that left without the engine writes, so that its road can be told.
constexpr const char *kFastExitLog = "[quit] the offline engine is busy: leaving without it";

} // namespace QVApplicationMain
