// Scale: many textures held at once within the cache's file limit. Every
// instance shades its own small texture; all of them are held from frameBegin
// to frameEnd while two render threads shade them all, over three frames, with
// the shared cache created with a small file limit and the process limited to
// 256 descriptors. Every lookup must give the colour of an unlimited cache, the
// open descriptors must stay within the limit plus one per render thread (a
// handle being read is never closed, so an opening thread may pass the limit by
// one when every other handle is busy), and every descriptor must be back after
// the last frame.
//
// The same body runs at 5,000 textures and the default 100-file limit (label
// nosan) and at 300 textures and a 20-file limit (label threads: CI reruns it
// under TSan, and it runs under ASan). Each case is its own test process, so
// the descriptor limit touches nothing else.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

#include "engine/SharedPtexCache.h"
#include "hardening_util.h"
#include "zento/ZentoRenderer.h"

namespace {

constexpr int kThreads = 2, kFrames = 3, kPoints = 8, kDescriptorLimit = 256;

struct ScaleCase {
    int textures;
    int maxFiles;  // 0: the library's default, 100
    int limit() const { return maxFiles ? maxFiles : 100; }
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << c.textures << " textures, " << c.limit() << "-file limit";
}

std::string caseName(const testing::TestParamInfo<ScaleCase>& info) {
    return std::to_string(info.param.textures) + "Textures";
}

// Colours indexed by (thread, instance, point).
using Colours = std::vector<ZUtils::AColor>;

// Render threads shade `points` points of instances [first, first + count).
void shade(std::vector<std::unique_ptr<hard::Instance>>& instances, int first, int count,
           Colours& out) {
    const size_t n = instances.size();
    std::vector<std::thread> running;
    for (int t = 0; t < kThreads; ++t)
        running.emplace_back([&, t] {
            for (int i = first; i < first + count; ++i)
                for (int k = 0; k < kPoints; ++k)
                    out[(size_t(t) * n + size_t(i)) * kPoints + size_t(k)] =
                        instances[size_t(i)]->tex().getTexColor(hard::shadingPoint(t, k));
        });
    for (std::thread& th : running) th.join();
}

// Samples the open descriptors of the process until stopped; the peak above base.
class DescriptorWatch {
public:
    explicit DescriptorWatch(int base)
        : base_(base), thread_([this] {
              while (!stop_.load()) {
                  peak_ = std::max(peak_, hard::openFileDescriptors() - base_);
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    int stop() {
        stop_ = true;
        thread_.join();
        return peak_;
    }

private:
    int base_, peak_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class Scale : public testing::TestWithParam<ScaleCase> {
protected:
    void TearDown() override {
        while (sharedPtexCache().refCount) sharedPtexCache().releaseCache();
        sharedPtexCache().maxFiles = 0;
        if (lowered_) ::setrlimit(RLIMIT_NOFILE, &saved_);
    }
    std::string name(int i) const { return dir.file("t" + std::to_string(i) + ".ptx"); }

    void makeInstances(int count) {
        // Each writer's zlib streams take and give back some 300 KiB; without
        // a trim threshold every file would grow and shrink the heap anew.
        ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
        std::atomic<int> failed{-1};
        std::vector<std::thread> writers;
        for (int w = 0; w < 2; ++w)
            writers.emplace_back([&, w] {
                for (int i = w; i < count; i += 2)
                    if (!hard::writeGridTexture(name(i), i, 2)) failed = i;
            });
        for (std::thread& th : writers) th.join();
        ASSERT_EQ(failed.load(), -1) << "could not write " << name(failed.load());
        for (int i = 0; i < count; ++i) {
            instances.push_back(std::make_unique<hard::Instance>());
            instances.back()->setGridMesh();
            instances.back()->setFile(name(i));
            instances.back()->param("filter_type")->setInt(i % 2 ? 7 : 1);  // Mitchell, bilinear
        }
    }
    void begin(int first, int count) {
        for (int i = first; i < first + count; ++i) {
            instances[size_t(i)]->tex().renderBegin(&renderer);
            instances[size_t(i)]->tex().frameBegin(&renderer);
        }
    }
    void end(int first, int count) {
        for (int i = first; i < first + count; ++i) {
            instances[size_t(i)]->tex().frameEnd(&renderer);
            instances[size_t(i)]->tex().renderEnd(&renderer);
        }
    }
    void lowerDescriptorLimit() {
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved_), 0);
        rlimit low = saved_;
        low.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, kDescriptorLimit);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        lowered_ = true;
    }

    hard::ScratchDir dir;
    std::vector<std::unique_ptr<hard::Instance>> instances;
    ZUtils::ZentoRenderer renderer;
    rlimit saved_{};
    bool lowered_ = false;
};

TEST_P(Scale, HeldTexturesStayWithinTheFileLimit) {
    const ScaleCase c = GetParam();
    renderer.getRenderSetup().threadCount = kThreads;
    makeInstances(c.textures);
    const size_t lookups = size_t(kThreads) * size_t(c.textures) * kPoints;

    // The unlimited cache's colours, 100 textures at a time (the process
    // could not hold them all open at once).
    Colours want(lookups);
    sharedPtexCache().maxFiles = 1 << 30;
    for (int first = 0; first < c.textures; first += 100) {
        const int n = std::min(100, c.textures - first);
        begin(first, n);
        shade(instances, first, n, want);
        end(first, n);
        ASSERT_EQ(sharedPtexCache().cache, nullptr);
    }
    EXPECT_EQ(hard::texturedCount(want), int(lookups)) << "a texture failed to shade";

    sharedPtexCache().maxFiles = c.maxFiles;
    lowerDescriptorLimit();
    const int base = hard::openFileDescriptors();
    DescriptorWatch watch(base);
    // Each frame has a cache of its own: the last frameEnd releases it.
    uint64_t peakFiles = 0, reopens = ~uint64_t(0);
    int mismatches = 0;
    for (int frame = 0; frame < kFrames; ++frame) {
        Colours got(lookups);
        begin(0, c.textures);
        shade(instances, 0, c.textures, got);
        PtexCache::Stats s{};
        sharedPtexCache().cache->getStats(s);
        peakFiles = std::max(peakFiles, s.peakFilesOpen);
        reopens = std::min(reopens, s.fileReopens);
        end(0, c.textures);
        for (size_t i = 0; i < lookups; ++i) mismatches += !(got[i] == want[i]);
    }
    const int peakDescriptors = watch.stop();
    EXPECT_EQ(mismatches, 0) << "lookups unlike the unlimited cache's";
    EXPECT_EQ(sharedPtexCache().cache, nullptr);
    EXPECT_EQ(hard::openFileDescriptors(), base) << "a file handle outlived the last frame";
    EXPECT_LE(peakFiles, uint64_t(c.limit() + kThreads));
    EXPECT_LE(peakDescriptors, c.limit() + kThreads);
    EXPECT_GE(reopens, uint64_t(c.textures - c.limit())) << "held files must be reopened";
    std::printf(
        "%d textures, %d-file limit: peak %llu open files, %d descriptors (sampled), "
        "at least %llu reopens a frame\n",
        c.textures, c.limit(), (unsigned long long)peakFiles, peakDescriptors,
        (unsigned long long)reopens);
}

INSTANTIATE_TEST_SUITE_P(Full, Scale, testing::Values(ScaleCase{5000, 0}), caseName);
INSTANTIATE_TEST_SUITE_P(Small, Scale, testing::Values(ScaleCase{300, 20}), caseName);

}  // namespace
