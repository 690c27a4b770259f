#include "NetworkTestSupport.h"

#include <merovantia/MFAuthRequestManager.h>
#include <merovantia/Merovantia.h>

#include <QJsonArray>

#include <stdexcept>

namespace {

using qvtest::FakeReply;
using DataCalls = CallRecord<const QVariant &>;
using FailureCalls = CallRecord<const platform::Error &>;

class MFAuthRequestManagerTest : public BackendTest {
protected:
    void SetUp() override {
        BackendTest::SetUp();
        client().clearAuthorization();
    }
    void TearDown() override {
        client().setTimeoutInterval(15000);
        client().setDefaultResponseSerializer();
        client().clearAuthorization();
        BackendTest::TearDown();
    }
    static MFAuthRequestManager &client() { return MFAuthRequestManager::instance(); }

    // Exactly one of the two blocks ran, once, on the main thread.
    static void settle(const DataCalls &success, const FailureCalls &failure) {
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        qvtest::spin(50);
        EXPECT_EQ(success.count + failure.count, 1);
        EXPECT_TRUE(success.allOnMain && failure.allOnMain);
    }

    platform::Error loginFailure(const FakeReply &reply) {
        m_backend.route("POST", "/v2/api/auth/login", reply);
        DataCalls success;
        FailureCalls failure;
        client().loginWithEmail("a@b.c", "pw", "en", "macOS", success.block(), failure.block());
        settle(success, failure);
        EXPECT_EQ(failure.count, 1);
        return failure.arg<0>();
    }
};

TEST_F(MFAuthRequestManagerTest, LoginPostsCredentialsWithTheIdentifierAndJsonHeaders) {
    m_backend.route("POST", "/v2/api/auth/login",
                    FakeReply::json(QJsonObject{{"data", QJsonObject{{"token", "T"}}}}));
    client().setAuthToken(QStringLiteral("Basic abc"));
    DataCalls success;
    FailureCalls failure;
    client().loginWithEmail("a@b.c", "pw", "en_GB", "macOS", success.block(), failure.block());
    EXPECT_EQ(success.count + failure.count, 0);
    settle(success, failure);

    const qvtest::RecordedRequest request = m_backend.lastRequest();
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.path, QStringLiteral("/v2/api/auth/login"));
    EXPECT_EQ(request.header("Content-Type"), QByteArray("application/json"));
    EXPECT_EQ(request.header("Accept"), QByteArray("application/json"));
    EXPECT_EQ(request.header("Authorization"), QByteArray("Basic abc"));
    const QJsonObject body = request.jsonObject();
    EXPECT_EQ(sortedKeys(body), (QStringList{"email", "locale", "password", "platform", "uuid"}));
    EXPECT_EQ(body["email"].toString(), QStringLiteral("a@b.c"));
    EXPECT_EQ(body["password"].toString(), QStringLiteral("pw"));
    EXPECT_EQ(body["locale"].toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(body["platform"].toString(), QStringLiteral("macOS"));
    EXPECT_EQ(body["uuid"].toString(), m_uuid);
    ASSERT_EQ(success.count, 1);
    EXPECT_EQ(success.arg<0>().toMap().value(QStringLiteral("token")).toString(), QStringLiteral("T"));
}

TEST_F(MFAuthRequestManagerTest, RegistrationIsAlwaysAPreCustomerAndSendsPhoneOnlyWhenGiven) {
    m_backend.route("POST", "/v2/api/auth/registration",
                    FakeReply::json(QJsonObject{{"data", QJsonObject{}}}));
    DataCalls success;
    FailureCalls failure;
    client().registerUserWithName("Ann", "a@b.c", "pw", "", "admin", "de", "macOS", success.block(),
                                  failure.block());
    settle(success, failure);
    QJsonObject body = m_backend.lastRequest().jsonObject();
    EXPECT_EQ(sortedKeys(body),
              (QStringList{"email", "locale", "password", "platform", "role", "username", "uuid"}));
    EXPECT_EQ(body["role"].toString(), QStringLiteral("preCustomer"));
    EXPECT_EQ(body["username"].toString(), QStringLiteral("Ann"));

    DataCalls success2;
    FailureCalls failure2;
    client().registerUserWithName("Ann", "a@b.c", "pw", "+4912345", "admin", "de", "macOS", success2.block(),
                                  failure2.block());
    settle(success2, failure2);
    body = m_backend.lastRequest().jsonObject();
    EXPECT_EQ(body["phone"].toString(), QStringLiteral("+4912345"));
    EXPECT_EQ(body["role"].toString(), QStringLiteral("preCustomer"));
    EXPECT_EQ(success.count + success2.count, 2);
}

TEST_F(MFAuthRequestManagerTest, PasswordResetSendsTheAddress) {
    m_backend.route("POST", "/v2/api/auth/password/forgot", FakeReply::json(QJsonObject{{"data", "sent"}}));
    DataCalls success;
    FailureCalls failure;
    Merovantia::resetPassword("a@b.c", success.block(), failure.block());
    settle(success, failure);
    EXPECT_EQ(sortedKeys(m_backend.lastRequest().jsonObject()), (QStringList{"email", "uuid"}));
    EXPECT_EQ(success.arg<0>().toString(), QStringLiteral("sent"));
}

TEST_F(MFAuthRequestManagerTest, CurrentUserIsAGetWithPlatformThenIdentifierAndNoBody) {
    m_backend.route("GET", "/v2/api/user",
                    FakeReply::json(QJsonObject{{"data", QJsonObject{{"name", "Ann"}}}}));
    DataCalls success;
    FailureCalls failure;
    Merovantia::getUserWithOsPlatform("macOS", success.block(), failure.block());
    settle(success, failure);
    const qvtest::RecordedRequest request = m_backend.lastRequest();
    EXPECT_EQ(request.method, QByteArray("GET"));
    EXPECT_EQ(request.path, QStringLiteral("/v2/api/user"));
    const QList<QPair<QString, QString>> expected{{"platform", "macOS"}, {"uuid", m_uuid}};
    EXPECT_EQ(request.queryItems, expected);
    EXPECT_TRUE(request.body.isEmpty());
    EXPECT_EQ(success.arg<0>().toMap().value(QStringLiteral("name")).toString(), QStringLiteral("Ann"));
}

TEST_F(MFAuthRequestManagerTest, WithoutIdentifierNeitherQueryNorBodyCarriesOne) {
    ASSERT_TRUE(SAMKeychain::deletePasswordForService(MFDataManager::appIdentifier(), m_uuid));
    m_backend.route("GET", "/v2/api/user", FakeReply::json(QJsonObject{{"data", 1}}));
    m_backend.route("POST", "/v2/api/auth/logout", FakeReply::json(QJsonObject{}));
    DataCalls success;
    FailureCalls failure;
    client().getUserWithOsPlatform("macOS", success.block(), failure.block());
    settle(success, failure);
    EXPECT_EQ(m_backend.lastRequest().queryItems, (QList<QPair<QString, QString>>{{"platform", "macOS"}}));
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> logout;
    FailureCalls logoutFailure;
    client().logoutUserWithOsPlatform("macOS", logout.block(), logoutFailure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return logout.count > 0; }));
    EXPECT_EQ(sortedKeys(m_backend.lastRequest().jsonObject()), (QStringList{"platform"}));
}

