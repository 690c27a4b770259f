// Renders the main window as a newcomer finds it, in the light and the dark
// appearance (switched live, as the desktop would), and saves each as a PNG:
//   ui_main_window_sample <output folder>
#include "core/QVStoreConfiguration.h"
#include "core/localization/DJLocalizationSystem.h"
#include "platform/AppPaths.h"
#include "platform/NetworkStatus.h"
#include "services/graphics/QVMStyleService.h"
#include "services/languages/QVLanguageService.h"
#include "startup/QVStoreMigration.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setStyle(QStringLiteral("Fusion"));
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    QTemporaryDir home;
    platform::AppPaths::setRoot(home.path());
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()) ||
        QVLanguageService::initializeDefaultLanguages()) {
        std::fprintf(stderr, "ui_main_window_sample: no store\n");
        return 1;
    }
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::Light);
    QVGeneralWindowController controller;
    controller.window()->resize(1100, 640);
    controller.showWindow();
    controller.generalViewController()->setTextAndTranslation(QStringLiteral("The door is green."),
                                                              QStringLiteral("Die Tür ist grün."));
    const auto save = [&](const char *name) {
        app.processEvents();
        const QString path = QDir(folder).filePath(QString::fromLatin1(name));
        controller.window()->grab().save(path);
        std::printf("%s\n", qPrintable(path));
    };
    QTimer::singleShot(200, [&] {
        save("main-window-light.png");
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::Dark);
        QTimer::singleShot(200, [&] {
            save("main-window-dark.png");
            // An empty source panel invites text.
            controller.generalViewController()->setTextAndTranslation(QString(), QString());
            QTimer::singleShot(100, [&] {
                save("main-window-dark-empty.png");
                app.quit();
            });
        });
    });
    return app.exec();
}
