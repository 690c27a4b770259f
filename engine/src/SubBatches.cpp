#include "SubBatches.h"

#include <algorithm>
#include <numeric>

namespace synaptra {

std::vector<std::vector<size_t>> planSubBatches(const std::vector<size_t> &rowLengths,
                                                const SubBatchLimits &limits) {
    std::vector<size_t> order(rowLengths.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return rowLengths[a] < rowLengths[b]; });

    std::vector<std::vector<size_t>> runs;
    size_t realTokens = 0;
    for (size_t index : order) {
        const size_t length = std::max<size_t>(rowLengths[index], 1);
        if (!runs.empty() && !runs.back().empty()) {
            // Sorted ascending: the new row is the run's longest, so it sets the padded width.
            const size_t rows = runs.back().size() + 1;
            const size_t padded = rows * length;
            const bool full = rows > limits.maxRows || padded > limits.maxPaddedTokens ||
                              static_cast<double>(padded) >
                                  limits.maxPaddingRatio * static_cast<double>(realTokens + length);
            if (!full) {
                runs.back().push_back(index);
                realTokens += length;
                continue;
            }
        }
        runs.push_back({index});
        realTokens = length;
    }
    return runs;
}

std::vector<std::vector<int>> splitLongRow(const std::vector<int> &ids, size_t maxTokens,
                                           const std::function<bool(int id)> &startsWord) {
    std::vector<std::vector<int>> rows;
    maxTokens = std::max<size_t>(maxTokens, 1);
    size_t start = 0;
    while (start < ids.size()) {
        size_t end = ids.size();
        if (end - start > maxTokens) {
            end = start + maxTokens;
            // A cut before a word start keeps words whole; never cut a row below half its size.
            for (size_t cut = end; cut > start + maxTokens / 2; --cut)
                if (startsWord(ids[cut])) {
                    end = cut;
                    break;
                }
        }
        rows.emplace_back(ids.begin() + static_cast<std::ptrdiff_t>(start),
                          ids.begin() + static_cast<std::ptrdiff_t>(end));
        start = end;
    }
    return rows;
}

} // namespace synaptra
