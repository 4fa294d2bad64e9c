// ZUtils::ZentoPluginHost: the host side of the plugin registration protocol.
//
// Loading a library (loadLibrary): dlopen by path (local symbols, immediate
// binding), look up the exported "getLibDesc", call it, then call the
// library descriptor's registerPlugins(this) (which calls addPluginDesc for
// each plugin type), then registerPlugin(this) of every descriptor added by
// that library (which calls onPluginRegistered and registers the parameter
// table through onParametersRegistered). registerLibDesc does the same for a
// library descriptor already in the process (tests, statically linked
// plugins).
//
// Unloading (unloadLibrary, unloadAll, destructor): unregisterPlugin(this) of
// each descriptor of the library, then dlclose. Instances must have been
// destroyed before; the host does not track them. A derived host that wants
// its own callbacks to see the unloading calls unloadAll in its destructor.
//
// Instances: createPlugin(name) asks the registered descriptor of that name
// for newPlugin(this); destroyPlugin hands the instance back to the
// descriptor it reports (getPluginDesc), or to `desc` when given.
//
// Not thread-safe; used at start-up and between renders.
#pragma once

#include "zento/Export.h"

class Plugin;
class PluginDesc;
class PluginLibDesc;

namespace ZUtils {

class ZentoPluginDesc;
class ZentoParameterListDesc;

class ZENTO_API ZentoPluginHost {
public:
    ZentoPluginHost();
    virtual ~ZentoPluginHost();
    ZentoPluginHost(const ZentoPluginHost&) = delete;
    ZentoPluginHost& operator=(const ZentoPluginHost&) = delete;

    // Registration callbacks of the protocol. Results: 1 done, 0 refused
    // (null or duplicate). Plugins do not examine them.
    virtual int addPluginDesc(ZentoPluginDesc* desc);
    virtual int onPluginRegistered(ZentoPluginDesc* desc);
    virtual int onPluginUnregistered(ZentoPluginDesc* desc);
    virtual int onParametersRegistered(ZentoPluginDesc* desc, ZentoParameterListDesc* params);

    // Libraries. Null on failure; getLastError tells why.
    PluginLibDesc* loadLibrary(const char* path);
    // Loads directory/lib<name>.so.
    PluginLibDesc* loadPluginByName(const char* directory, const char* name);
    // Registers a library descriptor that is already loaded (no dlopen).
    PluginLibDesc* registerLibDesc(PluginLibDesc* lib);
    bool unloadLibrary(PluginLibDesc* lib);
    void unloadAll();
    const char* getLastError() const;

    int getNumLibraries() const;
    PluginLibDesc* getLibrary(int index) const;
    const char* getLibraryPath(int index) const;  // "" for registerLibDesc

    // Descriptors added through addPluginDesc, in order.
    int getNumPluginDescs() const;
    ZentoPluginDesc* getPluginDesc(int index) const;
    ZentoPluginDesc* findPluginDesc(const char* name) const;
    bool isRegistered(const ZentoPluginDesc* desc) const;
    ZentoParameterListDesc* getParameterListDesc(const ZentoPluginDesc* desc) const;

    Plugin* createPlugin(const char* name);
    void destroyPlugin(Plugin* plugin, PluginDesc* desc = nullptr);

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace ZUtils
