// The main window with its side panel as a user drives it, by mouse and by
// keyboard only, in the light scheme, the dark one and after a live switch,
// with a translation on screen (parts of speech and a marked sentence):
//   panes_main_window_states_sample <output folder>
// Under Xvfb with the xcb platform the pictures are the real windows.
#include "core/history/QVDataManager.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/models/QVModelRegistry.h"
#include "core/settings/QVSettingsService.h"
#include "panes/dictionary/QVMDicrionaryController.h"
#include "panes/history/QVMAdditionalTabsController.h"
#include "panes/history/QVMHistoryPane.h"
#include "panes/history/QVMHistoryViewController.h"
#include "panes/history/QVMTransitContenerController.h"
#include "panes/languages/QVMLanguagesPane.h"
#include "platform/NetworkStatus.h"
#include "platform/UserDefaults.h"
#include "platform/store/Store.h"
#include "services/graphics/QVMStyleService.h"
#include "services/languages/QVLanguageService.h"
#include "ui/controls/CustomButton.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/controls/QVMCustomSelectionColorTableView.h"
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

#include <cstdio>

namespace {

// Alerts (a translation the sample cannot make) are noted and dismissed, not waited for.
class NotingAlerts : public QVMAlertPresenter {
public:
    int runModal(const Request &request) override {
        std::printf("alert: %s\n", qPrintable(request.message));
        return 0;
    }
};

void settle(int ms = 200) {
    for (int i = 0; i < ms / 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

void press(int key) {
    QWidget *target = QApplication::focusWidget();
    if (!target)
        return;
    const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &up);
    settle(80);
}

void scheme(bool dark) {
    QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                         : QVMStyleService::ColorScheme::Light);
    settle(300);
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setStyle(QStringLiteral("Fusion"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    QTemporaryDir home;
    platform::UserDefaults::setStorageFile(home.filePath(QStringLiteral("defaults.ini")));
    if (QVModelRegistry::declareMappings())
        return 2;
    platform::StoreConfiguration config;
    config.path = home.filePath(QStringLiteral("sample.sqlite"));
    config.schemaVersion = 112;
    config.classes = QVModelRegistry::allSchemas();
    platform::ObjectStore::setDefaultConfiguration(config);
    if (platform::ObjectStore::defaultStore().isNull())
        return 3;
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    QVLanguageService::initializeDefaultLanguages();
    QVSettingsService::defaultSettings();
    const QVLanguageRealm en = QVLanguageService::languageForLocaleIdentifier(QStringLiteral("en_GB"));
    const QVLanguageRealm de = QVLanguageService::languageForLanguageString(QStringLiteral("de"));
    double created = 700000000;
    for (const char *text : {"Where is the railway station?", "The dog runs to the river.", "Good morning"}) {
        created += 60;
        QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
            qint64(created), 1, en, de, false, QString::fromUtf8(text), QString::fromUtf8(text).toUpper(), {},
            {}, created);
    }
    QVSettingsService::setLanguageFrom(en);
    QVSettingsService::setLanguageTo(de);
    platform::UserDefaults::standard().setBool(
        true, QString::fromLatin1(QVMGeneralViewController::kHighlightTranslatedSentences));

    QVMUtils::setAlertPresenter(std::make_shared<NotingAlerts>());
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    installLanguagesPane(factory);
    installHistoryPane(factory);
    installDictionaryPane(factory);
    scheme(false);
    QVGeneralWindowController window;
    window.window()->resize(1240, 760);
    window.showWindow();
    settle(500);
    auto *split = window.findChild<QVMGeneralAndHistorySplitController *>();
    auto *panel =
        split ? qobject_cast<QVMTransitContenerController *>(split->delegateManagePanelLanguage()) : nullptr;
    if (!panel)
        return 4;
    QVMGeneralViewController *general = window.generalViewController();
    general->setTextAndTranslation(QStringLiteral("The dog runs. It reads a book."),
                                   QStringLiteral("Der Hund rennt. Er liest ein Buch."));
    settle();
    general->highlightTextViewsWithTag(1);
    int failures = 0;
    const auto shot = [&](const char *name) {
        settle(300);
        const QString path = QDir(folder).filePath(QString::fromLatin1(name));
        const bool ok = window.window()->grab().save(path);
        failures += !ok;
        std::printf("%s\n", qPrintable(path));
    };

    // Mouse: the first start (dictionary shown, the toggle offers the history), then a swap.
    shot("1-light-first-start.png");
    panel->historyToggle()->click();
    window.swapButton()->click();
    settle();
    general->highlightTextViewsWithTag(1);
    shot("2-light-mouse-history-after-swap.png");
    scheme(true);
    shot("3-dark-after-live-switch.png");

    // Keyboard only: into the history list, Down twice, Space stars the row.
    QWidget *list = panel->tabViewController()->additionalTabs()->historyViewController()->historyTable();
    list->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    press(Qt::Key_Space);
    std::printf(
        "focus after Down, Down, Space: %s\n",
        qPrintable(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString()));
    general->highlightTextViewsWithTag(1);
    shot("4-dark-keyboard-history.png");
    scheme(false);
    general->highlightTextViewsWithTag(1);
    shot("5-light-after-live-switch-keyboard.png");
    // A control that cannot act says why.
    general->setTextAndTranslation({}, {});
    settle();
    std::printf("Listen, empty: %s\n", qPrintable(general->fromSpeakerButton()->toolTip()));
    std::printf("More apps: %s\n", qPrintable(window.moreAppsButton()->toolTip()));
    std::printf("Synchronise bookmarks: %s\n", qPrintable(window.syncBookmarksButton()->toolTip()));
    shot("6-light-empty.png");
    return failures;
}
