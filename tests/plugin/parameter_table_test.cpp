// The TexFacet parameter table, its bindings and when members change.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/Descriptors.h"
#include "plugin/LibEntry.h"
#include "plugin/ParameterTable.h"
#include "plugin/TexFacet.h"
#include "plugin/TexFacetLifecycle.h"
#include "engine/SharedPtexCache.h"
#include "zento/ShadingInterfaces.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginParameter.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

namespace {

struct Row {
    const char* name;
    ParamKind kind;
    ZentoParameterType type;
    int count;
    const char* description;  // null: none
    const char* hints;        // null: none
};

const Row kTable[30] = {
    {"ptex_file", ParamKind::String, TYPE_STRING, -1, "The Ptex texture file", "fileAsset=(ptx);"},
    {"use_image_sequence", ParamKind::Int, TYPE_INT, -1, "", nullptr},
    {"image_number", ParamKind::Int, TYPE_INT, -1, "", nullptr},
    {"image_offset", ParamKind::Int, TYPE_INT, -1, "", nullptr},
    {"ifl_start_frame", ParamKind::Int, TYPE_INT, -1, nullptr, nullptr},
    {"ifl_playback_rate", ParamKind::Float, TYPE_FLOAT, -1, nullptr, nullptr},
    {"ifl_end_condition", ParamKind::Int, TYPE_INT, -1,
     "Image file list (IFL) end condition: 0 - Loop; 1 - Ping Pong; 2 - Hold;", nullptr},
    {"filter_type", ParamKind::Int, TYPE_INT, -1, "Type of filter used for the texture", nullptr},
    {"width", ParamKind::Float, TYPE_FLOAT, -1, "width parameter used for filtering", nullptr},
    {"blur", ParamKind::Float, TYPE_FLOAT, -1, "blur parameter used for filtering", nullptr},
    {"sharpness", ParamKind::Float, TYPE_FLOAT, -1, "Sharpness parameter for the general bicubic filter", nullptr},
    {"lerp", ParamKind::Bool, TYPE_BOOL, -1, "Interpolation between mipmap levels", nullptr},
    {"reverse_vertices", ParamKind::Bool, TYPE_BOOL, -1, "Reverses the order of vertices", nullptr},
    {"cache_size", ParamKind::Int, TYPE_INT, -1, "The size of the texture cache(in MB)", nullptr},
    {"r_channel", ParamKind::Int, TYPE_INT, -1, "The index of the channel which will be used as a red channel.",
     nullptr},
    {"g_channel", ParamKind::Int, TYPE_INT, -1, "The index of the channel which will be used as a green channel.",
     nullptr},
    {"b_channel", ParamKind::Int, TYPE_INT, -1, "The index of the channel which will be used as a blue channel.",
     nullptr},
    {"a_channel", ParamKind::Int, TYPE_INT, -1, "The index of the channel which will be used as a alpha channel.",
     nullptr},
    {"auto_color", ParamKind::Bool, TYPE_BOOL, -1, "Use automatic color channel selection.", nullptr},
    {"auto_alpha", ParamKind::Bool, TYPE_BOOL, -1, "Use automatic alpha channel selection.", nullptr},
    {"alpha_type", ParamKind::Int, TYPE_INT, -1, "Where to take the alpha from.", nullptr},
    {"color_space", ParamKind::Int, TYPE_INT, -1, "0 - linear, 1 - gamma corrected, 2 - sRGB", nullptr},
    {"gamma", ParamKind::Float, TYPE_FLOAT, -1, nullptr, nullptr},
    {"vertices", ParamKind::Generic, TYPE_VECTOR, 0, nullptr, nullptr},
    {"origFaces", ParamKind::Generic, TYPE_INT, 0, nullptr, nullptr},
    {"faces", ParamKind::Generic, TYPE_INT, 0, nullptr, nullptr},
    {"origFacesDegree", ParamKind::Generic, TYPE_INT, 0, nullptr, nullptr},
    {"color", ParamKind::OutputTexture, TYPE_OUTPUT_TEXTURE, -1, "The final texture color", nullptr},
    {"color_gain", ParamKind::Texture, TYPE_TEXTURE, -1, "A multiplier for the texture color", nullptr},
    {"color_offset", ParamKind::Texture, TYPE_TEXTURE, -1, "An additional offset for the texture color", nullptr},
};

const char* const kBindings[25] = {
    "ptex_file",       "use_image_sequence", "image_number", "image_offset", "filter_type",
    "width",           "blur",               "sharpness",    "lerp",         "reverse_vertices",
    "cache_size",      "ifl_start_frame",    "ifl_playback_rate", "ifl_end_condition", "r_channel",
    "g_channel",       "b_channel",          "a_channel",    "auto_color",   "auto_alpha",
    "alpha_type",      "gamma",              "color_space",  "color_gain",   "color_offset",
};

void expectText(const char* actual, const char* expected, const char* what, int row) {
    if (!expected) {
        EXPECT_EQ(actual, nullptr) << what << " of row " << row + 1 << " must be none";
    } else {
        ASSERT_NE(actual, nullptr) << what << " of row " << row + 1;
        EXPECT_STREQ(actual, expected) << what << " of row " << row + 1;
    }
}

struct Instance {
    explicit Instance(UserPluginDesc& desc = texFacetPluginDesc()) : desc_(desc), plugin(desc.newPlugin(nullptr)) {}
    ~Instance() { desc_.deletePlugin(plugin); }
    TexFacet& tex() { return *static_cast<TexFacet*>(plugin); }
    ZentoParameterList* list() { return tex().getParameterList(); }
    UserPluginDesc& desc_;
    Plugin* plugin;
};

class ConstantTexture : public TextureInterface {
public:
    InterfaceID getInterfaceID() const override { return EXT_TEXTURE; }
    PluginBase* getPlugin() override { return nullptr; }
    AColor getTexColor(const ShadeContext&) override { return AColor(2, 2, 2, 0); }
    void getTexColorBounds(AColor& l, AColor& u) override { l = u = AColor(2, 2, 2, 0); }
};

void expectRegisteredDefaults(const TexFacet& t) {
    const PtexParams& p = t.params;
    EXPECT_EQ(p.ptexFile.ptr(), nullptr);
    EXPECT_EQ(p.useImageSequence, 0);
    EXPECT_EQ(p.imageNumber, 0);
    EXPECT_EQ(p.imageOffset, 0);
    EXPECT_EQ(p.filterType, 0);
    EXPECT_EQ(p.width, 1.0f);
    EXPECT_EQ(p.blur, 0.0f);
    EXPECT_EQ(p.sharpness, 0.0f);
    EXPECT_EQ(p.lerp, 0);
    EXPECT_EQ(p.reverseVertices, 0);
    EXPECT_EQ(p.cacheSize, 50);
    EXPECT_EQ(p.rChannel, 0);
    EXPECT_EQ(p.gChannel, 1);
    EXPECT_EQ(p.bChannel, 2);
    EXPECT_EQ(p.aChannel, -1);
    EXPECT_EQ(p.autoColor, 1);
    EXPECT_EQ(p.autoAlpha, 1);
    EXPECT_EQ(p.alphaType, -1);
    EXPECT_EQ(p.colorSpace, 1);
    EXPECT_EQ(p.gamma, 1.0f);
    EXPECT_EQ(p.colorGain, nullptr);
    EXPECT_EQ(p.colorOffset, nullptr);
    EXPECT_EQ(t.imageList.startFrame, 0);
    EXPECT_EQ(t.imageList.playbackRate, 1.0f);
    EXPECT_EQ(t.imageList.endCondition, 0);
    EXPECT_EQ(t.assetPathFlag, 0);
}

}  // namespace

