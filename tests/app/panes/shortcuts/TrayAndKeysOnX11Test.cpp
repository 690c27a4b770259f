#include "ShortcutsTestSupport.h"
#include "X11KeyHolder.h"

#include "panes/shortcuts/QVMShortcutsSettingsViewController.h"
#include "services/graphics/QVMStyleService.h"
#include "services/shortcuts/QVMX11ShortcutBackend.h"
#include "support/ChildProcess.h"
#include "support/FakeBackend.h"
#include "support/FakeNotifications.h"
#include "support/PrivateBus.h"
#include "support/ScopedBackendHosts.h"
#include "support/XvfbSession.h"
#include "ui/style/QVMColor.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QToolButton>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

using namespace shortcutstest;

namespace {

bool xdotool(const QStringList &arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

void screenshot(const QString &name) {
    const QString folder = qEnvironmentVariable("QV_SHOT_DIR");
    if (folder.isEmpty())
        return;
    qvtest::spin(300);
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"), QDir(folder).filePath(name)});
}

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QVMColor::windowBackgroundDarkColor());
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QVMColor::panelBackgroundDarkColor());
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, QVMColor::buttonDarkColor());
    palette.setColor(QPalette::ButtonText, Qt::white);
    return palette;
}

class RecordingUrls : public QObject {
    Q_OBJECT
public:
    RecordingUrls() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~RecordingUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

// Runs one child test on a display of its own; its output, or empty when it failed.
QByteArray runOnX11(const QString &test, qvtest::XvfbSession::Tray tray, const QVariantMap &extra = {}) {
    qvtest::XvfbSession x11(tray);
    if (!x11.isRunning())
        return "no Xvfb";
    QVariantMap environment = x11.childEnvironment();
    environment.insert(extra);
    auto child = qvtest::startChildTest(test, environment);
    return qvtest::finishChild(*child, 60000);
}

} // namespace

// ---- children: run with DISPLAY on a server of the parent's -------------------------------

TEST_F(ShortcutsTest, DISABLED_TrayClickOpensThePopover) {
    ASSERT_TRUE(qvtest::waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000));
    openWindow();
    QSystemTrayIcon *icon = QVMStatusItem::sharedInstance().statusItem();
    ASSERT_TRUE(icon);
    ASSERT_TRUE(
        qvtest::waitUntil([&] { return icon->geometry().isValid() && !icon->geometry().isEmpty(); }, 10000));
    // Without a window manager the main window would cover the tray panel.
    window->window()->setGeometry(20, 60, 760, 520);
    // The tray embeds the icon a moment after announcing where it is.
    qvtest::spin(500);
    screenshot(QStringLiteral("tray-icon.png"));
    const QPoint centre = icon->geometry().center();
    printf("icon=%d,%d %dx%d\n", icon->geometry().x(), icon->geometry().y(), icon->geometry().width(),
           icon->geometry().height());
    ASSERT_TRUE(
        xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"}));
    ASSERT_TRUE(
        qvtest::waitUntil([] { return QVMStatusItem::sharedInstance().isStatusItemWindowVisible(); }));
    QWidget *statusWindow = QVMStatusItem::sharedInstance().statusItemWindow();
    // Under the icon, inside the screen.
    EXPECT_GE(statusWindow->geometry().top(), icon->geometry().bottom());
    QVMGenaralPopoverViewController *shown = shownPopover();
    ASSERT_TRUE(shown);
    // Keyboard only: the source panel has the focus on opening; typing translates after the pause.
    ASSERT_TRUE(qvtest::waitUntil([&] { return shown->originalTextView()->hasFocus(); }));
    ASSERT_TRUE(xdotool({"type", "--delay", "20", "Good morning"}));
    ASSERT_TRUE(qvtest::waitUntil([&] { return !online->calls.isEmpty(); }));
    answer(0, QStringLiteral("Guten Morgen"), nowId());
    screenshot(QStringLiteral("popover-light.png"));
    ASSERT_TRUE(xdotool({"key", "Tab", "Tab"}));
    qvtest::spin(100);
    EXPECT_EQ(QApplication::focusWidget(), shown->clearButton());
    screenshot(QStringLiteral("popover-light-focus-clear.png"));
    QApplication::setPalette(darkPalette());
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::Dark);
    screenshot(QStringLiteral("popover-dark.png"));
    shown->toButton()->click();
    ASSERT_TRUE(qvtest::waitUntil([] {
        return QVMStatusItem::sharedInstance().contentViewController() != nullptr &&
               QString::fromLatin1(
                   QVMStatusItem::sharedInstance().contentViewController()->metaObject()->className()) ==
                   QLatin1String("QVMLanguagesPopoverViewController");
    }));
    ASSERT_TRUE(xdotool({"key", "Down", "Down"}));
    screenshot(QStringLiteral("languages-dark.png"));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(
        qvtest::waitUntil([&] { return QVMStatusItem::sharedInstance().contentViewController() == shown; }));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(
        qvtest::waitUntil([] { return !QVMStatusItem::sharedInstance().isStatusItemWindowVisible(); }));
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
    printf("tray-click-opened\n");
}

