#include "app/core/RecordingCrashReporter.h"
#include "support/EventLoop.h"
#include "support/FakeSmtpServer.h"

#include "services/support/QVSupportMailer.h"

#include "platform/AppPaths.h"
#include "platform/CrashReporter.h"
#include "platform/MainQueue.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

const QString kMailbox = QStringLiteral("help@support.example.org");

void unsetVariables() {
    for (const char *name :
         {QVSupportMailConfiguration::kUrlVariable, QVSupportMailConfiguration::kUserVariable,
          QVSupportMailConfiguration::kPasswordVariable, QVSupportMailConfiguration::kMailboxVariable})
        qunsetenv(name);
}

// "NAME=value" lines into the environment.
void setVariables(const QByteArray &lines) {
    for (const QByteArray &line : lines.split('\n'))
        if (const qsizetype at = line.indexOf('='); at > 0)
            qputenv(line.left(at).constData(), line.mid(at + 1));
}

class SupportMailTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetVariables();
        platform::AppPaths::setRoot(home.path());
        platform::CrashReporter::setShared(reporter);
    }
    void TearDown() override {
        unsetVariables();
        qvtest::waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; });
        platform::CrashReporter::setShared(nullptr);
        platform::AppPaths::setRoot({});
    }
    // Sends through the one mailer and waits for the one completion, which comes once, on the main thread.
    void send(const QString &replyTo, const QString &body, bool hold = false) {
        smtp.setHoldConnections(hold);
        mailer.setTimeLimit(hold ? 400ms : QVSupportMailer::kTimeLimit);
        int calls = 0;
        bool onMain = false;
        mailer.send(replyTo, body, [&](const platform::Error &error) {
            ++calls;
            onMain = platform::isMainThread();
            result = error;
        });
        ASSERT_TRUE(qvtest::waitUntil([&] { return calls > 0; }, 10000));
        qvtest::spin(50);
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(onMain);
        EXPECT_FALSE(mailer.isSending());
    }

    QTemporaryDir home;
    std::shared_ptr<RecordingCrashReporter> reporter = std::make_shared<RecordingCrashReporter>();
    qvtest::FakeSmtpServer smtp;
    QVSupportMailer mailer{
        {smtp.url(), QStringLiteral("robot@support.example.org"), QStringLiteral("s3cret"), kMailbox}};
    platform::Error result;
};

} // namespace

