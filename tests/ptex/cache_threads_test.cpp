// Several threads read every face of several files through one small-memory,
// few-handle cache, at full and reduced resolutions, and compare with
// single-threaded reference checksums. Run under TSan by CI (label threads).
#include "Ptexture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string goldenDir() { return std::string(ZENTO_TESTDATA_DIR) + "/ptex"; }

uint64_t hashBytes(uint64_t h, const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; i++) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Checksum of a texture: every face at full res, at half res and at 1x1, plus a
// tile walk and metadata values.
uint64_t checksum(PtexTexture* t, std::vector<uint8_t>& buf)
{
    uint64_t h = 14695981039346656037ull;
    int ps = Ptex::DataSize(t->dataType()) * t->numChannels();
    for (int f = 0; f < t->numFaces(); f++) {
        Ptex::Res r = t->getFaceInfo(f).res;
        buf.resize(size_t(r.size()) * size_t(ps));
        t->getData(f, buf.data(), 0);
        h = hashBytes(h, buf.data(), buf.size());
        // triangles only reduce symmetrically; quads also anisotropically
        bool tri = t->meshType() == Ptex::mt_triangle;
        Ptex::Res half(int8_t(r.ulog2 > 0 ? r.ulog2 - 1 : 0), int8_t(r.vlog2 > 1 ? r.vlog2 - 2 : 0));
        if (tri) half = Ptex::Res(int8_t(r.ulog2 > 0 ? r.ulog2 - 1 : 0), int8_t(r.vlog2 > 0 ? r.vlog2 - 1 : 0));
        t->getData(f, buf.data(), 0, half);
        h = hashBytes(h, buf.data(), size_t(half.size()) * size_t(ps));
        PtexFaceData* d = t->getData(f, Ptex::Res(0, 0));
        h = hashBytes(h, static_cast<const uint8_t*>(d->getData()), size_t(ps));
        d->release();
        d = t->getData(f);
        if (d->isTiled()) {
            std::vector<uint8_t> px(static_cast<size_t>(ps));
            int nt = r.ntiles(d->tileRes());
            for (int i = 0; i < nt; i++) {
                PtexFaceData* tile = d->getTile(i);
                tile->getPixel(0, 0, px.data());
                h = hashBytes(h, px.data(), px.size());
                tile->release();
            }
        }
        d->release();
    }
    PtexMetaData* md = t->getMetaData();
    for (int i = 0; i < md->numKeys(); i++) {
        const char* key;
        Ptex::MetaDataType type;
        md->getKey(i, key, type);
        const char* s = nullptr;
        md->getValue(key, s);
        if (s) h = hashBytes(h, reinterpret_cast<const uint8_t*>(s), std::strlen(s));
        const int32_t* v = nullptr;
        int n = 0;
        md->getValue(i, v, n);
        if (v) h = hashBytes(h, reinterpret_cast<const uint8_t*>(v), size_t(n) * 4);
    }
    return h;
}

TEST(PtexCacheThreads, ConcurrentReadersShareOneSmallCache)
{
    if (!fs::exists(goldenDir())) GTEST_SKIP() << "golden data not found at " << goldenDir();
    const std::vector<std::string> files = {"tiled_rgba8.ptx", "cube_rgb8.ptx", "grid_rgba8.ptx", "ico_rgb8.ptx",
                                            "edits_rgb8.ptx", "val5_gray_f32.ptx", "cube_half.ptx"};
    std::vector<uint64_t> ref;
    std::vector<uint8_t> buf;
    for (const std::string& f : files) {
        Ptex::String err;
        PtexPtr<PtexTexture> t(PtexTexture::open((goldenDir() + "/" + f).c_str(), err));
        ASSERT_TRUE(t) << err;
        ref.push_back(checksum(t, buf));
    }
    PtexCache* cache = PtexCache::create(3, 256 * 1024);
    const int nthreads = 4, rounds = 3;
    std::vector<int> mismatches(nthreads, 0), failures(nthreads, 0);
    std::vector<std::thread> threads;
    for (int ti = 0; ti < nthreads; ti++) {
        threads.emplace_back([&, ti] {
            std::vector<uint8_t> b;
            for (int r = 0; r < rounds; r++)
                for (size_t k = 0; k < files.size(); k++) {
                    size_t i = (k + size_t(ti) * 2 + size_t(r)) % files.size();
                    Ptex::String err;
                    PtexTexture* t = cache->get((goldenDir() + "/" + files[i]).c_str(), err);
                    if (!t) {
                        failures[size_t(ti)]++;
                        continue;
                    }
                    if (checksum(t, b) != ref[i]) mismatches[size_t(ti)]++;
                    t->release();
                    if (ti == 0 && k == 3) cache->purge((goldenDir() + "/" + files[0]).c_str());
                    if (ti == 1 && r == 1 && k == 0) {
                        PtexCache::Stats s;
                        cache->getStats(s);
                    }
                }
        });
    }
    for (auto& th : threads) th.join();
    for (int ti = 0; ti < nthreads; ti++) {
        EXPECT_EQ(0, failures[size_t(ti)]) << "thread " << ti;
        EXPECT_EQ(0, mismatches[size_t(ti)]) << "thread " << ti;
    }
    PtexCache::Stats s;
    cache->getStats(s);
    EXPECT_LE(s.filesOpen, 3u + nthreads);
    EXPECT_EQ(files.size(), s.filesAccessed);
    cache->release();
}

TEST(PtexCacheThreads, ConcurrentReadersOfOneTexture)
{
    if (!fs::exists(goldenDir())) GTEST_SKIP() << "golden data not found at " << goldenDir();
    Ptex::String err;
    std::string path = goldenDir() + "/tiled_rgba8.ptx";
    std::vector<uint8_t> buf;
    uint64_t ref;
    {
        PtexPtr<PtexTexture> t(PtexTexture::open(path.c_str(), err));
        ASSERT_TRUE(t) << err;
        ref = checksum(t, buf);
    }
    // a texture without a cache, shared by all threads from cold
    PtexPtr<PtexTexture> t(PtexTexture::open(path.c_str(), err));
    ASSERT_TRUE(t) << err;
    std::vector<uint64_t> got(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; i++)
        threads.emplace_back([&, i] {
            std::vector<uint8_t> b;
            got[size_t(i)] = checksum(t, b);
        });
    for (auto& th : threads) th.join();
    for (uint64_t g : got) EXPECT_EQ(ref, g);
}

}  // namespace
