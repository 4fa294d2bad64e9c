#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/alloc_debug.h"

namespace {

char g_lines[8][DEBUG_OUTPUT_BUFFER_SIZE + 8];
int g_count = 0;

void recordLine(const char* text) {
    if (g_count < 8) std::snprintf(g_lines[g_count], sizeof g_lines[0], "%s", text);
    ++g_count;
}

}  // namespace

TEST(BoundedSprintf, NonPositiveSizeWritesNothing) {
    char buffer[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(boundedSprintf(buffer, 0, "%s", "xyz"), 0);
    EXPECT_EQ(boundedSprintf(buffer, -3, "%s", "xyz"), 0);
    EXPECT_EQ(std::memcmp(buffer, "abcd", 4), 0);
    EXPECT_EQ(boundedSprintf(nullptr, 10, "%s", "xyz"), 0);
}

TEST(BoundedSprintf, FitsExactlyInSizeMinusOne) {
    char buffer[6];
    EXPECT_EQ(boundedSprintf(buffer, 6, "%s", "12345"), 5);
    EXPECT_STREQ(buffer, "12345");
    EXPECT_EQ(boundedSprintf(buffer, 6, "%d", 42), 2);
    EXPECT_STREQ(buffer, "42");
    EXPECT_EQ(boundedSprintf(buffer, 6, "%s", ""), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(BoundedSprintf, TooLongIsCutTerminatedAndMinusOne) {
    char buffer[8];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(boundedSprintf(buffer, 6, "%s", "123456"), -1);
    EXPECT_STREQ(buffer, "12345");
    EXPECT_EQ(buffer[6], 'z');  // nothing beyond the size
    EXPECT_EQ(boundedSprintf(buffer, 1, "%s", "a"), -1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(boundedSprintf(buffer, 1, "%s", ""), 0);
}

TEST(BoundedSprintf, NullFormatFails) {
    char buffer[8] = "keep";
    EXPECT_EQ(boundedVsprintf(buffer, 8, nullptr, nullptr), -1);
    EXPECT_STREQ(buffer, "");
}

TEST(DebugPrintf, SendsOneTerminatedLineToTheSink) {
    g_count = 0;
    DebugOutputSink previous = setDebugOutputSink(&recordLine);
    debugPrintf("[test] %d %s\n", 7, "seven");
    ASSERT_EQ(g_count, 1);
    EXPECT_STREQ(g_lines[0], "[test] 7 seven\n");
    const std::string longText(2000, 'q');
    debugPrintf("%s", longText.c_str());
    ASSERT_EQ(g_count, 2);
    EXPECT_EQ(std::strlen(g_lines[1]), 511u);
    setDebugOutputSink(previous);
}

TEST(DebugPrintf, NullSinkRestoresStderr) {
    setDebugOutputSink(&recordLine);
    EXPECT_EQ(setDebugOutputSink(nullptr), &recordLine);
    testing::internal::CaptureStderr();
    debugPrintf("to stderr %d\n", 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr 1\n");
    EXPECT_EQ(setDebugOutputSink(nullptr), &debugOutputToStderr);
}
