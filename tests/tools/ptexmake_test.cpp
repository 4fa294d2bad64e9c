// ptex-make: the Ptex layout of meshes (face numbering, sub-faces of n-gons,
// adjacency of quads and triangles: small cases, then every golden file and
// its mesh of quads, triangles and n-gons), files written by makePtex, and the
// program's messages.
#include <nlohmann/json.hpp>

#include <cmath>

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
