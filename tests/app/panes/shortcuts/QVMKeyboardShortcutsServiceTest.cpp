#include "ShortcutsTestSupport.h"
#include "support/FakeNotifications.h"
#include "support/PrivateBus.h"

#include "core/localization/QVLocalizedString.h"

#include "support/FakeBackend.h"
#include "support/ScopedBackendHosts.h"

#include <QApplication>
#include <QDesktopServices>

#include <gtest/gtest.h>

using namespace shortcutstest;

namespace {

// Opens nothing: remembers the addresses the program asked the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        for (const char *scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~UrlRecorder() override {
        for (const char *scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

} // namespace

TEST_F(ShortcutsTest, AnUnreadableStoredShortcutFallsBackToTheDefaultOnce) {
    const QVariant values[] = {QStringLiteral("Ctrl+Banana"), QByteArray("\x01\x02"),
                               QStringLiteral("Ctrl+A, Ctrl+B"), QString()};
    uitest::ScopedCrashReporter log;
    for (const QVariant &value : values) {
        SCOPED_TRACE(value.toString().toStdString());
        defaults().setObject(value, QLatin1String(QVMKeyboardShortcutsService::kCustomShortcut));
        EXPECT_EQ(service().customShortcut().toString(QKeySequence::PortableText), QStringLiteral("Ctrl+F1"));
    }
    defaults().setObject(QStringLiteral("Ctrl+Shift+F5"),
                         QLatin1String(QVMKeyboardShortcutsService::kCustomShortcut));
    EXPECT_EQ(service().customShortcut().toString(QKeySequence::PortableText),
              QStringLiteral("Ctrl+Shift+F5"));
    EXPECT_LE(
        log.countLines(QStringLiteral("[shortcuts] the stored custom shortcut is unreadable: using Ctrl+F1")),
        1);
}

TEST_F(ShortcutsTest, EachSwitchLeavesTheOtherShortcutsBound) {
    struct Case {
        bool custom, fixed;
        QStringList bound;
    } cases[] = {
        {false, false, {}},
        {true, false, {"custom=Ctrl+F1"}},
        {false, true, {"translate-web-page=Ctrl+Alt+Left", "show-agent=Ctrl+Alt+Right"}},
        {true, true, {"custom=Ctrl+F1", "translate-web-page=Ctrl+Alt+Left", "show-agent=Ctrl+Alt+Right"}},
    };
    RecordingBackend *backend = observeWithRecorder();
    // Nothing stored: the registered values bind all three at once.
    EXPECT_EQ(backend->boundKeys(), cases[3].bound);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bound.join(' ').toStdString());
        defaults().setBool(c.custom, QLatin1String(QVMKeyboardShortcutsService::kCustomShortcutEnabled));
        defaults().setBool(c.fixed, QLatin1String(QVMKeyboardShortcutsService::kHardcodedShortcutEnabled));
        EXPECT_EQ(backend->boundKeys(), c.bound);
    }
    defaults().setObject(QStringLiteral("Alt+F9"),
                         QLatin1String(QVMKeyboardShortcutsService::kCustomShortcut));
    EXPECT_EQ(backend->boundKeys().first(), QStringLiteral("custom=Alt+F9"));
}

TEST_F(ShortcutsTest, AShortcutHeldElsewhereIsAnnouncedOnceAndTheOthersStay) {
    qvtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    qvtest::FakeNotifications notifications;
    ASSERT_TRUE(notifications.start(bus.connect(QStringLiteral("desktop"))));
    service().setNotificationBus(bus.connect(QStringLiteral("app")));
    RecordingBackend *backend = observeWithRecorder();
    backend->holdElsewhere({QStringLiteral("custom")});
    backend->holdElsewhere({QStringLiteral("custom"), QStringLiteral("show-agent")});
    backend->holdElsewhere({QStringLiteral("custom"), QStringLiteral("show-agent")});
    const QString custom = QStringLiteral("Ctrl+F1 is taken by another program: choose another");
    // A fixed key cannot be chosen: the line says where it can be freed instead.
    const QString agent = QStringLiteral("Ctrl+Alt+Right is taken by another program: free it in your "
                                         "desktop's keyboard settings to use it here");
    const QString title = QStringLiteral("Quorvalde Translator|");
    ASSERT_TRUE(qvtest::waitUntil([&] { return notifications.shown.size() == 2; }));
    qvtest::spin(20);
    EXPECT_EQ(notifications.shown, (QStringList{title + custom, title + agent}));
    EXPECT_TRUE(alerts->shown.isEmpty());
    EXPECT_EQ(service().conflictLines(), (QStringList{custom, agent}));
    EXPECT_EQ(service().statusText(), QStringLiteral("Active: X11 key grabs"));
    // The shortcut nobody else holds still runs its action.
    selection = QStringLiteral("no address");
    notices.clear();
    backend->press(QStringLiteral("translate-web-page"));
    EXPECT_EQ(notices, QStringList{QStringLiteral("The clipboard holds no web address")});
}

