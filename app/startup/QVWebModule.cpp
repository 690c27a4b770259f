#include "startup/QVWebModule.h"

#include "core/DevLog.h"
#include "platform/OnDemandLibrary.h"

namespace {

using CreateFunction = QObject *(*)(const char *className, QObject *parent);

#ifndef QV_WEB_MODULE_PATH
#define QV_WEB_MODULE_PATH ""
#endif

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary web("libqvweb.so", "QV_WEB_MODULE", QStringLiteral(QV_WEB_MODULE_PATH));
    return web;
}

QString g_error;

} // namespace

namespace QVWebModule {

QObject *create(const QString &className, QObject *parent) {
    const bool wasLoaded = library().isLoaded();
    const auto make = reinterpret_cast<CreateFunction>(library().symbol("qvWebModuleCreate"));
    if (!make) {
        g_error = library().error();
        DevLog(QStringLiteral("[web] %@"), g_error);
        return nullptr;
    }
    if (!wasLoaded)
        DevLog(QStringLiteral("[web] module loaded"));
    QObject *made = make(className.toLatin1().constData(), parent);
    if (!made)
        g_error = QStringLiteral("The web page module makes no %1").arg(className);
    return made;
}

QString lastError() {
    return g_error;
}

bool isLoaded() {
    return library().isLoaded();
}

} // namespace QVWebModule
