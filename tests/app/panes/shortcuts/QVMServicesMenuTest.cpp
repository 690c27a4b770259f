#include "ShortcutsTestSupport.h"

#include "services/shortcuts/QVMServicesCommandLine.h"
#include "support/ChildProcess.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QScopeGuard>
#include <QTimer>
#include <QUuid>

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

using namespace shortcutstest;

namespace {

// Another program on the session bus: its own connection, calls answered asynchronously.
class ServicesClient {
public:
    ServicesClient()
        : m_name(QStringLiteral("services-client")),
          m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_name)) {}
    ~ServicesClient() { QDBusConnection::disconnectFromBus(m_name); }
    QDBusMessage call(const QString &method, const QString &text) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QDBusConnection::sessionBus().baseService(), QString::fromLatin1(QVMServicesMenu::kObjectPath),
            QString::fromLatin1(QVMServicesMenu::kInterface), method);
        message << text;
        QDBusPendingCall pending = m_bus.asyncCall(message);
        qvtest::waitUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }

private:
    QString m_name;
    QDBusConnection m_bus;
};

} // namespace

TEST_F(ShortcutsTest, TextThatCannotBeTakenIsRefusedWithTheErrorName) {
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "needs a session bus: run through scripts/test (dbus-run-session)";
    const struct {
        const char *name;
        QString text;
        const char *message;
    } cases[] = {
        {"empty", QString(), QVMServicesMenu::kNoStringMessage},
        {"blank", QStringLiteral(" \n\t"), QVMServicesMenu::kNoStringMessage},
        {"over 1 MiB", QString(QVMServicesMenu::kMaximumBytes / 2 + 1, QChar(0x00e9)),
         QVMServicesMenu::kTooLongMessage},
    };
    QStringList received;
    QVMServicesMenu &menu = QVMServicesMenu::sharedInstance();
    menu.setDelegate(&QVMStatusItem::sharedInstance(),
                     [&](const QString &text, int) { received.append(text); });
    ASSERT_TRUE(menu.registerProvider(QDBusConnection::sessionBus()));
    ServicesClient client;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &method :
             {QStringLiteral("showTranslate"), QStringLiteral("showTranslateInAgent")}) {
            const QDBusMessage reply = client.call(method, c.text);
            EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
            EXPECT_EQ(reply.errorName(), QString::fromLatin1(QVMServicesMenu::kNoTextError));
            EXPECT_EQ(reply.errorMessage(), QString::fromLatin1(c.message));
        }
    }
    EXPECT_TRUE(received.isEmpty());
    EXPECT_TRUE(online->calls.isEmpty());
}

