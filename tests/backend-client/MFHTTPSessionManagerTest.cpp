#include "NetworkTestSupport.h"

#include <merovantia/MFHTTPSessionManager.h>

namespace {

using qvtest::FakeReply;
using SuccessCalls = CallRecord<const MFURLSessionTaskPtr &, const QVariant &>;
using FailureCalls = CallRecord<const MFURLSessionTaskPtr &, const platform::Error &>;

// Requests on the wire at once to one host; more wait for a connection.
constexpr int kConnectionsPerHost = 6;

// Each request's two blocks, so a test can check that exactly one of them ran, once.
struct Outcome {
    SuccessCalls success;
    FailureCalls failure;
    int calls() const { return success.count + failure.count; }
    bool onMain() const { return success.allOnMain && failure.allOnMain; }
    qint64 errorCode() const { return failure.count ? failure.arg<1>().code() : 0; }
};

class MFHTTPSessionManagerTest : public BackendTest {
protected:
    void SetUp() override {
        BackendTest::SetUp();
        m_client = std::make_unique<MFHTTPSessionManager>([this] { return m_backend.url("/v2/api/"); });
    }
    void TearDown() override {
        m_client.reset();
        BackendTest::TearDown();
    }

    MFURLSessionTaskPtr get(const QString &path, Outcome &outcome) {
        return m_client->GET(path, QVariant(), outcome.success.block(), outcome.failure.block());
    }

    // Waits until every outcome has had its call, then a little longer to catch a second one.
    static void settle(const std::vector<Outcome *> &outcomes, int timeoutMs = 5000) {
        ASSERT_TRUE(qvtest::waitUntil(
            [&] {
                return std::all_of(outcomes.begin(), outcomes.end(),
                                   [](Outcome *o) { return o->calls() > 0; });
            },
            timeoutMs));
        qvtest::spin(50);
        for (const Outcome *outcome : outcomes) {
            EXPECT_EQ(outcome->calls(), 1);
            EXPECT_TRUE(outcome->onMain());
        }
    }

