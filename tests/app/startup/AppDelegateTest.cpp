#include "LaunchTestSupport.h"

#include "platform/CrashReporter.h"
#include "platform/SystemLog.h"
#include "platform/store/ObjectStore.h"
#include "startup/QVLaunchHooks.h"
#include "startup/QVLaunchSource.h"
#include "support/EventLoop.h"
#include "ui/foundation/QVMUtils.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <gtest/gtest.h>

using namespace launchtest;

namespace {

const QStringList kLaunchOrder = {
    "configureRatingPrompt",
    "configureScreenArbiter",
    "initializeProductAnalytics",
    "migrationRealm",
    "createOfflineBridge",
    "initializeDefaultLanguages",
    "addService",
    "initializeTracking",
    "lazyRemoteNotifications",
    "lazyFirebase",
    "getRemoteSettings launch",
    "startObservingShortcuts",
    "applyStoredInterfaceLanguage",
    "makeMainWindowController",
    "showWindow 1",
    "installationIdentifier",
    "observe kLanguageDidChangeNotification",
    "event APP/App Open {source=user}",
    "documentsDirectory",
    "observe iRateDidPromptForRating",
    "observe iRateUserDidAttemptToRateApp",
    "observe iRateUserDidDeclineToRateApp",
    "observe iRateUserDidRequestReminderToRateApp",
    "hasAuthToken",
    "setCustomVariables",
    "observeUpdateAvailable",
};

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override { platform::CrashReporter::setShared(reporter); }
    void TearDown() override {
        delegate.reset();
        platform::CrashReporter::setShared(nullptr);
    }

    void make(const QString &source = QStringLiteral("user")) {
        auto owned = std::make_unique<RecordingDependencies>(&calls);
        deps = owned.get();
        configure(*deps);
        delegate = std::make_unique<AppDelegate>(std::move(owned), source);
    }
    bool launch(const QString &source = QStringLiteral("user")) {
        make(source);
        return delegate->applicationDidFinishLaunching();
    }
    QStringList takeCalls() {
        QStringList taken = calls;
        calls.clear();
        return taken;
    }
    bool logged(const QString &line) {
        QMutexLocker lock(&reporter->mutex);
        return reporter->lines.contains(line);
    }

    std::function<void(RecordingDependencies &)> configure = [](RecordingDependencies &) {};
    QStringList calls;
    RecordingDependencies *deps = nullptr;
    std::unique_ptr<AppDelegate> delegate;
    std::shared_ptr<RecordingCrashReporter> reporter = std::make_shared<RecordingCrashReporter>();
};

// Records "paint" at its widget's first paint.
class PaintProbe : public QObject {
public:
    PaintProbe(QObject *parent, QStringList *calls) : QObject(parent), m_calls(calls) {}
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint && !m_calls->contains("paint"))
            m_calls->append("paint");
        return false;
    }

private:
    QStringList *m_calls;
};

platform::Error storeError(platform::ObjectStore::ErrorCode code) {
    return platform::Error(QString::fromLatin1(platform::ObjectStore::kErrorDomain), code,
                           QStringLiteral("store refused"));
}

} // namespace

TEST_F(AppDelegateTest, LaunchRunsEveryStepOnceInItsOrder) {
    QStringList systemLines;
    platform::SystemLog::setSink([&systemLines](const QString &line) { systemLines << line; });
    const bool launched = launch();
    platform::SystemLog::setSink({});
    ASSERT_TRUE(launched);
    EXPECT_EQ(takeCalls(), kLaunchOrder);
    EXPECT_TRUE(delegate->checkForUpdatesMenuItem()->isVisible());
    EXPECT_TRUE(logged(QStringLiteral("MAC OS UUID: uuid-1")));
    EXPECT_TRUE(systemLines.contains(QStringLiteral("[BUNDLE] file:///home/user/Documents/")));
}

TEST_F(AppDelegateTest, TheCatalogueRefreshLeavesAfterTheBackendClientWasStartedAndTheFirstFrame) {
    ASSERT_TRUE(launch());
    EXPECT_FALSE(calls.contains("refreshDefaultLanguages"));
    QMainWindow *window = delegate->windowController()->window();
    window->installEventFilter(new PaintProbe(window, &calls));
    ASSERT_TRUE(qvtest::waitUntil([&] { return calls.contains("refreshDefaultLanguages"); }));
    const int refresh = calls.indexOf("refreshDefaultLanguages");
    EXPECT_GT(refresh, calls.indexOf("getRemoteSettings launch"));
    EXPECT_GT(refresh, calls.indexOf("paint"));
    EXPECT_GE(calls.indexOf("paint"), 0);
    qvtest::spin(20);
    EXPECT_EQ(calls.count("refreshDefaultLanguages"), 1);
}

