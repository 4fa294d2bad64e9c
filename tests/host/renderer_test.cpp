#include <gtest/gtest.h>

#include "zento/ShadingInterfaces.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

namespace {

class Hit : public HitObject {
public:
    void* getInterface(InterfaceID id) override { return id == HitPointMapping::ID ? &mapping : nullptr; }

    class Mapping : public HitPointMapping {
    public:
        Vector3f mapHitPoint(const ShadeContext&, const Vector3f& p) const override { return p + Vector3f{1, 0, 0}; }
    } mapping;
};

}  // namespace

TEST(RenderSetup, InterfacesByIdReplaceAndRemove) {
    RenderSetup setup;
    EXPECT_EQ(setup.progress, nullptr);
    EXPECT_EQ(setup.threadCount, 1);
    FilterScaleInterface scale{0.5f};
    AssetPathFlagInterface flag{1};
    EXPECT_TRUE(setup.setInterface(FilterScaleInterface::ID, &scale));
    EXPECT_TRUE(setup.setInterface(AssetPathFlagInterface::ID, &flag));
    EXPECT_EQ(queryInterface<FilterScaleInterface>(&setup), &scale);
    EXPECT_EQ(queryInterface<FilterScaleInterface>(&setup)->filterMultiplier, 0.5f);
    EXPECT_EQ(queryInterface<AssetPathFlagInterface>(&setup)->value, 1);
    FilterScaleInterface other{2.0f};
    EXPECT_TRUE(setup.setInterface(FilterScaleInterface::ID, &other));
    EXPECT_EQ(setup.getInterface(EXT_FILTER_SCALE), &other);
    EXPECT_TRUE(setup.setInterface(FilterScaleInterface::ID, nullptr));
    EXPECT_EQ(setup.getInterface(EXT_FILTER_SCALE), nullptr);
    EXPECT_EQ(setup.getInterface(EXT_ASSET_PATH_FLAG), &flag);
    EXPECT_EQ(queryInterface<FilterScaleInterface>(static_cast<const RenderSetup*>(nullptr)), nullptr);
}

TEST(RenderSetup, TableHasAFixedCapacity) {
    RenderSetup setup;
    int dummy = 0;
    for (int i = 0; i < RenderSetup::MAX_INTERFACES; ++i) EXPECT_TRUE(setup.setInterface(1000 + i, &dummy));
    EXPECT_FALSE(setup.setInterface(5, &dummy));
    EXPECT_TRUE(setup.setInterface(1000, &dummy));  // replacing still works
}

TEST(FilterScaleInterface, MultiplierIsTheFirstDataMember) {
    FilterScaleInterface f{0.25f};
    EXPECT_EQ(*reinterpret_cast<float*>(&f), 0.25f);
}

TEST(HitObject, QueryInterfaceByType) {
    Hit hit;
    ShadeContext sc;
    HitPointMapping* m = queryInterface<HitPointMapping>(&hit);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->mapHitPoint(sc, Vector3f{1, 2, 3}), (Vector3f{2, 2, 3}));
    EXPECT_EQ(queryInterface<MeshInfoInterface>(&hit), nullptr);
    EXPECT_EQ(queryInterface<WorldPointMapping>(static_cast<HitObject*>(nullptr)), nullptr);
}

TEST(InterfaceIds, Values) {
    EXPECT_EQ(EXT_MESH_INFO, 0x77ED7DA5u);
    EXPECT_EQ(EXT_HIT_POINT_MAPPING, 2006012001u);
    EXPECT_EQ(EXT_WORLD_POINT_MAPPING, 2011092901u);
    EXPECT_EQ(EXT_FILTER_SCALE, 2012011901u);
    EXPECT_EQ(EXT_ASSET_PATH_FLAG, 0x77ED2C65u);
}

TEST(ZentoRenderer, HoldsSetupAndFrame) {
    ZentoRenderer r;
    r.getRenderSetup().threadCount = 8;
    r.getFrameState().time = 1.5;
    r.getFrameState().frameNumber = 12;
    const ZentoRenderer& c = r;
    EXPECT_EQ(c.getRenderSetup().threadCount, 8);
    EXPECT_EQ(c.getFrameState().time, 1.5);
    EXPECT_EQ(c.getFrameState().frameNumber, 12);
    EXPECT_EQ(c.getNumPluginFrameBegins(), 0);
}
