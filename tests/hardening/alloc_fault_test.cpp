// Refused allocations over a whole frame preparation: for every n, the n-th
// module allocation of the frameBegin of two instances (mesh lists, three
// render threads, a point and a Mitchell filter) is refused. The refusal
// leaves frameBegin as the allocator's exception or is absorbed as documented
// (no mesh: the frame shades white); nothing leaks (LeakSanitizer at exit), and
// the next frame, prepared and shaded on other threads, gives the colours of a
// frame without faults. Run once as usual (the cache goes at every frame end)
// and once with the cache held across frames and purged before each frame, so
// that a reader left half-open or a reference left taken would stay visible
// (open files, descriptors). This program links the module allocator objects, so
// they are its global operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "engine/SharedPtexCache.h"
#include "hardening_util.h"
#include "support/alloc.h"
#include "support/alloc_debug.h"
#include "zento/ProgressCallback.h"
#include "zento/ZentoRenderer.h"

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_seen{0}, g_refuse{0};

bool refuseThis() {
    if (!g_armed.load(std::memory_order_relaxed)) return false;
    return g_seen.fetch_add(1, std::memory_order_relaxed) + 1 == g_refuse.load(std::memory_order_relaxed);
}

void* counting(size_t size) { return refuseThis() ? nullptr : std::malloc(size); }

void* countingAligned(size_t size, size_t alignment) {
    void* p = nullptr;
    return refuseThis() || ::posix_memalign(&p, alignment, size) != 0 ? nullptr : p;
}

constexpr int kThreads = 3, kPoints = 48;

class AllocFault : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sharedPtexCache().cache, nullptr);
        ASSERT_TRUE(hard::writeGridTexture(dir.file("a.ptx"), 1));
        ASSERT_TRUE(hard::writeGridTexture(dir.file("b.ptx"), 2, 6));
        renderer.getRenderSetup().threadCount = kThreads;
        renderer.getRenderSetup().progress = &messages;
        for (hard::Instance* in : {&a, &b}) in->setGridMesh();
        a.setFile(dir.file("a.ptx"));
        b.setFile(dir.file("b.ptx"));
        b.param("filter_type")->setInt(7);  // Mitchell: the module's own filter
        for (hard::Instance* in : {&a, &b}) in->tex().renderBegin(&renderer);
        previousSink = setDebugOutputSink([](const char*) {});
        previous = setAllocateFunction(&counting);
        previousAligned = setAlignedAllocateFunction(&countingAligned);
    }
    void TearDown() override {
        g_armed = false;
        setAllocateFunction(previous);
        setAlignedAllocateFunction(previousAligned);
        setDebugOutputSink(previousSink);
        for (hard::Instance* in : {&a, &b}) in->tex().renderEnd(&renderer);
    }
    void frameBegin() {
        a.tex().frameBegin(&renderer);
        b.tex().frameBegin(&renderer);
    }
    void frameEnd() {
        a.tex().frameEnd(&renderer);
        b.tex().frameEnd(&renderer);
    }
    // Colours of every render thread, each shading on its own thread.
    std::vector<ZUtils::AColor> shadeAll() {
        std::vector<ZUtils::AColor> parts[kThreads * 2];
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                parts[t * 2] = hard::shade(a, t, kPoints);
                parts[t * 2 + 1] = hard::shade(b, t, kPoints);
            });
        for (std::thread& t : threads) t.join();
        std::vector<ZUtils::AColor> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }

    hard::ScratchDir dir;
    hard::Instance a, b;
    ZUtils::ZentoRenderer renderer;
    ZUtils::RecordingProgressCallback messages;
    AllocateFunction previous = nullptr;
    AlignedAllocateFunction previousAligned = nullptr;
    DebugOutputSink previousSink = nullptr;
    PtexCache* held = nullptr;  // a reference kept across frames
    int descriptors = 0;

    void everyRefusal();
    // Between frames: the held cache forgets every file, so the next frame opens them again.
    void betweenFrames() {
        if (!held) return;
        held->purgeAll();
        PtexCache::Stats stats{};
        held->getStats(stats);
        EXPECT_EQ(stats.filesOpen, 0u) << "a reader is still referenced or open after every frame ended";
        EXPECT_EQ(hard::openFileDescriptors(), descriptors);
    }
};

TEST_F(AllocFault, EveryAllocationOfFrameBeginMayBeRefused) { everyRefusal(); }

TEST_F(AllocFault, EveryAllocationMayBeRefusedWhileTheCacheIsHeld) {
    held = sharedPtexCache().acquireCache(nullptr);
    ASSERT_NE(held, nullptr);
    everyRefusal();
    sharedPtexCache().releaseCache();
}

void AllocFault::everyRefusal() {
    descriptors = hard::openFileDescriptors();
    frameBegin();  // warm-up: this thread's read buffers exist from now on
    const std::vector<ZUtils::AColor> reference = shadeAll();
    frameEnd();
    ASSERT_TRUE(a.tex().origMesh == nullptr && sharedPtexCache().cache == held);
    betweenFrames();
    int textured = 0;
    for (const ZUtils::AColor& c : reference) textured += !(c == ZUtils::AColor(1, 1, 1, 1));
    ASSERT_GT(textured, int(reference.size()) * 3 / 4) << "the reference frame must show the textures";

    g_seen = 0;
    g_armed = true;
    frameBegin();
    g_armed = false;
    const long total = g_seen.load();
    frameEnd();
    betweenFrames();
    ASSERT_GT(total, 20) << "frame preparation allocates the cache, readers, filters and models";

    int thrown = 0, absorbed = 0;
    for (long n = 1; n <= total; ++n) {
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
        if (failure) {
            ++thrown;
            EXPECT_EQ(std::strncmp(failure, "Memory allocation failure;", 26), 0) << failure;
            if (n % 2) frameEnd();  // a host that ends the frame; otherwise the next frameBegin gives it back
        } else {
            ++absorbed;
            // Absorbed: every point shades its texture colour or the documented white.
            const std::vector<ZUtils::AColor> got = shadeAll();
            for (size_t i = 0; i < got.size(); ++i)
                EXPECT_TRUE(got[i] == reference[i] || got[i] == ZUtils::AColor(1, 1, 1, 1)) << "point " << i;
            frameEnd();
        }
        // The next frame, prepared on another thread (a lock left held would stop it).
        std::vector<ZUtils::AColor> again;
        std::thread host([&] {
            frameBegin();
            again = shadeAll();
            frameEnd();
        });
        host.join();
        EXPECT_TRUE(again == reference);
        EXPECT_EQ(sharedPtexCache().refCount, held ? 1u : 0u);
        EXPECT_EQ(sharedPtexCache().cache, held);
        betweenFrames();
        if (!held) {
            EXPECT_EQ(hard::openFileDescriptors(), descriptors);
        }
        if (HasFailure()) break;
    }
    std::printf("frame preparation%s: %ld allocations; %d refusals thrown out of frameBegin, %d absorbed\n",
                held ? " (cache held)" : "", total, thrown, absorbed);
    EXPECT_GT(thrown, 0);
}

}  // namespace
