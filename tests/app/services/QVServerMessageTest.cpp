#include "services/messages/QVServerMessage.h"
#include "services/messages/QVVersionUpdateDTO.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

QVariant json(const char *text) {
    return QJsonDocument::fromJson(QByteArray(text)).toVariant();
}

TEST(QVServerMessage, MapsIdTitleAndDescriptionWhateverTheJsonHolds) {
    struct Case {
        const char *json;
        std::optional<qint64> id;
        QString title;
        QString message;
    };
    const Case cases[] = {
        {R"({"id": 12, "title": "New", "description": "Offline packs"})", 12, QStringLiteral("New"),
         QStringLiteral("Offline packs")},
        {R"({"id": "9", "title": "T"})", 9, QStringLiteral("T"), QString()},
        {R"({"id": 3.5, "title": 7, "description": null})", std::nullopt, QStringLiteral("7"), QString()},
        {R"({"id": "x", "title": ["a"], "description": {"b": 1}})", std::nullopt, QString(), QString()},
        {R"({"id": 1e19})", std::nullopt, QString(), QString()},
        {R"({})", std::nullopt, QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.json);
        const auto model = QVServerMessage::modelFromJSONDictionary(json(c.json));
        ASSERT_TRUE(model.has_value());
        EXPECT_EQ(model->idMessage, c.id);
        EXPECT_EQ(model->messageTitle, c.title);
        EXPECT_EQ(model->message, c.message);
    }
}

TEST(QVServerMessage, AnArrayKeepsItsObjectsInOrderAndDropsTheRest) {
    const QList<QVServerMessage> models = QVServerMessage::modelsFromJSONArray(
        json(R"([{"id": 5}, 4, "text", null, {"id": 8, "title": "b"}])"));
    ASSERT_EQ(models.size(), 2);
    EXPECT_EQ(models.at(0).idMessage, 5);
    EXPECT_EQ(models.at(1).idMessage, 8);
    EXPECT_EQ(models.at(1).messageTitle, QStringLiteral("b"));
    for (const char *notAnArray : {R"({"id": 5})", "null", "\"news\""}) {
        SCOPED_TRACE(notAnArray);
        EXPECT_TRUE(QVServerMessage::modelsFromJSONArray(json(notAnArray)).isEmpty());
    }
}

TEST(QVVersionUpdateDTO, TheReplysDescriptionBecomesTheUpdateDescription) {
    const auto notice = QVVersionUpdateDTO::modelFromJSONDictionary(
        json(R"({"version": "2.4", "description": "Faster offline translation", "message": "Update now"})"));
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(notice->version, QStringLiteral("2.4"));
    EXPECT_EQ(notice->updateDescription, QStringLiteral("Faster offline translation"));
    EXPECT_EQ(notice->message, QStringLiteral("Update now"));

    const auto numeric = QVVersionUpdateDTO::modelFromJSONDictionary(json(R"({"version": 3})"));
    ASSERT_TRUE(numeric.has_value());
    EXPECT_EQ(numeric->version, QStringLiteral("3"));
    EXPECT_TRUE(numeric->updateDescription.isEmpty());
    EXPECT_FALSE(QVVersionUpdateDTO::modelFromJSONDictionary(json(R"(["2.4"])")).has_value());
}

} // namespace
