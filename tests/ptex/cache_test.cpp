// PtexCache: reference counts and release, remembered failures and their texts,
// a file changed under a reopen, memory-limit pruning, file-handle limit with
// reopen, input handlers (premultiplied reads: the golden filter tables); and
// threads sharing one small cache (PtexCacheThreads: label threads, CI runs it
// under TSan).
#include "ptex_test_util.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

using namespace PtexTest;

namespace {

// Counts calls and bytes and forwards to stdio.
struct CountingHandler : public PtexInputHandler {
    std::atomic<int> opens{0}, closes{0};
    std::atomic<uint64_t> bytes{0};
    Handle open(const char* path) override { return opens++, std::fopen(path, "rb"); }
    void seek(Handle h, int64_t pos) override {
        fseeko(static_cast<FILE*>(h), off_t(pos), SEEK_SET);
    }
    size_t read(void* buf, size_t size, Handle h) override {
        const size_t n = std::fread(buf, size, 1, static_cast<FILE*>(h)) == 1 ? size : 0;
        bytes += n;
        return n;
    }
    bool close(Handle h) override { return closes++, std::fclose(static_cast<FILE*>(h)) == 0; }
    const char* lastError() override { return "counting handler failure"; }
};

// Every texel of every face at full resolution.
Bytes allFaces(PtexTexture* t) {
    Bytes out;
    const size_t ps = size_t(Ptex::DataSize(t->dataType()) * t->numChannels());
    for (int f = 0; f < t->numFaces(); f++) {
        const size_t at = out.size();
        out.resize(at + size_t(t->getFaceInfo(f).res.size()) * ps);
        t->getData(f, &out[at], 0);
    }
    return out;
}

class PtexCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveGolden()) GTEST_SKIP() << "golden Ptex data not found in " << goldenDir();
        ASSERT_TRUE(tmp.ok());
    }
    static std::string golden(const char* name) { return goldenDir() + "/" + name; }
    ScratchDir tmp;
};

TEST_F(PtexCacheTest, ReferenceCountsAndReleaseThroughAnInputHandler) {
    CountingHandler h;
    PtexCache* c = PtexCache::create(0, 0, false, &h);
    c->setSearchPath(goldenDir().c_str());
    Ptex::String err;
    EXPECT_EQ(nullptr, c->get("cube_rgb8.ptx", err));  // a handler gets paths unchanged
    EXPECT_EQ("Can't open ptex file: cube_rgb8.ptx\ncounting handler failure", err);
    PtexTexture* a = c->get(golden("cube_rgb8.ptx").c_str(), err);
    ASSERT_TRUE(a) << err;
    EXPECT_EQ(a, c->get(golden("cube_rgb8.ptx").c_str(), err));
    a->release();
    const Bytes d = allFaces(a);  // still held once: usable
    a->release();
    PtexTexture* again = c->get(golden("cube_rgb8.ptx").c_str(), err);
    EXPECT_EQ(a, again);
    EXPECT_EQ(d, allFaces(again));
    ASSERT_TRUE(c->get(golden("val5_u16.ptx").c_str(), err)) << err;
    PtexCache::Stats s;
    c->getStats(s);
    EXPECT_EQ(0u, s.fileReopens);
    EXPECT_GT(s.memUsed, 0u);
    EXPECT_EQ(2u, s.fileOpens);  // the failed open is not counted
    EXPECT_EQ(h.bytes.load(), s.bytesRead);
    EXPECT_GT(s.bytesRead, 0u);
    c->release();  // references still held: destroyed anyway
    EXPECT_EQ(3, h.opens.load());
    EXPECT_EQ(2, h.closes.load());
}

