// Plugin host: loads libraries with dlopen and runs the registration protocol.
#include "zento/ZentoPluginHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "zento/Plugin.h"
#include "zento/ZentoPlugin.h"
#include "zento/ZentoRenderer.h"

namespace ZUtils {

namespace {

struct Library {
    void* handle = nullptr;  // null for registerLibDesc
    PluginLibDesc* lib = nullptr;
    std::string path;
    std::vector<ZentoPluginDesc*> descs;  // added while this library registered
};

struct Registration {
    ZentoPluginDesc* desc;
    bool registered = false;
    ZentoParameterListDesc* params = nullptr;
};

}  // namespace

struct ZentoPluginHost::Impl {
    std::vector<Library> libraries;
    std::vector<Registration> descs;
    Library* registering = nullptr;
    std::string lastError;

    Registration* find(const ZentoPluginDesc* desc) {
        for (Registration& r : descs) {
            if (r.desc == desc) return &r;
        }
        return nullptr;
    }
};

ZentoPluginHost::ZentoPluginHost() : impl_(new Impl) {}

ZentoPluginHost::~ZentoPluginHost() {
    unloadAll();
    delete impl_;
}

int ZentoPluginHost::addPluginDesc(ZentoPluginDesc* desc) {
    if (!desc || impl_->find(desc)) return 0;
    impl_->descs.push_back({desc});
    if (impl_->registering) impl_->registering->descs.push_back(desc);
    return 1;
}

int ZentoPluginHost::onPluginRegistered(ZentoPluginDesc* desc) {
    Registration* r = impl_->find(desc);
    if (!r || r->registered) return 0;
    r->registered = true;
    return 1;
}

int ZentoPluginHost::onPluginUnregistered(ZentoPluginDesc* desc) {
    Registration* r = impl_->find(desc);
    if (!r || !r->registered) return 0;
    r->registered = false;
    r->params = nullptr;
    return 1;
}

int ZentoPluginHost::onParametersRegistered(ZentoPluginDesc* desc, ZentoParameterListDesc* params) {
    Registration* r = impl_->find(desc);
    if (!r || !params) return 0;
    r->params = params;
    return 1;
}

PluginLibDesc* ZentoPluginHost::registerLibDesc(PluginLibDesc* lib) {
    if (!lib) {
        impl_->lastError = "no library descriptor";
        return nullptr;
    }
    for (const Library& l : impl_->libraries) {
        if (l.lib == lib) {
            impl_->lastError = "library already registered";
            return nullptr;
        }
    }
    impl_->libraries.emplace_back();
    impl_->libraries.back().lib = lib;
    impl_->registering = &impl_->libraries.back();
    lib->registerPlugins(this);
    impl_->registering = nullptr;
    // Copy: registerPlugin calls back into this host.
    const std::vector<ZentoPluginDesc*> added = impl_->libraries.back().descs;
    for (ZentoPluginDesc* desc : added) desc->registerPlugin(this);
    return lib;
}

PluginLibDesc* ZentoPluginHost::loadLibrary(const char* path) {
    if (!path || !*path) {
        impl_->lastError = "no library path";
        return nullptr;
    }
    void* handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        impl_->lastError = why ? why : "dlopen failed";
        return nullptr;
    }
    auto entry = reinterpret_cast<GetLibDescFunction>(::dlsym(handle, PLUGIN_ENTRY_NAME));
    if (!entry) {
        impl_->lastError = std::string(path) + ": no " + PLUGIN_ENTRY_NAME;
        ::dlclose(handle);
        return nullptr;
    }
    PluginLibDesc* lib = entry();
    if (!lib || !registerLibDesc(lib)) {
        if (!lib)
            impl_->lastError = std::string(path) + ": " + PLUGIN_ENTRY_NAME + " returned null";
        ::dlclose(handle);
        return nullptr;
    }
    for (Library& l : impl_->libraries) {
        if (l.lib == lib) {
            l.handle = handle;
            l.path = path;
        }
    }
    return lib;
}

PluginLibDesc* ZentoPluginHost::loadPluginByName(const char* directory, const char* name) {
    if (!name || !*name) {
        impl_->lastError = "no plugin name";
        return nullptr;
    }
    std::string path = directory && *directory ? std::string(directory) + "/" : std::string();
    path += "lib";
    path += name;
    path += ".so";
    return loadLibrary(path.c_str());
}

bool ZentoPluginHost::unloadLibrary(PluginLibDesc* lib) {
    auto it = std::find_if(impl_->libraries.begin(), impl_->libraries.end(),
                           [lib](const Library& l) { return l.lib == lib; });
    if (it == impl_->libraries.end()) return false;
    Library library = std::move(*it);
    impl_->libraries.erase(it);
    for (ZentoPluginDesc* desc : library.descs) {
        desc->unregisterPlugin(this);
        impl_->descs.erase(std::remove_if(impl_->descs.begin(), impl_->descs.end(),
                                          [desc](const Registration& r) { return r.desc == desc; }),
                           impl_->descs.end());
    }
    if (library.handle) ::dlclose(library.handle);
    return true;
}

void ZentoPluginHost::unloadAll() {
    while (!impl_->libraries.empty()) unloadLibrary(impl_->libraries.back().lib);
}

const char* ZentoPluginHost::getLastError() const {
    return impl_->lastError.c_str();
}

int ZentoPluginHost::getNumLibraries() const {
    return static_cast<int>(impl_->libraries.size());
}

PluginLibDesc* ZentoPluginHost::getLibrary(int index) const {
    if (index < 0 || index >= getNumLibraries()) return nullptr;
    return impl_->libraries[static_cast<size_t>(index)].lib;
}

const char* ZentoPluginHost::getLibraryPath(int index) const {
    if (index < 0 || index >= getNumLibraries()) return nullptr;
    return impl_->libraries[static_cast<size_t>(index)].path.c_str();
}

int ZentoPluginHost::getNumPluginDescs() const {
    return static_cast<int>(impl_->descs.size());
}

ZentoPluginDesc* ZentoPluginHost::getPluginDesc(int index) const {
    if (index < 0 || index >= getNumPluginDescs()) return nullptr;
    return impl_->descs[static_cast<size_t>(index)].desc;
}

ZentoPluginDesc* ZentoPluginHost::findPluginDesc(const char* name) const {
    if (!name) return nullptr;
    for (const Registration& r : impl_->descs) {
        const char* n = r.desc->getName();
        if (n && std::strcmp(n, name) == 0) return r.desc;
    }
    return nullptr;
}

bool ZentoPluginHost::isRegistered(const ZentoPluginDesc* desc) const {
    Registration* r = impl_->find(desc);
    return r && r->registered;
}

ZentoParameterListDesc* ZentoPluginHost::getParameterListDesc(const ZentoPluginDesc* desc) const {
    Registration* r = impl_->find(desc);
    return r ? r->params : nullptr;
}

Plugin* ZentoPluginHost::createPlugin(const char* name) {
    ZentoPluginDesc* desc = findPluginDesc(name);
    if (!desc || !isRegistered(desc)) {
        impl_->lastError = std::string("no registered plugin type ") + (name ? name : "(null)");
        return nullptr;
    }
    return desc->newPlugin(this);
}

void ZentoPluginHost::destroyPlugin(Plugin* plugin, PluginDesc* desc) {
    if (!plugin) return;
    PluginDesc* owner = desc ? desc : plugin->getPluginDesc();
    if (owner) owner->deletePlugin(plugin);
}

void baseFrameBegin(ZentoPluginInterface*, ZentoRenderer* renderer) {
    if (renderer) renderer->notePluginFrameBegin();
}

}  // namespace ZUtils
