// The plugin linked statically: library entry and descriptors, the parameter
// table with its texts and defaults, the bindings and when members change.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/SharedPtexCache.h"
#include "plugin/Descriptors.h"
#include "plugin/LibEntry.h"
#include "plugin/ParameterTable.h"
#include "plugin/TexFacet.h"
#include "zento/ShadingInterfaces.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginHost.h"
#include "zento/ZentoPluginParameter.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

namespace {

// Texts: null is none. The default: a texture's is this grey, a string's is "".
struct Row {
    const char* name;
    ParamKind kind;
    ZentoParameterType type;
    int count;
    const char *description, *hints;
    double def;
};

using K = ParamKind;
const Row kTable[30] = {
    {"ptex_file", K::String, TYPE_STRING, -1, "The Ptex texture file", "fileAsset=(ptx);", 0},
    {"use_image_sequence", K::Int, TYPE_INT, -1, "", nullptr, 0},
    {"image_number", K::Int, TYPE_INT, -1, "", nullptr, 0},
    {"image_offset", K::Int, TYPE_INT, -1, "", nullptr, 0},
    {"ifl_start_frame", K::Int, TYPE_INT, -1, nullptr, nullptr, 0},
    {"ifl_playback_rate", K::Float, TYPE_FLOAT, -1, nullptr, nullptr, 1},
    {"ifl_end_condition", K::Int, TYPE_INT, -1,
     "Image file list (IFL) end condition: 0 - Loop; 1 - Ping Pong; 2 - Hold;", nullptr, 0},
    {"filter_type", K::Int, TYPE_INT, -1, "Type of filter used for the texture", nullptr, 0},
    {"width", K::Float, TYPE_FLOAT, -1, "width parameter used for filtering", nullptr, 1},
    {"blur", K::Float, TYPE_FLOAT, -1, "blur parameter used for filtering", nullptr, 0},
    {"sharpness", K::Float, TYPE_FLOAT, -1, "Sharpness parameter for the general bicubic filter",
     nullptr, 0},
    {"lerp", K::Bool, TYPE_BOOL, -1, "Interpolation between mipmap levels", nullptr, 0},
    {"reverse_vertices", K::Bool, TYPE_BOOL, -1, "Reverses the order of vertices", nullptr, 0},
    {"cache_size", K::Int, TYPE_INT, -1, "The size of the texture cache(in MB)", nullptr, 50},
    {"r_channel", K::Int, TYPE_INT, -1,
     "The index of the channel which will be used as a red channel.", nullptr, 0},
    {"g_channel", K::Int, TYPE_INT, -1,
     "The index of the channel which will be used as a green channel.", nullptr, 1},
    {"b_channel", K::Int, TYPE_INT, -1,
     "The index of the channel which will be used as a blue channel.", nullptr, 2},
    {"a_channel", K::Int, TYPE_INT, -1,
     "The index of the channel which will be used as a alpha channel.", nullptr, -1},
    {"auto_color", K::Bool, TYPE_BOOL, -1, "Use automatic color channel selection.", nullptr, 1},
    {"auto_alpha", K::Bool, TYPE_BOOL, -1, "Use automatic alpha channel selection.", nullptr, 1},
    {"alpha_type", K::Int, TYPE_INT, -1, "Where to take the alpha from.", nullptr, -1},
    {"color_space", K::Int, TYPE_INT, -1, "0 - linear, 1 - gamma corrected, 2 - sRGB", nullptr, 1},
    {"gamma", K::Float, TYPE_FLOAT, -1, nullptr, nullptr, 1},
    {"vertices", K::Generic, TYPE_VECTOR, 0, nullptr, nullptr, 0},
    {"origFaces", K::Generic, TYPE_INT, 0, nullptr, nullptr, 0},
    {"faces", K::Generic, TYPE_INT, 0, nullptr, nullptr, 0},
    {"origFacesDegree", K::Generic, TYPE_INT, 0, nullptr, nullptr, 0},
    {"color", K::OutputTexture, TYPE_OUTPUT_TEXTURE, -1, "The final texture color", nullptr, 0},
    {"color_gain", K::Texture, TYPE_TEXTURE, -1, "A multiplier for the texture color", nullptr, 1},
    {"color_offset", K::Texture, TYPE_TEXTURE, -1, "An additional offset for the texture color",
     nullptr, 0},
};

const char* const kBindings[25] = {
    "ptex_file",
    "use_image_sequence",
    "image_number",
    "image_offset",
    "filter_type",
    "width",
    "blur",
    "sharpness",
    "lerp",
    "reverse_vertices",
    "cache_size",
    "ifl_start_frame",
    "ifl_playback_rate",
    "ifl_end_condition",
    "r_channel",
    "g_channel",
    "b_channel",
    "a_channel",
    "auto_color",
    "auto_alpha",
    "alpha_type",
    "gamma",
    "color_space",
    "color_gain",
    "color_offset",
};

// The numeric members, bound to kBindings[1] .. kBindings[22] in that order,
// the textures and the flag hold their registered defaults.
void expectRegisteredDefaults(const TexFacet& t) {
    const PtexParams& p = t.parameters();
    auto list = [](auto... v) { return std::vector<double>{double(v)...}; };
    const std::vector<double> members =
        list(p.useImageSequence, p.imageNumber, p.imageOffset, p.filterType, p.width, p.blur,
             p.sharpness, p.lerp, p.reverseVertices, p.cacheSize, p.iflStartFrame,
             p.iflPlaybackRate, p.iflEndCondition, p.rChannel, p.gChannel, p.bChannel, p.aChannel,
             p.autoColor, p.autoAlpha, p.alphaType, p.gamma, p.colorSpace);
    for (size_t b = 1; b <= members.size(); ++b) {
        auto named = [&](const Row& r) { return kBindings[b] == std::string(r.name); };
        EXPECT_EQ(members[b - 1], std::find_if(kTable, kTable + 30, named)->def) << kBindings[b];
    }
    EXPECT_TRUE(p.colorGain == nullptr && p.colorOffset == nullptr && t.assetPathFlag() == 0);
}

struct Instance {
    explicit Instance(UserPluginDesc& desc = texFacetPluginDesc())
        : desc(desc), plugin(desc.newPlugin(nullptr)) {}
    ~Instance() { desc.deletePlugin(plugin); }
    TexFacet& tex() { return *static_cast<TexFacet*>(plugin); }
    ZentoParameterList* list() { return tex().getParameterList(); }
    UserPluginDesc& desc;
    Plugin* plugin;
};

// Logs the protocol callbacks as it passes them on.
struct EventHost : ZentoPluginHost {
    using H = ZentoPluginHost;
    using D = ZentoPluginDesc;
    std::vector<std::string> events;
    int addPluginDesc(D* d) override { return events.push_back("add"), H::addPluginDesc(d); }
    int onPluginRegistered(D* d) override {
        return events.push_back("reg"), H::onPluginRegistered(d);
    }
    int onPluginUnregistered(D* d) override {
        return events.push_back("unreg"), H::onPluginUnregistered(d);
    }
    int onParametersRegistered(D* d, ZentoParameterListDesc* p) override {
        return events.push_back("params"), H::onParametersRegistered(d, p);
    }
    ~EventHost() override { unloadAll(); }
};

}  // namespace

