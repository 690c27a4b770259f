// How the rows of one text are run through the model: over-long rows are cut into rows the
// model can take, and rows are grouped by length into sub-batches of bounded size, so one long
// sentence neither pads every other row nor makes one huge run.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace synaptra {

struct SubBatchLimits {
    // Rows in one run.
    size_t maxRows = 64;
    // Rows times the longest row's tokens in one run (what the padded input holds).
    size_t maxPaddedTokens = 4096;
    // Padded tokens may exceed the real ones by this factor before a new run starts.
    double maxPaddingRatio = 1.5;
};

// Tokens one row may hold; longer rows are cut (see splitLongRow).
constexpr size_t kMaxRowTokens = 128;

// Groups row indices into runs: rows sorted by length (ties keep their order), each run within
// `limits` (a single row may exceed maxPaddedTokens). Every index appears exactly once.
std::vector<std::vector<size_t>> planSubBatches(const std::vector<size_t> &rowLengths,
                                                const SubBatchLimits &limits = {});

// Cuts `ids` into rows of at most `maxTokens`, preferring to cut before a token that starts a
// word when one lies in the second half of the row. Empty input gives no rows.
std::vector<std::vector<int>> splitLongRow(const std::vector<int> &ids, size_t maxTokens,
                                           const std::function<bool(int id)> &startsWord);

} // namespace synaptra
