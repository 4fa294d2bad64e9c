// Load: 20 instances share one cache of a small memory limit over 10 frames of
// 200 files (a new file per instance and frame), two render threads shading
// them all; the cache is held across frames (as by a host keeping an instance
// loaded), so its limits act between frames. After each frame's shading and
// end: memory within the limit plus the stated slack, open files and
// descriptors within the default 100 plus one, none left once the cache goes,
// and the colours of the same render with an unlimited cache.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/SharedPtexCache.h"
#include "hardening_util.h"
#include "zento/ZentoRenderer.h"

namespace {

constexpr int kInstances = 20, kFrames = 10, kFiles = kInstances * kFrames, kMaxFiles = 100;

struct Figures {
    uint64_t mem = 0, memAfterFrame = 0, files = 0;
    int descriptors = 0;
};

class Load : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kFiles; ++i) ASSERT_TRUE(hard::writeGridTexture(name(i), i));
    }
    void TearDown() override {  // a failed test gives back what it held
        while (sharedPtexCache().refCount) sharedPtexCache().releaseCache();
        sharedPtexCache().resetCacheSize();
    }
    std::string name(int i) const { return dir.file("tex_" + std::to_string(i) + ".ptx"); }

    // Every frame's colours, from a cache created with `limit` bytes.
    std::vector<ZUtils::AColor> render(uint64_t limit, Figures& fig) {
        sharedPtexCache().sizeBytes = limit;  // below the 100 MB floor the parameters allow
        PtexCache* cache = sharedPtexCache().acquireCache(nullptr);
        const int base = hard::openFileDescriptors();
        std::vector<hard::Instance> instances(kInstances);
        std::vector<hard::Instance*> all;
        for (hard::Instance& in : instances) {
            in.setGridMesh();
            all.push_back(&in);
        }
        ZUtils::ZentoRenderer renderer;
        renderer.getRenderSetup().threadCount = 2;
        PtexCache::Stats s{};
        auto measure = [&](uint64_t& mem) {
            cache->getStats(s);
            mem = std::max(mem, s.memUsed);
            fig.files = std::max(fig.files, s.filesOpen);
            fig.descriptors = std::max(fig.descriptors, hard::openFileDescriptors() - base);
        };
        std::vector<ZUtils::AColor> colours;
        for (int f = 0; f < kFrames; ++f) {
            for (int i = 0; i < kInstances; ++i) {
                all[size_t(i)]->setFile(name(f * kInstances + i));
                all[size_t(i)]->param("filter_type")->setInt(i % 2 ? 7 : 1);  // Mitchell, bilinear
                all[size_t(i)]->tex().renderBegin(&renderer);
                all[size_t(i)]->tex().frameBegin(&renderer);
            }
            const std::vector<ZUtils::AColor> c = hard::shadeOnThreads(all, 2, 24);
            colours.insert(colours.end(), c.begin(), c.end());
            measure(fig.mem);
            for (hard::Instance* in : all) {
                in->tex().frameEnd(&renderer);
                in->tex().renderEnd(&renderer);
            }
            measure(fig.memAfterFrame);
        }
        fig.mem = std::max(fig.mem, s.peakMemUsed);
        fig.files = std::max(fig.files, s.peakFilesOpen);
        EXPECT_EQ(s.filesAccessed, uint64_t(kFiles));
        sharedPtexCache().releaseCache();
        EXPECT_EQ(sharedPtexCache().cache, nullptr);
        EXPECT_EQ(hard::openFileDescriptors(), base) << "a file handle outlived the cache";
        return colours;
    }
    hard::ScratchDir dir;
};

TEST_F(Load, ManyInstancesOverOneSmallCache) {
    // Bytes one file holds when only open, and with every face loaded.
    PtexCache* probe = PtexCache::create(0, 1 << 30);
    Ptex::String error;
    PtexTexture* t = probe->get(name(0).c_str(), error);
    PtexCache::Stats s{};
    probe->getStats(s);
    const uint64_t kept = s.memUsed;
    for (int f = 0; f < t->numFaces(); ++f) t->getData(f)->release();
    probe->getStats(s);
    const uint64_t loaded = s.memUsed, limit = 512 * 1024;
    t->release();
    probe->release();
    // Slack: the files the frame uses (never pruned) and what every opened file keeps.
    const uint64_t slack = kInstances * loaded + kFiles * kept;
    ASSERT_LT(limit + slack, kFiles * loaded / 2)
        << "the file set must be much larger than the limit";

    Figures small, unlimited;
    const std::vector<ZUtils::AColor> got = render(limit, small),
                                      want = render(uint64_t(1) << 32, unlimited);
    EXPECT_TRUE(got == want) << "a pruned or reopened file shaded differently";
    EXPECT_GT(hard::texturedCount(want), int(want.size()) * 3 / 4);
    EXPECT_LE(small.mem, limit + slack);
    EXPECT_LE(small.memAfterFrame, limit + kFiles * kept);
    EXPECT_LE(small.files, uint64_t(kMaxFiles + 1));
    EXPECT_LE(small.descriptors, kMaxFiles + 1);
    EXPECT_GT(unlimited.mem, limit + slack) << "the unlimited render must need more than the limit";
    std::printf("one file: %llu bytes open, %llu loaded; limit %llu, slack %llu\n",
                (unsigned long long)kept, (unsigned long long)loaded, (unsigned long long)limit,
                (unsigned long long)slack);
    for (const Figures* f : {&small, &unlimited})
        std::printf(
            "%s cache: peak memory %llu (after frame ends %llu), open files %llu, descriptors %d\n",
            f == &small ? "small" : "unlimited", (unsigned long long)f->mem,
            (unsigned long long)f->memAfterFrame, (unsigned long long)f->files, f->descriptors);
}

}  // namespace
