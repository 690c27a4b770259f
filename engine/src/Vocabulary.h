// Mapping between tokenizer ids and the model's tokens: "<blank>", "<s>", "</s>", "widxN".
#pragma once

#include <string>

namespace synaptra {

std::string transformIdsToWords(int id);
int transformWordsToIds(std::string token);

} // namespace synaptra