TEST_F(MFAuthRequestManagerTest, FacebookSignInGetsLocaleAndPlatformInTheirPlaces) {
    m_backend.route("POST", "/v2/api/auth/facebook", FakeReply::json(QJsonObject{{"data", "ok"}}));
    DataCalls success;
    FailureCalls failure;
    Merovantia::authViaFacebookWithParameters({{"access_token", "fb"}, {"locale", "xx"}}, "de_DE", "macOS",
                                              success.block(), failure.block());
    settle(success, failure);
    const QJsonObject body = m_backend.lastRequest().jsonObject();
    EXPECT_EQ(sortedKeys(body), (QStringList{"access_token", "locale", "platform", "uuid"}));
    EXPECT_EQ(body["locale"].toString(), QStringLiteral("de_DE"));
    EXPECT_EQ(body["platform"].toString(), QStringLiteral("macOS"));

    DataCalls success2;
    FailureCalls failure2;
    client().authViaFacebookWithParameters({{"access_token", "fb"}, {"locale", "xx"}}, "macOS", QString(),
                                           success2.block(), failure2.block());
    settle(success2, failure2);
    EXPECT_FALSE(m_backend.lastRequest().jsonObject().contains("locale"));
}

TEST_F(MFAuthRequestManagerTest, LogoutHandsAnySuccessfulReplyWhole) {
    m_backend.routeSequence(
        "POST", "/v2/api/auth/logout",
        {FakeReply::jsonArray(QJsonArray{1, 2}), FakeReply::bytes("<p>bye</p>", "text/html")});
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
    FailureCalls failure;
    Merovantia::logoutUserWithOsPlatform("macOS", success.block(), failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count > 0; }));
    EXPECT_EQ(success.arg<1>().toList().size(), 2);
    ASSERT_TRUE(success.arg<0>());
    EXPECT_EQ(success.arg<0>()->response.statusCode, 200);
    EXPECT_EQ(success.arg<0>()->url.path(), QStringLiteral("/v2/api/auth/logout"));
    EXPECT_EQ(sortedKeys(m_backend.lastRequest().jsonObject()), (QStringList{"platform", "uuid"}));

    client().logoutUserWithOsPlatform("macOS", success.block(), failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count > 1; }));
    EXPECT_EQ(success.arg<1>().toByteArray(), QByteArray("<p>bye</p>"));
    EXPECT_EQ(failure.count, 0);
    EXPECT_TRUE(success.allOnMain);
}

