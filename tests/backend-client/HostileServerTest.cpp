#include "NetworkTestSupport.h"

#include <merovantia/MFAuthRequestManager.h>
#include <merovantia/MFHTTPSessionManager.h>
#include <merovantia/MFRequestManager.h>

#include "support/RawHttpServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

#include <memory>

namespace {

using qvtest::FakeReply;
using qvtest::RawHttpServer;

// What one request ended with, whichever client made it.
struct Ending {
    int calls = 0;
    bool onMain = true;
    QVariant object;
    platform::Error error;
};

QString describe(const platform::Error &error) {
    return QStringLiteral("%1 %2 %3").arg(error.domain()).arg(error.code()).arg(error.localizedDescription());
}

enum class Client { RequestManager, SessionManager };

const char *nameOf(Client client) {
    return client == Client::RequestManager ? "application-API client" : "session manager";
}

QByteArray fixture(const char *name) {
    QFile file(QStringLiteral(QV_BACKEND_CLIENT_FIXTURES "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fixture certificate (for 127.0.0.1) trusted by this process while in scope.
class TrustedFixtureCertificate {
public:
    TrustedFixtureCertificate() : m_saved(QSslConfiguration::defaultConfiguration()) {
        QSslConfiguration trusting = m_saved;
        trusting.addCaCertificate(QSslCertificate(fixture("selfsigned-cert.pem")));
        QSslConfiguration::setDefaultConfiguration(trusting);
    }
    ~TrustedFixtureCertificate() { QSslConfiguration::setDefaultConfiguration(m_saved); }

    static QSslConfiguration serverConfiguration() {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate(fixture("selfsigned-cert.pem")));
        configuration.setPrivateKey(QSslKey(fixture("selfsigned-key.pem"), QSsl::Rsa));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        return configuration;
    }

private:
    QSslConfiguration m_saved;
};

class HostileServerTest : public BackendTest {
protected:
    void TearDown() override {
        MFRequestManager::sharedRequestManager().setTimeouts(30000, 60000);
        MFRequestManager::sharedRequestManager().setMaximumReplyBytes(kMFMaxReplyBytes);
        BackendTest::TearDown();
    }

    // A session manager with "<base>/api/" as base URL, so both clients ask "/api/app/config".
    std::unique_ptr<MFHTTPSessionManager> sessionManager(const QUrl &base) {
        return std::make_unique<MFHTTPSessionManager>(
            [base] { return QUrl(base.toString() + QStringLiteral("/api/")); });
    }

    // Asks "/api/app/config" of the server at base through one client and waits for the ending.
    Ending configFrom(Client client, const QUrl &base, int timeoutMs = 10000,
                      const std::function<void(MFHTTPSessionManager &)> &configure = {}, qint64 maxReplyBytes = 0) {
        // Held by the callbacks too: a reply that ends after the wait gave up writes here, not
        // into a returned stack frame.
        const auto ending = std::make_shared<Ending>();
        auto record = [ending](const QVariant &object, const platform::Error &error) {
            ++ending->calls;
            ending->onMain = ending->onMain && platform::isMainThread();
            ending->object = object;
            ending->error = error;
        };
        std::unique_ptr<MFHTTPSessionManager> session;
        if (client == Client::RequestManager) {
            platform::BackendConfig::overrideHost("QV_CLIENT_HOST", base);
            MFRequestManager::sharedRequestManager().setMaximumReplyBytes(maxReplyBytes > 0 ? maxReplyBytes
                                                                                           : kMFMaxReplyBytes);
            MFRequestManager::sharedRequestManager().startRequest({{"method", "app/config"}, {"type", "POST"}},
                                                                  record);
        } else {
            session = sessionManager(base);
            if (maxReplyBytes > 0)
                session->setMaximumReplyBytes(maxReplyBytes);
            if (configure)
                configure(*session);
            session->POST(
                QStringLiteral("app/config"), QVariantMap(),
                [record](const MFURLSessionTaskPtr &, const QVariant &object) { record(object, {}); },
                [record](const MFURLSessionTaskPtr &, const platform::Error &error) { record({}, error); });
        }
        EXPECT_TRUE(qvtest::waitUntil([&] { return ending->calls > 0; }, timeoutMs));
        qvtest::spin(50);
        return *ending;
    }
};

TEST_F(HostileServerTest, BrokenFramingAndStatusesAreTransportErrorsInBothClients) {
    struct Case {
        const char *name;
        QByteArray raw;
        int code;
        bool closeAfter = true;
    };
    const QByteArray json = "Content-Type: application/json\r\n";
    const Case cases[] = {
        {"status beyond the three digits", "HTTP/1.1 2000 OK\r\n" + json + "Content-Length: 2\r\n\r\n{}",
         MFURLErrorBadServerResponse},
        {"status below 100", "HTTP/1.1 099 OK\r\n" + json + "Content-Length: 2\r\n\r\n{}",
         MFURLErrorBadServerResponse},
        {"status that wraps to 200", "HTTP/1.1 4294967496 OK\r\n" + json + "Content-Length: 2\r\n\r\n{}",
         MFURLErrorNetworkConnectionLost},
        {"chunk size that is not hex",
         "HTTP/1.1 200 OK\r\n" + json + "Transfer-Encoding: chunked\r\n\r\nzz\r\n{}\r\n0\r\n\r\n",
         MFURLErrorCannotParseResponse},
        {"chunk size that overflows",
         "HTTP/1.1 200 OK\r\n" + json + "Transfer-Encoding: chunked\r\n\r\nfffffffffffffffff\r\n{}\r\n",
         MFURLErrorCannotParseResponse},
        // Qt waits for more after a negative size: with the connection left open, the deadline ends it.
        {"negative chunk size",
         "HTTP/1.1 200 OK\r\n" + json + "Transfer-Encoding: chunked\r\n\r\n-5\r\n{}\r\n", MFURLErrorTimedOut,
         false},
    };
    MFRequestManager::sharedRequestManager().setTimeouts(5000, 1500);
    for (Client client : {Client::RequestManager, Client::SessionManager}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(nameOf(client)) + ": " + c.name);
            RawHttpServer server;
            ASSERT_TRUE(server.listen());
            RawHttpServer::Answer answer{c.raw, {}};
            answer.closeAfter = c.closeAfter;
            server.setAnswer(answer);
            const Ending ending =
                configFrom(client, server.url(QString()).adjusted(QUrl::StripTrailingSlash), 10000,
                           [](MFHTTPSessionManager &session) { session.setResourceTimeoutInterval(1500); });
            EXPECT_EQ(ending.calls, 1);
            EXPECT_TRUE(ending.onMain);
            EXPECT_EQ(ending.error.domain(), QStringLiteral("NSURLErrorDomain"));
            EXPECT_EQ(ending.error.code(), c.code);
            EXPECT_FALSE(ending.object.isValid());
        }
    }
}

TEST_F(HostileServerTest, ByteOrderMarkBeforeJsonIsReadAlikeByBothClients) {
    const QByteArray mark = "\xEF\xBB\xBF";
    for (const QByteArray &marks : {mark, mark + mark}) {
        m_backend.route("POST", "/api/app/config",
                        FakeReply::bytes(marks + "{\"config\":{\"k\":1}}", "application/json"));
        for (Client client : {Client::RequestManager, Client::SessionManager}) {
            SCOPED_TRACE(std::string(nameOf(client)) + " after " + std::to_string(marks.size() / 3) +
                         " mark(s)");
            const Ending ending = configFrom(client, m_backend.baseUrl());
            EXPECT_TRUE(ending.error.isNull()) << qPrintable(ending.error.localizedDescription());
            EXPECT_EQ(ending.object.toMap().value("config").toMap().value("k").toInt(), 1);
        }
    }
    // A mark and nothing else is an empty body, whatever each client makes of one.
    for (Client client : {Client::RequestManager, Client::SessionManager}) {
        SCOPED_TRACE(nameOf(client));
        m_backend.route("POST", "/api/app/config", FakeReply::bytes(QByteArray(), "application/json"));
        const Ending empty = configFrom(client, m_backend.baseUrl());
        m_backend.route("POST", "/api/app/config", FakeReply::bytes(mark, "application/json"));
        const Ending onlyMark = configFrom(client, m_backend.baseUrl());
        EXPECT_EQ(onlyMark.error.domain(), empty.error.domain());
        EXPECT_EQ(onlyMark.error.code(), empty.error.code());
        EXPECT_EQ(onlyMark.object, empty.object);
    }
}

TEST_F(HostileServerTest, RepliesBeyondTheMemoryCapFailWithTheirOwnError) {
    const QByteArray chunk(16384, ' ');
    struct Case {
        const char *name;
        RawHttpServer::Answer answer;
        qint64 maxReplyBytes; // 0: the client's default cap
    };
    RawHttpServer::Answer declared{"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                                       QByteArray::number(kMFMaxReplyBytes + 1) + "\r\n\r\n",
                                   "{"};
    declared.closeAfter = false;
    RawHttpServer::Answer endlessChunked{
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n",
        QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n"};
    endlessChunked.endless = true;
    RawHttpServer::Answer endlessUntilClose{"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n",
                                            chunk};
    endlessUntilClose.endless = true;
    // The declared length meets the real cap; endless bodies meet a lowered one, so the case
    // does not depend on how fast a loaded machine moves 32 MB.
    const qint64 lowered = 1024 * 1024;
    const Case cases[] = {
        {"declared length over the cap", declared, 0},
        {"endless chunked body", endlessChunked, lowered},
        {"endless body ended by close", endlessUntilClose, lowered},
    };
    for (Client client : {Client::RequestManager, Client::SessionManager}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(nameOf(client)) + ": " + c.name);
            RawHttpServer server;
            ASSERT_TRUE(server.listen());
            server.setAnswer(c.answer);
            const Ending ending = configFrom(client, server.url(QString()).adjusted(QUrl::StripTrailingSlash),
                                             30000, {}, c.maxReplyBytes);
            EXPECT_EQ(ending.calls, 1);
            EXPECT_EQ(ending.error.domain(), QStringLiteral("NSURLErrorDomain"));
            EXPECT_EQ(ending.error.code(), MFURLErrorDataLengthExceedsMaximum);
        }
    }
}

