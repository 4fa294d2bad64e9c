#include "PluginInfo.h"

#include <cinttypes>
#include <cstdlib>
#include <string>

#include "zento/ParameterTypes.h"
#include "zento/Plugin.h"
#include "zento/ZentoParameterListDesc.h"
#include "zento/ZentoPlugin.h"
#include "zento/ZentoPluginHost.h"

using namespace ZUtils;

namespace {

std::string quoted(const char* text) {
    return text ? "\"" + std::string(text) + "\"" : std::string("(none)");
}

std::string typeOf(const ZentoParamDef& def) {
    if (def.kind == ParamKind::Generic) {
        const std::string code = " (type code " + std::to_string(static_cast<int>(def.type)) + ")";
        if (def.count == PARAM_COUNT_LIST)
            return std::string("list of ") + parameterTypeName(def.type) + code;
        return parameterTypeName(def.type) + code;
    }
    if (def.kind == ParamKind::OutputTexture) return "output texture";
    return parameterTypeName(def.type);
}

// Shortest text that reads back as the same float, with a decimal point.
std::string floatText(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    std::string s = text;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

std::string defaultOf(const ZentoParamDef& def) {
    char text[128];
    switch (def.kind) {
        case ParamKind::String:
            return quoted(def.defaultString);
        case ParamKind::Int:
            std::snprintf(text, sizeof text, "%d", def.defaultInt);
            return text;
        case ParamKind::Float:
            return floatText(def.defaultFloat);
        case ParamKind::Bool:
            return def.defaultBool ? "true" : "false";
        case ParamKind::Texture:
            return "(" + floatText(def.defaultColor.r) + ", " + floatText(def.defaultColor.g) +
                   ", " + floatText(def.defaultColor.b) + ", " + floatText(def.defaultColor.a) +
                   ")";
        case ParamKind::Generic:
        case ParamKind::OutputTexture:
            return "-";
    }
    return "-";
}

// Interface ids a plugin type may offer, with the name used when no instance answers.
struct KnownInterface {
    InterfaceID id;
    const char* name;
};
constexpr KnownInterface kKnownInterfaces[] = {
    {EXT_TEXTURE, "EXT_TEXTURE"},
    {EXT_ZENTO_PLUGIN, "EXT_ZENTO_PLUGIN"},
};

}  // namespace

int printPluginInfo(std::FILE* out, ZentoPluginHost& host, PluginLibDesc& lib) {
    std::fprintf(out, "Library: %s\n", lib.getName() ? lib.getName() : "(none)");
    std::fprintf(out, "Description: %s\n", lib.getDescription() ? lib.getDescription() : "(none)");
    int types = 0;
    for (int i = 0; i < host.getNumPluginDescs(); ++i) {
        ZentoPluginDesc* desc = host.getPluginDesc(i);
        ++types;
        std::fprintf(out, "Plugin: %s\n", desc->getName() ? desc->getName() : "(none)");
        std::fprintf(out, "Plugin id: %" PRIu64 "\n", static_cast<uint64_t>(desc->getPluginID()));
        Plugin* instance = desc->newPlugin(&host);
        std::fprintf(out, "Interfaces:\n");
        for (const KnownInterface& known : kKnownInterfaces) {
            if (!desc->supportsInterface(known.id)) continue;
            const PluginInterface* iface = instance ? instance->getInterface(known.id) : nullptr;
            const char* name =
                iface && iface->getInterfaceName() ? iface->getInterfaceName() : known.name;
            std::fprintf(out, "  0x%08" PRIX64 " %s%s\n", static_cast<uint64_t>(known.id), name,
                         iface ? "" : " (not offered by instances)");
        }
        if (instance) desc->deletePlugin(instance);

        const ZentoParameterListDesc* params = host.getParameterListDesc(desc);
        const int count = params ? params->getNumParams() : 0;
        std::fprintf(out, "Parameters (%d):\n", count);
        for (int p = 0; p < count; ++p) {
            const ZentoParamDef& def = *params->getParamDef(p);
            std::fprintf(out, "  %d. %s  type=%s  default=%s  description=%s  hints=%s\n", p + 1,
                         def.name, typeOf(def).c_str(), defaultOf(def).c_str(),
                         quoted(def.description).c_str(), quoted(def.hints).c_str());
        }
    }
    return types;
}