TEST(ParameterTable, ThirtyEntriesWithTheirTextsAndDefaults) {
    const ZentoParameterListDesc& d = texFacetParamListDesc();
    ASSERT_EQ(d.getNumParams(), 30);
    for (int i = 0; i < 30; ++i) {
        const ZentoParamDef* def = d.getParamDef(i);
        const Row& row = kTable[i];
        EXPECT_STREQ(def->name, row.name) << "row " << i + 1;
        EXPECT_EQ(def->kind, row.kind) << row.name;
        EXPECT_EQ(def->type, row.type) << row.name;
        EXPECT_EQ(def->count, row.count) << row.name;
        EXPECT_STREQ(def->description, row.description) << row.name;  // none and "" differ
        EXPECT_STREQ(def->hints, row.hints) << row.name;
        const float f = float(row.def);
        switch (row.kind) {
            case K::String:
                EXPECT_STREQ(def->defaultString, "") << row.name;
                break;
            case K::Int:
                EXPECT_EQ(def->defaultInt, int(row.def)) << row.name;
                break;
            case K::Float:
                EXPECT_EQ(def->defaultFloat, f) << row.name;
                break;
            case K::Bool:
                EXPECT_EQ(def->defaultBool, row.def != 0) << row.name;
                break;
            case K::Texture:
                EXPECT_EQ(def->defaultColor, AColor(f, f, f, f)) << row.name;
                break;
            default:
                break;
        }
    }
}

