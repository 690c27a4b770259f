#include "GeneralViewTestSupport.h"

#include "platform/BackendConfig.h"
#include "ui/controls/QVMSegmentedControl.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"

#include <QToolButton>

using namespace uitest;

namespace {

class GeneralWindowTest : public GeneralViewTest {};

// A language list stand-in: what the toolbar's segue hands it.
class RecordingLanguageList : public QObject {
    Q_OBJECT
    Q_PROPERTY(uint sideIndex MEMBER sideIndex)
public:
    using QObject::QObject;
    Q_INVOKABLE void setDelegateLanguage(QObject *delegate) { this->delegate = delegate; }
    Q_INVOKABLE void setSideIndex(uint side) { sideIndex = side; }
    Q_INVOKABLE void showWindow() { shown = true; }
    QObject *delegate = nullptr;
    uint sideIndex = 0;
    bool shown = false;
};

class QVMLanguagesViewController : public RecordingLanguageList {
    Q_OBJECT
public:
    using RecordingLanguageList::RecordingLanguageList;
};

} // namespace

TEST(GeneralWindowFrame, OpensCentredWideEnoughForItsToolbarAndWithinTheScreen) {
    const QSize base = QVGeneralWindowController::kDefaultWindowSize;
    const int slack = QVGeneralWindowController::kToolbarSlack;
    const struct {
        const char *name;
        int toolbar;
        QRect available;
        QSize size;
    } cases[] = {
        {"screen smaller than the window", 1200, QRect(0, 30, 800, 570), QSize(800, 570)},
        {"toolbar wider than the default", 1200, QRect(0, 0, 1920, 1050), QSize(1200 + slack, base.height())},
        {"toolbar narrower than the default", 300, QRect(100, 0, 1920, 1050), base},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QRect frame = QVGeneralWindowController::defaultFrame(c.toolbar, c.available);
        EXPECT_EQ(frame.size(), c.size);
        EXPECT_TRUE(c.available.contains(frame));
        EXPECT_LE((frame.center() - c.available.center()).manhattanLength(), 2);
    }
}

TEST_F(GeneralWindowTest, LanguageButtonsNameTheLanguageWithoutItsCountry) {
    openWindow();
    EXPECT_EQ(window->fromLanguageButton()->text(), QStringLiteral("English \u25BE"));
    EXPECT_EQ(window->toLanguageButton()->text(), QStringLiteral("German \u25BE"));
    EXPECT_EQ(window->window()->windowTitle(), QVGeneralWindowController::windowTitle());
    // A refresh of the catalogue updates them.
    ASSERT_FALSE(QVSettingsService::setLanguageTo(language("fr_FR")));
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(QVGeneralWindowController::kSettingsDidChangedNotification));
    EXPECT_EQ(window->toLanguageButton()->text(), QStringLiteral("French \u25BE"));
}

TEST_F(GeneralWindowTest, OnlyWithoutANetworkDoesARefreshHandThePairToTheOfflineEngine) {
    for (bool reachable : {true, false}) {
        SCOPED_TRACE(reachable);
        offline->pairs.clear();
        platform::NetworkStatus::shared().setOverride(reachable ? platform::NetworkStatus::ReachableViaOther
                                                                : platform::NetworkStatus::NotReachable);
        openWindow();
        window->updateLanguages();
        const QStringList expected = reachable ? QStringList() : QStringList({"en_GB-de_DE", "en_GB-de_DE"});
        EXPECT_EQ(offline->pairs, expected);
        delete window;
        window = nullptr;
    }
    // Untranslated words are offered once per window.
    EXPECT_EQ(offline->uploads, 2);
}

