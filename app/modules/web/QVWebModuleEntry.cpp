// The entry point of the web page module (see startup/QVWebModule.h): it makes the
// windows that hold web views, and nothing else of the program links them.
#include "panes/info/QVMInfoViewController.h"
#include "panes/web/QVMWebPageController.h"

#include <QByteArray>
#include <QObject>

extern "C" Q_DECL_EXPORT QObject *qvWebModuleCreate(const char *className, QObject *parent) {
    const QByteArray name(className);
    if (name == "QVMWebPageController")
        return new QVMWebPageController(parent);
    if (name == "QVMInfoViewController")
        return new QVMInfoViewController(parent);
    return nullptr;
}
