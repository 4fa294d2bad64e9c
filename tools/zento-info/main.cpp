// zento-info [plugin library path]
//
// Loads a plugin library with dlopen exactly as the host does (getLibDesc,
// registerPlugins, registerPlugin), prints what it registered and unloads it.
// Without an argument it loads libzento_TexFacet.so from the lib folder next
// to this program's bin folder. Exit status 0 on success, 1 when the library
// cannot be loaded or registers no plugin type, or the command line is wrong.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "PluginInfo.h"
#include "zento/ZentoPluginHost.h"

namespace {

std::string defaultPluginPath() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "libzento_TexFacet.so";
    std::string path(self, static_cast<size_t>(n));
    const size_t slash = path.find_last_of('/');
    path = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    return path + "/../lib/libzento_TexFacet.so";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "-h" || first == "--help") {
        std::printf("usage: zento-info [PLUGIN.so]\n");
        return 0;
    }
    if (argc > 2 || (first.size() > 1 && first[0] == '-')) {
        std::fprintf(
            stderr, "zento-info: error: %s (usage: zento-info [PLUGIN.so])\n",
            argc > 2 ? "more than one library given" : ("unknown option " + first).c_str());
        return 1;
    }
    const std::string path = argc == 2 ? argv[1] : defaultPluginPath();
    ZUtils::ZentoPluginHost host;
    PluginLibDesc* lib = host.loadLibrary(path.c_str());
    if (!lib) {
        std::fprintf(stderr, "zento-info: cannot load %s: %s\n", path.c_str(), host.getLastError());
        return 1;
    }
    std::printf("Path: %s\n", path.c_str());
    const int types = printPluginInfo(stdout, host, *lib);
    std::fflush(stdout);
    host.unloadAll();
    return types > 0 ? 0 : 1;
}
