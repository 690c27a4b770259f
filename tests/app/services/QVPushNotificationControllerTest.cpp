#include "app/core/RecordingCrashReporter.h"

#include "services/push/QVDesktopNotifier.h"
#include "services/push/QVPushNotificationController.h"

#include "platform/Bundle.h"

#include <QDBusArgument>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Status = QVPushTokenSource::AuthorizationStatus;

// A push service under the test's control.
class FakeTokenSource : public QVPushTokenSource {
public:
    void getNotificationSettings(std::function<void(Status, const QString &)> block) override {
        block(status, QStringLiteral("settings"));
    }
    void requestAuthorizationWithOptions(int options,
                                         std::function<void(bool, const platform::Error &)> block) override {
        requestedOptions << options;
        block(grant, grantError);
    }
    void registerForRemoteNotificationTypes(int types) override { registeredTypes << types; }

    Status status = Status::NotDetermined;
    bool grant = true;
    platform::Error grantError;
    QList<int> requestedOptions;
    QList<int> registeredTypes;
};

// Every presentation, in order, as text.
class RecordingPresenter : public QVNotificationPresenter {
public:
    void playAlertSound() override { calls << QStringLiteral("alert sound"); }
    void playSoundFile(const QString &path) override { calls << QStringLiteral("sound file ") + path; }
    void setBadgeLabel(const QString &label) override { calls << QStringLiteral("badge ") + label; }
    void showAlert(const QString &title, const QString &body) override {
        calls << QStringLiteral("alert %1|%2").arg(title, body);
    }
    QStringList calls;
};

class QVPushNotificationControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        reporter = std::make_shared<RecordingCrashReporter>();
        platform::CrashReporter::setShared(reporter);
        source = std::make_shared<FakeTokenSource>();
        presenter = std::make_shared<RecordingPresenter>();
        controller = std::make_unique<QVPushNotificationController>(
            source, presenter,
            [this](const QString &token, QVPushNotificationController::SendSuccess success,
                   QVPushNotificationController::SendFailure failure) {
                sentTokens << token;
                if (sendError)
                    failure(sendError);
                else
                    success();
            });
    }
    void TearDown() override {
        controller.reset();
        platform::CrashReporter::setShared(nullptr);
        platform::Bundle::setResourcePath({});
    }
    QStringList lines() const { return reporter->lines; }
    QStringList reportMessages() const {
        QStringList messages;
        for (const auto &record : reporter->records)
            messages << record.userInfo.value(QStringLiteral("message")).toString();
        return messages;
    }
    static QVariantMap payload(const char *json) { return QJsonDocument::fromJson(json).toVariant().toMap(); }

    std::shared_ptr<RecordingCrashReporter> reporter;
    std::shared_ptr<FakeTokenSource> source;
    std::shared_ptr<RecordingPresenter> presenter;
    std::unique_ptr<QVPushNotificationController> controller;
    QStringList sentTokens;
    platform::Error sendError;
};

TEST_F(QVPushNotificationControllerTest, LaunchAsksPermissionOnlyWhileNotAllowedAndAlwaysRegisters) {
    struct Case {
        Status status;
        bool grant;
        bool asks;
        const char *grantedLine; // nullptr: no such line
    };
    const Case cases[] = {
        {Status::NotDetermined, true, true, "[push] notifications granted: true"},
        {Status::Denied, false, true, "[push] notifications granted: false"},
        {Status::Authorized, true, false, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.status));
        source->status = c.status;
        source->grant = c.grant;
        source->requestedOptions.clear();
        source->registeredTypes.clear();
        presenter->calls.clear();
        reporter->lines.clear();
        controller->lazyRemoteNotifications();
        EXPECT_EQ(source->requestedOptions, c.asks ? QList<int>{7} : QList<int>{});
        EXPECT_EQ(source->registeredTypes, QList<int>{7}) << "registration does not wait for permission";
        EXPECT_EQ(presenter->calls, QStringList{QStringLiteral("badge ")}) << "the badge is cleared";
        EXPECT_TRUE(lines().contains(QStringLiteral("[push] notifications settings: settings")));
        if (c.grantedLine) {
            EXPECT_TRUE(lines().contains(QString::fromLatin1(c.grantedLine)));
        }
        EXPECT_TRUE(lines().filter(QStringLiteral("granted")).isEmpty() == !c.grantedLine);
    }

    source->status = Status::NotDetermined;
    source->grantError = platform::Error(QStringLiteral("UNErrorDomain"), 1);
    controller->lazyRemoteNotifications();
    EXPECT_TRUE(
        reportMessages().contains(QString::fromLatin1(QVPushNotificationController::kAuthorizationMessage)));
}

