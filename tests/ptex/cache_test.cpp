// PtexCache: reference counts, remembered failures, search path, purging,
// statistics, memory-limit pruning, file-handle limit with reopen, input handlers
// and premultiplied alpha.
#include "PtexUtils.h"
#include "Ptexture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string goldenDir() { return std::string(ZENTO_TESTDATA_DIR) + "/ptex"; }

struct Collect : public PtexErrorHandler {
    std::vector<std::string> errors;
    void reportError(const char* e) override { errors.push_back(e); }
};

// Counts calls and forwards to stdio.
struct CountingHandler : public PtexInputHandler {
    std::atomic<int> opens{0}, reads{0}, closes{0};
    Handle open(const char* path) override
    {
        opens++;
        return std::fopen(path, "rb");
    }
    void seek(Handle h, int64_t pos) override { fseeko(static_cast<FILE*>(h), off_t(pos), SEEK_SET); }
    size_t read(void* buf, size_t size, Handle h) override
    {
        reads++;
        return std::fread(buf, size, 1, static_cast<FILE*>(h)) == 1 ? size : 0;
    }
    bool close(Handle h) override
    {
        closes++;
        return std::fclose(static_cast<FILE*>(h)) == 0;
    }
    const char* lastError() override { return "counting handler failure"; }
};

// All texels of all faces at full resolution, concatenated.
std::vector<uint8_t> allFaces(PtexTexture* t)
{
    std::vector<uint8_t> out;
    int ps = Ptex::DataSize(t->dataType()) * t->numChannels();
    for (int f = 0; f < t->numFaces(); f++) {
        Ptex::Res r = t->getFaceInfo(f).res;
        size_t n = size_t(r.size()) * size_t(ps);
        size_t at = out.size();
        out.resize(at + n);
        t->getData(f, out.data() + at, 0);
    }
    return out;
}

class PtexCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(goldenDir())) GTEST_SKIP() << "golden data not found at " << goldenDir();
        char tmpl[] = "/tmp/ptex-cache-test-XXXXXX";
        char* d = mkdtemp(tmpl);
        ASSERT_TRUE(d);
        tmp = d;
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!tmp.empty()) fs::remove_all(tmp, ec);
    }
    std::string golden(const char* name) { return goldenDir() + "/" + name; }
    std::string tmp;
};

TEST_F(PtexCacheTest, SameTextureAndReferenceCounts)
{
    PtexCache* c = PtexCache::create(0, 0);
    Ptex::String err;
    PtexTexture* a = c->get(golden("cube_rgb8.ptx").c_str(), err);
    ASSERT_TRUE(a) << err;
    PtexTexture* b = c->get(golden("cube_rgb8.ptx").c_str(), err);
    EXPECT_EQ(a, b);
    a->release();
    // still held by b: data stays usable
    EXPECT_EQ(6, b->numFaces());
    EXPECT_EQ(golden("cube_rgb8.ptx"), b->path());
    std::vector<uint8_t> d = allFaces(b);
    b->release();
    PtexTexture* again = c->get(golden("cube_rgb8.ptx").c_str(), err);
    EXPECT_EQ(a, again);
    EXPECT_EQ(d, allFaces(again));
    again->release();
    PtexCache::Stats s;
    c->getStats(s);
    EXPECT_EQ(1u, s.filesAccessed);
    EXPECT_EQ(0u, s.fileReopens);
    EXPECT_EQ(1u, s.filesOpen);
    EXPECT_GT(s.memUsed, 0u);
    EXPECT_GE(s.peakMemUsed, s.memUsed);
    EXPECT_GT(s.blockReads, 0u);
    c->release();
}

TEST_F(PtexCacheTest, FailuresAreRememberedUntilPurged)
{
    PtexCache* c = PtexCache::create(0, 0);
    std::string p = tmp + "/late.ptx";
    Ptex::String err;
    EXPECT_EQ(nullptr, c->get(p.c_str(), err));
    EXPECT_EQ("Can't open ptex file: " + p + "\nNo such file or directory", err);
    fs::copy_file(golden("cube_half.ptx"), p);
    err = "untouched";
    EXPECT_EQ(nullptr, c->get(p.c_str(), err));  // remembered
    EXPECT_EQ("untouched", err);
    c->purge(p.c_str());
    PtexTexture* t = c->get(p.c_str(), err);
    ASSERT_TRUE(t) << err;
    EXPECT_EQ(Ptex::dt_half, t->dataType());
    t->release();
    // a malformed file
    std::string bad = tmp + "/bad.ptx";
    std::ofstream(bad) << "not a texture";
    EXPECT_EQ(nullptr, c->get(bad.c_str(), err));
    EXPECT_EQ("Not a ptex file: " + bad, err);
    c->purgeAll();
    EXPECT_EQ(nullptr, c->get(bad.c_str(), err));
    EXPECT_EQ("Not a ptex file: " + bad, err);
    c->release();
}

