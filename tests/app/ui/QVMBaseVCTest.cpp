#include "ui/foundation/QVMBaseVC.h"
#include "UiTestSupport.h"
#include "app/core/TemporaryStoreTest.h"
#include "core/QVScreenPresentManager.h"
#include "core/models/QVModelRegistry.h"
#include "platform/NetworkStatus.h"
#include "platform/NotificationCenter.h"
#include "services/graphics/QVMStyleService.h"
#include "support/EventLoop.h"
#include "ui/controls/QVMProgressOverlay.h"
#include "ui/foundation/QVMInterfaceFactory.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

// Writes down every hook in order.
class RecordingVC : public QVMBaseVC {
    Q_OBJECT
public:
    explicit RecordingVC(QObject *parent = nullptr) : QVMBaseVC(parent) {}
    QStringList events;
    QList<int> statuses;
    QList<bool> themes;
    QString seguePrepared;
    QPointer<QObject> segueDestination;

protected:
    QWidget *loadView() override {
        events << QStringLiteral("loadView");
        return new QLabel(QStringLiteral("content"));
    }
    void viewDidLoad() override { events << QStringLiteral("viewDidLoad"); }
    void viewWillAppear() override { events << QStringLiteral("viewWillAppear"); }
    void viewDidAppear() override { events << QStringLiteral("viewDidAppear"); }
    void viewWillDisappear() override { events << QStringLiteral("viewWillDisappear"); }
    void viewDidDisappear() override { events << QStringLiteral("viewDidDisappear"); }
    void reachabilityDidChange(int status) override { statuses << status; }
    void didEnterBackground() override { events << QStringLiteral("didEnterBackground"); }
    void didBecomeActive() override { events << QStringLiteral("didBecomeActive"); }
    void didChangeColorTheme(bool dark) override { themes << dark; }
    void prepareForSegue(const QString &identifier, QObject *destination, QObject *) override {
        seguePrepared = identifier;
        segueDestination = destination;
    }
};

class OtherVC : public QVMBaseVC {
    Q_OBJECT
public:
    using QVMBaseVC::QVMBaseVC;
};

class BaseVCTest : public TemporaryStoreTest {
protected:
    void SetUp() override { openStore(QStringLiteral("vc.store"), QVModelRegistry::allSchemas()); }
    void TearDown() override {
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
        TemporaryStoreTest::TearDown();
    }
    static void postReachability(int status) {
        platform::NotificationCenter::defaultCenter().post(
            QString::fromLatin1(platform::NetworkStatus::kReachabilityChangedNotification),
            {{QString::fromLatin1(platform::NetworkStatus::kStatusKey), status}});
    }
    static void announceApplicationState(Qt::ApplicationState state) {
        QMetaObject::invokeMethod(qApp, "applicationStateChanged", Qt::DirectConnection,
                                  Q_ARG(Qt::ApplicationState, state));
    }
};

} // namespace

TEST_F(BaseVCTest, LoadingLogsOnceTakesTheSettingsAndDestructionLogsOnce) {
    uitest::ScopedCrashReporter reporter;
    auto *controller = new RecordingVC;
    EXPECT_FALSE(controller->isViewLoaded());
    QWidget *view = controller->view();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(controller->view(), view); // made once
    EXPECT_EQ(controller->events, QStringList({QStringLiteral("loadView"), QStringLiteral("viewDidLoad")}));
    EXPECT_EQ(controller->settings().idSetting(), 1);
    EXPECT_FALSE(controller->inBackground());
    EXPECT_EQ(reporter.countLines(QStringLiteral("[VC] viewDidLoad RecordingVC")), 1);
    EXPECT_EQ(reporter.countLines(QStringLiteral("[VC] dealloc RecordingVC")), 0);

    // Never loaded, made by name, deleted before the event loop ran: still its own class name.
    QVMInterfaceFactory factory;
    ASSERT_FALSE(factory.registerController<OtherVC>(QStringLiteral("Main"), QStringLiteral("Other")));
    delete factory.instantiateController(QStringLiteral("Main"), QStringLiteral("Other"));

    QPointer<QWidget> watchedView(view);
    delete controller;
    EXPECT_TRUE(watchedView.isNull()); // an unplaced view goes with its controller
    EXPECT_EQ(reporter.countLines(QStringLiteral("[VC] dealloc RecordingVC")), 1);
    EXPECT_EQ(reporter.countLines(QStringLiteral("[VC] dealloc OtherVC")), 1);
    EXPECT_EQ(reporter.countLines(QStringLiteral("[VC] viewDidLoad OtherVC")), 0);
}