TEST_F(PtexCacheTest, FailuresAreRememberedUntilPurged) {
    Collect errs;
    PtexCache* c =
        PtexCache::create(1, 1, false, nullptr, &errs);  // one handle, no memory to keep data
    const std::string p = tmp.file("late.ptx"), bad = tmp.file("bad.ptx");
    Ptex::String err;
    EXPECT_EQ(nullptr, c->get(p.c_str(), err));
    EXPECT_EQ("Can't open ptex file: " + p + "\nNo such file or directory", err);
    fs::copy_file(golden("grid_rgba8.ptx"), p);
    err = "untouched";
    EXPECT_EQ(nullptr, c->get(p.c_str(), err));  // remembered
    EXPECT_EQ("untouched", err);
    std::ofstream(bad) << "not a texture";
    EXPECT_EQ(nullptr, c->get(bad.c_str(), err));
    EXPECT_EQ("Not a ptex file: " + bad, err);
    c->purge(p.c_str());
    PtexTexture* t = c->get(p.c_str(), err);
    ASSERT_TRUE(t) << err;
    const size_t size = allFaces(t).size();
    t->release();
    PtexTexture* o = c->get(golden("cube_rgb8.ptx").c_str(), err);  // takes the only handle
    ASSERT_TRUE(o) << err;
    o->release();
    fs::remove(p);
    fs::copy_file(golden("grid_nomip_rgb8.ptx"), p);  // changed under the cache: an error on reopen
    t = c->get(p.c_str(), err);
    ASSERT_TRUE(t);
    EXPECT_EQ(allFaces(t), Bytes(size, 0));
    ASSERT_EQ(errs.errors.size(), 1u);
    EXPECT_EQ("Header mismatch on reopen of PtexFile: " + p + "\n", errs.errors[0]);
    t->release();
    c->purge(p.c_str());  // forgets the error: the new file is read
    t = c->get(p.c_str(), err);
    ASSERT_TRUE(t) << err;
    EXPECT_FALSE(t->hasMipMaps());
    t->release();
    c->release();
}

TEST_F(PtexCacheTest, MemoryAndFileHandleLimits) {
    // memory: released textures are pruned down to the limit, held ones never
    const char* files[] = {"tiled_rgba8.ptx", "grid_f32.ptx", "ico_f32_nomip.ptx", "cube_rgb8.ptx",
                           "val5_u16.ptx"};
    std::vector<Bytes> ref;
    for (const char* f : files) {
        Ptex::String err;
        PtexPtr<PtexTexture> t(PtexTexture::open(golden(f).c_str(), err));
        ASSERT_TRUE(t) << err;
        ref.push_back(allFaces(t));
    }
    for (auto [maxFiles, maxMem] :
         {std::pair{0, 64 * 1024}, std::pair{2, 1}}) {  // 1 byte: every reuse reloads
        PtexCache* c = PtexCache::create(maxFiles, size_t(maxMem));
        PtexCache::Stats s;
        for (int round = 0; round < 2; round++)
            for (size_t i = 0; i < 5; i++) {
                Ptex::String err;
                PtexTexture* t = c->get(golden(files[i]).c_str(), err);
                ASSERT_TRUE(t) << err;
                EXPECT_EQ(ref[i], allFaces(t)) << files[i];
                c->getStats(s);
                EXPECT_TRUE(i != 0 || s.memUsed > (4u << 20)) << "held textures are never pruned";
                t->release();
                c->getStats(s);
                EXPECT_TRUE(maxFiles || s.memUsed <= size_t(maxMem))
                    << files[i] << ": " << s.memUsed;
                EXPECT_LE(s.filesOpen, maxFiles ? 2u : 5u);
            }
        EXPECT_EQ(s.fileReopens > 0, maxFiles == 2);
        EXPECT_LE(s.peakFilesOpen, maxFiles ? 3u : 5u);
        EXPECT_EQ(5u, s.filesAccessed);
        c->release();
    }
}

