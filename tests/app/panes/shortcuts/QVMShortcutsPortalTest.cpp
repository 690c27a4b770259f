#include "ShortcutsTestSupport.h"

#include "panes/shortcuts/QVMShortcutsSettingsViewController.h"
#include "services/shortcuts/QVMPortalShortcutBackend.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace shortcutstest;

namespace {

// A desktop portal with global shortcuts: sessions, bindings that take the
// preferred triggers, and answers through Request objects as the real one gives them.
class FakeShortcutsPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    explicit FakeShortcutsPortal(QDBusConnection bus) : m_bus(std::move(bus)) {}
    uint version() const { return 1; }
    void activate(const QString &id) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QString::fromLatin1(QVMPortalShortcutBackend::kPath),
            QString::fromLatin1(QVMPortalShortcutBackend::kInterface), QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
        m_bus.send(signal);
    }
    QString session = QStringLiteral("/org/freedesktop/portal/desktop/session/test/quorvalde");
    QList<QVMPortalShortcut> bound;

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap &options) {
        return answer(options, {{QStringLiteral("session_handle"), session}});
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath &, const QList<QVMPortalShortcut> &shortcuts,
                                  const QString &, const QVariantMap &options) {
        bound = shortcuts;
        return answer(options, {{QStringLiteral("shortcuts"), QVariant::fromValue(described())}});
    }
    QDBusObjectPath ListShortcuts(const QDBusObjectPath &, const QVariantMap &options) {
        return answer(options, {{QStringLiteral("shortcuts"), QVariant::fromValue(described())}});
    }

private:
    QList<QVMPortalShortcut> described() const {
        QList<QVMPortalShortcut> list = bound;
        for (QVMPortalShortcut &shortcut : list)
            shortcut.properties.insert(QStringLiteral("trigger_description"),
                                       shortcut.properties.value(QStringLiteral("preferred_trigger")));
        return list;
    }
    QDBusObjectPath answer(const QVariantMap &options, const QVariantMap &results) {
        QString sender = message().service();
        sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        QTimer::singleShot(0, this, [this, path, results] {
            QDBusMessage response = QDBusMessage::createSignal(
                path, QString::fromLatin1(QVMPortalShortcutBackend::kRequestInterface),
                QStringLiteral("Response"));
            response << uint(0) << results;
            m_bus.send(response);
        });
        return QDBusObjectPath(path);
    }
    QDBusConnection m_bus;
};

// A bus of this test's own, so no other test's portal is seen.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (m_daemon.waitForStarted(5000) && qvtest::waitUntil([&] { return m_daemon.canReadLine(); }, 5000))
            address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~PrivateBus() {
        for (const QString &name : std::as_const(m_names))
            QDBusConnection::disconnectFromBus(name);
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    QDBusConnection connect(const QString &name) {
        m_names << name;
        return QDBusConnection::connectToBus(address, name);
    }
    QString address;

private:
    QProcess m_daemon;
    QStringList m_names;
};

using Kind = QVMGlobalShortcutBackend::Kind;

} // namespace

TEST_F(ShortcutsTest, WithoutThePortalTheUserBindsTheCommandsTheTabShows) {
    PrivateBus bus;
    if (bus.address.isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    service().startObserving(bus.connect(QStringLiteral("program")));
    qvtest::spin(300);
    ASSERT_TRUE(service().backend());
    EXPECT_EQ(service().backend()->kind(), Kind::DesktopSettings);
    QVMShortcutsSettingsViewController tab;
    tab.view()->show();
    EXPECT_EQ(tab.statusLabel()->text(), QStringLiteral("Active: your desktop's keyboard settings"));
    EXPECT_TRUE(tab.commandsLabel()->isVisible());
    EXPECT_TRUE(
        tab.commandsLabel()->text().contains(QStringLiteral("quorvalde-translator --action show-agent")));
    tab.copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("quorvalde-translator --action translate-web-page\n"
                             "quorvalde-translator --action show-agent"));
}