TEST_F(GeneralWindowTest, StoredPanelChoicesRestoreTheToolbarSegments) {
    struct Case {
        QVariant showState, history, direction;
        bool seg0, seg1, seg2;
        int directionSegment;
        QStringList collapses;
    } cases[] = {
        {QVariant(), QVariant(), QVariant(), false, false, false, 1, {}},
        {2, 1, 1, false, true, true, 0, {"original"}},
        {1, 0, 0, true, false, false, 1, {"translation"}},
    };
    // Which panels the view has hidden.
    const auto hiddenPanels = [this] {
        QStringList hidden;
        if (general->isOriginalPanelHidden())
            hidden << "original";
        if (general->isTranslatePanelHidden())
            hidden << "translation";
        return hidden;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.showState.toString().toStdString());
        defaults().setObject(
            c.showState, QString::fromLatin1(QVGeneralWindowController::kUserDefaultTranslateViewsShowState));
        defaults().setObject(c.history,
                             QString::fromLatin1(QVGeneralWindowController::kUserDefaultHistoryViewShow));
        defaults().setObject(
            c.direction, QString::fromLatin1(QVGeneralWindowController::kUserDefaultTranslateViewsDirection));
        openWindow();
        QVMSegmentedControl *panels = window->panelsStateSegmentedControl();
        EXPECT_EQ(panels->isSelectedForSegment(0), c.seg0);
        EXPECT_EQ(panels->isSelectedForSegment(1), c.seg1);
        EXPECT_EQ(panels->isSelectedForSegment(2), c.seg2);
        EXPECT_TRUE(window->viewsDirectionSegmentedControl()->isSelectedForSegment(c.directionSegment));
        EXPECT_EQ(hiddenPanels(), c.collapses);
        delete window;
        window = nullptr;
    }
    // Segment 1 deselects segment 0 and hides the source panel.
    openWindow();
    QVMSegmentedControl *panels = window->panelsStateSegmentedControl();
    panels->click(0);
    panels->click(1);
    EXPECT_FALSE(panels->isSelectedForSegment(0));
    EXPECT_EQ(hiddenPanels(), QStringList({"original"}));
}

TEST_F(GeneralWindowTest, OneSettingsWindowShowsTheTabAskedForLast) {
    QList<QPointer<RecordingSettingsWindow>> made;
    QVMInterfaceFactory::shared().registerController(
        QStringLiteral("Settings"), QStringLiteral("QVMSettingsWindowController"), [&](QObject *parent) {
            made.append(new RecordingSettingsWindow(parent));
            return made.last().data();
        });
    openWindow();
    window->onSettings();
    window->showSettingsScreenWithTab(4);
    ASSERT_EQ(made.size(), 2);
    EXPECT_TRUE(made.at(0).isNull() || made.at(0)->closed);
    EXPECT_EQ(made.at(1)->selected, 4);
    EXPECT_EQ(made.at(1)->tabToOpen, 4);
    EXPECT_TRUE(made.at(1)->shown);
    EXPECT_EQ(window->settingsController(), made.at(1).data());
    EXPECT_EQ(analytics->withAction(QStringLiteral("Click Settings button")).size(), 1);
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                   QStringLiteral("QVMSettingsWindowController"));

    // Without the settings part, asking writes its line and opens nothing.
    ScopedCrashReporter reporter;
    window->showSettingsScreenWithTab(1);
    EXPECT_EQ(reporter.countLines(QStringLiteral("[ui] QVMSettingsWindowController not available")), 1);
}

TEST_F(GeneralWindowTest, SwapReversesThePairMovesTheResultAndTranslatesOnce) {
    openWindow();
    type(QStringLiteral("Good day"));
    general->translateOperation();
    answer(0, QStringLiteral("Guten Tag"), 10);
    ASSERT_TRUE(rendered());
    advance(5000);
    window->swapButton()->click();
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("de_DE"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("en_GB"));
    EXPECT_EQ(window->fromLanguageButton()->text(), QStringLiteral("German \u25BE"));
    EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("Guten Tag"));
    EXPECT_TRUE(general->toTranslateTextView()->toPlainText().isEmpty());
    ASSERT_EQ(online->calls.size(), 2);
    EXPECT_EQ(online->calls.at(1).text, QStringLiteral("Guten Tag"));
    EXPECT_EQ(online->calls.at(1).from, QStringLiteral("de_DE"));
    // The event names the pair that was reversed.
    ASSERT_EQ(analytics->withAction(QStringLiteral("Click Reverse language")).size(), 1);
    EXPECT_EQ(analytics->withAction(QStringLiteral("Click Reverse language")).at(0).params,
              QVariantMap({{"language_from", "en_GB"}, {"language_to", "de_DE"}}));

    // Automatic detection as the source: no swap and no event.
    setPair(QStringLiteral("auto-detection"), QStringLiteral("de_DE"));
    advance(5000);
    window->swapButton()->click();
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("auto-detection"));
    EXPECT_EQ(online->calls.size(), 2);
    EXPECT_EQ(analytics->withAction(QStringLiteral("Click Reverse language")).size(), 1);
}

