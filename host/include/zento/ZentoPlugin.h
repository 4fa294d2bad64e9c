// The host's plugin classes: ZentoPluginDesc, ZentoPluginInterface and
// ZentoPlugin.
//
// ZentoPluginDesc: a plugin type with its parameter table (not owned; usually a
// static description). registerPlugin(host) tells the host (onPluginRegistered)
// and then registers the table; unregisterPlugin tells the host. Both ignore a
// null host.
//
// ZentoPluginInterface (id EXT_ZENTO_PLUGIN): how the host drives an instance
// through a render. It keeps the creating descriptor (not owned) and owns the
// instance's parameter list, made from the descriptor's table (none without a
// descriptor or table). renderBegin, renderEnd and frameEnd do nothing here;
// frameBegin runs the host library's base behaviour (baseFrameBegin), which a
// plugin's own frameBegin must run first. setParameter / getParameter forward
// to the parameter list (0 / null without one).
//
// ZentoPlugin: a plugin instance that is its own plugin interface: the id
// EXT_ZENTO_PLUGIN gives that subobject, other ids the interface list.
#pragma once

#include "zento/Export.h"
#include "zento/InterfaceIds.h"
#include "zento/Plugin.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoParameterListDesc.h"
#include "zento/ZentoPluginHost.h"

namespace ZUtils {

class ZentoRenderer;
class ZentoPluginParameter;
class ZentoPluginInterface;

// The host library's own part of ZentoPluginInterface::frameBegin.
ZENTO_API void baseFrameBegin(ZentoPluginInterface* iface, ZentoRenderer* renderer);

class ZentoPluginDesc : public PluginDesc {
public:
    explicit ZentoPluginDesc(ZentoParameterListDesc* paramListDesc = nullptr)
        : paramListDesc_(paramListDesc) {}

    void registerPlugin(ZentoPluginHost* host) override {
        if (!host) return;
        host->onPluginRegistered(this);
        if (paramListDesc_) paramListDesc_->registerParameters(host, this);
    }
    void unregisterPlugin(ZentoPluginHost* host) override {
        if (host) host->onPluginUnregistered(this);
    }

    ZentoParameterListDesc* getParameterListDesc() const { return paramListDesc_; }

protected:
    ZentoParameterListDesc* paramListDesc_;
};

class ZentoPluginInterface : public PluginInterface {
public:
    explicit ZentoPluginInterface(ZentoPluginDesc* desc)
        : desc_(desc),
          paramList_(desc && desc->getParameterListDesc()
                         ? desc->getParameterListDesc()->newParameterList()
                         : nullptr) {}
    ~ZentoPluginInterface() override {
        if (desc_ && desc_->getParameterListDesc() && paramList_) {
            desc_->getParameterListDesc()->deleteParameterList(paramList_);
        }
    }

    InterfaceID getInterfaceID() const override { return EXT_ZENTO_PLUGIN; }
    const char* getInterfaceName() const override { return "EXT_ZENTO_PLUGIN"; }

    virtual void renderBegin(ZentoRenderer*) {}
    virtual void renderEnd(ZentoRenderer*) {}
    virtual void frameBegin(ZentoRenderer* renderer) { baseFrameBegin(this, renderer); }
    virtual void frameEnd(ZentoRenderer*) {}
    virtual int setParameter(ZentoPluginParameter* parameter) {
        return paramList_ ? paramList_->setParameter(parameter) : 0;
    }
    virtual ZentoPluginParameter* getParameter(const char* name) {
        return paramList_ ? paramList_->getParam(name) : nullptr;
    }

    ZentoPluginDesc* getDescriptor() const { return desc_; }
    ZentoParameterList* getParameterList() const { return paramList_; }

protected:
    ZentoPluginDesc* desc_;
    ZentoParameterList* paramList_;
};

class ZentoPlugin : public Plugin, public ZentoPluginInterface {
public:
    explicit ZentoPlugin(ZentoPluginDesc* desc) : Plugin(), ZentoPluginInterface(desc) {}

    PluginInterface* getInterface(InterfaceID id) override {
        if (id == EXT_ZENTO_PLUGIN) return static_cast<ZentoPluginInterface*>(this);
        return Plugin::getInterface(id);
    }
    PluginDesc* getPluginDesc() override { return desc_; }
    PluginBase* getPlugin() override { return this; }
};

// The plugin interface of an instance, or null.
inline ZentoPluginInterface* getZentoPluginInterface(PluginBase* plugin) {
    PluginInterface* iface = plugin ? plugin->getInterface(EXT_ZENTO_PLUGIN) : nullptr;
    return iface ? static_cast<ZentoPluginInterface*>(iface) : nullptr;
}

}  // namespace ZUtils
