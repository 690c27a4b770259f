#include "core/DevLogger.h"
#include "core/QVStoreConfiguration.h"
#include "core/languages/QVLanguageService.h"
#include "core/mapping/MCJSONDateTransformer.h"
#include "core/mapping/ObjectStoreReporting.h"
#include "merovantia/MFDataManager.h"
#include "platform/BackendConfig.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/ProblemReporter.h"
#include "ui/QVGeneralWindowController.h"
#include "ui/QVMInterfaceFactory.h"
#include "ui/QVMUtils.h"

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

    // Until start-up's launch sequence takes over: the database, the language
    // catalogue from the resource list, and the main window.
    if (const platform::Error error = QVStoreConfiguration::configureDefaultStore())
        DevLogger::logError(error, QStringLiteral("configureDefaultStore"));
    if (const platform::Error error = QVLanguageService::initializeDefaultLanguages())
        DevLogger::logError(error, QStringLiteral("initializeDefaultLanguages"));
    // Says once, at start, when no backend is configured and translation is offline.
    QVMUtils::isNetworkAvailable();

    std::unique_ptr<QVGeneralWindowController> controller;
    const auto loadMainWindow = [&controller]() -> bool {
        if (controller)
            controller->close();
        platform::Error error;
        controller.reset(QVMInterfaceFactory::shared().instantiateController<QVGeneralWindowController>(
            QStringLiteral("Main"), QStringLiteral("QVGeneralWindowController"), nullptr, &error));
        if (!controller)
            return false;
        controller->showWindow();
        return true;
    };
    if (!loadMainWindow())
        return 1;
    // A new interface language needs a new window.
    platform::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("kLanguageDidChangeNotification"), [&loadMainWindow](const QVariantMap &) {
            platform::dispatchAsyncMain([&loadMainWindow] { loadMainWindow(); });
        });
    return app.exec();
}