TEST_F(MFAuthRequestManagerTest, ReplyWithoutDataOrNotAnObjectFailsWithNoError) {
    for (const FakeReply &reply :
         {FakeReply::json(QJsonObject{{"user", 1}}), FakeReply::jsonArray(QJsonArray{1}),
          FakeReply::bytes("<p>hi</p>", "text/html")}) {
        const platform::Error error = loginFailure(reply);
        EXPECT_TRUE(error.isNull()) << qPrintable(error.domain());
    }
}

TEST_F(MFAuthRequestManagerTest, ErrorBodiesBecomeNetworkResponseErrors) {
    platform::Error error = loginFailure(FakeReply::json(QJsonObject{{"err", "Token expired"}}, 401));
    EXPECT_EQ(error.domain(), QStringLiteral("com.translator.network.response"));
    EXPECT_EQ(error.code(), 401);
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("Token expired"));

    error = loginFailure(
        FakeReply::json(QJsonObject{{"err", QJsonObject{{"message", "Bad mail"}, {"err_code", 9}}}}, 400));
    EXPECT_EQ(error.code(), 400);
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("Bad mail"));

    error = loginFailure(FakeReply::json(QJsonObject{{"errorCode", "E42"}}, 500));
    EXPECT_EQ(error.code(), 500);
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("E42"));

    error = loginFailure(FakeReply::json(QJsonObject{{"other", 1}}, 402));
    EXPECT_EQ(error.domain(), QStringLiteral("com.translator.network.response"));
    EXPECT_EQ(error.code(), 402);
    EXPECT_TRUE(error.userInfo().isEmpty());

    error = loginFailure(FakeReply::jsonArray(QJsonArray{1}, 503));
    EXPECT_EQ(error.domain(), QStringLiteral("com.translator.network.response"));
    EXPECT_EQ(error.code(), 0);
}

TEST_F(MFAuthRequestManagerTest, HtmlErrorPageFailsWithTheStatusCheck) {
    const platform::Error error = loginFailure(FakeReply::bytes("<h1>down</h1>", "text/html", 502));
    EXPECT_EQ(error.domain(), QString::fromLatin1(kMFResponseSerializationErrorDomain));
    EXPECT_EQ(error.code(), -1011);
}

TEST_F(MFAuthRequestManagerTest, SoundAndDocumentRepliesComeBackAsRawData) {
    const QList<QByteArray> types{"audio/wav", "text/rtf",
                                  "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
                                  "application/vnd.oasis.opendocument.text"};
    for (const QByteArray &type : types) {
        m_backend.route("POST", "/v2/api/auth/logout", FakeReply::bytes("RAW:" + type, type));
        CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
        FailureCalls failure;
        client().logoutUserWithOsPlatform("macOS", success.block(), failure.block());
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        ASSERT_EQ(success.count, 1) << type.constData();
        EXPECT_EQ(success.arg<1>().toByteArray(), "RAW:" + type);
    }
}

