#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zento/TextureInterface.h"
#include "zento/ZentoPlugin.h"
#include "zento/ZentoPluginHost.h"
#include "zento/ZentoPluginParameter.h"

using namespace ZUtils;

namespace {

std::vector<std::string> g_events;

class CountingTexture : public ZentoTexture {
public:
    explicit CountingTexture(ZentoPluginDesc* desc) : ZentoTexture(desc) {}
    AColor getTexColor(const ShadeContext&) override { return AColor(1, 0, 0, 1); }
    void getTexColorBounds(AColor& l, AColor& u) override {
        l = AColor();
        u = AColor(1, 1, 1, 1);
    }
};

class TestDesc : public ZentoPluginDesc {
public:
    explicit TestDesc(ZentoParameterListDesc* params) : ZentoPluginDesc(params) {}
    PluginID getPluginID() const override { return 42; }
    Plugin* newPlugin(ZentoPluginHost*) override {
        g_events.push_back("new");
        return new CountingTexture(this);
    }
    void deletePlugin(Plugin* p) override {
        g_events.push_back("delete");
        delete p;
    }
    bool supportsInterface(InterfaceID id) const override { return id == EXT_TEXTURE; }
    const char* getName() const override { return "TestTexture"; }
    void registerPlugin(ZentoPluginHost* host) override {
        g_events.push_back("registerPlugin");
        ZentoPluginDesc::registerPlugin(host);
    }
    void unregisterPlugin(ZentoPluginHost* host) override {
        g_events.push_back("unregisterPlugin");
        ZentoPluginDesc::unregisterPlugin(host);
    }
};

class TestLib : public PluginLibDesc {
public:
    explicit TestLib(TestDesc* desc) : desc_(desc) {}
    const char* getName() const override { return "TestLib"; }
    const char* getDescription() const override { return "test"; }
    int registerPlugins(ZentoPluginHost* host) override {
        g_events.push_back("registerPlugins");
        if (host) host->addPluginDesc(desc_);
        return 1;
    }

private:
    TestDesc* desc_;
};

// Records the protocol callbacks as it passes them on.
class RecordingHost : public ZentoPluginHost {
public:
    int addPluginDesc(ZentoPluginDesc* d) override {
        g_events.push_back("addPluginDesc");
        return ZentoPluginHost::addPluginDesc(d);
    }
    int onPluginRegistered(ZentoPluginDesc* d) override {
        g_events.push_back("onPluginRegistered");
        return ZentoPluginHost::onPluginRegistered(d);
    }
    int onPluginUnregistered(ZentoPluginDesc* d) override {
        g_events.push_back("onPluginUnregistered");
        return ZentoPluginHost::onPluginUnregistered(d);
    }
    int onParametersRegistered(ZentoPluginDesc* d, ZentoParameterListDesc* p) override {
        g_events.push_back("onParametersRegistered");
        return ZentoPluginHost::onParametersRegistered(d, p);
    }
};

}  // namespace

TEST(PluginHost, RegistrationFollowsTheProtocolOrder) {
    g_events.clear();
    ZentoParameterListDesc params;
    params.addParamInt("n", 3, -1, nullptr, nullptr);
    TestDesc desc(&params);
    TestLib lib(&desc);
    {
        RecordingHost host;
        EXPECT_EQ(host.registerLibDesc(&lib), &lib);
        EXPECT_EQ(g_events, (std::vector<std::string>{"registerPlugins", "addPluginDesc", "registerPlugin",
                                                      "onPluginRegistered", "onParametersRegistered"}));
        EXPECT_EQ(host.getNumLibraries(), 1);
        EXPECT_STREQ(host.getLibraryPath(0), "");
        EXPECT_EQ(host.getNumPluginDescs(), 1);
        EXPECT_EQ(host.findPluginDesc("TestTexture"), &desc);
        EXPECT_EQ(host.findPluginDesc("Other"), nullptr);
        EXPECT_TRUE(host.isRegistered(&desc));
        EXPECT_EQ(host.getParameterListDesc(&desc), &params);
        EXPECT_EQ(host.registerLibDesc(&lib), nullptr);  // twice is refused
        g_events.clear();
        // Unload explicitly: the base destructor would no longer reach the
        // overrides of this derived host.
        host.unloadAll();
        EXPECT_EQ(g_events, (std::vector<std::string>{"unregisterPlugin", "onPluginUnregistered"}));
        EXPECT_EQ(host.getNumPluginDescs(), 0);
        g_events.clear();
    }
    EXPECT_TRUE(g_events.empty());
}

