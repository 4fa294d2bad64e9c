// The constant-neighbourhood flag on the golden meshes (quads, valence 3 and 5
// vertices, sub-faces with T-junctions, triangles): with one face given a
// different value, exactly the faces that do not touch it keep the flag, and
// with every face equal every face is flagged. "Touch" is computed from the meshes' geometry (a
// shared corner, or a corner lying on the other face's edge), independently
// of the adjacency walk the writer uses.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <sstream>

#include "Ptexture.h"
#include "writer_file_parser.h"
#include "writer_test_util.h"

using namespace PtexWriterTest;
using PtexTestFile::ParsedFile;

namespace {

using Point = std::array<double, 3>;

struct Mesh {
    std::vector<Point> verts;
    std::vector<std::vector<int>> polys;
};

bool loadObj(const std::string& path, Mesh& mesh)
{
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string tag;
        s >> tag;
        if (tag == "v") {
            Point p{};
            s >> p[0] >> p[1] >> p[2];
            mesh.verts.push_back(p);
        } else if (tag == "f") {
            std::vector<int> poly;
            std::string item;
            while (s >> item) poly.push_back(std::stoi(item) - 1);
            mesh.polys.push_back(poly);
        }
    }
    return true;
}

Point mid(const Point& a, const Point& b) { return {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2}; }

// Corner positions of every Ptex face, in face order (sub-faces for n-gons).
std::vector<std::vector<Point>> faceCorners(const Mesh& m, bool triangles)
{
    std::vector<std::vector<Point>> faces;
    for (const auto& poly : m.polys) {
        const int n = int(poly.size());
        if (triangles || n == 4) {
            std::vector<Point> c;
            for (int v : poly) c.push_back(m.verts[v]);
            faces.push_back(c);
            continue;
        }
        Point centre{0, 0, 0};
        for (int v : poly)
            for (int k = 0; k < 3; k++) centre[k] += m.verts[v][k] / n;
        for (int i = 0; i < n; i++) {
            const Point& c = m.verts[poly[i]];
            const Point& next = m.verts[poly[(i + 1) % n]];
            const Point& prev = m.verts[poly[(i + n - 1) % n]];
            faces.push_back({c, mid(c, next), centre, mid(prev, c)});
        }
    }
    return faces;
}

double dist(const Point& a, const Point& b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

bool onSegment(const Point& p, const Point& a, const Point& b)
{
    return std::fabs(dist(a, p) + dist(p, b) - dist(a, b)) < 1e-9;
}

bool touches(const std::vector<Point>& f, const std::vector<Point>& g)
{
    for (const Point& p : f)
        for (size_t i = 0; i < g.size(); i++)
            if (onSegment(p, g[i], g[(i + 1) % g.size()])) return true;
    for (const Point& p : g)
        for (size_t i = 0; i < f.size(); i++)
            if (onSegment(p, f[i], f[(i + 1) % f.size()])) return true;
    return false;
}

struct Case {
    const char* ptx;
    const char* obj;
};

class NeighborhoodFlag : public ::testing::TestWithParam<Case> {};

TEST_P(NeighborhoodFlag, NeverSetNextToADifferentFace)
{
    const std::string dataDir = testdataDir();
    const std::string ptx = dataDir + "/" + GetParam().ptx, obj = dataDir + "/../mesh/" + GetParam().obj;
    if (!fileExists(ptx) || !fileExists(obj)) GTEST_SKIP() << "golden Ptex data not found in " << dataDir;
    ParsedFile gold;
    std::string error;
    ASSERT_TRUE(PtexTestFile::parsePtexFile(ptx, gold, error)) << error;
    Mesh mesh;
    ASSERT_TRUE(loadObj(obj, mesh));
    const bool tri = gold.meshtype == 0;
    const auto corners = faceCorners(mesh, tri);
    ASSERT_EQ(corners.size(), gold.faces.size());

    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string out = dir.file("nb.ptx");
    const int nfaces = int(gold.nfaces);
    for (int odd = -1; odd < nfaces; odd++) {
        Ptex::String werror;
        PtexWriter* w = PtexWriter::open(out.c_str(), Ptex::MeshType(gold.meshtype), Ptex::dt_uint8, 1, -1, nfaces,
                                         werror);
        ASSERT_TRUE(w) << werror;
        for (int f = 0; f < nfaces; f++) {
            const auto& r = gold.faces[f];
            Ptex::FaceInfo info{Ptex::Res(r.ulog2, r.vlog2)};
            info.adjedges = r.adjedges;
            info.flags = r.flags & Ptex::FaceInfo::flag_subface;
            for (int e = 0; e < 4; e++) info.adjfaces[e] = r.adjfaces[e];
            const uint8_t value = f == odd ? 6 : 5;
            ASSERT_TRUE(w->writeConstantFace(f, info, &value));
        }
        ASSERT_TRUE(w->close(werror)) << werror;
        w->release();
        ParsedFile pf;
        ASSERT_TRUE(PtexTestFile::parsePtexFile(out, pf, error)) << error;
        for (int f = 0; f < nfaces; f++) {
            const bool flagged = (pf.faces[f].flags & Ptex::FaceInfo::flag_nbconstant) != 0;
            if (odd < 0) {
                EXPECT_TRUE(flagged) << "face " << f << " with every face equal";
                continue;
            }
            // Exactly the faces away from the odd one keep the flag.
            const bool expected = f != odd && !touches(corners[f], corners[odd]);
            EXPECT_EQ(flagged, expected) << "face " << f << " with face " << odd << " different";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, NeighborhoodFlag,
                         ::testing::Values(Case{"cube_rgb8.ptx", "cube.obj"}, Case{"grid_rgba8.ptx", "grid4x4.obj"},
                                           Case{"val5_u16.ptx", "val5.obj"}, Case{"mixed_rgb8.ptx", "mixed.obj"},
                                           Case{"ico_rgb8.ptx", "icosahedron.obj"}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string n = info.param.obj;
                             return n.substr(0, n.find('.'));
                         });

}  // namespace