TEST_F(PtexCacheTest, SearchPath)
{
    PtexCache* c = PtexCache::create(0, 0);
    EXPECT_STREQ("", c->getSearchPath());
    std::string sp = "/no/such/dir::" + goldenDir();
    c->setSearchPath(sp.c_str());
    EXPECT_EQ(sp, c->getSearchPath());
    Ptex::String err;
    PtexTexture* t = c->get("grid_f32.ptx", err);
    ASSERT_TRUE(t) << err;
    EXPECT_EQ(golden("grid_f32.ptx"), t->path());
    t->release();
    EXPECT_EQ(nullptr, c->get("missing.ptx", err));
    EXPECT_EQ("Can't find ptex file: missing.ptx", err);
    // absolute paths ignore the search path
    t = c->get(golden("ico_rgb8.ptx").c_str(), err);
    ASSERT_TRUE(t) << err;
    t->release();
    c->setSearchPath(nullptr);
    EXPECT_STREQ("", c->getSearchPath());
    c->release();
}

TEST_F(PtexCacheTest, PurgeReopensAndHeldTexturesPurgeOnRelease)
{
    PtexCache* c = PtexCache::create(0, 0);
    std::string p = tmp + "/swap.ptx";
    fs::copy_file(golden("cube_rgb8.ptx"), p);
    Ptex::String err;
    PtexTexture* t = c->get(p.c_str(), err);
    ASSERT_TRUE(t) << err;
    EXPECT_EQ(Ptex::dt_uint8, t->dataType());
    c->purge(t);  // held: purged when released
    EXPECT_EQ(Ptex::dt_uint8, t->dataType());
    t->release();
    fs::remove(p);
    fs::copy_file(golden("cube_half.ptx"), p);
    PtexTexture* u = c->get(p.c_str(), err);
    ASSERT_TRUE(u) << err;
    EXPECT_EQ(Ptex::dt_half, u->dataType());
    PtexCache::Stats s;
    c->getStats(s);
    EXPECT_EQ(1u, s.fileReopens);
    u->release();
    c->release();
}

TEST_F(PtexCacheTest, MemoryLimitPrunesReleasedTextures)
{
    const char* files[] = {"tiled_rgba8.ptx", "grid_f32.ptx", "ico_f32_nomip.ptx"};
    std::vector<std::vector<uint8_t>> ref;
    for (const char* f : files) {
        Ptex::String err;
        PtexPtr<PtexTexture> t(PtexTexture::open(golden(f).c_str(), err));
        ASSERT_TRUE(t) << err;
        ref.push_back(allFaces(t));
    }
    PtexCache* c = PtexCache::create(0, 64 * 1024);
    PtexCache::Stats s;
    for (int round = 0; round < 2; round++) {
        for (size_t i = 0; i < 3; i++) {
            Ptex::String err;
            PtexTexture* t = c->get(golden(files[i]).c_str(), err);
            ASSERT_TRUE(t) << err;
            EXPECT_EQ(ref[i], allFaces(t));
            c->getStats(s);
            if (i == 0) {
                EXPECT_GT(s.memUsed, 4u << 20);  // held textures are never pruned
            }
            t->release();
            c->getStats(s);
            EXPECT_LE(s.memUsed, 64u * 1024) << files[i];
        }
    }
    EXPECT_GT(s.peakMemUsed, 4u << 20);
    c->release();
}

TEST_F(PtexCacheTest, FileHandleLimitReopensTransparently)
{
    const char* files[] = {"cube_rgb8.ptx", "cube_half.ptx", "grid_f32.ptx", "val5_u16.ptx", "mixed_rgb8.ptx"};
    PtexCache* c = PtexCache::create(2, 1);  // tiny memory limit: every reuse reloads
    std::vector<std::vector<uint8_t>> first;
    for (const char* f : files) {
        Ptex::String err;
        PtexTexture* t = c->get(golden(f).c_str(), err);
        ASSERT_TRUE(t) << err;
        first.push_back(allFaces(t));
        t->release();
        PtexCache::Stats s;
        c->getStats(s);
        EXPECT_LE(s.filesOpen, 2u);
    }
    for (size_t i = 0; i < 5; i++) {
        Ptex::String err;
        PtexTexture* t = c->get(golden(files[i]).c_str(), err);
        ASSERT_TRUE(t) << err;
        EXPECT_EQ(first[i], allFaces(t));
        t->release();
    }
    PtexCache::Stats s;
    c->getStats(s);
    EXPECT_GT(s.fileReopens, 0u);
    EXPECT_LE(s.filesOpen, 2u);
    EXPECT_LE(s.peakFilesOpen, 3u);
    EXPECT_EQ(5u, s.filesAccessed);
    c->release();
}

