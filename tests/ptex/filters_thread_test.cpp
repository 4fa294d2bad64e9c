// Filters on several threads sharing one texture (and its lazily loaded tiles and
// reductions) give exactly the single-threaded results.
#include "FilterTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

std::vector<std::vector<float>> evalAll(const PtexEval::TableEvaluator& ev,
                                        const PtexEval::TableEvaluator::FilterSet& set, size_t nrows, int nres)
{
    std::vector<std::vector<float>> out(nrows);
    std::vector<float> buf(size_t(ev.bufferSize()) + 1);
    for (size_t i = 0; i < nrows; i++) {
        ev.evalRow(set, i, buf.data());
        out[i].assign(buf.begin(), buf.begin() + nres);
    }
    return out;
}

class FilterThreadTest : public ::testing::TestWithParam<const char*> {};

TEST_P(FilterThreadTest, ConcurrentFiltersMatchSingleThread)
{
    const std::string dir = std::string(ZENTO_TESTDATA_DIR);
    const std::string path = dir + "/filters/" + GetParam() + ".tsv";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "filter tables not found under " << dir;
    std::ifstream in(path);
    PtexEval::FilterTable table;
    std::string error;
    ASSERT_TRUE(PtexEval::parseFilterTable(in, table, error)) << error;

    std::vector<std::vector<float>> expected;
    {
        PtexEval::TableEvaluator ev(table, dir + "/ptex");
        ASSERT_TRUE(ev.load(error)) << error;
        auto set = ev.makeFilters();
        expected = evalAll(ev, *set, table.rows.size(), table.nresult);
    }

    // fresh caches: both threads race to load the same data
    PtexEval::TableEvaluator ev(table, dir + "/ptex");
    ASSERT_TRUE(ev.load(error)) << error;
    const int kThreads = 3;
    std::vector<std::unique_ptr<PtexEval::TableEvaluator::FilterSet>> sets;
    for (int t = 0; t < kThreads; t++) sets.push_back(ev.makeFilters());
    std::vector<std::vector<std::vector<float>>> got(kThreads);
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; t++)
        pool.emplace_back([&, t] { got[size_t(t)] = evalAll(ev, *sets[size_t(t)], table.rows.size(), table.nresult); });
    for (auto& th : pool) th.join();

    for (int t = 0; t < kThreads; t++) {
        int mismatches = 0;
        for (size_t i = 0; i < table.rows.size(); i++)
            if (std::memcmp(got[size_t(t)][i].data(), expected[i].data(), expected[i].size() * sizeof(float)) != 0)
                mismatches++;
        EXPECT_EQ(mismatches, 0) << "thread " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, FilterThreadTest, ::testing::Values("tiled_rgba8", "mixed_rgb8", "ico_rgb8"));

}  // namespace
