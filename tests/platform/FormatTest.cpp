#include "platform/Format.h"

#include <QLocale>
#include <QObject>
#include <QUrl>

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using platform::format;
using platform::formatList;

namespace {
const QString kMissing = QString::fromLatin1(platform::kMissingArgument);
}

TEST(Format, ObjectDirectivePrintsStringsNumbersAndNil) {
    EXPECT_EQ(format("[push] notifications granted: %@", QStringLiteral("YES")),
              QStringLiteral("[push] notifications granted: YES"));
    EXPECT_EQ(format("%@ %@ %@", 42, 0.4, true), QStringLiteral("42 0.4 1"));
    EXPECT_EQ(format("a %@ b", nullptr), QStringLiteral("a (null) b"));
    EXPECT_EQ(format("%@", QVariant()), QStringLiteral("(null)"));
    EXPECT_EQ(format("%@", static_cast<const char *>(nullptr)), QStringLiteral("(null)"));
    EXPECT_EQ(format("%@", QUrl(QStringLiteral("https://x.example/a?b=1"))),
              QStringLiteral("https://x.example/a?b=1"));
}

TEST(Format, IntegerDirectivesWithFlagsAndWidth) {
    EXPECT_EQ(format("%d|%i|%ld|%lld", -1, 2, 3L, 4LL), QStringLiteral("-1|2|3|4"));
    EXPECT_EQ(format("%lu|%u|%zu", 5UL, 6U, size_t(7)), QStringLiteral("5|6|7"));
    EXPECT_EQ(format("%5d|%-5d|%05d|%+d", 42, 42, 42, 42), QStringLiteral("   42|42   |00042|+42"));
    EXPECT_EQ(format("%x %X %#x", 255, 255, 255), QStringLiteral("ff FF 0xff"));
    EXPECT_EQ(format("%lld", Q_INT64_C(-9000000000)), QStringLiteral("-9000000000"));
    // An int read as unsigned wraps as the platform does; a long one keeps 64 bits.
    EXPECT_EQ(format("%u", -1), QStringLiteral("4294967295"));
    EXPECT_EQ(format("%lu", -1L), QStringLiteral("18446744073709551615"));
    EXPECT_EQ(format("%*d", 4, 7), QStringLiteral("   7"));
}

TEST(Format, FloatingDirectivesIgnoreTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(format("%f", 3.5), QStringLiteral("3.500000"));
    EXPECT_EQ(format("%.2f", 0.4), QStringLiteral("0.40"));
    EXPECT_EQ(format("%.0f%%", 99.6), QStringLiteral("100%"));
    EXPECT_EQ(format("%8.3f|", 3.14159), QStringLiteral("   3.142|"));
    EXPECT_EQ(format("%.1f", 2), QStringLiteral("2.0"));
    QLocale::setDefault(saved);
}

TEST(Format, TextDirectivesAndPercent) {
    EXPECT_EQ(format("%s and %@", "bytes", QStringLiteral("text")), QStringLiteral("bytes and text"));
    EXPECT_EQ(format("%s", std::string("std")), QStringLiteral("std"));
    EXPECT_EQ(format("%-6s|%6@|", "ab", QStringLiteral("cd")), QStringLiteral("ab    |    cd|"));
    EXPECT_EQ(format("%.3@", QStringLiteral("abcdef")), QStringLiteral("abc"));
    EXPECT_EQ(format("100%% done"), QStringLiteral("100% done"));
    EXPECT_EQ(format("%c", 65), QStringLiteral("A"));
    EXPECT_EQ(format("Ünïcödé %@", QStringLiteral("ß")), QStringLiteral("Ünïcödé ß"));
}

TEST(Format, MissingArgumentsShowAMarkerAndExtraOnesAreIgnored) {
    EXPECT_EQ(format("%@ and %@", QStringLiteral("one")), QStringLiteral("one and ") + kMissing);
    EXPECT_EQ(format("%d%%"), kMissing + QStringLiteral("%"));
    EXPECT_EQ(format("%.2f"), kMissing);
    EXPECT_EQ(format("%*d", 3), kMissing);
    EXPECT_EQ(format("%@", 1, 2, QStringLiteral("three")), QStringLiteral("1"));
    EXPECT_EQ(format("no directives", 1), QStringLiteral("no directives"));
}

TEST(Format, PositionalArgumentsAndMalformedDirectives) {
    EXPECT_EQ(format("%2$@ %1$@", QStringLiteral("a"), QStringLiteral("b")), QStringLiteral("b a"));
    EXPECT_EQ(format("%3$@", 1), kMissing);
    // Unknown or unfinished directives are copied, never used to read arguments.
    EXPECT_EQ(format("50%", 1), QStringLiteral("50%"));
    EXPECT_EQ(format("%y %@", QStringLiteral("x")), QStringLiteral("%y x"));
    EXPECT_EQ(format("%-", 1), QStringLiteral("%-"));
    // A huge width is capped rather than allocated.
    EXPECT_LE(format("%999999999d", 1).size(), 5000);
}

