#include "OnlineServiceTest.h"

#include "services/network/QVHTTPSessionManager.h"

#include "platform/BackendConfig.h"

#include <stdexcept>

using qvtest::FakeReply;

namespace {

using Success = MFHTTPSessionManager::Success;
using Failure = MFHTTPSessionManager::Failure;

// A session manager on the test backend whose identifier the test chooses.
class TestSessionManager : public QVHTTPSessionManager {
public:
    explicit TestSessionManager(QString identifier)
        : QVHTTPSessionManager(
              [] { return platform::BackendConfig::apiHost().resolved(QUrl(QStringLiteral("/base/"))); }),
          m_identifier(std::move(identifier)) {}
    QString installationIdentifier() const override { return m_identifier; }

private:
    QString m_identifier;
};

} // namespace

class QVHTTPSessionManagerTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        backend.route("*", QStringLiteral("/base/*"), FakeReply::json({{"ok", true}}));
    }
};

TEST_F(QVHTTPSessionManagerTest, GetQueriesKeepTheirOrderAndGainPlatformThenIdentifier) {
    struct Case {
        const char *name;
        QString identifier;
        QString url;
        QVariant parameters;
        QList<QPair<QString, QString>> expected;
    };
    const QList<Case> cases = {
        {"no parameters",
         QStringLiteral("id-1"),
         QStringLiteral("list"),
         QVariant(),
         {{"platform", "macOS"}, {"uuid", "id-1"}}},
        {"no identifier yet", QString(), QStringLiteral("list"), QVariant(), {{"platform", "macOS"}}},
        {"own items first",
         QStringLiteral("id-1"),
         QStringLiteral("list?b=2&a=1"),
         QVariant(),
         {{"b", "2"}, {"a", "1"}, {"platform", "macOS"}, {"uuid", "id-1"}}},
        {"own platform replaced where it stands",
         QStringLiteral("id-1"),
         QStringLiteral("list?platform=web&x=a%20b"),
         QVariant(),
         {{"platform", "macOS"}, {"x", "a b"}, {"uuid", "id-1"}}},
        {"parameters carry the common fields",
         QStringLiteral("id-1"),
         QStringLiteral("list"),
         QVariantMap{{"k", "v"}},
         {{"k", "v"}, {"platform", "macOS"}, {"uuid", "id-1"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestSessionManager manager(c.identifier);
        backend.clearRequests();
        Calls<MFURLSessionTaskPtr, QVariant> success;
        manager.GET(c.url, c.parameters, success.block(), Failure());
        ASSERT_TRUE(settle(success));
        const qvtest::RecordedRequest request = backend.lastRequest();
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.path, QStringLiteral("/base/list"));
        EXPECT_EQ(request.queryItems, c.expected);
    }
}

TEST_F(QVHTTPSessionManagerTest, PostBodiesAlwaysSayMacOSAndKeepACallersIdentifierOnlyWithoutOurs) {
    struct Case {
        const char *name;
        QString identifier;
        QString expectedUuid;
    };
    const QList<Case> cases = {
        {"stored identifier wins", QStringLiteral("stored"), QStringLiteral("stored")},
        {"caller's identifier survives while none is stored", QString(), QStringLiteral("mine")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestSessionManager manager(c.identifier);
        Calls<MFURLSessionTaskPtr, QVariant> success;
        manager.POST(QStringLiteral("send"), QVariantMap{{"platform", "web"}, {"uuid", "mine"}, {"a", 1}},
                     success.block(), Failure());
        ASSERT_TRUE(settle(success));
        const QJsonObject body = backend.lastRequest().jsonObject();
        EXPECT_EQ(body.value("platform").toString(), QStringLiteral("macOS"));
        EXPECT_EQ(body.value("uuid").toString(), c.expectedUuid);
        EXPECT_EQ(body.value("a").toInt(), 1);
    }
}

TEST_F(QVHTTPSessionManagerTest, MultipartFormsCarryTheCommonFieldsBesideTheFile) {
    TestSessionManager manager(QStringLiteral("id-9"));
    Calls<MFURLSessionTaskPtr, QVariant> success;
    manager.POST(
        QStringLiteral("upload"), QVariantMap{{"to", "docx"}},
        [](MFMultipartFormData &form) {
            form.appendPartWithFileData("bytes", "file", "a.bin", "application/x-test");
        },
        success.block(), Failure());
    ASSERT_TRUE(settle(success));
    const qvtest::RecordedRequest request = backend.lastRequest();
    ASSERT_NE(request.part("platform"), nullptr);
    EXPECT_EQ(request.part("platform")->data, "macOS");
    ASSERT_NE(request.part("uuid"), nullptr);
    EXPECT_EQ(request.part("uuid")->data, "id-9");
    ASSERT_NE(request.part("file"), nullptr);
    EXPECT_EQ(request.part("file")->data, "bytes");
}

TEST_F(QVHTTPSessionManagerTest, RequestLogLinesNameKeysButNeverTheUsersText) {
    TestSessionManager manager(QStringLiteral("id-1"));
    Calls<MFURLSessionTaskPtr, QVariant> success;
    manager.POST(QStringLiteral("translate"), QVariantMap{{"data", QStringList{"private words"}}},
                 success.block(), Failure());
    manager.GET(QStringLiteral("textToSpeech?text=private%20speech&lang=de"), QVariant(), success.block(),
                Failure());
    ASSERT_TRUE(settle(success, 2));
    const QStringList lines = loggedLines().filter(QStringLiteral("### POST. URLString:"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0),
              QStringLiteral("### POST. URLString: 'translate' | parameters: (data, platform, uuid)"));
    EXPECT_EQ(lines.at(1),
              QStringLiteral("### POST. URLString: 'textToSpeech?text&lang&platform&uuid' | parameters: ()"));
    for (const QString &line : loggedLines())
        EXPECT_FALSE(line.contains(QStringLiteral("private"))) << line.toStdString();
}

TEST_F(QVHTTPSessionManagerTest, ThrowingSuccessBlockIsReportedAndTheFailureBlockStaysSilent) {
    TestSessionManager manager(QStringLiteral("id-1"));
    int successCalls = 0;
    Calls<MFURLSessionTaskPtr, platform::Error> failure;
    manager.GET(
        QStringLiteral("list"), QVariant(),
        [&](const MFURLSessionTaskPtr &, const QVariant &) {
            ++successCalls;
            throw std::runtime_error("caller fault");
        },
        failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return successCalls == 1; }));
    qvtest::spin(50);
    EXPECT_EQ(failure.count, 0);
    const auto records = reports();
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.last().domain, QStringLiteral("NSException"));
    EXPECT_EQ(records.last().userInfo.value("message").toString(),
              QStringLiteral("GET:parameters:progress:success:failure:"));
}

