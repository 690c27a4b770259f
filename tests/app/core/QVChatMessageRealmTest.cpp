#include "ModelTestStore.h"

#include "core/localization/DJLocalizationSystem.h"
#include "core/models/QVChatMessageRealm.h"

#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>

using platform::Transaction;

namespace {

const QString kChat = QStringLiteral("QVChatMessageRealm");

class QVChatMessageRealmTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        // English tables of our own, so the notices do not depend on the machine's language.
        ASSERT_TRUE(resources.isValid());
        platform::UserDefaults::setStorageFile(resources.filePath(QStringLiteral("defaults.ini")));
        QDir().mkpath(resources.filePath(QStringLiteral("en.lproj")));
        QFile strings(resources.filePath(QStringLiteral("en.lproj/Localizable.strings")));
        ASSERT_TRUE(strings.open(QIODevice::WriteOnly));
        strings.write("\"_loc_chat_joined\" = \"joined\";\n\"_loc_chat_left\" = \"left\";\n");
        strings.close();
        platform::Bundle::setResourcePath(resources.path());
        DJLocalizationSystem::shared().reload();
    }
    void TearDown() override {
        platform::Bundle::setResourcePath(QString());
        DJLocalizationSystem::shared().reload();
        ModelStoreTest::TearDown();
    }
    QTemporaryDir resources;
};

} // namespace

TEST_F(QVChatMessageRealmTest, InboundBuildsTheIdentifierFromTimeAndUuidAndMapsTheTranslatedText) {
    const QVChatMessageRealm message(
        import(kChat, json(R"({"time": 42, "uuid": "abc", "translatedText": "Hallo",
        "name": "Ann", "languageCode": "de", "status": 2, "codeChat": "room", "type": 3})")));
    ASSERT_FALSE(message.isNull());
    EXPECT_EQ(message.idMessage(), QStringLiteral("42abc"));
    EXPECT_EQ(message.message(), QStringLiteral("Hallo"));
    EXPECT_EQ(message.messageTime(), 42);
    EXPECT_EQ(message.messageUUID(), QStringLiteral("abc"));
    EXPECT_EQ(message.messageUserName(), QStringLiteral("Ann"));
    EXPECT_EQ(message.status(), 2);
    EXPECT_EQ(message.codeChat(), QStringLiteral("room"));
    EXPECT_FALSE(message.type().has_value()); // not in the inbound table

    // The same time and UUID again update that message.
    import(kChat, json(R"({"time": "42", "uuid": "abc", "translatedText": "Hallo!"})"));
    EXPECT_EQ(count(kChat), 1);
    EXPECT_EQ(message.message(), QStringLiteral("Hallo!"));
}

TEST_F(QVChatMessageRealmTest, WithoutAUsableTimeOrUuidNoIdentifierIsMade) {
    // A time without a UUID gets no identifier; only an explicit one stores the message.
    EXPECT_TRUE(import(kChat, json(R"({"time": 42, "translatedText": "x"})")).isNull());
    EXPECT_TRUE(import(kChat, json(R"({"time": "soon", "uuid": "a"})")).isNull());
    const QVChatMessageRealm kept(import(kChat, json(R"({"time": 42, "idMessage": "given"})")));
    EXPECT_EQ(kept.idMessage(), QStringLiteral("given"));
    EXPECT_EQ(count(kChat), 1);
    EXPECT_EQ(QVChatMessageRealm::preprocessedJSON(json(R"({"uuid": "u"})")), json(R"({"uuid": "u"})"));
}

TEST_F(QVChatMessageRealmTest, OutboundCarriesExactlyFiveKeys) {
    const QVChatMessageRealm message = QVChatMessageRealm::initWithChatMessage(
        json(R"({"messageTime": 7, "messageUUID": "u", "message": "hi", "messageUserName": "Bo", "type": 1,
                 "languageCode": "en", "status": 3})"),
        QStringLiteral("room"));
    const QVariantMap out = JSONMapping::JSONDictionary(message).toMap();
    EXPECT_EQ(out.keys(),
              (QStringList{QStringLiteral("message"), QStringLiteral("messageUserName"),
                           QStringLiteral("time"), QStringLiteral("type"), QStringLiteral("uuid")}));
    EXPECT_EQ(out.value(QStringLiteral("time")).toLongLong(), 7);
    EXPECT_EQ(out.value(QStringLiteral("uuid")).toString(), QStringLiteral("u"));
}

TEST_F(QVChatMessageRealmTest, ReceivedMessagesAreIncomingConfirmedAndNeverWithoutALanguage) {
    const QVChatMessageRealm message = QVChatMessageRealm::initWithChatMessage(
        json(
            R"({"messageTime": 100, "messageUUID": "x1", "message": "hi", "languageCode": null, "unknown": 1})"),
        QStringLiteral("room"));
    EXPECT_EQ(message.idMessage(), QStringLiteral("100x1"));
    EXPECT_EQ(message.languageCode(), QStringLiteral(""));
    EXPECT_FALSE(message.languageCode().isNull());
    EXPECT_EQ(message.incoming(), true);
    EXPECT_EQ(message.isConfirmed(), true);
    EXPECT_EQ(message.codeChat(), QStringLiteral("room"));

    // A malformed time is skipped; the message has no identifier and is not stored by the mapping.
    const QVChatMessageRealm odd = QVChatMessageRealm::initWithChatMessage(
        json(R"({"messageTime": "late", "messageUUID": "x2"})"), QStringLiteral("room"));
    EXPECT_FALSE(odd.messageTime().has_value());
    EXPECT_TRUE(odd.idMessage().isNull());
}

