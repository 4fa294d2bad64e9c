#include <gtest/gtest.h>

#include "zento/TextureInterface.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoParameterListDesc.h"
#include "zento/ZentoPluginParameter.h"

using namespace ZUtils;

namespace {

void fillSmallTable(ZentoParameterListDesc& d) {
    d.addParamString("file", "", -1, "The file", "fileAsset=(ptx);");
    d.addParamInt("count", 7, -1, "", nullptr);
    d.addParamFloat("scale", 1.5f, -1, nullptr, nullptr);
    d.addParamBool("flag", true, -1, "A flag", nullptr);
    d.addParamTexture("gain", AColor(1, 1, 1, 1), -1, "Gain", nullptr);
    d.addParam("points", TYPE_VECTOR, 0, nullptr, nullptr);
    d.addOutputParamTexture("color", "Result", nullptr);
}

}  // namespace

TEST(ParameterListDesc, KeepsOrderKindsAndTexts) {
    ZentoParameterListDesc d;
    fillSmallTable(d);
    ASSERT_EQ(d.getNumParams(), 7);
    const ZentoParamDef* file = d.getParamDef(0);
    EXPECT_STREQ(file->name, "file");
    EXPECT_EQ(file->kind, ParamKind::String);
    EXPECT_STREQ(file->defaultString, "");
    EXPECT_STREQ(file->hints, "fileAsset=(ptx);");
    const ZentoParamDef* count = d.getParamDef(1);
    ASSERT_NE(count->description, nullptr);
    EXPECT_STREQ(count->description, "");  // empty text, not none
    EXPECT_EQ(count->hints, nullptr);
    EXPECT_EQ(count->defaultInt, 7);
    EXPECT_EQ(d.getParamDef(2)->description, nullptr);
    EXPECT_FLOAT_EQ(d.getParamDef(2)->defaultFloat, 1.5f);
    EXPECT_TRUE(d.getParamDef(3)->defaultBool);
    EXPECT_EQ(d.getParamDef(4)->defaultColor, AColor(1, 1, 1, 1));
    EXPECT_EQ(d.getParamDef(5)->kind, ParamKind::Generic);
    EXPECT_EQ(d.getParamDef(5)->type, TYPE_VECTOR);
    EXPECT_EQ(d.getParamDef(5)->count, 0);
    EXPECT_EQ(d.getParamDef(6)->kind, ParamKind::OutputTexture);
    EXPECT_EQ(d.getParamDef(7), nullptr);
    EXPECT_EQ(d.getParamDef(-1), nullptr);
    EXPECT_EQ(d.findParamIndex("flag"), 3);
    EXPECT_EQ(d.findParamIndex("nope"), -1);
    EXPECT_EQ(d.findParamDef(nullptr), nullptr);
}

TEST(ParameterListDesc, TextsAreCopied) {
    ZentoParameterListDesc d;
    char name[] = "alpha";
    d.addParamInt(name, 1, -1, nullptr, nullptr);
    name[0] = 'X';
    EXPECT_STREQ(d.getParamDef(0)->name, "alpha");
    for (int i = 0; i < 200; ++i) d.addParamInt("more", i, -1, nullptr, nullptr);
    EXPECT_STREQ(d.getParamDef(0)->name, "alpha");  // pointers stay valid as the table grows
}

TEST(ParameterList, NewListHoldsDefaults) {
    ZentoParameterListDesc d;
    fillSmallTable(d);
    ZentoParameterList* list = d.newParameterList();
    ASSERT_EQ(list->getNumParams(), 7);
    EXPECT_STREQ(list->getParam("file")->readString(0.0).ptr(), "");
    EXPECT_EQ(list->getParam("count")->readInt(0.0), 7);
    EXPECT_FLOAT_EQ(list->getParam("scale")->readFloat(0.0), 1.5f);
    EXPECT_TRUE(list->getParam("flag")->readBool(0.0));
    EXPECT_EQ(list->getParam("gain")->readTexture(0.0), nullptr);
    EXPECT_EQ(list->getParam("points")->readCount(0.0), 0);
    EXPECT_EQ(list->getParam("missing"), nullptr);
    EXPECT_EQ(list->getParam(nullptr), nullptr);
    d.deleteParameterList(list);
    d.deleteParameterList(nullptr);
}

