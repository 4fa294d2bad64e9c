// PtexWriter: every golden file rewritten from its level-0 data must come out
// byte for byte the same (header, layout, flags, reductions, encodings, tiling,
// metadata placement); the constant-neighbourhood flag on the golden meshes
// against their geometry; argument and write errors with their exact texts.
#include "ptex_test_util.h"

#include <array>
#include <cmath>
#include <functional>
#include <sstream>

using namespace PtexTest;

namespace {

void copyMeta(PtexMetaData* m, PtexWriter* w) {
    for (int i = 0; m && i < m->numKeys(); i++) {
        const char* key = nullptr;
        Ptex::MetaDataType type = Ptex::mdt_string;
        m->getKey(i, key, type);
        int n = 0;
        auto copy = [&](auto* p) {
            m->getValue(key, p, n);
            w->writeMeta(key, p, n);
        };
        const char* s = nullptr;
        switch (type) {
            case Ptex::mdt_string:
                m->getValue(key, s), w->writeMeta(key, s);
                break;
            case Ptex::mdt_int8:
                copy(static_cast<const int8_t*>(nullptr));
                break;
            case Ptex::mdt_int16:
                copy(static_cast<const int16_t*>(nullptr));
                break;
            case Ptex::mdt_int32:
                copy(static_cast<const int32_t*>(nullptr));
                break;
            case Ptex::mdt_float:
                copy(static_cast<const float*>(nullptr));
                break;
            case Ptex::mdt_double:
                copy(static_cast<const double*>(nullptr));
                break;
        }
    }
}

class GoldenRewrite : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenRewrite, IsByteForByteTheSame) {
    PTEX_REQUIRE_GOLDEN(GetParam());
    Ptex::String err;
    PtexPtr<PtexTexture> gold(PtexTexture::open(GetParam().c_str(), err));
    ASSERT_TRUE(gold) << err;
    if (gold->hasEdits()) GTEST_SKIP() << "file carries edits (covered by the round-trip tests)";
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string out = dir.file("rewrite.ptx");
    PtexWriter* w =
        PtexWriter::open(out.c_str(), gold->meshType(), gold->dataType(), gold->numChannels(),
                         gold->alphaChannel(), gold->numFaces(), err, gold->hasMipMaps());
    ASSERT_TRUE(w) << err;
    w->setBorderModes(gold->uBorderMode(), gold->vBorderMode());
    w->setEdgeFilterMode(gold->edgeFilterMode());
    copyMeta(gold->getMetaData(), w);
    const int ps = Ptex::DataSize(gold->dataType()) * gold->numChannels();
    for (int f = 0; f < gold->numFaces(); f++) {
        const Ptex::FaceInfo& info = gold->getFaceInfo(f);
        Bytes px(size_t(info.isConstant() ? 1 : info.res.size()) * ps);
        gold->getData(f, px.data(), 0, info.isConstant() ? Ptex::Res(0, 0) : info.res);
        ASSERT_TRUE(info.isConstant() ? w->writeConstantFace(f, info, px.data())
                                      : w->writeFace(f, info, px.data()))
            << f;
    }
    ASSERT_TRUE(w->close(err)) << err;
    w->release();
    // Same compressor at the same level, and the golden writer also wrote the
    // barrier after the metadata: the files must be identical.
    const Bytes a = readFile(out), b = readFile(GetParam());
    EXPECT_EQ(a.size(), b.size());
    const auto diff = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    EXPECT_TRUE(diff.first == a.end() && diff.second == b.end())
        << "first difference at byte " << (diff.first - a.begin());
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenRewrite, ::testing::ValuesIn(goldenParams()), paramName);

// The constant-neighbourhood flag: with every face constant and one face given
// a different value, exactly the faces that do not touch it keep the flag.
// "Touch" comes from the mesh geometry (a shared corner, or a corner on the
// other face's edge), independently of the adjacency walk the writer uses.
using Point = std::array<double, 3>;

// Corner positions of every Ptex face in face order (sub-faces for n-gons).
std::vector<std::vector<Point>> faceCorners(const std::string& objPath, bool triangles) {
    std::ifstream in(objPath);
    std::vector<Point> verts;
    std::vector<std::vector<Point>> faces;
    std::string line, tag, item;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        s >> tag;
        if (tag == "v") {
            Point p{};
            s >> p[0] >> p[1] >> p[2];
            verts.push_back(p);
        }
        if (tag != "f") continue;
        std::vector<Point> poly;
        while (s >> item) poly.push_back(verts.at(size_t(std::stoi(item) - 1)));
        const size_t n = poly.size();
        if (triangles || n == 4) {
            faces.push_back(poly);
            continue;
        }
        Point c{0, 0, 0};
        for (const Point& p : poly)
            for (int k = 0; k < 3; k++) c[k] += p[k] / double(n);
        auto mid = [](const Point& a, const Point& b) {
            return Point{(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2};
        };
        for (size_t i = 0; i < n; i++)
            faces.push_back(
                {poly[i], mid(poly[i], poly[(i + 1) % n]), c, mid(poly[(i + n - 1) % n], poly[i])});
    }
    return faces;
}

