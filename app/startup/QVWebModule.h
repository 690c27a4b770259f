#pragma once

#include <QString>

class QObject;

// The windows that show web pages live in a module of their own, loaded the first
// time one is asked for: the web engine's libraries then cost nothing at start.
//
//   QVWebModule::prepareEnvironment();   // first thing in main, before any thread
//   QObject *page = QVWebModule::create(QStringLiteral("QVMWebPageController"), parent);
//   if (!page) DevLog(QStringLiteral("[web] %@"), QVWebModule::lastError());
//
// The module is looked for at $QV_WEB_MODULE, beside the program, then where the
// build made it. Before its first web view the module has the engine started once in a
// process of its own (this program with kEngineCheckOption, whose main calls
// startEngineHere): an engine that cannot start ends the process it starts in, and a
// window then says in place of its pages that they cannot be shown.
namespace QVWebModule {

// As root the web engine refuses to start with its sandbox: switches it off, with a log line
// saying why, unless the environment already decided. The engine reads the switch from the
// environment once, as it starts; call this before any thread runs.
void prepareEnvironment();

// A new object of the named class, or nullptr (with lastError) when the module
// cannot be loaded or does not make that class.
QObject *create(const QString &className, QObject *parent);
QString lastError();
bool isLoaded();

// The option that makes the program only start the web engine, then exit: 0 when it started.
constexpr const char *kEngineCheckOption = "--check-web-engine";
// The program run with the option; by default this one (tests name the built program).
void setEngineCheckProgram(const QString &program);
// The option's side, in a program that has made its application object.
int startEngineHere();

} // namespace QVWebModule
