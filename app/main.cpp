#include "ui/QVGeneralWindowController.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvalde-translator"));
    QApplication::setOrganizationName(QStringLiteral("Quorvalde"));
    QApplication::setApplicationVersion(QStringLiteral(QV_SHORT_VERSION));

    QVGeneralWindowController controller;
    controller.showWindow();
    return app.exec();
}
