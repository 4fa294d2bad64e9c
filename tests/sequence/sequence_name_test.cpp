// File names of numbered image sequences: candidate order, limits, signs.
#include "sequence/SequenceName.h"

#include "zento/ProgressCallback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <tuple>

namespace {

using Names = std::vector<std::string>;

// A host asset check that records every probe and accepts a chosen set of names,
// optionally writing another path over the buffer on acceptance.
Names probes;
Names accepted;
std::string rewriteTo;
ZUtils::RecordingProgressCallback progress;

bool check(char* path, int size, ZUtils::ProgressCallback* cb, bool flag) {
    probes.push_back(path);
    EXPECT_TRUE((size == 1024 || size < 16) && cb == &progress && !flag) << size;
    if (std::find(accepted.begin(), accepted.end(), path) == accepted.end()) return false;
    if (!rewriteTo.empty()) std::snprintf(path, size, "%s", rewriteTo.c_str());
    return true;
}

// The name for number in a buffer of size bytes, checking nothing is written past it.
std::string make(const char* pattern, int number, int size = 1024, Names accept = {},
                 std::string rewrite = "") {
    probes.clear();
    std::tie(accepted, rewriteTo) = std::tie(accept, rewrite);
    std::vector<char> out(size + 16, '\x7E');
    makeSequenceFileName(pattern, number, out.data(), size, &progress, &check);
    for (int i = size; i < size + 16; ++i) EXPECT_EQ(out[i], '\x7E') << "wrote past the buffer";
    EXPECT_LT(std::strlen(out.data()), static_cast<size_t>(size));
    return out.data();
}

TEST(SequenceName, CandidateSeries) {
    struct Case {
        const char* pattern;
        int number;
        const char* result;
        Names probes;
    };
    const Case cases[] = {
        {"tex/wall_0001.ptx",
         12,
         "tex/wall_0012.ptx",
         {"tex/wall_0012.ptx", "tex/wall_12.ptx", "tex/wall_012.ptx", "tex/wall_0012.ptx",
          "tex/wall_00012.ptx", "tex/wall_000012.ptx"}},
        {"wall_01.ptx",
         123,
         "wall_123.ptx",  // a number longer than the run grows it
         {"wall_123.ptx", "wall_123.ptx", "wall_0123.ptx", "wall_00123.ptx", "wall_000123.ptx",
          "wall_0000123.ptx"}},
        {"wall_0001.ptx",
         0,
         "wall_0000.ptx",
         {"wall_0000.ptx", "wall_0.ptx", "wall_00.ptx", "wall_000.ptx", "wall_0000.ptx",
          "wall_00000.ptx"}},
        {"shot2/wall.ptx",
         5,
         "shot5/wall.ptx",  // the last digit run may stand in a directory
         {"shot5/wall.ptx", "shot5/wall.ptx", "shot05/wall.ptx", "shot005/wall.ptx",
          "shot0005/wall.ptx", "shot00005/wall.ptx"}},
        {"wall_0001.ptx",
         -5,
         "wall_-005.ptx",  // the width counts the sign, zeros go after it
         {"wall_-005.ptx", "wall_-5.ptx", "wall_-05.ptx", "wall_-005.ptx", "wall_-0005.ptx",
          "wall_-00005.ptx"}},
        {"wall.ptx", 5, "wall.ptx", {}},  // no digits: copied, nothing checked
        {"", 5, "", {}},
        {nullptr, 5, "", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(make(c.pattern, c.number), c.result) << (c.pattern ? c.pattern : "null");
        EXPECT_EQ(probes, c.probes) << (c.pattern ? c.pattern : "null");
    }
    EXPECT_EQ(make("v1/shot_0010/wall_1.ptx", 7), "v1/shot_0010/wall_7.ptx");
    EXPECT_EQ(make("wall_1.ptx", INT_MIN), "wall_-2147483648.ptx");
    EXPECT_EQ(make("wall_1.ptx", INT_MAX), "wall_2147483647.ptx");
    EXPECT_EQ(make("wall_00000000000001.ptx", INT_MIN), "wall_-0002147483648.ptx");
    EXPECT_EQ(progress.count(), 0u) << "no messages of its own";
}

TEST(SequenceName, FirstAcceptedCandidateWinsAsTheHostRewroteItAndNumbersSaturate) {
    EXPECT_EQ(make("tex/wall_0001.ptx", 12, 1024, {"tex/wall_012.ptx", "tex/wall_00012.ptx"}),
              "tex/wall_012.ptx");
    EXPECT_EQ(probes.size(), 3u);
    EXPECT_EQ(make("tex/wall_0001.ptx", 12, 1024, {"tex/wall_0012.ptx"}), "tex/wall_0012.ptx");
    EXPECT_EQ(probes.size(), 1u);
    EXPECT_EQ(make("tex/wall_0001.ptx", 12, 1024, {"tex/wall_12.ptx"}, "/assets/tex/wall_12.ptx"),
              "/assets/tex/wall_12.ptx");
}

TEST(SequenceName, LongPatternsAndSmallBuffersAreCut) {
    // The run sits at 1019..1022 of a 1023-character buffer; the tail is cut off.
    const std::string result = make((std::string(1018, 'a') + "_0001.ptx").c_str(), 123456);
    EXPECT_EQ(result.size(), 1023u);
    EXPECT_EQ(result.substr(1019), "1234");
    for (const std::string& probe : probes) EXPECT_LE(probe.size(), 1023u);
    // A digit as the very last character that fits: k = 1 would leave no room for the number.
    const std::string edge = std::string(1022, 'b') + "7xyz";
    EXPECT_EQ(make(edge.c_str(), 42), edge.substr(0, 1022) + "4");
    EXPECT_EQ(probes.size(), 2u);
    EXPECT_EQ(make("w1.ptx", 12, 5), "w12.");
    EXPECT_EQ(make("w1.ptx", 12, 2), "w");
    EXPECT_EQ(make("7", 12, 1), "");
    char untouched = 'z';
    makeSequenceFileName("w1", 3, &untouched, 0, nullptr, &check);
    EXPECT_EQ(untouched, 'z');
    makeSequenceFileName("w1", 3, nullptr, 10, nullptr, &check);
}

// The real host check: the existing written form is found on disk.
TEST(SequenceNameOnDisk, HostCheckFindsTheWrittenForm) {
    std::string dir = "/tmp/zt-seqname-XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::fclose(std::fopen((dir + "/wall_012.ptx").c_str(), "w"));
    char out[1024];
    for (auto [number, found] :
         {std::pair{12, "/wall_012.ptx"}, {13, "/wall_0013.ptx"}}) {  // else the run width
        makeSequenceFileName((dir + "/wall_0001.ptx").c_str(), number, out, sizeof out, nullptr);
        EXPECT_EQ(std::string(out), dir + found);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