TEST_F(AppDelegateTest, TheOfflineEngineIsReleasedOnceAfterTheWindowsFirstFrame) {
    struct Case {
        const char *name;
        bool failWindow;
    };
    for (const Case &c : {Case{"no window: released all the same", true}, Case{"window shown", false}}) {
        SCOPED_TRACE(c.name);
        calls.clear();
        configure = [&c](RecordingDependencies &d) { d.failWindow = c.failWindow; };
        ASSERT_TRUE(launch());
        // Never during the launch itself, while the window is being built and shown.
        EXPECT_FALSE(calls.contains("releaseOfflineEngine"));
        QMainWindow *window = delegate->windowController() ? delegate->windowController()->window() : nullptr;
        EXPECT_EQ(window != nullptr, !c.failWindow);
        if (window)
            window->installEventFilter(new PaintProbe(window, &calls));
        EXPECT_TRUE(qvtest::waitUntil([&] { return calls.contains("releaseOfflineEngine"); },
                                      AppDelegate::kOfflineEngineDelayMs * 5));
        if (window) {
            EXPECT_LT(calls.indexOf("paint"), calls.indexOf("releaseOfflineEngine"));
        }
        EXPECT_EQ(calls.contains("paint"), window != nullptr);
        qvtest::spin(50);
        EXPECT_EQ(calls.count("releaseOfflineEngine"), 1);
    }
}

TEST_F(AppDelegateTest, ARegistrationFlagIsRefreshedOnlyWithAStoredToken) {
    for (bool token : {false, true}) {
        SCOPED_TRACE(token);
        calls.clear();
        configure = [token](RecordingDependencies &d) { d.token = token; };
        ASSERT_TRUE(launch());
        EXPECT_EQ(calls.contains("updateShowRegistrationOfferFlag"), token);
        if (token) {
            EXPECT_EQ(calls.indexOf("updateShowRegistrationOfferFlag"), calls.indexOf("hasAuthToken") + 1);
        }
    }
}

