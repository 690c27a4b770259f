// Cuts a long text into pieces the engine translates one call at a time, each followed by the
// whitespace that separated it from the next, so the translations join back into the text's shape.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace synaptra {

struct TextPiece {
    std::string_view text;  // never empty, never starts or ends with whitespace
    std::string_view after; // the whitespace that followed it in the text
};

// Pieces of at most `maxBytes` (at least 16) covering `text` in order; whitespace before the
// first piece is dropped. A cut falls, by preference, at a paragraph break, a line break, a
// sentence end, a space, and only then between two UTF-8 characters; each preference is used
// only when it leaves a piece of at least a quarter of `maxBytes`.
std::vector<TextPiece> splitIntoPieces(std::string_view text, size_t maxBytes);

} // namespace synaptra