TEST_F(ShortcutsTest, DISABLED_GlobalKeysOnX11) {
    ASSERT_TRUE(QVMX11ShortcutBackend::isUsable());
    qvtest::FakeBackend backend;
    qvtest::ScopedBackendHosts hosts(backend.baseUrl());
    backend.route("POST", QStringLiteral("/translateWebpageAPI/"),
                  qvtest::FakeReply::json({{"result", "https://translated.example/page"}}));
    RecordingUrls urls;
    service().setSelectionReader(&QVMKeyboardShortcutsService::readSelectionOrClipboard);
    // The session bus is the parent's private one: the desktop's notifications are served here.
    qvtest::FakeNotifications notifications;
    ASSERT_TRUE(notifications.start(QDBusConnection::connectToBus(
        qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("desktop"))));
    // Another program holds Ctrl+F1 before the service starts (F1 is keycode 67 on Xvfb's map).
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_setup_t *setup = xcb_get_setup(other);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    xcb_grab_key(other, 1, root, XCB_MOD_MASK_CONTROL, 67, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_flush(other);
    qvtest::spin(100);
    openWindow();
    service().startObserving();
    ASSERT_EQ(service().backend()->kind(), QVMGlobalShortcutBackend::Kind::X11KeyGrabs);
    ASSERT_TRUE(qvtest::waitUntil([] { return !service().conflictLines().isEmpty(); }));
    printf("conflict=%s\n", qPrintable(service().conflictLines().join('|')));
    ASSERT_TRUE(qvtest::waitUntil([&] { return !notifications.shown.isEmpty(); }));
    qvtest::spin(50);
    printf("notifications=%s alerts=%d\n", qPrintable(notifications.shown.join('|')),
           int(alerts->shown.size()));

    QGuiApplication::clipboard()->setText(QStringLiteral("https://example.org/a"));
    // The held key is dead; the fixed one for the same action still works.
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+Left"}));
    ASSERT_TRUE(qvtest::waitUntil([&] { return !urls.opened.isEmpty(); }, 10000));
    printf("requests=%d from=%s to=%s opened=%s\n",
           int(backend.requests("POST", QStringLiteral("/translateWebpageAPI/")).size()),
           qPrintable(backend.lastRequest().jsonObject().value("from").toString()),
           qPrintable(backend.lastRequest().jsonObject().value("to").toString()),
           qPrintable(urls.opened.first().toString()));

    QGuiApplication::clipboard()->setText(QStringLiteral("Good evening"));
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+Right"}));
    ASSERT_TRUE(qvtest::waitUntil([&] { return !online->calls.isEmpty(); }, 10000));
    printf("agent=%s shown=%d\n", qPrintable(online->calls.last().text),
           int(QVMStatusItem::sharedInstance().isStatusItemWindowVisible()));
    xcb_disconnect(other);
}

// Another client holds both fixed keys: the shortcuts tab says so, light and dark.
TEST_F(ShortcutsTest, DISABLED_HeldFixedKeysInTheTab) {
    ASSERT_TRUE(QVMX11ShortcutBackend::isUsable());
    qvtest::X11KeyHolder other;
    ASSERT_TRUE(other.isHolding());
    qvtest::spin(100);
    service().startObserving();
    ASSERT_TRUE(qvtest::waitUntil([] { return service().conflictLines().size() == 2; }));
    QVMShortcutsSettingsViewController tab;
    tab.view()->setGeometry(40, 40, 620, 420);
    tab.view()->show();
    printf("status=%s\n", qPrintable(tab.statusLabel()->text().replace('\n', '|')));
    screenshot(QStringLiteral("shortcuts-held-light.png"));
    QApplication::setPalette(darkPalette());
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::Dark);
    screenshot(QStringLiteral("shortcuts-held-dark.png"));
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
    printf("alerts=%d\n", int(alerts->shown.size()));
}