TEST_F(HostileServerTest, DrippingBodyEndsAtTheOverallDeadline) {
    EXPECT_EQ(MFHTTPSessionManager([] { return QUrl(); }).resourceTimeoutInterval(), 60000);
    EXPECT_EQ(MFAuthRequestManager::instance().resourceTimeoutInterval(), 60000);
    RawHttpServer::Answer drip{
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 400\r\n\r\n",
        QByteArray(400, ' ')};
    drip.dripIntervalMs = 20; // each byte resets the idle clock; the whole body needs 8 s
    for (Client client : {Client::RequestManager, Client::SessionManager}) {
        SCOPED_TRACE(nameOf(client));
        RawHttpServer server;
        ASSERT_TRUE(server.listen());
        server.setAnswer(drip);
        MFRequestManager::sharedRequestManager().setTimeouts(5000, 600);
        const Ending ending = configFrom(client, server.url(QString()).adjusted(QUrl::StripTrailingSlash),
                                         5000, [](MFHTTPSessionManager &session) {
                                             session.setTimeoutInterval(5000);
                                             session.setResourceTimeoutInterval(600);
                                         });
        EXPECT_EQ(ending.calls, 1);
        EXPECT_EQ(ending.error.code(), MFURLErrorTimedOut);
        EXPECT_LT(server.bodyBytesWritten(), 400);
    }
}

