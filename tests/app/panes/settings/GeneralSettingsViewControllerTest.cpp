#include "SettingsTestSupport.h"

#include "core/settings/QVAutostartEntry.h"
#include "panes/settings/GeneralSettingsViewController.h"
#include "ui/controls/ITSwitch.h"

#include <QComboBox>
#include <QFile>
#include <QSlider>
#include <QTest>

using namespace settingstest;

namespace {

class GeneralSettingsTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        platform::AppPaths::setRoot(home.path());
    }
    GeneralSettingsViewController *general() {
        return qobject_cast<GeneralSettingsViewController *>(
            settings->contentViewController()->paneForTab(0));
    }
    int languageIndex(const QString &code) {
        const QList<QVLanguageRealm> &languages = general()->languages();
        for (int i = 0; i < languages.size(); ++i)
            if (languages.at(i).languageString() == code)
                return i;
        return -1;
    }
    void choose(const QString &code) {
        const int index = languageIndex(code);
        general()->languagesBox()->setCurrentIndex(index);
        emit general()->languagesBox()->activated(index);
    }
};

} // namespace

TEST_F(GeneralSettingsTest, SliderStoresEverySpeedAndReportsOnceItRests) {
    openSettings(0);
    QSlider *slider = general()->voiceSpeedSlider();
    EXPECT_EQ(slider->accessibleName(), QStringLiteral("Speech speed"));
    EXPECT_EQ(slider->value(), 40); // the stored 0.4
    for (int value = 45; value <= 70; value += 5) {
        SCOPED_TRACE(value);
        slider->setValue(value);
        EXPECT_FLOAT_EQ(QVSettingsService::defaultSettings().speedOfSpeech(), value / 100.0f);
    }
    const QString action = QStringLiteral("General - Change Voice Speed");
    EXPECT_TRUE(events(action).isEmpty());
    ASSERT_TRUE(qvtest::waitUntil([&] { return !events(action).isEmpty(); }));
    qvtest::spin(20);
    ASSERT_EQ(events(action).size(), 1);
    EXPECT_EQ(events(action).first().params.value("voice_speed"), QStringLiteral("70.0%"));
    // The arrow keys step it.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(slider->value(), 75);
}

