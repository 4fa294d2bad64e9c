// Helpers of the tool tests: a scratch folder, running a program, the golden
// files, small meshes and their Ptex files made with makePtex.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PolyMesh.h"
#include "PtexMake.h"

namespace tooltest {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path =
        fs::temp_directory_path() / ("tool-test-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

// Runs a command line with stderr joined to stdout; returns the exit status and the output.
inline std::pair<int, std::string> run(const std::string& command) {
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = p ? ::pclose(p) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), out};
}

// Runs a command line; expects the exit status and each of `texts` in the output. Returns the
// output.
inline std::string expectRun(const std::string& command, int status,
                             const std::vector<std::string>& texts = {}) {
    const auto [got, out] = run(command);
    EXPECT_EQ(got, status) << command << "\n" << out.substr(0, 2000);
    for (const std::string& t : texts)
        EXPECT_NE(out.find(t), std::string::npos) << t << " in:\n" << out;
    return out;
}

inline std::string quote(const std::string& s) {
    return "'" + s + "'";
}

// The golden .ptx files, sorted; empty when the test data is missing.
inline std::vector<std::string> goldenFiles() {
    std::vector<std::string> files;
    const fs::path dir = fs::path(ZENTO_TESTDATA_DIR) / "ptex";
    for (const auto& e :
         fs::is_directory(dir) ? fs::directory_iterator(dir) : fs::directory_iterator()) {
        if (e.path().extension() == ".ptx") files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A quad (0..1 x 0..1) and a pentagon right of it, facing +z.
inline PolyMesh quadAndPentagon() {
    return PolyMesh{{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 2.5f, 0.5f, 0, 2, 1, 0},
                    {4, 5},
                    {0, 1, 2, 3, 1, 4, 5, 6, 2}};
}

// Two triangles forming a square, facing +z.
inline PolyMesh triangleSquare() {
    return PolyMesh{{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {3, 3}, {0, 1, 2, 2, 1, 3}};
}

// A Ptex file of constant faces, one colour each.
inline void makeFacesPtex(const PolyMesh& m, const std::string& path) {
    PtexMakeOptions opt;
    opt.pattern.kind = PatternKind::Faces;
    opt.resU = opt.resV = 16;
    std::string err;
    ASSERT_TRUE(makePtex(m, opt, path, err)) << err;
}

}  // namespace tooltest