TEST(Format, NumberDirectiveGivenTextShowsTheText) {
    EXPECT_EQ(format("%d", QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(format("%d", QStringLiteral("abc")), QStringLiteral("abc"));
    EXPECT_EQ(format("%ld", nullptr), QStringLiteral("(null)"));
    EXPECT_EQ(format("%.1f", QVariant(2.25)), QStringLiteral("2.2"));
}

TEST(Format, CollectionsPrintLikeThePlatformsDescriptions) {
    const QVariantMap map{{QStringLiteral("message"), QStringLiteral("hello world")},
                          {QStringLiteral("code"), 7},
                          {QStringLiteral("list"), QStringList{QStringLiteral("a"), QStringLiteral("b c")}},
                          {QStringLiteral("none"), QVariant()}};
    EXPECT_EQ(format("%@", map), QStringLiteral("{\n"
                                                "    code = 7;\n"
                                                "    list = (\n"
                                                "        a,\n"
                                                "        \"b c\"\n"
                                                "    );\n"
                                                "    message = \"hello world\";\n"
                                                "    none = <null>;\n"
                                                "}"));
    EXPECT_EQ(format("%@", QVariantList{}), QStringLiteral("(\n)"));
    EXPECT_EQ(format("%@", QJsonObject{{QStringLiteral("ok"), true}}), QStringLiteral("{\n    ok = 1;\n}"));
    EXPECT_EQ(format("%@", QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7), Qt::UTC)),
              QStringLiteral("2024-02-29 13:05:07 +0000"));
    EXPECT_EQ(format("%@", QVariantMap{}), QStringLiteral("{\n}"));
    EXPECT_EQ(format("%@", QVariantList{1, QStringLiteral("say \"hi\"")}),
              QStringLiteral("(\n    1,\n    \"say \\\"hi\\\"\"\n)"));
}

TEST(Format, ErrorsAndObjectsHaveReadableDescriptions) {
    const platform::Error error(QStringLiteral("com.translator"), -202, QStringLiteral("no package"));
    const QString text = format("%@", error);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Error Domain=com.translator Code=-202 \"no package\"")));
    EXPECT_EQ(format("%@", platform::Error()), QStringLiteral("(null)"));
    QObject object;
    EXPECT_TRUE(format("%@", &object).startsWith(QStringLiteral("<QObject: 0x")));
    QObject *none = nullptr;
    EXPECT_EQ(format("%@", none), QStringLiteral("(null)"));
}

