// Shows the dictionary tab with the offline entry of "dog" (Debian's WordNet
// files) in the light or the dark appearance, saves a picture of it, then
// walks it by keyboard and saves one more:
//   panes_dictionary_sample <output folder> light|dark [seconds to stay open]
#include "panes/dictionary/QVMDicrionaryController.h"

#include "core/localization/DJLocalizationSystem.h"
#include "core/models/QVPackageFolders.h"
#include "platform/AppPaths.h"
#include "platform/NetworkStatus.h"
#include "services/graphics/QVMStyleService.h"
#include "support/EventLoop.h"
#include "ui/style/QVMAppearance.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

namespace {

bool linkWordNet(const QString &folder) {
    QDir().mkpath(folder);
    const QDir source(QStringLiteral("/usr/share/wordnet"));
    for (const QString &name : source.entryList({"index.*", "data.*", "*.exc"}, QDir::Files))
        QFile::link(source.filePath(name), QDir(folder).filePath(name));
    return QFile::exists(QDir(folder).filePath(QStringLiteral("index.noun")));
}

void press(QWidget *target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
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
    if (!linkWordNet(QVPackageFolders::dictionaryFolder()))
        qWarning("wordnet-base is not installed: the entry stays empty");
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);

    QVMDicrionaryController pane;
    QWidget *view = pane.view();
    view->setWindowTitle(QStringLiteral("Dictionary"));
    view->resize(380, 640);
    view->show();
    qvtest::spin(50);
    const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
    view->grab().save(QDir(folder).filePath(QStringLiteral("dictionary-%1-empty.png").arg(mode)));
    // As a word selected in an English main panel arrives.
    pane.showWordFromMainView(QStringLiteral("dog"), QStringLiteral("en_GB"));
    qvtest::waitUntil(
        [&] {
            return pane.synonymsTextView()->toPlainText().contains(QLatin1String("NOUN")) &&
                   pane.worldsTableView()->count() > 0;
        },
        10000);
    qvtest::spin(50);
    view->grab().save(QDir(folder).filePath(QStringLiteral("dictionary-%1.png").arg(mode)));

    // Keyboard only: the field, Tab to the list, Down, Tab to the entry, Tab to its first link.
    view->activateWindow();
    qvtest::waitUntil([&] { return view->isActiveWindow(); }, 2000);
    pane.searchField()->setFocus();
    press(pane.searchField(), Qt::Key_Tab);
    QWidget *focused = QApplication::focusWidget();
    press(focused ? focused : view, Qt::Key_Down);
    press(QApplication::focusWidget() ? QApplication::focusWidget() : view, Qt::Key_Tab);
    press(QApplication::focusWidget() ? QApplication::focusWidget() : view, Qt::Key_Tab);
    qvtest::spin(50);
    qInfo("focus after Tab, Down, Tab, Tab: %s; selected link: %s",
          QApplication::focusWidget() ? qPrintable(QApplication::focusWidget()->accessibleName()) : "none",
          qPrintable(pane.synonymsTextView()->textCursor().selectedText()));
    view->grab().save(QDir(folder).filePath(QStringLiteral("dictionary-%1-keyboard.png").arg(mode)));
    if (stay > 0) {
        QTimer::singleShot(stay * 1000, &app, &QApplication::quit);
        return app.exec();
    }
    return 0;
}
