#include "app/core/RecordingCrashReporter.h"
#include "support/EventLoop.h"
#include "support/FakeSmtpServer.h"

#include "services/support/QVSupportMailer.h"

#include "platform/AppPaths.h"
#include "platform/CrashReporter.h"
#include "platform/MainQueue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <optional>

using namespace std::chrono_literals;

namespace {

const char *const kVariables[] = {
    QVSupportMailConfiguration::kUrlVariable, QVSupportMailConfiguration::kUserVariable,
    QVSupportMailConfiguration::kPasswordVariable, QVSupportMailConfiguration::kMailboxVariable};

class SupportMailTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : kVariables)
            qunsetenv(name);
        platform::AppPaths::setRoot(home.path());
        platform::CrashReporter::setShared(reporter);
    }
    void TearDown() override {
        for (const char *name : kVariables)
            qunsetenv(name);
        qvtest::waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; });
        platform::CrashReporter::setShared(nullptr);
        platform::AppPaths::setRoot({});
    }
    QVSupportMailConfiguration configuration() const {
        return {smtp.url(), QStringLiteral("robot@support.example.org"), QStringLiteral("s3cret"),
                QStringLiteral("help@support.example.org")};
    }
    // Sends and waits for the one completion; false when none came.
    bool send(QVSupportMailer &mailer, const QString &replyTo, const QString &body) {
        calls = 0;
        mailer.send(replyTo, body, [this](const platform::Error &error) {
            ++calls;
            onMain = platform::isMainThread();
            result = error;
        });
        return qvtest::waitUntil([this] { return calls > 0; }, 10000);
    }
    void writeFile(const QByteArray &text, QFile::Permissions permissions) {
        QDir().mkpath(platform::AppPaths::config());
        QFile file(QVSupportMailConfiguration::filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        file.setPermissions(permissions);
    }

    QTemporaryDir home;
    std::shared_ptr<RecordingCrashReporter> reporter = std::make_shared<RecordingCrashReporter>();
    qvtest::FakeSmtpServer smtp;
    int calls = 0;
    bool onMain = false;
    platform::Error result;
};

} // namespace

// Refusals and reasons the form shows are in the form's tests; these two need the mailer alone.
TEST_F(SupportMailTest, FailuresSayWhyOnTheMainThreadOnce) {
    const struct {
        const char *name;
        const char *replyTo;
        bool hold;
        QVSupportMailer::ErrorCode code;
        int connections;
    } cases[] = {
        {"header injection", "user@example.org\r\nBcc: all@example.org", false,
         QVSupportMailer::InvalidAddress, 0},
        {"server holds the line", "user@example.org", true, QVSupportMailer::TimedOut, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::FakeSmtpServer server;
        server.setHoldConnections(c.hold);
        QVSupportMailConfiguration settings = configuration();
        settings.url = server.url();
        QVSupportMailer mailer(settings);
        mailer.setTimeLimit(400ms);
        ASSERT_TRUE(send(mailer, QString::fromLatin1(c.replyTo), QStringLiteral("Hello")));
        qvtest::spin(50);
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(onMain);
        EXPECT_EQ(result.code(), c.code) << result.localizedDescription().toStdString();
        EXPECT_EQ(server.connectionCount(), c.connections);
        EXPECT_FALSE(mailer.isSending());
    }
}

TEST_F(SupportMailTest, MessageGoesFromTheMailboxWithTheUserOnlyInReplyTo) {
    QVSupportMailer mailer(configuration());
    ASSERT_TRUE(
        send(mailer, QStringLiteral("ann@example.com"), QStringLiteral("Subject: forged\nBcc: x@y.z")));
    ASSERT_FALSE(result) << result.localizedDescription().toStdString();
    ASSERT_EQ(smtp.messages().size(), 1);
    const qvtest::FakeSmtpServer::Message message = smtp.messages().first();
    EXPECT_TRUE(smtp.verbs().contains(QStringLiteral("AUTH")));
    EXPECT_EQ(message.user, QStringLiteral("robot@support.example.org"));
    EXPECT_EQ(message.password, QStringLiteral("s3cret"));
    EXPECT_EQ(message.mailFrom, QStringLiteral("help@support.example.org"));
    EXPECT_EQ(message.recipients, QStringList{QStringLiteral("help@support.example.org")});
    EXPECT_EQ(message.header(QStringLiteral("From")), QStringLiteral("help@support.example.org"));
    EXPECT_EQ(message.header(QStringLiteral("To")), QStringLiteral("help@support.example.org"));
    EXPECT_EQ(message.header(QStringLiteral("Reply-To")), QStringLiteral("ann@example.com"));
    EXPECT_EQ(message.header(QStringLiteral("Subject")), QStringLiteral("macOS Feedback"));
    // The message's own lines stay in the body.
    EXPECT_EQ(message.headerNames(),
              QStringList({"From", "To", "Reply-To", "Subject", "Date", "Message-ID", "MIME-Version",
                           "Content-Type", "Content-Transfer-Encoding"}));
    EXPECT_EQ(message.bodyText().toStdString(), "Subject: forged\nBcc: x@y.z");
}

TEST_F(SupportMailTest, BodyLinesArriveIntact) {
    const QString longLine = QString(300, QLatin1Char('x'));
    const struct {
        const char *name;
        QString sent, received;
    } cases[] = {
        {"a line of one dot", "first\n.\nlast", "first\n.\nlast"},
        {"lines starting with dots", "..\n.x\n. ", "..\n.x\n. "},
        {"lone CR and CRLF breaks", "a\rb\r\nc", "a\nb\nc"},
        {"a line longer than the wire allows", longLine, longLine},
        {"non-ASCII, equals signs and trailing blanks", "Grüße = 3  \n\t", "Grüße = 3  \n\t"},
    };
    QVSupportMailer mailer(configuration());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = smtp.messages().size();
        ASSERT_TRUE(send(mailer, QStringLiteral("ann@example.com"), c.sent));
        ASSERT_FALSE(result) << result.localizedDescription().toStdString();
        ASSERT_EQ(smtp.messages().size(), before + 1);
        const QByteArray data = smtp.messages().last().data;
        EXPECT_EQ(smtp.messages().last().bodyText().toStdString(), c.received.toStdString());
        for (const QByteArray &line : data.split('\n'))
            EXPECT_LE(line.size(), 78) << "a line over the limit of the encoding";
    }
}

