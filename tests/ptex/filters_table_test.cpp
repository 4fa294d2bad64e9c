// Every query of every golden filter table, through our factory and filters.
// A row matches when |ours - ref| <= 1e-5 * max(1, |ref|) for every written
// element, and the elements the table marks as unwritten stay unwritten.
#include "FilterTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

std::string filtersDir() { return std::string(ZENTO_TESTDATA_DIR) + "/filters"; }

std::vector<std::string> tableNames()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(filtersDir(), ec))
        if (e.path().extension() == ".tsv") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    if (names.empty()) names.push_back("no_tables");  // reported as a skip
    return names;
}

std::string configName(const PtexEval::FilterQuery& q)
{
    std::ostringstream s;
    s << PtexEval::filterName(q.filter) << " lerp=" << q.lerp << " sharp=" << q.sharpness
      << " neb=" << q.noedgeblend << " pm=" << q.premultiply;
    return s.str();
}

class FilterTableTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FilterTableTest, MatchesReference)
{
    const std::string path = filtersDir() + "/" + GetParam() + ".tsv";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "filter tables not found under " << filtersDir();

    std::ifstream in(path);
    PtexEval::FilterTable table;
    std::string error;
    ASSERT_TRUE(PtexEval::parseFilterTable(in, table, error)) << error;
    ASSERT_FALSE(table.rows.empty());

    PtexEval::TableEvaluator ev(table, std::string(ZENTO_TESTDATA_DIR) + "/ptex");
    ASSERT_TRUE(ev.load(error)) << error;
    auto set = ev.makeFilters();

    std::vector<float> buf(size_t(ev.bufferSize()) + 1);
    std::vector<bool> written;
    double worst = 0;
    size_t worstRow = 0;
    int failures = 0;
    std::map<std::string, std::pair<double, int>> perConfig;  // worst error, failures
    std::map<std::string, int> perCategory;
    std::ostringstream firstFailures;
    for (size_t i = 0; i < table.rows.size(); i++) {
        const PtexEval::FilterQuery& q = table.rows[i];
        ev.evalRow(*set, i, buf.data(), &written);
        double rowErr = 0;
        bool bad = false;
        for (int k = 0; k < table.nresult; k++) {
            if (q.refWritten[size_t(k)] != written[size_t(k)]) {
                bad = true;
                continue;
            }
            if (!written[size_t(k)]) continue;
            const double ref = q.ref[size_t(k)], ours = buf[size_t(k)];
            double err = std::fabs(ours - ref) / std::max(1.0, std::fabs(ref));
            if (!(err == err)) err = 1e30;
            rowErr = std::max(rowErr, err);
        }
        if (rowErr > 1e-5) bad = true;
        auto& pc = perConfig[configName(q)];
        pc.first = std::max(pc.first, rowErr);
        if (rowErr > worst) {
            worst = rowErr;
            worstRow = i;
        }
        if (bad) {
            failures++;
            pc.second++;
            perCategory[q.category]++;
            if (failures <= 12) {
                firstFailures << "  line " << q.line << " " << configName(q) << " " << q.category << " face "
                              << q.faceid << " (" << q.u << ", " << q.v << ") err " << rowErr << ": ours";
                for (int k = 0; k < table.nresult; k++)
                    firstFailures << ' ' << (written[size_t(k)] ? std::to_string(buf[size_t(k)]) : "-");
                firstFailures << " ref";
                for (int k = 0; k < table.nresult; k++)
                    firstFailures << ' ' << (q.refWritten[size_t(k)] ? std::to_string(q.ref[size_t(k)]) : "-");
                firstFailures << '\n';
            }
        }
    }
    std::cout << "[ table    ] " << GetParam() << ": " << table.rows.size() << " rows, worst error " << worst
              << " (line " << table.rows[worstRow].line << "), " << failures << " failing rows\n";
    RecordProperty("worst_error", std::to_string(worst));
    if (failures) {
        std::ostringstream s;
        for (const auto& [name, pc] : perConfig)
            if (pc.second) s << "  " << name << ": " << pc.second << " failing, worst " << pc.first << '\n';
        for (const auto& [cat, n] : perCategory) s << "  category " << cat << ": " << n << '\n';
        ADD_FAILURE() << failures << " of " << table.rows.size() << " rows differ\n"
                      << s.str() << "first failures:\n"
                      << firstFailures.str();
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, FilterTableTest, ::testing::ValuesIn(tableNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