TEST_F(HostileServerTest, BurstOfRequestsDoesNotTimeOutWhileWaitingForAConnection) {
    // Six at a time, 250 ms each: the last of 36 goes out after 1.5 s, past the idle limit.
    m_backend.route("POST", "/api/app/config", FakeReply::json(QJsonObject{{"config", 1}}).withDelay(250));
    constexpr int kRequests = 36;
    for (Client client : {Client::RequestManager, Client::SessionManager}) {
        SCOPED_TRACE(nameOf(client));
        m_backend.clearRequests();
        platform::BackendConfig::overrideHost("QV_CLIENT_HOST", m_backend.baseUrl());
        MFRequestManager::sharedRequestManager().setTimeouts(1000, 60000);
        auto session = sessionManager(m_backend.baseUrl());
        session->setTimeoutInterval(1000);
        int answered = 0;
        QList<qint64> errors;
        for (int i = 0; i < kRequests; ++i) {
            auto record = [&](const platform::Error &error) {
                ++answered;
                if (error)
                    errors.append(error.code());
            };
            if (client == Client::RequestManager) {
                MFRequestManager::sharedRequestManager().getConfigInBackgroundWithBlock(
                    [record](const QVariant &, const platform::Error &error) { record(error); });
            } else {
                session->POST(
                    QStringLiteral("app/config"), QVariantMap(),
                    [record](const MFURLSessionTaskPtr &, const QVariant &) { record({}); },
                    [record](const MFURLSessionTaskPtr &, const platform::Error &error) { record(error); });
            }
        }
        ASSERT_TRUE(qvtest::waitUntil([&] { return answered == kRequests; }, 20000));
        qvtest::spin(50);
        EXPECT_EQ(answered, kRequests);
        EXPECT_TRUE(errors.isEmpty()) << errors.size() << " failed, first " << errors.value(0);
        EXPECT_EQ(m_backend.requestCount(), kRequests);
    }
}

