// ptex-eval run as a process: table round trip (file and standard input),
// repeat timing line, threads, and refusal of bad tables.
#include "FilterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string run(const std::string& cmd, int* status = nullptr)
{
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    if (status) *status = st;
    return out;
}

const std::string kData = ZENTO_TESTDATA_DIR;
const std::string kBin = PTEX_EVAL_BIN;

class PtexEvalTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(kData + "/filters/cube_rgb8.tsv")) GTEST_SKIP() << "no test data in " << kData;
    }
};

void expectMatchesReference(const std::string& output, const std::string& tablePath)
{
    std::istringstream got(output);
    std::ifstream ref(tablePath);
    PtexEval::FilterTable a, b;
    std::string err;
    ASSERT_TRUE(PtexEval::parseFilterTable(got, a, err)) << err;
    ASSERT_TRUE(PtexEval::parseFilterTable(ref, b, err)) << err;
    ASSERT_EQ(a.rows.size(), b.rows.size());
    ASSERT_EQ(a.nresult, b.nresult);
    for (size_t i = 0; i < a.rows.size(); i++) {
        EXPECT_EQ(a.rows[i].faceid, b.rows[i].faceid);
        EXPECT_EQ(a.rows[i].u, b.rows[i].u);
        for (int k = 0; k < a.nresult; k++) {
            ASSERT_EQ(a.rows[i].refWritten[size_t(k)], b.rows[i].refWritten[size_t(k)]) << "row " << i;
            const float r = b.rows[i].ref[size_t(k)];
            EXPECT_LE(std::fabs(a.rows[i].ref[size_t(k)] - r), 1e-5f * std::fmax(1.0f, std::fabs(r))) << "row " << i;
        }
    }
}

TEST_F(PtexEvalTool, WritesOurResultsIntoTheTable)
{
    const std::string table = kData + "/filters/cube_rgb8.tsv";
    int st = -1;
    std::string out = run(kBin + " " + table + " --dir " + kData + "/ptex", &st);
    EXPECT_EQ(st, 0);
    expectMatchesReference(out, table);
}

TEST_F(PtexEvalTool, ReadsStandardInputAndResolvesAgainstTheCurrentDirectory)
{
    const std::string table = kData + "/filters/ico_rgb8.tsv";
    int st = -1;
    std::string out = run("cd " + kData + "/ptex && " + kBin + " - < " + table, &st);
    EXPECT_EQ(st, 0);
    expectMatchesReference(out, table);
}

TEST_F(PtexEvalTool, RepeatPrintsEvaluationsPerSecondLast)
{
    const std::string table = kData + "/filters/ico_rgb8.tsv";
    for (const char* threads : {"1", "2"}) {
        int st = -1;
        std::string out = run(kBin + " " + table + " --dir " + kData + "/ptex --repeat 3 --threads " + threads, &st);
        EXPECT_EQ(st, 0);
        while (!out.empty() && out.back() == '\n') out.pop_back();
        const std::string last = out.substr(out.rfind('\n') + 1);
        EXPECT_NE(last.find("evaluations per second"), std::string::npos) << last;
        EXPECT_GT(std::atof(last.c_str()), 0.0) << last;
    }
}

TEST_F(PtexEvalTool, RefusesBadTablesAndMissingFiles)
{
    const std::string bad = (std::filesystem::temp_directory_path() / "zento-bad-table.tsv").string();
    {
        std::ofstream o(bad);
        o << "file\tfilter\n" << "x.ptx\tbox\n";
    }
    int st = 0;
    run(kBin + " " + bad + " 2>/dev/null", &st);
    EXPECT_NE(st, 0);
    {
        std::ifstream in(kData + "/filters/ico_rgb8.tsv");
        std::string header, row;
        std::getline(in, header);
        std::getline(in, row);
        std::ofstream o(bad);
        o << header << '\n' << row << '\n';
    }
    run(kBin + " " + bad + " --dir /nonexistent-dir 2>/dev/null", &st);
    EXPECT_NE(st, 0) << "a texture that cannot be opened is an error";
    run(kBin + " /nonexistent-table.tsv 2>/dev/null", &st);
    EXPECT_NE(st, 0);
    std::remove(bad.c_str());
}

}  // namespace
