#include "Segmentation.h"

#include "EngineLog.h"

#include <cstring>

namespace synaptra {

namespace {

// Length of the sentence terminator starting at `i` ('.', '?', '!', U+3002, U+FF61), or 0.
size_t terminatorAt(std::string_view s, size_t i) {
    const char c = s[i];
    if (c == '.' || c == '?' || c == '!')
        return 1;
    if (i + 2 < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]), b1 = static_cast<unsigned char>(s[i + 1]),
                   b2 = static_cast<unsigned char>(s[i + 2]);
        if (b0 == 0xE3 && b1 == 0x80 && b2 == 0x82)
            return 3;
        if (b0 == 0xEF && b1 == 0xBD && b2 == 0xA1)
            return 3;
    }
    return 0;
}

// Length of the clause mark starting at `i` (ASCII marks and U+2014), or 0.
size_t clauseMarkAt(std::string_view s, size_t i) {
    switch (s[i]) {
    case ',':
    case ';':
    case ':':
    case '[':
    case '\\':
    case ']':
    case '(':
    case ')':
    case '{':
    case '}':
        return 1;
    default:
        break;
    }
    if (i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xE2 &&
        static_cast<unsigned char>(s[i + 1]) == 0x80 && static_cast<unsigned char>(s[i + 2]) == 0x94)
        return 3;
    return 0;
}

// Only spaces, tabs and other ASCII blanks: a line with nothing for the model.
bool isBlank(std::string_view line) {
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\v' && c != '\f')
            return false;
    return true;
}

void appendToLastSeparator(std::vector<std::string> &symbolsBatch, std::string_view text) {
    if (symbolsBatch.empty())
        symbolsBatch.emplace_back();
    symbolsBatch.back().append(text);
}

void dropLastSeparatorChar(std::vector<std::string> &symbolsBatch) {
    if (!symbolsBatch.empty() && !symbolsBatch.back().empty())
        symbolsBatch.back().pop_back();
}

// The state one cutting level keeps between cuts. A piece is always the stretch of the input
// since the last cut (only the space that makes a cut is left out), so it is kept as a view.
struct Piece {
    std::string_view input;
    size_t start = 0;
    size_t end = 0;
    int words = 0;
    bool inRun = false;
    size_t runStart = 0;

    std::string_view text() const { return input.substr(start, end - start); }
    bool empty() const { return end == start; }
    std::string_view beforeRun() const { return input.substr(start, runStart - start); }
    std::string_view run() const { return input.substr(runStart, end - runStart); }
};

// Bytes that may start a mark or are a space; every other byte is ordinary text.
struct LeadBytes {
    bool table[256] = {};
    explicit LeadBytes(std::string_view leads) {
        table[static_cast<unsigned char>(' ')] = true;
        for (char c : leads)
            table[static_cast<unsigned char>(c)] = true;
    }
    bool operator()(char c) const { return table[static_cast<unsigned char>(c)]; }
};

const LeadBytes kTerminatorLeads(".?!\xE3\xEF");
const LeadBytes kClauseLeads(",;:[\\](){}\xE2");

// Shared walk of SplitLongBlock and SplitLongSentence: marks open runs, a space after a run
// calls `cut` and starts a new piece after it; other bytes extend the piece.
template <typename MarkAt, typename Cut>
void walk(std::string_view input, Piece &piece, const LeadBytes &leads, MarkAt markAt, Cut cut) {
    piece.input = input;
    size_t i = 0;
    while (i < input.size()) {
        const char c = input[i];
        if (!leads(c)) {
            piece.inRun = false;
            ++i;
            continue;
        }
        const size_t mark = markAt(input, i);
        if (mark > 0) {
            if (!piece.inRun) {
                piece.inRun = true;
                piece.runStart = i;
            }
            i += mark;
        } else if (c != ' ') {
            piece.inRun = false;
            ++i;
        } else if (!piece.inRun) {
            ++piece.words;
            ++i;
        } else {
            piece.end = i;
            cut();
            ++i;
            piece.start = piece.end = piece.runStart = i;
            piece.words = 0;
            piece.inRun = false;
        }
    }
    piece.end = input.size();
}

} // namespace

