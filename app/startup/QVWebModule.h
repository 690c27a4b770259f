#pragma once

#include <QString>

class QObject;

// The windows that show web pages live in a module of their own, loaded the first
// time one is asked for: the web engine's libraries then cost nothing at start.
//
//   QObject *page = QVWebModule::create(QStringLiteral("QVMWebPageController"), parent);
//   if (!page) DevLog(QStringLiteral("[web] %@"), QVWebModule::lastError());
//
// The module is looked for at $QV_WEB_MODULE, beside the program, then where the
// build made it.
namespace QVWebModule {

// A new object of the named class, or nullptr (with lastError) when the module
// cannot be loaded or does not make that class.
QObject *create(const QString &className, QObject *parent);
QString lastError();
bool isLoaded();

} // namespace QVWebModule
