// The ptex-info and ptex-convert programs, run as a user runs them: exit
// status, output, conversions of every golden file read back, damaged files.
#include <cstring>
#include <memory>

#include "CommandLine.h"
#include "ProgressLine.h"
#include "Ptexture.h"
#include "tool_test_util.h"

using namespace tooltest;
using Bytes = std::vector<uint8_t>;

namespace {

const std::string kInfo = PTEX_INFO_BIN, kConvert = PTEX_CONVERT_BIN;

struct Release {
    void operator()(PtexTexture* t) const { t->release(); }
};
using Tex = std::unique_ptr<PtexTexture, Release>;

Tex openTex(const std::string& path) {
    Ptex::String error;
    Tex t(PtexTexture::open(path.c_str(), error));
    EXPECT_TRUE(t) << path << ": " << error;
    return t;
}

Bytes face(const Tex& t, int f, Ptex::Res res) {
    Bytes b(size_t(res.size()) * Ptex::DataSize(t->dataType()) * t->numChannels());
    t->getData(f, b.data(), 0, res);
    return b;
}

// The metadata section ptex-info prints, every value in full.
std::string printedMeta(const std::string& path) {
    const std::string out = run(kInfo + " " + quote(path) + " --meta --all-values").second;
    return out.substr(std::min(out.find("metadata:"), out.size()));
}

std::string golden(const std::string& name) {
    const std::string p = std::string(ZENTO_TESTDATA_DIR) + "/ptex/" + name;
    return fs::exists(p) ? p : "";
}

class ConvertGolden : public testing::TestWithParam<std::string> {};

TEST_P(ConvertGolden, ReadsBackEqualToTheOriginal) {
    if (GetParam() == "missing")
        GTEST_SKIP() << "golden Ptex data not found in " << ZENTO_TESTDATA_DIR;
    TempDir dir;
    const std::string out = dir.file("out.ptx");
    expectRun(kConvert + " " + quote(GetParam()) + " " + quote(out), 0);
    EXPECT_FALSE(fs::exists(out + ".converting"));
    const Tex a = openTex(GetParam()), b = openTex(out);
    ASSERT_TRUE(a && b);
    auto header = [](const Tex& t) {
        return std::vector<int>{t->meshType(),     t->dataType(),    t->numChannels(),
                                t->alphaChannel(), t->numFaces(),    t->hasMipMaps(),
                                t->uBorderMode(),  t->vBorderMode(), t->edgeFilterMode()};
    };
    ASSERT_EQ(header(b), header(a));
    EXPECT_FALSE(b->hasEdits());
    for (int f = 0; f < a->numFaces(); f++) {
        const Ptex::FaceInfo fa = a->getFaceInfo(f), fb = b->getFaceInfo(f);
        EXPECT_EQ(fb.res, fa.res) << f;
        EXPECT_EQ(fb.adjedges, fa.adjedges) << f;
        for (int e = 0; e < 4; e++) EXPECT_EQ(fb.adjface(e), fa.adjface(e)) << f;
        EXPECT_EQ(fb.flags, fa.flags & ~Ptex::FaceInfo::flag_hasedits) << f;
        // Edited faces of the original reduce on demand; the copy stores
        // reductions, so only unedited faces compare below full res.
        const int levels = fa.hasEdits() ? 1 : std::min(fa.res.ulog2, fa.res.vlog2) + 1;
        for (int i = 0; i < levels; i++) {
            const Ptex::Res res(int8_t(fa.res.ulog2 - i), int8_t(fa.res.vlog2 - i));
            EXPECT_EQ(face(b, f, res), face(a, f, res)) << f << " level " << i;
        }
        if (!fa.hasEdits()) {
            EXPECT_EQ(face(b, f, Ptex::Res(0, 0)), face(a, f, Ptex::Res(0, 0))) << f;
        }
    }
    EXPECT_EQ(printedMeta(out), printedMeta(GetParam()));
}

std::vector<std::string> goldenOrPlaceholder() {
    std::vector<std::string> files = goldenFiles();
    if (files.empty()) files.push_back("missing");
    return files;
}

INSTANTIATE_TEST_SUITE_P(Golden, ConvertGolden, testing::ValuesIn(goldenOrPlaceholder()),
                         [](const auto& info) {
                             std::string n = fs::path(info.param).filename().string();
                             for (char& c : n)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return n;
                         });

TEST(PtexConvert, DataTypeAndMipMapOptions) {
    const std::string src = golden("grid_rgba8.ptx");
    if (src.empty()) GTEST_SKIP() << "golden Ptex data not found";
    TempDir dir;
    const std::string out = dir.file("f.ptx"), back = dir.file("b.ptx");
    expectRun(kConvert + " " + quote(src) + " " + quote(out) + " --data-type float --mipmaps off",
              0, {"wrote " + out + ": ", " quad faces, float, 4 channels, no mip-maps"});
    const Tex a = openTex(src), b = openTex(out);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->dataType(), Ptex::dt_float);
    EXPECT_FALSE(b->hasMipMaps());
    auto full = [](const Tex& t, int f) { return face(t, f, t->getFaceInfo(f).res); };
    for (int f = 0; f < a->numFaces(); f++) {
        const Bytes raw = full(a, f), conv = full(b, f);
        std::vector<float> expect(raw.size());
        Ptex::ConvertToFloat(expect.data(), raw.data(), Ptex::dt_uint8, int(expect.size()));
        ASSERT_EQ(conv.size(), expect.size() * 4);
        EXPECT_EQ(0, std::memcmp(conv.data(), expect.data(), conv.size())) << f;
    }
    // And back: float -> uint8 restores the original samples.
    expectRun(kConvert + " " + quote(out) + " " + quote(back) + " -d uint8 -m on", 0);
    const Tex c = openTex(back);
    ASSERT_TRUE(c && c->hasMipMaps());
    for (int f = 0; f < a->numFaces(); f++) EXPECT_EQ(full(c, f), full(a, f)) << f;
}

