#include "OnlineServiceTest.h"
#include "support/FakeNotifications.h"
#include "support/PrivateBus.h"

#include "services/network/QVRequestManager.h"
#include "services/push/QVDesktopNotifier.h"
#include "services/push/QVPushNotificationController.h"
#include "services/push/QVUnifiedPushTokenSource.h"

#include <QDBusMessage>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Source = QVUnifiedPushTokenSource;
const QString kAppService = QStringLiteral("com.tessaphyre.translator.pushtest");
const QString kToken = QStringLiteral("3c0f6a4e-token");
const QString kEndpoint = QStringLiteral("https://push.example.org/up/AbC-123?k=Z9_x");

// A distributor as the desktop would run one: it answers Register, then hands
// the connector an endpoint, and can call the connector whenever the test says.
class FakeDistributor : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.unifiedpush.Distributor1")
public:
    FakeDistributor(QDBusConnection connection, const QString &name)
        : m_connection(std::move(connection)), m_name(name) {}

    bool start() {
        return m_connection.registerObject(QString::fromLatin1(Source::kDistributorPath), this,
                                           QDBusConnection::ExportScriptableSlots) &&
               m_connection.registerService(m_name);
    }
    void stop() {
        m_connection.unregisterService(m_name);
        m_connection.unregisterObject(QString::fromLatin1(Source::kDistributorPath));
    }
    void callConnector(const QString &method, const QVariantList &arguments) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kAppService, QString::fromLatin1(Source::kConnectorPath),
                                           QString::fromLatin1(Source::kConnectorInterface), method);
        call.setArguments(arguments);
        m_connection.send(call);
    }
    void message(const QByteArray &bytes, const QString &token = kToken) {
        callConnector(QStringLiteral("Message"), {token, bytes, QStringLiteral("m1")});
    }

    QString endpoint = kEndpoint;
    QString refusal;
    QStringList registered;
    QStringList unregistered;

public Q_SLOTS:
    Q_SCRIPTABLE QString Register(const QString &serviceName, const QString &token,
                                  const QString &description, QString &reason) {
        registered << serviceName + QLatin1Char('|') + token + QLatin1Char('|') + description;
        reason = refusal;
        if (!refusal.isEmpty())
            return QStringLiteral("REGISTRATION_FAILED");
        QTimer::singleShot(0, this, [this, token] {
            callConnector(QStringLiteral("NewEndpoint"), {token, endpoint});
        });
        return QString::fromLatin1(Source::kNewEndpoint);
    }
    Q_SCRIPTABLE void Unregister(const QString &token) {
        unregistered << token;
        QTimer::singleShot(0, this, [this] { callConnector(QStringLiteral("Unregistered"), {QString()}); });
    }

private:
    QDBusConnection m_connection;
    QString m_name;
};

class QVUnifiedPushTokenSourceTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        ASSERT_TRUE(bus.isRunning()) << "dbus-daemon did not start";
        app = bus.connect(QStringLiteral("app"));
        ASSERT_TRUE(app.registerService(kAppService));
        source = std::make_shared<Source>(app, kAppService, kToken);
        source->setHandlers({
            [](const QString &) {},
            [this](const platform::Error &error) { failures << error.localizedDescription(); },
            [this](const QVariantMap &payload) { payloads << payload; },
            [this](const QString &endpoint) { endpoints << endpoint; },
        });
        distributor = std::make_unique<FakeDistributor>(bus.connect(QStringLiteral("distributor")),
                                                        QStringLiteral("org.unifiedpush.Distributor.fake"));
    }
    void TearDown() override {
        source.reset();
        OnlineServiceTest::TearDown();
    }
    bool registered() {
        source->registerForRemoteNotificationTypes(QVPushTokenSource::kBadgeSoundAlert);
        return qvtest::waitUntil([this] { return !endpoints.isEmpty(); });
    }
    int noDistributorLines() const {
        return int(reporter->lines.filter(QString::fromLatin1(Source::kNoDistributorLog)).size());
    }

    qvtest::PrivateBus bus;
    QDBusConnection app{QString()};
    std::shared_ptr<Source> source;
    std::unique_ptr<FakeDistributor> distributor;
    QStringList endpoints;
    QList<QVariantMap> payloads;
    QStringList failures;
};

} // namespace

