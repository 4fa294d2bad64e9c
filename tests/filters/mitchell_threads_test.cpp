// Mitchell filters on many threads: one filter per thread over one shared
// texture gives every thread the same values as a single-threaded run.
#include "filters/PtexMitchellFilter.h"
#include "mitchell_util.h"

#include <thread>

using namespace mtest;

TEST(MitchellThreads, OneFilterPerThreadOverASharedTexture)
{
    TempDir d;
    auto faces = quadAdjacency(gridQuads(3, 3), {Ptex::Res(4, 4), Ptex::Res(5, 3), Ptex::Res(3, 3), Ptex::Res(2, 5),
                                                 Ptex::Res(6, 6), Ptex::Res(4, 4), Ptex::Res(1, 1), Ptex::Res(4, 2),
                                                 Ptex::Res(5, 5)});
    std::string path = d.file("t.ptx");
    ASSERT_EQ(writeTexture(path, Ptex::dt_uint16, 3, faces, pattern), "");
    Ptex::String err;
    PtexCache* cache = PtexCache::create(4, 1 << 20);
    PtexTexture* tx = cache->get(path.c_str(), err);
    ASSERT_NE(tx, nullptr) << err;

    auto sweep = [&](PtexFilter* f, std::vector<float>& out) {
        float r[3];
        for (int face = 0; face < 9; ++face)
            for (int i = 0; i <= 16; ++i)
                for (int j = 0; j <= 16; ++j)
                    for (float w : {0.0f, 0.05f, 0.3f}) {
                        f->eval(r, 0, 3, face, i / 16.0f, j / 16.0f, w, 0, 0, w);
                        out.insert(out.end(), r, r + 3);
                    }
    };
    const PtexFilter::Options opts(PtexFilter::FilterType(-1), false, 0.5f);
    std::vector<float> expect;
    {
        PtexFilter* f = PtexFilter::getFilter(tx, opts);
        sweep(f, expect);
        f->release();
    }
    cache->purgeAll();  // the threads load the data again, concurrently
    const int n = 4;
    std::vector<std::vector<float>> got(n);
    std::vector<PtexFilter*> filters(n);
    for (int t = 0; t < n; ++t) filters[t] = PtexFilter::getFilter(tx, opts);
    std::vector<std::thread> threads;
    for (int t = 0; t < n; ++t)
        threads.emplace_back([&, t] {
            for (int rep = 0; rep < 3; ++rep) {
                got[t].clear();
                sweep(filters[t], got[t]);
            }
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < n; ++t) {
        EXPECT_EQ(got[t], expect) << t;
        filters[t]->release();
    }
    tx->release();
    cache->release();
}