TEST(ParameterList, BindingWritesNothingCachingWritesAll) {
    ZentoParameterListDesc d;
    fillSmallTable(d);
    ZentoParameterList* list = d.newParameterList();
    CharString file("before");
    int count = -1, flag = -1;
    float scale = -1.0f;
    auto* marker = reinterpret_cast<TextureInterface*>(0x10);
    TextureInterface* gain = marker;
    EXPECT_EQ(list->setParamCache("file", &file), 1);
    EXPECT_EQ(list->setParamCache("count", &count), 1);
    EXPECT_EQ(list->setParamCache("scale", &scale), 1);
    EXPECT_EQ(list->setParamCache("flag", &flag), 1);
    EXPECT_EQ(list->setParamCache("gain", &gain), 1);
    EXPECT_EQ(list->setParamCache("absent", &count), 0);
    EXPECT_EQ(list->getNumBindings(), 5);
    EXPECT_STREQ(list->getBindingName(4), "gain");
    EXPECT_EQ(list->getBindingName(5), nullptr);
    EXPECT_STREQ(file.ptr(), "before");
    EXPECT_EQ(count, -1);
    EXPECT_EQ(gain, marker);

    list->cacheParams(0.0, TracePoint{1, 2, 3});
    EXPECT_STREQ(file.ptr(), "");
    EXPECT_EQ(count, 7);
    EXPECT_FLOAT_EQ(scale, 1.5f);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(gain, nullptr);
    EXPECT_EQ(list->getNumCaches(), 1);
    EXPECT_EQ(list->getCachePoint().z, 3.0);
    d.deleteParameterList(list);
}

TEST(ParameterList, CachingTakesTheValueAtTheTime) {
    ZentoParameterListDesc d;
    fillSmallTable(d);
    ZentoParameterList* list = d.newParameterList();
    float scale = 0.0f;
    list->setParamCache("scale", &scale);
    list->getParam("scale")->setFloat(11.5f, 10.0);
    list->cacheParams(5.0, TracePoint{});
    EXPECT_FLOAT_EQ(scale, 1.5f + (11.5f - 1.5f) * 0.5f);
    list->cacheParams(0.0, TracePoint{});
    EXPECT_FLOAT_EQ(scale, 1.5f);
    EXPECT_EQ(list->getCacheTime(), 0.0);
    d.deleteParameterList(list);
}

TEST(ParameterList, SetParameterCopiesByName) {
    ZentoParameterListDesc d;
    fillSmallTable(d);
    ZentoParameterList* list = d.newParameterList();
    ZentoPluginParameter p("count", TYPE_INT);
    p.setInt(99);
    EXPECT_EQ(list->setParameter(&p), 1);
    EXPECT_EQ(list->getParam("count")->readInt(0.0), 99);
    ZentoPluginParameter wrongType("count", TYPE_STRING);
    wrongType.setString("x");
    EXPECT_EQ(list->setParameter(&wrongType), 0);
    EXPECT_EQ(list->getParam("count")->readInt(0.0), 99);
    ZentoPluginParameter unknown("zzz", TYPE_INT);
    EXPECT_EQ(list->setParameter(&unknown), 0);
    EXPECT_EQ(list->setParameter(nullptr), 0);
    d.deleteParameterList(list);
}

TEST(ParameterList, OutputTextureIsRecorded) {
    ZentoParameterListDesc d;
    fillSmallTable(d);
    ZentoParameterList* list = d.newParameterList();
    auto* iface = reinterpret_cast<TextureInterface*>(0x20);
    EXPECT_EQ(list->setOutputParamCache("color", iface), 1);
    EXPECT_EQ(list->setOutputParamCache("nothing", iface), 0);
    EXPECT_EQ(list->getOutputTexture("color"), iface);
    EXPECT_EQ(list->getOutputTexture("file"), nullptr);
    d.deleteParameterList(list);
}