TEST(ParameterBinding, TwentySixBindingsInOrderAndMembersAtTheDefaults) {
    Instance i;
    ZentoParameterList* list = i.list();
    ASSERT_EQ(list->getNumBindings(), 25);
    for (int b = 0; b < 25; ++b)
        EXPECT_STREQ(list->getBindingName(b), kBindings[b]) << "binding " << b + 1;
    EXPECT_EQ(list->getOutputTexture("color"),
              getTextureInterface(i.plugin));  // the 26th: this instance
    EXPECT_EQ(list->getNumCaches(), 0);
    expectRegisteredDefaults(i.tex());
    EXPECT_EQ(i.tex().parameters().ptexFile.ptr(), nullptr);
    list->getParam("ptex_file")
        ->setString("wall.ptx");  // only the file set: the rest renders with defaults
    ZentoRenderer r;
    i.tex().renderBegin(&r);
    EXPECT_STREQ(i.tex().parameters().ptexFile.ptr(), "wall.ptx");
    expectRegisteredDefaults(i.tex());
}

TEST(ParameterBinding, RenderBeginCachesAtTimeZeroAndOriginFrameBeginNothing) {
    Instance i, other;
    ZentoParameterList* list = i.list();
    list->getParam("width")->setFloat(3.0f, 0.0);
    list->getParam("width")->setFloat(5.0f, 10.0);
    list->getParam("filter_type")->setInt(2, 4.0);
    list->getParam("ifl_playback_rate")->setFloat(0.5f);
    TextureInterface* gain = getTextureInterface(other.plugin);
    list->getParam("color_gain")->setTexture(gain);
    ZentoPluginInterface* iface = getZentoPluginInterface(i.plugin);
    ZentoPluginParameter channel("r_channel", TYPE_INT);  // as the host sets it
    channel.setInt(4);
    EXPECT_EQ(iface->setParameter(&channel), 1);
    EXPECT_EQ(i.tex().parameters().rChannel, 0);  // not before caching
    ZentoRenderer r;
    r.getFrameState().time = 4.0;  // the frame time does not matter for the caching
    iface->renderBegin(&r);
    EXPECT_EQ(list->getNumCaches(), 1);
    EXPECT_EQ(list->getCacheTime(), 0.0);
    EXPECT_EQ(list->getCachePoint().x + list->getCachePoint().y + list->getCachePoint().z, 0.0);
    const PtexParams& p = i.tex().parameters();
    EXPECT_EQ(p.width, 3.0f);
    EXPECT_EQ(p.filterType, 0);
    EXPECT_EQ(p.rChannel, 4);
    EXPECT_EQ(p.colorGain, gain);
    EXPECT_EQ(p.iflPlaybackRate, 0.5f);
    EXPECT_EQ(iface->getParameter("r_channel")->readInt(0.0), 4);
    list->getParam("cache_size")->setInt(300);
    iface->frameBegin(&r);
    EXPECT_EQ(r.getNumPluginFrameBegins(), 1);  // the base ran
    EXPECT_EQ(list->getNumCaches(), 1);
    EXPECT_EQ(p.cacheSize, 50);
    iface->frameEnd(&r);
    iface->renderEnd(&r);
}

TEST(ParameterBinding, CacheSizeAsSixtyFourBitBytesAndTheRenderersAssetPathFlag) {
    EXPECT_EQ(cacheSizeToBytes(8192), 8589934592ull);             // beyond 32 bits
    EXPECT_EQ(cacheSizeToBytes(0) + cacheSizeToBytes(-1), 0ull);  // asks for nothing
    Instance i;
    ZentoRenderer r;
    AssetPathFlagInterface flag{5};
    r.getRenderSetup().setInterface(AssetPathFlagInterface::ID, &flag);
    sharedPtexCache().resetCacheSize();
    const std::pair<int, uint64_t> sizes[] = {{50, 104857600ull},  // 50 MB stays under the floor
                                              {4096, 4294967296ull},
                                              {-1, 4294967296ull}};
    for (auto [mb, bytes] : sizes) {
        i.list()->getParam("cache_size")->setInt(mb);
        i.tex().renderBegin(&r);
        EXPECT_EQ(sharedPtexCache().sizeBytes, bytes) << mb;
        EXPECT_EQ(i.tex().assetPathFlag(), 5);
    }
    i.tex().renderEnd(&r);
    EXPECT_EQ(sharedPtexCache().sizeBytes, 104857600ull);
    r.getRenderSetup().setInterface(AssetPathFlagInterface::ID, nullptr);
    i.tex().renderBegin(&r);
    EXPECT_EQ(i.tex().assetPathFlag(), 0);
    i.tex().renderBegin(nullptr);
    EXPECT_EQ(i.tex().assetPathFlag(), 0);
}

