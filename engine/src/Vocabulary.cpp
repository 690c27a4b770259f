#include "Vocabulary.h"

#include "EngineLog.h"

#include <cstdlib>

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
    // The prefix is dropped whatever it is; shorter tokens read as no digits.
    if (token.size() <= 4)
        return 0;
    return std::atoi(token.c_str() + 4);
}

} // namespace synaptra
