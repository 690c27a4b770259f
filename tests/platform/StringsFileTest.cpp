#include "platform/StringsFile.h"

#include <gtest/gtest.h>

using platform::StringsFile;

TEST(StringsFile, ReadsEntriesInOrderWithCommentsAndEscapes) {
    const QByteArray data = "/* header */\n"
                            "\"_loc_a\" = \"Alpha\";\n"
                            "// line comment\n"
                            "\"_loc_b\"=\"say \\\"hi\\\"\\nnext\";\n"
                            "bare_key = \"\\U00e9t\\u00e9\";\n";
    QString error;
    const auto entries = StringsFile::parse(data, &error);
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].first, QStringLiteral("_loc_a"));
    EXPECT_EQ(entries[0].second, QStringLiteral("Alpha"));
    EXPECT_EQ(entries[1].second, QStringLiteral("say \"hi\"\nnext"));
    EXPECT_EQ(entries[2].first, QStringLiteral("bare_key"));
    EXPECT_EQ(entries[2].second, QString::fromUtf8("été"));
}

TEST(StringsFile, DecodesUtf16WithByteOrderMark) {
    const QString text = QStringLiteral("\"k\" = \"Grüße\";");
    QByteArray data("\xFF\xFE", 2);
    data.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    const auto entries = StringsFile::parse(data);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].second, QString::fromUtf8("Grüße"));
}

TEST(StringsFile, MalformedEntryStopsWithAnErrorAndKeepsEarlierEntries) {
    QString error;
    const auto entries = StringsFile::parse("\"a\" = \"1\";\n\"b\" = \"unterminated;\n", &error);
    EXPECT_EQ(entries.size(), 1);
    EXPECT_FALSE(error.isEmpty());
    const auto missingSemicolon = StringsFile::parse("\"a\" = \"1\"\n\"b\" = \"2\";", &error);
    EXPECT_TRUE(missingSemicolon.isEmpty());
}

TEST(StringsFile, MissingFileGivesNoEntriesAndAnError) {
    QString error;
    EXPECT_TRUE(StringsFile::read(QStringLiteral("/nonexistent/x.strings"), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}
