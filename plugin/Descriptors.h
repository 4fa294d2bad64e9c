// The library's descriptors: UserPluginDesc (the plugin type "TexFacet") and
// LibDesc (the library), and the identifiers they answer with.
//
// UserPluginDesc: id 20100607000, name "TexFacet"; newPlugin makes a TexFacet
// for this descriptor (the host argument is unused), deletePlugin destroys
// one through its virtual destructor (null: nothing); supportsInterface is
// true exactly for EXT_TEXTURE and EXT_ZENTO_PLUGIN. Registration with the
// host (and of the parameter table) is ZentoPluginDesc's.
//
// LibDesc: name "TexFacet", description "Ptex texture for Zento";
// registerPlugins(host) adds its plugin descriptor to a non-null host and
// returns 1 in every case.
#pragma once

#include "zento/ZentoPlugin.h"

inline constexpr PluginID TEXFACET_PLUGIN_ID = 20100607000ull;
inline constexpr const char* TEXFACET_NAME = "TexFacet";
inline constexpr const char* TEXFACET_LIBRARY_DESCRIPTION = "Ptex texture for Zento";

class UserPluginDesc : public ZUtils::ZentoPluginDesc {
public:
    explicit UserPluginDesc(ZUtils::ZentoParameterListDesc* paramListDesc)
        : ZentoPluginDesc(paramListDesc) {}

    PluginID getPluginID() const override { return TEXFACET_PLUGIN_ID; }
    Plugin* newPlugin(ZUtils::ZentoPluginHost* host) override;
    void deletePlugin(Plugin* plugin) override;
    bool supportsInterface(ZUtils::InterfaceID id) const override {
        return id == ZUtils::EXT_TEXTURE || id == ZUtils::EXT_ZENTO_PLUGIN;
    }
    const char* getName() const override { return TEXFACET_NAME; }
};

class LibDesc : public PluginLibDesc {
public:
    explicit LibDesc(UserPluginDesc* pluginDesc) : pluginDesc_(pluginDesc) {}

    const char* getName() const override { return TEXFACET_NAME; }
    const char* getDescription() const override { return TEXFACET_LIBRARY_DESCRIPTION; }
    int registerPlugins(ZUtils::ZentoPluginHost* host) override;

private:
    UserPluginDesc* pluginDesc_;
};
