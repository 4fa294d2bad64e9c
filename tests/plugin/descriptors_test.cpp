// Library entry, descriptors and the TexFacet class tree (linked statically).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/Descriptors.h"
#include "plugin/LibEntry.h"
#include "plugin/TexFacet.h"
#include "zento/ShadeContext.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoPluginHost.h"

using namespace ZUtils;

namespace {

class EventHost : public ZentoPluginHost {
public:
    std::vector<std::string> events;
    int addPluginDesc(ZentoPluginDesc* d) override {
        events.push_back("addPluginDesc");
        return ZentoPluginHost::addPluginDesc(d);
    }
    int onPluginRegistered(ZentoPluginDesc* d) override {
        events.push_back("onPluginRegistered");
        return ZentoPluginHost::onPluginRegistered(d);
    }
    int onPluginUnregistered(ZentoPluginDesc* d) override {
        events.push_back("onPluginUnregistered");
        return ZentoPluginHost::onPluginUnregistered(d);
    }
    int onParametersRegistered(ZentoPluginDesc* d, ZentoParameterListDesc* p) override {
        events.push_back("onParametersRegistered");
        return ZentoPluginHost::onParametersRegistered(d, p);
    }
    ~EventHost() override { unloadAll(); }
};

struct Instance {
    Plugin* plugin = texFacetPluginDesc().newPlugin(nullptr);
    ~Instance() { texFacetPluginDesc().deletePlugin(plugin); }
    TexFacet& tex() { return *static_cast<TexFacet*>(plugin); }
};

}  // namespace

TEST(LibraryEntry, SameDescriptorEveryCall) {
    PluginLibDesc* a = getLibDesc();
    PluginLibDesc* b = getLibDesc();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_STREQ(a->getName(), "TexFacet");
    EXPECT_STREQ(a->getDescription(), "Ptex texture for Zento");
    EXPECT_STREQ(texFacetPluginDesc().getName(), "TexFacet");
}

TEST(LibraryEntry, StaticTableIsFilledBeforeTheDescriptorsAreUsed) {
    EXPECT_EQ(texFacetPluginDesc().getParameterListDesc(), &texFacetParamListDesc());
    EXPECT_EQ(texFacetParamListDesc().getNumParams(), 30);
}

TEST(LibraryEntry, RegisterPluginsAddsTheDescriptor) {
    EXPECT_EQ(getLibDesc()->registerPlugins(nullptr), 1);
    EventHost host;
    EXPECT_EQ(getLibDesc()->registerPlugins(&host), 1);
    EXPECT_EQ(host.events, std::vector<std::string>{"addPluginDesc"});
    ASSERT_EQ(host.getNumPluginDescs(), 1);
    EXPECT_EQ(host.getPluginDesc(0), &texFacetPluginDesc());
}

TEST(LibraryEntry, RegisterPluginRegistersTheTable) {
    EventHost host;
    host.registerLibDesc(getLibDesc());
    EXPECT_EQ(host.events, (std::vector<std::string>{"addPluginDesc", "onPluginRegistered",
                                                     "onParametersRegistered"}));
    EXPECT_EQ(host.getParameterListDesc(&texFacetPluginDesc()), &texFacetParamListDesc());
    host.events.clear();
    texFacetPluginDesc().unregisterPlugin(&host);
    EXPECT_EQ(host.events, std::vector<std::string>{"onPluginUnregistered"});
    texFacetPluginDesc().registerPlugin(nullptr);
    texFacetPluginDesc().unregisterPlugin(nullptr);
}

TEST(PluginDescriptor, IdentityAndInterfaces) {
    UserPluginDesc& d = texFacetPluginDesc();
    EXPECT_EQ(d.getPluginID(), 20100607000ull);
    EXPECT_TRUE(d.supportsInterface(0x77780002ull));
    EXPECT_TRUE(d.supportsInterface(0x7776FFFFull));
    EXPECT_FALSE(d.supportsInterface(0));
    EXPECT_FALSE(d.supportsInterface(0x77780001ull));
    EXPECT_FALSE(d.supportsInterface(0x177780002ull));  // 64-bit compare
    EXPECT_FALSE(d.supportsInterface(EXT_MESH_INFO));
    EXPECT_EQ(d.getExtension(), nullptr);
    EXPECT_EQ(d.getInterface(EXT_TEXTURE), nullptr);
    d.deletePlugin(nullptr);
}

TEST(TexFacetInstance, InterfacesAndOwner) {
    Instance i;
    Plugin* p = i.plugin;
    PluginInterface* tex = p->getInterface(0x77780002ull);
    PluginInterface* plug = p->getInterface(0x7776FFFFull);
    ASSERT_NE(tex, nullptr);
    ASSERT_NE(plug, nullptr);
    EXPECT_NE(static_cast<void*>(tex), static_cast<void*>(plug));
    EXPECT_EQ(tex->getPlugin(), p);
    EXPECT_EQ(plug->getPlugin(), p);
    EXPECT_STREQ(tex->getInterfaceName(), "EXT_TEXTURE");
    EXPECT_STREQ(plug->getInterfaceName(), "EXT_ZENTO_PLUGIN");
    EXPECT_EQ(p->getInterface(0), nullptr);
    EXPECT_EQ(p->getInterface(EXT_MESH_INFO), nullptr);
    EXPECT_EQ(p->getPluginDesc(), &texFacetPluginDesc());
    EXPECT_EQ(p->removeInterface(tex), 0);  // not in the (empty) list
    EXPECT_EQ(p->getInterface(0x77780002ull), tex);
}

TEST(TexFacetInstance, TextureAnswersBeforeTheLookupExists) {
    Instance i;
    TextureInterface* tex = getTextureInterface(i.plugin);
    ShadeContext sc;
    sc.threadIndex = 3;
    EXPECT_EQ(tex->getTexColor(sc), AColor(1, 1, 1, 1));
    AColor lower(9, 9, 9, 9), upper(-1, -1, -1, -1);
    tex->getTexColorBounds(lower, upper);
    EXPECT_EQ(lower, AColor(0, 0, 0, 0));
    EXPECT_EQ(upper, AColor(1, 1, 1, 1));
    EXPECT_EQ(tex->getTexVector(sc), (Vector3f{0, 0, 0}));
}

TEST(TexFacetInstance, OwnedInterfacesAreReleasedAtDestruction) {
    struct Extra : PluginInterface {
        int* releases;
        explicit Extra(int* r) : releases(r) {}
        InterfaceID getInterfaceID() const override { return 99; }
        PluginBase* getPlugin() override { return nullptr; }
        void release() override { ++*releases; }
    };
    int releases = 0;
    Extra a(&releases), b(&releases);
    {
        Instance i;
        i.plugin->addInterface(&a, 1);
        i.plugin->addInterface(&b, 1);
        EXPECT_EQ(i.plugin->getInterface(99), &b);
        EXPECT_EQ(i.plugin->removeInterface(&b), 1);
        EXPECT_EQ(i.plugin->getInterface(99), &a);
    }
    EXPECT_EQ(releases, 1);
}
