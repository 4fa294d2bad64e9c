// Render and frame lifecycle of TexFacet instances: shared cache, messages,
// release, file choice.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <string>

#include "Ptexture.h"
#include "engine/SharedPtexCache.h"
#include "engine_test_files.h"
#include "plugin/Descriptors.h"
#include "plugin/LibEntry.h"
#include "plugin/TexFacet.h"
#include "zento/ProgressCallback.h"
#include "zento/ShadeContext.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginParameter.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

namespace {

struct Instance {
    Plugin* plugin = texFacetPluginDesc().newPlugin(nullptr);
    ~Instance() { texFacetPluginDesc().deletePlugin(plugin); }
    TexFacet& tex() { return *static_cast<TexFacet*>(plugin); }
    void set(const char* name, int v) { tex().getParameterList()->getParam(name)->setInt(v); }
    void setFile(const std::string& path) {
        tex().getParameterList()->getParam("ptex_file")->setString(path.c_str());
    }
};

class Lifecycle : public testing::Test {
protected:
    void SetUp() override {
        SharedPtexCache& holder = sharedPtexCache();
        ASSERT_EQ(holder.cache, nullptr) << "a cache survived an earlier test";
        holder.resetCacheSize();
        renderer.getRenderSetup().progress = &messages;
        renderer.getRenderSetup().threadCount = 3;
        file = writeTestTexture("life_rgba.ptx", 4, 3);
        noMips = writeTestTexture("life_nomip.ptx", 3, -1, false);
        ASSERT_FALSE(file.empty());
        ASSERT_FALSE(noMips.empty());
    }
    void TearDown() override { sharedPtexCache().resetCacheSize(); }

    size_t count(ProgressLevel level, const std::string& text) {
        return messages.countOf(level, text.c_str());
    }

    RecordingProgressCallback messages;
    ZentoRenderer renderer;
    std::string file, noMips;
};

}  // namespace

