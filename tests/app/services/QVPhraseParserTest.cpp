#include "services/network/QVPhraseParser.h"

#include "platform/SystemLog.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

TEST(QVPhraseParserTest, CategoriesAndWordsAreFlattenedForDisplay) {
    QStringList log;
    platform::SystemLog::setSink([&](const QString &line) { log << line; });
    const QVariantList categories = QJsonDocument::fromJson(R"([
        {"categoryId": 4, "categoryNames": [{"en": "Travel"}, {}, {"de": "Reisen"}],
         "words": [{"wordNames": [{"en": "Ticket"}, {"de": "Fahrkarte"}]}, "odd"]},
        {"categoryId": 5, "categoryNames": []}
    ])")
                                        .toVariant()
                                        .toList();

    const QVariantList plain = QVPhraseParser::plainJSONFromArray(categories);
    platform::SystemLog::setSink({});

    ASSERT_EQ(plain.size(), 2);
    const QVariantMap travel = plain.at(0).toMap();
    EXPECT_EQ(travel.value("isFavorite"), QVariant(false));
    const QVariantList names = travel.value("categoryNames").toList();
    ASSERT_EQ(names.size(), 2); // the element without a key is dropped
    EXPECT_EQ(names.at(0).toMap(), (QVariantMap{{"locale", "en"}, {"localeValue", "Travel"}}));
    EXPECT_EQ(names.at(1).toMap(), (QVariantMap{{"locale", "de"}, {"localeValue", "Reisen"}}));
    const QVariantList words = travel.value("words").toList();
    ASSERT_EQ(words.size(), 2);
    const QVariantMap ticket = words.at(0).toMap();
    EXPECT_EQ(ticket.value("idCategory").toInt(), 4);
    EXPECT_EQ(ticket.value("isLearned"), QVariant(false));
    EXPECT_EQ(ticket.value("wordNames").toList().at(1).toMap(),
              (QVariantMap{{"locale", "de"}, {"localeValue", "Fahrkarte"}}));
    EXPECT_EQ(words.at(1).toString(), QStringLiteral("odd"));
    EXPECT_TRUE(plain.at(1).toMap().value("categoryNames").toList().isEmpty());
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.first(), QStringLiteral("__START__"));
    EXPECT_EQ(log.at(1), QStringLiteral("__FINISH__"));
}
