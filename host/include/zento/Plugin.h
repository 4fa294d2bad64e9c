// The generic plugin class tree shared by the host and its plugin libraries.
//
//   PluginBase        an object that owns a list of interfaces
//   Plugin            a plugin instance (adds its name)
//   PluginInterface   an interface of a plugin, found by numeric id
//   PluginDesc        a plugin type: makes and destroys instances
//   PluginLibDesc     a plugin library: registers its plugin types
//
// A library exports one function, getLibDesc (extern "C", no arguments), that
// returns its PluginLibDesc. The virtual operations are declared in the order
// of their slots; new operations may only be added at the end of a class.
//
// These classes are defined inline on purpose: each module (the host program,
// each plugin library) compiles its own copy, so every allocation they make
// (interface entries, name copies) goes through that module's operator new and
// is freed by the same module.
//
// Interface list: a singly linked chain of entries {interface, owned, next},
// newest first. getInterface walks it from the head. removeInterface unlinks
// the first entry holding exactly the interface and frees the entry only (the
// interface is not released). Destroying the list releases, oldest first,
// every owned interface and frees every entry; it does not recurse, so long
// chains are safe.
#pragma once

#include <cstring>

#include "zento/InterfaceIds.h"

namespace ZUtils {
class ZentoPluginHost;
}

class PluginInterface;
class PluginDesc;

using PluginID = uint64_t;

class PluginBase {
public:
    PluginBase() = default;
    PluginBase(const PluginBase&) = delete;
    PluginBase& operator=(const PluginBase&) = delete;

    virtual ~PluginBase() { destroyInterfaceList(); }
    virtual PluginInterface* getInterface(ZUtils::InterfaceID id);
    virtual void releaseInterface(PluginInterface*) {}
    virtual int addInterface(PluginInterface* iface, int owned);
    virtual int removeInterface(PluginInterface* iface);

protected:
    struct InterfaceEntry {
        PluginInterface* iface;
        int owned;
        InterfaceEntry* next;
    };

    // Releases owned interfaces oldest first, then frees the entries; leaves
    // the list empty. Safe to call more than once.
    void destroyInterfaceList() noexcept;

    InterfaceEntry* interfaces_ = nullptr;
};

class PluginInterface {
public:
    PluginInterface() = default;
    PluginInterface(const PluginInterface&) = delete;
    PluginInterface& operator=(const PluginInterface&) = delete;

    virtual ~PluginInterface() = default;
    virtual ZUtils::InterfaceID getInterfaceID() const = 0;
    virtual PluginBase* getPlugin() = 0;
    virtual const char* getInterfaceName() const { return nullptr; }
    virtual void release() {
        if (PluginBase* owner = getPlugin()) owner->releaseInterface(this);
    }
};

class Plugin : public PluginBase {
public:
    Plugin() = default;
    ~Plugin() override { delete[] name_; }  // the base then destroys the interface list

    virtual PluginDesc* getPluginDesc() { return nullptr; }
    // Stores a copy of `name` (null stores no name). The copy is made before
    // the old name is freed, so passing the stored name itself is safe, and a
    // failed allocation leaves the old name in place.
    virtual void setPluginName(const char* name);

    const char* getPluginName() const { return name_; }

private:
    char* name_ = nullptr;
};

class PluginDesc : public PluginBase {
public:
    virtual PluginID getPluginID() const = 0;
    virtual Plugin* newPlugin(ZUtils::ZentoPluginHost* host) = 0;
    virtual void deletePlugin(Plugin* plugin) = 0;
    virtual bool supportsInterface(ZUtils::InterfaceID id) const = 0;
    virtual const char* getName() const = 0;
    virtual void registerPlugin(ZUtils::ZentoPluginHost*) {}
    virtual void unregisterPlugin(ZUtils::ZentoPluginHost*) {}
    // Reserved query; null in every descriptor so far.
    virtual void* getExtension() { return nullptr; }
};

class PluginLibDesc : public PluginBase {
public:
    virtual const char* getName() const = 0;
    virtual const char* getDescription() const = 0;
    virtual int registerPlugins(ZUtils::ZentoPluginHost* host) = 0;
};

// The one function a plugin library exports, by this plain name.
extern "C" {
typedef PluginLibDesc* (*GetLibDescFunction)();
}
inline constexpr const char* PLUGIN_ENTRY_NAME = "getLibDesc";

// ---- inline definitions ----

inline PluginInterface* PluginBase::getInterface(ZUtils::InterfaceID id) {
    for (InterfaceEntry* e = interfaces_; e; e = e->next) {
        if (e->iface && e->iface->getInterfaceID() == id) return e->iface;
    }
    return nullptr;
}

inline int PluginBase::addInterface(PluginInterface* iface, int owned) {
    interfaces_ = new InterfaceEntry{iface, owned, interfaces_};
    return 1;
}

inline int PluginBase::removeInterface(PluginInterface* iface) {
    for (InterfaceEntry** link = &interfaces_; *link; link = &(*link)->next) {
        InterfaceEntry* e = *link;
        if (e->iface == iface) {
            *link = e->next;  // unlink first: the rest of the chain stays
            delete e;
            return 1;
        }
    }
    return 0;
}

inline void PluginBase::destroyInterfaceList() noexcept {
    // Reverse the chain so that the oldest entry is handled first (the order a
    // recursive tail-first destruction would give), without recursion.
    InterfaceEntry* reversed = nullptr;
    while (interfaces_) {
        InterfaceEntry* e = interfaces_;
        interfaces_ = e->next;
        e->next = reversed;
        reversed = e;
    }
    while (reversed) {
        InterfaceEntry* e = reversed;
        reversed = e->next;
        if (e->iface && e->owned) e->iface->release();
        delete e;
    }
}

inline void Plugin::setPluginName(const char* name) {
    char* copy = nullptr;
    if (name) {
        const size_t length = std::strlen(name);
        copy = new char[length + 1];
        std::memcpy(copy, name, length + 1);
    }
    delete[] name_;
    name_ = copy;
}