TEST_F(PtexCacheTest, ChangedFileOnReopenPutsTextureInError)
{
    Collect errs;
    PtexCache* c = PtexCache::create(1, 1, false, nullptr, &errs);
    std::string p = tmp + "/changing.ptx";
    fs::copy_file(golden("grid_rgba8.ptx"), p);
    Ptex::String err;
    PtexTexture* t = c->get(p.c_str(), err);
    ASSERT_TRUE(t) << err;
    std::vector<uint8_t> d = allFaces(t);
    t->release();
    // another file takes the only handle, and the memory limit drops the data
    PtexTexture* o = c->get(golden("cube_rgb8.ptx").c_str(), err);
    ASSERT_TRUE(o) << err;
    o->release();
    fs::remove(p);
    fs::copy_file(golden("grid_nomip_rgb8.ptx"), p);
    t = c->get(p.c_str(), err);
    ASSERT_TRUE(t);
    std::vector<uint8_t> again = allFaces(t);
    ASSERT_FALSE(errs.errors.empty());
    EXPECT_EQ("Header mismatch on reopen of PtexFile: " + p + "\n", errs.errors[0]);
    EXPECT_EQ(d.size(), again.size());
    EXPECT_TRUE(std::all_of(again.begin(), again.end(), [](uint8_t b) { return b == 0; }));
    t->release();
    // purging forgets the error: the new file is read
    c->purge(p.c_str());
    t = c->get(p.c_str(), err);
    ASSERT_TRUE(t) << err;
    EXPECT_FALSE(t->hasMipMaps());
    t->release();
    c->release();
}

TEST_F(PtexCacheTest, InputHandlerIsUsedAndPathsPassUnchanged)
{
    CountingHandler h;
    PtexCache* c = PtexCache::create(0, 0, false, &h);
    c->setSearchPath(goldenDir().c_str());
    Ptex::String err;
    EXPECT_EQ(nullptr, c->get("cube_rgb8.ptx", err));  // no search with a handler
    EXPECT_EQ("Can't open ptex file: cube_rgb8.ptx\ncounting handler failure", err);
    PtexTexture* t = c->get(golden("cube_rgb8.ptx").c_str(), err);
    ASSERT_TRUE(t) << err;
    allFaces(t);
    const char* s = nullptr;
    t->getMetaData()->getValue("string_large", s);
    ASSERT_TRUE(s);
    EXPECT_EQ(3030u, std::strlen(s));
    t->release();
    EXPECT_EQ(2, h.opens.load());
    EXPECT_GT(h.reads.load(), 5);
    c->release();
    EXPECT_EQ(1, h.closes.load());
}

TEST_F(PtexCacheTest, PremultipliedAlpha)
{
    Ptex::String err;
    PtexPtr<PtexTexture> plain(PtexTexture::open(golden("grid_rgba8.ptx").c_str(), err));
    ASSERT_TRUE(plain) << err;
    PtexCache* c = PtexCache::create(0, 0, true);
    PtexTexture* pm = c->get(golden("grid_rgba8.ptx").c_str(), err);
    ASSERT_TRUE(pm) << err;
    for (int f = 0; f < plain->numFaces(); f++) {
        Ptex::Res r = plain->getFaceInfo(f).res;
        std::vector<uint8_t> a(size_t(r.size()) * 4), b(a.size());
        plain->getData(f, a.data(), 0);
        pm->getData(f, b.data(), 0);
        PtexUtils::multalpha(a.data(), r.size(), Ptex::dt_uint8, 4, 3);
        EXPECT_EQ(a, b) << "face " << f;
        uint8_t ca[4], cb[4];
        plain->getData(f, ca, 0, Ptex::Res(0, 0));
        pm->getData(f, cb, 0, Ptex::Res(0, 0));
        PtexUtils::multalpha(ca, 1, Ptex::dt_uint8, 4, 3);
        EXPECT_EQ(0, std::memcmp(ca, cb, 4)) << "face " << f;
        if (r.ulog2 >= 3 && r.vlog2 >= 3 && plain->hasMipMaps()) {
            // stored reductions are premultiplied already and are not multiplied again
            Ptex::Res rr(int8_t(r.ulog2 - 1), int8_t(r.vlog2 - 1));
            std::vector<uint8_t> la(size_t(rr.size()) * 4), lb(la.size());
            plain->getData(f, la.data(), 0, rr);
            pm->getData(f, lb.data(), 0, rr);
            EXPECT_EQ(la, lb) << "face " << f;
        }
    }
    pm->release();
    c->release();
}

TEST_F(PtexCacheTest, ReleaseDestroysEverythingAtOnce)
{
    CountingHandler h;
    PtexCache* c = PtexCache::create(0, 0, false, &h);
    Ptex::String err;
    PtexTexture* a = c->get(golden("cube_rgb8.ptx").c_str(), err);
    PtexTexture* b = c->get(golden("val5_u16.ptx").c_str(), err);
    ASSERT_TRUE(a && b) << err;
    allFaces(a);
    c->release();  // references still held: destroyed anyway
    EXPECT_EQ(h.opens.load(), h.closes.load());
}

}  // namespace