TEST_F(GeneralWindowTest, TheLanguageListGetsItsSideAndTheButtonWaitsForItToClose) {
    QPointer<RecordingLanguageList> list;
    // The real list stands aside for the recording one.
    QVMInterfaceFactory::shared().removeSegue(
        QString::fromLatin1(QVGeneralWindowController::kLanguagesControllerSegue));
    QVMInterfaceFactory::shared().registerSegue(
        QString::fromLatin1(QVGeneralWindowController::kLanguagesControllerSegue),
        [&](QObject *parent) {
            list = new QVMLanguagesViewController(parent);
            return list.data();
        },
        QVMInterfaceFactory::SegueKind::Show);
    openWindow();
    window->toLanguageButton()->click();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->sideIndex, 2u);
    EXPECT_EQ(list->delegate, window);
    EXPECT_TRUE(list->shown);
    EXPECT_FALSE(window->toLanguageButton()->isEnabled());
    EXPECT_TRUE(window->fromLanguageButton()->isEnabled());

    // Choosing a language translates with the new pair; closing enables the button again.
    type(QStringLiteral("Hello"));
    ASSERT_FALSE(QVSettingsService::setLanguageTo(language("fr_FR")));
    QMetaObject::invokeMethod(window, "languageDidUpdate", Q_ARG(QObject *, list.data()));
    ASSERT_EQ(online->calls.size(), 1);
    EXPECT_EQ(online->calls.at(0).to, QStringLiteral("fr_FR"));
    QMetaObject::invokeMethod(window, "languageControllerWillDismiss", Q_ARG(QObject *, list.data()));
    EXPECT_TRUE(window->toLanguageButton()->isEnabled());
    QVMInterfaceFactory::shared().removeSegue(
        QString::fromLatin1(QVGeneralWindowController::kLanguagesControllerSegue));
}

TEST_F(GeneralWindowTest, WithoutAConfiguredBackendTheProgramTranslatesOffline) {
    const char *hosts[][2] = {{"QV_API_HOST", "https://api.quorvalde.example"},
                              {"QV_ACCOUNT_HOST", "https://account.quorvalde.example"},
                              {"QV_CLIENT_HOST", "https://client.quorvalde.example"},
                              {"QV_PUSH_HOST", "https://push.quorvalde.example"},
                              {"QV_ANALYTICS_HOST", "https://analytics.quorvalde.example"},
                              {"QV_MAKER_DOMAIN", "https://quorvalde.example"}};
    for (const auto &host : hosts)
        platform::BackendConfig::overrideHost(host[0], QUrl(QString::fromLatin1(host[1])));
    const QByteArray forced = qgetenv(platform::NetworkStatus::kEnvironmentVariable);
    qunsetenv(platform::NetworkStatus::kEnvironmentVariable);
    platform::NetworkStatus::shared().setOverride(std::nullopt);

    EXPECT_FALSE(QVMUtils::isBackendConfigured());
    EXPECT_FALSE(QVMUtils::isNetworkAvailable());
    openWindow();
    type(QStringLiteral("Hello"));
    general->translateOperation();
    EXPECT_TRUE(online->calls.isEmpty());
    EXPECT_EQ(offline->texts, QStringList({"Hello"}));

    // A stated network status still wins, and one configured host is a backend.
    qputenv(platform::NetworkStatus::kEnvironmentVariable, "online");
    EXPECT_TRUE(QVMUtils::isNetworkAvailable());
    qunsetenv(platform::NetworkStatus::kEnvironmentVariable);
    platform::BackendConfig::overrideHost("QV_API_HOST", QUrl(QStringLiteral("http://127.0.0.1:9")));
    EXPECT_TRUE(QVMUtils::isBackendConfigured());

    for (const auto &host : hosts)
        platform::BackendConfig::overrideHost(host[0], QUrl());
    if (!forced.isEmpty())
        qputenv(platform::NetworkStatus::kEnvironmentVariable, forced);
}

#include "QVGeneralWindowControllerTest.moc"
