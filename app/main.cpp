#include "core/DevLogger.h"
#include "core/mapping/MCJSONDateTransformer.h"
#include "core/mapping/ObjectStoreReporting.h"
#include "merovantia/MFDataManager.h"
#include "platform/BackendConfig.h"
#include "platform/ProblemReporter.h"
#include "ui/QVGeneralWindowController.h"
#include "ui/QVMInterfaceFactory.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[]) {
    // The backend's dates are parsed by named transformers that must exist before anything maps JSON.
    MCJSONDateTransformer::load();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvalde-translator"));
    QApplication::setOrganizationName(QStringLiteral("Quorvalde"));
    QApplication::setApplicationVersion(QStringLiteral(QV_SHORT_VERSION));

    platform::BackendConfig::checkEnvironment();

    // Problems the platform layers cannot hand to a caller become non-fatal reports.
    platform::setProblemHandler(
        [](const QString &name, const QVariantMap &info) { DevLogger::logNonFatal(name, info); });
    installObjectStoreReporter();
    MFDataManager::setFailureReporter(
        [](const platform::Error &error, const QString &message) { DevLogger::logError(error, message); });

    platform::Error error;
    std::unique_ptr<QVGeneralWindowController> controller(
        QVMInterfaceFactory::shared().instantiateController<QVGeneralWindowController>(
            QStringLiteral("Main"), QStringLiteral("QVGeneralWindowController"), nullptr, &error));
    if (!controller)
        return 1;
    controller->showWindow();
    return app.exec();
}
