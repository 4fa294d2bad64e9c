// The ptex-info and ptex-convert programs, run as a user runs them: exit
// status, output, conversions of every golden file read back through the
// library, damaged files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>

#include "Ptexture.h"
#include "../ptex/writer_test_util.h"

using namespace PtexWriterTest;
using Bytes = std::vector<uint8_t>;

namespace {

struct RunResult {
    int status = -1;
    std::string out;
};

// Runs a command line, capturing stdout (stderr goes to stdout with 2>&1 when wanted).
RunResult run(const std::string& cmd)
{
    RunResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
    return r;
}

std::string quote(const std::string& s) { return "'" + s + "'"; }
const std::string infoBin = PTEX_INFO_BIN;
const std::string convertBin = PTEX_CONVERT_BIN;

struct TexCloser {
    void operator()(PtexTexture* t) const
    {
        if (t) t->release();
    }
};
using TexPtr = std::unique_ptr<PtexTexture, TexCloser>;

TexPtr openTex(const std::string& path)
{
    Ptex::String error;
    TexPtr t(PtexTexture::open(path.c_str(), error));
    EXPECT_TRUE(t) << error;
    return t;
}

Bytes readFace(PtexTexture* t, int f, Ptex::Res res)
{
    Bytes b(size_t(res.size()) * Ptex::DataSize(t->dataType()) * t->numChannels());
    t->getData(f, b.data(), 0, res);
    return b;
}

// Every metadata entry as (type, raw bytes), by key.
std::map<std::string, std::pair<int, Bytes>> metaMap(PtexTexture* t)
{
    std::map<std::string, std::pair<int, Bytes>> m;
    PtexMetaData* md = t->getMetaData();
    for (int i = 0; md && i < md->numKeys(); i++) {
        const char* key = nullptr;
        Ptex::MetaDataType type;
        md->getKey(i, key, type);
        const void* v = nullptr;
        int count = 0, elem = 1;
        switch (type) {
        case Ptex::mdt_string: {
            const char* s = nullptr;
            md->getValue(i, s);
            v = s;
            count = s ? int(strlen(s)) + 1 : 0;
            break;
        }
        case Ptex::mdt_int8: { const int8_t* p; md->getValue(i, p, count); v = p; break; }
        case Ptex::mdt_int16: { const int16_t* p; md->getValue(i, p, count); v = p; elem = 2; break; }
        case Ptex::mdt_int32: { const int32_t* p; md->getValue(i, p, count); v = p; elem = 4; break; }
        case Ptex::mdt_float: { const float* p; md->getValue(i, p, count); v = p; elem = 4; break; }
        case Ptex::mdt_double: { const double* p; md->getValue(i, p, count); v = p; elem = 8; break; }
        }
        const uint8_t* b = static_cast<const uint8_t*>(v);
        m[key] = {int(type), b ? Bytes(b, b + size_t(count) * elem) : Bytes()};
    }
    if (md) md->release();
    return m;
}

class ConvertGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(ConvertGolden, ReadsBackEqualToTheOriginal)
{
    const std::string src = GetParam();
    if (src == "missing") GTEST_SKIP() << "golden Ptex data not found in " << testdataDir();
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string out = dir.file("out.ptx");
    RunResult r = run(convertBin + " " + quote(src) + " " + quote(out) + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(fileExists(out + ".converting"));

    TexPtr a = openTex(src), b = openTex(out);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->meshType(), a->meshType());
    EXPECT_EQ(b->dataType(), a->dataType());
    EXPECT_EQ(b->numChannels(), a->numChannels());
    EXPECT_EQ(b->alphaChannel(), a->alphaChannel());
    EXPECT_EQ(b->numFaces(), a->numFaces());
    EXPECT_EQ(b->hasMipMaps(), a->hasMipMaps());
    EXPECT_EQ(b->uBorderMode(), a->uBorderMode());
    EXPECT_EQ(b->vBorderMode(), a->vBorderMode());
    EXPECT_EQ(b->edgeFilterMode(), a->edgeFilterMode());
    EXPECT_FALSE(b->hasEdits());
    for (int f = 0; f < a->numFaces(); f++) {
        const Ptex::FaceInfo &fa = a->getFaceInfo(f), &fb = b->getFaceInfo(f);
        EXPECT_EQ(fb.res, fa.res) << f;
        EXPECT_EQ(fb.adjedges, fa.adjedges) << f;
        for (int e = 0; e < 4; e++) EXPECT_EQ(fb.adjface(e), fa.adjface(e)) << f;
        EXPECT_EQ(fb.flags, fa.flags & ~Ptex::FaceInfo::flag_hasedits) << f;
        EXPECT_EQ(readFace(b.get(), f, fb.res), readFace(a.get(), f, fa.res)) << f;
        // Edited faces of the original reduce on demand; the copy stores
        // reductions, so only unedited faces compare below full res.
        if (fa.hasEdits()) continue;
        for (int i = 0; i <= std::min<int>(fa.res.ulog2, fa.res.vlog2); i++) {
            const Ptex::Res res(int8_t(fa.res.ulog2 - i), int8_t(fa.res.vlog2 - i));
            EXPECT_EQ(readFace(b.get(), f, res), readFace(a.get(), f, res)) << f << " level " << i;
        }
        EXPECT_EQ(readFace(b.get(), f, Ptex::Res(0, 0)), readFace(a.get(), f, Ptex::Res(0, 0))) << f;
    }
    EXPECT_EQ(metaMap(b.get()), metaMap(a.get()));
}

std::vector<std::string> goldenOrPlaceholder()
{
    std::vector<std::string> files = goldenFiles();
    if (files.empty()) files.push_back("missing");
    return files;
}

std::string paramName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string n = info.param.substr(info.param.find_last_of('/') + 1);
    for (char& c : n)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Golden, ConvertGolden, ::testing::ValuesIn(goldenOrPlaceholder()), paramName);

