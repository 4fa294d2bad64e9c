// What the host hands a plugin around a render: progress messages, the asset
// path check, and the render setup's interface table.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "zento/AssetPath.h"
#include "zento/ProgressCallback.h"
#include "zento/ShadingInterfaces.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

TEST(ProgressCallback, RecordsWholeTextsInOrderFromManyThreadsAndFiltersOnStderr) {
    RecordingProgressCallback rec;
    rec.verbose("Created Ptex cache with size %.2f MB", 100.0);
    rec.warning("%s|", std::string(5000, 'x').c_str());  // long messages are not cut
    ASSERT_EQ(rec.count(), 2u);
    EXPECT_EQ(rec.level(0), ProgressLevel::Verbose);
    EXPECT_STREQ(rec.text(0), "Created Ptex cache with size 100.00 MB");
    EXPECT_EQ(rec.countOf(ProgressLevel::Warning, (std::string(5000, 'x') + "|").c_str()), 1u);
    rec.clear();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&rec, t] {
            for (int i = 0; i < 500; ++i) rec.info("thread %d message %d", t, i);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(rec.count(), 2000u);
    StderrProgressCallback err(ProgressLevel::Info);
    testing::internal::CaptureStderr();
    err.warning("w %d", 1);
    err.info("i\n");  // one line end only
    err.verbose("v");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[warning] w 1\n[info] i\n");
}

TEST(AssetPath, FoundInPlaceOrThroughSearchPathsOrWarnedAbout) {
    char pattern[] = "/tmp/zento-assets-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern, file = dir + "/textures/wall.ptx";
    ASSERT_EQ(::mkdir((dir + "/textures").c_str(), 0755), 0);
    std::fclose(std::fopen(file.c_str(), "w"));
    // (found, the buffer afterwards) for a path in a buffer of `size` bytes.
    auto check = [](const std::string& path, int size = 1024, ProgressCallback* cb = nullptr,
                    bool warn = false) {
        char buffer[1024];
        std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
        const bool found = checkAssetPath(buffer, size, cb, warn);
        return std::pair(found, std::string(buffer));
    };
    clearAssetSearchPaths();
    EXPECT_EQ(check(file), std::pair(true, file));
    EXPECT_EQ(check(dir), std::pair(false, dir));  // a folder is no asset
    RecordingProgressCallback rec;
    EXPECT_EQ(check("missing/none.ptx", 1024, &rec),
              std::pair(false, std::string("missing/none.ptx")));
    EXPECT_EQ(rec.count(), 0u);
    EXPECT_FALSE(check("missing/none.ptx", 1024, &rec, true).first);
    ASSERT_EQ(rec.count(), 1u);
    EXPECT_EQ(rec.level(0), ProgressLevel::Warning);
    EXPECT_STREQ(rec.text(0), "Asset not found: missing/none.ptx");
    EXPECT_FALSE(
        check("missing/none.ptx", 1024, nullptr, true).first);  // warned only with a callback

    addAssetSearchPath(dir.c_str());
    addAssetSearchPath(nullptr);
    addAssetSearchPath("");
    EXPECT_EQ(numAssetSearchPaths(), 1);
    EXPECT_EQ(check("textures/wall.ptx"), std::pair(true, file));
    EXPECT_EQ(check("textures/wall.ptx", 20),
              std::pair(false, std::string("textures/wall.ptx")));  // no room
    clearAssetSearchPaths();
    addAssetSearchPath((dir + "/textures/").c_str());
    EXPECT_EQ(check("/old/project/wall.ptx"),
              std::pair(true, file));  // found by its last component
    clearAssetSearchPaths();
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_FALSE(checkAssetPath(unterminated, 3, nullptr, false));
    EXPECT_FALSE(check("").first);
    EXPECT_FALSE(check(file, 0).first);
    EXPECT_FALSE(check(file, -5).first);
    EXPECT_FALSE(checkAssetPath(nullptr, 10, nullptr, true));
    std::filesystem::remove_all(dir);
}

TEST(RenderSetup, InterfacesByIdReplacedRemovedAndBounded) {
    RenderSetup setup;
    FilterScaleInterface scale{0.5f}, other{2.0f};
    EXPECT_TRUE(setup.setInterface(FilterScaleInterface::ID, &scale));
    EXPECT_TRUE(setup.setInterface(FilterScaleInterface::ID, &other));
    EXPECT_EQ(queryInterface<FilterScaleInterface>(&setup), &other);
    EXPECT_TRUE(setup.setInterface(FilterScaleInterface::ID, nullptr));
    EXPECT_EQ(setup.getInterface(EXT_FILTER_SCALE), nullptr);
    for (int i = 0; i < RenderSetup::MAX_INTERFACES; ++i)
        EXPECT_TRUE(setup.setInterface(1000 + i, &scale));
    EXPECT_FALSE(setup.setInterface(5, &scale));
    EXPECT_TRUE(setup.setInterface(1001, &other));       // replacing still works
    EXPECT_EQ(*reinterpret_cast<float*>(&scale), 0.5f);  // the multiplier is the first data member
}