TEST_F(BaseVCTest, ShowingAndHidingRunTheHooksInPairsAndFreeTheScreenSlot) {
    RecordingVC controller;
    QWidget *view = controller.view();
    controller.events.clear();
    auto &arbiter = QVScreenPresentManager::shared();
    const unsigned savedMode = arbiter.screenMode();
    arbiter.setScreenMode(QVScreenPresentManager::kWorkingMode);
    ASSERT_TRUE(arbiter.canShowScreenType(QVScreenPresentManager::ScreenTypeInformational));

    view->show();
    EXPECT_EQ(controller.events, QStringList{QStringLiteral("viewWillAppear")});
    ASSERT_TRUE(qvtest::waitUntil([&] { return controller.events.size() == 2; }));
    EXPECT_EQ(controller.events.last(), QStringLiteral("viewDidAppear"));
    view->show(); // already on screen: nothing
    view->hide();
    EXPECT_EQ(controller.events,
              QStringList({QStringLiteral("viewWillAppear"), QStringLiteral("viewDidAppear"),
                           QStringLiteral("viewWillDisappear"), QStringLiteral("viewDidDisappear")}));
    EXPECT_FALSE(arbiter.presented()); // closing a screen lets the next one show
    view->hide();
    EXPECT_EQ(controller.events.size(), 4);

    // Shown and hidden again before the loop turns: no late viewDidAppear.
    view->show();
    view->hide();
    qvtest::spin(20);
    EXPECT_EQ(controller.events.count(QStringLiteral("viewDidAppear")), 1);
    EXPECT_EQ(controller.events.count(QStringLiteral("viewWillAppear")), 2);
    EXPECT_EQ(controller.events.count(QStringLiteral("viewDidDisappear")), 2);
    arbiter.setScreenMode(savedMode);
}

TEST_F(BaseVCTest, ReachabilityChangesReachTheHookAndUnreachableIsLogged) {
    uitest::ScopedCrashReporter reporter;
    RecordingVC controller;
    postReachability(0); // not loaded yet: not listening
    controller.view();
    postReachability(0);
    postReachability(2);
    postReachability(1);
    EXPECT_EQ(controller.statuses, QList<int>({0, 2, 1}));
    EXPECT_EQ(reporter.countLines(QStringLiteral("Unreachable")), 1);

    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    EXPECT_FALSE(controller.isNetworkAvailableNoMessage());
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::ReachableViaWiFi);
    EXPECT_TRUE(controller.isNetworkAvailableNoMessage());
    platform::NetworkStatus::shared().setOverride(std::nullopt);
}

TEST_F(BaseVCTest, ApplicationStateSetsAndClearsInBackground) {
    RecordingVC controller;
    controller.view();
    controller.events.clear();
    announceApplicationState(Qt::ApplicationInactive);
    EXPECT_TRUE(controller.inBackground());
    announceApplicationState(Qt::ApplicationHidden); // still away: no second call
    announceApplicationState(Qt::ApplicationActive);
    EXPECT_FALSE(controller.inBackground());
    announceApplicationState(Qt::ApplicationActive);
    EXPECT_EQ(controller.events,
              QStringList({QStringLiteral("didEnterBackground"), QStringLiteral("didBecomeActive")}));
}

