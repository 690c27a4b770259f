#include "RtfReader.h"

#include "ui/panels/QVMRtfWriter.h"

#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

using uitest::readRtf;
using uitest::RtfDocument;
using uitest::RtfRun;

namespace {

void insert(QTextCursor &cursor, const QString &text,
            const std::function<void(QTextCharFormat &)> &style = {}) {
    QTextCharFormat format;
    if (style)
        style(format);
    cursor.insertText(text, format);
}

} // namespace

TEST(QVMRtfWriterTest, TextThatRtfWouldReadAsCommandsSurvives) {
    const QList<QPair<const char *, QString>> cases = {
        {"braces and backslash", QStringLiteral("a { b } c \\ d \\par e")},
        {"outside ASCII", QStringLiteral("Grüße, Ελληνικά, 日本")},
        {"outside the basic plane", QStringLiteral("smile \U0001F600 end")},
        {"tabs", QStringLiteral("one\ttwo")},
    };
    for (const auto &[name, text] : cases) {
        SCOPED_TRACE(name);
        QTextDocument document(text);
        const QByteArray rtf = QVMRtfWriter::rtfFromDocument(document);
        for (char byte : rtf)
            ASSERT_LT(static_cast<unsigned char>(byte), 0x80) << "RTF is written in ASCII";
        const RtfDocument read = readRtf(rtf);
        ASSERT_TRUE(read.valid);
        EXPECT_EQ(read.text(), text + QLatin1Char('\n'));
    }
}

TEST(QVMRtfWriterTest, FormattingIsReadBackPerRun) {
    QTextDocument document;
    QTextCursor cursor(&document);
    insert(cursor, QStringLiteral("plain "));
    insert(cursor, QStringLiteral("bold"), [](QTextCharFormat &f) { f.setFontWeight(QFont::Bold); });
    insert(cursor, QStringLiteral(" "));
    insert(cursor, QStringLiteral("red"), [](QTextCharFormat &f) { f.setForeground(QColor(200, 10, 20)); });
    cursor.insertBlock();
    insert(cursor, QStringLiteral("Grüße"), [](QTextCharFormat &f) {
        f.setFontItalic(true);
        f.setFontUnderline(true);
        f.setFontPointSize(18);
    });
    const RtfDocument read = readRtf(QVMRtfWriter::rtfFromDocument(document));
    EXPECT_EQ(read.text(), QStringLiteral("plain bold red\nGrüße\n"));
    const RtfRun *plain = read.runWith(QStringLiteral("plain"));
    const RtfRun *bold = read.runWith(QStringLiteral("bold"));
    const RtfRun *red = read.runWith(QStringLiteral("red"));
    const RtfRun *greeting = read.runWith(QStringLiteral("Grüße"));
    ASSERT_TRUE(plain && bold && red && greeting);
    EXPECT_FALSE(plain->bold);
    EXPECT_TRUE(bold->bold);
    EXPECT_FALSE(red->bold);
    EXPECT_EQ(red->colour, QColor(200, 10, 20));
    EXPECT_FALSE(plain->colour.isValid());
    EXPECT_TRUE(greeting->italic);
    EXPECT_TRUE(greeting->underline);
    EXPECT_EQ(greeting->halfPoints, 36);
}
