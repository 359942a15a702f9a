#include "common/text.hpp"

#include <gtest/gtest.h>

#include <cstring>

TEST(FormatText, CutsAndTerminates) {
    char buffer[6];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(formatText(buffer, sizeof buffer, "%s-%d", "abcd", 42), 5u);
    EXPECT_STREQ(buffer, "abcd-");
    EXPECT_EQ(copyText(buffer, "ab"), 2u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(copyText(buffer, nullptr), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST(FormatText, ZeroCapacityWritesNothing) {
    char buffer[2] = {'x', 'y'};
    EXPECT_EQ(formatText(buffer, 0, "%s", "abc"), 0u);
    EXPECT_EQ(buffer[0], 'x');
}
