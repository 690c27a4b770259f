#include "startup/QVWebModule.h"

#include "core/DevLog.h"
#include "platform/OnDemandLibrary.h"

#include <QCoreApplication>
#include <QOpenGLContext>

// Qt's own global share context, which Qt::AA_ShareOpenGLContexts would make as the application
// starts (exported by Qt GUI, declared only in its private headers).
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

using CreateFunction = QObject *(*)(const char *className, QObject *parent);

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary web("libqvweb.so", "QV_WEB_MODULE", QStringLiteral(QV_WEB_MODULE_PATH));
    return web;
}

QString g_error;

// Web views share textures with a GL context of the application's. Made here, just before the
// web engine's library loads, rather than as the application starts: widgets need no GL, and a
// context at start maps the GL driver (tens of megabytes under Mesa) and starts its threads for
// every run, web page or not. Without GL (the offscreen platform) none is made, as Qt would.
void makeSharedGLContext() {
    if (qt_gl_global_share_context() || !QCoreApplication::instance())
        return;
    auto *context = new QOpenGLContext;
    if (!context->create()) {
        delete context;
        DevLog(QStringLiteral("[web] no OpenGL context: web views draw without GL"));
        return;
    }
    qt_gl_set_global_share_context(context);
    // Before the application's platform integration goes.
    qAddPostRoutine([] {
        QOpenGLContext *shared = qt_gl_global_share_context();
        qt_gl_set_global_share_context(nullptr);
        delete shared;
    });
}

} // namespace

namespace QVWebModule {

QObject *create(const QString &className, QObject *parent) {
    const bool wasLoaded = library().isLoaded();
    if (!wasLoaded)
        makeSharedGLContext();
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