TEST_F(PtexCacheTest, HeldTexturesShareTheFileLimit) {
    // Nine held textures over three handles: each read reopens what it needs,
    // least recently used handles closing first; the data is that of the file.
    const char* files[] = {"tiled_rgba8.ptx", "grid_f32.ptx", "cube_rgb8.ptx"};
    std::vector<Bytes> ref;
    std::vector<std::string> paths;
    for (int i = 0; i < 9; i++) {
        paths.push_back(tmp.file("held" + std::to_string(i) + ".ptx"));
        fs::copy_file(golden(files[i % 3]), paths.back());
        if (i < 3) {
            Ptex::String err;
            PtexPtr<PtexTexture> t(PtexTexture::open(paths.back().c_str(), err));
            ASSERT_TRUE(t) << err;
            ref.push_back(allFaces(t));
        }
    }
    PtexCache* c = PtexCache::create(3, 0);
    std::vector<PtexTexture*> held;
    PtexCache::Stats s;
    for (const std::string& p : paths) {
        Ptex::String err;
        held.push_back(c->get(p.c_str(), err));
        ASSERT_TRUE(held.back()) << err;
        c->getStats(s);
        EXPECT_LE(s.filesOpen, 3u);
    }
    for (int round = 0; round < 2; round++)
        for (size_t i = 0; i < held.size(); i++) {
            EXPECT_EQ(ref[i % 3], allFaces(held[i])) << paths[i] << " round " << round;
            c->getStats(s);
            EXPECT_LE(s.filesOpen, 3u);
        }
    EXPECT_EQ(s.peakFilesOpen, 3u);
    // each file once: its data loads in the first round, when its handle had gone
    EXPECT_EQ(s.fileReopens, 9u);
    for (PtexTexture* t : held) t->release();
    c->release();
}

TEST_F(PtexCacheTest, AFileChangedOrGoneUnderAHeldTextureIsAnError) {
    // A held texture whose handle was closed reopens its file: the same header is
    // not enough, size and modification time must be those of the first open.
    const std::string p = tmp.file("changing.ptx");
    struct Case {
        const char* what;
        std::function<void()> change;
        std::string error;
    } cases[] = {
        {"touched",
         [&] { fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(10)); },
         "File changed since it was opened, on reopen of"},
        {"grown", [&] { std::ofstream(p, std::ios::app | std::ios::binary) << 'x'; },
         "File changed since it was opened, on reopen of"},
        {"replaced",
         [&] {
             fs::remove(p);
             fs::copy_file(golden("grid_nomip_rgb8.ptx"), p);
         },
         "Header mismatch on reopen of"},
        {"removed", [&] { fs::remove(p); }, "Can't reopen"},
    };
    for (const Case& k : cases) {
        fs::remove(p);
        fs::copy_file(golden("grid_rgba8.ptx"), p);
        Collect errs;
        PtexCache* c = PtexCache::create(1, 0, false, nullptr, &errs);
        Ptex::String err;
        PtexTexture* t = c->get(p.c_str(), err);
        ASSERT_TRUE(t) << err;
        PtexTexture* other = c->get(golden("cube_rgb8.ptx").c_str(), err);  // takes the handle
        ASSERT_TRUE(other) << err;
        k.change();
        allFaces(t);  // the first face read reopens the file
        const Bytes got = allFaces(t);
        EXPECT_EQ(got, Bytes(got.size(), 0)) << k.what;
        ASSERT_EQ(errs.errors.size(), 1u) << k.what;
        EXPECT_EQ(k.error + " PtexFile: " + p + "\n", errs.errors[0]) << k.what;
        other->release();
        t->release();
        c->release();
    }
}