TEST_F(AppDelegateTest, TheLaunchSourceGoesWithOpenAndClose) {
    struct Case {
        const char *name;
        QStringList arguments;
        QString activation;
        QString expected;
    } cases[] = {
        {"plain start", {"quorvalde-translator"}, {}, "user"},
        {"bus activation", {"quorvalde-translator"}, "session", "service"},
        {"service entry", {"quorvalde-translator", "--service"}, {}, "service"},
        {"program named like the option", {"--service"}, {}, "user"},
        {"other options", {"quorvalde-translator", "--services", "service"}, {}, "user"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment environment;
        if (!c.activation.isEmpty())
            environment.insert(QString::fromLatin1(QVLaunchSource::kActivationVariable), c.activation);
        const QString source = QVLaunchSource::sourceFor(c.arguments, environment);
        EXPECT_EQ(source, c.expected);
        calls.clear();
        ASSERT_TRUE(launch(source));
        EXPECT_TRUE(calls.contains(QStringLiteral("event APP/App Open {source=%1}").arg(c.expected)));
        calls.clear();
        delegate->applicationWillTerminate();
        // The close event is queued before the flush sends it.
        EXPECT_EQ(calls, QStringList({QStringLiteral("event APP/App Close {source=%1}").arg(c.expected),
                                      "flushAnalytics"}));
    }
}

TEST_F(AppDelegateTest, AStoreThatCannotBeUsedStopsTheLaunchWithAnExplanation) {
    struct Case {
        const char *name;
        platform::ObjectStore::ErrorCode code;
        QString title;
    } cases[] = {
        {"newer file", platform::ObjectStore::NewerSchema, AppDelegate::kNewerStoreTitle},
        {"read-only file", platform::ObjectStore::ReadOnly, AppDelegate::kStoreFailedTitle},
        {"failed migration", platform::ObjectStore::MigrationFailed, AppDelegate::kStoreFailedTitle},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        configure = [&c](RecordingDependencies &d) {
            d.opening = [&c] { return QVStoreOpening{storeError(c.code), "/data/default.sqlite", {}}; };
        };
        EXPECT_FALSE(launch());
        // Told, and nothing after the store ran: no window, no backend, no analytics.
        EXPECT_EQ(calls.last(), "showBlockingAlert " + c.title);
        EXPECT_FALSE(calls.contains("makeMainWindowController"));
        EXPECT_FALSE(calls.contains("getRemoteSettings launch"));
        ASSERT_FALSE(deps->notices.isEmpty());
        EXPECT_TRUE(deps->notices.last().text.contains("/data/default.sqlite"));
        EXPECT_TRUE(deps->notices.last().text.contains("not been changed"));
        QCoreApplication::processEvents();
        EXPECT_FALSE(calls.contains("refreshDefaultLanguages"));
    }
}

TEST_F(AppDelegateTest, ARepairedStoreIsToldWithoutStoppingTheLaunch) {
    platform::SalvageReport counted;
    counted.movedTo = "/data/default.sqlite.damaged-1";
    counted.kept = 120;
    counted.lost = 3;
    platform::SalvageReport uncounted = counted;
    uncounted.uncounted = QStringList({"QVTranslationRealm"});
    platform::SalvageReport unreadable = counted;
    unreadable.unreadable = QStringList({"QVLanguageRealm"});
    struct Case {
        const char *name;
        QList<platform::SalvageReport> reports;
        QString expectedLost;
    } cases[] = {
        {"every loss counted", {counted}, "3 could not be read"},
        {"losses partly uncounted", {uncounted}, "at least 3 could not be read"},
        {"two repairs", {counted, counted}, "6 could not be read"},
        {"a class not read at all", {counted, unreadable}, "an unknown number could not be read"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        configure = [&c](RecordingDependencies &d) {
            d.opening = [&c] { return QVStoreOpening{{}, "/data/default.sqlite", c.reports}; };
        };
        ASSERT_TRUE(launch());
        const int notice = calls.indexOf("showNotice " + QString::fromLatin1(AppDelegate::kSalvageTitle));
        ASSERT_GE(notice, 0);
        // Acknowledged once told, so the next launch does not repeat it.
        EXPECT_EQ(calls.at(notice + 1), "acknowledgeSalvageReports");
        EXPECT_TRUE(calls.contains("makeMainWindowController"));
        EXPECT_TRUE(deps->notices.first().text.contains(c.expectedLost))
            << deps->notices.first().text.toStdString();
        EXPECT_TRUE(deps->notices.first().text.contains("/data/default.sqlite.damaged-1"));
    }
}

TEST_F(AppDelegateTest, ANewInterfaceLanguageRebuildsTheWindowAndRefreshesLanguageData) {
    ASSERT_TRUE(launch());
    // The launch's own refresh, once its first frame is drawn.
    ASSERT_TRUE(qvtest::waitUntil([&] { return calls.contains("refreshDefaultLanguages"); }));
    QPointer<QMainWindow> first = delegate->windowController()->window();
    calls.clear();
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(AppDelegate::kLanguageDidChangeNotification));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls,
              QStringList({"close 1", "makeMainWindowController", "showWindow 2",
                           "initializeDefaultLanguages", "getCrossPromoConfig", "refreshDefaultLanguages"}));
    EXPECT_TRUE(first.isNull()) << "the old window is gone";
    QMainWindow *window = delegate->windowController()->window();
    EXPECT_EQ(window->windowTitle(), "Quorvalde Translator v " + QVMUtils::getAppVersionFromBundle());
    EXPECT_TRUE(window->isVisible());
    // The menu's update check is in the new window and reaches the checker.
    ASSERT_TRUE(window->menuBar()->actions().size() == 1);
    calls.clear();
    delegate->checkForUpdatesMenuItem()->trigger();
    EXPECT_EQ(calls, QStringList({"checkForUpdates"}));
    // Without a feed the user is told, never left with nothing.
    deps->hasUpdateFeed = false;
    calls.clear();
    delegate->checkForUpdatesMenuItem()->trigger();
    EXPECT_EQ(calls, QStringList({"checkForUpdates", "showNotice Check for updates"}));
}

TEST_F(AppDelegateTest, AWindowThatCannotBeMadeIsReportedAndTheLaunchGoesOn) {
    configure = [](RecordingDependencies &d) { d.failWindow = true; };
    ASSERT_TRUE(launch());
    EXPECT_EQ(delegate->windowController(), nullptr);
    EXPECT_TRUE(calls.contains("setCustomVariables"));
    QMutexLocker lock(&reporter->mutex);
    ASSERT_FALSE(reporter->records.isEmpty());
    EXPECT_EQ(reporter->records.last().userInfo.value("message").toString(), "loadMainWindow");
}