TEST(PtexConvert, FailuresWriteNothing) {
    TempDir dir;
    const std::string out = " " + quote(dir.file("x.ptx"));
    expectRun(kConvert + " " + quote(dir.file("missing.ptx")) + out, 1, {"Can't open ptex file"});
    expectRun(kConvert + " a b --data-type int", 1);
    expectRun(kConvert + " --help", 0, {"--data-type", "--mipmaps"});
    // The output is checked before the input is read; no temporary name shows.
    std::ofstream(dir.file("file")) << "x";
    const std::string in = " " + quote(dir.file("missing.ptx")) + " ";
    for (const auto& [target, reason] : {std::pair{dir.file("file") + "/x.ptx", "Not a directory"},
                                         std::pair{dir.path.string(), "Is a directory"}}) {
        const std::string said =
            expectRun(kConvert + in + quote(target), 1,
                      {"ptex-convert: error: cannot write " + target + ": " + reason});
        EXPECT_EQ(said.find(".converting"), std::string::npos) << said;
    }
    EXPECT_EQ(ptexWriterError("Can't write to ptex file: d/x.ptx.converting.new\nNot a directory\n"
                              "Ptex file: d/x.ptx.converting",
                              "d/x.ptx", "d/x.ptx.converting"),
              "Can't write to ptex file: d/x.ptx: Not a directory");
    EXPECT_EQ(
        ptexWriterError("Can't write to ptex file: x.ptx.new\nNo space\nPtex file: x.ptx", "x.ptx"),
        "Can't write to ptex file: x.ptx: No space");
    const std::string src = golden("grid_f32.ptx");  // damaged in its face data: read errors
    if (src.empty()) return;
    fs::copy_file(src, dir.file("damaged.ptx"));
    fs::resize_file(dir.file("damaged.ptx"), fs::file_size(src) / 2);
    expectRun(kConvert + " " + quote(dir.file("damaged.ptx")) + out, 1);
    EXPECT_FALSE(fs::exists(dir.file("x.ptx")) || fs::exists(dir.file("x.ptx.converting")));
}

TEST(PtexInfo, PrintsHeaderFacesMetaAndTexels) {
    const std::string src = golden("cube_rgb8.ptx");
    if (src.empty()) GTEST_SKIP() << "golden Ptex data not found";
    expectRun(
        kInfo + " " + quote(src) + " --faces --meta --texels 4 0", 0,
        {"meshType: quad", "dataType: uint8", "numChannels: 3", "alphaChannel: (none)",
         "numFaces: 6", "hasMipMaps: true", "hasEdits: false", "numLevels: 4",
         "face 1: res 3 6 (8 x 64)", "flags constant", "author (string): \"golden data generator\"",
         "int8_small (int8[5]): -128 -1 0 1 127", "face 4 level 0: res 0 0 (1 x 1)", "(0, 0):"});
    expectRun(kInfo + " " + quote(src) + " --texels 1 2", 0,
              {"face 1 level 2: res 1 4 (2 x 16)", "(1, 15):"});
    expectRun(kInfo + " " + quote(src) + " --texels 9", 1, {"out of range"});
    expectRun(kInfo + " " + quote(src) + " --check", 0, {"check: no damage found"});
    expectRun(kInfo + " --help", 0, {"--texels"});
    expectRun(kInfo, 1);
}

