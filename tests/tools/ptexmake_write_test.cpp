// Whole files written by makePtex read back with the library, and the
// ptex-make program's help and error messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "PtexMake.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("ptexmake-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

PolyMesh quadAndPentagon() {
    PolyMesh m;
    m.positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 2.5f, 0.5f, 0, 2, 1, 0};
    m.counts = {4, 5};
    m.indices = {0, 1, 2, 3, 1, 4, 5, 6, 2};
    return m;
}

struct Texture {
    PtexTexture* tex = nullptr;
    explicit Texture(const fs::path& p) {
        Ptex::String err;
        tex = PtexTexture::open(p.c_str(), err);
        EXPECT_NE(tex, nullptr) << err;
    }
    ~Texture() {
        if (tex) tex->release();
    }
};

TEST(PtexMakeWrite, QuadMeshFileHasLayoutResolutionsAndMesh) {
    TempDir dir;
    const fs::path out = dir.path / "qp.ptx";
    PtexMakeOptions opt;
    opt.resU = 32;
    opt.resV = 16;
    opt.pattern.kind = PatternKind::Checker;
    std::string err;
    PtexLayout layout;
    ASSERT_TRUE(makePtex(quadAndPentagon(), opt, out.string(), err, &layout)) << err;
    Texture t(out);
    ASSERT_NE(t.tex, nullptr);
    EXPECT_EQ(t.tex->meshType(), Ptex::mt_quad);
    EXPECT_EQ(t.tex->numFaces(), 6);
    EXPECT_EQ(t.tex->numChannels(), 3);
    EXPECT_TRUE(t.tex->hasMipMaps());
    EXPECT_EQ(t.tex->getFaceInfo(0).res, Ptex::Res(5, 4));
    EXPECT_EQ(t.tex->getFaceInfo(1).res, Ptex::Res(4, 3));
    EXPECT_TRUE(t.tex->getFaceInfo(3).isSubface());
    for (int f = 0; f < 6; ++f) {
        for (int e = 0; e < 4; ++e) {
            EXPECT_EQ(t.tex->getFaceInfo(f).adjface(e), layout.faces[size_t(f)].adjfaces[e]);
        }
    }
    PolyMesh back;
    ASSERT_TRUE(loadPtxMesh(out.string(), back, err)) << err;
    EXPECT_EQ(back.counts, quadAndPentagon().counts);
    EXPECT_EQ(back.indices, quadAndPentagon().indices);
    EXPECT_EQ(back.positions, quadAndPentagon().positions);
}

TEST(PtexMakeWrite, TexelsFollowThePatternInEveryDataType) {
    TempDir dir;
    for (Ptex::DataType dt : {Ptex::dt_uint8, Ptex::dt_uint16, Ptex::dt_half, Ptex::dt_float}) {
        const fs::path out = dir.path / ("g" + std::to_string(int(dt)) + ".ptx");
        PtexMakeOptions opt;
        opt.dataType = dt;
        opt.channels = 5;
        opt.alphaChannel = 3;
        opt.resU = opt.resV = 8;
        opt.pattern.kind = PatternKind::Gradient;
        std::string err;
        ASSERT_TRUE(makePtex(quadAndPentagon(), opt, out.string(), err)) << err;
        Texture t(out);
        ASSERT_NE(t.tex, nullptr);
        EXPECT_EQ(t.tex->dataType(), dt);
        EXPECT_EQ(t.tex->alphaChannel(), 3);
        float px[5];
        t.tex->getPixel(0, 6, 1, px, 0, 5);
        const float tol = dt == Ptex::dt_uint8 ? 0.003f : 0.001f;
        EXPECT_NEAR(px[0], 6.5f / 8, tol);  // red = u
        EXPECT_NEAR(px[1], 1.5f / 8, tol);  // green = v
        EXPECT_NEAR(px[3], 1.0f, tol);      // alpha
        EXPECT_NEAR(px[4], 6.5f / 8, tol);  // first extra channel = u
    }
}

TEST(PtexMakeWrite, TriangleMeshAndDensityResolutions) {
    TempDir dir;
    PolyMesh m;
    m.positions = {0, 0, 0, 4, 0, 0, 0, 4, 0, 4, 4, 0};
    m.counts = {3, 3};
    m.indices = {0, 1, 2, 2, 1, 3};
    PtexMakeOptions opt;
    opt.density = 8;  // edges about 4.6 long: 37 texels -> 32
    opt.channels = 1;
    opt.pattern.kind = PatternKind::World;
    const fs::path out = dir.path / "tri.ptx";
    std::string err;
    ASSERT_TRUE(makePtex(m, opt, out.string(), err)) << err;
    Texture t(out);
    ASSERT_NE(t.tex, nullptr);
    EXPECT_EQ(t.tex->meshType(), Ptex::mt_triangle);
    EXPECT_EQ(t.tex->numFaces(), 2);
    EXPECT_EQ(t.tex->getFaceInfo(0).res, Ptex::Res(5, 5));
    EXPECT_EQ(t.tex->getFaceInfo(0).adjface(1), 1);
    EXPECT_EQ(t.tex->getFaceInfo(0).adjface(3), -1);
}

