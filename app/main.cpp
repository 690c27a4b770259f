#include "core/DevLogger.h"
#include "merovantia/MFDataManager.h"
#include "platform/ProblemReporter.h"
#include "ui/QVGeneralWindowController.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvalde-translator"));
    QApplication::setOrganizationName(QStringLiteral("Quorvalde"));
    QApplication::setApplicationVersion(QStringLiteral(QV_SHORT_VERSION));

    // Problems the platform layers cannot hand to a caller become non-fatal reports.
    platform::setProblemHandler(
        [](const QString &name, const QVariantMap &info) { DevLogger::logNonFatal(name, info); });
    MFDataManager::setFailureReporter(
        [](const platform::Error &error, const QString &message) { DevLogger::logError(error, message); });

    QVGeneralWindowController controller;
    controller.showWindow();
    return app.exec();
}
