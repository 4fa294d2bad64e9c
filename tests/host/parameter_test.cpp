#include <gtest/gtest.h>

#include <climits>

#include "zento/ZentoPluginParameter.h"

using namespace ZUtils;

TEST(PluginParameter, NoKeyframeReadsZero) {
    ZentoPluginParameter p("x", TYPE_FLOAT);
    EXPECT_EQ(p.numKeyframes(), 0);
    EXPECT_EQ(p.readFloat(0.0), 0.0f);
    EXPECT_EQ(p.readInt(3.0), 0);
    EXPECT_EQ(p.readCount(0.0), 0);
}

TEST(PluginParameter, LinearFloatBetweenKeyframesHeldOutside) {
    ZentoPluginParameter p("width", TYPE_FLOAT);
    p.setFloat(1.0f, 0.0);
    p.setFloat(3.0f, 2.0);
    EXPECT_FLOAT_EQ(p.readFloat(-5.0), 1.0f);
    EXPECT_FLOAT_EQ(p.readFloat(0.0), 1.0f);
    EXPECT_FLOAT_EQ(p.readFloat(0.5), 1.5f);
    EXPECT_FLOAT_EQ(p.readFloat(1.0), 2.0f);
    EXPECT_FLOAT_EQ(p.readFloat(2.0), 3.0f);
    EXPECT_FLOAT_EQ(p.readFloat(9.0), 3.0f);
    EXPECT_TRUE(p.isAnimated());
}

TEST(PluginParameter, SteppedFloatTakesLastKeyframeAtOrBefore) {
    ZentoPluginParameter p("width", TYPE_FLOAT);
    p.setInterpolation(Interpolation::Step);
    p.setFloat(1.0f, 0.0);
    p.setFloat(3.0f, 2.0);
    EXPECT_FLOAT_EQ(p.readFloat(1.99), 1.0f);
    EXPECT_FLOAT_EQ(p.readFloat(2.0), 3.0f);
}

TEST(PluginParameter, IntsAlwaysStep) {
    ZentoPluginParameter p("n", TYPE_INT);
    p.setInt(10, 0.0);
    p.setInt(20, 1.0);
    EXPECT_EQ(p.readInt(0.9), 10);
    EXPECT_EQ(p.readInt(1.0), 20);
    EXPECT_FLOAT_EQ(p.readFloat(0.5), 10.0f);
}

TEST(PluginParameter, SameTimeReplacesKeyframeAndKeyframesStaySorted) {
    ZentoPluginParameter p("n", TYPE_INT);
    p.setInt(3, 3.0);
    p.setInt(1, 1.0);
    p.setInt(2, 2.0);
    p.setInt(7, 1.0);
    ASSERT_EQ(p.numKeyframes(), 3);
    EXPECT_EQ(p.getKeyframeTime(0), 1.0);
    EXPECT_EQ(p.getKeyframeTime(1), 2.0);
    EXPECT_EQ(p.getKeyframeTime(2), 3.0);
    EXPECT_EQ(p.getKeyframeTime(3), 0.0);
    EXPECT_EQ(p.readInt(1.5), 7);
    p.clearKeyframes();
    EXPECT_EQ(p.numKeyframes(), 0);
}

TEST(PluginParameter, NumericConversions) {
    ZentoPluginParameter b("lerp", TYPE_BOOL);
    b.setInt(5);
    EXPECT_EQ(b.readInt(0.0), 1);
    EXPECT_TRUE(b.readBool(0.0));
    EXPECT_EQ(b.readFloat(0.0), 1.0f);
    ZentoPluginParameter f("x", TYPE_FLOAT);
    f.setFloat(-2.75f);
    EXPECT_EQ(f.readInt(0.0), -2);  // toward zero
    f.setFloat(1e20f);
    EXPECT_EQ(f.readInt(0.0), INT_MAX);
    f.setFloat(-1e20f);
    EXPECT_EQ(f.readInt(0.0), INT_MIN);
    ZentoPluginParameter i("big", TYPE_INT);
    i.setInt(16777217);  // not exact in a float: ints must not pass through one
    EXPECT_EQ(i.readInt(0.0), 16777217);
}

TEST(PluginParameter, SettersRefuseForeignTypes) {
    ZentoPluginParameter s("ptex_file", TYPE_STRING);
    EXPECT_FALSE(s.setInt(1));
    EXPECT_FALSE(s.setTexture(nullptr));
    EXPECT_TRUE(s.setString("a.ptx"));
    EXPECT_EQ(s.readInt(0.0), 0);
    EXPECT_STREQ(s.readString(0.0).ptr(), "a.ptx");
    ZentoPluginParameter i("n", TYPE_INT);
    EXPECT_FALSE(i.setString("x"));
    EXPECT_FALSE(i.setVectorList(nullptr, 0));
    EXPECT_EQ(i.readString(0.0).ptr(), nullptr);
}

