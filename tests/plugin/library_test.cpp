// The built plugin library as a host program sees it: its dynamic symbols, a
// load through the host, and what zento-info prints of it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "zento/ShadeContext.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoPlugin.h"
#include "zento/ZentoPluginHost.h"
#include "zento/ZentoPluginParameter.h"
#include "zento/ZentoRenderer.h"

using namespace ZUtils;

namespace {

const std::string kPlugin = ZENTO_PLUGIN_PATH;

// Runs a command line; returns its exit status and its output lines.
std::pair<int, std::vector<std::string>> run(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    const int status = pipe ? ::pclose(pipe) : -1;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, lines};
}

// Names in the library's dynamic symbol table as nm lists them, without versions.
std::vector<std::string> dynamicSymbols(const std::string& which) {
    const auto [status, lines] = run("nm -D " + which + " '" + kPlugin + "'");
    EXPECT_EQ(status, 0);
    std::vector<std::string> names;
    for (const std::string& line : lines) {
        const std::string name = line.substr(line.find_last_of(' ') + 1);
        names.push_back(name.substr(0, name.find('@')));
    }
    return names;
}

}  // namespace

// Only the entry is exported; the library's code binds to its own operator new and delete:
// none is imported or exported, so loading it can never replace the host's.
TEST(LibraryExports, OnlyGetLibDescAndNoOperatorNew) {
    EXPECT_EQ(dynamicSymbols("--defined-only"), std::vector<std::string>{"getLibDesc"});
    const std::vector<std::string> imported = dynamicSymbols("--undefined-only");
    EXPECT_GT(imported.size(), 10u);
    for (const char* name :
         {"_Znwm", "_Znam", "_ZdlPv", "_ZdaPv", "_ZdlPvm", "_ZnwmSt11align_val_t"}) {
        EXPECT_EQ(std::count(imported.begin(), imported.end(), name), 0) << name;
    }
}

// What the descriptors, the table and an instance hold is checked on the plugin
// linked statically; here: the built file as a host loads it by path and by name.
TEST(LibraryLoad, RegistersWithAHostRunsAnInstanceAndLoadsOnce) {
    ZentoPluginHost host;
    PluginLibDesc* lib = host.loadLibrary(kPlugin.c_str());
    ASSERT_NE(lib, nullptr) << host.getLastError();
    ZentoPluginDesc* desc = host.findPluginDesc("TexFacet");
    ASSERT_NE(desc, nullptr);
    EXPECT_TRUE(host.isRegistered(desc));
    EXPECT_EQ(host.getParameterListDesc(desc)->getNumParams(), 30);
    Plugin* plugin = host.createPlugin("TexFacet");
    ASSERT_NE(plugin, nullptr);
    ZentoPluginInterface* iface = getZentoPluginInterface(plugin);
    ZentoPluginParameter file("ptex_file", TYPE_STRING);
    file.setString("none.ptx");
    EXPECT_EQ(iface->setParameter(&file), 1);
    ZentoRenderer renderer;
    iface->renderBegin(&renderer);
    iface->frameBegin(&renderer);
    EXPECT_EQ(getTextureInterface(plugin)->getTexColor(ShadeContext()),
              AColor(1, 1, 1, 1));  // no texture: white
    iface->frameEnd(&renderer);
    iface->renderEnd(&renderer);
    host.destroyPlugin(plugin);
    host.unloadAll();
    EXPECT_EQ(host.getNumPluginDescs(), 0);
    lib = host.loadPluginByName(kPlugin.substr(0, kPlugin.find_last_of('/')).c_str(),
                                "zento_TexFacet");
    ASSERT_NE(lib, nullptr) << host.getLastError();
    EXPECT_EQ(host.loadLibrary(kPlugin.c_str()), nullptr);  // the same library descriptor again
    EXPECT_EQ(host.getNumLibraries(), 1);
    EXPECT_TRUE(host.unloadLibrary(lib));
    EXPECT_FALSE(host.unloadLibrary(lib));
}

TEST(ZentoInfo, PrintsLibraryPluginInterfacesAndTheNumberedTable) {
    for (const char* args : {ZENTO_PLUGIN_PATH, ""}) {  // "": the library beside the program
        SCOPED_TRACE(args);
        const auto [status, lines] =
            run(std::string(ZENTO_INFO_PATH) + " " + args + " 2>/dev/null");
        ASSERT_EQ(status, 0);
        auto has = [&lines](const std::string& l) {
            return std::find(lines.begin(), lines.end(), l) != lines.end();
        };
        for (const char* line :
             {"Library: TexFacet", "Description: Ptex texture for Zento", "Plugin: TexFacet",
              "Plugin id: 20100607000", "  0x77780002 EXT_TEXTURE", "  0x7776FFFF EXT_ZENTO_PLUGIN",
              "  1. ptex_file  type=string  default=\"\"  description=\"The Ptex texture file\"  "
              "hints=\"fileAsset=(ptx);\"",
              "  2. use_image_sequence  type=int  default=0  description=\"\"  hints=(none)",
              "  24. vertices  type=list of vector (type code 4)  default=-  description=(none)  "
              "hints=(none)",
              "  29. color_gain  type=texture  default=(1.0, 1.0, 1.0, 1.0)  description=\"A "
              "multiplier for the "
              "texture color\"  hints=(none)"}) {
            EXPECT_TRUE(has(line)) << line;
        }
        const auto first = std::find(lines.begin(), lines.end(), "Parameters (30):");
        ASSERT_GE(lines.end() - first, 31);
        for (int i = 1; i <= 30; ++i)
            EXPECT_EQ(first[i].rfind("  " + std::to_string(i) + ". ", 0), 0u) << first[i];
    }
    const auto [status, lines] =
        run(std::string(ZENTO_INFO_PATH) + " /nonexistent/libzento_TexFacet.so 2>/dev/null");
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(lines.empty());
}
