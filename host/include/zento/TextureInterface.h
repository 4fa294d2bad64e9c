// ZUtils::TextureInterface (id EXT_TEXTURE) and ZUtils::ZentoTexture.
//
// TextureInterface: what the host calls per shading point, from all render
// threads at once: getTexColor gives the colour with alpha at the point,
// getTexColorBounds the range the colours lie in, getTexVector a vector
// result (zero unless overridden). Implementations must not allocate, lock or
// throw on these paths.
//
// ZentoTexture: a plugin instance that is both its plugin interface and its
// texture interface: EXT_TEXTURE gives the texture subobject, EXT_ZENTO_PLUGIN
// the plugin subobject, other ids the interface list. Both subobjects report
// the instance itself from getPlugin.
#pragma once

#include "zento/AColor.h"
#include "zento/InterfaceIds.h"
#include "zento/Plugin.h"
#include "zento/Vector.h"
#include "zento/ZentoPlugin.h"

namespace ZUtils {

class ShadeContext;

class TextureInterface : public PluginInterface {
public:
    InterfaceID getInterfaceID() const override { return EXT_TEXTURE; }
    const char* getInterfaceName() const override { return "EXT_TEXTURE"; }

    virtual AColor getTexColor(const ShadeContext& sc) = 0;
    virtual void getTexColorBounds(AColor& lower, AColor& upper) = 0;
    virtual Vector3f getTexVector(const ShadeContext&) { return Vector3f{0.0f, 0.0f, 0.0f}; }
};

class ZentoTexture : public ZentoPlugin, public TextureInterface {
public:
    explicit ZentoTexture(ZentoPluginDesc* desc) : ZentoPlugin(desc), TextureInterface() {}

    PluginInterface* getInterface(InterfaceID id) override {
        if (id == EXT_TEXTURE) return static_cast<TextureInterface*>(this);
        if (id == EXT_ZENTO_PLUGIN) return static_cast<ZentoPluginInterface*>(this);
        return Plugin::getInterface(id);
    }
    PluginBase* getPlugin() override { return static_cast<ZentoPlugin*>(this); }
};

// The texture interface of an instance, or null.
inline TextureInterface* getTextureInterface(PluginBase* plugin) {
    PluginInterface* iface = plugin ? plugin->getInterface(EXT_TEXTURE) : nullptr;
    return iface ? static_cast<TextureInterface*>(iface) : nullptr;
}

}  // namespace ZUtils
