// The shading lookup end to end through the loaded plugin library: hits inside every
// render triangle of the golden meshes, shaded with the instance's own model (mesh
// lists, the hit object offers no mesh interface) and with the host's mesh interface
// (no lists), against a direct filter evaluation at the face and (u, v) the face
// corners give. The hit object sits away from the origin in world space, so the hit
// point and the footprint reach mesh space only through the host's mappings.
#include "lookup_fixture.h"

using namespace lookuptest;

namespace {

struct Case {
    const char* obj;
    const char* ptx;
    int filterType;
    float sharpness;
    bool ownModel;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << c.ptx << " filter " << c.filterType << (c.ownModel ? " own model" : " host mesh");
}

class LookupEndToEnd : public testing::TestWithParam<Case> {};

TEST_P(LookupEndToEnd, MatchesTheFilterAtTheMappedFace) {
    const Case& c = GetParam();
    Scene scene;
    if (!scene.load(c.obj, c.ptx, {0.5f, -0.25f, 0.75f})) GTEST_SKIP() << "golden data not found under " << ZENTO_TESTDATA_DIR;
    for (size_t f = 0; f < scene.facesHit.size(); ++f) ASSERT_GT(scene.facesHit[f], 0) << "no sample in Ptex face " << f;
    scene.expect(c.filterType, c.sharpness);

    Instance in;
    ASSERT_NE(in.tex, nullptr) << "plugin not loaded from " << ZENTO_PLUGIN_PATH;
    in.param("ptex_file").setString(scene.ptx.c_str());
    in.param("filter_type").setInt(c.filterType);
    in.param("sharpness").setFloat(c.sharpness);
    if (c.ownModel) scene.setLists(in);
    scene.host.offerInterface(EXT_MESH_INFO, !c.ownModel);
    ZentoRenderer renderer;
    renderer.getRenderSetup().threadCount = 2;
    in.pi->renderBegin(&renderer);
    in.pi->frameBegin(&renderer);
    std::vector<AColor> got;
    for (size_t i = 0; i < scene.samples.size(); ++i) {
        const Sample& s = scene.samples[i];
        got.push_back(scene.shade(in, s, int(i % 2), int(i % 40), uint32_t(i + 1)));
        EXPECT_TRUE(near(got.back(), s.expected)) << "face " << s.face << " (u, v) = (" << s.u << ", " << s.v
                                                  << "): " << got.back() << " expected " << s.expected;
    }
    // The same slot and key again: the cached colour itself.
    for (size_t i = 0; i < scene.samples.size(); ++i) {
        if (i + 40 >= scene.samples.size()) {  // entries not overwritten since
            EXPECT_EQ(scene.shade(in, scene.samples[i], int(i % 2), int(i % 40), uint32_t(i + 1)), got[i]) << i;
        }
    }
    in.pi->frameEnd(&renderer);
    in.pi->renderEnd(&renderer);
}

INSTANTIATE_TEST_SUITE_P(Golden, LookupEndToEnd,
                         testing::Values(Case{"mixed.obj", "mixed_rgb8.ptx", 2, 0.0f, true},
                                         Case{"mixed.obj", "mixed_rgb8.ptx", 2, 0.0f, false},
                                         Case{"mixed.obj", "mixed_rgb8.ptx", 4, 0.5f, true},
                                         Case{"mixed.obj", "mixed_rgb8.ptx", 4, 0.5f, false},
                                         Case{"icosahedron.obj", "ico_rgb8.ptx", 2, 0.0f, true},
                                         Case{"icosahedron.obj", "ico_rgb8.ptx", 4, 0.5f, false}));

}  // namespace
