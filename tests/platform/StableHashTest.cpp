#include "platform/StableHash.h"

#include <gtest/gtest.h>

using platform::stableStringHash;

TEST(StableHash, KnownValuesStayTheSameAcrossRuns) {
    // FNV-1a 64 of "a" is 0xaf63dc4c8601ec8c; folded: 0xaf63dc4c ^ 0x8601ec8c.
    EXPECT_EQ(stableStringHash(QStringLiteral("a")), qint64(0xaf63dc4cu ^ 0x8601ec8cu));
    EXPECT_EQ(stableStringHash(QString()), 0);
    EXPECT_EQ(stableStringHash(QStringLiteral("")), 0);
    EXPECT_GT(stableStringHash(QStringLiteral("com.translator")), 0);
    EXPECT_NE(stableStringHash(QStringLiteral("com.translator")), stableStringHash(QStringLiteral("com.translatoR")));
}