TEST_F(BaseVCTest, ThemeChangesReachOnlyObservingControllers) {
    RecordingVC observing, ignoring;
    observing.view();
    ignoring.view();
    observing.observeThemeColor();
    observing.observeThemeColor(); // twice is once
    auto &style = QVMStyleService::shared();
    const bool initiallyDark = QVMStyleService::isDarkMode();
    style.setDesktopColorScheme(initiallyDark ? QVMStyleService::ColorScheme::Light
                                              : QVMStyleService::ColorScheme::Dark);
    style.setDesktopColorScheme(initiallyDark ? QVMStyleService::ColorScheme::Dark
                                              : QVMStyleService::ColorScheme::Light);
    EXPECT_EQ(observing.themes, QList<bool>({!initiallyDark, initiallyDark}));
    EXPECT_TRUE(ignoring.themes.isEmpty());

    observing.cancelObserveThemeColor();
    observing.cancelObserveThemeColor(); // cancelling again is harmless
    EXPECT_FALSE(observing.isObservingThemeColor());
    style.setDesktopColorScheme(initiallyDark ? QVMStyleService::ColorScheme::Light
                                              : QVMStyleService::ColorScheme::Dark);
    EXPECT_EQ(observing.themes.size(), 2);
}

TEST_F(BaseVCTest, ModalPresentationOwnsThePresentedUntilItsWindowCloses) {
    RecordingVC presenter;
    presenter.view()->setGeometry(300, 200, 600, 400);
    presenter.view()->show();
    EXPECT_FALSE(presenter.showModalViewController(nullptr));

    QPointer<RecordingVC> presented = new RecordingVC;
    ASSERT_TRUE(presenter.showModalViewController(presented));
    EXPECT_EQ(presented->parent(), &presenter);
    EXPECT_EQ(presented->presentingViewController(), &presenter);
    EXPECT_EQ(presenter.presentedViewControllers(), QList<QVMBaseVC *>{presented.data()});
    QWidget *window = presented->view();
    EXPECT_TRUE(window->isWindow());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(window->parentWidget(), presenter.view()->window());
    const QPoint offCentre =
        window->geometry().center() - presenter.view()->window()->frameGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);

    window->close(); // the user closes the modal window
    EXPECT_TRUE(qvtest::waitUntil([&] { return presented.isNull(); }));
    EXPECT_TRUE(presenter.presentedViewControllers().isEmpty());

    QPointer<RecordingVC> second = new RecordingVC;
    ASSERT_TRUE(presenter.showModalViewController(second));
    second->dismissController();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(second.isNull());
}

TEST_F(BaseVCTest, SeguesMakePrepareAndPresentTheirDestination) {
    auto &factory = QVMInterfaceFactory::shared();
    ASSERT_FALSE(factory.registerSegue<OtherVC>(QStringLiteral("testModalSegue"),
                                                QVMInterfaceFactory::SegueKind::Modal));
    ASSERT_FALSE(factory.registerSegue<OtherVC>(QStringLiteral("testWindowSegue"),
                                                QVMInterfaceFactory::SegueKind::Show));
    ASSERT_FALSE(factory.registerSegue(
        QStringLiteral("testPlainSegue"), [](QObject *parent) { return new QObject(parent); },
        QVMInterfaceFactory::SegueKind::Show));
    RecordingVC source;
    source.view()->show();

    EXPECT_EQ(source.performSegueWithIdentifier(QStringLiteral("kWebPageControllerSegue")).code(),
              QVMInterfaceFactory::UnknownIdentifier);
    EXPECT_TRUE(source.seguePrepared.isEmpty());

    EXPECT_FALSE(source.performSegueWithIdentifier(QStringLiteral("testModalSegue")));
    EXPECT_EQ(source.seguePrepared, QStringLiteral("testModalSegue"));
    auto *modal = qobject_cast<OtherVC *>(source.segueDestination);
    ASSERT_NE(modal, nullptr);
    EXPECT_EQ(modal->presentingViewController(), &source);
    EXPECT_EQ(modal->view()->windowModality(), Qt::ApplicationModal);
    modal->dismissController();

    EXPECT_FALSE(source.performSegueWithIdentifier(QStringLiteral("testWindowSegue")));
    auto *window = qobject_cast<OtherVC *>(source.segueDestination);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->view()->isWindow());
    EXPECT_TRUE(window->view()->isVisible());
    EXPECT_EQ(window->view()->windowModality(), Qt::NonModal);
    EXPECT_EQ(window->parent(), &source);

    // A destination that cannot show itself is an error and is not kept.
    const platform::Error error = source.performSegueWithIdentifier(QStringLiteral("testPlainSegue"));
    EXPECT_EQ(error.code(), QVMInterfaceFactory::WrongType);
    EXPECT_TRUE(source.segueDestination.isNull());

    for (const char *segue : {"testModalSegue", "testWindowSegue", "testPlainSegue"})
        factory.removeSegue(QString::fromLatin1(segue));
}

