// A tray that comes up after the program (a panel started late, the tray
// switch turned on later) gets the icon then, without a restart.
#include "app/core/RecordingCrashReporter.h"
#include "panes/popover/QVMStatusItem.h"
#include "panes/popover/QVMTrayHostWatcher.h"
#include "support/ChildProcess.h"
#include "support/EventLoop.h"
#include "support/PrivateBus.h"
#include "support/XvfbSession.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QProcess>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

namespace {

QImage trayImage() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::darkBlue);
    return image;
}

class StatusItemTrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        reporter = std::make_shared<RecordingCrashReporter>();
        platform::CrashReporter::setShared(reporter);
        QVMStatusItem::setTrayAvailabilityCheck([this] { return trayUp; });
    }
    void TearDown() override {
        QVMStatusItem::sharedInstance().reset();
        QVMStatusItem::setTrayAvailabilityCheck({});
        platform::CrashReporter::setShared(nullptr);
    }
    // What the watcher says when a status-notifier host registers or the X11 poll ticks.
    static void trayHostSignal() {
        if (QVMTrayHostWatcher *watcher = QVMStatusItem::sharedInstance().trayHostWatcher())
            emit watcher->trayHostMayHaveAppeared();
    }

    std::shared_ptr<RecordingCrashReporter> reporter;
    bool trayUp = false;
};

} // namespace

