// Planning of model runs: every row in exactly one run, runs within their bounds, and long rows
// kept away from short ones; and the cutting of over-long rows.
#include "SubBatches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using synaptra::planSubBatches;
using synaptra::splitLongRow;
using synaptra::SubBatchLimits;

namespace {

std::vector<size_t> repeated(size_t count, size_t length) {
    return std::vector<size_t>(count, length);
}

TEST(SubBatches, EveryRowRunsOnceWithinTheLimits) {
    struct Case {
        const char *name;
        std::vector<size_t> lengths;
        SubBatchLimits limits;
    };
    std::vector<size_t> mixed;
    for (size_t i = 0; i < 300; ++i)
        mixed.push_back(1 + (i * 37) % 60);
    const std::vector<Case> cases = {
        {"Empty", {}, {}},
        {"Mixed", mixed, {}},
        {"MixedSmallRuns", mixed, {8, 100, 1.5}},
        {"ZeroLengthRows", {0, 0, 3, 0}, {}},
        {"RowLongerThanTheTokenBound", {5, 9000, 6}, {64, 4096, 1.5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto runs = planSubBatches(c.lengths, c.limits);
        std::multiset<size_t> seen;
        for (const auto &run : runs) {
            ASSERT_FALSE(run.empty());
            EXPECT_LE(run.size(), c.limits.maxRows);
            size_t longest = 0;
            for (size_t index : run) {
                ASSERT_LT(index, c.lengths.size());
                seen.insert(index);
                longest = std::max(longest, c.lengths[index]);
            }
            if (run.size() > 1) {
                EXPECT_LE(run.size() * longest, c.limits.maxPaddedTokens);
            }
        }
        EXPECT_EQ(seen.size(), c.lengths.size());
        for (size_t i = 0; i < c.lengths.size(); ++i)
            EXPECT_EQ(seen.count(i), 1u) << "row " << i;
    }
}

TEST(SubBatches, RunsHoldRowsOfSimilarLength) {
    // 99 short rows and one long: the long row must not pad a run of short ones.
    std::vector<size_t> lengths = repeated(99, 15);
    lengths.insert(lengths.begin() + 40, 60);
    const auto runs = planSubBatches(lengths);
    for (const auto &run : runs) {
        const bool hasLong = std::find(run.begin(), run.end(), 40u) != run.end();
        if (hasLong) {
            EXPECT_EQ(run.size(), 1u) << "the long row shares its run with short rows";
        }
    }
}

TEST(SubBatches, LongRowsAreCutPreferablyAtWordStarts) {
    // Ids divisible by 10 start a word.
    const auto startsWord = [](int id) { return id % 10 == 0; };
    struct Case {
        const char *name;
        std::vector<int> ids;
        size_t maxTokens;
        std::vector<size_t> rowSizes;
    };
    std::vector<int> words; // words of 10 tokens: 0..9, 10..19, ...
    for (int i = 0; i < 45; ++i)
        words.push_back(i);
    const std::vector<int> noWordStarts(25, 7);
    const std::vector<Case> cases = {
        {"Short", {1, 2, 3}, 8, {3}},
        {"Empty", {}, 8, {}},
        {"ExactlyTheCap", std::vector<int>(8, 7), 8, {8}},
        {"CutBeforeWords", words, 16, {10, 10, 10, 15}},
        {"NoWordStartCutsAtTheCap", noWordStarts, 10, {10, 10, 5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto rows = splitLongRow(c.ids, c.maxTokens, startsWord);
        std::vector<size_t> sizes;
        std::vector<int> joined;
        for (const auto &row : rows) {
            sizes.push_back(row.size());
            EXPECT_LE(row.size(), c.maxTokens);
            joined.insert(joined.end(), row.begin(), row.end());
        }
        EXPECT_EQ(sizes, c.rowSizes);
        EXPECT_EQ(joined, c.ids) << "cutting must keep every id in order";
    }
}

} // namespace
