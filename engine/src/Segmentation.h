// Cuts a text into sentences short enough for the model, recording after each sentence the
// exact text (spaces, line breaks, punctuation left out of the sentence) that follows its
// translation. sentences and separators always grow together.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace synaptra {

constexpr int kLongPieceWords = 50;

// 1 for a null text (nothing appended), else 0.
int SplitByNewLine(const char *text, std::vector<std::string> &sentenceBatch,
                   std::vector<std::string> &symbolsBatch);
// Each returns 1 for an empty piece (nothing appended), else 0.
int SplitLongBlock(std::string_view line, std::vector<std::string> &sentenceBatch,
                   std::vector<std::string> &symbolsBatch);
int SplitLongSentence(std::string_view piece, std::vector<std::string> &sentenceBatch,
                      std::vector<std::string> &symbolsBatch);
int SplitLongSentenceWithoutPunct(std::string_view piece, std::vector<std::string> &sentenceBatch,
                                  std::vector<std::string> &symbolsBatch);

} // namespace synaptra
