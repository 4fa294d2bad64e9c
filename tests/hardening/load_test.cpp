// Load: 20 instances share one cache with a small memory limit over 10 frames
// of 200 different files (every instance a new file each frame), two render
// threads shading every instance. The cache is held across the frames (as a
// host keeping a loaded instance would), so its limits act between frames.
// Checked after every frame's shading and after its end: cache memory within
// the limit plus the stated slack, open files and descriptors within the
// default limit of 100 plus one, no descriptor left after the cache goes, and
// every colour equal to the same render with an unlimited cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "engine/SharedPtexCache.h"
#include "hardening_util.h"
#include "zento/ZentoRenderer.h"

namespace {

constexpr int kInstances = 20, kFrames = 10, kFiles = kInstances * kFrames, kPoints = 24, kMaxFiles = 100;

struct Figures {
    uint64_t peakMem = 0, peakMemAfterFrame = 0, peakFiles = 0;
    int peakDescriptors = 0;
};

class Load : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new hard::ScratchDir;
        for (int i = 0; i < kFiles; ++i) ASSERT_TRUE(hard::writeGridTexture(name(i), i));
    }
    static void TearDownTestSuite() { delete dir; }
    void TearDown() override {  // a failed test gives back what it held
        while (sharedPtexCache().refCount) sharedPtexCache().releaseCache();
        sharedPtexCache().resetCacheSize();
    }
    static std::string name(int i) { return dir->file("tex_" + std::to_string(i) + ".ptx"); }

    // One render of kFrames frames over a cache created with `limit` bytes.
    std::vector<ZUtils::AColor> render(uint64_t limit, Figures& fig) {
        EXPECT_EQ(sharedPtexCache().cache, nullptr);
        sharedPtexCache().sizeBytes = limit;  // below the 100 MB floor the parameters allow
        PtexCache* cache = sharedPtexCache().acquireCache(nullptr);
        const int base = hard::openFileDescriptors();
        std::vector<hard::Instance> instances(kInstances);
        for (hard::Instance& in : instances) in.setGridMesh();
        ZUtils::ZentoRenderer renderer;
        renderer.getRenderSetup().threadCount = 2;
        std::vector<ZUtils::AColor> colours;
        auto measure = [&](uint64_t& peak) {
            PtexCache::Stats s{};
            cache->getStats(s);
            peak = std::max(peak, s.memUsed);
            fig.peakFiles = std::max(fig.peakFiles, s.filesOpen);
            fig.peakDescriptors = std::max(fig.peakDescriptors, hard::openFileDescriptors() - base);
        };
        for (int f = 0; f < kFrames; ++f) {
            for (int i = 0; i < kInstances; ++i) {
                instances[size_t(i)].setFile(name(f * kInstances + i));
                instances[size_t(i)].param("filter_type")->setInt(i % 2 ? 7 : 1);
                instances[size_t(i)].tex().renderBegin(&renderer);
                instances[size_t(i)].tex().frameBegin(&renderer);
            }
            std::vector<ZUtils::AColor> parts[2];
            std::thread threads[2];
            for (int t = 0; t < 2; ++t)
                threads[t] = std::thread([&, t] {
                    for (hard::Instance& in : instances) {
                        const std::vector<ZUtils::AColor> c = hard::shade(in, t, kPoints);
                        parts[t].insert(parts[t].end(), c.begin(), c.end());
                    }
                });
            for (std::thread& t : threads) t.join();
            for (const auto& p : parts) colours.insert(colours.end(), p.begin(), p.end());
            measure(fig.peakMem);
            for (hard::Instance& in : instances) {
                in.tex().frameEnd(&renderer);
                in.tex().renderEnd(&renderer);
            }
            measure(fig.peakMemAfterFrame);
        }
        PtexCache::Stats s{};
        cache->getStats(s);
        fig.peakMem = std::max(fig.peakMem, s.peakMemUsed);
        fig.peakFiles = std::max(fig.peakFiles, s.peakFilesOpen);
        EXPECT_EQ(s.filesAccessed, uint64_t(kFiles));
        sharedPtexCache().releaseCache();
        EXPECT_EQ(sharedPtexCache().cache, nullptr);
        EXPECT_EQ(hard::openFileDescriptors(), base) << "a file handle outlived the cache";
        sharedPtexCache().resetCacheSize();
        return colours;
    }

    // Bytes one file holds when open only, and when every face is loaded.
    static void fileMemory(uint64_t& kept, uint64_t& loaded) {
        PtexCache* cache = PtexCache::create(0, 1 << 30);
        Ptex::String error;
        PtexTexture* t = cache->get(name(0).c_str(), error);
        PtexCache::Stats s{};
        cache->getStats(s);
        kept = s.memUsed;
        for (int f = 0; f < t->numFaces(); ++f) {
            PtexFaceData* d = t->getData(f);
            d->release();
        }
        cache->getStats(s);
        loaded = s.memUsed;
        t->release();
        cache->release();
    }

    static hard::ScratchDir* dir;
};

hard::ScratchDir* Load::dir = nullptr;

TEST_F(Load, ManyInstancesOverOneSmallCache) {
    uint64_t kept = 0, loaded = 0;
    fileMemory(kept, loaded);
    const uint64_t limit = 512 * 1024;
    // Slack: the files in use by the frame (never pruned) and the state every
    // opened file keeps (face infos, constant data: pruning keeps it).
    const uint64_t slack = kInstances * loaded + kFiles * kept;
    ASSERT_LT(limit + slack, kFiles * loaded / 2) << "the file set must be much larger than the limit";
    Figures small, unlimited;
    const std::vector<ZUtils::AColor> got = render(limit, small);
    const std::vector<ZUtils::AColor> want = render(uint64_t(1) << 32, unlimited);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "a pruned or reopened file shaded differently";
    int textured = 0;
    for (const ZUtils::AColor& c : want) textured += !(c == ZUtils::AColor(1, 1, 1, 1));
    EXPECT_GT(textured, int(want.size()) * 3 / 4);
    EXPECT_LE(small.peakMem, limit + slack);
    EXPECT_LE(small.peakMemAfterFrame, limit + kFiles * kept);
    EXPECT_LE(small.peakFiles, uint64_t(kMaxFiles + 1));
    EXPECT_LE(small.peakDescriptors, kMaxFiles + 1);
    EXPECT_GT(unlimited.peakMem, limit + slack) << "the unlimited render must need more than the limit";
    std::printf("file: %llu bytes kept open, %llu loaded; limit %llu + slack %llu\n", (unsigned long long)kept,
                (unsigned long long)loaded, (unsigned long long)limit, (unsigned long long)slack);
    for (const auto& [label, fig] : {std::pair{"small", small}, std::pair{"unlimited", unlimited}})
        std::printf("%s cache: peak memory %llu (after frame end %llu), peak open files %llu, peak descriptors %d\n",
                    label, (unsigned long long)fig.peakMem, (unsigned long long)fig.peakMemAfterFrame,
                    (unsigned long long)fig.peakFiles, fig.peakDescriptors);
}

}  // namespace