TEST(NoParameterList, InstanceIsSafeAndKeepsDefaults) {
    UserPluginDesc bare(nullptr);
    Instance i(bare);
    EXPECT_EQ(i.list(), nullptr);
    EXPECT_EQ(i.tex().getParameter("ptex_file"), nullptr);
    ZentoRenderer r;
    i.tex().renderBegin(&r);
    i.tex().frameBegin(&r);
    expectRegisteredDefaults(i.tex());
    i.tex().frameEnd(&r);
    i.tex().renderEnd(&r);
}

TEST(LibraryEntry,
     OneDescriptorRegisteredInProtocolOrderItsInterfacesAndTheTextureBeforeTheLookup) {
    PluginLibDesc* lib = getLibDesc();
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(getLibDesc(), lib);
    EXPECT_STREQ(lib->getDescription(), "Ptex texture for Zento");
    EXPECT_EQ(lib->registerPlugins(nullptr), 1);
    EventHost host;
    host.registerLibDesc(lib);
    EXPECT_EQ(host.events, (std::vector<std::string>{"add", "reg", "params"}));
    ASSERT_EQ(host.getNumPluginDescs(), 1);
    EXPECT_EQ(host.getParameterListDesc(host.getPluginDesc(0)), &texFacetParamListDesc());
    host.events.clear();
    texFacetPluginDesc().unregisterPlugin(&host);
    EXPECT_EQ(host.events, std::vector<std::string>{"unreg"});
    texFacetPluginDesc().registerPlugin(nullptr);  // a null host is ignored
    texFacetPluginDesc().unregisterPlugin(nullptr);
    UserPluginDesc& d = texFacetPluginDesc();
    EXPECT_EQ(d.getPluginID(), 20100607000ull);
    EXPECT_TRUE(d.supportsInterface(0x77780002ull) && d.supportsInterface(0x7776FFFFull));
    EXPECT_FALSE(d.supportsInterface(0) || d.supportsInterface(EXT_MESH_INFO) ||
                 d.supportsInterface(0x177780002ull) || d.supportsInterface(EXT_SHADING_STATS));
    Instance i;
    Plugin* p = i.plugin;
    PluginInterface* tex = p->getInterface(0x77780002ull);
    PluginInterface* plug = p->getInterface(0x7776FFFFull);
    ASSERT_TRUE(tex && plug && tex != plug);
    EXPECT_TRUE(tex->getPlugin() == p && plug->getPlugin() == p && p->getPluginDesc() == &d);
    EXPECT_STREQ(tex->getInterfaceName(), "EXT_TEXTURE");
    EXPECT_STREQ(plug->getInterfaceName(), "EXT_ZENTO_PLUGIN");
    EXPECT_EQ(p->getInterface(0x177780002ull), nullptr);
    PluginInterface* stats = p->getInterface(EXT_SHADING_STATS);  // an instance's extra
    ASSERT_NE(stats, nullptr);
    EXPECT_TRUE(stats->getPlugin() == p && stats->getInterfaceID() == 0x77780053ull);
    EXPECT_STREQ(stats->getInterfaceName(), "EXT_SHADING_STATS");
    ShadeContext sc;
    sc.threadIndex = 3;
    TextureInterface* texture = getTextureInterface(p);
    EXPECT_EQ(texture->getTexColor(sc), AColor(1, 1, 1, 1));
    AColor lower(9, 9, 9, 9), upper(-1, -1, -1, -1);
    texture->getTexColorBounds(lower, upper);
    EXPECT_EQ(lower, AColor(0, 0, 0, 0));
    EXPECT_EQ(upper, AColor(1, 1, 1, 1));
    EXPECT_EQ(texture->getTexVector(sc), (Vector3f{0, 0, 0}));
}