TEST(ParameterTable, ThirtyEntriesInOrder) {
    const ZentoParameterListDesc& d = texFacetParamListDesc();
    ASSERT_EQ(d.getNumParams(), TEXFACET_PARAM_COUNT);
    for (int i = 0; i < 30; ++i) {
        const ZentoParamDef* def = d.getParamDef(i);
        const Row& row = kTable[i];
        EXPECT_STREQ(def->name, row.name) << "row " << i + 1;
        EXPECT_EQ(def->kind, row.kind) << row.name;
        EXPECT_EQ(def->type, row.type) << row.name;
        EXPECT_EQ(def->count, row.count) << row.name;
        expectText(def->description, row.description, "description", i);
        expectText(def->hints, row.hints, "hints", i);
    }
    EXPECT_STREQ(d.getParamDef(27)->name, "color");
}

TEST(ParameterTable, RegisteredDefaults) {
    const ZentoParameterListDesc& d = texFacetParamListDesc();
    EXPECT_STREQ(d.findParamDef("ptex_file")->defaultString, "");
    EXPECT_EQ(d.findParamDef("ifl_playback_rate")->defaultFloat, 1.0f);
    EXPECT_EQ(d.findParamDef("width")->defaultFloat, 1.0f);
    EXPECT_EQ(d.findParamDef("blur")->defaultFloat, 0.0f);
    EXPECT_EQ(d.findParamDef("gamma")->defaultFloat, 1.0f);
    EXPECT_FALSE(d.findParamDef("lerp")->defaultBool);
    EXPECT_FALSE(d.findParamDef("reverse_vertices")->defaultBool);
    EXPECT_TRUE(d.findParamDef("auto_color")->defaultBool);
    EXPECT_TRUE(d.findParamDef("auto_alpha")->defaultBool);
    EXPECT_EQ(d.findParamDef("cache_size")->defaultInt, 50);
    EXPECT_EQ(d.findParamDef("g_channel")->defaultInt, 1);
    EXPECT_EQ(d.findParamDef("b_channel")->defaultInt, 2);
    EXPECT_EQ(d.findParamDef("a_channel")->defaultInt, -1);
    EXPECT_EQ(d.findParamDef("alpha_type")->defaultInt, -1);
    EXPECT_EQ(d.findParamDef("color_space")->defaultInt, 1);
    EXPECT_EQ(d.findParamDef("color_gain")->defaultColor, AColor(1, 1, 1, 1));
    EXPECT_EQ(d.findParamDef("color_offset")->defaultColor, AColor(0, 0, 0, 0));
}