TEST(PluginParameter, ColoursInterpolate) {
    ZentoPluginParameter c("c", TYPE_COLOR);
    c.setColor(AColor(0, 0, 0, 0), 0.0);
    c.setColor(AColor(1, 2, 3, 4), 1.0);
    const AColor mid = c.readColor(0.25);
    EXPECT_FLOAT_EQ(mid.r, 0.25f);
    EXPECT_FLOAT_EQ(mid.g, 0.5f);
    EXPECT_FLOAT_EQ(mid.b, 0.75f);
    EXPECT_FLOAT_EQ(mid.a, 1.0f);
}

TEST(PluginParameter, TextureKeepsColourAndTexture) {
    ZentoPluginParameter t("color_gain", TYPE_TEXTURE);
    t.setColor(AColor(1, 1, 1, 1));
    auto* fake = reinterpret_cast<TextureInterface*>(0x1000);
    t.setTexture(fake);
    EXPECT_EQ(t.readTexture(0.0), fake);
    EXPECT_EQ(t.readColor(0.0), AColor(1, 1, 1, 1));
    t.setColor(AColor(0, 0, 0, 1));
    EXPECT_EQ(t.readTexture(0.0), fake);
}

TEST(PluginParameter, VectorListOutlivesParameter) {
    VectorListValue kept;
    {
        ZentoPluginParameter p("vertices", TYPE_VECTOR);
        const Vector3f v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        p.setVectorList(v, 3);
        kept = p.readVectorList(0.0);
        EXPECT_EQ(p.readCount(0.0), 3);
        EXPECT_EQ(kept.handle.useCount(), 2);
    }
    ASSERT_EQ(kept.count, 3);
    EXPECT_EQ(kept.handle.useCount(), 1);
    EXPECT_EQ(kept[1], (Vector3f{1, 0, 0}));
}

TEST(PluginParameter, VectorListsInterpolateWhenLengthsMatch) {
    ZentoPluginParameter p("vertices", TYPE_VECTOR);
    const Vector3f a[2] = {{0, 0, 0}, {2, 2, 2}};
    const Vector3f b[2] = {{2, 0, 0}, {4, 2, 2}};
    p.setVectorList(a, 2, 0.0);
    p.setVectorList(b, 2, 1.0);
    const VectorListValue mid = p.readVectorList(0.5);
    ASSERT_EQ(mid.count, 2);
    EXPECT_EQ(mid[0], (Vector3f{1, 0, 0}));
    EXPECT_EQ(mid[1], (Vector3f{3, 2, 2}));
    // Different length: steps.
    const Vector3f c[1] = {{9, 9, 9}};
    p.setVectorList(c, 1, 2.0);
    EXPECT_EQ(p.readVectorList(1.5).count, 2);
    EXPECT_EQ(p.readCount(2.5), 1);
}

TEST(PluginParameter, IntListsStepAndSingleValuesReadAsOne) {
    ZentoPluginParameter p("faces", TYPE_INT);
    const int f0[3] = {0, 1, 2};
    const int f1[6] = {0, 1, 2, 0, 2, 3};
    p.setIntList(f0, 3, 0.0);
    p.setIntList(f1, 6, 1.0);
    EXPECT_EQ(p.readIntList(0.5).count, 3);
    const IntListValue later = p.readIntList(1.0);
    ASSERT_EQ(later.count, 6);
    EXPECT_EQ(later[5], 3);
    ZentoPluginParameter single("n", TYPE_INT);
    single.setInt(42);
    const IntListValue one = single.readIntList(0.0);
    ASSERT_EQ(one.count, 1);
    EXPECT_EQ(one[0], 42);
    EXPECT_EQ(single.readCount(0.0), 1);
}

TEST(PluginParameter, EmptyAndNegativeListCounts) {
    ZentoPluginParameter p("faces", TYPE_INT);
    const int one = 1;
    p.setIntList(&one, -4);
    const IntListValue v = p.readIntList(0.0);
    EXPECT_EQ(v.count, 0);
    EXPECT_EQ(v.data, nullptr);
    EXPECT_EQ(p.readCount(0.0), 0);
}

TEST(PluginParameter, AssignValueFromChecksTypes) {
    ZentoPluginParameter target("lerp", TYPE_BOOL);
    ZentoPluginParameter source("lerp", TYPE_INT);
    source.setInt(3, 0.0);
    source.setInt(0, 1.0);
    EXPECT_TRUE(target.assignValueFrom(source));
    EXPECT_EQ(target.readInt(0.0), 1);
    EXPECT_EQ(target.readInt(1.0), 0);
    ZentoPluginParameter text("lerp", TYPE_STRING);
    EXPECT_FALSE(target.assignValueFrom(text));
    EXPECT_EQ(target.numKeyframes(), 2);
    ZentoPluginParameter copy(target);
    EXPECT_STREQ(copy.getName(), "lerp");
    EXPECT_EQ(copy.readInt(0.0), 1);
}
