// Helpers of the renderer tests: a scratch folder, small meshes written as
// OBJ, and their Ptex files made with makePtex.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "PolyMesh.h"
#include "PtexMake.h"

namespace rendertest {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("render-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

inline void writeObj(const std::string& path, const PolyMesh& m) {
    std::ofstream out(path);
    for (int i = 0; i < m.numVertices(); ++i) {
        out << "v " << m.positions[size_t(i) * 3] << " " << m.positions[size_t(i) * 3 + 1] << " "
            << m.positions[size_t(i) * 3 + 2] << "\n";
    }
    size_t k = 0;
    for (int c : m.counts) {
        out << "f";
        for (int j = 0; j < c; ++j) out << " " << m.indices[k++] + 1;
        out << "\n";
    }
}

// A quad (0..1 x 0..1) and a pentagon right of it, facing +z.
inline PolyMesh quadAndPentagon() {
    PolyMesh m;
    m.positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 2.5f, 0.5f, 0, 2, 1, 0};
    m.counts = {4, 5};
    m.indices = {0, 1, 2, 3, 1, 4, 5, 6, 2};
    return m;
}

// Two triangles forming a square, facing +z.
inline PolyMesh triangleSquare() {
    PolyMesh m;
    m.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    m.counts = {3, 3};
    m.indices = {0, 1, 2, 2, 1, 3};
    return m;
}

inline void makeFacesPtex(const PolyMesh& m, const std::string& path) {
    PtexMakeOptions opt;
    opt.pattern.kind = PatternKind::Faces;
    opt.resU = opt.resV = 16;
    std::string err;
    ASSERT_TRUE(makePtex(m, opt, path, err)) << err;
}

}  // namespace rendertest
