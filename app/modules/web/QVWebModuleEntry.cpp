// The entry points of the web page module (see startup/QVWebModule.h): it makes the
// windows that hold web views, and nothing else of the program links them.
#include "panes/info/QVMInfoViewController.h"
#include "panes/web/QVMWebPageController.h"
#include "ui/controls/QVMWebEngineCheck.h"

#include <QByteArray>
#include <QObject>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QString>

extern "C" Q_DECL_EXPORT QObject *qvWebModuleCreate(const char *className, QObject *parent) {
    const QByteArray name(className);
    if (name == "QVMWebPageController")
        return new QVMWebPageController(parent);
    if (name == "QVMInfoViewController")
        return new QVMInfoViewController(parent);
    return nullptr;
}

// How the module finds out, before its first web view, whether the engine starts: the program
// run with the option given, which calls qvWebModuleStartEngineHere.
extern "C" Q_DECL_EXPORT void qvWebModuleSetEngineCheck(const char *program, const char *option) {
    QVMWebEngineCheck::shared().setCommand(QString::fromUtf8(program), {QString::fromUtf8(option)});
    // Web views draw through Qt Quick, whose OpenGL road needs a working context: without one (an
    // X server without GLX) they draw in software instead of failing at their first frame.
    const QOpenGLContext *shared = QOpenGLContext::globalShareContext();
    if (!shared || !shared->isValid())
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

extern "C" Q_DECL_EXPORT int qvWebModuleStartEngineHere() {
    return QVMWebEngineCheck::startEngineHere();
}