std::string golden(const std::string& name)
{
    const std::string p = testdataDir() + "/" + name;
    return fileExists(p) ? p : std::string();
}

TEST(PtexConvert, DataTypeAndMipMapOptions)
{
    const std::string src = golden("grid_rgba8.ptx");
    if (src.empty()) GTEST_SKIP() << "golden Ptex data not found";
    ScratchDir dir;
    const std::string out = dir.file("f.ptx");
    RunResult r = run(convertBin + " " + quote(src) + " " + quote(out) + " --data-type float --mipmaps off 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    TexPtr a = openTex(src), b = openTex(out);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->dataType(), Ptex::dt_float);
    EXPECT_FALSE(b->hasMipMaps());
    const int nch = a->numChannels();
    for (int f = 0; f < a->numFaces(); f++) {
        const Ptex::Res res = a->getFaceInfo(f).res;
        const Bytes raw = readFace(a.get(), f, res), conv = readFace(b.get(), f, res);
        std::vector<float> expect(size_t(res.size()) * nch);
        Ptex::ConvertToFloat(expect.data(), raw.data(), Ptex::dt_uint8, int(expect.size()));
        ASSERT_EQ(conv.size(), expect.size() * 4);
        EXPECT_EQ(0, std::memcmp(conv.data(), expect.data(), conv.size())) << f;
    }
    // And back: float -> uint8 restores the original samples.
    const std::string back = dir.file("b.ptx");
    r = run(convertBin + " " + quote(out) + " " + quote(back) + " -d uint8 -m on 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    TexPtr c = openTex(back);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->hasMipMaps());
    for (int f = 0; f < a->numFaces(); f++) {
        const Ptex::Res res = a->getFaceInfo(f).res;
        EXPECT_EQ(readFace(c.get(), f, res), readFace(a.get(), f, res)) << f;
    }
}

TEST(PtexConvert, Failures)
{
    ScratchDir dir;
    const std::string out = dir.file("x.ptx");
    RunResult r = run(convertBin + " " + quote(dir.file("missing.ptx")) + " " + quote(out) + " 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Can't open ptex file"), std::string::npos) << r.out;
    EXPECT_FALSE(fileExists(out));
    r = run(convertBin + " a b --data-type int 2>&1");
    EXPECT_EQ(r.status, 2) << r.out;
    r = run(convertBin + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--data-type"), std::string::npos);

    // A file damaged in its face data: read errors, nothing written.
    const std::string src = golden("grid_f32.ptx");
    if (src.empty()) return;
    Bytes data = readFile(src);
    data.resize(data.size() / 2);
    const std::string damaged = dir.file("damaged.ptx");
    writeFile(damaged, data);
    r = run(convertBin + " " + quote(damaged) + " " + quote(out) + " 2>&1");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_FALSE(fileExists(out));
    EXPECT_FALSE(fileExists(out + ".converting"));
}

TEST(PtexInfo, PrintsHeaderFacesMetaAndTexels)
{
    const std::string src = golden("cube_rgb8.ptx");
    if (src.empty()) GTEST_SKIP() << "golden Ptex data not found";
    RunResult r = run(infoBin + " " + quote(src) + " --faces --meta --texels 4 0 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* s : {"meshType: quad", "dataType: uint8", "numChannels: 3", "alphaChannel: (none)",
                          "numFaces: 6", "hasMipMaps: true", "hasEdits: false", "numLevels: 4",
                          "face 1: res 3 6 (8 x 64)", "flags constant", "author (string): \"golden data generator\"",
                          "int8_small (int8[5]): -128 -1 0 1 127", "face 4 level 0: res 0 0 (1 x 1)", "(0, 0):"})
        EXPECT_NE(r.out.find(s), std::string::npos) << s << "\n" << r.out;

    r = run(infoBin + " " + quote(src) + " --texels 1 2 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("face 1 level 2: res 1 4 (2 x 16)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(1, 15):"), std::string::npos);
    r = run(infoBin + " " + quote(src) + " --texels 9 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("out of range"), std::string::npos);
    r = run(infoBin + " " + quote(src) + " --check 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST(PtexInfo, DamagedFilesGiveAnErrorAndNonZeroExit)
{
    ScratchDir dir;
    RunResult r = run(infoBin + " " + quote(dir.file("none.ptx")) + " 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Can't open ptex file"), std::string::npos) << r.out;

    const std::string junk = dir.file("junk.ptx");
    writeFile(junk, Bytes(100, 'z'));
    r = run(infoBin + " " + quote(junk) + " 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Not a ptex file"), std::string::npos) << r.out;

    r = run(infoBin + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--texels"), std::string::npos);
    r = run(infoBin + " 2>&1");
    EXPECT_EQ(r.status, 2);

    for (const std::string& src : goldenFiles()) {
        const Bytes data = readFile(src);
        for (size_t len : {size_t(40), size_t(110), data.size() / 3, data.size() * 2 / 3, data.size() - 3}) {
            Bytes cut(data.begin(), data.begin() + long(len));
            const std::string p = dir.file("cut.ptx");
            writeFile(p, cut);
            r = run(infoBin + " " + quote(p) + " --faces --meta --check 2>&1");
            EXPECT_EQ(r.status, 1) << src << " cut at " << len << "\n" << r.out.substr(0, 2000);
        }
    }
}

}  // namespace