TEST(PtexMakeWrite, RefusesBadOptions) {
    TempDir dir;
    PtexMakeOptions opt;
    std::string err;
    opt.alphaChannel = 3;
    EXPECT_FALSE(makePtex(quadAndPentagon(), opt, (dir.path / "a.ptx").string(), err));
    opt.alphaChannel = -1;
    opt.meshChoice = PtexMakeOptions::MeshChoice::Triangle;
    EXPECT_FALSE(makePtex(quadAndPentagon(), opt, (dir.path / "b.ptx").string(), err));
    opt.meshChoice = PtexMakeOptions::MeshChoice::Quad;
    EXPECT_FALSE(makePtex(quadAndPentagon(), opt, (dir.path / "no-such-dir" / "c.ptx").string(), err));
    EXPECT_FALSE(err.empty());
}

TEST(PtexMakeWrite, LoadersGiveClearErrors) {
    TempDir dir;
    PolyMesh m;
    std::string err;
    EXPECT_FALSE(loadObjMesh((dir.path / "missing.obj").string(), m, err));
    EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
    {
        std::ofstream(dir.path / "bad.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n";
    }
    EXPECT_FALSE(loadObjMesh((dir.path / "bad.obj").string(), m, err));
    {
        std::ofstream(dir.path / "empty.obj") << "# nothing\n";
    }
    EXPECT_FALSE(loadObjMesh((dir.path / "empty.obj").string(), m, err));
    EXPECT_NE(err.find("no polygons"), std::string::npos) << err;
    EXPECT_FALSE(loadPtxMesh((dir.path / "missing.ptx").string(), m, err));
    EXPECT_FALSE(loadPtxMesh((dir.path / "bad.obj").string(), m, err));
    EXPECT_NE(err.find("Not a ptex file"), std::string::npos) << err;
}

TEST(PtexMakeWrite, FileWithoutMeshMetadataIsReported) {
    TempDir dir;
    const fs::path out = dir.path / "nomesh.ptx";
    Ptex::String perr;
    PtexWriter* w = PtexWriter::open(out.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, perr);
    ASSERT_NE(w, nullptr) << perr;
    const uint8_t value = 7;
    w->writeConstantFace(0, Ptex::FaceInfo(Ptex::Res(2, 2)), &value);
    ASSERT_TRUE(w->close(perr)) << perr;
    w->release();
    PolyMesh m;
    std::string err;
    EXPECT_FALSE(loadPtxMesh(out.string(), m, err));
    EXPECT_NE(err.find("carries no mesh"), std::string::npos) << err;
}

int runTool(const std::string& args, std::string& output) {
    const std::string cmd = std::string(PTEX_MAKE_EXE) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[512];
    output.clear();
    while (std::fgets(buf, sizeof buf, p)) output += buf;
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PtexMakeTool, HelpAndErrors) {
    TempDir dir;
    std::string out;
    EXPECT_EQ(runTool("--help", out), 0);
    EXPECT_NE(out.find("--pattern"), std::string::npos);
    EXPECT_NE(runTool((dir.path / "missing.obj").string() + " -o " + (dir.path / "x.ptx").string(), out), 0);
    EXPECT_NE(out.find("cannot open mesh file"), std::string::npos) << out;
    {
        std::ofstream(dir.path / "q.obj") << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
    }
    const std::string obj = (dir.path / "q.obj").string();
    EXPECT_NE(runTool(obj + " -o " + (dir.path / "x.ptx").string() + " --pattern nope", out), 0);
    EXPECT_NE(out.find("unknown pattern"), std::string::npos) << out;
    EXPECT_NE(runTool(obj + " -o " + (dir.path / "x.ptx").string() + " --res 30", out), 0);
    EXPECT_NE(runTool(obj + " -o " + (dir.path / "x.ptx").string() + " --pattern image", out), 0);
    EXPECT_EQ(runTool(obj + " -o " + (dir.path / "x.ptx").string() + " --res 16x8 -t half", out), 0) << out;
    EXPECT_TRUE(fs::exists(dir.path / "x.ptx"));
}

}  // namespace