TEST_F(QVChatMessageRealmTest, JoinAndLeaveNoticesComeFromSystemWithTheLocalisedText) {
    const QVChatMessageRealm joined = QVChatMessageRealm::initWithChatActionMessage(
        json(R"({"type": 10, "messageUserName": "Ann", "messageTime": 5, "messageUUID": "j"})"),
        QStringLiteral("room"));
    EXPECT_EQ(joined.message(), QStringLiteral("Ann joined"));
    EXPECT_EQ(joined.messageUserName(), QStringLiteral("System"));
    EXPECT_EQ(joined.idMessage(), QStringLiteral("5j"));
    EXPECT_EQ(joined.incoming(), true);
    EXPECT_EQ(joined.isConfirmed(), true);
    EXPECT_EQ(joined.languageCode(), QStringLiteral(""));

    const QVChatMessageRealm left = QVChatMessageRealm::initWithChatActionMessage(
        json(R"({"type": 11, "messageUserName": "Bo", "messageTime": 6, "messageUUID": "l"})"),
        QStringLiteral("room"));
    EXPECT_EQ(left.message(), QStringLiteral("Bo left"));

    const QVChatMessageRealm other = QVChatMessageRealm::initWithChatActionMessage(
        json(
            R"({"type": 12, "messageUserName": "Cy", "message": "as sent", "messageTime": 7, "messageUUID": "o"})"),
        QStringLiteral("room"));
    EXPECT_EQ(other.message(), QStringLiteral("as sent"));
    EXPECT_EQ(other.messageUserName(), QStringLiteral("System"));
}

TEST_F(QVChatMessageRealmTest, SentMessagesWaitForTheirConfirmation) {
    const QVChatMessageRealm sent = QVChatMessageRealm::initWithUnconfirmedChatMessage(
        json(
            R"({"messageTime": 1, "messageUUID": "old", "time": 9, "uuid": "new", "message": "hey", "languageCode": null})"),
        QStringLiteral("room"));
    EXPECT_EQ(sent.messageTime(), 9);
    EXPECT_EQ(sent.messageUUID(), QStringLiteral("new"));
    EXPECT_EQ(sent.idMessage(), QStringLiteral("9new"));
    EXPECT_EQ(sent.isConfirmed(), false);
    EXPECT_FALSE(sent.incoming().has_value());
    EXPECT_TRUE(sent.languageCode().isNull()); // left as the dictionary gives it

    QVChatMessageRealm stored;
    write([&](Transaction &tx) {
        stored = QVChatMessageRealm(tx.add(sent));
        stored.updateWithConfirmedChatMessage(
            &tx, json(R"({"delay": 4, "uuid": "srv", "status": null, "type": "x"})"), QStringLiteral("room"));
    });
    EXPECT_EQ(stored.isConfirmed(), true);
    EXPECT_EQ(stored.delay(), 4);
    EXPECT_EQ(stored.messageUUID(), QStringLiteral("srv"));
    EXPECT_FALSE(stored.status().has_value());
    EXPECT_FALSE(stored.type().has_value());
    EXPECT_EQ(stored.idMessage(), QStringLiteral("9new")); // the identifier does not change
}

TEST_F(QVChatMessageRealmTest, ATimeWithAFractionKeepsItsIdentifierOnEveryPath) {
    const QString kId = QStringLiteral("1700000000.5abc");
    const struct {
        const char *path;
        std::function<QVChatMessageRealm()> make;
    } paths[] = {
        {"imported",
         [&] {
             return QVChatMessageRealm(
                 import(kChat, json(R"({"time": 1700000000.5, "uuid": "abc", "translatedText": "x"})")));
         }},
        {"received",
         [] {
             return QVChatMessageRealm::initWithChatMessage(
                 json(R"({"messageTime": 1700000000.5, "messageUUID": "abc"})"), QStringLiteral("room"));
         }},
        {"action",
         [] {
             return QVChatMessageRealm::initWithChatActionMessage(
                 json(R"({"type": 10, "messageTime": 1700000000.5, "messageUUID": "abc"})"),
                 QStringLiteral("room"));
         }},
        {"sent",
         [] {
             return QVChatMessageRealm::initWithUnconfirmedChatMessage(
                 json(R"({"time": 1700000000.5, "uuid": "abc"})"), QStringLiteral("room"));
         }},
    };
    for (const auto &path : paths) {
        SCOPED_TRACE(path.path);
        const QVChatMessageRealm message = path.make();
        ASSERT_FALSE(message.isNull());
        EXPECT_EQ(message.idMessage(), kId);
        EXPECT_EQ(message.messageTime(), 1700000000); // the whole-seconds field
    }
    EXPECT_EQ(count(kChat), 1);
}

TEST_F(QVChatMessageRealmTest, IdentifiersUseTheDecimalTextOfTheTime) {
    const struct {
        QVariant time;
        const char *id; // null: no identifier
    } cases[] = {
        {QVariant::fromValue<qint64>(42), "42u"},
        {42.0, "42u"},
        {QStringLiteral("42"), "42u"},
        {0.25, "0.25u"},
        {QStringLiteral("1700000000.50"), "1700000000.5u"},
        {-3.5, "-3.5u"},
        {1e20, "100000000000000000000u"},
        {true, nullptr},
        {QStringLiteral("soon"), nullptr},
        {QVariant(), nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.time.toString().toStdString());
        const QString id = QVChatMessageRealm::idMessageFor(c.time, QStringLiteral("u"));
        if (c.id) {
            EXPECT_EQ(id, QString::fromLatin1(c.id));
        } else {
            EXPECT_TRUE(id.isNull());
        }
    }
}
