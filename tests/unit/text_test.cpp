#include "common/stream_reader.hpp"
#include "common/text.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

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

// A word is cut to the room given, which is checked before each byte.
TEST(ScanWord, StoresAtMostCapacityLessOne) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    std::fputs("abcdef", stream);
    std::rewind(stream);
    char word[3] = {'x', 'x', 'x'};
    EXPECT_TRUE(scanWord(stream, word, 1));
    EXPECT_EQ(std::string(word, 3), std::string("\0xx", 3));
    EXPECT_TRUE(scanWord(stream, word, sizeof word));
    EXPECT_STREQ(word, "ab");
    std::fclose(stream);
}