TEST_F(GeneralSettingsTest, EachSwitchStoresItsChoiceAndSendsItsEvent) {
    bool trayVisible = true;
    QVMInterfaceHooks::shared().isStatusItemVisible = [&] { return trayVisible; };
    QVMInterfaceHooks::shared().setStatusItemVisible = [&](bool visible) { trayVisible = visible; };
    openSettings(0);
    GeneralSettingsViewController *pane = general();
    struct Case {
        const char *name;
        ITSwitch *button;
        const char *action, *parameter;
        std::function<bool()> stored;
    } cases[] = {
        {"auto speak", pane->autoSpeakButton(), "General - Automatic Speak - Switch", "automatic_speak",
         [] { return QVSettingsService::defaultSettings().autoSpeak(); }},
        {"tray icon", pane->appMenuBarButton(), "General - Show App in Menu Bar - Switch", "menu_bar",
         [&] { return trayVisible; }},
        {"start automatically", pane->startAutomaticallyButton(), "General - Start automatically - Switch",
         "auto_start",
         [] { return QVAutostartEntry::isInstalled() && defaults().boolForKey("LoginEnabled"); }},
        {"transliteration", pane->transliterationButton(), "General - Transliteration - Switch",
         "transliteration", [] { return defaults().boolForKey("TransliterationSetting"); }},
        {"translate with return", pane->translateByEnterButton(), "General - Translate with Enter - Switch",
         "use_enter", [] { return defaults().boolForKey("TranslateByEnterSetting"); }},
        {"mark sentences", pane->highliteSentencesButton(), "General - Mark translated paragraphs - Switch",
         "translated_paragraphs", [] { return defaults().boolForKey("kHighlightTranslatedSentences"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.button->accessibleName().isEmpty());
        const bool before = c.button->isChecked();
        EXPECT_EQ(c.stored(), before);
        const QStringList expectedValues = before ? QStringList{"off", "on"} : QStringList{"on", "off"};
        for (const QString &expected : expectedValues) {
            c.button->setFocus();
            QTest::keyClick(c.button, Qt::Key_Space);
            EXPECT_EQ(c.stored(), c.button->isChecked());
            ASSERT_FALSE(events(QString::fromLatin1(c.action)).isEmpty());
            EXPECT_EQ(events(QString::fromLatin1(c.action)).last().params.value(c.parameter).toString(),
                      expected);
        }
        EXPECT_EQ(events(QString::fromLatin1(c.action)).size(), 2);
    }
    EXPECT_TRUE(QVAutostartEntry::path().startsWith(home.path()));
    // The running program (here the test binary) by its path: it is not on PATH.
    EXPECT_TRUE(QVAutostartEntry::contents().contains(
        "Exec=" + QCoreApplication::applicationFilePath().toUtf8() + " --service\n"));
}

TEST_F(GeneralSettingsTest, SwitchesThatCannotActSayWhy) {
    // No tray: the switch cannot act. An autostart folder that cannot be made: the switch goes back.
    QFile blocker(platform::AppPaths::autostart());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    openSettings(0);
    ITSwitch *tray = general()->appMenuBarButton();
    EXPECT_FALSE(tray->isEnabled());
    EXPECT_EQ(tray->toolTip(), QStringLiteral("The tray icon is not available"));
    ITSwitch *start = general()->startAutomaticallyButton();
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Space);
    EXPECT_FALSE(start->isChecked());
    EXPECT_FALSE(defaults().boolForKey("LoginEnabled"));
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_TRUE(alerts->shown.first().message.contains(platform::AppPaths::autostart()));
}

TEST_F(GeneralSettingsTest, LanguageChangeAsksFirstAndRebuildsOnTheNextTurn) {
    openWindow();
    int posted = 0;
    bool postedDuringConfirm = false;
    bool confirming = false;
    // The application delegate deletes the main window controller, the settings window's owner.
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(GeneralSettingsViewController::kLanguageDidChangeNotification),
        [&](const QVariantMap &) {
            ++posted;
            postedDuringConfirm = confirming;
            delete window;
            window = nullptr;
        });
    struct Case {
        const char *name;
        const char *code;
        QList<int> answers;
        int alerts;
        const char *languageAfter;
        int posts;
        const char *germanNamed; // the catalogue's name of German afterwards
    } cases[] = {
        {"the same language", "en", {}, 0, "en", 0, "German"},
        {"another one, closed", "de", {1001}, 1, "en", 0, "German"},
        {"another one, dismissed", "de", {0}, 1, "en", 0, "German"},
        {"another one, changed", "de", {1000}, 1, "de", 1, "Deutsch"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        analytics->events.clear();
        alerts->shown.clear();
        alerts->answers = c.answers;
        window->showSettingsScreenWithTab(0);
        QPointer<QVMSettingsWindowController> opened =
            qobject_cast<QVMSettingsWindowController *>(window->settingsController());
        settings = opened;
        confirming = true;
        choose(QString::fromLatin1(c.code));
        confirming = false;
        EXPECT_EQ(alerts->shown.size(), c.alerts);
        ASSERT_EQ(events(QStringLiteral("General - Change Language")).size(), 1);
        EXPECT_EQ(DJLocalizationSystem::shared().language(), QString::fromLatin1(c.languageAfter));
        EXPECT_EQ(language(QStringLiteral("de_DE")).languageName(), QString::fromLatin1(c.germanNamed));
        EXPECT_EQ(defaults().stringForKey(DJLocalizationSystem::kUserDefaultAppLanguage),
                  c.posts ? QString::fromLatin1(c.code) : QString());
        if (c.posts) {
            EXPECT_FALSE(opened && opened->window()->isVisible());
            ASSERT_TRUE(qvtest::waitUntil([&] { return posted == c.posts; }));
            EXPECT_FALSE(postedDuringConfirm);
            flushDeletes();
            EXPECT_TRUE(opened.isNull());
        } else {
            // The box shows the language in use again, without a second change.
            EXPECT_EQ(general()->languagesBox()->currentIndex(), languageIndex(QStringLiteral("en")));
            EXPECT_EQ(posted, 0);
        }
    }
    platform::NotificationCenter::defaultCenter().removeObserver(token);
}

// Each interface language is listed in its own name, in one order, whatever the interface
// language: a user who lands in one they cannot read finds theirs.
TEST_F(GeneralSettingsTest, InterfaceLanguagesAreListedInTheirOwnNames) {
    addLanguage("ja_JP", "Japanese", "ja", {});
    addLanguage("zh_TW", "Chinese (Traditional)", "zh-Hant", {});
    const QStringList own{QStringLiteral("Deutsch"), QStringLiteral("English"),
                          QStringLiteral("Fran\u00e7ais"), QStringLiteral("\u65e5\u672c\u8a9e")};
    for (const char *interface : {"en", "de"}) {
        SCOPED_TRACE(interface);
        DJLocalizationSystem::shared().setLanguage(QString::fromLatin1(interface));
        openSettings(0);
        QComboBox *box = general()->languagesBox();
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        // Traditional Chinese in its own script, wherever the locale data sorts it.
        EXPECT_EQ(shown.filter(QStringLiteral("\u4e2d\u6587")).size(), 1) << shown.join(", ").toStdString();
        shown.removeIf([](const QString &name) { return name.contains(QStringLiteral("\u4e2d\u6587")); });
        EXPECT_EQ(shown, own);
        EXPECT_EQ(box->currentText(), own.at(interface == QLatin1String("de") ? 0 : 1));
    }
}