// Every face at full res, a reduction and 1x1, a tile walk and metadata values.
uint64_t checksum(PtexTexture* t) {
    Bytes all = allFaces(t);
    auto append = [&](const void* p, size_t n) {
        all.insert(all.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    const size_t ps = size_t(Ptex::DataSize(t->dataType()) * t->numChannels());
    const int dv =
        t->meshType() == Ptex::mt_triangle ? 1 : 2;  // triangles reduce symmetrically only
    for (int f = 0; f < t->numFaces(); f++) {
        const Ptex::Res r = t->getFaceInfo(f).res;
        const Ptex::Res half(int8_t(std::max(r.ulog2 - 1, 0)), int8_t(std::max(r.vlog2 - dv, 0)));
        Bytes b(size_t(half.size()) * ps);
        t->getData(f, b.data(), 0, half);
        append(b.data(), b.size());
        t->getData(f, b.data(), 0, Ptex::Res(0, 0));
        append(b.data(), ps);
        PtexFaceData* d = t->getData(f);
        for (int i = 0; d->isTiled() && i < r.ntiles(d->tileRes()); i++) {
            PtexFaceData* tile = d->getTile(i);
            tile->getPixel(0, 0, b.data());
            append(b.data(), ps);
            tile->release();
        }
        d->release();
    }
    PtexMetaData* md = t->getMetaData();
    for (int i = 0, n = 0; i < md->numKeys(); i++) {
        const char* s = nullptr;
        const int32_t* v = nullptr;
        md->getValue(i, s);
        md->getValue(i, v, n);
        if (s) append(s, std::strlen(s));
        if (v) append(v, size_t(n) * 4);
    }
    uint64_t h = 14695981039346656037ull;
    for (uint8_t c : all) h = (h ^ c) * 1099511628211ull;
    return h;
}

// Threads read every face of several files through one small-memory, few-handle
// cache, at full and reduced resolutions, while one purges, and compare with
// single-threaded checksums; then again with every texture held throughout, so
// handles close under the file limit while other threads read.
TEST(PtexCacheThreads, ConcurrentReadersShareOneSmallCache) {
    if (!haveGolden()) GTEST_SKIP() << "golden Ptex data not found in " << goldenDir();
    const std::vector<std::string> files = {
        "tiled_rgba8.ptx", "cube_rgb8.ptx",     "grid_rgba8.ptx", "ico_rgb8.ptx",
        "edits_rgb8.ptx",  "val5_gray_f32.ptx", "cube_half.ptx"};
    std::vector<uint64_t> ref;
    for (const std::string& f : files) {
        Ptex::String err;
        PtexPtr<PtexTexture> t(PtexTexture::open((goldenDir() + "/" + f).c_str(), err));
        ASSERT_TRUE(t) << err;
        ref.push_back(checksum(t));
    }
    for (bool held : {false, true}) {  // held: every texture held for the whole run
        PtexCache* cache = PtexCache::create(3, 256 * 1024);
        std::vector<PtexTexture*> holds;
        for (size_t i = 0; held && i < files.size(); i++) {
            Ptex::String err;
            holds.push_back(cache->get((goldenDir() + "/" + files[i]).c_str(), err));
            ASSERT_TRUE(holds.back()) << err;
        }
        const int nthreads = 4, rounds = 3;
        std::vector<int> mismatches(nthreads, 0), failures(nthreads, 0);
        std::vector<std::thread> threads;
        for (int ti = 0; ti < nthreads; ti++)
            threads.emplace_back([&, ti] {
                for (int r = 0; r < rounds; r++)
                    for (size_t k = 0; k < files.size(); k++) {
                        const size_t i = (k + size_t(ti) * 2 + size_t(r)) % files.size();
                        Ptex::String err;
                        PtexTexture* t = cache->get((goldenDir() + "/" + files[i]).c_str(), err);
                        if (!t) {
                            failures[size_t(ti)]++;
                            continue;
                        }
                        if (checksum(t) != ref[i]) mismatches[size_t(ti)]++;
                        t->release();
                        if (ti == 0 && k == 3) cache->purge((goldenDir() + "/" + files[0]).c_str());
                    }
            });
        for (auto& th : threads) th.join();
        for (int ti = 0; ti < nthreads; ti++) {
            EXPECT_EQ(0, failures[size_t(ti)]) << "thread " << ti << (held ? " (held)" : "");
            EXPECT_EQ(0, mismatches[size_t(ti)]) << "thread " << ti << (held ? " (held)" : "");
        }
        PtexCache::Stats s;
        cache->getStats(s);
        EXPECT_LE(s.peakFilesOpen, 3u + nthreads);
        EXPECT_LE(s.filesOpen, 3u);
        EXPECT_EQ(files.size(), s.filesAccessed);
        for (PtexTexture* t : holds) t->release();
        cache->release();
    }
}

}  // namespace