bool touches(const std::vector<Point>& f, const std::vector<Point>& g) {
    auto dist = [](const Point& a, const Point& b) {
        return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
    };
    auto cornerOnEdge = [&](const std::vector<Point>& x, const std::vector<Point>& y) {
        for (const Point& p : x)
            for (size_t i = 0; i < y.size(); i++) {
                const Point &a = y[i], &b = y[(i + 1) % y.size()];
                if (std::fabs(dist(a, p) + dist(p, b) - dist(a, b)) < 1e-9) return true;
            }
        return false;
    };
    return cornerOnEdge(f, g) || cornerOnEdge(g, f);
}

class NeighborhoodFlag : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(NeighborhoodFlag, NeverSetNextToADifferentFace) {
    const std::string ptx = goldenDir() + "/" + GetParam().first,
                      obj = goldenDir() + "/../mesh/" + GetParam().second;
    if (!fs::exists(ptx) || !fs::exists(obj))
        GTEST_SKIP() << "golden Ptex data not found in " << goldenDir();
    Ptex::String err;
    PtexPtr<PtexTexture> gold(PtexTexture::open(ptx.c_str(), err));
    ASSERT_TRUE(gold) << err;
    const int nfaces = gold->numFaces();
    const auto corners = faceCorners(obj, gold->meshType() == Ptex::mt_triangle);
    ASSERT_EQ(corners.size(), size_t(nfaces));
    ScratchDir dir;
    const std::string out = dir.file("nb.ptx");
    for (int odd = -1; odd < nfaces; odd++) {
        PtexWriter* w =
            PtexWriter::open(out.c_str(), gold->meshType(), Ptex::dt_uint8, 1, -1, nfaces, err);
        ASSERT_TRUE(w) << err;
        for (int f = 0; f < nfaces; f++) {
            Ptex::FaceInfo info = gold->getFaceInfo(f);
            info.flags &= Ptex::FaceInfo::flag_subface;
            const uint8_t value = f == odd ? 6 : 5;
            ASSERT_TRUE(w->writeConstantFace(f, info, &value));
        }
        ASSERT_TRUE(w->close(err)) << err;
        w->release();
        PtexPtr<PtexTexture> t(PtexTexture::open(out.c_str(), err));
        ASSERT_TRUE(t) << err;
        for (int f = 0; f < nfaces; f++) {
            const bool expected = odd < 0 || (f != odd && !touches(corners[f], corners[odd]));
            EXPECT_EQ(t->getFaceInfo(f).isNeighborhoodConstant(), expected)
                << "face " << f << " with face " << odd << " different";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Golden, NeighborhoodFlag,
    ::testing::Values(std::pair{"cube_rgb8.ptx", "cube.obj"},
                      std::pair{"grid_rgba8.ptx", "grid4x4.obj"},
                      std::pair{"val5_u16.ptx", "val5.obj"},
                      std::pair{"mixed_rgb8.ptx", "mixed.obj"},
                      std::pair{"ico_rgb8.ptx", "icosahedron.obj"}),
    [](const auto& info) {
        return std::string(info.param.second).substr(0, std::string(info.param.second).find('.'));
    });

class WriterErrors : public ::testing::Test {
protected:
    ScratchDir dir;
    const std::string p = dir.file("w.ptx");
};

// Also: a hostile adjacency is written without the neighbourhood flag, and an
// incremental edit needs a matching header.
TEST_F(WriterErrors, ArgumentsWritesAndDestinationAreChecked) {
    // mesh type, data type, channels, alpha channel: the error ("" when it opens)
    const std::tuple<int, int, int, int, std::string> opens[] = {
        {2, 0, 1, -1, "Invalid mesh type"},
        {-1, 0, 1, -1, "Invalid mesh type"},
        {1, 4, 1, -1, "Invalid data type"},
        {1, 0, 0, -1, "Invalid number of channels"},
        {1, 0, -3, -1, "Invalid number of channels"},
        {1, 0, 3, 3, "Invalid alpha channel"},
        {1, 0, 3, -2, "Invalid alpha channel"},
        {1, 0, 3, 2, ""},
        {0, 3, 1, 0, ""}};
    for (const auto& [mt, dt, nch, alpha, text] : opens) {
        Ptex::String error;
        PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::MeshType(mt), Ptex::DataType(dt), nch,
                                         alpha, 1, error);
        EXPECT_EQ(w ? "" : error, text.empty() ? "" : "PtexWriter error: " + text);
        if (w) w->release();
    }
    EXPECT_FALSE(fs::exists(p)) << "nothing written, nothing produced";
    Ptex::String error;
    EXPECT_EQ(
        PtexWriter::edit(dir.path().c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error),
        nullptr);
    EXPECT_EQ(error.rfind("Can't open ptex file for update: " + dir.path() + "\n", 0), 0u) << error;

    // Errors while writing are kept until close, and no file is written.
    const uint8_t px = 1;
    const int8_t one = 1;
    const Bytes image(4096, 1);  // if a bad face were accepted, its data would be read
    const std::string key255(255, 'k');
    const std::tuple<Ptex::MeshType, std::function<void(PtexWriter*)>, std::string> writes[] = {
        {Ptex::mt_quad,
         [&](PtexWriter* w) {
             EXPECT_TRUE(w->writeConstantFace(0, quadInfo(0, 0), &px));
             EXPECT_FALSE(w->writeConstantFace(2, quadInfo(0, 0), &px));
             EXPECT_FALSE(w->writeConstantFace(1, quadInfo(0, 0), &px));  // refused once in error
         },
         "faceid out of range"},
        {Ptex::mt_quad,
         [&](PtexWriter* w) { EXPECT_FALSE(w->writeFace(0, quadInfo(-1, 2), image.data())); },
         "Invalid face res"},
        {Ptex::mt_quad,
         [&](PtexWriter* w) { EXPECT_FALSE(w->writeConstantFace(0, quadInfo(20, 20), &px)); },
         "Invalid face res"},
        {Ptex::mt_triangle,
         [&](PtexWriter* w) { EXPECT_FALSE(w->writeFace(1, quadInfo(3, 2), image.data())); },
         "asymmetric face res not supported for triangle textures"},
        {Ptex::mt_quad, [&](PtexWriter* w) { w->writeMeta(key255.c_str(), "x"); },
         "meta data key too long (max=255) \"" + key255 + "\""},
        {Ptex::mt_quad, [&](PtexWriter* w) { w->writeMeta("empty", &one, 0); },
         "meta data size <= 0 for \"empty\""}};
    for (const auto& [mt, write, text] : writes) {
        PtexWriter* w = PtexWriter::open(p.c_str(), mt, Ptex::dt_uint8, 1, -1, 2, error);
        ASSERT_TRUE(w) << error;
        write(w);
        EXPECT_FALSE(w->close(error));
        EXPECT_EQ(error, "PtexWriter error: " + text + "\nPtex file: " + p);
        w->release();
        EXPECT_FALSE(fs::exists(p)) << text;
    }

    const std::string bad = dir.path() + "/no/such/dir/x.ptx";
    PtexWriter* w = PtexWriter::open(bad.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, error);
    ASSERT_TRUE(w && w->writeConstantFace(0, quadInfo(0, 0), &px));
    EXPECT_FALSE(w->close(error));
    EXPECT_EQ(error.rfind("Can't write to ptex file: " + bad + ".new\n", 0), 0u) << error;
    w->release();
    w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 2, error);
    ASSERT_TRUE(
        w->writeConstantFace(0, quadInfo(2, 2, 77, 1, -5, 1000000), &px));  // hostile adjacency
    ASSERT_TRUE(
        w->writeConstantFace(1, quadInfo(2, 2, 1, 1, 1, 1, 3, 2, 1, 0), &px));  // loops on itself
    w->release();  // release without close writes the file
    PtexPtr<PtexTexture> t(PtexTexture::open(p.c_str(), error));
    ASSERT_TRUE(t) << error;
    EXPECT_FALSE(t->getFaceInfo(0).isNeighborhoodConstant());
    const Bytes before = readFile(p);
    for (auto [dt, nch, alpha, nfaces] :
         {std::tuple{Ptex::dt_uint16, 1, -1, 2}, std::tuple{Ptex::dt_uint8, 2, -1, 2},
          std::tuple{Ptex::dt_uint8, 1, 0, 2}, std::tuple{Ptex::dt_uint8, 1, -1, 3}}) {
        EXPECT_EQ(PtexWriter::edit(p.c_str(), true, Ptex::mt_quad, dt, nch, alpha, nfaces, error),
                  nullptr);
        EXPECT_EQ(error,
                  "PtexWriter::edit error: header doesn't match existing file, conversions not "
                  "currently supported");
    }
    EXPECT_EQ(readFile(p), before);
}

}  // namespace
