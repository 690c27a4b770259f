// Shows the main window with the side panel on a temporary store, in the
// light and the dark appearance, and saves a picture of each side tab, the
// language list page and the toolbar's language popup:
//   panes_side_panel_sample <output folder>
#include "core/history/QVDataManager.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/QVModelRegistry.h"
#include "core/settings/QVSettingsService.h"
#include "panes/history/QVMAdditionalTabsController.h"
#include "panes/history/QVMTransitContenerController.h"
#include "panes/languages/QVMLanguagesViewController.h"
#include "platform/Bundle.h"
#include "platform/NetworkStatus.h"
#include "platform/UserDefaults.h"
#include "platform/store/Store.h"
#include "services/graphics/QVMStyleService.h"
#include "services/languages/QVLanguageService.h"
#include "ui/controls/CustomButton.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"
#include "ui/style/QVMColor.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

namespace {

QPalette paletteFor(bool dark) {
    QPalette palette;
    const QColor window =
        dark ? QVMColor::windowBackgroundDarkColor() : QVMColor::windowBackgroundLightColor();
    const QColor panel = dark ? QVMColor::panelBackgroundDarkColor() : QColor(Qt::white);
    const QColor text = dark ? QColor(Qt::white) : QColor(Qt::black);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, panel);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, dark ? QVMColor::buttonDarkColor() : QVMColor::buttonColor());
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     dark ? QColor(150, 150, 150) : QColor(110, 110, 110));
    return palette;
}

void settle(int ms = 150) {
    for (int i = 0; i < ms / 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(QWidget *widget, const QString &folder, const QString &name) {
    settle();
    const bool ok = widget->window()->grab().save(QDir(folder).filePath(name));
    if (!ok)
        qWarning("could not save %s", qPrintable(name));
    return ok;
}

void press(QWidget *target, int key) {
    if (!target)
        return;
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier,
                   key == Qt::Key_Space ? QStringLiteral(" ") : QString());
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier,
                 key == Qt::Key_Space ? QStringLiteral(" ") : QString());
    QApplication::sendEvent(target, &up);
    settle(50);
}

void type(QWidget *target, QChar c) {
    QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(target, &down);
    settle(30);
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setStyle(QStringLiteral("Fusion"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    QTemporaryDir home;
    platform::UserDefaults::setStorageFile(home.filePath(QStringLiteral("defaults.ini")));
    if (const platform::Error error = QVModelRegistry::declareMappings())
        return 2;
    platform::StoreConfiguration config;
    config.path = home.filePath(QStringLiteral("sample.sqlite"));
    config.schemaVersion = 112;
    config.classes = QVModelRegistry::allSchemas();
    platform::ObjectStore::setDefaultConfiguration(config);
    if (platform::ObjectStore::defaultStore().isNull())
        return 3;
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::ReachableViaOther);
    QVLanguageService::initializeDefaultLanguages();
    QVSettingsService::defaultSettings();
    const QVLanguageRealm en = QVLanguageService::languageForLocaleIdentifier(QStringLiteral("en_GB"));
    const QVLanguageRealm de = QVLanguageService::languageForLanguageString(QStringLiteral("de"));
    const QVLanguageRealm fr = QVLanguageService::languageForLanguageString(QStringLiteral("fr"));
    const QVLanguageRealm it = QVLanguageService::languageForLanguageString(QStringLiteral("it"));
    const struct {
        const char *text, *translation;
        bool favourite;
        const QVLanguageRealm &to;
    } samples[] = {{"Where is the railway station?", "Wo ist der Bahnhof?", true, de},
                   {"A table for two, please.", "Un tavolo per due, per favore.", false, it},
                   {"The weather is lovely today and we are going for a long walk along the river.",
                    "Das Wetter ist heute herrlich und wir machen einen langen Spaziergang am Fluss.", false,
                    de},
                   {"Good morning", "Bonjour", true, fr}};
    double created = 700000000;
    for (const auto &s : samples) {
        created += 60;
        QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
            qint64(created), 1, en, s.to, s.favourite, QString::fromUtf8(s.text),
            QString::fromUtf8(s.translation), {}, {}, created);
    }
    QVSettingsService::setLanguageFrom(en);
    QVSettingsService::setLanguageTo(de);

    int failures = 0;
    for (const bool dark : {false, true}) {
        const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                             : QVMStyleService::ColorScheme::Light);
        QApplication::setPalette(paletteFor(dark));
        auto *window = new QVGeneralWindowController;
        window->showWindow();
        settle(300);
        auto *split = window->findChild<QVMGeneralAndHistorySplitController *>();
        auto *container =
            split ? qobject_cast<QVMTransitContenerController *>(split->delegateManagePanelLanguage())
                  : nullptr;
        if (!container)
            return 4;
        QVMAdditionalTabsController *group = container->tabViewController()->additionalTabs();
        const struct {
            CustomButton *button;
            const char *name;
        } tabs[] = {{group->historyButton(), "history"},
                    {group->bookmarksButton(), "bookmarks"},
                    {group->dictionaryButton(), "dictionary"}};
        for (const auto &tab : tabs) {
            tab.button->click();
            failures +=
                !save(group->view(), folder, QStringLiteral("side-tab-%1-%2.png").arg(tab.name, theme));
        }
        group->historyButton()->click();
        container->fromLanguageButton()->click();
        failures += !save(group->view(), folder, QStringLiteral("side-languages-page-%1.png").arg(theme));
        container->showHistory();
        window->toLanguageButton()->click();
        settle(300);
        if (auto *popup = window->findChild<QVMLanguagesViewController *>()) {
            popup->searchField()->setText(QStringLiteral("ger"));
            emit popup->searchField()->textEdited(popup->searchField()->text());
            failures += !save(popup->view(), folder, QStringLiteral("language-popup-%1.png").arg(theme));
            popup->view()->close();
        }
        settle();
        // Keyboard only: the popup from the toolbar button, typing, Down, Return.
        window->toLanguageButton()->setFocus();
        press(window->toLanguageButton(), Qt::Key_Space);
        settle(300);
        if (auto *popup = window->findChild<QVMLanguagesViewController *>()) {
            for (const QChar c : QStringLiteral("fr"))
                type(QApplication::focusWidget() ? QApplication::focusWidget() : popup->searchField(), c);
            press(QApplication::focusWidget() ? QApplication::focusWidget() : popup->searchField(),
                  Qt::Key_Down);
            failures += !save(popup->view(), folder, QStringLiteral("keyboard-popup-%1.png").arg(theme));
            press(QApplication::focusWidget() ? QApplication::focusWidget() : popup->searchField(),
                  Qt::Key_Return);
            settle();
            std::printf("%s: keyboard choice made the target %s\n", qPrintable(theme),
                        qPrintable(QVSettingsService::languageTo()));
        }
        // Keyboard only: Tab from the panel's first button to the Bookmarks tab, then Space.
        container->fromLanguageButton()->setFocus();
        for (int i = 0; i < 4; ++i)
            press(QApplication::focusWidget(), Qt::Key_Tab);
        std::printf("%s: focus after four Tabs: %s\n", qPrintable(theme),
                    qPrintable(QApplication::focusWidget() ? QApplication::focusWidget()->accessibleName()
                                                           : QString()));
        press(QApplication::focusWidget(), Qt::Key_Space);
        failures += !save(group->view(), folder, QStringLiteral("keyboard-bookmarks-%1.png").arg(theme));
        QVSettingsService::setLanguageTo(de);
        delete window;
        settle();
    }
    return failures;
}
