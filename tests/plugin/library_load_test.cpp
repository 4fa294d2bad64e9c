// The built plugin library as a host program sees it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

#include "elf_symbols.h"
#include "zento/ShadeContext.h"
#include "zento/ShadingInterfaces.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoParameterListDesc.h"
#include "zento/ZentoPlugin.h"
#include "zento/ZentoPluginHost.h"
#include "zento/ZentoPluginParameter.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

namespace {

const char* const kPlugin = ZENTO_PLUGIN_PATH;

std::string fileOf(void* address) {
    Dl_info info{};
    if (!address || !::dladdr(address, &info) || !info.dli_fname) return "";
    return info.dli_fname;
}

bool samePath(const std::string& a, const std::string& b) {
    char ra[4096], rb[4096];
    return ::realpath(a.c_str(), ra) && ::realpath(b.c_str(), rb) && std::string(ra) == rb;
}

}  // namespace

TEST(LibraryExports, OnlyGetLibDesc) {
    const DynamicSymbols syms = readDynamicSymbols(kPlugin);
    ASSERT_TRUE(syms.ok) << syms.error;
    EXPECT_EQ(syms.defined, std::vector<std::string>{"getLibDesc"});
}

TEST(LibraryExports, AllocatorIsTheLibrarysOwn) {
    // The library does not import operator new or delete: every allocation of
    // its code binds to its own, local definitions.
    const DynamicSymbols syms = readDynamicSymbols(kPlugin);
    ASSERT_TRUE(syms.ok) << syms.error;
    for (const char* name : {"_Znwm", "_Znam", "_ZdlPv", "_ZdaPv", "_ZdlPvm", "_ZnwmSt11align_val_t"}) {
        EXPECT_EQ(std::count(syms.undefined.begin(), syms.undefined.end(), name), 0) << name;
        EXPECT_EQ(std::count(syms.defined.begin(), syms.defined.end(), name), 0) << name;
    }
}

TEST(LibraryLoad, HostOperatorNewIsUntouched) {
    void* before = ::dlsym(RTLD_DEFAULT, "_Znwm");
    void* deleteBefore = ::dlsym(RTLD_DEFAULT, "_ZdlPv");
    ASSERT_NE(before, nullptr);
    ASSERT_NE(deleteBefore, nullptr);
    // Even loaded into the global namespace, the library must not interpose.
    void* handle = ::dlopen(kPlugin, RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    EXPECT_EQ(::dlsym(RTLD_DEFAULT, "_Znwm"), before);
    EXPECT_EQ(::dlsym(RTLD_DEFAULT, "_ZdlPv"), deleteBefore);
    void* throughLibrary = ::dlsym(handle, "_Znwm");  // found in its dependencies, not in it
    EXPECT_FALSE(samePath(fileOf(throughLibrary), kPlugin));
    EXPECT_FALSE(samePath(fileOf(before), kPlugin));
    EXPECT_NE(::dlsym(handle, "getLibDesc"), nullptr);

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The host's refusal is still the standard one.
    bool standard = false;
    try {
        void* p = ::operator new(SIZE_MAX / 2);
        ::operator delete(p);
    } catch (const std::bad_alloc&) {
        standard = true;
    } catch (...) {
    }
    EXPECT_TRUE(standard);
#endif
    ::dlclose(handle);
}

TEST(LibraryLoad, RegistersWithAHostAndRunsAnInstance) {
    ZentoPluginHost host;
    PluginLibDesc* lib = host.loadLibrary(kPlugin);
    ASSERT_NE(lib, nullptr) << host.getLastError();
    EXPECT_STREQ(lib->getName(), "TexFacet");
    EXPECT_STREQ(lib->getDescription(), "Ptex texture for Zento");
    ASSERT_EQ(host.getNumPluginDescs(), 1);
    ZentoPluginDesc* desc = host.findPluginDesc("TexFacet");
    ASSERT_NE(desc, nullptr);
    EXPECT_TRUE(host.isRegistered(desc));
    EXPECT_EQ(desc->getPluginID(), 20100607000ull);
    EXPECT_TRUE(desc->supportsInterface(0x77780002));
    EXPECT_TRUE(desc->supportsInterface(0x7776FFFF));
    EXPECT_FALSE(desc->supportsInterface(0));
    const ZentoParameterListDesc* params = host.getParameterListDesc(desc);
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(params->getNumParams(), 30);
    EXPECT_STREQ(params->getParamDef(27)->name, "color");

    Plugin* plugin = host.createPlugin("TexFacet");
    ASSERT_NE(plugin, nullptr);
    plugin->setPluginName("wall texture");
    EXPECT_STREQ(plugin->getPluginName(), "wall texture");
    ZentoPluginInterface* iface = getZentoPluginInterface(plugin);
    TextureInterface* tex = getTextureInterface(plugin);
    ASSERT_NE(iface, nullptr);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(iface->getPlugin(), plugin);
    EXPECT_EQ(tex->getPlugin(), plugin);
    EXPECT_EQ(iface->getParameterList()->getOutputTexture("color"), tex);

    ZentoPluginParameter file("ptex_file", TYPE_STRING);
    file.setString("none.ptx");
    EXPECT_EQ(iface->setParameter(&file), 1);
    ZentoRenderer renderer;
    iface->renderBegin(&renderer);
    iface->frameBegin(&renderer);
    EXPECT_EQ(renderer.getNumPluginFrameBegins(), 1);
    ShadeContext sc;
    EXPECT_EQ(tex->getTexColor(sc), AColor(1, 1, 1, 1));
    AColor lower(5, 5, 5, 5), upper;
    tex->getTexColorBounds(lower, upper);
    EXPECT_EQ(lower, AColor(0, 0, 0, 0));
    EXPECT_EQ(upper, AColor(1, 1, 1, 1));
    iface->frameEnd(&renderer);
    iface->renderEnd(&renderer);
    host.destroyPlugin(plugin);
    host.unloadAll();
    EXPECT_EQ(host.getNumPluginDescs(), 0);
}

TEST(LibraryLoad, LoadsByNameAndTwiceIsRefused) {
    std::string dir = kPlugin;
    dir = dir.substr(0, dir.find_last_of('/'));
    ZentoPluginHost host;
    PluginLibDesc* lib = host.loadPluginByName(dir.c_str(), "zento_TexFacet");
    ASSERT_NE(lib, nullptr) << host.getLastError();
    EXPECT_EQ(host.loadLibrary(kPlugin), nullptr);  // the same library descriptor again
    EXPECT_EQ(host.getNumLibraries(), 1);
    EXPECT_TRUE(host.unloadLibrary(lib));
    EXPECT_FALSE(host.unloadLibrary(lib));
}
