// The absorbing allocations of the built plugin library, refused for real: the
// process's address space is capped (RLIMIT_AS) around one host call, so the
// module's own allocator sees the heap refuse. A refused result-table growth
// answers white uncached, a refused original-mesh table leaves the frame
// without its own model (the host's mesh interface answers), a refused
// face-start table answers white; each refusal is reported on the debugger
// output (stderr) and nothing leaves the host call.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "engine_test_files.h"
#include "zento/HostMesh.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoPluginHost.h"
#include "zento/ZentoPluginParameter.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // the sanitizers' allocators do not live under a cap
#else
constexpr bool kSanitized = false;
#endif

// Runs `call` with the address space capped at its current size plus
// `headroom` bytes and stderr going to a file; returns what was written there.
template <class Call>
std::string underCap(size_t headroom, Call&& call) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit old{};
    getrlimit(RLIMIT_AS, &old);
    const std::string log = testing::TempDir() + "module-alloc-" + std::to_string(getpid());
    std::fflush(stderr);
    const int saved = dup(2);
    FILE* sink = std::fopen(log.c_str(), "w+");
    dup2(fileno(sink), 2);
    rlimit capped = old;
    capped.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + headroom;
    setrlimit(RLIMIT_AS, &capped);
    call();
    setrlimit(RLIMIT_AS, &old);
    dup2(saved, 2);
    close(saved);
    std::fclose(sink);
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(log.c_str());
    return text;
}

// A host mesh that claims far more original faces than it has.
struct HugeHostMesh : HostMesh {
    int getNumOrigFaces(double) const override { return 400000000; }
    int getFaceDegree(double, int) const override { return 4; }
};

const Vector3f kSquare[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
const int kDegree[1] = {4}, kCorners[4] = {0, 1, 2, 3}, kTriangles[6] = {0, 1, 2, 0, 2, 3};

class ModuleAlloc : public testing::Test {
protected:
    void SetUp() override {
        if (kSanitized) GTEST_SKIP() << "needs the plain C library heap";
        file = writeTestTexture("module_alloc.ptx", 3, -1);
        ASSERT_FALSE(file.empty());
        ASSERT_TRUE(plugin && pi && tex);
        ASSERT_TRUE(square.setPolygons(kSquare, 4, kDegree, 1, kCorners, 4));
        pi->getParameter("ptex_file")->setString(file.c_str());
        pi->getParameter("filter_type")->setInt(2);
        renderer.getRenderSetup().threadCount = 1;
    }
    void TearDown() override {
        if (!plugin) return;
        pi->renderEnd(&renderer);
        host.destroyPlugin(plugin);
    }
    // n copies of the unit square as the geometry lists (own model).
    void setSquares(int n) {
        std::vector<int> corners, degrees(size_t(n), 4), triangles;
        corners.reserve(size_t(n) * 4);
        triangles.reserve(size_t(n) * 6);
        for (int i = 0; i < n; ++i) {
            corners.insert(corners.end(), kCorners, kCorners + 4);
            triangles.insert(triangles.end(), kTriangles, kTriangles + 6);
        }
        pi->getParameter("vertices")->setVectorList(kSquare, 4);
        pi->getParameter("origFaces")->setIntList(corners.data(), int(corners.size()));
        pi->getParameter("origFacesDegree")->setIntList(degrees.data(), n);
        pi->getParameter("faces")->setIntList(triangles.data(), int(triangles.size()));
    }
    AColor shadeAt(HostMesh& hit, int slot, uint32_t key) {
        ShadeContext sc;
        hit.fillHit(sc, 0, 0.25f, 0.5f);
        sc.threadIndex = 0, sc.resultSlot = slot, sc.resultKey = key;
        return tex->getTexColor(sc);
    }

    ZentoPluginHost host;
    Plugin* plugin = host.loadLibrary(ZENTO_PLUGIN_PATH) ? host.createPlugin("TexFacet") : nullptr;
    ZentoPluginInterface* pi = getZentoPluginInterface(plugin);
    TextureInterface* tex = getTextureInterface(plugin);
    ZentoRenderer renderer;
    HostMesh square;
    std::string file;
    const AColor white{1, 1, 1, 1};
};

TEST_F(ModuleAlloc, RefusedResultTableGrowthAnswersWhiteUncached) {
    setSquares(1);
    pi->renderBegin(&renderer);
    pi->frameBegin(&renderer);
    const AColor texel = shadeAt(square, 0, 1);
    ASSERT_NE(texel, white);
    AColor refused;
    const std::string report =
        underCap(16 << 20, [&] { refused = shadeAt(square, 50000000, 2); });  // 1 GB of entries
    EXPECT_EQ(refused, white);
    EXPECT_EQ(report.rfind("[operator new] failed (size is 1000000200)\n", 0), 0u) << report;
    EXPECT_EQ(shadeAt(square, 0, 1), texel);  // the table is as it was
    EXPECT_EQ(shadeAt(square, 1, 3), texel);
    pi->frameEnd(&renderer);
}

TEST_F(ModuleAlloc, RefusedMeshTablesLeaveTheHostInterfaceToAnswer) {
    setSquares(4000000);  // the first model table alone is 32 MB
    pi->renderBegin(&renderer);
    const std::string report = underCap(16 << 20, [&] { pi->frameBegin(&renderer); });
    EXPECT_NE(report.find("[operator new] failed (size is 32000000)\n"), std::string::npos)
        << report;
    EXPECT_NE(shadeAt(square, 0, 1), white);  // no model: the hit's mesh interface answers
    square.offerInterface(EXT_MESH_INFO, false);
    EXPECT_EQ(shadeAt(square, 1, 2), white);  // neither: the fallback
    pi->frameEnd(&renderer);
    pi->frameBegin(&renderer);  // memory back: the frame has its own model again
    EXPECT_NE(shadeAt(square, 2, 3), white);
    pi->frameEnd(&renderer);
}

TEST_F(ModuleAlloc, RefusedFaceStartTableAnswersWhite) {
    HugeHostMesh huge;  // no geometry lists: the host's interface answers
    ASSERT_TRUE(huge.setPolygons(kSquare, 4, kDegree, 1, kCorners, 4));
    pi->renderBegin(&renderer);
    pi->frameBegin(&renderer);
    AColor refused;
    const std::string report = underCap(16 << 20, [&] { refused = shadeAt(huge, 0, 1); });
    EXPECT_EQ(refused, white);
    EXPECT_EQ(report.rfind("[operator new] failed (size is 1600000000)\n", 0), 0u) << report;
    EXPECT_NE(shadeAt(square, 1, 2), white) << "a table of the true size is built afterwards";
    pi->frameEnd(&renderer);
}

}  // namespace
