// Host values: shared text, list blocks, keyframed plugin parameters, the
// parameter table and the parameter list an instance binds its members to.
#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

#include "zento/TextureInterface.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoParameterListDesc.h"
#include "zento/ZentoPluginParameter.h"

using namespace ZUtils;

TEST(CharString, UnsetEmptyCutAndSharedTextsAlsoAcrossThreads) {
    CharString unset, empty(""), cut("abcdef", 3);
    EXPECT_EQ(unset.ptr(), nullptr);
    EXPECT_TRUE(empty.isSet() && empty.empty());
    EXPECT_FALSE(empty == unset);
    EXPECT_TRUE(cut == CharString("abc"));
    EXPECT_FALSE(cut == CharString("abd"));
    CharString a("abcdef"), b = a;
    EXPECT_EQ(a.ptr(), b.ptr());
    CharString moved = std::move(b);
    EXPECT_EQ(b.ptr(), nullptr);
    EXPECT_EQ(a.useCount(), 2);
    a.set(a.ptr() + 2);  // from its own text
    EXPECT_STREQ(a.ptr(), "cdef");
    EXPECT_STREQ(moved.ptr(), "abcdef");  // the shared block is never written
    EXPECT_EQ(moved.useCount(), 1);
    a = a;
    EXPECT_STREQ(a.ptr(), "cdef");
    a.set(nullptr);
    EXPECT_EQ(a.ptr(), nullptr);
    CharString shared("shared text");  // copies on many threads at once
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 10000; ++i) ASSERT_STREQ(CharString(shared).ptr(), "shared text");
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(shared.useCount(), 1);
}

TEST(PluginParameter, KeyframesInterpolateStepStaySortedAndConvert) {
    ZentoPluginParameter f("width", TYPE_FLOAT);
    EXPECT_EQ(f.readFloat(0.0), 0.0f);  // no keyframe
    f.setFloat(3.0f, 2.0);
    f.setFloat(1.0f, 0.0);
    const std::pair<double, float> linear[] = {{-5, 1}, {0, 1}, {0.5, 1.5f},
                                               {1, 2},  {2, 3}, {9, 3}};
    for (auto [time, value] : linear) EXPECT_FLOAT_EQ(f.readFloat(time), value) << time;
    f.setInterpolation(Interpolation::Step);
    EXPECT_FLOAT_EQ(f.readFloat(1.99), 1.0f);
    EXPECT_FLOAT_EQ(f.readFloat(2.0), 3.0f);
    ZentoPluginParameter n("n", TYPE_INT);  // ints always step
    const std::pair<int, double> keys[] = {{3, 3.0}, {1, 1.0}, {2, 2.0}, {7, 1.0}};
    for (auto [value, time] : keys) n.setInt(value, time);
    ASSERT_EQ(n.numKeyframes(), 3);  // the same time replaces
    EXPECT_EQ(n.getKeyframeTime(2), 3.0);
    EXPECT_EQ(n.readInt(1.5), 7);
    EXPECT_EQ(n.readInt(2.0), 2);
    EXPECT_FLOAT_EQ(n.readFloat(2.5), 2.0f);
    ZentoPluginParameter c("c", TYPE_COLOR);
    c.setColor(AColor(0, 0, 0, 0), 0.0);
    c.setColor(AColor(1, 2, 3, 4), 1.0);
    EXPECT_EQ(c.readColor(0.25), AColor(0.25f, 0.5f, 0.75f, 1.0f));
    ZentoPluginParameter b("lerp", TYPE_BOOL), x("x", TYPE_FLOAT), i("big", TYPE_INT),
        s("lerp", TYPE_STRING);
    b.setInt(5);
    EXPECT_EQ(b.readInt(0.0), 1);
    const std::pair<float, int> toInt[] = {{-2.75f, -2}, {1e20f, INT_MAX}, {-1e20f, INT_MIN}};
    for (auto [value, expected] : toInt) {
        x.setFloat(value);
        EXPECT_EQ(x.readInt(0.0), expected) << value;  // toward zero, saturated
    }
    i.setInt(16777217);  // not exact in a float: ints must not pass through one
    EXPECT_EQ(i.readInt(0.0), 16777217);
    EXPECT_FALSE(s.setInt(1));  // setters refuse foreign types
    EXPECT_FALSE(i.setString("x"));
    EXPECT_FALSE(i.setVectorList(nullptr, 0));
    EXPECT_EQ(i.readString(0.0).ptr(), nullptr);
    ZentoPluginParameter t("color_gain", TYPE_TEXTURE);  // keeps its colour and its texture
    auto* fake = reinterpret_cast<TextureInterface*>(0x1000);
    t.setTexture(fake);
    t.setColor(AColor(0, 0, 0, 1));
    EXPECT_EQ(t.readTexture(0.0), fake);
    EXPECT_EQ(t.readColor(0.0), AColor(0, 0, 0, 1));
}

