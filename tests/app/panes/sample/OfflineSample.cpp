// Shows the offline tab over a stored catalogue (German, French, English, a
// name made of markup and 3,000 more languages) in the light or the dark
// appearance, saves a picture, walks it by keyboard (Tab to the list, Down,
// Space on a row: the download fails against a closed port) and saves one more:
//   panes_offline_sample <output folder> light|dark [seconds to stay open]
#include "panes/offline/QVMCustomGridOutlineView.h"
#include "panes/offline/QVMOfflineViewController.h"

#include "core/QVStoreConfiguration.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/models/QVPackagesMapper.h"
#include "services/graphics/QVMStyleService.h"
#include "services/languages/QVLanguageService.h"
#include "startup/QVStoreMigration.h"
#include "support/EventLoop.h"
#include "ui/style/QVMAppearance.h"

#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QVariantMap item(const QString &code, const QString &name, const char *type, const QString &url) {
    return {{"lang", code},
            {"local_lang", name},
            {"type", QString::fromLatin1(type)},
            {"version", "1"},
            {"model", QVariantMap{{"size", 104857600}, {"url", url}}}};
}

void press(int key) {
    QWidget *target = QApplication::focusWidget();
    if (!target)
        return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setStyle(QStringLiteral("Fusion"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const bool dark = argc > 2 && QByteArray(argv[2]) == "dark";
    const int stay = argc > 3 ? QByteArray(argv[3]).toInt() : 0;
    QDir().mkpath(folder);
    QVMAppearance::install();
    QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                         : QVMStyleService::ColorScheme::Light);
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));

    QTemporaryDir home;
    platform::AppPaths::setRoot(home.path());
    platform::BackendConfig::overrideHost("QV_API_HOST", QUrl(QStringLiteral("http://127.0.0.1:9")));
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()) ||
        QVLanguageService::initializeDefaultLanguages())
        return 1;
    platform::UserDefaults::standard().setBool(true, QVMOfflineViewController::kPackagesWereRemovedKey);
    QVariantList items = {item("de", "Deutsch", "opennmt-desktop", "models/de.zip"),
                          item("de", "Deutsch", "tesseract", "ocr/deu.zip"),
                          item("fr", "Français", "opennmt-desktop", "models/fr.zip"),
                          item("fr", "Français", "wordnet", "dict/fr.zip"),
                          item("en", "English", "wordnet", "dict/en.zip"),
                          item("zz", "<b>Evil</b><img src=x>", "opennmt-desktop", "models/zz.zip")};
    for (int i = 0; i < 3000; ++i)
        items.append(item(QStringLiteral("x%1").arg(i, 4, 10, QLatin1Char('0')),
                          QStringLiteral("Language %1").arg(i, 4, 10, QLatin1Char('0')), "opennmt-desktop",
                          QStringLiteral("models/x%1.zip").arg(i)));
    if (QVPackagesMapper::createRealmObject(items))
        return 1;

    QVMOfflineViewController tab;
    QWidget *view = tab.view();
    view->setWindowTitle(QStringLiteral("Offline"));
    view->resize(620, 460);
    view->show();
    qvtest::spin(300);
    const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
    view->grab().save(QDir(folder).filePath(QStringLiteral("offline-%1.png").arg(mode)));

    // Keyboard only: the field has the focus; Tab to the list, Down twice, Space on the row.
    view->activateWindow();
    qvtest::waitUntil([&] { return view->isActiveWindow(); }, 2000);
    tab.searchField()->setFocus();
    press(Qt::Key_Tab);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    press(Qt::Key_Space);
    qvtest::waitUntil([&] { return tab.messageLine()->isVisible(); }, 5000);
    qvtest::spin(100);
    qInfo("focus: %s; current row: %d (%s); message: %s",
          QApplication::focusWidget() ? qPrintable(QApplication::focusWidget()->accessibleName()) : "none",
          tab.languagesOutline()->currentIndex().row(),
          qPrintable(tab.shownCodes().value(tab.languagesOutline()->currentIndex().row())),
          qPrintable(tab.messageLine()->text()));
    view->grab().save(QDir(folder).filePath(QStringLiteral("offline-%1-keyboard.png").arg(mode)));
    if (stay > 0) {
        QTimer::singleShot(stay * 1000, &app, &QApplication::quit);
        return app.exec();
    }
    return 0;
}