TEST_F(ShortcutsTest, ServicesTextReachesTheMainWindowOrThePopover) {
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "needs a session bus: run through scripts/test (dbus-run-session)";
    openWindow();
    ASSERT_TRUE(QVMServicesMenu::sharedInstance().hasDelegate());
    ASSERT_TRUE(QVMServicesMenu::sharedInstance().registerProvider(QDBusConnection::sessionBus()));
    ServicesClient client;

    EXPECT_EQ(client.call(QStringLiteral("showTranslate"), QStringLiteral("Hallo Welt")).type(),
              QDBusMessage::ReplyMessage);
    // Handed over once the reply has left.
    EXPECT_TRUE(qvtest::waitUntil(
        [&] { return general->fromTranslateTextView()->toPlainText() == QStringLiteral("Hallo Welt"); }));
    ASSERT_EQ(online->calls.size(), 1);
    EXPECT_EQ(online->calls.at(0).text, QStringLiteral("Hallo Welt"));
    EXPECT_FALSE(QVMStatusItem::sharedInstance().isStatusItemWindowVisible());

    EXPECT_EQ(client.call(QStringLiteral("showTranslateInAgent"), QStringLiteral("Guten Tag")).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_TRUE(
        qvtest::waitUntil([] { return QVMStatusItem::sharedInstance().isStatusItemWindowVisible(); }));
    ASSERT_TRUE(shownPopover());
    EXPECT_EQ(shownPopover()->originalTextView()->toPlainText(), QStringLiteral("Guten Tag"));
    ASSERT_EQ(online->calls.size(), 2);
    EXPECT_EQ(online->calls.at(1).text, QStringLiteral("Guten Tag"));
    EXPECT_EQ(QVMServicesMenu::sharedInstance().bufferString(), QStringLiteral("Guten Tag"));
}

TEST_F(ShortcutsTest, TheTextIsKeptEvenWithoutAReceiver) {
    QVMServicesMenu &menu = QVMServicesMenu::sharedInstance();
    menu.setDelegate(nullptr, {});
    menu.showTranslateInAgent(QStringLiteral("kept"));
    EXPECT_EQ(menu.bufferString(), QStringLiteral("kept"));
    menu.showTranslate(QString());
    EXPECT_EQ(menu.bufferString(), QStringLiteral("kept"));
}

TEST(ServicesCommandLineTest, OptionsBecomeOneActionOrAClearError) {
    const struct {
        QStringList arguments;
        QString method, text, error;
    } cases[] = {
        {{"--show-translate"}, {}, {}, "--show-translate needs a text, or - to read it from standard input"},
        {{"--show-translate", ""},
         {},
         {},
         "--show-translate needs a text, or - to read it from standard input"},
        {{"--show-translate", "-"}, "showTranslate", "", "Error: the pasteboard doesn't contain a string."},
        {{"--action", "explode"}, {}, {}, "Unknown action explode: use translate-web-page or show-agent"},
        {{"--action", "show-agent", "--show-translate", "x"},
         "showAgent",
         {},
         "Only one of --show-translate, --show-translate-in-agent and --action"},
        {{"--show-translate-in-agent", "-"}, "showTranslateInAgent", "from stdin", {}},
        {{"--show-translate", "Hallo"}, "showTranslate", "Hallo", {}},
        {{"--action", "translate-web-page"}, "translateWebPagePasteboardUrl", {}, {}},
        {{"--service"}, {}, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const QString input = c.text == QLatin1String("from stdin") ? c.text : QString();
        const auto action = QVMServicesCommandLine::parse(QStringList{"quorvalde-translator"} + c.arguments,
                                                          [&] { return input; });
        EXPECT_EQ(action.error, c.error);
        if (c.error.isEmpty()) {
            EXPECT_EQ(action.method, c.method);
            EXPECT_EQ(action.text, c.text);
        }
    }
}

// The second launch, in a process of its own: forwards its command line to QV_TEST_SERVICE
// and prints what came of it.
TEST(ServicesSecondLaunch, DISABLED_Forward) {
    const auto action = QVMServicesCommandLine::parse(
        {"quorvalde-translator", "--show-translate", qEnvironmentVariable("QV_TEST_TEXT")}, {});
    QString refusal;
    const auto result = QVMServicesCommandLine::forward(action, QDBusConnection::sessionBus(),
                                                        qEnvironmentVariable("QV_TEST_SERVICE"), &refusal);
    printf("forward=%d refusal=%s\n", int(result), qPrintable(refusal));
}

// A second launch with an action (`--action NAME`), as a desktop's key binding runs it.
TEST(ServicesSecondLaunch, DISABLED_ForwardAction) {
    const auto action = QVMServicesCommandLine::parse(
        {"quorvalde-translator", "--action", qEnvironmentVariable("QV_TEST_ACTION")}, {});
    QString refusal;
    const auto result = QVMServicesCommandLine::forward(action, QDBusConnection::sessionBus(),
                                                        qEnvironmentVariable("QV_TEST_SERVICE"), &refusal);
    printf("forward=%d refusal=%s\n", int(result), qPrintable(refusal));
}

// While the program shows a modal box (an alert waiting for OK), later launches' actions are
// answered at once, and what they ask for waits until the box is closed: never a second box over
// the first, each launch ends at once with success, and of two calls of one action made
// meanwhile one runs.
TEST_F(ShortcutsTest, AnActionHandedOverWhileABoxIsOpenIsAnsweredAtOnceAndNeverStacksASecondBox) {
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "needs a session bus: run through scripts/test (dbus-run-session)";
    const QString service =
        QStringLiteral("com.tessaphyre.translator.test.a") + QUuid::createUuid().toString(QUuid::Id128);
    QDBusConnection running = QDBusConnection::sessionBus();
    QVMServicesMenu &menu = QVMServicesMenu::sharedInstance();
    const auto restore = qScopeGuard([&] {
        menu.translateWebPageAction = {};
        menu.showAgentAction = {};
        running.unregisterService(service);
    });
    ASSERT_TRUE(menu.registerProvider(running));
    ASSERT_TRUE(running.registerService(service));
    // The launches in the order they are made: each once the one before it has ended.
    const char *later[] = {"show-agent", "translate-web-page", "translate-web-page"};
    std::vector<std::unique_ptr<QProcess>> launches;
    const auto launch = [&](const char *action) {
        launches.push_back(
            qvtest::startChildTest(QStringLiteral("ServicesSecondLaunch.DISABLED_ForwardAction"),
                                   {{"QV_TEST_SERVICE", service}, {"QV_TEST_ACTION", action}}));
    };
    const auto allEnded = [&] {
        for (const auto &child : launches)
            if (child->state() != QProcess::NotRunning)
                return false;
        return true;
    };
    struct Run {
        QByteArray action;
        int boxesOpenBefore;
    };
    QList<Run> runs;
    int open = 0;
    // Each action shows an alert as the program's own do; the first keeps it open while the later
    // launches are made, one after the other, until they have ended (or given up).
    const auto alert = [&](const char *action) {
        runs.append({action, open});
        ++open;
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Error"),
                        QStringLiteral("Something went wrong"));
        QTimer poll;
        QElapsedTimer shown;
        shown.start();
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!allEnded() && shown.elapsed() < 30000)
                return;
            if (runs.size() == 1 && launches.size() < 1 + std::size(later) && shown.elapsed() < 30000)
                launch(later[launches.size() - 1]);
            else
                box.close();
        });
        poll.start(10);
        box.exec();
        --open;
    };
    menu.translateWebPageAction = [&] { alert("translate-web-page"); };
    menu.showAgentAction = [&] { alert("show-agent"); };
    launch("translate-web-page");
    EXPECT_TRUE(qvtest::waitUntil(
        [&] {
            return launches.size() == 1 + std::size(later) && allEnded() && runs.size() >= 3 && open == 0;
        },
        90000));
    qvtest::spin(50);
    for (const auto &child : launches)
        EXPECT_TRUE(child->readAllStandardOutput().contains("forward=0 "));
    // One box at a time, each call run once the box before it was gone, in the order they came.
    ASSERT_EQ(runs.size(), 3);
    for (const Run &run : runs)
        EXPECT_EQ(run.boxesOpenBefore, 0) << run.action.constData();
    EXPECT_EQ(runs.at(1).action, QByteArray("show-agent"));
    EXPECT_EQ(runs.at(2).action, QByteArray("translate-web-page"));
}