    std::unique_ptr<MFHTTPSessionManager> m_client;
};

TEST_F(MFHTTPSessionManagerTest, CancelEndsARequestOnceWithTheCancellationError) {
    m_backend.route("GET", "/v2/api/slow", FakeReply::json(QJsonObject{{"data", 1}}).withDelay(3000));
    m_backend.route("GET", "/v2/api/fast", FakeReply::json(QJsonObject{{"data", 1}}));

    struct Case {
        const char *name;
        const char *path;
        int waitForRequestsBeforeCancel; // 0: cancel at once
        bool expectCancelled;
    };
    const Case cases[] = {
        {"cancelled before it went out", "slow", 0, true},
        {"cancelled while the server thinks", "slow", 1, true},
        {"cancelled after it was answered", "fast", -1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_backend.clearRequests();
        Outcome outcome;
        const MFURLSessionTaskPtr task = get(QString::fromLatin1(c.path), outcome);
        ASSERT_TRUE(task);
        if (c.waitForRequestsBeforeCancel > 0) {
            ASSERT_TRUE(m_backend.waitForRequests(c.waitForRequestsBeforeCancel));
        } else if (c.waitForRequestsBeforeCancel < 0) {
            ASSERT_TRUE(qvtest::waitUntil([&] { return outcome.calls() > 0; }));
        }
        m_client->cancel(task);
        m_client->cancel(task); // a second cancel changes nothing
        settle({&outcome});
        if (c.expectCancelled) {
            EXPECT_EQ(outcome.failure.count, 1);
            EXPECT_EQ(outcome.failure.arg<1>().domain(), QStringLiteral("NSURLErrorDomain"));
            EXPECT_EQ(outcome.errorCode(), MFURLErrorCancelled);
            EXPECT_EQ(outcome.failure.arg<0>()->taskIdentifier, task->taskIdentifier);
        } else {
            EXPECT_EQ(outcome.success.count, 1);
        }
    }
    m_client->cancel(nullptr); // nothing to end, nothing to crash
}

TEST_F(MFHTTPSessionManagerTest, CancelledRequestWaitingForAConnectionNeverGoesOut) {
    m_backend.route("GET", "/v2/api/slow*", FakeReply::json(QJsonObject{{"data", 1}}).withDelay(300));
    std::vector<Outcome> outcomes(kConnectionsPerHost + 2);
    std::vector<MFURLSessionTaskPtr> tasks;
    for (size_t i = 0; i < outcomes.size(); ++i)
        tasks.push_back(get(QStringLiteral("slow/%1").arg(i), outcomes[i]));
    m_client->cancel(tasks.back());
    std::vector<Outcome *> all;
    for (Outcome &outcome : outcomes)
        all.push_back(&outcome);
    settle(all);
    EXPECT_EQ(outcomes.back().errorCode(), MFURLErrorCancelled);
    for (size_t i = 0; i + 1 < outcomes.size(); ++i)
        EXPECT_EQ(outcomes[i].success.count, 1) << i;
    qvtest::spin(100);
    EXPECT_EQ(m_backend.requestCount(), int(outcomes.size()) - 1);
    EXPECT_TRUE(
        m_backend.requests("GET", QStringLiteral("/v2/api/slow/%1").arg(outcomes.size() - 1)).isEmpty());
}

TEST_F(MFHTTPSessionManagerTest, DestroyingTheManagerEndsEveryPendingRequestOnce) {
    m_backend.route("GET", "/v2/api/slow*", FakeReply::json(QJsonObject{{"data", 1}}).withDelay(3000));
    // Some on the wire, some still waiting for a connection.
    std::vector<Outcome> outcomes(kConnectionsPerHost + 3);
    for (size_t i = 0; i < outcomes.size(); ++i)
        get(QStringLiteral("slow/%1").arg(i), outcomes[i]);
    ASSERT_TRUE(m_backend.waitForRequests(kConnectionsPerHost));
    m_client.reset();
    std::vector<Outcome *> all;
    for (Outcome &outcome : outcomes)
        all.push_back(&outcome);
    settle(all);
    for (const Outcome &outcome : outcomes)
        EXPECT_EQ(outcome.errorCode(), MFURLErrorCancelled);
}

TEST_F(MFHTTPSessionManagerTest, DeleteCarriesNoCommonFields) {
    m_backend.route("DELETE", "/v2/api/user/favorite*", FakeReply::json(QJsonObject{{"data", "gone"}}));
    Outcome plain, withParameters;
    m_client->DELETE(QStringLiteral("user/favorite/42"), QVariant(), plain.success.block(),
                     plain.failure.block());
    settle({&plain});
    qvtest::RecordedRequest request = m_backend.lastRequest();
    EXPECT_EQ(request.method, QByteArray("DELETE"));
    EXPECT_EQ(request.path, QStringLiteral("/v2/api/user/favorite/42"));
    EXPECT_TRUE(request.queryItems.isEmpty());
    EXPECT_TRUE(request.body.isEmpty());
    EXPECT_EQ(plain.success.arg<1>().toMap().value(QStringLiteral("data")).toString(),
              QStringLiteral("gone"));

    m_client->DELETE(QStringLiteral("user/favorite"), QVariantMap{{"all", "1"}},
                     withParameters.success.block(), withParameters.failure.block());
    settle({&withParameters});
    request = m_backend.lastRequest();
    EXPECT_EQ(request.queryItems, (QList<QPair<QString, QString>>{{"all", "1"}}));
    EXPECT_TRUE(request.body.isEmpty());
}

// A subclass that stamps its own field as well, as the application's clients do.
class PlatformStampingManager : public MFHTTPSessionManager {
public:
    using MFHTTPSessionManager::MFHTTPSessionManager;
    QVariantMap parametersWithCommonParametersFromDictionary(const QVariantMap &parameters) const override {
        QVariantMap common = MFHTTPSessionManager::parametersWithCommonParametersFromDictionary(parameters);
        common.insert(QStringLiteral("platform"), QStringLiteral("macOS"));
        return common;
    }
    QString urlStringWithCommonQueryItemsWithURLString(const QString &urlString) const override {
        return MFHTTPSessionManager::urlStringWithCommonQueryItemsWithURLString(
            urlString + QStringLiteral("?platform=macOS"));
    }
};

TEST_F(MFHTTPSessionManagerTest, OverriddenCommonFieldsReachGetAndPostButNotDelete) {
    PlatformStampingManager client([this] { return m_backend.url("/v2/api/"); });
    m_backend.route("*", "/v2/api/thing", FakeReply::json(QJsonObject{{"data", 1}}));
    Outcome get, post, del;
    client.GET(QStringLiteral("thing"), QVariant(), get.success.block(), get.failure.block());
    settle({&get});
    EXPECT_EQ(m_backend.lastRequest().queryItems,
              (QList<QPair<QString, QString>>{{"platform", "macOS"}, {"uuid", m_uuid}}));
    client.POST(QStringLiteral("thing"), QVariantMap{{"q", 1}}, post.success.block(), post.failure.block());
    settle({&post});
    EXPECT_EQ(sortedKeys(m_backend.lastRequest().jsonObject()), (QStringList{"platform", "q", "uuid"}));
    client.DELETE(QStringLiteral("thing"), QVariant(), del.success.block(), del.failure.block());
    settle({&del});
    EXPECT_TRUE(m_backend.lastRequest().queryItems.isEmpty());
}

} // namespace
