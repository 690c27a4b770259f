// Cutting long texts into engine-sized pieces: bounds, preferred cut points, and nothing lost.
#include "TextPieces.h"

#include <gtest/gtest.h>

using synaptra::splitIntoPieces;
using synaptra::TextPiece;

namespace {

std::string rejoin(const std::vector<TextPiece> &pieces) {
    std::string out;
    for (const TextPiece &p : pieces)
        out.append(p.text).append(p.after);
    return out;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string sentence(int i) {
    return "Sentence number " + std::to_string(i) + " says little.";
}

TEST(TextPieces, PiecesStayWithinTheBoundAndRejoinIntoTheText) {
    std::string paragraphs, noSpaces, cjk;
    for (int i = 0; i < 400; ++i) {
        paragraphs += sentence(i) + (i % 5 == 4 ? "\r\n\r\n" : i % 5 == 2 ? "\n" : " ");
        noSpaces += "abcdefghij";
        cjk += "\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C"; // four 3-byte characters
        if (i % 7 == 6)
            cjk += "\xE3\x80\x82";
    }
    struct Case {
        const char *name;
        std::string text;
        size_t maxBytes;
    };
    const std::vector<Case> cases = {
        {"ParagraphsAfterBlankLines", "\n\n  " + paragraphs, 1000},
        {"NoSpaces", noSpaces, 999},
        {"CjkWithoutSpaces", cjk, 1000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto pieces = splitIntoPieces(c.text, c.maxBytes);
        ASSERT_FALSE(pieces.empty());
        EXPECT_EQ(pieces.front().text.front(), c.text[c.text.find_first_not_of(" \r\n")]);
        for (const TextPiece &p : pieces) {
            ASSERT_FALSE(p.text.empty());
            EXPECT_LE(p.text.size(), c.maxBytes);
            EXPECT_FALSE(isSpace(p.text.front()) || isSpace(p.text.back()));
            for (char ch : p.after)
                EXPECT_TRUE(isSpace(ch));
            // No piece starts inside a UTF-8 character.
            EXPECT_NE(static_cast<unsigned char>(p.text.front()) & 0xC0, 0x80);
        }
        std::string trimmed = c.text.substr(c.text.find_first_not_of(" \r\n"));
        while (!trimmed.empty() && isSpace(trimmed.back()))
            trimmed.pop_back();
        std::string joined = rejoin(pieces);
        while (!joined.empty() && isSpace(joined.back()))
            joined.pop_back();
        EXPECT_EQ(joined, trimmed);
    }
}

TEST(TextPieces, CutsPreferParagraphsThenLinesThenSentences) {
    struct Case {
        const char *name;
        std::string text;
        std::string firstPiece;
        std::string firstAfter;
    };
    const std::string a(300, 'a'), b(300, 'b'), c(300, 'c');
    const std::vector<Case> cases = {
        // A paragraph break wins over a later line break.
        {"Paragraph", a + "\n\n" + b + "\n" + c, a, "\n\n"},
        {"BlankLineWithSpaces", a + "\r\n \r\n" + b + "\n" + c, a, "\r\n \r\n"},
        {"Line", a + " x. " + b + "\n" + c, a + " x. " + b, "\n"},
        {"Sentence", a + ". " + b + " " + c, a + ".", " "},
        {"Space", a + " " + b + c, a, " "},
        // A paragraph break too near the start would make a tiny piece: a later line wins.
        {"TooEarlyParagraph", "x\n\n" + a + b + "\n" + c, "x\n\n" + a + b, "\n"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        const auto pieces = splitIntoPieces(k.text, 700);
        ASSERT_GE(pieces.size(), 2u);
        EXPECT_EQ(pieces[0].text, k.firstPiece);
        EXPECT_EQ(pieces[0].after, k.firstAfter);
    }
    EXPECT_TRUE(splitIntoPieces(" \r\n\t\n", 100).empty()) << "a blank text has no piece";
}

} // namespace
