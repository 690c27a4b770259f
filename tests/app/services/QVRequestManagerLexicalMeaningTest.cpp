#include "OnlineServiceTest.h"

#include "services/network/QVRequestManager.h"

#include <QJsonArray>
#include <QJsonDocument>

using qvtest::FakeReply;

namespace {

QByteArray replyWithExamples(int count) {
    QJsonArray examples;
    for (int i = 0; i < count; ++i)
        examples.append(
            QJsonObject{{"fromText", QStringLiteral("The dog number %1 runs home.").arg(i)},
                        {"toText", QStringLiteral("Der Hund Nummer %1 rennt nach Hause.").arg(i)}});
    const QJsonObject result{
        {"word", "dog"},
        {"partsOfSpeech", QJsonObject{{"noun", QJsonArray{QJsonObject{{"value", "Hund"}}}}}},
        {"examples", examples}};
    return QJsonDocument(QJsonObject{{"result", result}}).toJson(QJsonDocument::Compact);
}

} // namespace

class QVRequestManagerLexicalMeaningTest : public OnlineServiceTest {};

TEST_F(QVRequestManagerLexicalMeaningTest, EveryReplyEndsInOneCallOnTheMainThreadWithTheWholeEntry) {
    struct Case {
        const char *name;
        QByteArray body;
        bool succeeds;
        int examples;
    };
    const QList<Case> cases = {
        {"reply cut in the middle of an example", replyWithExamples(3).left(120), false, 0},
        {"result is a list", R"({"result":[{"word":"dog"}]})", false, 0},
        {"result is a string", R"({"result":"dog"})", false, 0},
        {"result is null", R"({"result":null})", false, 0},
        {"examples of the wrong kind are left out", R"({"result":{"word":"dog","examples":[1,"x",null]}})",
         true, 0},
        {"100,000 examples arrive whole", replyWithExamples(100000), true, 100000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", QStringLiteral("/v2/api/v3/getLexicalMeaning"),
                      FakeReply::bytes(c.body, "application/json"));
        Calls<QVLexicalMeaning> success;
        Calls<platform::Error> failure;
        QVRequestManager::instance().getLexicalMeaningForWord("dog", "en", "de", success.block(),
                                                              failure.block());
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }, 20000));
        qvtest::spin(50);
        EXPECT_EQ(success.count + failure.count, 1);
        EXPECT_TRUE(success.allOnMain && failure.allOnMain);
        ASSERT_EQ(success.count, c.succeeds ? 1 : 0);
        if (!c.succeeds)
            continue;
        const QList<QVExample> examples = success.arg<0>().exampleList();
        ASSERT_EQ(examples.size(), c.examples);
        EXPECT_EQ(success.arg<0>().original(), QStringLiteral("dog"));
        if (c.examples > 0) {
            EXPECT_EQ(examples.first().fromText(), QStringLiteral("The dog number 0 runs home."));
            EXPECT_EQ(examples.last().toText(),
                      QStringLiteral("Der Hund Nummer %1 rennt nach Hause.").arg(c.examples - 1));
            EXPECT_EQ(success.arg<0>().partsOfSpeech().size(), 1);
        }
    }
}