class RedirectTest : public HostileServerTest {
protected:
    void SetUp() override {
        HostileServerTest::SetUp();
        ASSERT_TRUE(m_elsewhere.isListening());
        m_elsewhere.route("*", "*", FakeReply::json(QJsonObject{{"data", "stolen"}}));
        client().setAuthToken(QStringLiteral("Bearer secret-token"));
    }
    void TearDown() override {
        client().clearAuthorization();
        HostileServerTest::TearDown();
    }
    static MFAuthRequestManager &client() { return MFAuthRequestManager::instance(); }

    // Logs in and returns the failure's error (null after a success).
    platform::Error login(QVariant *data = nullptr) {
        CallRecord<const QVariant &> success;
        CallRecord<const platform::Error &> failure;
        client().loginWithEmail("ann@example.org", "hunter2", "en", "macOS", success.block(),
                                failure.block());
        EXPECT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        qvtest::spin(50);
        EXPECT_EQ(success.count + failure.count, 1);
        EXPECT_TRUE(success.allOnMain && failure.allOnMain);
        if (data && success.count)
            *data = success.arg<0>();
        return failure.count ? failure.arg<0>() : platform::Error();
    }

    qvtest::FakeBackend m_elsewhere; // a second loopback port: another origin
};

TEST_F(RedirectTest, CredentialsNeverFollowARedirectToAnotherOrigin) {
    const QUrl target = m_elsewhere.url(QStringLiteral("/collect"));
    for (int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        m_backend.route("POST", "/v2/api/auth/login",
                        FakeReply::withStatus(status).withHeader("Location", target.toEncoded()));
        const platform::Error error = login();
        EXPECT_EQ(error.domain(), QStringLiteral("NSURLErrorDomain"));
        EXPECT_EQ(error.code(), MFURLErrorRedirectRefused);
        EXPECT_EQ(error.userInfo().value("NSDebugDescription").toString(), target.toString());
    }
    qvtest::spin(100);
    EXPECT_EQ(m_elsewhere.requestCount(), 0);
}

TEST_F(RedirectTest, RedirectWithinTheOriginIsFollowedWithItsBody) {
    m_backend.route("POST", "/v2/api/auth/login",
                    FakeReply::withStatus(307).withHeader("Location", "/v2/api/auth/login2"));
    m_backend.route("POST", "/v2/api/auth/login2", FakeReply::json(QJsonObject{{"data", "welcome"}}));
    QVariant data;
    const platform::Error error = login(&data);
    EXPECT_TRUE(error.isNull()) << qPrintable(describe(error));
    EXPECT_EQ(data.toString(), QStringLiteral("welcome"));
    const qvtest::RecordedRequest followed = m_backend.lastRequest();
    EXPECT_EQ(followed.path, QStringLiteral("/v2/api/auth/login2"));
    EXPECT_EQ(followed.jsonObject()["password"].toString(), QStringLiteral("hunter2"));
    EXPECT_EQ(followed.header("Authorization"), QByteArray("Bearer secret-token"));
}

TEST_F(RedirectTest, RedirectLoopWithinTheOriginEndsWithTooManyRedirects) {
    m_backend.route("POST", "/v2/api/auth/login",
                    FakeReply::withStatus(308).withHeader("Location", "/v2/api/auth/login"));
    const platform::Error error = login();
    EXPECT_EQ(error.code(), MFURLErrorHTTPTooManyRedirects);
    EXPECT_LE(m_backend.requestCount(), 12);
}