TEST(PluginHost, CreatesAndDestroysThroughTheDescriptor) {
    g_events.clear();
    ZentoParameterListDesc params;
    params.addParamInt("n", 3, -1, nullptr, nullptr);
    TestDesc desc(&params);
    TestLib lib(&desc);
    ZentoPluginHost host;
    host.registerLibDesc(&lib);
    Plugin* p = host.createPlugin("TestTexture");
    ASSERT_NE(p, nullptr);
    ZentoPluginInterface* iface = getZentoPluginInterface(p);
    ASSERT_NE(iface, nullptr);
    ASSERT_NE(iface->getParameterList(), nullptr);
    EXPECT_EQ(iface->getParameter("n")->readInt(0.0), 3);
    EXPECT_EQ(p->getPluginDesc(), &desc);
    EXPECT_EQ(host.createPlugin("Unknown"), nullptr);
    EXPECT_NE(std::string(host.getLastError()).find("Unknown"), std::string::npos);
    host.destroyPlugin(p);
    host.destroyPlugin(nullptr);
    EXPECT_EQ(g_events.back(), "delete");
}

TEST(PluginHost, NullAndDuplicateDescriptorsAreRefused) {
    ZentoPluginHost host;
    TestDesc desc(nullptr);
    EXPECT_EQ(host.addPluginDesc(nullptr), 0);
    EXPECT_EQ(host.addPluginDesc(&desc), 1);
    EXPECT_EQ(host.addPluginDesc(&desc), 0);
    EXPECT_EQ(host.onPluginRegistered(nullptr), 0);
    EXPECT_EQ(host.onPluginUnregistered(&desc), 0);  // not registered yet
    EXPECT_EQ(host.onPluginRegistered(&desc), 1);
    EXPECT_EQ(host.onPluginRegistered(&desc), 0);
    EXPECT_EQ(host.registerLibDesc(nullptr), nullptr);
}

TEST(PluginHost, DescriptorIgnoresNullHost) {
    g_events.clear();
    TestDesc desc(nullptr);
    desc.registerPlugin(nullptr);
    desc.unregisterPlugin(nullptr);
    EXPECT_EQ(g_events, (std::vector<std::string>{"registerPlugin", "unregisterPlugin"}));
}

TEST(PluginHost, LoadingAMissingLibraryFailsWithAReason) {
    ZentoPluginHost host;
    EXPECT_EQ(host.loadLibrary("/nonexistent/libnothing.so"), nullptr);
    EXPECT_NE(std::string(host.getLastError()), "");
    EXPECT_EQ(host.loadLibrary(nullptr), nullptr);
    EXPECT_EQ(host.loadPluginByName("/nonexistent", "nothing"), nullptr);
    EXPECT_NE(std::string(host.getLastError()).find("libnothing.so"), std::string::npos);
    EXPECT_EQ(host.getNumLibraries(), 0);
}

TEST(PluginHost, LibraryWithoutEntryIsRefused) {
    // The C library has no getLibDesc.
    ZentoPluginHost host;
    EXPECT_EQ(host.loadLibrary("libc.so.6"), nullptr);
    EXPECT_NE(std::string(host.getLastError()).find("getLibDesc"), std::string::npos);
}
