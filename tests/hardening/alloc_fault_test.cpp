// For every n, the n-th module allocation of the frameBegin of two instances
// (mesh lists, three render threads, bilinear and Mitchell filters) is refused:
// it leaves frameBegin as the allocator's exception or is absorbed as documented
// (no mesh: white), nothing leaks (LeakSanitizer), and the next frame, made and
// shaded on other threads, gives the faultless colours. Also with the cache held
// and purged between frames, where a reader left open or referenced stays visible.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "engine/SharedPtexCache.h"
#include "hardening_util.h"
#include "support/alloc.h"
#include "support/alloc_debug.h"
#include "zento/ProgressCallback.h"
#include "zento/ZentoRenderer.h"

namespace {

std::atomic<bool> g_armed{false}, g_lookupsOnly{false};
std::atomic<long> g_seen{0}, g_refuse{0};

bool refuseThis() {  // with g_lookupsOnly, only allocations made inside getTexColor count
    return g_armed.load(std::memory_order_relaxed) && (hard::inLookup || !g_lookupsOnly) &&
           g_seen.fetch_add(1, std::memory_order_relaxed) + 1 == g_refuse;
}

void* counting(size_t size) {
    return refuseThis() ? nullptr : std::malloc(size);
}

void* countingAligned(size_t size, size_t alignment) {
    void* p = nullptr;
    return refuseThis() || ::posix_memalign(&p, alignment, size) != 0 ? nullptr : p;
}

class AllocFault : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sharedPtexCache().cache, nullptr);
        ASSERT_TRUE(hard::writeGridTexture(dir.file("a.ptx"), 1) &&
                    hard::writeGridTexture(dir.file("b.ptx"), 2, 6));
        renderer.getRenderSetup().threadCount = 3;
        renderer.getRenderSetup().progress = &messages;
        a.setFile(dir.file("a.ptx"));
        b.setFile(dir.file("b.ptx"));
        a.param("filter_type")->setInt(1);
        b.param("filter_type")->setInt(7);  // Mitchell: the module's own filter
        for (hard::Instance* in : {&a, &b}) {
            in->setGridMesh();
            in->tex().renderBegin(&renderer);
        }
        setDebugOutputSink([](const char*) {});
        setAllocateFunction(&counting);
        setAlignedAllocateFunction(&countingAligned);
    }
    void TearDown() override {  // back to the defaults
        g_armed = g_lookupsOnly = false;
        setAllocateFunction(nullptr);
        setAlignedAllocateFunction(nullptr);
        setDebugOutputSink(nullptr);
        for (hard::Instance* in : {&a, &b}) in->tex().renderEnd(&renderer);
        while (sharedPtexCache().refCount) sharedPtexCache().releaseCache();
    }
    void frameBegin() { a.tex().frameBegin(&renderer), b.tex().frameBegin(&renderer); }
    void frameEnd() { a.tex().frameEnd(&renderer), b.tex().frameEnd(&renderer); }
    std::vector<ZUtils::AColor> shadeAll() { return hard::shadeOnThreads({&a, &b}, 3, 48); }
    void expectTextureOrWhite(const std::vector<ZUtils::AColor>& got,
                              const std::vector<ZUtils::AColor>& want) {
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(got[i] == want[i] || got[i] == ZUtils::AColor(1, 1, 1, 1)) << "point " << i;
    }
    // After a frame: no reference left; a held cache must have no file open once purged.
    void betweenFrames() {
        EXPECT_EQ(sharedPtexCache().refCount, held ? 1u : 0u);
        EXPECT_EQ(sharedPtexCache().cache, held);
        if (held) {
            held->purgeAll();
            PtexCache::Stats stats{};
            held->getStats(stats);
            EXPECT_EQ(stats.filesOpen, 0u)
                << "a reader is still referenced or open after every frame ended";
        }
        EXPECT_EQ(hard::openFileDescriptors(), descriptors);
    }
    void everyRefusal();

    hard::ScratchDir dir;
    hard::Instance a, b;
    ZUtils::ZentoRenderer renderer;
    ZUtils::RecordingProgressCallback messages;
    PtexCache* held = nullptr;  // a reference kept across frames
    int descriptors = hard::openFileDescriptors();
};

TEST_F(AllocFault, EveryAllocationOfFrameBeginMayBeRefused) {
    everyRefusal();
}

TEST_F(AllocFault, EveryAllocationMayBeRefusedWhileTheCacheIsHeld) {
    held = sharedPtexCache().acquireCache(nullptr);
    everyRefusal();
}

// Shading loads faces lazily: for every n the n-th allocation while three
// threads shade is refused; the point shades white (getTexColor catches the
// report) or its colour, and the next frame is whole again.
TEST_F(AllocFault, EveryAllocationWhileShadingMayBeRefused) {
    g_lookupsOnly = true;
    frameBegin();
    g_seen = 0, g_refuse = 0, g_armed = true;
    const std::vector<ZUtils::AColor> reference = shadeAll();
    g_armed = false;
    frameEnd();
    const long total = g_seen;
    EXPECT_GT(total, 4) << "shading loads the faces it reads";
    for (long n = 1; n <= total && !HasFailure(); ++n) {
        frameBegin();
        g_seen = 0, g_refuse = n, g_armed = true;
        const std::vector<ZUtils::AColor> got = shadeAll();
        g_armed = false;
        frameEnd();
        expectTextureOrWhite(got, reference);
        frameBegin();
        EXPECT_TRUE(shadeAll() == reference) << n;
        frameEnd();
    }
    g_lookupsOnly = false;
    std::printf("shading: %ld allocations, each refused once\n", total);
}

void AllocFault::everyRefusal() {
    frameBegin();  // warm-up: this thread's read buffers exist from now on
    const std::vector<ZUtils::AColor> reference = shadeAll();
    frameEnd();
    betweenFrames();
    ASSERT_GT(hard::texturedCount(reference), int(reference.size()) * 3 / 4)
        << "the frame must show the textures";

    long total = 1;  // allocations of the faultless frameBegin (n = 0)
    int thrown = 0, absorbed = 0;
    for (long run = 0; run < 2 * (total + 1) && !HasFailure(); ++run) {
        const long n =
            run / 2;  // each n twice: the host ends the failed frame, or goes on to the next
        SCOPED_TRACE("refused allocation " + std::to_string(n) + " of " + std::to_string(total));
        g_seen = 0;
        g_refuse = n;
        g_armed = true;
        const char* failure = nullptr;
        try {
            frameBegin();
        } catch (const char* message) {
            failure = message;
        }
        g_armed = false;
        if (n == 0) total = g_seen;
        if (failure) {
            ++thrown;
            EXPECT_EQ(std::strncmp(failure, "Memory allocation failure;", 26), 0) << failure;
            if (run % 2) frameEnd();  // otherwise the next frameBegin gives the frame back
        } else {
            absorbed += n > 0;
            expectTextureOrWhite(shadeAll(), reference);  // no mesh: the documented white
            frameEnd();
        }
        // The next frame, prepared on another thread (a lock left held would stop it).
        std::vector<ZUtils::AColor> again;
        std::thread([&] {
            frameBegin();
            again = shadeAll();
            frameEnd();
        }).join();
        EXPECT_TRUE(again == reference);
        betweenFrames();
    }
    std::printf(
        "frame preparation%s: %ld allocations; refused twice each: %d thrown out, %d absorbed\n",
        held ? " (cache held)" : "", total, thrown, absorbed);
    EXPECT_GT(total, 20) << "frame preparation allocates the cache, readers, filters and models";
    EXPECT_GT(thrown, 0);
}

}  // namespace