TEST_F(QVPushNotificationControllerTest, TokensAreSentAsLettersAndDigitsAndTheOutcomeLogged) {
    const QList<QPair<QString, QString>> tokens = {
        {QStringLiteral("<0a1b2c3d 4e5f6071 8293a4b5>"), QStringLiteral("0a1b2c3d4e5f60718293a4b5")},
        {QStringLiteral("AB-cd_12:ef"), QStringLiteral("ABcd12ef")},
    };
    for (const auto &[description, cleaned] : tokens) {
        SCOPED_TRACE(description.toStdString());
        sentTokens.clear();
        source->handlers().didRegister(description);
        EXPECT_EQ(sentTokens, QStringList{cleaned});
        EXPECT_TRUE(lines().contains(
            QStringLiteral("[push] %1 %2")
                .arg(QString::fromLatin1(QVPushNotificationController::kDidRegister), cleaned)));
    }
    EXPECT_EQ(lines().filter(QStringLiteral("[push] sendToProvider: token post = success")).size(), 2);
    EXPECT_TRUE(reporter->records.isEmpty());

    sendError = platform::Error(QStringLiteral("com.translator.network.response"), 500);
    source->handlers().didRegister(QStringLiteral("<ff>"));
    EXPECT_EQ(lines().filter(QStringLiteral("token post = success")).size(), 2);
    EXPECT_EQ(reportMessages(), QStringList{QStringLiteral("sendToProvider:")});

    source->handlers().didFailToRegister(
        platform::Error(QStringLiteral("push"), 3, QStringLiteral("no service")));
    EXPECT_TRUE(
        lines().contains(QStringLiteral("[push] %1 no service")
                             .arg(QString::fromLatin1(QVPushNotificationController::kDidFailToRegister))));
    EXPECT_EQ(reportMessages().last(), QString::fromLatin1(QVPushNotificationController::kDidFailToRegister));
}

TEST_F(QVPushNotificationControllerTest, AnEndpointIsSentWholeAndOnlyItsOriginIsLogged) {
    const QString endpoint = QStringLiteral("https://user:pw@push.example.org:8443/up/Secret-42?k=v#f");
    source->handlers().didReceiveEndpoint(endpoint);
    EXPECT_EQ(sentTokens, QStringList{endpoint});
    EXPECT_TRUE(lines().contains(
        QStringLiteral("[push] %1 https://push.example.org:8443")
            .arg(QString::fromLatin1(QVPushNotificationController::kDidRegister))));
    EXPECT_TRUE(lines().filter(QStringLiteral("Secret-42")).isEmpty());
    EXPECT_TRUE(lines().filter(QStringLiteral("pw@")).isEmpty());
}

