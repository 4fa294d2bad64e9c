// ptex-eval run as a process: it writes our results into the table (read from
// a file or standard input) and refuses bad tables and missing textures.
#include "FilterTable.h"

#include <gtest/gtest.h>

#include "filters/PtexFilterFactory.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string kData = ZENTO_TESTDATA_DIR, kBin = PTEX_EVAL_BIN;

std::string run(const std::string& cmd, int& status) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    status = p ? pclose(p) : -1;
    return out;
}

TEST(PtexEvalTool, WritesOurResultsAndRefusesBadInput) {
    const std::string table = kData + "/filters/ico_rgb8.tsv";
    if (!std::filesystem::exists(table)) GTEST_SKIP() << "no test data in " << kData;
    int st = -1;
    for (const std::string& cmd : {kBin + " " + table + " --dir " + kData + "/ptex",
                                   "cd " + kData + "/ptex && " + kBin + " - < " + table}) {
        std::istringstream got(run(cmd, st));
        std::ifstream ref(table);
        PtexEval::FilterTable a, b;
        std::string err;
        ASSERT_EQ(st, 0) << cmd;
        ASSERT_TRUE(PtexEval::parseFilterTable(got, a, err)) << err;
        ASSERT_TRUE(PtexEval::parseFilterTable(ref, b, err)) << err;
        ASSERT_EQ(a.rows.size(), b.rows.size());
        ASSERT_EQ(a.nresult, b.nresult);
        for (size_t i = 0; i < a.rows.size(); i++)
            for (size_t k = 0; k < size_t(a.nresult); k++) {
                const float r = b.rows[i].ref[k];
                ASSERT_EQ(a.rows[i].refWritten[k], b.rows[i].refWritten[k]) << "row " << i;
                EXPECT_LE(std::fabs(a.rows[i].ref[k] - r), 1e-5f * std::fmax(1.0f, std::fabs(r)))
                    << "row " << i;
            }
    }
    const std::string bad =
        testing::TempDir() + "ptex-eval-bad-" + std::to_string(getpid()) + ".tsv";
    std::ofstream(bad) << "file\tfilter\nx.ptx\tbox\n";
    run(kBin + " " + bad + " 2>/dev/null", st);
    EXPECT_NE(st, 0) << "a malformed table";
    run(kBin + " " + table + " --dir /nonexistent-dir 2>/dev/null", st);
    EXPECT_NE(st, 0) << "a texture that cannot be opened";
    std::remove(bad.c_str());
}

// Rows of a golden table with their filter set to -1: quad rows come back as
// the Mitchell filter evaluates them through the plugin's factory (options'
// sharpness), triangle rows as the triangle filter, and the type stays -1.
TEST(PtexEvalTool, FilterTypeMinusOneIsTheMitchellFilter) {
    ASSERT_TRUE(registerPluginFilterTypes());
    int st = -1;
    for (const char* name : {"mixed_rgb8", "ico_rgb8"}) {
        const std::string golden = kData + "/filters/" + name + ".tsv";
        if (!std::filesystem::exists(golden)) GTEST_SKIP() << "no test data in " << kData;
        std::ifstream in(golden);
        PtexEval::FilterTable table;
        std::string err;
        ASSERT_TRUE(PtexEval::parseFilterTable(in, table, err)) << err;
        table.rows.resize(std::min<size_t>(table.rows.size(), 400));
        for (PtexEval::FilterQuery& q : table.rows) q.filter = kMitchellFilterType;
        const std::string path =
            testing::TempDir() + "ptex-eval-m1-" + name + "-" + std::to_string(getpid()) + ".tsv";
        {
            std::ofstream out(path);
            PtexEval::writeFilterTable(out, table, {}, {});
        }
        std::istringstream got(run(kBin + " " + path + " --dir " + kData + "/ptex", st));
        std::remove(path.c_str());
        ASSERT_EQ(st, 0);
        PtexEval::FilterTable result;
        ASSERT_TRUE(PtexEval::parseFilterTable(got, result, err)) << err;
        ASSERT_EQ(result.rows.size(), table.rows.size());
        Ptex::String perr;
        PtexPtr<PtexTexture> tx(
            PtexTexture::open((kData + "/ptex/" + table.rows[0].file).c_str(), perr));
        ASSERT_TRUE(tx) << perr;
        std::vector<float> buf(size_t(std::max(table.nresult, 64)));
        for (size_t i = 0; i < result.rows.size(); i++) {
            const PtexEval::FilterQuery& q = table.rows[i];
            EXPECT_EQ(result.rows[i].filter, kMitchellFilterType);
            PtexPtr<PtexFilter> f(
                PtexFilter::getFilter(tx, PtexFilter::Options(PtexFilter::FilterType(-1), q.lerp,
                                                              q.sharpness, q.noedgeblend)));
            ASSERT_TRUE(f);
            std::fill(buf.begin(), buf.end(), 0.0f);
            f->eval(buf.data(), q.firstchan, q.nchannels, q.faceid, q.u, q.v, q.uw1, q.vw1, q.uw2,
                    q.vw2, q.width, q.blur);
            for (size_t k = 0; k < size_t(result.nresult); k++) {
                if (!result.rows[i].refWritten[k]) continue;
                ASSERT_EQ(result.rows[i].ref[k], buf[k]) << name << " row " << i;
            }
        }
    }
}

}  // namespace