TEST_F(ShortcutsTest, ThePortalBindsTheThreeShortcutsAndItsActivationOpensThePopover) {
    PrivateBus bus;
    if (bus.address.isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    QVMPortalShortcutBackend::registerTypes();
    QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
    FakeShortcutsPortal portal(desktop);
    ASSERT_TRUE(
        desktop.registerObject(QString::fromLatin1(QVMPortalShortcutBackend::kPath), &portal,
                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(desktop.registerService(QString::fromLatin1(QVMPortalShortcutBackend::kService)));
    openWindow();
    service().startObserving(bus.connect(QStringLiteral("program")));
    ASSERT_TRUE(qvtest::waitUntil([&] { return portal.bound.size() == 3; }));
    QStringList bound;
    for (const QVMPortalShortcut &shortcut : std::as_const(portal.bound))
        bound << shortcut.id + "=" +
                     shortcut.properties.value(QStringLiteral("preferred_trigger")).toString();
    EXPECT_EQ(bound, (QStringList{"custom=CTRL+F1", "translate-web-page=CTRL+ALT+Left",
                                  "show-agent=CTRL+ALT+Right"}));
    ASSERT_EQ(service().backend()->kind(), Kind::DesktopPortal);
    ASSERT_TRUE(qvtest::waitUntil([&] { return service().backend()->boundTriggers().size() == 3; }));

    QVMShortcutsSettingsViewController tab;
    tab.view()->show();
    EXPECT_EQ(tab.statusLabel()->text(), QStringLiteral("Active: desktop portal"));
    EXPECT_FALSE(tab.commandsLabel()->isVisible());
    EXPECT_TRUE(tab.boundLabel()->text().contains(QStringLiteral("show-agent: CTRL+ALT+Right")));

    selection = QStringLiteral("Good night");
    portal.activate(QStringLiteral("show-agent"));
    ASSERT_TRUE(qvtest::waitUntil([&] { return !online->calls.isEmpty(); }));
    EXPECT_EQ(online->calls.at(0).text, QStringLiteral("Good night"));
    EXPECT_TRUE(QVMStatusItem::sharedInstance().isStatusItemWindowVisible());
    service().setBackend(nullptr);
    desktop.unregisterService(QString::fromLatin1(QVMPortalShortcutBackend::kService));
}

TEST_F(ShortcutsTest, TheTabWritesTheDefaultsAndSaysWhyTheRecorderIsOff) {
    observeWithRecorder();
    QVMShortcutsSettingsViewController tab;
    tab.view()->show();
    EXPECT_EQ(tab.recorder()->keySequence().toString(QKeySequence::PortableText), QStringLiteral("Ctrl+F1"));
    tab.recorder()->setKeySequence(QKeySequence::fromString(QStringLiteral("Ctrl+Shift+F7, Ctrl+A")));
    QMetaObject::invokeMethod(tab.recorder(), "editingFinished");
    EXPECT_EQ(defaults().stringForKey(QLatin1String(QVMKeyboardShortcutsService::kCustomShortcut)),
              QStringLiteral("Ctrl+Shift+F7"));
    tab.customEnabledBox()->click();
    EXPECT_FALSE(defaults().boolForKey(QLatin1String(QVMKeyboardShortcutsService::kCustomShortcutEnabled)));
    EXPECT_FALSE(tab.recorder()->isEnabled());
    EXPECT_EQ(tab.recorder()->toolTip(), QStringLiteral("Turn on the shortcut above to change it"));
    tab.hardcodedEnabledBox()->click();
    EXPECT_FALSE(
        defaults().boolForKey(QLatin1String(QVMKeyboardShortcutsService::kHardcodedShortcutEnabled)));
    EXPECT_TRUE(service().activeShortcuts().isEmpty());
}

#include "QVMShortcutsPortalTest.moc"