TEST_F(QVPushNotificationControllerTest, PayloadsPlayShowAndBadgeOnTheDesktop) {
    QTemporaryDir resources;
    QTemporaryDir elsewhere;
    ASSERT_TRUE(resources.isValid() && elsewhere.isValid());
    for (const QString &path : {resources.filePath(QStringLiteral("chime.wav")),
                                elsewhere.filePath(QStringLiteral("outside.wav"))}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("RIFF");
    }
    ASSERT_TRUE(QFile::link(elsewhere.filePath(QStringLiteral("outside.wav")),
                            resources.filePath(QStringLiteral("link.wav"))));
    platform::Bundle::setResourcePath(resources.path());
    const QString chime = QFileInfo(resources.filePath(QStringLiteral("chime.wav"))).canonicalFilePath();

    struct Case {
        const char *json;
        QStringList calls;
    };
    const Case cases[] = {
        {R"({"aps": {"sound": "default", "badge": 3, "alert": "Hello"}})",
         {QStringLiteral("alert sound"), QStringLiteral("badge 3"), QStringLiteral("alert |Hello")}},
        {R"({"aps": {"sound": "chime.wav", "badge": "new"}})",
         {QStringLiteral("sound file ") + chime, QStringLiteral("badge new")}},
        // An alert given as a dictionary shows its title and body.
        {R"({"aps": {"alert": {"title": "Update", "body": "Version 2 is out"}}})",
         {QStringLiteral("badge "), QStringLiteral("alert Update|Version 2 is out")}},
        // A sound name is never a path; a name the application lacks still sounds.
        {R"({"aps": {"sound": "../outside.wav"}})",
         {QStringLiteral("alert sound"), QStringLiteral("badge ")}},
        {R"({"aps": {"sound": "link.wav"}})", {QStringLiteral("alert sound"), QStringLiteral("badge ")}},
        {R"({"aps": {"sound": "missing.wav"}})", {QStringLiteral("alert sound"), QStringLiteral("badge ")}},
        {R"({"aps": {"badge": 12}})", {QStringLiteral("badge 12")}},
        {R"({"data": {"badge": 12}})", {}},
        {R"({"aps": "text"})", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.json);
        presenter->calls.clear();
        reporter->lines.clear();
        source->handlers().didReceiveRemoteNotification(payload(c.json));
        EXPECT_EQ(presenter->calls, c.calls);
        EXPECT_EQ(lines().filter(QStringLiteral("[push] didReceiveRemoteNotification userInfo")).size(), 1);
    }
}

TEST_F(QVPushNotificationControllerTest, ASourceOutlivingItsControllerReachesNothing) {
    controller.reset();
    EXPECT_FALSE(source->handlers().didRegister);
    EXPECT_FALSE(source->handlers().didReceiveRemoteNotification);
}

TEST(QVDesktopNotifier, NotificationsShowThePayloadAsPlainTextAndBadgesAsCounts) {
    struct Alert {
        QString title;
        QString body;
        QString summary;
        QString shownBody;
    };
    const Alert alerts[] = {
        {QString(), QStringLiteral("Hello"), QStringLiteral("Quorvalde Translator"), QStringLiteral("Hello")},
        {QStringLiteral("News"), QStringLiteral("<b>A & B</b>"), QStringLiteral("News"),
         QStringLiteral("&lt;b&gt;A &amp; B&lt;/b&gt;")},
    };
    for (const Alert &a : alerts) {
        SCOPED_TRACE(a.body.toStdString());
        const QList<QVariant> args = QVDesktopNotifier::notifyMessage(a.title, a.body).arguments();
        ASSERT_EQ(args.size(), 8);
        EXPECT_EQ(args.at(3).toString(), a.summary);
        EXPECT_EQ(args.at(4).toString(), a.shownBody);
        EXPECT_EQ(args.at(7).toInt(), -1);
    }

    const QList<std::tuple<QString, qint64, bool>> badges = {
        {QStringLiteral("3"), 3, true},
        {QString(), 0, false},
        {QStringLiteral("new"), 0, false},
    };
    for (const auto &[label, count, visible] : badges) {
        SCOPED_TRACE(label.toStdString());
        const QList<QVariant> args = QVDesktopNotifier::launcherEntryMessage(label).arguments();
        ASSERT_EQ(args.size(), 2);
        EXPECT_EQ(args.at(0).toString(), QString::fromLatin1(QVDesktopNotifier::kDesktopEntry));
        const QVariantMap properties = args.at(1).toMap();
        EXPECT_EQ(properties.value(QStringLiteral("count")).toLongLong(), count);
        EXPECT_EQ(properties.value(QStringLiteral("count-visible")).toBool(), visible);
    }
}

} // namespace
