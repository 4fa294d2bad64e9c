// PluginSession: the TexFacet plugin loaded as a host loads it.
//
// load(path): dlopen through ZUtils::ZentoPluginHost (getLibDesc, the library
// descriptor's registerPlugins, registerPlugin of each plugin type) and finds
// the "TexFacet" descriptor and its parameter table. createTexture makes an
// instance (newPlugin) and reaches its plugin and texture interfaces; the
// session destroys every instance it made (deletePlugin), before unloading.
//
// setParameter sets a parameter of an instance from a scene value, checked
// against the registered table: strings, integers (or "frame": the frame
// number, refreshed every frame), numbers, booleans (or 0 / 1) and colours
// [r, g, b(, a)] for texture parameters (a ConstantTexture is connected).
// The geometry lists are the renderer's and are refused. Errors throw
// SceneError naming `where`.
//
// parseSetValue turns the text of `--set NAME=VALUE` into a scene value of the
// parameter's type.
//
// rangeWarning: for a number outside the range the parameter's documentation
// gives (filter_type -1 to 7, color_space 0 to 2, channel indices, ...), the
// text of a warning; else "". The value is set all the same: the plugin
// decides what it does with it.
#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "ConstantTexture.h"
#include "Scene.h"
#include "zento/Plugin.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoParameterListDesc.h"
#include "zento/ZentoPlugin.h"
#include "zento/ZentoPluginHost.h"

struct TextureInstance {
    Plugin* plugin = nullptr;
    ZUtils::ZentoPluginInterface* pluginInterface = nullptr;
    ZUtils::TextureInterface* texture = nullptr;
    std::vector<std::string> frameNumberParams;  // int parameters that follow the frame
};

class PluginSession {
public:
    PluginSession() = default;
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    bool load(const std::string& libraryPath, std::string& error);
    const ZUtils::ZentoParameterListDesc* table() const { return table_; }

    // Null (and error) when the instance cannot be made.
    TextureInstance* createTexture(std::string& error);

    void setParameter(TextureInstance& instance, const std::string& name,
                      const nlohmann::json& value, const std::string& where);
    nlohmann::json parseSetValue(const std::string& name, const std::string& text) const;
    static std::string rangeWarning(const std::string& name, const nlohmann::json& value);

    // Sets the frame-following parameters of every instance to `frame` and has
    // each instance's parameter list cached at `time`.
    void refreshForFrame(int frame, double time);
    const std::vector<std::unique_ptr<TextureInstance>>& instances() const { return instances_; }

    // The parameter table as text, one parameter per line.
    std::string describeTable() const;

private:
    ZUtils::ZentoPluginHost host_;
    ZUtils::ZentoPluginDesc* desc_ = nullptr;
    const ZUtils::ZentoParameterListDesc* table_ = nullptr;
    std::vector<std::unique_ptr<TextureInstance>> instances_;
    std::vector<std::unique_ptr<ConstantTexture>> constants_;
};

// Where the plugin library is looked for by default: next to the program in
// ../lib, then the program's own folder.
std::string defaultPluginPath(const char* argv0);
