// Mitchell filters on many threads: one filter per thread over one shared
// texture gives every thread the same values as a single-threaded run.
#include "filters/PtexMitchellFilter.h"
#include "mitchell_util.h"

#include <thread>

using namespace mtest;

TEST(MitchellThreads, OneFilterPerThreadOverASharedTexture) {
    TempDir d;
    const std::vector<Ptex::Res> res = {Ptex::Res(4, 4), Ptex::Res(5, 3), Ptex::Res(1, 1),
                                        Ptex::Res(2, 5)};
    ASSERT_EQ(writeTexture(d.file("t.ptx"), Ptex::dt_uint16, 3, grid(3, 3, res)), "");
    Ptex::String err;
    Own<PtexCache> cache(PtexCache::create(4, 1 << 20));
    Own<PtexTexture> tx(cache->get(d.file("t.ptx").c_str(), err));
    ASSERT_TRUE(tx) << err;
    auto sweep = [&](std::vector<float>& out) {
        Own<PtexFilter> f(PtexFilter::getFilter(tx.get(), mitchell(0.5f)));
        out.resize(9 * 17 * 17 * 3 * 3);
        for (int i = 0; i < 9 * 17 * 17 * 3; ++i)  // face, u, v, footprint
            f->eval(&out[size_t(i) * 3], 0, 3, i / 867, float(i / 3 % 17) / 16,
                    float(i / 51 % 17) / 16, 0.15f * (i % 3), 0, 0, 0.15f * (i % 3));
    };
    std::vector<float> expect;
    sweep(expect);
    cache->purgeAll();  // the threads load the data again, concurrently
    std::vector<std::vector<float>> got(4);
    std::vector<std::thread> threads;
    for (auto& g : got)
        threads.emplace_back([&] {
            for (int rep = 0; rep < 3; ++rep) sweep(g);
        });
    for (auto& th : threads) th.join();
    for (const auto& g : got) EXPECT_EQ(g, expect);
}