TEST_F(AppDelegateTest, RatingPromptAnswersBecomeRateAlertEvents) {
    ASSERT_TRUE(launch());
    deps->prompt->count = 2;
    struct Case {
        const char *notification;
        QString event;
        quint64 countAfter;
    } cases[] = {
        {AppDelegate::kDidPromptForRating, "event Rate App Alert/Shown {}", 2},
        {AppDelegate::kUserDidAttemptToRateApp, "event Rate App Alert/Click Rate {}", 2},
        {AppDelegate::kUserDidDeclineToRateApp, "event Rate App Alert/Click Cancel {}", 2},
        // Asking for a reminder starts the count again.
        {AppDelegate::kUserDidRequestReminderToRateApp, "event Rate App Alert/Click Not Now {}", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.notification);
        calls.clear();
        platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(c.notification));
        EXPECT_EQ(calls, QStringList({c.event}));
        EXPECT_EQ(deps->prompt->count, c.countAfter);
    }
    // A delegate that is gone observes nothing.
    delegate.reset();
    calls.clear();
    platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(AppDelegate::kDidPromptForRating));
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(AppDelegateTest, BecomingActiveRefreshesTheProfileAndOnlyReportsAFailure) {
    ASSERT_TRUE(launch());
    delegate->attachToApplication(qGuiApp);
    calls.clear();
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_TRUE(calls.isEmpty());
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_EQ(calls, QStringList({"getUserProfile"}));
    deps->profileFailure(platform::Error(QStringLiteral("com.translator.network.response"), 401));
    QMutexLocker lock(&reporter->mutex);
    ASSERT_EQ(reporter->records.size(), 1);
    EXPECT_EQ(reporter->records.first().userInfo.value("message").toString(),
              "QVAuthRequestManager getUserSucces");
    EXPECT_TRUE(delegate->windowController()->window()->isVisible());
}

TEST_F(AppDelegateTest, ReopeningShowsTheWindowOnlyWhenNoneIsVisible) {
    ASSERT_TRUE(launch());
    QMainWindow *window = delegate->windowController()->window();
    for (bool visible : {true, false}) {
        SCOPED_TRACE(visible);
        window->setVisible(visible);
        calls.clear();
        EXPECT_EQ(delegate->applicationShouldHandleReopen(visible), !visible);
        EXPECT_EQ(calls.contains("showWindow 1"), !visible);
        EXPECT_TRUE(window->isVisible());
    }
    // A second launch's request brings a hidden window back.
    window->hide();
    delegate->activateMainWindow();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(AppDelegateTest, AnAvailableUpdateIsShownAsANoticeWithItsPage) {
    ASSERT_TRUE(launch());
    ASSERT_TRUE(deps->updateAvailable);
    calls.clear();
    deps->updateAvailable("2.5", QUrl("https://downloads.example/translator"));
    ASSERT_EQ(calls, QStringList({"showNotice An update is available"}));
    EXPECT_TRUE(deps->notices.last().text.contains("2.5"));
    EXPECT_EQ(deps->notices.last().link, QUrl("https://downloads.example/translator"));
}

TEST(AppDelegateWindow, AFrameIsClampedWidthFirstAndEachClampMovesItsOrigin) {
    const QRect available(0, 30, 1280, 770);
    struct Case {
        const char *name;
        QRect frame, expected;
    } cases[] = {
        {"fits", QRect(50, 60, 800, 600), QRect(50, 60, 800, 600)},
        {"too wide", QRect(50, 60, 1400, 600), QRect(0, 60, 1280, 600)},
        {"too tall", QRect(50, 60, 800, 900), QRect(50, 30, 800, 770)},
        {"too large", QRect(50, 60, 2000, 2000), QRect(0, 30, 1280, 770)},
        {"exactly the area", QRect(0, 30, 1280, 770), QRect(0, 30, 1280, 770)},
        {"offset screen", QRect(10, 10, 2000, 100), QRect(0, 10, 1280, 100)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AppDelegate::fittedFrame(c.frame, available), c.expected);
    }
    // A second screen's area has its own origin.
    EXPECT_EQ(AppDelegate::fittedFrame(QRect(0, 0, 3000, 500), QRect(1280, 0, 1920, 1080)),
              QRect(1280, 0, 1920, 500));
}

TEST(AppDelegateWindow, FittingKeepsTheWindowWithoutAScreenAndFitsItOnOne) {
    QMainWindow window;
    window.setGeometry(10, 10, 5000, 4000);
    AppDelegate::fitWindowToScreen(&window, nullptr);
    EXPECT_EQ(window.geometry().size(), QSize(5000, 4000));
    QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    AppDelegate::fitWindowToScreen(&window, screen);
    EXPECT_LE(window.geometry().width(), screen->availableGeometry().width());
    EXPECT_LE(window.geometry().height(), screen->availableGeometry().height());
}

TEST(LaunchHooks, AHookWithoutItsOwnerSaysSoAndOneWithItRuns) {
    auto reporter = std::make_shared<RecordingCrashReporter>();
    platform::CrashReporter::setShared(reporter);
    int ran = 0;
    QVLaunchHooks hooks;
    EXPECT_FALSE(QVLaunchHooks::run(hooks.addService, "addService"));
    hooks.startObservingShortcuts = [&ran] { ++ran; };
    EXPECT_TRUE(QVLaunchHooks::run(hooks.startObservingShortcuts, "startObservingShortcuts"));
    EXPECT_EQ(ran, 1);
    {
        QMutexLocker lock(&reporter->mutex);
        EXPECT_EQ(reporter->lines, QStringList({"[launch] addService not available"}));
    }
    platform::CrashReporter::setShared(nullptr);
}