// Keys found held as the shortcuts start are told in one notice, or only in the tab and the log
// where the desktop shows no notifications: never in a box, which would hold the start up.
TEST_F(ShortcutsTest, KeysHeldAtStartAreToldOnceAndNeverInABox) {
    struct Case {
        const char *name;
        bool notificationService;
        int notifications;
        int logLines;
    } cases[] = {
        {"no notification service", false, 0, 1},
        {"a notification service", true, 1, 0},
    };
    const QString both = QStringLiteral(
        "Ctrl+Alt+Left is taken by another program: free it in your desktop's keyboard settings "
        "to use it here\nCtrl+Alt+Right is taken by another program: free it in your desktop's "
        "keyboard settings to use it here");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::PrivateBus bus;
        ASSERT_TRUE(bus.isRunning());
        qvtest::FakeNotifications notifications;
        if (c.notificationService) {
            ASSERT_TRUE(notifications.start(bus.connect(QStringLiteral("desktop"))));
        }
        service().setNotificationBus(bus.connect(QStringLiteral("app")));
        uitest::ScopedCrashReporter log;
        RecordingBackend *backend = observeWithRecorder();
        backend->holdElsewhere({QStringLiteral("translate-web-page"), QStringLiteral("show-agent")});
        const QString logLine =
            QStringLiteral("[shortcuts] no desktop notifications here; the shortcuts tab says: ");
        ASSERT_TRUE(qvtest::waitUntil([&] {
            return notifications.shown.size() == c.notifications &&
                   log.countLines(logLine + QString(both).replace('\n', QStringLiteral("; "))) == c.logLines;
        })) << notifications.shown.join(',').toStdString();
        qvtest::spin(20);
        EXPECT_EQ(notifications.shown, c.notifications
                                           ? QStringList{QStringLiteral("Quorvalde Translator|") + both}
                                           : QStringList());
        EXPECT_TRUE(alerts->shown.isEmpty());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(service().conflictLines().join('\n'), both);
        service().stopObserving();
        service().setBackend(nullptr);
    }
}

TEST_F(ShortcutsTest, TheWebPageShortcutOpensOnlyAWebAddressOfTheTranslatedPage) {
    struct Case {
        const char *name;
        QString selection;
        qvtest::FakeReply reply;
        int requests;
        QStringList opened;
        QString notice;
    } cases[] = {
        {"a plain word",
         "hello",
         qvtest::FakeReply::json({{"result", "https://t.example/x"}}),
         0,
         {},
         "The clipboard holds no web address"},
        {"a file address",
         "file:///etc/passwd",
         qvtest::FakeReply::json({{"result", "https://t.example/x"}}),
         0,
         {},
         "The clipboard holds no web address"},
        {"page address not on the web",
         "https://example.org/a",
         qvtest::FakeReply::json({{"result", "javascript:alert(1)"}}),
         1,
         {},
         "The translated page cannot be opened"},
        {"backend fails", "https://example.org/a", qvtest::FakeReply::withStatus(500), 1, {}, "*"},
        {"a web address",
         " https://example.org/a ",
         qvtest::FakeReply::json({{"result", "https://t.example/x"}}),
         1,
         {"https://t.example/x"},
         QString()},
    };
    qvtest::FakeBackend backend;
    qvtest::ScopedBackendHosts hosts(backend.baseUrl());
    setPair(QStringLiteral("en_GB"), QStringLiteral("fr_FR"));
    UrlRecorder urls;
    RecordingBackend *keys = observeWithRecorder();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.clearRequests();
        backend.route("POST", QStringLiteral("/translateWebpageAPI/"), c.reply);
        notices.clear();
        urls.opened.clear();
        selection = c.selection;
        keys->press(QStringLiteral("custom"));
        if (c.requests) {
            ASSERT_TRUE(qvtest::waitUntil([&] { return !notices.isEmpty() || !urls.opened.isEmpty(); }));
            const QJsonObject body = backend.lastRequest().jsonObject();
            EXPECT_EQ(body.value("url").toString(), QStringLiteral("https://example.org/a"));
            EXPECT_EQ(body.value("from").toString(), QStringLiteral("en_GB"));
            EXPECT_EQ(body.value("to").toString(), QStringLiteral("fr_FR"));
        }
        qvtest::spin(20);
        EXPECT_EQ(backend.requestCount(), c.requests);
        EXPECT_EQ(QUrl::toStringList(urls.opened), c.opened);
        if (c.notice == QLatin1String("*")) {
            ASSERT_EQ(notices.size(), 1);
            EXPECT_TRUE(notices.first().startsWith(QStringLiteral("The web page could not be translated")));
        } else {
            EXPECT_EQ(notices, c.notice.isEmpty() ? QStringList() : QStringList{c.notice});
        }
    }
}