// ---- parents ---------------------------------------------------------------------------

TEST(TrayOnX11Test, AClickOnTheTrayIconOpensThePopover) {
    if (QProcess::execute(QStringLiteral("sh"), {"-c", "command -v Xvfb trayer xdotool >/dev/null"}) != 0)
        GTEST_SKIP() << "needs Xvfb, trayer and xdotool";
    const QByteArray out =
        runOnX11(QStringLiteral("ShortcutsTest.DISABLED_TrayClickOpensThePopover"),
                 qvtest::XvfbSession::WithTray, {{"QV_SHOT_DIR", qEnvironmentVariable("QV_SHOT_DIR")}});
    EXPECT_TRUE(out.contains("tray-click-opened")) << out.constData();
}

TEST(TrayOnX11Test, KeyGrabsTranslateThePageOpenThePopoverAndReportAHeldKey) {
    if (QProcess::execute(QStringLiteral("sh"), {"-c", "command -v Xvfb xdotool >/dev/null"}) != 0)
        GTEST_SKIP() << "needs Xvfb and xdotool";
    qvtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    const QByteArray out =
        runOnX11(QStringLiteral("ShortcutsTest.DISABLED_GlobalKeysOnX11"), qvtest::XvfbSession::NoTray,
                 {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}});
    EXPECT_TRUE(out.contains("conflict=Ctrl+F1 is taken by another program: choose another\n"))
        << out.constData();
    EXPECT_TRUE(out.contains(
        "notifications=Quorvalde Translator|Ctrl+F1 is taken by another program: choose another alerts=0\n"))
        << out.constData();
    EXPECT_TRUE(out.contains("requests=1 from=en_GB to=de_DE opened=https://translated.example/page\n"))
        << out.constData();
    EXPECT_TRUE(out.contains("agent=Good evening shown=1\n")) << out.constData();
}

TEST(TrayOnX11Test, FixedKeysHeldByAnotherProgramAreNamedInTheTabWithoutABox) {
    if (QProcess::execute(QStringLiteral("sh"), {"-c", "command -v Xvfb >/dev/null"}) != 0)
        GTEST_SKIP() << "needs Xvfb";
    const QByteArray out =
        runOnX11(QStringLiteral("ShortcutsTest.DISABLED_HeldFixedKeysInTheTab"), qvtest::XvfbSession::NoTray,
                 {{"QV_SHOT_DIR", qEnvironmentVariable("QV_SHOT_DIR")}});
    const QByteArray held =
        " is taken by another program: free it in your desktop's keyboard settings to use it here";
    EXPECT_TRUE(
        out.contains("status=Active: X11 key grabs|Ctrl+Alt+Left" + held + "|Ctrl+Alt+Right" + held + "\n"))
        << out.constData();
    EXPECT_TRUE(out.contains("alerts=0\n")) << out.constData();
}

#include "TrayAndKeysOnX11Test.moc"
