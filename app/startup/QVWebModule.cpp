#include "startup/QVWebModule.h"

#include "core/DevLog.h"
#include "platform/OnDemandLibrary.h"

#include <QCoreApplication>
#include <QOpenGLContext>

#include <cstdio>

#include <unistd.h>

// Qt's own global share context, which Qt::AA_ShareOpenGLContexts would make as the application
// starts (exported by Qt GUI, declared only in its private headers).
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

using CreateFunction = QObject *(*)(const char *className, QObject *parent);
using SetCheckFunction = void (*)(const char *program, const char *option);
using StartHereFunction = int (*)();

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary web("libqvweb.so", "QV_WEB_MODULE", QStringLiteral(QV_WEB_MODULE_PATH));
    return web;
}

QString g_error;
QString g_checkProgram;

// Web views share textures with a GL context of the application's. Made here, just before the
// web engine's library loads, rather than as the application starts: widgets need no GL, and a
// context at start maps the GL driver (tens of megabytes under Mesa) and starts its threads for
// every run, web page or not. Without GL (the offscreen platform, an X server without GLX) the
// context stays unmade but is set all the same, as Qt sets its own: the web engine reads the
// shared context's format as it starts, and draws without GL when it is not valid.
void makeSharedGLContext() {
    if (qt_gl_global_share_context() || !QCoreApplication::instance())
        return;
    auto *context = new QOpenGLContext;
    if (!context->create())
        DevLog(QStringLiteral("[web] no OpenGL context: web views draw without GL"));
    qt_gl_set_global_share_context(context);
    // Before the application's platform integration goes.
    qAddPostRoutine([] {
        QOpenGLContext *shared = qt_gl_global_share_context();
        qt_gl_set_global_share_context(nullptr);
        delete shared;
    });
}

// The module, loaded as the program loads it; the first load tells it how to check the engine.
bool load() {
    const bool wasLoaded = library().isLoaded();
    if (!wasLoaded)
        makeSharedGLContext();
    const auto setCheck = reinterpret_cast<SetCheckFunction>(library().symbol("qvWebModuleSetEngineCheck"));
    if (!setCheck) {
        g_error = library().error();
        DevLog(QStringLiteral("[web] %@"), g_error);
        return false;
    }
    if (!wasLoaded) {
        DevLog(QStringLiteral("[web] module loaded"));
        const QString program =
            g_checkProgram.isEmpty() ? QCoreApplication::applicationFilePath() : g_checkProgram;
        setCheck(program.toUtf8().constData(), QVWebModule::kEngineCheckOption);
    }
    return true;
}

} // namespace

namespace QVWebModule {

void prepareEnvironment() {
    if ((getuid() != 0 && geteuid() != 0) || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
        qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox")))
        return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    DevLog(QStringLiteral("[web] running as root: the web engine's sandbox is off, since the engine "
                          "refuses to start as root with it"));
}

QObject *create(const QString &className, QObject *parent) {
    if (!load())
        return nullptr;
    const auto make = reinterpret_cast<CreateFunction>(library().symbol("qvWebModuleCreate"));
    QObject *made = make ? make(className.toLatin1().constData(), parent) : nullptr;
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

void setEngineCheckProgram(const QString &program) {
    g_checkProgram = program;
}

int startEngineHere() {
    if (!load()) {
        std::fprintf(stderr, "%s\n", qPrintable(g_error));
        return 1;
    }
    const auto start = reinterpret_cast<StartHereFunction>(library().symbol("qvWebModuleStartEngineHere"));
    return start ? start() : 1;
}

} // namespace QVWebModule
