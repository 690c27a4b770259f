// The windows in German: no text the English table holds is left on screen, and
// the catalogue's language names follow the interface language.
#include "PanesTestSupport.h"
#include "app/ui/LocalizationWalk.h"

#include "core/localization/DJLocalizationSystem.h"
#include "panes/about/QVMAboutPanes.h"
#include "panes/general/QVMGeneralPanels.h"
#include "panes/history/QVMAdditionalTabsController.h"
#include "panes/info/QVMInfoViewController.h"
#include "panes/offline/QVMOfflineViewController.h"
#include "panes/photo/QVMPhotoRecognitionController.h"
#include "panes/popover/QVMGenaralPopoverViewController.h"
#include "panes/settings/QVMSettingsPanes.h"
#include "panes/settings/QVMSettingsWindowController.h"
#include "panes/web/QVMWebPageController.h"
#include "services/analysis/QVPartOfSpeechService.h"
#include "services/graphics/QVMStyleService.h"
#include "services/languages/QVLanguageService.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"

#include <QApplication>

#include <functional>
#include <memory>

using namespace panestest;

namespace {

// The service's own titles of the parts of speech, which the fixture's fake spells in English.
class TableAnalysis : public uitest::FakeAnalysis {
public:
    QStringList partsOfSpeechTitlesArray() override {
        return QVPartOfSpeechService::partsOfSpeechTitlesArray();
    }
};

class InterfaceLanguageTest : public PanesOnlineTest {
protected:
    void SetUp() override {
        PanesOnlineTest::SetUp();
        analysis = std::make_shared<TableAnalysis>();
        QVMGeneralServices::shared().setAnalysis(analysis);
        installGeneralPanels(QVMInterfaceHooks::shared());
        installSettingsPanes();
        installAboutPanes();
        installInfoPane();
        installOfflinePane(QVMInterfaceFactory::shared());
        setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    }
    void TearDown() override {
        m_windows.clear();
        qvtest::spin(10);
        // Other suites expect these tabs missing.
        removeSettingsPanes();
        removeAboutPanes();
        removeInfoPane();
        QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                       QStringLiteral("QVMOfflineViewController"));
        switchTo(QStringLiteral("en"));
        PanesOnlineTest::TearDown();
    }
    // As the settings tab does before the windows are rebuilt.
    static void switchTo(const QString &language) {
        DJLocalizationSystem::shared().setLanguage(language);
        EXPECT_FALSE(QVLanguageService::localizeLanguageNames());
    }
    // Each window a newcomer meets, every page of it made.
    QList<std::pair<const char *, QWidget *>> openEveryWindow() {
        QList<std::pair<const char *, QWidget *>> roots;
        openWindow();
        QVMGeneralAndHistorySplitController *split = window->splitController();
        // Every page of the side panel: the language list, the dictionary, then the history tabs.
        split->onLanguageFrom();
        split->onHistory();
        split->onHistory();
        for (auto *tabs : window->findChildren<QVMAdditionalTabsController *>()) {
            tabs->showDictionary();
            tabs->showBookmarks();
            tabs->showHistory();
        }
        roots.append({"main window", window->window()});

        auto *settings = new QVMSettingsWindowController;
        m_windows.emplace_back(settings);
        settings->showWindow();
        for (qint64 tab = 4; tab >= 0; --tab)
            settings->selectTab(tab);
        roots.append({"settings", settings->window()});

        auto *popover = new QVMGenaralPopoverViewController;
        m_windows.emplace_back(popover);
        popover->setDelegate(general);
        popover->view()->show();
        roots.append({"popover", popover->view()});

        auto *photo = new QVMPhotoRecognitionController;
        m_windows.emplace_back(photo);
        photo->view()->show();
        roots.append({"photo window", photo->view()});

        auto *web = new QVMWebPageController;
        m_windows.emplace_back(web);
        web->view()->show();
        roots.append({"web window", web->view()});
        qvtest::spin(50);
        return roots;
    }
    std::vector<std::unique_ptr<QObject>> m_windows;
};

} // namespace

TEST_F(InterfaceLanguageTest, EveryWindowInGermanShowsNoTextOfTheEnglishTable) {
    const uitest::EnglishLeftovers english(QStringLiteral("de"));
    ASSERT_FALSE(english.isEmpty()) << "the localisation tables were not found";
    // In English the same walk finds the table's texts, so the walk does see each window.
    switchTo(QStringLiteral("en"));
    for (const auto &[name, root] : openEveryWindow()) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(english.in(root).isEmpty()) << "the walk saw no interface text";
    }
    delete window;
    window = nullptr;
    m_windows.clear();
    qvtest::spin(10);

    switchTo(QStringLiteral("de"));
    const auto roots = openEveryWindow();
    for (const auto &[name, root] : roots) {
        SCOPED_TRACE(name);
        for (const QString &found : english.in(root))
            ADD_FAILURE() << found.toStdString();
    }
    // For a look at the German windows: QV_SHOTS_DIR=<folder>.
    if (const QString shots = qEnvironmentVariable("QV_SHOTS_DIR"); !shots.isEmpty()) {
        general->setTextAndTranslation(QStringLiteral("The door is green."),
                                       QStringLiteral("Die T\u00fcr ist gr\u00fcn."));
        for (const bool dark : {false, true}) {
            QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                                 : QVMStyleService::ColorScheme::Light);
            qvtest::spin(100);
            for (const auto &[name, root] : roots)
                root->window()->grab().save(
                    QStringLiteral("%1/de-%2-%3.png")
                        .arg(shots, QString::fromLatin1(name).replace(QLatin1Char(' '), QLatin1Char('-')),
                             QLatin1String(dark ? "dark" : "light")));
        }
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
    }
}

TEST_F(InterfaceLanguageTest, LanguageNamesFollowTheInterfaceLanguage) {
    const struct {
        const char *interface;
        const char *code;
        const char *name;
    } cases[] = {
        // From the interface language's table.
        {"de", "de_DE", "Deutsch"},
        {"de", "en_GB", "Englisch (UK)"},
        // Not in the table: the locale data's name in the interface language.
        {"de", "ar_AE", "Arabisch"},
        {"de", "ko_KR", "Koreanisch (Südkorea)"},
        // Back in English: the English table's name, else the locale data's.
        {"en", "de_DE", "German"},
        {"en", "ar_AE", "Arabic"},
        {"en", "ko_KR", "Korean (South Korea)"},
        // The auto-detection entry is an interface string.
        {"de", "auto-detection", "Sprache erkennen"},
        {"en", "auto-detection", "Detect language"},
    };
    addLanguage("ko_KR", "Korean", "ko", {});
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.interface) + " " + c.code);
        switchTo(QString::fromLatin1(c.interface));
        EXPECT_EQ(QVLanguageService::languageForLocaleIdentifier(QString::fromLatin1(c.code)).languageName(),
                  QString::fromUtf8(c.name));
    }
    // A code the locale data does not know keeps a name rather than becoming its code.
    switchTo(QStringLiteral("de"));
    EXPECT_EQ(QVLanguageService::languageForLocaleIdentifier(QStringLiteral("xx_PC")).languageName(),
              QStringLiteral("Percent (50%)"));
}
