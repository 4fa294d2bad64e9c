#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "zento/ProgressCallback.h"

using namespace ZUtils;

TEST(RecordingProgress, KeepsLevelsAndTextsInOrder) {
    RecordingProgressCallback rec;
    ProgressCallback& cb = rec;
    cb.verbose("Created Ptex cache with size %.2f MB", 100.0);
    cb.warning("%s", "no file");
    cb.info("PTex file has mip-maps.");
    ASSERT_EQ(rec.count(), 3u);
    EXPECT_EQ(rec.level(0), ProgressLevel::Verbose);
    EXPECT_STREQ(rec.text(0), "Created Ptex cache with size 100.00 MB");
    EXPECT_EQ(rec.level(1), ProgressLevel::Warning);
    EXPECT_STREQ(rec.text(1), "no file");
    EXPECT_EQ(rec.level(2), ProgressLevel::Info);
    EXPECT_EQ(rec.countOf(ProgressLevel::Info, "PTex file has mip-maps."), 1u);
    EXPECT_EQ(rec.countOf(ProgressLevel::Warning, "PTex file has mip-maps."), 0u);
    EXPECT_EQ(rec.text(3), nullptr);
    rec.clear();
    EXPECT_EQ(rec.count(), 0u);
}

TEST(RecordingProgress, LongMessagesAreNotCut) {
    RecordingProgressCallback rec;
    const std::string longText(5000, 'x');
    rec.warning("%s|", longText.c_str());
    ASSERT_EQ(rec.count(), 1u);
    EXPECT_EQ(std::string(rec.text(0)), longText + "|");
}

TEST(RecordingProgress, ManyThreadsAtOnce) {
    RecordingProgressCallback rec;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&rec, t] {
            for (int i = 0; i < 500; ++i) rec.info("thread %d message %d", t, i);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(rec.count(), 2000u);
}

TEST(StderrProgress, ThresholdFiltersLevels) {
    StderrProgressCallback cb(ProgressLevel::Info);
    testing::internal::CaptureStderr();
    cb.warning("w %d", 1);
    cb.info("i");
    cb.verbose("v");
    std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "[warning] w 1\n[info] i\n");
    cb.setThreshold(ProgressLevel::Verbose);
    testing::internal::CaptureStderr();
    cb.verbose("v\n");
    out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "[verbose] v\n");
    cb.setThreshold(ProgressLevel::Warning);
    testing::internal::CaptureStderr();
    cb.info("hidden");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(ProgressLevels, Names) {
    EXPECT_STREQ(progressLevelName(ProgressLevel::Warning), "warning");
    EXPECT_STREQ(progressLevelName(ProgressLevel::Info), "info");
    EXPECT_STREQ(progressLevelName(ProgressLevel::Verbose), "verbose");
}