TEST(ParameterBinding, TwentySixBindingsInOrder) {
    Instance i;
    ZentoParameterList* list = i.list();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->getNumBindings(), 25);
    for (int b = 0; b < 25; ++b) EXPECT_STREQ(list->getBindingName(b), kBindings[b]) << "binding " << b + 1;
    // The 26th: the output colour is this instance's texture interface.
    EXPECT_EQ(list->getOutputTexture("color"), getTextureInterface(i.plugin));
}

TEST(ParameterBinding, MembersStartAtRegisteredDefaults) {
    Instance i;
    expectRegisteredDefaults(i.tex());
    EXPECT_EQ(i.list()->getNumCaches(), 0);
}

TEST(ParameterBinding, OnlyPtexFileSetRendersWithDefaults) {
    Instance i;
    i.list()->getParam("ptex_file")->setString("wall.ptx");
    ZentoRenderer r;
    i.tex().renderBegin(&r);
    EXPECT_STREQ(i.tex().params.ptexFile.ptr(), "wall.ptx");
    i.tex().params.ptexFile.clear();  // everything else holds the registered defaults
    expectRegisteredDefaults(i.tex());
}

TEST(ParameterBinding, RenderBeginCachesAtTimeZeroAndOrigin) {
    Instance i;
    ZentoParameterList* list = i.list();
    list->getParam("width")->setFloat(3.0f, 0.0);
    list->getParam("width")->setFloat(5.0f, 10.0);
    list->getParam("filter_type")->setInt(1, 0.0);
    list->getParam("filter_type")->setInt(2, 4.0);
    list->getParam("lerp")->setBool(true);
    list->getParam("ifl_end_condition")->setInt(2);
    list->getParam("ifl_playback_rate")->setFloat(0.5f);
    list->getParam("ifl_start_frame")->setInt(7);
    ConstantTexture gain;
    list->getParam("color_gain")->setTexture(&gain);
    ZentoRenderer r;
    r.getFrameState().time = 4.0;  // the frame time does not matter for the caching
    i.tex().renderBegin(&r);
    EXPECT_EQ(list->getNumCaches(), 1);
    EXPECT_EQ(list->getCacheTime(), 0.0);
    EXPECT_EQ(list->getCachePoint().x, 0.0);
    EXPECT_EQ(list->getCachePoint().y, 0.0);
    EXPECT_EQ(list->getCachePoint().z, 0.0);
    const PtexParams& p = i.tex().params;
    EXPECT_EQ(p.width, 3.0f);
    EXPECT_EQ(p.filterType, 1);
    EXPECT_EQ(p.lerp, 1);
    EXPECT_EQ(p.colorGain, &gain);
    EXPECT_EQ(p.colorOffset, nullptr);
    EXPECT_EQ(i.tex().imageList.endCondition, 2);
    EXPECT_EQ(i.tex().imageList.playbackRate, 0.5f);
    EXPECT_EQ(i.tex().imageList.startFrame, 7);
}

