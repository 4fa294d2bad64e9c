// Every query of every golden filter table, through our factory and filters.
// A row matches when |ours - ref| <= 1e-5 * max(1, |ref|) for every written
// element, and the elements the table marks as unwritten stay unwritten.
// FilterThreadTest (label threads, run under TSan by CI): filters on several
// threads sharing one texture (its lazily loaded tiles and reductions) give
// exactly the single-threaded results.
// MatchesReference prints the worst error of each table (scaled as above), so a
// change to the filters shows how far it moved them.
#include "FilterTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

const std::string kData = ZENTO_TESTDATA_DIR;

std::vector<std::string> tableNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(kData + "/filters", ec))
        if (e.path().extension() == ".tsv") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    if (names.empty()) names.push_back("no_tables");  // reported as a skip
    return names;
}

class TableFixture : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const std::string path = kData + "/filters/" + GetParam() + ".tsv";
        if (!std::filesystem::exists(path))
            GTEST_SKIP() << "filter tables not found under " << kData;
        std::ifstream in(path);
        std::string error;
        ASSERT_TRUE(PtexEval::parseFilterTable(in, table, error)) << error;
        ASSERT_FALSE(table.rows.empty());
    }
    // All rows through fresh caches, the results of each row in sequence.
    std::vector<float> evalAll(const PtexEval::TableEvaluator& ev,
                               const PtexEval::TableEvaluator::FilterSet& set) {
        std::vector<float> out, buf(size_t(ev.bufferSize()) + 1);
        for (size_t i = 0; i < table.rows.size(); i++) {
            ev.evalRow(set, i, buf.data());
            out.insert(out.end(), buf.begin(), buf.begin() + table.nresult);
        }
        return out;
    }
    PtexEval::FilterTable table;
};

class FilterTableTest : public TableFixture {};
class FilterThreadTest : public TableFixture {};

TEST_P(FilterTableTest, MatchesReference) {
    PtexEval::TableEvaluator ev(table, kData + "/ptex");
    std::string error;
    ASSERT_TRUE(ev.load(error)) << error;
    auto set = ev.makeFilters();
    std::vector<float> buf(size_t(ev.bufferSize()) + 1);
    std::vector<bool> written;
    std::ostringstream first;
    int failures = 0;
    double worst = 0;
    int worstLine = 0;
    for (size_t i = 0; i < table.rows.size(); i++) {
        const PtexEval::FilterQuery& q = table.rows[i];
        ev.evalRow(*set, i, buf.data(), &written);
        bool bad = false;
        for (size_t k = 0; k < size_t(table.nresult); k++) {
            const double err =
                std::fabs(buf[k] - q.ref[k]) / std::max(1.0, std::fabs(double(q.ref[k])));
            bad |= q.refWritten[k] != written[k] || (written[k] && !(err <= 1e-5));
            if (written[k] && q.refWritten[k] && !(err <= worst)) {
                worst = err;
                worstLine = q.line;
            }
        }
        if (!bad) continue;
        std::ostringstream config;
        config << PtexEval::filterName(q.filter) << " lerp=" << q.lerp << " sharp=" << q.sharpness
               << " neb=" << q.noedgeblend << " pm=" << q.premultiply << " " << q.category;
        if (++failures > 12) continue;
        first << "  line " << q.line << " " << config.str() << " face " << q.faceid << " (" << q.u
              << ", " << q.v << "): ours / ref";
        for (size_t k = 0; k < size_t(table.nresult); k++)
            first << ' ' << (written[k] ? std::to_string(buf[k]) : "-") << " / "
                  << (q.refWritten[k] ? std::to_string(q.ref[k]) : "-");
        first << '\n';
    }
    std::printf("worst error %s: %.3g (line %d)\n", GetParam().c_str(), worst, worstLine);
    EXPECT_EQ(failures, 0) << "rows differ of " << table.rows.size() << "; the first ones:\n"
                           << first.str();
}

TEST_P(FilterThreadTest, ConcurrentFiltersMatchSingleThread) {
    std::string error;
    std::vector<float> expected;
    {
        PtexEval::TableEvaluator ev(table, kData + "/ptex");
        ASSERT_TRUE(ev.load(error)) << error;
        expected = evalAll(ev, *ev.makeFilters());
    }
    PtexEval::TableEvaluator ev(
        table, kData + "/ptex");  // fresh caches: the threads race to load the data
    ASSERT_TRUE(ev.load(error)) << error;
    std::vector<std::unique_ptr<PtexEval::TableEvaluator::FilterSet>> sets;
    std::vector<std::vector<float>> got(3);
    std::vector<std::thread> pool;
    for (size_t t = 0; t < got.size(); t++) sets.push_back(ev.makeFilters());
    for (size_t t = 0; t < got.size(); t++)
        pool.emplace_back([&, t] { got[t] = evalAll(ev, *sets[t]); });
    for (auto& th : pool) th.join();
    for (size_t t = 0; t < got.size(); t++)
        EXPECT_TRUE(got[t].size() == expected.size() &&
                    std::memcmp(got[t].data(), expected.data(), expected.size() * sizeof(float)) ==
                        0)
            << "thread " << t;
}

INSTANTIATE_TEST_SUITE_P(Tables, FilterTableTest, ::testing::ValuesIn(tableNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });
INSTANTIATE_TEST_SUITE_P(Tables, FilterThreadTest,
                         ::testing::Values("tiled_rgba8", "mixed_rgb8", "ico_rgb8"));

}  // namespace