TEST_F(QVUnifiedPushTokenSourceTest, TheEndpointIsRegisteredWithTheBackendAndMessagesBecomeNotifications) {
    backend.route("POST", QStringLiteral("/api/v1/players"),
                  qvtest::FakeReply::json(QJsonObject{{"id", "p-7"}}));
    qvtest::FakeNotifications notifications;
    ASSERT_TRUE(notifications.start(bus.connect(QStringLiteral("desktop"))));
    ASSERT_TRUE(distributor->start());

    QVPushNotificationController push(source, std::make_shared<QVDesktopNotifier>(app),
                                      [](const QString &token,
                                         QVPushNotificationController::SendSuccess success,
                                         QVPushNotificationController::SendFailure failure) {
                                          QVRequestManager::instance().addDeviceWithPushToken(
                                              token, [success](bool) { success(); }, failure);
                                      });
    push.lazyRemoteNotifications();
    ASSERT_TRUE(backend.waitForRequests("POST", QStringLiteral("/api/v1/players"), 1));
    EXPECT_EQ(backend.lastRequest().jsonObject().value("identifier").toString(), kEndpoint)
        << "the endpoint travels whole, as the token did";
    EXPECT_EQ(distributor->registered,
              QStringList{kAppService + QLatin1Char('|') + kToken + QStringLiteral("|Quorvalde Translator")});
    ASSERT_TRUE(qvtest::waitUntil([this] {
        return reporter->lines.contains(QStringLiteral("[push] sendToProvider: token post = success"));
    }));
    EXPECT_TRUE(reporter->lines.filter(QStringLiteral("AbC-123")).isEmpty()) << "the endpoint is not logged";

    distributor->message(
        R"({"aps": {"alert": {"title": "News", "body": "<b>Bold</b> & <a href='file:///x'>y</a>"},
                                     "badge": 2}})");
    ASSERT_TRUE(qvtest::waitUntil([&] { return !notifications.shown.isEmpty(); }));
    EXPECT_EQ(notifications.shown,
              QStringList{QStringLiteral(
                  "News|&lt;b&gt;Bold&lt;/b&gt; &amp; &lt;a href='file:///x'&gt;y&lt;/a&gt;")});
}

