// The adjacency ptex-make computes for each golden mesh equals the adjacency
// stored in every golden .ptx made from that mesh (read from its JSON dump).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "PolyMesh.h"
#include "PtexLayout.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const fs::path kData = ZENTO_TESTDATA_DIR;

std::vector<int> metaInts(const json& dump, const char* key) {
    for (const json& m : dump["metadata"]) {
        if (m["key"] == key) return m["value"].get<std::vector<int>>();
    }
    return {};
}

TEST(PtexMakeGolden, AdjacencyMatchesEveryGoldenFile) {
    if (!fs::is_directory(kData / "ptex") || !fs::is_directory(kData / "mesh")) {
        GTEST_SKIP() << "golden test data not found at " << kData;
    }
    std::vector<std::pair<std::string, PolyMesh>> meshes;
    for (const auto& entry : fs::directory_iterator(kData / "mesh")) {
        if (entry.path().extension() != ".obj") continue;
        PolyMesh mesh;
        std::string error;
        ASSERT_TRUE(loadObjMesh(entry.path().string(), mesh, error)) << error;
        meshes.emplace_back(entry.path().filename().string(), std::move(mesh));
    }
    ASSERT_FALSE(meshes.empty());
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(kData / "ptex")) {
        if (entry.path().extension() != ".json") continue;
        std::ifstream in(entry.path());
        const json dump = json::parse(in);
        const std::vector<int> counts = metaInts(dump, "PtexFaceVertCounts");
        const std::vector<int> indices = metaInts(dump, "PtexFaceVertIndices");
        const PolyMesh* mesh = nullptr;
        std::string meshName;
        for (const auto& [name, m] : meshes) {
            if (m.counts == counts && m.indices == indices) {
                mesh = &m;
                meshName = name;
            }
        }
        ASSERT_NE(mesh, nullptr) << entry.path().filename() << ": no golden mesh has its polygons";
        SCOPED_TRACE(entry.path().filename().string() + " from " + meshName);
        const Ptex::MeshType mt = dump["header"]["mesh_type_id"].get<int>() == 0 ? Ptex::mt_triangle : Ptex::mt_quad;
        PtexLayout layout;
        std::string error;
        ASSERT_TRUE(buildPtexLayout(*mesh, mt, layout, error)) << error;
        const json& faces = dump["faces"];
        ASSERT_EQ(layout.faces.size(), faces.size());
        for (size_t f = 0; f < faces.size(); ++f) {
            const std::vector<int> adjfaces = faces[f]["adjfaces"].get<std::vector<int>>();
            const std::vector<int> adjedges = faces[f]["adjedges"].get<std::vector<int>>();
            for (int e = 0; e < 4; ++e) {
                EXPECT_EQ(layout.faces[f].adjfaces[e], adjfaces[size_t(e)]) << "face " << f << " edge " << e;
                if (adjfaces[size_t(e)] >= 0) {
                    EXPECT_EQ(layout.faces[f].adjedges[e], adjedges[size_t(e)]) << "face " << f << " edge " << e;
                }
            }
            EXPECT_EQ(layout.faces[f].isSubface(), faces[f]["subface"].get<bool>()) << "face " << f;
        }
        ++compared;
    }
    EXPECT_GE(compared, 5);
}

TEST(PtexMakeGolden, MeshMetadataOfAGoldenFileRebuildsItsObj) {
    const fs::path ptx = kData / "ptex" / "mixed_rgb8.ptx";
    if (!fs::exists(ptx)) GTEST_SKIP() << "golden test data not found at " << kData;
    PolyMesh fromPtx, fromObj;
    std::string error;
    ASSERT_TRUE(loadPtxMesh(ptx.string(), fromPtx, error)) << error;
    ASSERT_TRUE(loadObjMesh((kData / "mesh" / "mixed.obj").string(), fromObj, error)) << error;
    EXPECT_EQ(fromPtx.counts, fromObj.counts);
    EXPECT_EQ(fromPtx.indices, fromObj.indices);
    EXPECT_EQ(fromPtx.positions, fromObj.positions);
}

}  // namespace