TEST_F(ShortcutsTest, ThePopoverShortcutOpensWithTheSelectionOrNotAtAll) {
    RecordingBackend *keys = observeWithRecorder();
    openWindow();
    ASSERT_TRUE(shownPopover());
    for (const QString &text : {QString(), QStringLiteral("Good evening")}) {
        SCOPED_TRACE(text.toStdString());
        QVMStatusItem::sharedInstance().dismissStatusItemWindow();
        online->calls.clear();
        selection = text;
        keys->press(QStringLiteral("show-agent"));
        EXPECT_EQ(QVMStatusItem::sharedInstance().isStatusItemWindowVisible(), !text.isEmpty());
        ASSERT_EQ(online->calls.size(), text.isEmpty() ? 0 : 1);
        if (!text.isEmpty()) {
            EXPECT_EQ(online->calls.at(0).text, text);
            EXPECT_EQ(shownPopover()->originalTextView()->toPlainText(), text);
        }
    }
}

// Offline, a copied address is not sent: the user is told why, as the main window's web-page button does.
TEST_F(ShortcutsTest, OfflineTheWebPageShortcutsSayWhyAndSendNothing) {
    struct Case {
        const char *name;
        std::function<void(RecordingBackend *)> run;
    } cases[] = {
        {"the user's shortcut", [](RecordingBackend *keys) { keys->press(QStringLiteral("custom")); }},
        {"the fixed shortcut",
         [](RecordingBackend *keys) { keys->press(QStringLiteral("translate-web-page")); }},
        {"the command line's action",
         [](RecordingBackend *) { service().runAction(QStringLiteral("translate-web-page")); }},
    };
    qvtest::FakeBackend backend;
    qvtest::ScopedBackendHosts hosts(backend.baseUrl());
    backend.route("POST", QStringLiteral("/translateWebpageAPI/"),
                  qvtest::FakeReply::json({{"result", "https://t.example/x"}}));
    UrlRecorder urls;
    RecordingBackend *keys = observeWithRecorder();
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    selection = QStringLiteral("https://example.org/a");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        notices.clear();
        c.run(keys);
        qvtest::spin(20);
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_EQ(alerts->shown.first().message, QVLocalizedString(QStringLiteral("_loc_alert_no_internet")));
        EXPECT_EQ(backend.requestCount(), 0);
        EXPECT_TRUE(urls.opened.isEmpty());
    }
}

// A notice reaches the screen: through the desktop's notification service, else as an alert.
TEST_F(ShortcutsTest, ANoticeIsAnAlertWhereTheDesktopShowsNoNotifications) {
    qvtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    const struct {
        const char *name;
        bool notificationService;
        bool alert;
    } cases[] = {{"no bus", false, true}, {"no notification service", false, true},
                 {"a notification service", true, false}};
    qvtest::FakeNotifications notifications;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        notifications.shown.clear();
        if (c.notificationService) {
            ASSERT_TRUE(notifications.start(bus.connect(QStringLiteral("notifications"))));
        }
        service().setNotificationBus(std::string(c.name) == "no bus" ? QDBusConnection(QStringLiteral("none"))
                                                                     : bus.connect(QStringLiteral("app")));
        service().notifyOrAlert(QStringLiteral("Title"), QStringLiteral("No <b>address</b>"));
        ASSERT_TRUE(
            qvtest::waitUntil([&] { return !alerts->shown.isEmpty() || !notifications.shown.isEmpty(); }));
        qvtest::spin(20);
        ASSERT_EQ(alerts->shown.size(), c.alert ? 1 : 0);
        if (c.alert) {
            EXPECT_EQ(alerts->shown.first().message, QStringLiteral("No <b>address</b>"));
        }
        EXPECT_EQ(notifications.shown,
                  c.alert ? QStringList()
                          : QStringList{QStringLiteral("Title|No &lt;b&gt;address&lt;/b&gt;")});
    }
}

#include "QVMKeyboardShortcutsServiceTest.moc"
