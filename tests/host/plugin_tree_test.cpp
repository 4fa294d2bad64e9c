#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "zento/Plugin.h"
#include "zento/ShadeContext.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

namespace {

// An interface that records its releases in a shared log.
class LoggedInterface : public PluginInterface {
public:
    LoggedInterface(InterfaceID id, int tag, std::vector<int>* log) : id_(id), tag_(tag), log_(log) {}
    InterfaceID getInterfaceID() const override { return id_; }
    PluginBase* getPlugin() override { return nullptr; }
    void release() override { log_->push_back(tag_); }

private:
    InterfaceID id_;
    int tag_;
    std::vector<int>* log_;
};

class BarePlugin : public Plugin {};

class SimpleTexture : public ZentoTexture {
public:
    SimpleTexture() : ZentoTexture(nullptr) {}
    AColor getTexColor(const ShadeContext&) override { return AColor(0.5f, 0.5f, 0.5f, 1.0f); }
    void getTexColorBounds(AColor& lower, AColor& upper) override {
        lower = AColor();
        upper = AColor(1, 1, 1, 1);
    }
};

// Itanium C++ ABI: a pointer to a virtual member function holds 1 + the
// byte offset of its slot in the vtable.
template <class F>
long slotOf(F f) {
    static_assert(sizeof(F) == 2 * sizeof(void*));
    uintptr_t words[2];
    std::memcpy(words, &f, sizeof words);
    if ((words[0] & 1) == 0) return -1;  // not virtual
    return static_cast<long>((words[0] - 1) / sizeof(void*));
}

}  // namespace

TEST(InterfaceList, AddFindsNewestFirst) {
    std::vector<int> log;
    LoggedInterface a(7, 1, &log), b(7, 2, &log), c(9, 3, &log);
    BarePlugin p;
    EXPECT_EQ(p.addInterface(&a, 0), 1);
    EXPECT_EQ(p.addInterface(nullptr, 1), 1);  // entries without an interface are skipped
    EXPECT_EQ(p.addInterface(&b, 0), 1);
    EXPECT_EQ(p.addInterface(&c, 0), 1);
    EXPECT_EQ(p.getInterface(7), &b);
    EXPECT_EQ(p.getInterface(9), &c);
    EXPECT_EQ(p.getInterface(8), nullptr);
}

TEST(InterfaceList, RemoveUnknownReturnsZero) {
    std::vector<int> log;
    LoggedInterface a(1, 1, &log), other(2, 2, &log);  // outlive the plugin
    BarePlugin p;
    p.addInterface(&a, 1);
    EXPECT_EQ(p.removeInterface(&other), 0);
    EXPECT_EQ(p.removeInterface(nullptr), 0);
}

TEST(InterfaceList, RemovingHeadMakesNextTheHead) {
    std::vector<int> log;
    LoggedInterface a(5, 1, &log), b(5, 2, &log);
    BarePlugin p;
    p.addInterface(&a, 0);
    p.addInterface(&b, 0);
    EXPECT_EQ(p.getInterface(5), &b);
    EXPECT_EQ(p.removeInterface(&b), 1);
    EXPECT_EQ(p.getInterface(5), &a);
    EXPECT_EQ(p.removeInterface(&b), 0);
}

// Removing an entry must unlink it: the rest of the chain survives and is
// released exactly once, the removed interface never.
TEST(InterfaceList, RemoveKeepsRestOfChainAndReleasesOnce) {
    std::vector<int> log;
    {
        LoggedInterface a(1, 1, &log), b(2, 2, &log), c(3, 3, &log), d(4, 4, &log);
        BarePlugin p;
        p.addInterface(&a, 1);
        p.addInterface(&b, 1);
        p.addInterface(&c, 1);
        p.addInterface(&d, 0);
        EXPECT_EQ(p.removeInterface(&b), 1);
        EXPECT_TRUE(log.empty());
        EXPECT_EQ(p.getInterface(1), &a);
        EXPECT_EQ(p.getInterface(3), &c);
        EXPECT_EQ(p.getInterface(2), nullptr);
    }
    // Oldest first, owned ones only, b never.
    EXPECT_EQ(log, (std::vector<int>{1, 3}));
}

TEST(InterfaceList, DestructionReleasesOwnedOldestFirst) {
    std::vector<int> log;
    {
        LoggedInterface a(1, 1, &log), b(2, 2, &log), c(3, 3, &log);
        BarePlugin p;
        p.addInterface(&a, 1);
        p.addInterface(&b, 0);
        p.addInterface(&c, 2);
    }
    EXPECT_EQ(log, (std::vector<int>{1, 3}));
}

TEST(InterfaceList, LongChainDestroysWithoutRecursion) {
    std::vector<int> log;
    LoggedInterface a(1, 1, &log);
    {
        BarePlugin p;
        for (int i = 0; i < 1000000; ++i) p.addInterface(&a, 0);
    }
    EXPECT_TRUE(log.empty());
}

TEST(PluginName, CopiesAndReplaces) {
    BarePlugin p;
    EXPECT_EQ(p.getPluginName(), nullptr);
    char name[] = "first";
    p.setPluginName(name);
    name[0] = 'X';
    EXPECT_STREQ(p.getPluginName(), "first");
    p.setPluginName("second");
    EXPECT_STREQ(p.getPluginName(), "second");
}

TEST(PluginName, SamePointerTwiceIsSafe) {
    BarePlugin p;
    p.setPluginName("stable name");
    p.setPluginName(p.getPluginName());
    EXPECT_STREQ(p.getPluginName(), "stable name");
    p.setPluginName(p.getPluginName() + 7);
    EXPECT_STREQ(p.getPluginName(), "name");
}