// Every usage error of every tool, out-of-range values included, ends with status 1 and one
// line naming the tool and the reason.
TEST(ToolUsage, ErrorsEndWithStatusOneAndOneLine) {
    const std::string render = std::string(ZENTO_RENDER_EXE) + " ", make = PTEX_MAKE_EXE;
    const std::pair<std::string, std::string> cases[] = {
        {render + "a.obj -o a.png --threads abc", "zento-render: error: Could not convert"},
        {render + "a.obj -o a.png --spp", "zento-render: error: --spp"},
        {render + "a.obj -o a.png --nope", "zento-render: error: The following argument"},
        {render + "a.obj -o a.png --spp 0", "--spp must be 1 to 4096, not 0"},
        {render + "a.obj -o a.png --threads -2", "--threads must be 0 (all hardware threads) to"},
        {render + "a.obj -o a.png --size 99999x99999", "width and height must be 1 to 16384"},
        {make + " a.obj", "ptex-make: error: --output is required"},
        {make + " a.obj -o a.ptx --density 0", "--density must be above 0 texels per unit"},
        {make + " a.obj -o a.ptx --density -5", "--density must be above 0 texels per unit"},
        {make + " a.obj -o a.ptx --density 4 --res 8", "--density and --res exclude each other"},
        {make + " a.obj -o a.ptx --checks 0", "--checks must be 1 to 32768, not 0"},
        {make + " a.obj -o a.ptx --cell -1", "--cell must be above 0 mesh units, not -1"},
        {make + " a.obj -o a.ptx --max-res 0", "--max-res must be 1 to 32768"},
        {make + " a.obj -o a.ptx --checks x", "ptex-make: error: Could not convert"},
        {kConvert + " a.ptx", "ptex-convert: error: OUT is required"},
        {kConvert + " a.ptx b.ptx -m maybe", "ptex-convert: error: --mipmaps"},
        {kInfo, "ptex-info: error: FILE is required"},
        {kInfo + " a.ptx --texels", "ptex-info: error: --texels"},
        {std::string(ZENTO_INFO_EXE) + " a.so b.so", "zento-info: error: more than one library"},
        {std::string(ZENTO_INFO_EXE) + " --bogus", "zento-info: error: unknown option"},
    };
    for (const auto& [command, message] : cases) {
        const std::string out = expectRun(command, 1, {message});
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    }
}

// The progress line of long work: bar, percentage, time spent and an estimate of the time left;
// silent off a terminal and during the first second.
TEST(ToolProgress, LineShowsTheEstimateAndStaysQuietWhenAsked) {
    EXPECT_EQ(ProgressLine::format("frame 3", 0.25, 2.0),
              "frame 3 [=======                       ]  25%   2.0 s, about 6.0 s left");
    EXPECT_EQ(ProgressLine::format("x", 1.0, 4.0),
              "x [==============================] 100%   4.0 s");
    for (const auto& [enabled, delay, shown] :
         {std::tuple{true, 0.0, true}, std::tuple{false, 0.0, false},
          std::tuple{true, 60.0, false}}) {
        FILE* out = std::tmpfile();
        {
            ProgressLine line("w", enabled, delay, out);
            line.update(1, 2);
        }
        std::rewind(out);
        char text[256] = "";
        const size_t n = std::fread(text, 1, sizeof text - 1, out);
        std::fclose(out);
        EXPECT_EQ(std::string(text, n).find(" 50%") != std::string::npos, shown) << text;
    }
}

TEST(PtexInfo, DamagedFilesGiveAClearErrorAndNonZeroExit) {
    TempDir dir;
    expectRun(kInfo + " " + quote(dir.file("none.ptx")), 1, {"Can't open ptex file"});
    std::ofstream(dir.file("junk.ptx")) << std::string(100, 'z');
    expectRun(kInfo + " " + quote(dir.file("junk.ptx")), 1, {"Not a ptex file"});
    for (const std::string& src : goldenFiles()) {
        const uintmax_t size = fs::file_size(src);
        for (uintmax_t len : {uintmax_t(40), uintmax_t(110), size / 3, size * 2 / 3, size - 3}) {
            SCOPED_TRACE(src + " cut at " + std::to_string(len));
            fs::copy_file(src, dir.file("cut.ptx"), fs::copy_options::overwrite_existing);
            fs::resize_file(dir.file("cut.ptx"), len);
            expectRun(kInfo + " " + quote(dir.file("cut.ptx")) + " --faces --meta --check", 1);
        }
    }
}

}  // namespace
