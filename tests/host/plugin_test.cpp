// The plugin class tree (interface list, names, the virtual slots binaries rely on) and the
// plugin host (registration, instances, refusals). ZentoTexture is checked on the plugin's class.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "zento/TextureInterface.h"
#include "zento/ZentoPlugin.h"
#include "zento/ZentoPluginHost.h"
#include "zento/ZentoPluginParameter.h"

using namespace ZUtils;

namespace {

std::vector<std::string> g_events;

// An interface that logs its releases.
struct LoggedInterface : PluginInterface {
    explicit LoggedInterface(InterfaceID id) : id(id) {}
    InterfaceID getInterfaceID() const override { return id; }
    PluginBase* getPlugin() override { return nullptr; }
    void release() override { g_events.push_back(std::to_string(id)); }
    InterfaceID id;
};

struct BarePlugin : Plugin {};

struct GreyTexture : ZentoTexture {
    explicit GreyTexture(ZentoPluginDesc* desc = nullptr) : ZentoTexture(desc) {}
    AColor getTexColor(const ShadeContext&) override { return AColor(0.5f, 0.5f, 0.5f, 1.0f); }
    void getTexColorBounds(AColor& lower, AColor& upper) override { lower = upper = AColor(); }
};

struct TestDesc : ZentoPluginDesc {
    using ZentoPluginDesc::ZentoPluginDesc;
    PluginID getPluginID() const override { return 42; }
    Plugin* newPlugin(ZentoPluginHost*) override { return new GreyTexture(this); }
    void deletePlugin(Plugin* p) override {
        g_events.push_back("delete");
        delete p;
    }
    bool supportsInterface(InterfaceID id) const override { return id == EXT_TEXTURE; }
    const char* getName() const override { return "TestTexture"; }
};

struct TestLib : PluginLibDesc {
    const char* getName() const override { return "TestLib"; }
    const char* getDescription() const override { return "test"; }
    int registerPlugins(ZentoPluginHost* host) override { return host->addPluginDesc(desc); }
    TestDesc* desc;
};

// Itanium C++ ABI: a pointer to a virtual member function holds 1 + the byte
// offset of its slot in the vtable.
template <class F>
long slotOf(F f) {
    static_assert(sizeof(F) == 2 * sizeof(void*));
    uintptr_t words[2];
    std::memcpy(words, &f, sizeof words);
    return (words[0] & 1) ? static_cast<long>((words[0] - 1) / sizeof(void*)) : -1;
}

}  // namespace

TEST(InterfaceList, NewestFirstRemovalUnlinksOwnedReleasedOnceOldestFirst) {
    g_events.clear();
    {
        LoggedInterface a(1), b(2), c(1), d(4), e(5), other(9);
        BarePlugin p;
        // Oldest first; entries without an interface are skipped by the lookup.
        const std::pair<LoggedInterface*, int> entries[] = {{&a, 1}, {nullptr, 1}, {&b, 1},
                                                            {&c, 1}, {&d, 0},      {&e, 2}};
        for (auto [iface, owned] : entries) EXPECT_EQ(p.addInterface(iface, owned), 1);
        EXPECT_EQ(p.getInterface(1), &c);
        EXPECT_EQ(p.getInterface(8), nullptr);
        EXPECT_EQ(p.removeInterface(&other), 0);
        EXPECT_EQ(p.removeInterface(&c), 1);  // the head of id 1: the next one takes over
        EXPECT_EQ(p.getInterface(1), &a);
        EXPECT_EQ(p.removeInterface(&c), 0);
        EXPECT_EQ(p.removeInterface(&b), 1);  // from the middle of the chain
        EXPECT_EQ(p.getInterface(2), nullptr);
        EXPECT_EQ(p.getInterface(4), &d);
        EXPECT_TRUE(g_events.empty());
    }
    EXPECT_EQ(g_events, (std::vector<std::string>{
                            "1", "5"}));  // owned ones, oldest first, removed ones never
    LoggedInterface a(1);
    {
        BarePlugin p;
        for (int i = 0; i < 1000000; ++i) p.addInterface(&a, 0);  // destroyed without recursion
    }
}

TEST(PluginName, CopiedReplacedAndSafeFromItsOwnText) {
    BarePlugin p;
    char name[] = "first name";
    p.setPluginName(name);
    name[0] = 'X';
    EXPECT_STREQ(p.getPluginName(), "first name");
    p.setPluginName(p.getPluginName());
    EXPECT_STREQ(p.getPluginName(), "first name");
    p.setPluginName(p.getPluginName() + 6);
    EXPECT_STREQ(p.getPluginName(), "name");
    p.setPluginName(nullptr);
    EXPECT_EQ(p.getPluginName(), nullptr);
}

