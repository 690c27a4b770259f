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

TEST(StringsFile, KeyAloneMapsToItself) {
    QString error;
    const auto entries = StringsFile::parse("\"Cancel\";\nOK ;\n\"b\" = \"2\";\n", &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    const StringsFile::Entries expected{{QStringLiteral("Cancel"), QStringLiteral("Cancel")},
                                        {QStringLiteral("OK"), QStringLiteral("OK")},
                                        {QStringLiteral("b"), QStringLiteral("2")}};
    EXPECT_EQ(entries, expected);
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

namespace {

QByteArray utf16(const QString &text, bool bigEndian) {
    QByteArray out;
    for (const QChar c : text) {
        const char high = static_cast<char>(c.unicode() >> 8);
        const char low = static_cast<char>(c.unicode() & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

QByteArray unit(char16_t code, bool bigEndian) {
    return utf16(QString(QChar(code)), bigEndian);
}

} // namespace

TEST(StringsFile, ByteOrderMarkIsSkippedInEveryEncoding) {
    const QString text = QString::fromUtf8("\"_loc_a\" = \"Gr\xC3\xBC\xC3\x9F"
                                           "e \xF0\x9F\x98\x80\";\n\"b\" = \"2\";\n");
    struct Case {
        const char *name;
        QByteArray data;
    };
    const Case cases[] = {
        {"UTF-8 with mark", QByteArray("\xEF\xBB\xBF") + text.toUtf8()},
        {"UTF-8 without mark", text.toUtf8()},
        {"UTF-16 little-endian", QByteArray("\xFF\xFE", 2) + utf16(text, false)},
        {"UTF-16 big-endian", QByteArray("\xFE\xFF", 2) + utf16(text, true)},
        {"UTF-16 little-endian without mark", utf16(text, false)},
        {"UTF-16 big-endian without mark", utf16(text, true)},
        {"UTF-16 without mark, CRLF lines",
         utf16(QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")), false)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto entries = StringsFile::parse(c.data, &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_EQ(entries.size(), 2);
        EXPECT_EQ(entries[0].first, QStringLiteral("_loc_a"));
        EXPECT_EQ(entries[0].second, QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                       "e \xF0\x9F\x98\x80"));
        EXPECT_EQ(entries[1].second, QStringLiteral("2"));
    }
}

TEST(StringsFile, UnterminatedCommentIsMalformedAtItsOffset) {
    struct Case {
        QByteArray data;
        qsizetype kept;
        const char *offset;
    };
    const Case cases[] = {
        {"\"a\" = \"1\";\n/* the rest \"b\" = \"2\";", 1, "offset 11"},
        {"/*", 0, "offset 0"},
        {"\"a\" = /* \"1\";", 0, "offset 6"},
        {"\"a\" = \"1\" /*/;", 0, "offset 10"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.data.toStdString());
        QString error;
        EXPECT_EQ(StringsFile::parse(c.data, &error).size(), c.kept);
        EXPECT_TRUE(error.contains(QStringLiteral("comment"))) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.offset))) << error.toStdString();
    }
    // A closed comment at the very end is fine.
    QString error;
    EXPECT_EQ(StringsFile::parse("\"a\" = \"1\"; /**/", &error).size(), 1);
    EXPECT_TRUE(error.isEmpty());
}

TEST(StringsFile, UnicodeEscapeTakesExactlyFourHexDigits) {
    const char *const malformed[] = {"\\U 41 ", "\\U+041", "\\U0x41", "\\U41\"", "\\Ug000",
                                     "\\U-001", "\\U004",  "\\UD83D", "\\UDE00", "\\UD83D\\U0041"};
    for (const char *escape : malformed) {
        SCOPED_TRACE(escape);
        QString error;
        const auto entries =
            StringsFile::parse(QByteArray("\"ok\" = \"1\";\n\"k\" = \"") + escape + "\";", &error);
        EXPECT_EQ(entries.size(), 1);
        EXPECT_FALSE(error.isEmpty());
    }
    struct Good {
        const char *escape;
        QString value;
    };
    const Good good[] = {
        {"\\U0041", QStringLiteral("A")},
        {"\\u00e9", QString::fromUtf8("\xC3\xA9")},
        {"\\U00E9x", QString::fromUtf8("\xC3\xA9x")},
        {"\\UD83D\\UDE00", QString::fromUtf8("\xF0\x9F\x98\x80")},
    };
    for (const Good &g : good) {
        SCOPED_TRACE(g.escape);
        QString error;
        const auto entries = StringsFile::parse(QByteArray("\"k\" = \"") + g.escape + "\";", &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_EQ(entries.size(), 1);
        EXPECT_EQ(entries[0].second, g.value);
    }
}

// Undecodable text is reported at its byte offset; entries wholly before it are kept, nothing after it.
TEST(StringsFile, UndecodableBytesAreReportedNotKeptOrDropped) {
    const QString first = QStringLiteral("\"a\" = \"1\";\n\"b\" = \"x");
    const QString rest = QStringLiteral("y\";\n\"c\" = \"3\";\n");
    struct Case {
        const char *name;
        QByteArray data;
        qsizetype kept;
        QByteArray where;
    };
    const auto le = [](const QString &s) { return QByteArray("\xFF\xFE", 2) + utf16(s, false); };
    const auto be = [](const QString &s) { return QByteArray("\xFE\xFF", 2) + utf16(s, true); };
    const qsizetype at = 2 + 2 * first.size();
    const QByteArray atText = "byte offset " + QByteArray::number(at);
    const Case cases[] = {
        {"lone high surrogate, LE", le(first) + unit(0xD83D, false) + utf16(rest, false), 1, atText},
        {"lone low surrogate, LE", le(first) + unit(0xDE00, false) + utf16(rest, false), 1, atText},
        {"high surrogate then text, BE", be(first) + unit(0xD83D, true) + utf16(rest, true), 1, atText},
        {"high surrogate at the end, BE", be(first + rest) + unit(0xD83D, true), 3,
         "byte offset " + QByteArray::number(2 + 2 * (first + rest).size())},
        {"odd trailing byte, LE", le(first + rest) + "A", 3,
         "byte offset " + QByteArray::number(2 + 2 * (first + rest).size())},
        {"odd byte inside an entry, LE", le(QStringLiteral("\"a\" = \"1\";\n\"b")) + "A", 1,
         "byte offset 28"},
        {"invalid UTF-8", first.toUtf8() + "\xC3\x28" + rest.toUtf8(), 1, "byte offset 19"},
        {"surrogate encoded in UTF-8", first.toUtf8() + "\xED\xA0\x80" + rest.toUtf8(), 1, "byte offset 19"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto entries = StringsFile::parse(c.data, &error);
        EXPECT_EQ(entries.size(), c.kept);
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.where))) << error.toStdString();
        for (const auto &entry : entries)
            EXPECT_FALSE(entry.second.contains(QChar(0xFFFD)));
    }
}
