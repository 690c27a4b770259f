// Shows the main window with the side panel on a temporary store, in the
// light and the dark appearance, and saves a picture of each side tab, the
// language list page and the toolbar's language popup:
//   panes_side_panel_sample <output folder>
#include "core/history/QVDataManager.h"
#include "core/languages/QVLanguageService.h"
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
#include "ui/QVGeneralWindowController.h"
#include "ui/QVMColor.h"
#include "ui/QVMGeneralAndHistorySplitController.h"
#include "ui/QVMStyleService.h"
#include "ui/controls/CustomButton.h"

#include <QApplication>
#include <QDir>
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
    const struct {
        const char *text, *translation;
        bool favourite;
    } samples[] = {{"Where is the railway station?", "Wo ist der Bahnhof?", true},
                   {"A table for two, please.", "Un tavolo per due, per favore.", false},
                   {"The weather is lovely today and we are going for a long walk along the river.",
                    "Das Wetter ist heute herrlich und wir machen einen langen Spaziergang am Fluss.", false},
                   {"Good morning", "Bonjour", true}};
    double created = 700000000;
    for (const auto &s : samples) {
        created += 60;
        QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
            qint64(created), 1, en, s.favourite ? fr : de, s.favourite, QString::fromUtf8(s.text),
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
        delete window;
        settle();
    }
    return failures;
}
