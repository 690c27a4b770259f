#include "Vocabulary.h"

#include <gtest/gtest.h>

#include <limits>

using synaptra::transformIdsToWords;
using synaptra::transformWordsToIds;

TEST(Vocabulary, IdsBecomeModelTokens) {
    EXPECT_EQ(transformIdsToWords(0), "<blank>");
    EXPECT_EQ(transformIdsToWords(1), "<s>");
    EXPECT_EQ(transformIdsToWords(2), "</s>");
    EXPECT_EQ(transformIdsToWords(3), "widx3");
    EXPECT_EQ(transformIdsToWords(17), "widx17");
    EXPECT_EQ(transformIdsToWords(-1), "");
}

TEST(Vocabulary, TokensBecomeIds) {
    EXPECT_EQ(transformWordsToIds("<blank>"), 0);
    EXPECT_EQ(transformWordsToIds("<unk>"), 0);
    EXPECT_EQ(transformWordsToIds("<s>"), 1);
    EXPECT_EQ(transformWordsToIds("</s>"), 2);
    EXPECT_EQ(transformWordsToIds("widx42"), 42);
    EXPECT_EQ(transformWordsToIds("abcd7"), 7);
    EXPECT_EQ(transformWordsToIds("widx12abc"), 12);
    EXPECT_EQ(transformWordsToIds("ab"), 0);
    EXPECT_EQ(transformWordsToIds(""), 0);
    EXPECT_EQ(transformWordsToIds("widx"), 0);
    // A model token too large for an id must not wrap onto a real one (2^32 + 5 is not 5).
    EXPECT_EQ(transformWordsToIds("widx4294967301"), std::numeric_limits<int>::max());
    EXPECT_EQ(transformWordsToIds("widx-4294967301"), std::numeric_limits<int>::min());
}

TEST(Vocabulary, RoundTripsEveryId) {
    for (int id = 0; id < 5000; ++id)
        EXPECT_EQ(transformWordsToIds(transformIdsToWords(id)), id);
}
