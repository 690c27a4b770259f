// Shows the first onboarding page and the registration offer in the light and
// the dark appearance and saves a picture of each; then walks the onboarding
// by keyboard (Tab to the third dot, Space, Right) and saves one more:
//   panes_intro_sample <output folder>
#include "panes/intro/QVMIntroPanes.h"
#include "panes/intro/QVMIntroVC.h"
#include "panes/intro/QVMRegistrationOfferViewController.h"

#include "core/QVStoreConfiguration.h"
#include "core/localization/DJLocalizationSystem.h"
#include "platform/AppPaths.h"
#include "services/graphics/QVMStyleService.h"
#include "support/EventLoop.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/style/QVMAppearance.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

void press(int key) {
    QWidget *target = QApplication::focusWidget();
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier,
                    key == Qt::Key_Space ? QStringLiteral(" ") : QString());
    QApplication::sendEvent(target, &event);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier,
                      key == Qt::Key_Space ? QStringLiteral(" ") : QString());
    QApplication::sendEvent(target, &release);
    qvtest::spin(260); // the slide ends
}

QString focusName() {
    QWidget *focused = QApplication::focusWidget();
    return focused ? focused->accessibleName() : QStringLiteral("none");
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setStyle(QStringLiteral("Fusion"));
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    QDir().mkpath(folder.path());
    QTemporaryDir home;
    platform::AppPaths::setRoot(home.path());
    // The controllers read the settings record when their views load.
    QVStoreConfiguration::configureDefaultStore();
    QVMAppearance::install();
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
    installIntroPanes(QVMInterfaceFactory::shared());
    QTextStream out(stdout);

    for (const bool dark : {false, true}) {
        QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                             : QVMStyleService::ColorScheme::Light);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
        auto *intro = QVMInterfaceFactory::shared().instantiateController<QVMIntroVC>(
            QStringLiteral("QVMIntro"), QStringLiteral("QVMIntroVC"));
        intro->view()->show();
        qvtest::spin(100);
        intro->view()->grab().save(folder.filePath(QStringLiteral("intro-%1.png").arg(mode)));
        auto *offer = QVMInterfaceFactory::shared().instantiateController<QVMRegistrationOfferViewController>(
            QStringLiteral("QVMIntro"), QStringLiteral("QVMRegistrationOfferViewController"));
        offer->view()->show();
        qvtest::spin(100);
        offer->view()->grab().save(folder.filePath(QStringLiteral("offer-%1.png").arg(mode)));
        delete offer;

        if (!dark) {
            // Keyboard only: from Next, Tab walks the dots; Space picks one, Right turns on.
            intro->view()->activateWindow();
            qvtest::waitUntil([&] { return intro->view()->isActiveWindow(); }, 2000);
            out << "Tab order from " << focusName() << ":";
            for (int i = 0; i < 8; ++i) {
                press(Qt::Key_Tab);
                out << " [" << focusName() << "]";
            }
            out << "\n";
            press(Qt::Key_Tab);
            press(Qt::Key_Tab); // from Page 1 of 5 to Page 3 of 5
            press(Qt::Key_Space);
            press(Qt::Key_Right);
            out << "after Space on " << focusName() << " and Right: page " << intro->selectedIndex() + 1
                << "\n";
            intro->view()->grab().save(folder.filePath(QStringLiteral("intro-light-keyboard.png")));
        }
        delete intro;
    }
    return 0;
}