TEST_F(BaseVCTest, ResizeToFitKeepsTheAspectAndTestsTheWidthFirst) {
    const struct {
        QSize view;
        QSizeF target;
        QMarginsF insets;
        QSizeF expected;
    } cases[] = {
        {{800, 600}, {400, 1000}, {}, {400, 300}},
        {{300, 600}, {400, 300}, {}, {150, 300}},
        {{800, 600}, {400, 100}, {}, {400, 300}},              // too wide and too tall: by width only
        {{800, 600}, {420, 1000}, {10, 0, 10, 0}, {400, 300}}, // left and right insets
        {{300, 600}, {400, 320}, {0, 10, 0, 10}, {150, 300}},  // top and bottom insets
        {{300, 200}, {400, 300}, {}, {77, 55}},                // fits: left as it was
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(c.view.width()).arg(c.view.height()).toStdString());
        RecordingVC controller;
        controller.setPreferredContentSize(QSizeF(77, 55));
        controller.view()->resize(c.view);
        controller.resizeToFitInSize(c.target, c.insets);
        EXPECT_EQ(controller.preferredContentSize(), c.expected);
    }
    RecordingVC unloaded; // no view: 0 x 0 always fits
    unloaded.setPreferredContentSize(QSizeF(5, 5));
    unloaded.resizeToFitInSize(QSizeF(1, 1));
    EXPECT_EQ(unloaded.preferredContentSize(), QSizeF(5, 5));
}

TEST_F(BaseVCTest, SpinnerFromTheControllerCoversItsView) {
    RecordingVC controller;
    controller.view()->resize(200, 100);
    controller.view()->show();
    controller.showSpinner();
    EXPECT_TRUE(
        qvtest::waitUntil([&] { return QVMProgressOverlay::HUDForView(controller.view()) != nullptr; }));
    controller.hideSpinner();
    EXPECT_TRUE(
        qvtest::waitUntil([&] { return QVMProgressOverlay::HUDForView(controller.view()) == nullptr; }));

    controller.removeWindowButtonsAndTitle();
    const Qt::WindowFlags flags = controller.view()->window()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(controller.view()->window()->windowTitle().isEmpty());
}

TEST_F(BaseVCTest, DroppingTheTitleBarWhileShowingIsStillOneShowing) {
    struct Case {
        const char *name;
        bool shownFirst;
    } cases[] = {{"while the window shows", true}, {"before it shows", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingVC controller;
        controller.view()->resize(200, 100);
        if (c.shownFirst)
            controller.view()->show();
        controller.removeWindowButtonsAndTitle();
        controller.view()->show();
        qvtest::spin(20);
        EXPECT_TRUE(controller.view()->isVisible());
        EXPECT_EQ(controller.events.count(QStringLiteral("viewWillAppear")), 1);
        EXPECT_EQ(controller.events.count(QStringLiteral("viewDidAppear")), 1);
        EXPECT_EQ(controller.events.count(QStringLiteral("viewWillDisappear")), 0);
    }
}

#include "QVMBaseVCTest.moc"