TEST(PluginParameter, ListsInterpolateOnlyAtEqualLengthsAndOutliveTheParameter) {
    VectorListValue kept;
    {
        ZentoPluginParameter p("vertices", TYPE_VECTOR);
        const Vector3f a[2] = {{0, 0, 0}, {2, 2, 2}}, b[2] = {{2, 0, 0}, {4, 2, 2}},
                       c[1] = {{9, 9, 9}};
        p.setVectorList(a, 2, 0.0);
        p.setVectorList(b, 2, 1.0);
        p.setVectorList(c, 1, 2.0);
        const VectorListValue mid = p.readVectorList(0.5);
        ASSERT_EQ(mid.count, 2);
        EXPECT_EQ(mid[0], (Vector3f{1, 0, 0}));
        EXPECT_EQ(mid[1], (Vector3f{3, 2, 2}));
        EXPECT_EQ(p.readVectorList(1.5).count, 2);  // different lengths step
        EXPECT_EQ(p.readCount(2.5), 1);
        kept = p.readVectorList(1.0);
        EXPECT_EQ(kept.handle.useCount(), 2);
    }
    ASSERT_EQ(kept.count, 2);
    EXPECT_EQ(kept.handle.useCount(), 1);
    EXPECT_EQ(kept[1], (Vector3f{4, 2, 2}));
    ZentoPluginParameter faces("faces", TYPE_INT);
    const int f[3] = {0, 1, 2};
    faces.setIntList(f, 3, 0.0);
    faces.setIntList(f, -4, 1.0);  // a negative count is an empty list
    EXPECT_EQ(faces.readIntList(0.5)[2], 2);
    EXPECT_EQ(faces.readIntList(1.0).data, nullptr);
    EXPECT_EQ(faces.readCount(1.0), 0);
    faces.setInt(42, 2.0);  // a single value reads as a list of one
    EXPECT_EQ(faces.readIntList(2.0).count, 1);
    EXPECT_EQ(faces.readIntList(2.0)[0], 42);
}

// The table's texts, kinds and defaults are checked on the plugin's own table.
TEST(ParameterList, TableCopiesTextsBindingWritesNothingCachingWritesEveryKindAtTheTime) {
    ZentoParameterListDesc d;
    char name[] = "file";
    d.addParamString(name, "", -1, "", nullptr);
    name[0] = 'X';  // texts are copied
    d.addParamFloat("scale", 1.5f, -1, nullptr, nullptr);
    d.addParamBool("flag", true, -1, nullptr, nullptr);
    d.addParamTexture("gain", AColor(1, 1, 1, 1), -1, nullptr, nullptr);
    for (int i = 0; i < 200; ++i) d.addParamInt("more", i, -1, nullptr, nullptr);
    EXPECT_STREQ(d.getParamDef(0)->name, "file");       // and stay valid as the table grows
    ASSERT_NE(d.getParamDef(0)->description, nullptr);  // empty text, not none
    EXPECT_EQ(d.getParamDef(1)->description, nullptr);
    EXPECT_TRUE(d.getParamDef(-1) == nullptr && d.getParamDef(204) == nullptr);
    EXPECT_EQ(d.findParamIndex("more"), 4);
    EXPECT_EQ(d.findParamDef(nullptr), nullptr);
    ZentoParameterList* list = d.newParameterList();
    CharString file("before");
    int flag = -1;
    float scale = -1.0f;
    auto* marker = reinterpret_cast<TextureInterface*>(0x10);
    TextureInterface* gain = marker;
    EXPECT_EQ(list->setParamCache("file", &file) + list->setParamCache("scale", &scale) +
                  list->setParamCache("flag", &flag) + list->setParamCache("gain", &gain),
              4);
    EXPECT_EQ(list->setParamCache("absent", &flag), 0);
    EXPECT_EQ(list->getBindingName(4), nullptr);  // four bindings
    EXPECT_STREQ(file.ptr(), "before");
    EXPECT_EQ(gain, marker);
    list->getParam("scale")->setFloat(11.5f, 10.0);
    list->cacheParams(5.0, TracePoint{1, 2, 3});
    EXPECT_STREQ(file.ptr(), "");
    EXPECT_FLOAT_EQ(scale, 6.5f);  // halfway to the keyframe at 10
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(gain, nullptr);
    EXPECT_EQ(list->getCachePoint().z, 3.0);
    EXPECT_EQ(list->getCacheTime(), 5.0);

    ZentoPluginParameter p("scale", TYPE_FLOAT), wrongType("scale", TYPE_STRING),
        unknown("zzz", TYPE_FLOAT);
    p.setFloat(99.0f);
    wrongType.setString("x");
    EXPECT_EQ(list->setParameter(&p), 1);  // copies every keyframe by name
    EXPECT_EQ(list->setParameter(&wrongType), 0);
    EXPECT_EQ(list->setParameter(&unknown), 0);
    EXPECT_EQ(list->setParameter(nullptr), 0);
    EXPECT_EQ(list->getParam("scale")->readFloat(10.0), 99.0f);
    EXPECT_EQ(list->getParam("missing"), nullptr);
    EXPECT_EQ(list->getParam(nullptr), nullptr);
    EXPECT_EQ(list->setOutputParamCache("nothing", nullptr), 0);
    d.deleteParameterList(list);
    d.deleteParameterList(nullptr);
}
