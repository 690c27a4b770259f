#include "TextPieces.h"

#include <algorithm>

namespace synaptra {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A line break with only blanks between it and the line break before it.
bool isParagraphBreak(std::string_view s, size_t i) {
    if (s[i] != '\n')
        return false;
    while (i > 0) {
        const char c = s[--i];
        if (c == '\n')
            return true;
        if (c != ' ' && c != '\t' && c != '\r')
            return false;
    }
    return false;
}

// Just after a sentence terminator: '.', '?' or '!' before a space, or an ideographic full stop.
bool isSentenceEnd(std::string_view s, size_t i) {
    if (i >= 1 && (s[i - 1] == '.' || s[i - 1] == '?' || s[i - 1] == '!'))
        return i < s.size() && s[i] == ' ';
    return i >= 3 && (s.substr(i - 3, 3) == "\xE3\x80\x82" || s.substr(i - 3, 3) == "\xEF\xBD\xA1");
}

// Where the piece at the front of `window` (maxBytes + 1 bytes of text) ends: a cut position
// in [1, maxBytes], so that the byte at the cut starts the next piece.
size_t findCut(std::string_view window, size_t maxBytes) {
    const size_t least = maxBytes / 4;
    using Test = bool (*)(std::string_view, size_t);
    const Test preferences[] = {
        isParagraphBreak,
        [](std::string_view s, size_t i) { return s[i] == '\n'; },
        isSentenceEnd,
        [](std::string_view s, size_t i) { return s[i] == ' '; },
    };
    for (Test test : preferences)
        for (size_t i = maxBytes; i >= least; --i)
            if (test(window, i))
                return i;
    size_t cut = maxBytes;
    while (cut > 1 && isContinuationByte(window[cut]))
        --cut;
    return cut;
}

} // namespace

std::vector<TextPiece> splitIntoPieces(std::string_view text, size_t maxBytes) {
    maxBytes = std::max<size_t>(maxBytes, 16);
    std::vector<TextPiece> pieces;
    size_t pos = 0;
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    while (pos < text.size()) {
        const size_t rest = text.size() - pos;
        size_t end = pos + (rest <= maxBytes ? rest : findCut(text.substr(pos, maxBytes + 1), maxBytes));
        size_t next = end;
        while (end > pos && isSpace(text[end - 1]))
            --end;
        while (next < text.size() && isSpace(text[next]))
            ++next;
        pieces.push_back({text.substr(pos, end - pos), text.substr(end, next - end)});
        pos = next;
    }
    return pieces;
}

} // namespace synaptra
