// ptex-make: the Ptex layout of meshes (face numbering, sub-faces of n-gons,
// adjacency of quads and triangles: small cases, then every golden file and
// its mesh of quads, triangles and n-gons), files written by makePtex, and the
// program's messages.
#include <nlohmann/json.hpp>

#include <cmath>

#include "MeshCheck.h"
#include "PtexLayout.h"
#include "tool_test_util.h"

using namespace tooltest;

namespace {

PolyMesh makeMesh(int numVertices, std::vector<int> counts, std::vector<int> indices) {
    PolyMesh m{std::vector<float>(size_t(numVertices) * 3, 0.0f), std::move(counts),
               std::move(indices)};
    for (int i = 0; i < numVertices; ++i) m.positions[size_t(i) * 3] = float(i);
    return m;
}

struct Adj {  // adjFace -1: a boundary (its adjEdge is not looked at)
    int face, edge, adjFace, adjEdge;
};

TEST(PtexMakeLayout, AdjacencyOfQuadsSubFacesAndTriangles) {
    // The first wholeFaces of the faces are whole faces, the rest sub-faces.
    const struct {
        const char* what;
        PolyMesh mesh;
        Ptex::MeshType type;
        size_t faces, wholeFaces;
        std::vector<Adj> adj;
    } cases[] = {
        // 3-4-5 over 0-1-2: the quads share edge 1 of the first and edge 3 of the second.
        {"two quads",
         makeMesh(6, {4, 4}, {0, 1, 4, 3, 1, 2, 5, 4}),
         Ptex::mt_quad,
         2,
         2,
         {{0, 1, 1, 3}, {1, 3, 0, 1}, {0, 0, -1, 0}, {0, 2, -1, 0}, {0, 3, -1, 0}}},
        {"the second wound the other way",
         makeMesh(6, {4, 4}, {0, 1, 4, 3, 1, 4, 5, 2}),
         Ptex::mt_quad,
         2,
         2,
         {{0, 1, 1, 0}, {1, 0, 0, 1}}},
        // A pentagon's five sub-faces form a ring: edge 1 meets the next one's edge 2.
        {"quad and pentagon",
         makeMesh(9, {4, 5}, {0, 1, 2, 3, 4, 5, 6, 7, 8}),
         Ptex::mt_quad,
         6,
         1,
         {{1, 1, 2, 2}, {2, 2, 1, 1}, {5, 1, 1, 2}, {1, 2, 5, 1}, {3, 0, -1, 0}, {3, 3, -1, 0}}},
        {"triangle mesh",
         makeMesh(4, {3, 3}, {0, 1, 2, 2, 1, 3}),
         Ptex::mt_triangle,
         2,
         2,
         {{0, 1, 1, 0}, {1, 0, 0, 1}, {0, 3, -1, 0}, {1, 3, -1, 0}}},
        {"an edge of three triangles is a boundary",
         makeMesh(5, {3, 3, 3}, {0, 1, 2, 1, 0, 3, 0, 1, 4}),
         Ptex::mt_triangle,
         3,
         3,
         {{0, 0, -1, 0}, {1, 0, -1, 0}, {2, 0, -1, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PtexLayout l;
        std::string err;
        ASSERT_TRUE(buildPtexLayout(c.mesh, c.type, l, err)) << err;
        ASSERT_EQ(l.faces.size(), c.faces);
        for (const Adj& a : c.adj) {
            const PtexFaceLayout& f = l.faces[size_t(a.face)];
            EXPECT_EQ(f.adjfaces[a.edge], a.adjFace) << "face " << a.face << " edge " << a.edge;
            EXPECT_TRUE(a.adjFace < 0 || f.adjedges[a.edge] == a.adjEdge)
                << "face " << a.face << " edge " << a.edge;
        }
        for (size_t f = 0; f < c.faces; ++f)
            EXPECT_EQ(l.faces[f].isSubface(), f >= c.wholeFaces) << "face " << f;
    }
    PtexLayout l;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(cases[2].mesh, Ptex::mt_quad, l, err));
    EXPECT_EQ(l.firstFace, (std::vector<int>{0, 1}));
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(l.faces[size_t(1 + k)].corner, k);  // the pentagon corner at (0,0)
    EXPECT_FALSE(buildPtexLayout(makeMesh(4, {4}, {0, 1, 2, 3}), Ptex::mt_triangle, l, err));
    EXPECT_NE(err.find("triangle"), std::string::npos) << err;
    EXPECT_FALSE(buildPtexLayout(makeMesh(3, {3}, {0, 1, 7}), Ptex::mt_quad, l, err));
    EXPECT_NE(err.find("out of range"), std::string::npos) << err;
    for (const PolyMesh& bad : {makeMesh(3, {2, 1}, {0, 1, 2}), makeMesh(3, {4}, {0, 1, 2}),
                                makeMesh(3, {}, {}), makeMesh(3, {3}, {0, 1, 2, 0})}) {
        EXPECT_FALSE(buildPtexLayout(bad, Ptex::mt_quad, l, err));
    }
}

// Every golden .ptx stores the adjacency ptex-make computes for its mesh.
TEST(PtexMakeLayout, AdjacencyMatchesEveryGoldenFile) {
    const fs::path data = ZENTO_TESTDATA_DIR;
    if (!fs::is_directory(data / "ptex") || !fs::is_directory(data / "mesh"))
        GTEST_SKIP() << "no golden data";
    std::vector<PolyMesh> meshes;
    for (const auto& entry : fs::directory_iterator(data / "mesh")) {
        std::string error;
        if (entry.path().extension() != ".obj") continue;
        ASSERT_TRUE(loadObjMesh(entry.path().string(), meshes.emplace_back(), error)) << error;
    }
    int compared = 0;
    for (const std::string& ptx : goldenFiles()) {
        SCOPED_TRACE(ptx);
        const nlohmann::json dump = nlohmann::json::parse(std::ifstream(ptx + ".json"));
        PolyMesh fromPtx;
        std::string error;
        ASSERT_TRUE(loadPtxMesh(ptx, fromPtx, error))
            << error;  // the mesh metadata rebuilds its OBJ
        const auto mesh = std::find_if(meshes.begin(), meshes.end(), [&](const PolyMesh& m) {
            return m.counts == fromPtx.counts && m.indices == fromPtx.indices &&
                   m.positions == fromPtx.positions;
        });
        ASSERT_NE(mesh, meshes.end()) << "no golden mesh has its polygons";
        PtexLayout layout;
        const int type = dump["header"]["mesh_type_id"].get<int>();
        ASSERT_TRUE(
            buildPtexLayout(*mesh, type == 0 ? Ptex::mt_triangle : Ptex::mt_quad, layout, error))
            << error;
        const nlohmann::json& faces = dump["faces"];
        ASSERT_EQ(layout.faces.size(), faces.size());
        for (size_t f = 0; f < faces.size(); ++f) {
            for (size_t e = 0; e < 4; ++e) {
                const int adj = faces[f]["adjfaces"][e].get<int>();
                EXPECT_EQ(layout.faces[f].adjfaces[e], adj) << "face " << f << " edge " << e;
                if (adj >= 0) {
                    EXPECT_EQ(layout.faces[f].adjedges[e], faces[f]["adjedges"][e].get<int>()) << f;
                }
            }
            EXPECT_EQ(layout.faces[f].isSubface(), faces[f]["subface"].get<bool>()) << "face " << f;
        }
        ++compared;
    }
    EXPECT_GE(compared, 5);
}

TEST(PtexMakeWrite, FilesHoldResolutionsAndThePatternInEveryDataType) {
    TempDir dir;
    PtexMakeOptions opt;
    opt.resU = 32;
    opt.resV = 16;
    std::string err;
    ASSERT_TRUE(makePtex(quadAndPentagon(), opt, dir.file("qp.ptx"), err)) << err;
    Ptex::String perr;
    PtexTexture* t = PtexTexture::open(dir.file("qp.ptx").c_str(), perr);
    ASSERT_NE(t, nullptr) << perr;
    EXPECT_TRUE(t->meshType() == Ptex::mt_quad && t->numFaces() == 6 && t->hasMipMaps());
    EXPECT_EQ(t->getFaceInfo(0).res, Ptex::Res(5, 4));
    EXPECT_EQ(t->getFaceInfo(1).res, Ptex::Res(4, 3));  // sub-faces get half
    t->release();
    for (Ptex::DataType dt : {Ptex::dt_uint8, Ptex::dt_uint16, Ptex::dt_half, Ptex::dt_float}) {
        opt.dataType = dt;
        opt.channels = 5;
        opt.alphaChannel = 3;
        opt.resU = opt.resV = 8;
        opt.pattern.kind = PatternKind::Gradient;
        ASSERT_TRUE(makePtex(quadAndPentagon(), opt, dir.file("g.ptx"), err)) << err;
        t = PtexTexture::open(dir.file("g.ptx").c_str(), perr);
        ASSERT_NE(t, nullptr) << perr;
        EXPECT_EQ(t->dataType(), dt);
        float px[5];
        t->getPixel(0, 6, 1, px, 0, 5);
        const float tol = dt == Ptex::dt_uint8 ? 0.003f : 0.001f;
        // Red and the first extra channel are u, green is v, alpha is 1.
        EXPECT_TRUE(std::fabs(px[0] - 6.5f / 8) < tol && std::fabs(px[1] - 1.5f / 8) < tol &&
                    std::fabs(px[3] - 1.0f) < tol && std::fabs(px[4] - 6.5f / 8) < tol)
            << dt << ": " << px[0] << " " << px[1] << " " << px[3] << " " << px[4];
        t->release();
    }
    opt.channels = 3;  // alpha channel 3 of 3
    EXPECT_FALSE(makePtex(quadAndPentagon(), opt, dir.file("a.ptx"), err));
    EXPECT_FALSE(
        makePtex(quadAndPentagon(), PtexMakeOptions(), dir.file("no-such-dir/c.ptx"), err));
    EXPECT_FALSE(err.empty());
}

PolyMesh flatMesh(std::vector<float> xy, std::vector<int> counts, std::vector<int> indices) {
    PolyMesh m{{}, std::move(counts), std::move(indices)};
    for (size_t i = 0; i < xy.size(); i += 2)
        m.positions.insert(m.positions.end(), {xy[i], xy[i + 1], 0});
    return m;
}

// What checkMesh finds, with the first polygon (or vertex) of each finding, and the repairs.
TEST(PtexMakeMeshCheck, FindingsAndRepairs) {
    const PolyMesh qp = quadAndPentagon();
    PolyMesh reversed = qp;  // the pentagon wound against the quad
    std::reverse(reversed.indices.begin() + 5, reversed.indices.end());
    using C = MeshReport::Count;
    const struct {
        const char* what;
        PolyMesh mesh;
        int boundary;
        C opposed, nonManifold, degenerate, folded, duplicates;
    } cases[] = {
        {"sound", qp, 7, {}, {}, {}, {}, {}},
        {"pentagon reversed", reversed, 7, {1, 0, 1}, {}, {}, {}, {}},
        {"an edge of three triangles (makeMesh puts the vertices on a line: no area)",
         makeMesh(5, {3, 3, 3}, {0, 1, 2, 1, 0, 3, 0, 1, 4}),
         6,
         {},
         {1, 0},
         {3, 0},
         {},
         {}},
        {"a repeated corner",
         flatMesh({0, 0, 1, 0, 0, 1}, {4}, {0, 1, 2, 2}),
         3,
         {},
         {},
         {1, 0},
         {},
         {}},
        {"an L whose centre is outside",
         flatMesh({0, 0, 4, 0, 4, .2f, .2f, .2f, .2f, 4, 0, 4}, {6}, {0, 1, 2, 3, 4, 5}),
         6,
         {},
         {},
         {},
         {1, 0},
         {}},
        {"a dart split outside along 0-2",
         flatMesh({0, 0, 2, 1, 0, 2, .5f, 1}, {4}, {0, 1, 2, 3}),
         4,
         {},
         {},
         {},
         {1, 0},
         {}},
        {"two triangles apart at the same place",
         flatMesh({0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 1, 1}, {3, 3}, {0, 1, 2, 4, 3, 5}),
         6,
         {},
         {},
         {},
         {},
         {2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const MeshReport r = checkMesh(c.mesh, true);
        EXPECT_EQ(r.boundaryEdges.count, c.boundary);
        for (const auto& [got, want] : {std::pair{r.opposedEdges, c.opposed},
                                        {r.nonManifoldEdges, c.nonManifold},
                                        {r.degenerate, c.degenerate},
                                        {r.folded, c.folded},
                                        {r.duplicateVertices, c.duplicates}}) {
            EXPECT_EQ(got.count, want.count);
            EXPECT_EQ(got.first, want.count ? want.first : -1);
        }
        EXPECT_EQ(r.opposedEdges.other, c.opposed.count ? c.opposed.other : -1);
    }
    // --fix-winding: the pentagon turns, corner 0 first; of a cube's six quads with one turned,
    // that one turns back.
    EXPECT_EQ(fixWinding(reversed), 1);
    EXPECT_EQ(reversed.indices, qp.indices);
    PolyMesh cube =
        flatMesh({0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1}, {4, 4, 4, 4, 4, 4},
                 {0, 3, 2, 1, 4, 5, 6, 7, 0, 1, 5, 4, 1, 2, 6, 5, 2, 3, 7, 6, 7, 4, 0, 3});
    EXPECT_EQ(checkMesh(cube, true).opposedEdges.count, 4);
    EXPECT_EQ(fixWinding(cube), 1);
    EXPECT_EQ(std::vector<int>(cube.indices.end() - 4, cube.indices.end()),
              (std::vector<int>{7, 3, 0, 4}));
    EXPECT_EQ(checkMesh(cube, true).opposedEdges.count, 0);
    // --weld: the two triangles share their edge; a triangle collapsing to an edge is dropped.
    PolyMesh apart = cases[6].mesh;
    apart.counts.push_back(3);
    apart.indices.insert(apart.indices.end(), {0, 3, 1});
    int dropped = 0;
    EXPECT_EQ(weldVertices(apart, 0.0, dropped), 2);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(apart.numVertices(), 4);
    EXPECT_EQ(apart.indices, (std::vector<int>{0, 1, 2, 2, 1, 3}));
    EXPECT_EQ(checkMesh(apart, false).boundaryEdges.count, 4);
    PolyMesh near =
        flatMesh({0, 0, 1, 0, 0, 1, 1.001f, 0, 0, 1.001f, 1, 1}, {3, 3}, {0, 1, 2, 4, 3, 5});
    EXPECT_EQ(weldVertices(near, 0.0, dropped), 0);
    EXPECT_EQ(weldVertices(near, 0.01, dropped), 2);
}

// Labels on triangle faces stay inside the triangle, clear of the long edge.
TEST(PtexMakeWrite, LabelsOnTrianglesStayInside) {
    TexelPattern labels;
    for (int id : {7, 42, 123}) {
        int strokes = 0;
        for (double v = 0.0025; v < 1; v += 0.005) {
            for (double u = 0.0025; u + v < 1; u += 0.005) {
                const bool stroke = labels.sample(id, u, v, Vec3{}, true)[0] < 0.1f;
                strokes += stroke;
                EXPECT_FALSE(stroke && (u + v > 0.93 || u < 0.07 || v < 0.07))
                    << id << " " << u << " " << v;
            }
        }
        EXPECT_GT(strokes, 500) << id;
    }
}

// The program reports the mesh, warns about what spoils its faces, repairs on request and sums
// up what it wrote.
TEST(PtexMakeTool, MeshWarningsRepairsAndSummary) {
    TempDir dir;
    std::ofstream(dir.file("qp.obj"))
        << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2.5 0.5 0\n"
        << "v 2 1 0\nf 1 2 3 4\nf 2 3 7 6 5\n";
    const std::string make =
        std::string(PTEX_MAKE_EXE) + " " + dir.file("qp.obj") + " -o " + dir.file("qp.ptx");
    expectRun(make, 0,
              {"mesh: 7 vertices, 2 polygons, 8 edges (7 on the boundary)",
               "warning: 1 edge joins polygons wound against each other (first: polygons 0 and 1): "
               "filters show a seam there; --fix-winding orients",
               "qp.ptx: 2 polygons, 6 quad faces (5 sub-faces), 32x32 to 64x64 texels, ",
               " KiB, 1 warning\n"});
    expectRun(make + " --fix-winding --weld 0", 0,
              {"welded 0 vertices", "reversed 1 polygon to match their neighbours",
               "mesh: 7 vertices", " KiB, no warnings"});
    PolyMesh written;
    std::string err;
    ASSERT_TRUE(loadPtxMesh(dir.file("qp.ptx"), written, err)) << err;
    EXPECT_EQ(written.indices, quadAndPentagon().indices);
}

TEST(PtexMakeTool, TheProgramAndTheLoadersGiveClearErrors) {
    TempDir dir;
    PolyMesh m;
    std::string err;
    std::ofstream(dir.file("empty.obj")) << "# nothing\n";
    std::ofstream(dir.file("q.obj")) << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
    EXPECT_FALSE(loadObjMesh(dir.file("empty.obj"), m, err));
    EXPECT_NE(err.find("no polygons"), std::string::npos) << err;
    EXPECT_FALSE(loadPtxMesh(dir.file("q.obj"), m, err));
    EXPECT_NE(err.find("Not a ptex file"), std::string::npos) << err;
    const std::string tool = std::string(PTEX_MAKE_EXE) + " ", out = " -o " + dir.file("x.ptx");
    expectRun(tool + dir.file("missing.obj") + out, 1, {"cannot open mesh file"});
    expectRun(tool + dir.file("q.obj") + out + " --pattern nope", 1, {"unknown pattern"});
    expectRun(tool + dir.file("q.obj") + out + " --res 30", 1);
    const std::string said =
        expectRun(tool + dir.file("q.obj") + " -o " + dir.file("q.obj/x.ptx"), 1,
                  {"cannot write " + dir.file("q.obj/x.ptx") + ": Not a directory"});
    EXPECT_EQ(said.find(".new"), std::string::npos) << said;
    expectRun(tool + dir.file("q.obj") + out + " --res 16x8 -t half", 0);
    ASSERT_TRUE(loadPtxMesh(dir.file("x.ptx"), m, err)) << err;
    EXPECT_EQ(m.counts, std::vector<int>{4});
}

}  // namespace
