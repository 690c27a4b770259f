#include "Vocabulary.h"

#include "EngineLog.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace synaptra {

std::string transformIdsToWords(int id) {
    engineLog("i - ", id);
    switch (id) {
    case 0:
        return "<blank>";
    case 1:
        return "<s>";
    case 2:
        return "</s>";
    default:
        break;
    }
    if (id < 0)
        return {};
    return "widx" + std::to_string(id);
}

int transformWordsToIds(std::string token) {
    engineLog("str - ", token);
    if (token == "<blank>" || token == "<unk>")
        return 0;
    if (token == "<s>")
        return 1;
    if (token == "</s>")
        return 2;
    // The prefix is dropped whatever it is; shorter tokens read as no digits. Numbers beyond int
    // saturate (atoi would wrap them onto a real id) so the tokenizer rejects them as out of range.
    if (token.size() <= 4)
        return 0;
    const long value = std::strtol(token.c_str() + 4, nullptr, 10);
    return static_cast<int>(
        std::clamp<long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace synaptra