TEST_F(MFAuthRequestManagerTest, RawReplyCutShortFailsInsteadOfHandingOverPartOfIt) {
    m_backend.route("POST", "/v2/api/auth/logout",
                    FakeReply::bytes(QByteArray(5000, 'w'), "audio/wav").abortAfter(100));
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
    FailureCalls failure;
    client().logoutUserWithOsPlatform("macOS", success.block(), failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
    qvtest::spin(50);
    EXPECT_EQ(success.count, 0);
    ASSERT_EQ(failure.count, 1);
    EXPECT_EQ(failure.arg<0>().domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(failure.arg<0>().code(), -1005);
}

TEST_F(MFAuthRequestManagerTest, EmptyReplyOfAnyContentTypeIsASuccessfulLogout) {
    m_backend.route("POST", "/v2/api/auth/logout", FakeReply::bytes(QByteArray(), "application/json", 204));
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
    FailureCalls failure;
    client().logoutUserWithOsPlatform("macOS", success.block(), failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
    qvtest::spin(50);
    EXPECT_EQ(failure.count, 0) << qPrintable(failure.arg<0>().localizedDescription());
    ASSERT_EQ(success.count, 1);
    EXPECT_EQ(success.arg<0>()->response.statusCode, 204);
}

TEST_F(MFAuthRequestManagerTest, EncodedUrlWithoutParametersKeepsItsQueryAndGainsTheIdentifier) {
    m_backend.route("GET", "/v2/api/things", FakeReply::json(QJsonObject{{"data", 1}}));
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
    CallRecord<const MFURLSessionTaskPtr &, const platform::Error &> failure;
    client().GET(QStringLiteral("things?q=a%20b"), QVariant(), success.block(), failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
    EXPECT_EQ(failure.count, 0);
    const QList<QPair<QString, QString>> expected{{"q", "a b"}, {"uuid", m_uuid}};
    EXPECT_EQ(m_backend.lastRequest().queryItems, expected);
}

TEST_F(MFAuthRequestManagerTest, AuthorizationIsFixedWhenEachRequestStarts) {
    m_backend.route("POST", "/v2/api/auth/login", FakeReply::json(QJsonObject{{"data", 1}}).withDelay(50));
    DataCalls success;
    FailureCalls failure;
    client().setAuthToken(QStringLiteral("Bearer first"));
    client().loginWithEmail("a", "b", "c", "d", success.block(), failure.block());
    client().setAuthToken(QStringLiteral("Bearer second"));
    client().loginWithEmail("a", "b", "c", "d", success.block(), failure.block());
    client().clearAuthorization();
    client().loginWithEmail("a", "b", "c", "d", success.block(), failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count == 3; }));
    QList<QByteArray> seen;
    for (const qvtest::RecordedRequest &request : m_backend.requests())
        seen << (request.hasHeader("Authorization") ? request.header("Authorization") : QByteArray("none"));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (QList<QByteArray>{"Bearer first", "Bearer second", "none"}));
}

TEST_F(MFAuthRequestManagerTest, ExceptionInSuccessNeverAlsoRunsFailure) {
    m_backend.route("POST", "/v2/api/auth/login", FakeReply::json(QJsonObject{{"data", 1}}));
    int successes = 0;
    FailureCalls failure;
    client().loginWithEmail(
        "a", "b", "c", "d",
        [&](const QVariant &) {
            ++successes;
            throw std::runtime_error("view went away");
        },
        failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return successes > 0; }));
    qvtest::spin(100);
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(failure.count, 0);
}

