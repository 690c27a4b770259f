#include "startup/QVApplicationMain.h"

#include "core/DevLog.h"
#include "core/DevLogWarning.h"
#include "core/DevLogger.h"
#include "core/mapping/MCJSONDateTransformer.h"
#include "core/mapping/ObjectStoreReporting.h"
#include "merovantia/MFDataManager.h"
#include "platform/BackendConfig.h"
#include "platform/Bundle.h"
#include "platform/CrashReporter.h"
#include "platform/ProblemReporter.h"
#include "platform/SystemLog.h"
#include "platform/TerminationSignals.h"
#include "services/offline/QVMSynaptraService.h"
#include "services/shortcuts/QVMServicesCommandLine.h"
#include "services/shortcuts/QVMServicesMenu.h"
#include "startup/AppDelegate.h"
#include "startup/QVLaunchPreload.h"
#include "startup/QVLaunchSource.h"
#include "startup/QVMInterfaceHookCatalogue.h"
#include "startup/QVSingleInstance.h"
#include "startup/QVSystemLaunchDependencies.h"
#include "startup/QVWebModule.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/style/QVMApplicationStyle.h"
#include "ui/window/QVMFirstFrame.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <QTimer>

#include <cstdio>

#include <cstdlib>
#include <cstring>
#include <exception>

namespace QVApplicationMain {

namespace {

[[noreturn]] void reportTerminate() {
    // Uncaught exceptions crash the program, as "NSApplicationCrashOnExceptions" asks, but reported first.
    try {
        if (const std::exception_ptr pending = std::current_exception())
            std::rethrow_exception(pending);
        DevLogger::logNonFatal(QStringLiteral("terminate"), {});
    } catch (const std::exception &exception) {
        DevLogger::logException(exception, QStringLiteral("terminate"));
    } catch (...) {
        DevLogger::logNonFatal(QStringLiteral("terminate"),
                               {{QStringLiteral("exception"), QStringLiteral("unknown")}});
    }
    std::abort();
}

} // namespace

void installCrashReporting() {
    platform::CrashReporter::shared();
    std::set_terminate(reportTerminate);
}

int run(int argc, char **argv) {
    // The log keeps every line; the terminal shows warnings and errors unless asked for all.
    bool engineCheck = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kVerboseOption) == 0)
            platform::SystemLog::setVerbose(true);
        engineCheck = engineCheck || std::strcmp(argv[i], QVWebModule::kEngineCheckOption) == 0;
    }
    platform::SystemLog::installQtMessageHandler();
    // Before any thread runs that might read the environment meanwhile. The web engine's check
    // starts the engine in the environment its program gave it, to tell that program how it fares.
    if (!engineCheck)
        QVWebModule::prepareEnvironment();
    // The backend's dates are parsed by named transformers that must exist before anything maps JSON.
    MCJSONDateTransformer::load();

    // No Qt::AA_ShareOpenGLContexts: the web module makes the shared GL context when it loads.
    QApplication app(argc, argv);
    // After the application, so that every return joins its thread before the application goes:
    // its work uses the platform integration and Qt's global thread pool, which go with it.
    QVLaunchPreload preload;
    QApplication::setApplicationName(QStringLiteral("quorvalde-translator"));
    QApplication::setOrganizationName(QStringLiteral("Quorvalde"));
    QApplication::setApplicationVersion(QStringLiteral(QV_SHORT_VERSION));
    // Only the web engine's start, for a running copy about to show its first web page.
    if (engineCheck)
        return QVWebModule::startEngineHere();
    // The desktop entry is named after the bus name: Wayland compositors match windows to it.
    QGuiApplication::setDesktopFileName(platform::Bundle::bundleIdentifier());
    platform::TerminationSignals::quitApplicationOnSignal();
    QVMApplicationStyle::install();

    platform::BackendConfig::checkEnvironment();
    // Problems the platform layers cannot hand to a caller become non-fatal reports.
    platform::setProblemHandler(
        [](const QString &name, const QVariantMap &info) { DevLogger::logNonFatal(name, info); });
    installObjectStoreReporter();
    MFDataManager::setFailureReporter(
        [](const platform::Error &error, const QString &message) { DevLogger::logError(error, message); });

    // A text or an action for the program: a running one gets it instead of being raised.
    const QVMServicesCommandLine::Action action =
        QVMServicesCommandLine::parse(QCoreApplication::arguments(), [] {
            return QVMServicesCommandLine::readStandardInput(stdin, QVMServicesMenu::kMaximumBytes);
        });
    if (!action.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(action.error));
        return kCommandLineErrorExitCode;
    }
    if (action.isSet()) {
        QString refusal;
        switch (QVMServicesCommandLine::forward(action, QDBusConnection::sessionBus(),
                                                QVSingleInstance::serviceName(), &refusal)) {
        case QVMServicesCommandLine::Forward::Delivered:
            return 0;
        case QVMServicesCommandLine::Forward::Refused:
            std::fprintf(stderr, "%s\n", qPrintable(refusal));
            return kCommandLineErrorExitCode;
        case QVMServicesCommandLine::Forward::NoInstance:
            break;
        }
    }

    std::unique_ptr<AppDelegate> delegate;
    // Before the store is opened: a second launch must not touch it.
    QVSingleInstance instance(QDBusConnection::sessionBus(), QVSingleInstance::serviceName());
    if (instance.claim([&delegate] {
            if (delegate)
                delegate->activateMainWindow();
        }) == QVSingleInstance::ActivatedOther) {
        DevLog(QStringLiteral("[instance] the running window was brought forward"));
        return 0;
    }
    preload.applicationReady();

    QVMInterfaceHookCatalogue::install(QVMInterfaceFactory::shared(), QVMInterfaceHooks::shared());
    delegate = std::make_unique<AppDelegate>(
        std::make_unique<QVSystemLaunchDependencies>(),
        QVLaunchSource::sourceFor(QCoreApplication::arguments(), QProcessEnvironment::systemEnvironment()));
    delegate->attachToApplication(&app);
    if (!delegate->applicationDidFinishLaunching())
        return AppDelegate::kStoreRefusedExitCode;
    // Handed over once the window is on the screen, with the work that waited for it.
    if (action.isSet())
        QVMFirstFrame::whenDrawn([&app, action] {
            QTimer::singleShot(0, &app, [action] { QVMServicesCommandLine::perform(action); });
        });
    const int code = app.exec();
    // No engine answer can reach the application from now on, and no waiting load starts.
    if (QVMSynaptraService *engine = QVMSynaptraService::sharedInstanceIfMade())
        engine->stopForExit();
    delegate.reset();
    return code;
}

int exit(int code) {
    QVMSynaptraService *engine = QVMSynaptraService::sharedInstanceIfMade();
    if (!engine || engine->waitUntilIdle(kEngineExitWaitMs))
        return code;
    // Every write was committed as it was made on the main thread (the engine's thread writes
    // nothing) and the settings are written at once; only the buffered output is left to flush.
    DevLogWarning(QString::fromLatin1(kFastExitLog));
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace QVApplicationMain