int SplitByNewLine(const char *text, std::vector<std::string> &sentenceBatch,
                   std::vector<std::string> &symbolsBatch) {
    if (text == nullptr)
        return 1;
    const std::string_view all(text, std::strlen(text));
    size_t start = 0;
    size_t lastBreak = 1;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view line = all.substr(start, end - start);
        // A CRLF line keeps its "\r" out of the sentence, in the text that follows it.
        std::string_view lineBreak = "\n";
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            lineBreak = "\r\n";
        }
        engineLog("sentence - ", line);
        if (isBlank(line)) {
            // Nothing to translate: the line's own bytes stay where they were.
            if (!symbolsBatch.empty())
                symbolsBatch.back().append(line);
        } else {
            SplitLongBlock(line, sentenceBatch, symbolsBatch);
        }
        if (!symbolsBatch.empty())
            symbolsBatch.back().append(lineBreak);
        lastBreak = lineBreak.size();
        start = end + 1;
    }
    // The result never ends with the line break that ended the text.
    for (size_t i = 0; i < lastBreak; ++i)
        dropLastSeparatorChar(symbolsBatch);
    return 0;
}

int SplitLongBlock(std::string_view line, std::vector<std::string> &sentenceBatch,
                   std::vector<std::string> &symbolsBatch) {
    if (line.empty())
        return 1;
    Piece piece;
    walk(line, piece, kTerminatorLeads, terminatorAt, [&] {
        if (piece.words < kLongPieceWords) {
            sentenceBatch.emplace_back(piece.text());
            symbolsBatch.emplace_back(" ");
        } else {
            SplitLongSentence(piece.beforeRun(), sentenceBatch, symbolsBatch);
            appendToLastSeparator(symbolsBatch, piece.run());
            appendToLastSeparator(symbolsBatch, " ");
        }
    });
    if (piece.empty()) {
        dropLastSeparatorChar(symbolsBatch);
    } else if (piece.words < kLongPieceWords) {
        sentenceBatch.emplace_back(piece.text());
        symbolsBatch.emplace_back();
    } else if (piece.inRun) {
        SplitLongSentence(piece.beforeRun(), sentenceBatch, symbolsBatch);
        appendToLastSeparator(symbolsBatch, piece.run());
    } else {
        SplitLongSentence(piece.text(), sentenceBatch, symbolsBatch);
    }
    return 0;
}

int SplitLongSentence(std::string_view input, std::vector<std::string> &sentenceBatch,
                      std::vector<std::string> &symbolsBatch) {
    if (input.empty())
        return 1;
    Piece piece;
    walk(input, piece, kClauseLeads, clauseMarkAt, [&] {
        if (piece.words < kLongPieceWords) {
            sentenceBatch.emplace_back(piece.beforeRun());
            symbolsBatch.emplace_back(piece.run());
            symbolsBatch.back().push_back(' ');
        } else {
            SplitLongSentenceWithoutPunct(piece.beforeRun(), sentenceBatch, symbolsBatch);
            appendToLastSeparator(symbolsBatch, piece.run());
            appendToLastSeparator(symbolsBatch, " ");
        }
    });
    if (piece.empty()) {
        dropLastSeparatorChar(symbolsBatch);
    } else if (piece.words < kLongPieceWords) {
        if (piece.inRun) {
            sentenceBatch.emplace_back(piece.beforeRun());
            symbolsBatch.emplace_back(piece.run());
        } else {
            sentenceBatch.emplace_back(piece.text());
            symbolsBatch.emplace_back();
        }
    } else if (piece.inRun) {
        SplitLongSentenceWithoutPunct(piece.beforeRun(), sentenceBatch, symbolsBatch);
        appendToLastSeparator(symbolsBatch, piece.run());
    } else {
        SplitLongSentenceWithoutPunct(piece.text(), sentenceBatch, symbolsBatch);
    }
    return 0;
}

int SplitLongSentenceWithoutPunct(std::string_view input, std::vector<std::string> &sentenceBatch,
                                  std::vector<std::string> &symbolsBatch) {
    if (input.empty())
        return 1;
    size_t pieceStart = 0;
    int spaces = 0;
    int cuts = 0;
    // Pieces are contiguous in the input except for the consumed 50th space.
    for (size_t i = 0; i < input.size(); ++i) {
        if (input[i] != ' ' || ++spaces < kLongPieceWords)
            continue;
        if (cuts > 0)
            symbolsBatch.emplace_back(" ");
        sentenceBatch.emplace_back(input.substr(pieceStart, i - pieceStart));
        ++cuts;
        spaces = 0;
        pieceStart = i + 1;
    }
    if (pieceStart < input.size()) {
        if (cuts > 0)
            symbolsBatch.emplace_back(" ");
        sentenceBatch.emplace_back(input.substr(pieceStart));
        symbolsBatch.emplace_back();
    } else if (cuts > 0) {
        symbolsBatch.emplace_back();
    }
    return 0;
}

} // namespace synaptra