TEST(Format, RejectedDirectivePrintsAsTextAndConsumesNoArgument) {
    struct Case {
        const char *format;
        QString expected;
    };
    const QString name = QStringLiteral("Ann");
    const Case cases[] = {
        {"Save 10% .*now* %@", QStringLiteral("Save 10% .*now* Ann")},
        {"%*y %@", QStringLiteral("%*y Ann")},
        {"%.*q%@", QStringLiteral("%.*qAnn")},
        {"%-*.*k|%@", QStringLiteral("%-*.*k|Ann")},
        {"%0$d %@", QStringLiteral("%0$d Ann")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(format(c.format, name), c.expected);
    }
}

TEST(Format, CharacterAndPrecisionNeverSplitASurrogatePair) {
    const QString grin = QString::fromUtf8("\xF0\x9F\x98\x80"); // one code point, two UTF-16 units
    struct Case {
        const char *format;
        QVariant arg;
        QString expected;
    };
    const Case cases[] = {
        {"%c", grin + QStringLiteral("x"), grin},
        {"%3c|", grin, QStringLiteral(" ") + grin + QStringLiteral("|")},
        {"%c", 0x1F600, grin},
        {"%c", 0xD800, QString(QChar(0xFFFD))},
        {"%c", 0x110000, QString(QChar(0xFFFD))},
        {"%.1@", grin, QString()},
        {"%.2@", QStringLiteral("a") + grin, QStringLiteral("a")},
        {"%.3@", QStringLiteral("a") + grin + QStringLiteral("b"), QStringLiteral("a") + grin},
        {"%4.1s|", grin, QStringLiteral("    |")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(format(c.format, c.arg), c.expected);
    }
}

// Runs clean under -fsanitize=undefined,float-cast-overflow: none of these may cast out of range.
TEST(Format, NonFiniteAndHugeNumbersPrintAsTheCLibraryOrClamp) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char *format;
        QVariant arg;
        QString expected;
    };
    const Case cases[] = {
        {"%d", nan, QStringLiteral("nan")},
        {"%5d|", inf, QStringLiteral("  inf|")},
        {"%-5i|", -inf, QStringLiteral("-inf |")},
        {"%x", QStringLiteral("nan"), QStringLiteral("nan")},
        {"%d", 1e300, QStringLiteral("9223372036854775807")},
        {"%lld", -1e300, QStringLiteral("-9223372036854775808")},
        {"%d", 9223372036854775808.0, QStringLiteral("9223372036854775807")},
        {"%d", -9223372036854775808.0, QStringLiteral("-9223372036854775808")},
        {"%llu", 1e300, QStringLiteral("18446744073709551615")},
        {"%llx", 1e19, QStringLiteral("8ac7230489e80000")},
        {"%d", QStringLiteral("1e400"), QStringLiteral("inf")},
        {"%d", QStringLiteral("9.3e18"), QStringLiteral("9223372036854775807")},
        {"%d", QStringLiteral("-1e300"), QStringLiteral("-9223372036854775808")},
        {"%d", -2.9, QStringLiteral("-2")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(format(c.format, c.arg), c.expected);
    }
    // A "*" width or precision taken from an extreme or non-finite value is capped, never cast blindly.
    const QString left = format("%*d|", std::numeric_limits<qint64>::min(), 7);
    EXPECT_TRUE(left.startsWith(QStringLiteral("7 ")));
    EXPECT_TRUE(left.endsWith(QStringLiteral(" |")));
    EXPECT_LE(left.size(), 5000);
    EXPECT_EQ(format("%*d|", nan, 7), QStringLiteral("7|"));
    EXPECT_EQ(format("%.*f", -inf, 0.5), QStringLiteral("0.500000"));
    EXPECT_EQ(format("%.*s", 1e300, QStringLiteral("abc")), QStringLiteral("abc"));
}

TEST(Format, IntegerDirectivesFollowTheCLibrary) {
    struct Case {
        const char *format;
        QVariant arg;
        QString expected;
    };
    const Case cases[] = {
        {"%+u", 5U, QStringLiteral("5")},
        {"% x", 255, QStringLiteral("ff")},
        {"%#X", 255, QStringLiteral("0XFF")},
        {"%#x", 0, QStringLiteral("0")},
        {"%.0d", 0, QString()},
        {"%#o", 8, QStringLiteral("010")},
        {"%+5.3d", 7, QStringLiteral(" +007")},
        {"%10p|", 255, QStringLiteral("      0xff|")},
        {"%-10p|", 255, QStringLiteral("0xff      |")},
        {"%010p", 255, QStringLiteral("0x000000ff")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(format(c.format, c.arg), c.expected);
    }
}

// Every combination of flags, width, precision and length prints what snprintf prints for the same
// directive, given the value as printf's caller would pass it (an int for no length, "h" and "hh").
TEST(Format, IntegerDirectivesMatchSnprintfForEveryFlagCombination) {
    const char flagChars[] = "-+ 0#";
    const char *const widths[] = {"", "1", "7"};
    const char *const precisions[] = {"", ".0", ".3"};
    const char *const lengths[] = {"ll", "h", "hh"};
    const char conversions[] = "diuxXo";
    const long long values[] = {
        0, 1, -1, 255, 4096, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max()};
    const int shortValues[] = {0, 1, -1, 127, 128, 255, 256, -129, 32768, 65535, 70000, -32769};
    int compared = 0;
    for (int mask = 0; mask < 32; ++mask) {
        std::string flags;
        for (int bit = 0; bit < 5; ++bit) {
            if (mask & (1 << bit))
                flags += flagChars[bit];
        }
        for (const char *width : widths) {
            for (const char *precision : precisions) {
                for (const char *conversion = conversions; *conversion; ++conversion) {
                    const bool isSigned = *conversion == 'd' || *conversion == 'i';
                    for (const char *length : lengths) {
                        const std::string spec = "%" + flags + width + precision + length + *conversion;
                        char expected[128];
                        if (std::string(length) == "ll") {
                            for (const long long value : values) {
                                if (isSigned)
                                    std::snprintf(expected, sizeof expected, spec.c_str(), value);
                                else
                                    std::snprintf(expected, sizeof expected, spec.c_str(),
                                                  static_cast<unsigned long long>(value));
                                SCOPED_TRACE(spec + " of " + std::to_string(value));
                                ASSERT_EQ(format(spec.c_str(), value), QString::fromLatin1(expected));
                                ++compared;
                            }
                            continue;
                        }
                        for (const int value : shortValues) {
                            if (isSigned)
                                std::snprintf(expected, sizeof expected, spec.c_str(), value);
                            else
                                std::snprintf(expected, sizeof expected, spec.c_str(),
                                              static_cast<unsigned>(value));
                            SCOPED_TRACE(spec + " of " + std::to_string(value));
                            ASSERT_EQ(format(spec.c_str(), value), QString::fromLatin1(expected));
                            ++compared;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(compared, 32 * 3 * 3 * 6 * (7 + 2 * 12));
}

TEST(Format, PositionalWidthAndPrecisionTakeTheNamedArguments) {
    struct Case {
        const char *format;
        QString expected;
    };
    // Arguments: 5, 8, "abcdef", 2
    const Case cases[] = {
        {"%1$*2$d|", QStringLiteral("       5|")}, {"%1$-*2$d|", QStringLiteral("5       |")},
        {"%3$.*4$s|", QStringLiteral("ab|")},      {"%3$*2$.*4$@|", QStringLiteral("      ab|")},
        {"%2$d %1$d", QStringLiteral("8 5")},      {"%1$*9$d|", kMissing + QStringLiteral("|")},
        {"%1$*0$d|", QStringLiteral("%1$*0$d|")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(format(c.format, 5, 8, "abcdef", 2), c.expected);
    }
}
