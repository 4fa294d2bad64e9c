#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zento/AssetPath.h"
#include "zento/ProgressCallback.h"

using namespace ZUtils;

namespace {

class AssetPathTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zento-assets-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(::mkdir((dir_ + "/textures").c_str(), 0755), 0);
        touch(dir_ + "/textures/wall.ptx");
        clearAssetSearchPaths();
    }
    void TearDown() override {
        clearAssetSearchPaths();
        std::remove((dir_ + "/textures/wall.ptx").c_str());
        ::rmdir((dir_ + "/textures").c_str());
        ::rmdir(dir_.c_str());
    }
    static void touch(const std::string& path) {
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("x", f);
        std::fclose(f);
    }
    std::string dir_;
};

}  // namespace

TEST_F(AssetPathTest, ExistingPathIsFoundUnchanged) {
    std::string path = dir_ + "/textures/wall.ptx";
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
    EXPECT_TRUE(checkAssetPath(buffer, sizeof buffer, nullptr, true));
    EXPECT_EQ(path, buffer);
}

TEST_F(AssetPathTest, MissingPathLeavesBufferAndWarnsOnlyWhenAsked) {
    char buffer[64] = "missing/none.ptx";
    RecordingProgressCallback rec;
    EXPECT_FALSE(checkAssetPath(buffer, sizeof buffer, &rec, false));
    EXPECT_STREQ(buffer, "missing/none.ptx");
    EXPECT_EQ(rec.count(), 0u);
    EXPECT_FALSE(checkAssetPath(buffer, sizeof buffer, &rec, true));
    ASSERT_EQ(rec.count(), 1u);
    EXPECT_EQ(rec.level(0), ProgressLevel::Warning);
    EXPECT_STREQ(rec.text(0), "Asset not found: missing/none.ptx");
    EXPECT_FALSE(checkAssetPath(buffer, sizeof buffer, nullptr, true));  // no callback: skipped
}

TEST_F(AssetPathTest, SearchPathsRewriteInPlace) {
    addAssetSearchPath(dir_.c_str());
    EXPECT_EQ(numAssetSearchPaths(), 1);
    char relative[1024] = "textures/wall.ptx";
    EXPECT_TRUE(checkAssetPath(relative, sizeof relative, nullptr, false));
    EXPECT_EQ(dir_ + "/textures/wall.ptx", relative);

    clearAssetSearchPaths();
    addAssetSearchPath((dir_ + "/textures/").c_str());
    char elsewhere[1024] = "/old/project/wall.ptx";  // found by its last component
    EXPECT_TRUE(checkAssetPath(elsewhere, sizeof elsewhere, nullptr, false));
    EXPECT_EQ(dir_ + "/textures/wall.ptx", elsewhere);
}

TEST_F(AssetPathTest, HitThatDoesNotFitIsNotWritten) {
    addAssetSearchPath(dir_.c_str());
    char small[20] = "textures/wall.ptx";
    EXPECT_FALSE(checkAssetPath(small, sizeof small, nullptr, false));
    EXPECT_STREQ(small, "textures/wall.ptx");
}

TEST_F(AssetPathTest, DegenerateArguments) {
    char buffer[8] = "abc";
    EXPECT_FALSE(checkAssetPath(nullptr, 10, nullptr, true));
    EXPECT_FALSE(checkAssetPath(buffer, 0, nullptr, true));
    EXPECT_FALSE(checkAssetPath(buffer, -5, nullptr, true));
    char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_FALSE(checkAssetPath(unterminated, 3, nullptr, false));
    char empty[4] = "";
    EXPECT_FALSE(checkAssetPath(empty, 4, nullptr, false));
    char directory[1024];
    std::snprintf(directory, sizeof directory, "%s", dir_.c_str());
    EXPECT_FALSE(checkAssetPath(directory, sizeof directory, nullptr, false));  // a folder is no asset
    addAssetSearchPath(nullptr);
    addAssetSearchPath("");
    EXPECT_EQ(numAssetSearchPaths(), 0);
}