TEST(ParameterBinding, FrameBeginCachesNothingAndRunsTheBase) {
    Instance i;
    ZentoRenderer r;
    i.tex().renderBegin(&r);
    i.list()->getParam("cache_size")->setInt(300);
    i.tex().frameBegin(&r);
    EXPECT_EQ(r.getNumPluginFrameBegins(), 1);
    EXPECT_EQ(i.list()->getNumCaches(), 1);
    EXPECT_EQ(i.tex().params.cacheSize, 50);
    i.tex().frameEnd(&r);
    i.tex().renderEnd(&r);
}

TEST(ParameterBinding, HostSetParameterReachesMembersAtNextRender) {
    Instance i;
    ZentoPluginInterface* iface = getZentoPluginInterface(i.plugin);
    ZentoPluginParameter channel("r_channel", TYPE_INT);
    channel.setInt(4);
    EXPECT_EQ(iface->setParameter(&channel), 1);
    EXPECT_EQ(i.tex().params.rChannel, 0);  // not before caching
    ZentoRenderer r;
    iface->renderBegin(&r);
    EXPECT_EQ(i.tex().params.rChannel, 4);
    EXPECT_EQ(iface->getParameter("r_channel")->readInt(0.0), 4);
    EXPECT_EQ(iface->getParameter("no_such"), nullptr);
}

TEST(CacheSize, HandedOverAsSixtyFourBitBytes) {
    EXPECT_EQ(cacheSizeToBytes(50), 52428800ull);
    EXPECT_EQ(cacheSizeToBytes(300), 314572800ull);
    EXPECT_EQ(cacheSizeToBytes(8192), 8589934592ull);  // beyond 32 bits
    EXPECT_EQ(cacheSizeToBytes(0), 0ull);               // asks for nothing
    EXPECT_EQ(cacheSizeToBytes(-1), 0ull);
    Instance i;
    ZentoRenderer r;
    sharedPtexCache().resetCacheSize();
    i.tex().renderBegin(&r);
    EXPECT_EQ(sharedPtexCache().sizeBytes, 104857600ull);  // 50 MB stays under the floor
    i.list()->getParam("cache_size")->setInt(4096);
    i.tex().renderBegin(&r);
    EXPECT_EQ(sharedPtexCache().sizeBytes, 4294967296ull);
    i.list()->getParam("cache_size")->setInt(-1);
    i.tex().renderBegin(&r);
    EXPECT_EQ(sharedPtexCache().sizeBytes, 4294967296ull);  // a negative size asks for nothing
    i.tex().renderEnd(&r);
    EXPECT_EQ(sharedPtexCache().sizeBytes, 104857600ull);
}

TEST(AssetPathFlag, TakenFromTheRendererAtRenderBegin) {
    Instance i;
    ZentoRenderer r;
    AssetPathFlagInterface flag{5};
    r.getRenderSetup().setInterface(AssetPathFlagInterface::ID, &flag);
    i.tex().renderBegin(&r);
    EXPECT_EQ(i.tex().assetPathFlag, 5);
    r.getRenderSetup().setInterface(AssetPathFlagInterface::ID, nullptr);
    i.tex().renderBegin(&r);
    EXPECT_EQ(i.tex().assetPathFlag, 0);
    i.tex().renderBegin(nullptr);
    EXPECT_EQ(i.tex().assetPathFlag, 0);
}

TEST(NoParameterList, InstanceIsSafeAndKeepsDefaults) {
    UserPluginDesc bare(nullptr);
    Instance i(bare);
    EXPECT_EQ(i.list(), nullptr);
    ZentoPluginInterface* iface = getZentoPluginInterface(i.plugin);
    EXPECT_EQ(iface->getParameter("ptex_file"), nullptr);
    ZentoPluginParameter p("cache_size", TYPE_INT);
    p.setInt(1);
    EXPECT_EQ(iface->setParameter(&p), 0);
    ZentoRenderer r;
    iface->renderBegin(&r);
    iface->frameBegin(&r);
    iface->frameEnd(&r);
    iface->renderEnd(&r);
    expectRegisteredDefaults(i.tex());
    EXPECT_EQ(getTextureInterface(i.plugin)->getTexColor(ShadeContext()), AColor(1, 1, 1, 1));
}
