// File names of numbered image sequences: candidate order, limits, signs.
#include "sequence/SequenceName.h"

#include "zento/AssetPath.h"
#include "zento/ProgressCallback.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

// A host asset check that records every probe and accepts a chosen set of names.
struct Probe {
    static std::vector<std::string> probes;
    static std::set<std::string> accepted;
    static std::string rewriteTo;  // written over the buffer on acceptance when set
    static std::vector<int> sizes;
    static std::vector<ZUtils::ProgressCallback*> callbacks;
    static std::vector<bool> flags;

    static void reset()
    {
        probes.clear();
        accepted.clear();
        rewriteTo.clear();
        sizes.clear();
        callbacks.clear();
        flags.clear();
    }
    static bool check(char* path, int size, ZUtils::ProgressCallback* progress, bool flag)
    {
        probes.push_back(path);
        sizes.push_back(size);
        callbacks.push_back(progress);
        flags.push_back(flag);
        if (!accepted.count(path)) return false;
        if (!rewriteTo.empty()) std::snprintf(path, size, "%s", rewriteTo.c_str());
        return true;
    }
};
std::vector<std::string> Probe::probes;
std::set<std::string> Probe::accepted;
std::string Probe::rewriteTo;
std::vector<int> Probe::sizes;
std::vector<ZUtils::ProgressCallback*> Probe::callbacks;
std::vector<bool> Probe::flags;

class SequenceName : public ::testing::Test {
protected:
    void SetUp() override { Probe::reset(); }

    std::string make(const char* pattern, int number, int size = 1024)
    {
        std::vector<char> out(size + 16, '\x7E');
        makeSequenceFileName(pattern, number, out.data(), size, &progress_, &Probe::check);
        for (int i = size; i < size + 16; ++i) EXPECT_EQ(out[i], '\x7E') << "wrote past the buffer";
        EXPECT_LT(std::strlen(out.data()), static_cast<size_t>(size));
        return out.data();
    }

    ZUtils::RecordingProgressCallback progress_;
};

using Names = std::vector<std::string>;

TEST_F(SequenceName, CandidatesForRunOfFourWithTwelve)
{
    EXPECT_EQ(make("tex/wall_0001.ptx", 12), "tex/wall_0012.ptx");
    EXPECT_EQ(Probe::probes, (Names{"tex/wall_0012.ptx", "tex/wall_12.ptx", "tex/wall_012.ptx",
                                    "tex/wall_0012.ptx", "tex/wall_00012.ptx", "tex/wall_000012.ptx"}));
    for (size_t i = 0; i < Probe::probes.size(); ++i) {
        EXPECT_EQ(Probe::sizes[i], 1024);
        EXPECT_EQ(Probe::callbacks[i], &progress_);
        EXPECT_FALSE(Probe::flags[i]);
    }
    EXPECT_EQ(progress_.count(), 0u) << "no messages of its own";
}

TEST_F(SequenceName, FirstAcceptedCandidateWins)
{
    Probe::accepted = {"tex/wall_012.ptx", "tex/wall_00012.ptx"};
    EXPECT_EQ(make("tex/wall_0001.ptx", 12), "tex/wall_012.ptx");
    EXPECT_EQ(Probe::probes.size(), 3u);

    Probe::reset();
    Probe::accepted = {"tex/wall_0012.ptx"};
    EXPECT_EQ(make("tex/wall_0001.ptx", 12), "tex/wall_0012.ptx");
    EXPECT_EQ(Probe::probes.size(), 1u);
}

TEST_F(SequenceName, RewrittenPathIsKept)
{
    Probe::accepted = {"tex/wall_12.ptx"};
    Probe::rewriteTo = "/assets/tex/wall_12.ptx";
    EXPECT_EQ(make("tex/wall_0001.ptx", 12), "/assets/tex/wall_12.ptx");
}

TEST_F(SequenceName, NumberLongerThanTheRunGrowsIt)
{
    EXPECT_EQ(make("wall_01.ptx", 123), "wall_123.ptx");
    EXPECT_EQ(Probe::probes, (Names{"wall_123.ptx", "wall_123.ptx", "wall_0123.ptx", "wall_00123.ptx",
                                    "wall_000123.ptx", "wall_0000123.ptx"}));
}