TEST_F(QVHTTPSessionManagerTest, RequestThatCannotBePreparedFailsOnceWithoutATask) {
    TestSessionManager manager(QStringLiteral("id-1"));
    Calls<MFURLSessionTaskPtr, platform::Error> failure;
    const MFURLSessionTaskPtr task =
        manager.POST(QStringLiteral("http://[::1"), QVariantMap{}, Success(), failure.block());
    EXPECT_EQ(task, nullptr);
    ASSERT_TRUE(settle(failure));
    qvtest::spin(50);
    EXPECT_EQ(failure.count, 1);
    EXPECT_EQ(failure.arg<0>(), nullptr);
    EXPECT_TRUE(failure.arg<1>().domain().isEmpty());
    EXPECT_EQ(failure.arg<1>().code(), 0);
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(QVHTTPSessionManagerTest, CancelledRequestEndsOnceAndItsLateReplyIsDropped) {
    backend.route("GET", QStringLiteral("/base/slow"), FakeReply::json({{"late", true}}).withDelay(300));
    TestSessionManager manager(QStringLiteral("id-1"));
    Calls<MFURLSessionTaskPtr, QVariant> success;
    Calls<MFURLSessionTaskPtr, platform::Error> failure;
    Calls<MFURLSessionTaskPtr, QVariant> otherSuccess;
    const MFURLSessionTaskPtr task =
        manager.GET(QStringLiteral("slow"), QVariant(), success.block(), failure.block());
    manager.GET(QStringLiteral("slow"), QVariant(), otherSuccess.block(), Failure());
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(backend.waitForRequests(2));
    manager.cancel(task);
    manager.cancel(task);
    ASSERT_TRUE(settle(failure));
    // The other request on the same manager is not touched.
    ASSERT_TRUE(settle(otherSuccess));
    qvtest::spin(100);
    EXPECT_EQ(failure.count, 1);
    EXPECT_EQ(success.count, 0);
    EXPECT_EQ(failure.arg<1>().domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(failure.arg<1>().code(), -999);
    ASSERT_NE(failure.arg<0>(), nullptr);
    EXPECT_EQ(failure.arg<0>()->taskIdentifier, task->taskIdentifier);
}

TEST_F(QVHTTPSessionManagerTest, DeleteCarriesNeitherPlatformNorIdentifier) {
    TestSessionManager manager(QStringLiteral("id-1"));
    Calls<MFURLSessionTaskPtr, QVariant> success;
    manager.DELETE(QStringLiteral("favorite/42"), QVariant(), success.block(), Failure());
    manager.DELETE(QStringLiteral("favorite"), QVariantMap{{"all", "1"}}, success.block(), Failure());
    ASSERT_TRUE(settle(success, 2));
    for (const qvtest::RecordedRequest &request : backend.requests()) {
        EXPECT_EQ(request.method, "DELETE");
        EXPECT_FALSE(request.query.hasQueryItem("platform")) << request.target.toStdString();
        EXPECT_FALSE(request.query.hasQueryItem("uuid")) << request.target.toStdString();
        EXPECT_TRUE(request.body.isEmpty() || !request.jsonObject().contains("uuid"));
    }
    EXPECT_EQ(backend.lastRequest().queryItems, (QList<QPair<QString, QString>>{{"all", "1"}}));
}