TEST(PluginName, NullClearsTheName) {
    BarePlugin p;
    p.setPluginName("x");
    p.setPluginName(nullptr);
    EXPECT_EQ(p.getPluginName(), nullptr);
    EXPECT_EQ(p.getPluginDesc(), nullptr);
}

TEST(SlotOrder, PluginBaseAndPlugin) {
    // Slots 0 and 1 are the two destructor entries.
    EXPECT_EQ(slotOf(&PluginBase::getInterface), 2);
    EXPECT_EQ(slotOf(&PluginBase::releaseInterface), 3);
    EXPECT_EQ(slotOf(&PluginBase::addInterface), 4);
    EXPECT_EQ(slotOf(&PluginBase::removeInterface), 5);
    EXPECT_EQ(slotOf(&Plugin::getPluginDesc), 6);
    EXPECT_EQ(slotOf(&Plugin::setPluginName), 7);
}

TEST(SlotOrder, InterfacesAndDescriptors) {
    EXPECT_EQ(slotOf(&PluginInterface::getInterfaceID), 2);
    EXPECT_EQ(slotOf(&PluginInterface::getPlugin), 3);
    EXPECT_EQ(slotOf(&PluginInterface::getInterfaceName), 4);
    EXPECT_EQ(slotOf(&PluginInterface::release), 5);
    EXPECT_EQ(slotOf(&ZentoPluginInterface::renderBegin), 6);
    EXPECT_EQ(slotOf(&ZentoPluginInterface::renderEnd), 7);
    EXPECT_EQ(slotOf(&ZentoPluginInterface::frameBegin), 8);
    EXPECT_EQ(slotOf(&ZentoPluginInterface::frameEnd), 9);
    EXPECT_EQ(slotOf(&ZentoPluginInterface::setParameter), 10);
    EXPECT_EQ(slotOf(&ZentoPluginInterface::getParameter), 11);
    EXPECT_EQ(slotOf(&TextureInterface::getTexColor), 6);
    EXPECT_EQ(slotOf(&TextureInterface::getTexColorBounds), 7);
    EXPECT_EQ(slotOf(&TextureInterface::getTexVector), 8);
    EXPECT_EQ(slotOf(&PluginDesc::getPluginID), 6);
    EXPECT_EQ(slotOf(&PluginDesc::newPlugin), 7);
    EXPECT_EQ(slotOf(&PluginDesc::deletePlugin), 8);
    EXPECT_EQ(slotOf(&PluginDesc::supportsInterface), 9);
    EXPECT_EQ(slotOf(&PluginDesc::getName), 10);
    EXPECT_EQ(slotOf(&PluginDesc::registerPlugin), 11);
    EXPECT_EQ(slotOf(&PluginDesc::unregisterPlugin), 12);
    EXPECT_EQ(slotOf(&PluginDesc::getExtension), 13);
    EXPECT_EQ(slotOf(&PluginLibDesc::getName), 6);
    EXPECT_EQ(slotOf(&PluginLibDesc::getDescription), 7);
    EXPECT_EQ(slotOf(&PluginLibDesc::registerPlugins), 8);
}

TEST(ZentoTexture, InterfacesBySubobject) {
    SimpleTexture t;
    PluginInterface* tex = t.getInterface(EXT_TEXTURE);
    PluginInterface* plug = t.getInterface(EXT_ZENTO_PLUGIN);
    ASSERT_NE(tex, nullptr);
    ASSERT_NE(plug, nullptr);
    EXPECT_EQ(tex, static_cast<PluginInterface*>(static_cast<TextureInterface*>(&t)));
    EXPECT_EQ(plug, static_cast<PluginInterface*>(static_cast<ZentoPluginInterface*>(&t)));
    EXPECT_EQ(tex->getPlugin(), static_cast<PluginBase*>(static_cast<ZentoPlugin*>(&t)));
    EXPECT_EQ(plug->getPlugin(), tex->getPlugin());
    EXPECT_STREQ(tex->getInterfaceName(), "EXT_TEXTURE");
    EXPECT_STREQ(plug->getInterfaceName(), "EXT_ZENTO_PLUGIN");
    EXPECT_EQ(tex->getInterfaceID(), 0x77780002u);
    EXPECT_EQ(plug->getInterfaceID(), 0x7776FFFFu);
    EXPECT_EQ(t.getInterface(0), nullptr);
    EXPECT_EQ(t.getInterface(0x177780002ull), nullptr);  // compared as 64-bit values
    EXPECT_EQ(getTextureInterface(&t), static_cast<TextureInterface*>(&t));
    EXPECT_EQ(getZentoPluginInterface(&t), static_cast<ZentoPluginInterface*>(&t));
    tex->release();  // the owner's releaseInterface does nothing
}

TEST(ZentoTexture, DefaultsWithoutDescriptor) {
    SimpleTexture t;
    EXPECT_EQ(t.getParameterList(), nullptr);
    EXPECT_EQ(t.getParameter("anything"), nullptr);
    EXPECT_EQ(t.setParameter(nullptr), 0);
    EXPECT_EQ(t.getPluginDesc(), nullptr);
    ShadeContext sc;
    const Vector3f v = t.getTexVector(sc);
    EXPECT_EQ(v, (Vector3f{0, 0, 0}));
    ZentoRenderer r;
    t.frameBegin(&r);  // the base behaviour
    EXPECT_EQ(r.getNumPluginFrameBegins(), 1);
    t.renderBegin(&r);
    t.renderEnd(&r);
    t.frameEnd(&r);
    t.frameBegin(nullptr);
}