TEST_F(StatusItemTrayTest, TheIconAppearsWhenATrayComesUpAndOnlyIfWanted) {
    struct Case {
        const char *name;
        bool wantedAtStart;
        std::function<void()> afterTrayUp; // what brings the icon
        bool icon;
    };
    const Case cases[] = {
        {"a tray host starts later", true, [] { trayHostSignal(); }, true},
        {"the switch is turned on later", false,
         [] { QVMStatusItem::sharedInstance().setStatusItemVisible(true); }, true},
        {"a tray starts while the switch is off", false, [] { trayHostSignal(); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVMStatusItem &item = QVMStatusItem::sharedInstance();
        item.reset();
        reporter->lines.clear();
        trayUp = false;
        item.setStatusItemVisible(c.wantedAtStart);
        item.presentStatusItemWithImage(trayImage(), nullptr);
        ASSERT_FALSE(item.statusItem());
        EXPECT_EQ(item.isWaitingForTray(), c.wantedAtStart);
        // A look that still finds no tray keeps waiting.
        trayHostSignal();
        EXPECT_FALSE(item.statusItem());
        EXPECT_EQ(item.isWaitingForTray(), c.wantedAtStart);

        trayUp = true;
        c.afterTrayUp();
        ASSERT_EQ(item.statusItem() != nullptr, c.icon);
        EXPECT_FALSE(item.isWaitingForTray());
        if (c.icon) {
            EXPECT_TRUE(item.isStatusItemVisible());
            EXPECT_EQ(item.statusItem()->icon().pixmap(32).toImage().pixelColor(16, 16),
                      QColor(Qt::darkBlue));
        }
        EXPECT_EQ(reporter->lines.filter(QStringLiteral("[tray] no system tray")).size(), 1)
            << "one line, not one per look";
    }
}

// The window's content costs nothing until the window first shows it.
TEST_F(StatusItemTrayTest, TheContentIsBuiltWhenTheWindowFirstShowsIt) {
    QVMStatusItem &item = QVMStatusItem::sharedInstance();
    auto *content = new QVMBaseVC;
    item.presentStatusItemWithImage(trayImage(), content);
    EXPECT_FALSE(content->isViewLoaded());
    item.showStatusItemWindow();
    ASSERT_TRUE(content->isViewLoaded());
    EXPECT_TRUE(content->view()->isVisible());
    EXPECT_EQ(content->view()->window(), item.statusItemWindow());
    item.dismissStatusItemWindow();
}

TEST(QVMTrayHostWatcher, SignalsAStatusNotifierHostOrThePollOnlyWhileWatching) {
    qvtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QVMTrayHostWatcher watcher(bus.connect(QStringLiteral("app")), false);
    int heard = 0;
    QObject::connect(&watcher, &QVMTrayHostWatcher::trayHostMayHaveAppeared, [&heard] { ++heard; });
    QDBusConnection host = bus.connect(QStringLiteral("host"));
    const QString name = QString::fromLatin1(QVMTrayHostWatcher::kWatcherService);

    ASSERT_TRUE(host.registerService(name)); // before watching: not told
    qvtest::spin(100);
    EXPECT_EQ(heard, 0);
    host.unregisterService(name);

    // A host that comes up while the watch is being set up may be told twice, never missed.
    watcher.start();
    ASSERT_TRUE(host.registerService(name));
    ASSERT_TRUE(qvtest::waitUntil([&heard] { return heard >= 1; }));
    qvtest::spin(50);
    host.unregisterService(name);
    watcher.stop();
    const int heardWhileWatching = heard;
    ASSERT_TRUE(host.registerService(name));
    qvtest::spin(100);
    EXPECT_EQ(heard, heardWhileWatching);

    // A host already up when the watch starts is told once.
    heard = 0;
    watcher.start();
    ASSERT_TRUE(qvtest::waitUntil([&heard] { return heard == 1; }));
    watcher.stop();
    host.unregisterService(name);

    QVMTrayHostWatcher polling(bus.connect(QStringLiteral("x11")), true);
    polling.setPollInterval(10);
    int ticks = 0;
    QObject::connect(&polling, &QVMTrayHostWatcher::trayHostMayHaveAppeared, [&ticks] { ++ticks; });
    polling.start();
    ASSERT_TRUE(qvtest::waitUntil([&ticks] { return ticks >= 2; }));
    polling.stop();
    const int stopped = ticks;
    qvtest::spin(50);
    EXPECT_EQ(ticks, stopped);
}

// ---- on a real X server: the child runs the program's side, the parent starts the tray late ----

TEST(StatusItemOnX11Child, DISABLED_IconAppearsWhenTheTrayStartsLate) {
    QVMStatusItem &item = QVMStatusItem::sharedInstance();
    item.presentStatusItemWithImage(trayImage(), nullptr);
    ASSERT_FALSE(item.statusItem()) << "a tray before the parent started one";
    ASSERT_TRUE(item.isWaitingForTray());
    item.trayHostWatcher()->setPollInterval(200);
    printf("waiting-for-tray\n");
    fflush(stdout);
    ASSERT_TRUE(qvtest::waitUntil([&item] { return item.statusItem() != nullptr; }, 20000));
    EXPECT_TRUE(item.isStatusItemVisible());
    EXPECT_FALSE(item.isWaitingForTray());
    const QString shots = qEnvironmentVariable("QV_SHOT_DIR");
    if (!shots.isEmpty()) {
        qvtest::spin(500); // the tray embeds the icon a moment after announcing it
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                     shots + QStringLiteral("/tray-started-late.png")});
    }
    printf("icon-shown\n");
    item.reset();
}

TEST(StatusItemOnX11, ATrayStartedAfterTheProgramGetsTheIcon) {
    if (QProcess::execute(QStringLiteral("sh"), {"-c", "command -v Xvfb trayer >/dev/null"}) != 0)
        GTEST_SKIP() << "needs Xvfb and trayer";
    qvtest::XvfbSession x11(qvtest::XvfbSession::NoTray);
    ASSERT_TRUE(x11.isRunning());
    QVariantMap environment = x11.childEnvironment();
    environment.insert(QStringLiteral("QV_SHOT_DIR"), qEnvironmentVariable("QV_SHOT_DIR"));
    auto child = qvtest::startChildTest(
        QStringLiteral("StatusItemOnX11Child.DISABLED_IconAppearsWhenTheTrayStartsLate"), environment);
    ASSERT_TRUE(qvtest::waitUntil(
        [&child] {
            child->waitForReadyRead(50);
            return child->peek(4096).contains("waiting-for-tray") || child->state() == QProcess::NotRunning;
        },
        30000));
    ASSERT_TRUE(x11.startTray());
    const QByteArray out = qvtest::finishChild(*child, 40000);
    EXPECT_TRUE(out.contains("icon-shown")) << out.constData();
}