TEST_F(RedirectTest, SecureRequestRedirectedToPlainHttpIsAnInsecureRedirect) {
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend in this Qt";
    TrustedFixtureCertificate trust;
    RawHttpServer secure;
    ASSERT_TRUE(secure.listenTls(TrustedFixtureCertificate::serverConfiguration()));
    // The same host and port would still be another origin over plain http.
    const QUrl target = m_backend.url(QStringLiteral("/v2/api/auth/login"));
    secure.setAnswer({"HTTP/1.1 307 Temporary Redirect\r\nLocation: " + target.toEncoded() +
                          "\r\nContent-Length: 0\r\n\r\n",
                      {}});
    platform::BackendConfig::overrideHost("QV_ACCOUNT_HOST",
                                          secure.url(QString()).adjusted(QUrl::StripTrailingSlash));
    m_backend.route("POST", "/v2/api/auth/login", FakeReply::json(QJsonObject{{"data", "stolen"}}));
    const platform::Error error = login();
    EXPECT_EQ(secure.requestCount(), 1) << "the TLS server was never reached";
    EXPECT_EQ(error.domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(error.code(), MFURLErrorInsecureRedirect);
    qvtest::spin(100);
    EXPECT_EQ(m_backend.requestCount(), 0);
}

class DownloadTest : public HostileServerTest {
protected:
    void SetUp() override {
        HostileServerTest::SetUp();
        m_client = sessionManager(m_backend.baseUrl());
        m_destination = m_dir.filePath(QStringLiteral("downloads/package.zip"));
        QDir().mkpath(QFileInfo(m_destination).absolutePath());
    }

    struct Result {
        int calls = 0;
        QVariant object;
        platform::Error error;
        qint64 lastProgress = 0;
    };

    Result download(bool cancelOnFirstProgress = false) {
        Result result;
        MFURLSessionTaskPtr task;
        task = m_client->download(
            QStringLiteral("files/package.zip"), QVariant(), m_destination,
            [&](qint64 received, qint64) {
                result.lastProgress = received;
                if (cancelOnFirstProgress)
                    m_client->cancel(task);
            },
            [&](const MFURLSessionTaskPtr &, const QVariant &object) {
                ++result.calls;
                result.object = object;
            },
            [&](const MFURLSessionTaskPtr &, const platform::Error &error) {
                ++result.calls;
                result.error = error;
            });
        EXPECT_TRUE(qvtest::waitUntil([&] { return result.calls > 0; }, 20000));
        qvtest::spin(50);
        EXPECT_EQ(result.calls, 1);
        return result;
    }

    QByteArray fileContents() const {
        QFile file(m_destination);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    void writeOldFile() {
        QFile file(m_destination);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old package");
    }

    std::unique_ptr<MFHTTPSessionManager> m_client;
    QString m_destination;
};

TEST_F(DownloadTest, BodyLargerThanTheMemoryCapStreamsIntoTheFile) {
    QByteArray payload(int(kMFMaxReplyBytes) + 4096, Qt::Uninitialized);
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 31 + i / 4099);
    m_backend.route("GET", "/api/files/package.zip", FakeReply::bytes(payload, "application/zip"));
    writeOldFile();
    const Result result = download();
    ASSERT_TRUE(result.error.isNull()) << qPrintable(result.error.localizedDescription());
    EXPECT_EQ(result.object.toString(), m_destination);
    EXPECT_EQ(result.lastProgress, payload.size());
    const QByteArray written = fileContents();
    EXPECT_EQ(written.size(), payload.size());
    EXPECT_EQ(QCryptographicHash::hash(written, QCryptographicHash::Sha256),
              QCryptographicHash::hash(payload, QCryptographicHash::Sha256));
    EXPECT_EQ(m_backend.lastRequest().queryItems, (QList<QPair<QString, QString>>{{"uuid", m_uuid}}));
}

TEST_F(DownloadTest, FailedOrCancelledDownloadLeavesTheFileAsItWas) {
    const QByteArray payload(200000, 'p');
    struct Case {
        const char *name;
        FakeReply reply;
        bool cancel;
        QString domain;
        qint64 code;
    };
    const Case cases[] = {
        {"connection cut mid-body", FakeReply::bytes(payload, "application/zip").abortAfter(5000), false,
         "NSURLErrorDomain", MFURLErrorNetworkConnectionLost},
        {"error status with a JSON body", FakeReply::json(QJsonObject{{"err", "no such package"}}, 404),
         false, "com.translator.network.response", 404},
        {"error status with a binary body", FakeReply::bytes("RIFF", "audio/wav", 500), false,
         "MFResponseSerializationErrorDomain", -1011},
        {"cancelled mid-body", FakeReply::bytes(payload, "application/zip").throttled(2000, 20), true,
         "NSURLErrorDomain", MFURLErrorCancelled},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_backend.route("GET", "/api/files/package.zip", c.reply);
        writeOldFile();
        const Result result = download(c.cancel);
        EXPECT_EQ(result.error.domain(), c.domain);
        EXPECT_EQ(result.error.code(), c.code);
        EXPECT_EQ(fileContents(), QByteArray("old package"));
        EXPECT_EQ(QDir(QFileInfo(m_destination).absolutePath()).entryList(QDir::Files),
                  QStringList{QStringLiteral("package.zip")})
            << "no partial file may stay behind";
    }
}

} // namespace