TEST_F(SequenceName, ZeroIsWrittenAsOneDigit)
{
    EXPECT_EQ(make("wall_0001.ptx", 0), "wall_0000.ptx");
    EXPECT_EQ(Probe::probes, (Names{"wall_0000.ptx", "wall_0.ptx", "wall_00.ptx", "wall_000.ptx",
                                    "wall_0000.ptx", "wall_00000.ptx"}));
}

TEST_F(SequenceName, LastDigitMayStandInADirectory)
{
    EXPECT_EQ(make("shot2/wall.ptx", 5), "shot5/wall.ptx");
    EXPECT_EQ(Probe::probes.front(), "shot5/wall.ptx");
    EXPECT_EQ(make("v1/shot_0010/wall_1.ptx", 7), "v1/shot_0010/wall_7.ptx");
}

TEST_F(SequenceName, NameWithoutDigitsIsNotChecked)
{
    EXPECT_EQ(make("wall.ptx", 5), "wall.ptx");
    EXPECT_EQ(make("", 5), "");
    EXPECT_EQ(make(nullptr, 5), "");
    EXPECT_TRUE(Probe::probes.empty());
}

TEST_F(SequenceName, NegativeNumbersCarryALeadingMinus)
{
    EXPECT_EQ(make("wall_0001.ptx", -5), "wall_-005.ptx");
    EXPECT_EQ(Probe::probes, (Names{"wall_-005.ptx", "wall_-5.ptx", "wall_-05.ptx", "wall_-005.ptx",
                                    "wall_-0005.ptx", "wall_-00005.ptx"}));
    Probe::reset();
    EXPECT_EQ(make("wall_1.ptx", INT_MIN), "wall_-2147483648.ptx");
    EXPECT_EQ(make("wall_1.ptx", INT_MAX), "wall_2147483647.ptx");
    EXPECT_EQ(make("wall_00000000000001.ptx", INT_MIN), "wall_-0002147483648.ptx");
}

TEST_F(SequenceName, SumOfNumberAndOffsetSaturates)
{
    EXPECT_EQ(sequenceNumber(10, -3), 7);
    EXPECT_EQ(sequenceNumber(INT_MAX, 1), INT_MAX);
    EXPECT_EQ(sequenceNumber(INT_MIN, -1), INT_MIN);
    EXPECT_EQ(sequenceNumber(INT_MIN, INT_MAX), -1);
}

TEST_F(SequenceName, LongPatternIsCutToTheBuffer)
{
    // Digits near the end of a 1023-character buffer.
    std::string pattern(1018, 'a');
    pattern += "_0001.ptx";  // the run sits at 1019..1022, the tail is cut off
    const std::string result = make(pattern.c_str(), 123456);
    EXPECT_EQ(result.size(), 1023u);
    EXPECT_EQ(result.substr(1019), "1234");
    for (const std::string& probe : Probe::probes) EXPECT_LE(probe.size(), 1023u);

    // A digit as the very last character that fits: the series stops at the limit.
    Probe::reset();
    std::string edge(1022, 'b');
    edge += "7xyz";
    EXPECT_EQ(make(edge.c_str(), 42), edge.substr(0, 1022) + "4");
    EXPECT_EQ(Probe::probes.size(), 2u) << "k = 1 would leave no room for the number";
}

TEST_F(SequenceName, SmallBuffers)
{
    EXPECT_EQ(make("w1.ptx", 12, 5), "w12.");
    EXPECT_EQ(make("w1.ptx", 12, 2), "w");
    EXPECT_EQ(make("7", 12, 1), "");
    char untouched = 'z';
    makeSequenceFileName("w1", 3, &untouched, 0, nullptr, &Probe::check);
    EXPECT_EQ(untouched, 'z');
    makeSequenceFileName("w1", 3, nullptr, 10, nullptr, &Probe::check);
}

// The real host check: the existing written form is found on disk.
TEST(SequenceNameOnDisk, HostCheckFindsTheWrittenForm)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("zt-seqname-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::FILE* file = std::fopen((dir / "wall_012.ptx").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);

    const std::string pattern = (dir / "wall_0001.ptx").string();
    char out[1024];
    makeSequenceFileName(pattern.c_str(), 12, out, sizeof out, nullptr);
    EXPECT_EQ(std::string(out), (dir / "wall_012.ptx").string());
    makeSequenceFileName(pattern.c_str(), 13, out, sizeof out, nullptr);
    EXPECT_EQ(std::string(out), (dir / "wall_0013.ptx").string()) << "fallback: run width";
    fs::remove_all(dir);
}

}  // namespace
