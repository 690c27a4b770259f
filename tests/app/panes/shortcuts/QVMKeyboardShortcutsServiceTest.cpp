#include "ShortcutsTestSupport.h"
#include "support/PrivateBus.h"

#include "core/localization/QVLocalizedString.h"

#include "support/FakeBackend.h"
#include "support/ScopedBackendHosts.h"

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
    RecordingBackend *backend = observeWithRecorder();
    backend->holdElsewhere({QStringLiteral("custom")});
    backend->holdElsewhere({QStringLiteral("custom"), QStringLiteral("show-agent")});
    const QString custom = QStringLiteral("Ctrl+F1 is taken by another program: choose another");
    const QString agent = QStringLiteral("Ctrl+Alt+Right is taken by another program: choose another");
    EXPECT_EQ(notices, (QStringList{custom, agent}));
    EXPECT_EQ(service().conflictLines(), (QStringList{custom, agent}));
    EXPECT_EQ(service().statusText(), QStringLiteral("Active: X11 key grabs"));
    // The shortcut nobody else holds still runs its action.
    selection = QStringLiteral("no address");
    notices.clear();
    backend->press(QStringLiteral("translate-web-page"));
    EXPECT_EQ(notices, QStringList{QStringLiteral("The clipboard holds no web address")});
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
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        if (c.notificationService) {
            ASSERT_TRUE(bus.connect(QStringLiteral("notifications"))
                            .registerService(QStringLiteral("org.freedesktop.Notifications")));
        }
        const QDBusConnection connection = std::string(c.name) == "no bus"
                                               ? QDBusConnection(QStringLiteral("none"))
                                               : bus.connect(QStringLiteral("app"));
        QVMKeyboardShortcutsService::notifyOrAlert(QStringLiteral("Title"), QStringLiteral("No <b>address</b>"),
                                                   connection);
        qvtest::spin(20);
        ASSERT_EQ(alerts->shown.size(), c.alert ? 1 : 0);
        if (c.alert) {
            EXPECT_EQ(alerts->shown.first().message, QStringLiteral("No <b>address</b>"));
        }
    }
}

#include "QVMKeyboardShortcutsServiceTest.moc"