TEST(SlotOrder, VirtualOperationsSitInTheirSlots) {
    // Slots 0 and 1 are the two destructor entries.
    const long slots[] = {slotOf(&PluginBase::getInterface),
                          slotOf(&PluginBase::releaseInterface),
                          slotOf(&PluginBase::addInterface),
                          slotOf(&PluginBase::removeInterface),
                          slotOf(&Plugin::getPluginDesc),
                          slotOf(&Plugin::setPluginName),
                          slotOf(&PluginInterface::getInterfaceID),
                          slotOf(&PluginInterface::getPlugin),
                          slotOf(&PluginInterface::getInterfaceName),
                          slotOf(&PluginInterface::release),
                          slotOf(&ZentoPluginInterface::renderBegin),
                          slotOf(&ZentoPluginInterface::renderEnd),
                          slotOf(&ZentoPluginInterface::frameBegin),
                          slotOf(&ZentoPluginInterface::frameEnd),
                          slotOf(&ZentoPluginInterface::setParameter),
                          slotOf(&ZentoPluginInterface::getParameter),
                          slotOf(&TextureInterface::getTexColor),
                          slotOf(&TextureInterface::getTexColorBounds),
                          slotOf(&TextureInterface::getTexVector),
                          slotOf(&PluginDesc::getPluginID),
                          slotOf(&PluginDesc::newPlugin),
                          slotOf(&PluginDesc::deletePlugin),
                          slotOf(&PluginDesc::supportsInterface),
                          slotOf(&PluginDesc::getName),
                          slotOf(&PluginDesc::registerPlugin),
                          slotOf(&PluginDesc::unregisterPlugin),
                          slotOf(&PluginDesc::getExtension),
                          slotOf(&PluginLibDesc::getName),
                          slotOf(&PluginLibDesc::getDescription),
                          slotOf(&PluginLibDesc::registerPlugins)};
    const long expected[] = {2, 3, 4, 5, 6,  7,                            // PluginBase, Plugin
                             2, 3, 4, 5, 6,  7,  8,  9,  10, 11, 6, 7, 8,  // interfaces
                             6, 7, 8, 9, 10, 11, 12, 13, 6,  7,  8};       // descriptors
    ASSERT_EQ(std::size(slots), std::size(expected));
    for (size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i], expected[i]) << "entry " << i;
}

// The order of the protocol calls is checked with the plugin's own descriptors.
TEST(PluginHost, RegistersCreatesAndRefusesDuplicatesAndLibrariesThatCannotServe) {
    ZentoParameterListDesc params;
    params.addParamInt("n", 3, -1, nullptr, nullptr);
    TestDesc desc(&params);
    TestLib lib;
    lib.desc = &desc;
    ZentoPluginHost host;
    EXPECT_EQ(host.registerLibDesc(&lib), &lib);
    EXPECT_TRUE(host.isRegistered(&desc));
    EXPECT_EQ(host.findPluginDesc("TestTexture"), &desc);
    EXPECT_EQ(host.getParameterListDesc(&desc), &params);
    EXPECT_EQ(host.registerLibDesc(&lib), nullptr);  // twice is refused
    EXPECT_EQ(host.registerLibDesc(nullptr), nullptr);
    EXPECT_EQ(host.addPluginDesc(nullptr), 0);
    EXPECT_EQ(host.addPluginDesc(&desc), 0);
    EXPECT_EQ(host.onPluginRegistered(&desc), 0);
    g_events.clear();
    Plugin* p = host.createPlugin("TestTexture");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->getPluginDesc(), &desc);
    EXPECT_EQ(getZentoPluginInterface(p)->getParameter("n")->readInt(0.0), 3);
    EXPECT_EQ(host.createPlugin("Unknown"), nullptr);
    EXPECT_NE(std::string(host.getLastError()).find("Unknown"), std::string::npos);
    host.destroyPlugin(p);
    host.destroyPlugin(nullptr);
    EXPECT_EQ(g_events, std::vector<std::string>{"delete"});
    host.unloadAll();
    EXPECT_EQ(host.getNumPluginDescs(), 0);
    EXPECT_EQ(host.onPluginUnregistered(&desc), 0);  // no longer registered
    EXPECT_EQ(host.loadLibrary(nullptr), nullptr);
    EXPECT_EQ(host.loadPluginByName("/nonexistent", "nothing"), nullptr);
    EXPECT_NE(std::string(host.getLastError()).find("libnothing.so"), std::string::npos);
    EXPECT_EQ(host.loadLibrary("libc.so.6"), nullptr);  // no getLibDesc in it
    EXPECT_NE(std::string(host.getLastError()).find("getLibDesc"), std::string::npos);
    EXPECT_EQ(host.getNumLibraries(), 0);  // the loaded one is gone with unloadAll
}