TEST_F(MFAuthRequestManagerTest, SilentServerTimesOutWithTheShortenedInterval) {
    client().setTimeoutInterval(200);
    const platform::Error error = loginFailure(FakeReply::json(QJsonObject{{"data", 1}}).withDelay(3000));
    EXPECT_EQ(error.domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(error.code(), -1001);
}

TEST_F(MFAuthRequestManagerTest, BrokenUrlFailsAtOnceWithAnEmptyDomainError) {
    FailureCalls failure;
    CallRecord<const MFURLSessionTaskPtr &, const platform::Error &> raw;
    const MFURLSessionTaskPtr task = client().GET(
        QStringLiteral("http://[::1"), QVariant(), [](const MFURLSessionTaskPtr &, const QVariant &) {},
        raw.block());
    EXPECT_EQ(task, nullptr);
    ASSERT_TRUE(qvtest::waitUntil([&] { return raw.count > 0; }));
    qvtest::spin(20);
    EXPECT_EQ(raw.count, 1);
    EXPECT_EQ(raw.arg<1>().domain(), QString());
    EXPECT_EQ(raw.arg<1>().code(), 0);
    EXPECT_FALSE(raw.arg<1>().isNull());
    EXPECT_EQ(m_backend.requestCount(), 0);
}

TEST_F(MFAuthRequestManagerTest, GetWithParametersSendsThemSortedWithTheIdentifier) {
    m_backend.route("GET", "/v2/api/things", FakeReply::json(QJsonObject{{"data", 1}}));
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
    CallRecord<const MFURLSessionTaskPtr &, const platform::Error &> failure;
    client().GET(QStringLiteral("things"), QVariantMap{{"zeta", "1"}, {"alpha", "a b"}}, success.block(),
                 failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
    const QList<QPair<QString, QString>> expected{{"alpha", "a b"}, {"uuid", m_uuid}, {"zeta", "1"}};
    EXPECT_EQ(m_backend.lastRequest().queryItems, expected);
}

} // namespace

namespace {

TEST_F(MFAuthRequestManagerTest, ProgressIsReportedOnTheMainThreadBeforeTheReply) {
    const QByteArray payload = "{\"data\":\"" + QByteArray(20000, 'x') + "\"}";
    m_backend.route("GET", "/v2/api/big",
                    qvtest::FakeReply::bytes(payload, "application/json").throttled(5000, 200));
    qint64 lastReceived = 0;
    bool progressOnMain = true;
    int progressCalls = 0;
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
    CallRecord<const MFURLSessionTaskPtr &, const platform::Error &> failure;
    int progressAtReply = -1;
    client().GET(
        QStringLiteral("big"), QVariant(),
        [&](qint64 received, qint64) {
            ++progressCalls;
            lastReceived = received;
            progressOnMain = progressOnMain && platform::isMainThread();
        },
        [&](const MFURLSessionTaskPtr &task, const QVariant &object) {
            progressAtReply = progressCalls;
            success.block()(task, object);
        },
        failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
    EXPECT_EQ(failure.count, 0);
    EXPECT_GT(progressAtReply, 1);
    EXPECT_EQ(lastReceived, payload.size());
    EXPECT_TRUE(progressOnMain);
    EXPECT_EQ(success.arg<1>().toMap().value(QStringLiteral("data")).toString().size(), 20000);
}

} // namespace

namespace {

TEST_F(MFAuthRequestManagerTest, MultipartPostSendsFieldsIdentifierAndParts) {
    m_backend.route("POST", "/v2/api/upload", qvtest::FakeReply::json(QJsonObject{{"data", "stored"}}));
    const QByteArray picture(300000, '\x7f');
    qint64 lastSent = 0;
    bool progressOnMain = true;
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
    CallRecord<const MFURLSessionTaskPtr &, const platform::Error &> failure;
    client().POST(
        QStringLiteral("upload"), QVariantMap{{"kind", "photo"}},
        [&](MFMultipartFormData &form) {
            form.appendPartWithFileData(picture, QStringLiteral("image"), QStringLiteral("a \"b\".png"),
                                        "image/png");
        },
        [&](qint64 sent, qint64) {
            lastSent = sent;
            progressOnMain = progressOnMain && platform::isMainThread();
        },
        success.block(), failure.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
    ASSERT_EQ(success.count, 1);
    const qvtest::RecordedRequest request = m_backend.lastRequest();
    EXPECT_TRUE(request.header("Content-Type").startsWith("multipart/form-data; boundary="));
    ASSERT_NE(request.part("kind"), nullptr);
    EXPECT_EQ(request.part("kind")->data, QByteArray("photo"));
    ASSERT_NE(request.part("uuid"), nullptr);
    EXPECT_EQ(request.part("uuid")->data, m_uuid.toUtf8());
    const qvtest::MultipartPart *image = request.part("image");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->contentType, QByteArray("image/png"));
    EXPECT_EQ(image->data, picture);
    EXPECT_EQ(lastSent, request.body.size());
    EXPECT_TRUE(progressOnMain);
}

TEST_F(MFAuthRequestManagerTest, ExceptionWhileBuildingTheBodyFailsOnceWithoutSending) {
    CallRecord<const MFURLSessionTaskPtr &, const QVariant &> success;
    CallRecord<const MFURLSessionTaskPtr &, const platform::Error &> failure;
    const MFURLSessionTaskPtr task = client().POST(
        QStringLiteral("upload"), QVariant(),
        [](MFMultipartFormData &) { throw std::runtime_error("file vanished"); }, success.block(),
        failure.block());
    EXPECT_EQ(task, nullptr);
    EXPECT_EQ(failure.count, 0) << "failure must come later, on the main queue";
    ASSERT_TRUE(qvtest::waitUntil([&] { return failure.count > 0; }));
    qvtest::spin(20);
    EXPECT_EQ(failure.count, 1);
    EXPECT_EQ(success.count, 0);
    EXPECT_EQ(failure.arg<1>().domain(), QString());
    EXPECT_EQ(failure.arg<1>().code(), 0);
    EXPECT_EQ(failure.arg<1>().userInfo().value(QStringLiteral("exception")).toString(),
              QStringLiteral("file vanished"));
    EXPECT_EQ(m_backend.requestCount(), 0);

    // Whatever the block throws stays inside the client.
    EXPECT_EQ(client().POST(
                  QStringLiteral("upload"), QVariant(), [](MFMultipartFormData &) { throw 7; },
                  success.block(), failure.block()),
              nullptr);
    ASSERT_TRUE(qvtest::waitUntil([&] { return failure.count > 1; }));
    EXPECT_EQ(failure.arg<1>().code(), 0);
    EXPECT_EQ(success.count, 0);
}

} // namespace