// The reasons the form shows are in the form's tests.
TEST_F(SupportMailTest, SendingAnswersOnceSayingWhyOrDeliversFromTheMailboxWithTheBodyIntact) {
    const QString longLine = QString(300, QLatin1Char('x'));
    const struct {
        const char *name;
        QString sent;
        QString received = {}; // empty: the same as sent
        int code = 0;
        const char *replyTo = "ann@example.com";
    } cases[] = {
        {"header injection",
         "Hello",
         {},
         QVSupportMailer::InvalidAddress,
         "ann@example.org\r\nBcc: all@example.org"},
        {"server holds the line", "Hello", {}, QVSupportMailer::TimedOut},
        {"header lines in the message", "Subject: forged\nBcc: x@y.z"},
        {"a line of one dot", "first\n.\nlast"},
        {"lines starting with dots", "..\n.x\n. "},
        {"lone CR and CRLF breaks", "a\rb\r\nc", "a\nb\nc"},
        {"a line longer than the wire allows", longLine},
        {"non-ASCII, equals signs and trailing blanks", "Grüße = 3  \n\t"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int connections = smtp.connectionCount();
        const qsizetype messages = smtp.messages().size();
        send(QString::fromLatin1(c.replyTo), c.sent, c.code == QVSupportMailer::TimedOut);
        EXPECT_EQ(smtp.connectionCount() - connections, c.code == QVSupportMailer::InvalidAddress ? 0 : 1);
        if (c.code) {
            EXPECT_EQ(result.code(), c.code) << result.localizedDescription().toStdString();
            EXPECT_EQ(smtp.messages().size(), messages);
            continue;
        }
        ASSERT_FALSE(result) << result.localizedDescription().toStdString();
        ASSERT_EQ(smtp.messages().size(), messages + 1);
        const qvtest::FakeSmtpServer::Message message = smtp.messages().last();
        EXPECT_EQ(message.bodyText().toStdString(),
                  (c.received.isEmpty() ? c.sent : c.received).toStdString());
        for (const QByteArray &line : message.data.split('\n'))
            EXPECT_LE(line.size(), 78) << "a line over the limit of the encoding";
        EXPECT_EQ(message.user, QStringLiteral("robot@support.example.org"));
        EXPECT_EQ(message.password, QStringLiteral("s3cret"));
        EXPECT_EQ(message.mailFrom, kMailbox);
        EXPECT_EQ(message.recipients, QStringList{kMailbox});
        EXPECT_EQ(message.headerNames(),
                  QStringList({"From", "To", "Reply-To", "Subject", "Date", "Message-ID", "MIME-Version",
                               "Content-Type", "Content-Transfer-Encoding"}));
        for (const auto &[name, value] : {std::pair<const char *, QString>{"From", kMailbox},
                                          {"To", kMailbox},
                                          {"Reply-To", QStringLiteral("ann@example.com")},
                                          {"Subject", QStringLiteral("macOS Feedback")}})
            EXPECT_EQ(message.header(QLatin1String(name)), value) << name;
    }
    EXPECT_TRUE(smtp.verbs().contains(QStringLiteral("AUTH")));
}

TEST_F(SupportMailTest, ConfigurationComesOnlyFromAPrivateSourceAndNeverSendsThePasswordInClear) {
    const QByteArray file = "QV_SUPPORT_SMTP_URL=smtps://mail.example.org:465\n"
                            "# the account\nQV_SUPPORT_SMTP_USER=robot@example.org\n"
                            "QV_SUPPORT_SMTP_PASSWORD=pw=with=equals\nQV_SUPPORT_MAILBOX=help@example.org\n";
    const QByteArray account =
        "\nQV_SUPPORT_SMTP_USER=u\nQV_SUPPORT_SMTP_PASSWORD=p\nQV_SUPPORT_MAILBOX=h@example.org";
    const struct {
        const char *name;
        QByteArray file;
        bool othersRead;
        QByteArray environment;
        const char *url; // nullptr: refused, with a log line holding "logged"
        const char *logged;
        bool pipe = false; // a named pipe where the file should be: it would never end
    } cases[] = {
        {"a file over the size limit, as a damaged one would be",
         file + "#" + QByteArray(QVSupportMailConfiguration::kMaximumFileBytes, 'x') + "\n",
         false,
         {},
         nullptr,
         "larger than"},
        {"a named pipe", {}, false, {}, nullptr, "not a regular file", true},
        {"a file others can read", file, true, {}, nullptr, "open to other users"},
        {"a file missing the mailbox",
         file.left(file.indexOf("QV_SUPPORT_MAILBOX")),
         false,
         {},
         nullptr,
         "a value is missing"},
        {"plain smtp to another computer",
         {},
         false,
         "QV_SUPPORT_SMTP_URL=smtp://mail.example.org:25" + account,
         nullptr,
         "must be smtps"},
        {"a partial environment, not mixed with the file", file, false,
         "QV_SUPPORT_SMTP_URL=smtps://other.example.org", nullptr, "a value is missing"},
        {"a private file", file, false, {}, "smtps://mail.example.org:465", nullptr},
        {"the environment first", file, false, "QV_SUPPORT_SMTP_URL=smtp://127.0.0.1:2525" + account,
         "smtp://127.0.0.1:2525", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        unsetVariables();
        QFile::remove(QVSupportMailConfiguration::filePath());
        if (!c.file.isEmpty()) {
            QDir().mkpath(platform::AppPaths::config());
            QFile written(QVSupportMailConfiguration::filePath());
            ASSERT_TRUE(written.open(QIODevice::WriteOnly));
            written.write(c.file);
            written.close();
            written.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                                   (c.othersRead ? QFile::ReadOther : QFile::Permissions()));
        }
        if (c.pipe) {
            QDir().mkpath(platform::AppPaths::config());
            ASSERT_EQ(::mkfifo(QFile::encodeName(QVSupportMailConfiguration::filePath()).constData(), 0600),
                      0);
        }
        setVariables(c.environment);
        reporter->lines.clear();
        const std::optional<QVSupportMailConfiguration> loaded = QVSupportMailConfiguration::load();
        ASSERT_EQ(loaded.has_value(), c.url != nullptr);
        if (loaded) {
            EXPECT_EQ(loaded->url, QLatin1String(c.url));
            continue;
        }
        ASSERT_EQ(reporter->lines.size(), 1);
        EXPECT_TRUE(reporter->lines.first().contains(QLatin1String(c.logged)))
            << reporter->lines.first().toStdString();
        EXPECT_FALSE(reporter->lines.first().contains(QLatin1String("pw=with"))) << "the password in the log";
    }
}

// A proxy would see the password of plain SMTP; to this computer the mail never takes one.
TEST_F(SupportMailTest, ASendToThisComputerGoesAroundEveryProxyOfTheEnvironment) {
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost));
    int proxied = 0;
    QObject::connect(&proxy, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = proxy.nextPendingConnection()) {
            ++proxied;
            socket->close();
        }
    });
    const QString at = QStringLiteral("127.0.0.1:%1").arg(proxy.serverPort());
    const struct {
        const char *variable;
        QString proxy;
    } cases[] = {
        {"ALL_PROXY", QStringLiteral("socks5://") + at},
        {"all_proxy", QStringLiteral("http://") + at},
        {"smtp_proxy", QStringLiteral("socks5h://") + at},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.variable);
        qputenv(c.variable, c.proxy.toUtf8());
        const qsizetype messages = smtp.messages().size();
        send(QStringLiteral("ann@example.com"), QStringLiteral("Hello"));
        qunsetenv(c.variable);
        EXPECT_FALSE(result) << result.localizedDescription().toStdString();
        EXPECT_EQ(smtp.messages().size(), messages + 1);
        EXPECT_EQ(proxied, 0);
    }
}