TEST_F(Lifecycle, DefaultSizeCacheAndLoadMessages) {
    Instance a;
    a.setFile(file);
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    ASSERT_EQ(messages.count(), 3u);
    EXPECT_STREQ(messages.text(0), "Created Ptex cache with size 100.00 MB");
    EXPECT_EQ(messages.level(0), ProgressLevel::Verbose);
    EXPECT_EQ(std::string(messages.text(1)), "PTex file \"" + file + "\" loaded.");
    EXPECT_EQ(messages.level(1), ProgressLevel::Verbose);
    EXPECT_STREQ(messages.text(2), "PTex file has mip-maps.");
    EXPECT_EQ(messages.level(2), ProgressLevel::Info);
    EXPECT_TRUE(a.tex().ready());
    ASSERT_NE(a.tex().frame(), nullptr);
    EXPECT_EQ(a.tex().frame()->threadCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_NE(a.tex().frame()->filter(i), nullptr);
    EXPECT_EQ(a.tex().resultTables().count(), 3);
    EXPECT_EQ(sharedPtexCache().refCount, 1u);
    a.tex().frameEnd(&renderer);
    EXPECT_STREQ(messages.text(3), "Releasing Ptex cache");
    EXPECT_EQ(sharedPtexCache().cache, nullptr);
    EXPECT_EQ(a.tex().frame(), nullptr);  // texture, filters and model given back
    a.tex().renderEnd(&renderer);
    EXPECT_FALSE(a.tex().resultTables().exist());
}

TEST_F(Lifecycle, TwoInstancesShareOneCacheOfTheLargestSize) {
    Instance a, b;
    a.setFile(file);
    b.setFile(file);
    b.set("cache_size", 300);
    a.tex().renderBegin(&renderer);
    b.tex().renderBegin(&renderer);
    for (int frame = 0; frame < 2; ++frame) {
        messages.clear();
        a.tex().frameBegin(&renderer);
        b.tex().frameBegin(&renderer);
        EXPECT_EQ(count(ProgressLevel::Verbose, "Created Ptex cache with size 300.00 MB"), 1u);
        EXPECT_EQ(sharedPtexCache().refCount, 2u);
        a.tex().frameEnd(&renderer);
        EXPECT_EQ(count(ProgressLevel::Verbose, "Releasing Ptex cache"), 0u);
        b.tex().frameEnd(&renderer);
        EXPECT_EQ(count(ProgressLevel::Verbose, "Releasing Ptex cache"), 1u);
    }
    a.tex().renderEnd(&renderer);
    b.tex().renderEnd(&renderer);
    // The next render with the default size is back at the floor.
    messages.clear();
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    EXPECT_EQ(count(ProgressLevel::Verbose, "Created Ptex cache with size 100.00 MB"), 1u);
    a.tex().frameEnd(&renderer);
    a.tex().renderEnd(&renderer);
}

TEST_F(Lifecycle, LargeSizesAreSixtyFourBit) {
    Instance a;
    a.setFile(file);
    a.set("cache_size", 4096);
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    EXPECT_EQ(count(ProgressLevel::Verbose, "Created Ptex cache with size 4096.00 MB"), 1u);
    a.tex().frameEnd(&renderer);
    a.tex().renderEnd(&renderer);
}

TEST_F(Lifecycle, FileWithoutMipMapsWarns) {
    Instance a;
    a.setFile(noMips);
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    EXPECT_EQ(count(ProgressLevel::Verbose, "PTex file \"" + noMips + "\" loaded."), 1u);
    EXPECT_EQ(count(ProgressLevel::Warning, "PTex file has no mip-maps."), 1u);
    EXPECT_EQ(count(ProgressLevel::Info, "PTex file has mip-maps."), 0u);
    a.tex().frameEnd(&renderer);
    a.tex().renderEnd(&renderer);
}

TEST_F(Lifecycle, MissingFileWarnsOnceAndShadesWhite) {
    Instance a;
    a.setFile(testFileDir() + "/no_such_file.ptx");
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    size_t warnings = 0, loaded = 0;
    for (size_t i = 0; i < messages.count(); ++i) {
        if (messages.level(i) == ProgressLevel::Warning) ++warnings;
        if (std::string(messages.text(i)).find("loaded") != std::string::npos) ++loaded;
    }
    EXPECT_EQ(warnings, 1u);
    EXPECT_EQ(loaded, 0u);
    EXPECT_FALSE(a.tex().ready());
    EXPECT_TRUE(a.tex().frame()->holdsCache());  // the reference is held until frameEnd
    EXPECT_EQ(getTextureInterface(a.plugin)->getTexColor(ShadeContext()), AColor(1, 1, 1, 1));
    a.tex().frameEnd(&renderer);
    EXPECT_EQ(sharedPtexCache().cache, nullptr);
    a.tex().renderEnd(&renderer);
}

TEST_F(Lifecycle, FrameEndThenDestructionReleasesOnce) {
    {
        Instance a, b;
        a.setFile(file);
        b.setFile(file);
        a.tex().renderBegin(&renderer);
        b.tex().renderBegin(&renderer);
        a.tex().frameBegin(&renderer);
        b.tex().frameBegin(&renderer);
        a.tex().frameEnd(&renderer);
        EXPECT_EQ(sharedPtexCache().refCount, 1u);
    }  // a already gave its reference back; b gives it at destruction
    EXPECT_EQ(sharedPtexCache().refCount, 0u);
    EXPECT_EQ(sharedPtexCache().cache, nullptr);
    EXPECT_EQ(count(ProgressLevel::Verbose, "Releasing Ptex cache"), 1u);
}

TEST_F(Lifecycle, FrameBeginTwiceGivesBackTheFirstFrame) {
    Instance a;
    a.setFile(file);
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    a.tex().frameBegin(&renderer);
    EXPECT_EQ(sharedPtexCache().refCount, 1u);
    EXPECT_TRUE(a.tex().ready());
    a.tex().frameEnd(&renderer);
    EXPECT_EQ(sharedPtexCache().cache, nullptr);
    a.tex().renderEnd(&renderer);
}

TEST_F(Lifecycle, ResultTablesAreMadeAtFrameBeginWhenAbsent) {
    Instance a;
    a.setFile(file);
    a.tex().frameBegin(&renderer);  // no renderBegin
    EXPECT_EQ(a.tex().resultTables().count(), 3);
    a.tex().frameEnd(&renderer);
    a.tex().renderEnd(&renderer);
}

TEST_F(Lifecycle, NoProgressCallbackSkipsMessages) {
    renderer.getRenderSetup().progress = nullptr;
    Instance a;
    a.setFile(testFileDir() + "/missing.ptx");
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    a.tex().frameEnd(&renderer);
    a.tex().renderEnd(&renderer);
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(Lifecycle, ImageSequenceNumberIsNumberPlusOffset) {
    const std::string seven = writeTestTexture("seq_7.ptx", 3, -1);
    ASSERT_FALSE(seven.empty());
    Instance a;
    a.setFile(testFileDir() + "/seq_1.ptx");
    a.set("use_image_sequence", 1);
    a.set("image_number", 5);
    a.set("image_offset", 2);
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    EXPECT_EQ(std::string(a.tex().loadedFileName()), seven);
    EXPECT_TRUE(a.tex().ready());
    a.tex().frameEnd(&renderer);
    a.tex().renderEnd(&renderer);
}

TEST_F(Lifecycle, GoldenFileWithFiveChannels) {
    const std::string path = std::string(ZENTO_TESTDATA_DIR) + "/ptex/grid_5ch_u16.ptx";
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        GTEST_SKIP() << "golden data not found at " << ZENTO_TESTDATA_DIR;
    Instance a;
    a.setFile(path);
    a.tex().renderBegin(&renderer);
    a.tex().frameBegin(&renderer);
    ASSERT_NE(a.tex().frame()->texture(), nullptr);
    const ChannelSetup& c = a.tex().frame()->channels();
    EXPECT_EQ(c.red, 0);
    EXPECT_EQ(c.green, 1);
    EXPECT_EQ(c.blue, 2);
    EXPECT_EQ(c.firstChannel, 0);
    EXPECT_EQ(c.lastChannel, 2);
    a.tex().frameEnd(&renderer);
    a.tex().renderEnd(&renderer);
}

TEST_F(Lifecycle, NamesWithNonAsciiAndInvalidBytesOpenThroughTheCache) {
    for (const std::string& name :
         {std::string("t\xC3\xA9xture_\xE6\x9D\xBF.ptx"), std::string("bad\xFF\xC0name.ptx")}) {
        const std::string path = writeTestTexture(name, 3, -1);
        ASSERT_FALSE(path.empty()) << name;
        Instance a;
        a.setFile(path);
        a.tex().renderBegin(&renderer);
        a.tex().frameBegin(&renderer);
        EXPECT_TRUE(a.tex().ready()) << name;
        EXPECT_EQ(count(ProgressLevel::Verbose, "PTex file \"" + path + "\" loaded."), 1u) << name;
        a.tex().frameEnd(&renderer);
        a.tex().renderEnd(&renderer);
    }
}