TEST_F(QVUnifiedPushTokenSourceTest, HostileCallsAndMessagesAreDropped) {
    ASSERT_TRUE(distributor->start());
    ASSERT_TRUE(registered());
    QDBusConnection strangerConnection = bus.connect(QStringLiteral("stranger"));
    FakeDistributor stranger(strangerConnection, QStringLiteral("org.unifiedpush.Distributor.stranger"));

    const QByteArray valid = R"({"aps": {"alert": "Hi"}})";
    QByteArray oversized = R"({"aps": {"alert": ")" + QByteArray(Source::kMaxMessageBytes, 'a') + R"("}})";
    struct Case {
        const char *name;
        std::function<void()> send;
        const char *line; // the diagnostic line expected, nullptr for none
    };
    const Case cases[] = {
        {"oversized", [&] { distributor->message(oversized); }, "more than 4096"},
        {"not UTF-8", [&] { distributor->message("{\"aps\": {\"alert\": \"\xff\xfe\xc0\"}}"); }, "not UTF-8"},
        {"NUL inside", [&] { distributor->message(QByteArray("{\"aps\":1}\0x", 11)); }, "not UTF-8"},
        {"not JSON", [&] { distributor->message("<script>alert(1)</script>"); }, "not a JSON object"},
        {"a JSON list", [&] { distributor->message("[1, 2]"); }, "not a JSON object"},
        {"another token", [&] { distributor->message(valid, QStringLiteral("other")); }, "Message ignored"},
        {"another sender", [&] { stranger.message(valid); }, "Message ignored"},
        {"endpoint from another sender",
         [&] {
             stranger.callConnector(QStringLiteral("NewEndpoint"),
                                    {kToken, QStringLiteral("https://evil.example")});
         },
         "NewEndpoint ignored"},
        {"an endpoint that is no web address",
         [&] {
             distributor->callConnector(QStringLiteral("NewEndpoint"),
                                        {kToken, QStringLiteral("file:///etc/passwd")});
         },
         "endpoint refused"},
        {"unregistered by another sender",
         [&] { stranger.callConnector(QStringLiteral("Unregistered"), {kToken}); }, "Unregistered ignored"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        reporter->lines.clear();
        c.send();
        ASSERT_TRUE(qvtest::waitUntil(
            [&] { return !reporter->lines.filter(QString::fromLatin1(c.line)).isEmpty(); }));
        EXPECT_TRUE(payloads.isEmpty());
        EXPECT_EQ(endpoints, QStringList{kEndpoint});
    }
    // Still registered after all of it: a proper message goes through.
    EXPECT_EQ(source->state(), Source::State::Registered);
    distributor->message(valid);
    ASSERT_TRUE(qvtest::waitUntil([this] { return !payloads.isEmpty(); }));
    EXPECT_EQ(payloads.first().value(QStringLiteral("aps")).toMap().value(QStringLiteral("alert")).toString(),
              QStringLiteral("Hi"));
}

TEST_F(QVUnifiedPushTokenSourceTest, WithoutADistributorOneLineAndOneThatAppearsLaterIsUsed) {
    source->registerForRemoteNotificationTypes(QVPushTokenSource::kBadgeSoundAlert);
    ASSERT_TRUE(qvtest::waitUntil([this] { return source->state() == Source::State::NoDistributor; }));
    source->registerForRemoteNotificationTypes(QVPushTokenSource::kBadgeSoundAlert);
    qvtest::spin(50);
    EXPECT_EQ(noDistributorLines(), 1);
    EXPECT_TRUE(endpoints.isEmpty());

    ASSERT_TRUE(distributor->start());
    ASSERT_TRUE(qvtest::waitUntil([this] { return !endpoints.isEmpty(); }));
    EXPECT_EQ(endpoints, QStringList{kEndpoint});
}

TEST_F(QVUnifiedPushTokenSourceTest, ADistributorThatGoesAndComesBackIsRegisteredWithAgain) {
    ASSERT_TRUE(distributor->start());
    ASSERT_TRUE(registered());
    distributor->stop();
    ASSERT_TRUE(qvtest::waitUntil([this] { return source->state() == Source::State::NoDistributor; }));
    EXPECT_EQ(noDistributorLines(), 1);
    EXPECT_TRUE(source->endpoint().isEmpty());

    // A message from the old connection after the name is gone reaches nothing.
    reporter->lines.clear();
    distributor->message(R"({"aps": {"alert": "late"}})");
    ASSERT_TRUE(
        qvtest::waitUntil([this] { return !reporter->lines.filter(QStringLiteral("ignored")).isEmpty(); }));
    EXPECT_TRUE(payloads.isEmpty());

    distributor->endpoint = QStringLiteral("https://push.example.org/up/new");
    ASSERT_TRUE(distributor->start());
    ASSERT_TRUE(qvtest::waitUntil([this] { return endpoints.size() == 2; }));
    EXPECT_EQ(endpoints.last(), QStringLiteral("https://push.example.org/up/new"));
    EXPECT_EQ(distributor->registered.size(), 2);
}

TEST_F(QVUnifiedPushTokenSourceTest, AfterAnUnregistrationNoMessageArrives) {
    const struct {
        const char *name;
        bool ourRequest;
    } cases[] = {{"the distributor unregisters us", false}, {"we unregister", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        endpoints.clear();
        ASSERT_TRUE(distributor->start());
        ASSERT_TRUE(registered());
        if (c.ourRequest) {
            source->unregisterForRemoteNotifications();
            ASSERT_TRUE(
                qvtest::waitUntil([this] { return distributor->unregistered == QStringList{kToken}; }));
        } else {
            distributor->callConnector(QStringLiteral("Unregistered"), {kToken});
            ASSERT_TRUE(qvtest::waitUntil([this] { return source->state() == Source::State::Unregistered; }));
        }
        reporter->lines.clear();
        distributor->message(R"({"aps": {"alert": "after"}})");
        ASSERT_TRUE(qvtest::waitUntil(
            [this] { return !reporter->lines.filter(QStringLiteral("ignored")).isEmpty(); }));
        EXPECT_TRUE(payloads.isEmpty());
        EXPECT_EQ(source->state(), Source::State::Unregistered);
        distributor->stop();
    }
}

TEST_F(QVUnifiedPushTokenSourceTest, ARefusedRegistrationIsReportedAsAFailure) {
    distributor->refusal = QStringLiteral("quota reached");
    ASSERT_TRUE(distributor->start());
    source->registerForRemoteNotificationTypes(QVPushTokenSource::kBadgeSoundAlert);
    ASSERT_TRUE(qvtest::waitUntil([this] { return !failures.isEmpty(); }));
    EXPECT_TRUE(failures.first().contains(QStringLiteral("quota reached")));
    EXPECT_TRUE(endpoints.isEmpty());
}

#include "QVUnifiedPushTokenSourceTest.moc"
