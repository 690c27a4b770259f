#include "OnlineServiceTest.h"

#include "services/network/QVRequestManager.h"

#include <QJsonDocument>

using qvtest::FakeReply;

namespace {

QString api(const QString &path) {
    return QStringLiteral("/v2/api/v3/") + path;
}

QJsonObject parse(const char *json) {
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

} // namespace

class RequestManagerDictionaryTest : public OnlineServiceTest {
protected:
    QVRequestManager &manager() { return QVRequestManager::instance(); }
};

TEST_F(RequestManagerDictionaryTest, FeedbackFailsUnlessTheReplysErrIsNull) {
    const struct Case {
        const char *name;
        FakeReply reply;
        const char *description; // empty: success
    } cases[] = {
        {"server error text", FakeReply::json(parse(R"({"err":"Text too long"})")), "Text too long"},
        {"no err at all", FakeReply::json(parse(R"({"result":true})")), "Error on send feedback"},
        {"err that is not text", FakeReply::json(parse(R"({"err":42})")), "Error on send feedback"},
        {"accepted", FakeReply::json(parse(R"({"err":null})")), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", api("feedBackDictionary"), c.reply);
        Calls<bool> success;
        Calls<platform::Error> failure;
        manager().sendFeedBackTranslate("Hello", "Hallo", "Guten Tag", "en_GB", "de_DE", "engine-a",
                                        success.block(), failure.block());
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        qvtest::spin(10);
        if (QByteArray(c.description).isEmpty()) {
            EXPECT_EQ(failure.count, 0);
            ASSERT_EQ(success.count, 1);
            EXPECT_TRUE(success.arg<0>());
        } else {
            EXPECT_EQ(success.count, 0);
            ASSERT_EQ(failure.count, 1);
            EXPECT_EQ(failure.arg<0>().domain(), QStringLiteral("com.Tessaphyre"));
            EXPECT_EQ(failure.arg<0>().code(), 400);
            EXPECT_EQ(failure.arg<0>().localizedDescription(), QString::fromUtf8(c.description));
        }
    }
    const QJsonObject body = backend.lastRequest().jsonObject();
    EXPECT_EQ(body["source"].toString(), QStringLiteral("Hello"));
    EXPECT_EQ(body["translateResult"].toString(), QStringLiteral("Hallo"));
    EXPECT_EQ(body["target"].toString(), QStringLiteral("Guten Tag"));
    EXPECT_EQ(body["from"].toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(body["to"].toString(), QStringLiteral("de_DE"));
    EXPECT_EQ(body["translatorName"].toString(), QStringLiteral("engine-a"));
}

TEST_F(RequestManagerDictionaryTest, MissingInputFailsWithoutSending) {
    const QList<QPair<const char *, std::function<void(Calls<platform::Error> &)>>> cases = {
        {"dictionary without text",
         [&](auto &f) { manager().getWordDictionaryMeaningForText("", "en", "de", {}, f.block()); }},
        {"dictionary without pair",
         [&](auto &f) { manager().getWordDictionaryMeaningForText("dog", "en", "", {}, f.block()); }},
        {"feedback with blank text",
         [&](auto &f) {
             manager().sendFeedBackTranslate("Hello", "Hallo", "  \n", "en", "de", "", {}, f.block());
         }},
    };
    for (const auto &[name, start] : cases) {
        SCOPED_TRACE(name);
        Calls<platform::Error> failure;
        start(failure);
        ASSERT_TRUE(settle(failure));
        EXPECT_FALSE(failure.arg<0>());
    }
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(RequestManagerDictionaryTest, DictionaryAsksWithTheJoinedPairAndGivesTheResultAsItCame) {
    const struct Case {
        const char *name;
        const char *reply;
        bool succeeds;
    } cases[] = {
        {"no result", R"({"status":"ok"})", false},
        {"list", R"({"result":["Hund","Köter"]})", true},
        {"object", R"({"result":{"Hund":1}})", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("GET", api("dictionary"), FakeReply::json(parse(c.reply)));
        Calls<QVariant> success;
        Calls<platform::Error> failure;
        manager().getWordDictionaryMeaningForText("hot dog", "en_GB", "de_DE", success.block(),
                                                  failure.block());
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        EXPECT_EQ(success.count, c.succeeds ? 1 : 0);
        EXPECT_EQ(failure.count, c.succeeds ? 0 : 1);
        if (c.succeeds) {
            EXPECT_EQ(success.arg<0>(), parse(c.reply).toVariantMap().value("result"));
        }
    }
    const qvtest::RecordedRequest request = backend.lastRequest();
    EXPECT_EQ(request.queryValue("text"), QStringLiteral("hot dog"));
    EXPECT_EQ(request.queryValue("lang"), QStringLiteral("en_GB-de_DE"));
}