TEST_F(SupportMailTest, ConfigurationComesOnlyFromAPrivateSourceAndNeverSendsThePasswordInClear) {
    const QByteArray complete =
        "QV_SUPPORT_SMTP_URL=smtps://mail.example.org:465\n"
        "# the account\nQV_SUPPORT_SMTP_USER=robot@example.org\n"
        "QV_SUPPORT_SMTP_PASSWORD=pw=with=equals\nQV_SUPPORT_MAILBOX=help@example.org\n";
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    struct Case {
        const char *name;
        QByteArray file;
        QFile::Permissions permissions;
        QList<QPair<const char *, const char *>> environment;
        std::optional<QString> url; // nothing: refused
        const char *logged;
    } cases[] = {
        {"a file others can read",
         complete,
         owner | QFile::ReadOther,
         {},
         std::nullopt,
         "open to other users"},
        {"a file missing the mailbox",
         complete.left(complete.indexOf("QV_SUPPORT_MAILBOX")),
         owner,
         {},
         std::nullopt,
         "a value is missing"},
        {"plain smtp to another computer",
         {},
         owner,
         {{"QV_SUPPORT_SMTP_URL", "smtp://mail.example.org:25"},
          {"QV_SUPPORT_SMTP_USER", "u"},
          {"QV_SUPPORT_SMTP_PASSWORD", "p"},
          {"QV_SUPPORT_MAILBOX", "help@example.org"}},
         std::nullopt,
         "must be smtps"},
        {"a partial environment, not mixed with the file",
         complete,
         owner,
         {{"QV_SUPPORT_SMTP_URL", "smtps://other.example.org"}},
         std::nullopt,
         "a value is missing"},
        {"a private file", complete, owner, {}, QStringLiteral("smtps://mail.example.org:465"), nullptr},
        {"the environment first",
         complete,
         owner,
         {{"QV_SUPPORT_SMTP_URL", "smtp://127.0.0.1:2525"},
          {"QV_SUPPORT_SMTP_USER", "u"},
          {"QV_SUPPORT_SMTP_PASSWORD", "p"},
          {"QV_SUPPORT_MAILBOX", "help@example.org"}},
         QStringLiteral("smtp://127.0.0.1:2525"),
         nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(QVSupportMailConfiguration::filePath());
        for (const char *name : kVariables)
            qunsetenv(name);
        if (!c.file.isEmpty())
            writeFile(c.file, c.permissions);
        for (const auto &[name, value] : c.environment)
            qputenv(name, value);
        reporter->lines.clear();
        const std::optional<QVSupportMailConfiguration> loaded = QVSupportMailConfiguration::load();
        ASSERT_EQ(loaded.has_value(), c.url.has_value());
        if (loaded) {
            EXPECT_EQ(loaded->url, *c.url);
            continue;
        }
        ASSERT_EQ(reporter->lines.size(), 1);
        EXPECT_TRUE(reporter->lines.first().contains(QLatin1String(c.logged)))
            << reporter->lines.first().toStdString();
        EXPECT_FALSE(reporter->lines.first().contains(QLatin1String("pw=with"))) << "the password in the log";
    }
}
