#include "FakeTranslationEngine.h"
#include "OnlineServiceTest.h"

#include "services/offline/QVMSynaptraService.h"

#include "core/models/QVUnknownWord.h"

// Untranslated words sent through the general API client to a loopback backend.
class SynaptraServiceUploadTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        bridge = std::make_unique<QVMSynaptraService>(std::make_unique<FakeTranslationEngine>());
        bridge->saveUnknownWords(QStringLiteral("Haus Baum"), QStringLiteral("en"));
    }
    void TearDown() override {
        bridge.reset();
        OnlineServiceTest::TearDown();
    }
    int storedWords() const { return store.objects(QVUnknownWord::storeClassName()).count(); }
    static QString path() { return QStringLiteral("/v2/api/v3/sendUnknownWords"); }

    std::unique_ptr<QVMSynaptraService> bridge;
};

TEST_F(SynaptraServiceUploadTest, SentWordsAreRemovedAndAFailureKeepsThem) {
    backend.route("POST", path(), qvtest::FakeReply::text("{\"error\":\"busy\"}", 503));
    QVMSynaptraService::uploadAllUnknownWords();
    ASSERT_TRUE(backend.waitForRequests("POST", path(), 1));
    ASSERT_TRUE(qvtest::waitUntil([&] {
        for (const auto &record : reports())
            if (record.userInfo.value("message") == QStringLiteral("uploadAllUnknownWords"))
                return true;
        return false;
    }));
    EXPECT_EQ(storedWords(), 2);

    backend.route("POST", path(), qvtest::FakeReply::withStatus(200));
    QVMSynaptraService::uploadAllUnknownWords();
    ASSERT_TRUE(qvtest::waitUntil([&] { return storedWords() == 0; }));
    QStringList sent;
    for (const QJsonValue &word : backend.lastRequest().jsonObject().value("data").toArray())
        sent << word.toObject().value("word").toString() + ">" + word.toObject().value("to").toString();
    sent.sort();
    EXPECT_EQ(sent, (QStringList{"Baum>en", "Haus>en"}));
    EXPECT_TRUE(loggedLines().contains(QStringLiteral("uploadAllUnknownWords success")));
}