TEST_F(ShortcutsTest, ASecondLaunchWithATextHandsItToTheRunningProgram) {
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "needs a session bus: run through scripts/test (dbus-run-session)";
    const QString service =
        QStringLiteral("com.tessaphyre.translator.test.s") + QUuid::createUuid().toString(QUuid::Id128);
    const auto launch = [&](const QString &text) {
        auto child = qvtest::startChildTest(QStringLiteral("ServicesSecondLaunch.DISABLED_Forward"),
                                            {{"QV_TEST_SERVICE", service}, {"QV_TEST_TEXT", text}});
        // This process answers the call: keep its events flowing while the child waits.
        qvtest::waitUntil([&] { return child->state() == QProcess::NotRunning; }, 30000);
        return QString::fromUtf8(child->readAllStandardOutput());
    };
    EXPECT_TRUE(launch(QStringLiteral("Hallo")).contains(QStringLiteral("forward=1 ")));
    QStringList received;
    QVMServicesMenu &menu = QVMServicesMenu::sharedInstance();
    menu.setDelegate(&QVMStatusItem::sharedInstance(),
                     [&](const QString &text, int type) { received.append(QString::number(type) + text); });
    QDBusConnection running = QDBusConnection::sessionBus();
    ASSERT_TRUE(menu.registerProvider(running));
    ASSERT_TRUE(running.registerService(service));
    EXPECT_TRUE(launch(QStringLiteral("Hallo")).contains(QStringLiteral("forward=0 ")));
    EXPECT_EQ(received, QStringList{QStringLiteral("0Hallo")});
    running.unregisterService(service);
}
