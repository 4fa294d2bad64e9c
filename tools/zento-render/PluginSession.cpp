#include "PluginSession.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "CommandLine.h"
#include "zento/ParameterTypes.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginParameter.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace ZUtils;

namespace {

constexpr const char* kPluginName = "TexFacet";
constexpr double kNoLimit = HUGE_VAL;

// The ranges the parameters' documentation gives.
struct DocumentedRange {
    const char* name;
    double lo, hi;
};
constexpr DocumentedRange kRanges[] = {
    {"use_image_sequence", 0, 1}, {"ifl_end_condition", 0, 2}, {"filter_type", -1, 7},
    {"width", 0, kNoLimit},       {"blur", 0, kNoLimit},       {"sharpness", 0, 1},
    {"cache_size", 0, kNoLimit},  {"r_channel", 0, kNoLimit},  {"g_channel", 0, kNoLimit},
    {"b_channel", 0, kNoLimit},   {"a_channel", -1, kNoLimit}, {"alpha_type", -1, 2},
    {"color_space", 0, 2},
};

}  // namespace

PluginSession::~PluginSession() {
    for (auto& inst : instances_) {
        if (inst->plugin) host_.destroyPlugin(inst->plugin, desc_);
    }
    instances_.clear();
    host_.unloadAll();
}

bool PluginSession::load(const std::string& libraryPath, std::string& error) {
    if (!host_.loadLibrary(libraryPath.c_str())) {
        error = std::string("cannot load the plugin library ") + libraryPath + ": " +
                host_.getLastError();
        return false;
    }
    desc_ = host_.findPluginDesc(kPluginName);
    if (!desc_) {
        error = libraryPath + " registers no plugin named " + kPluginName;
        return false;
    }
    table_ = host_.getParameterListDesc(desc_);
    if (!table_) table_ = desc_->getParameterListDesc();
    if (!table_) {
        error = "the TexFacet plugin registered no parameter table";
        return false;
    }
    return true;
}

TextureInstance* PluginSession::createTexture(std::string& error) {
    auto inst = std::make_unique<TextureInstance>();
    inst->plugin = host_.createPlugin(kPluginName);
    if (!inst->plugin) {
        error = "the plugin made no TexFacet instance";
        return nullptr;
    }
    inst->pluginInterface = getZentoPluginInterface(inst->plugin);
    inst->texture = getTextureInterface(inst->plugin);
    if (!inst->pluginInterface || !inst->texture) {
        host_.destroyPlugin(inst->plugin, desc_);
        error = "the TexFacet instance offers no plugin or texture interface";
        return nullptr;
    }
    instances_.push_back(std::move(inst));
    return instances_.back().get();
}

void PluginSession::setParameter(TextureInstance& instance, const std::string& name,
                                 const json& value, const std::string& where) {
    auto fail = [&](const std::string& why) { throw SceneError(where + ": " + why); };
    const ZentoParamDef* def = table_ ? table_->findParamDef(name.c_str()) : nullptr;
    if (!def)
        fail("unknown plugin parameter '" + name + "' (zento-render --list-params shows them)");
    ZentoPluginParameter* p = instance.pluginInterface->getParameter(name.c_str());
    if (!p) fail("the instance has no parameter '" + name + "'");
    bool ok = false;
    switch (def->kind) {
        case ParamKind::String:
            if (!value.is_string()) fail("expected a string");
            ok = p->setString(value.get<std::string>().c_str(), 0.0);
            break;
        case ParamKind::Int:
            if (value.is_string() && value.get<std::string>() == "frame") {
                instance.frameNumberParams.push_back(name);
                ok = p->setInt(0, 0.0);
                break;
            }
            if (!value.is_number_integer()) fail("expected an integer (or \"frame\")");
            if (value.get<long long>() < INT32_MIN || value.get<long long>() > INT32_MAX)
                fail("integer out of range");
            ok = p->setInt(value.get<int>(), 0.0);
            break;
        case ParamKind::Float:
            if (!value.is_number()) fail("expected a number");
            if (!std::isfinite(value.get<double>())) fail("expected a finite number");
            ok = p->setFloat(value.get<float>(), 0.0);
            break;
        case ParamKind::Bool:
            if (value.is_boolean())
                ok = p->setBool(value.get<bool>(), 0.0);
            else if (value.is_number_integer() &&
                     (value.get<int>() == 0 || value.get<int>() == 1)) {
                ok = p->setBool(value.get<int>() != 0, 0.0);
            } else {
                fail("expected true or false");
            }
            break;
        case ParamKind::Texture: {
            if (!value.is_array() || value.size() < 3 || value.size() > 4)
                fail("expected a colour [r, g, b] or [r, g, b, a]");
            float c[4] = {0, 0, 0, 1};
            for (size_t i = 0; i < value.size(); ++i) {
                if (!value[i].is_number()) fail("expected a colour of numbers");
                c[i] = value[i].get<float>();
            }
            constants_.push_back(std::make_unique<ConstantTexture>(AColor(c[0], c[1], c[2], c[3])));
            ok = p->setTexture(constants_.back().get(), 0.0);
            break;
        }
        case ParamKind::Generic:
        case ParamKind::OutputTexture:
            fail("'" + name + "' is set by the renderer, not by the scene");
    }
    if (!ok) fail("the parameter did not take the value");
}

json PluginSession::parseSetValue(const std::string& name, const std::string& text) const {
    const ZentoParamDef* def = table_ ? table_->findParamDef(name.c_str()) : nullptr;
    if (!def)
        throw SceneError("--set " + name +
                         ": unknown plugin parameter (zento-render --list-params shows them)");
    auto fail = [&](const char* what) -> json {
        throw SceneError("--set " + name + "=" + text + ": " + what);
    };
    switch (def->kind) {
        case ParamKind::String:
            return text;
        case ParamKind::Int: {
            if (text == "frame") return text;
            size_t used = 0;
            long long v = 0;
            try {
                v = std::stoll(text, &used);
            } catch (...) {
                used = 0;
            }
            if (used != text.size() || text.empty()) return fail("expected an integer");
            return v;
        }
        case ParamKind::Float: {
            size_t used = 0;
            double v = 0;
            try {
                v = std::stod(text, &used);
            } catch (...) {
                used = 0;
            }
            if (used != text.size() || text.empty()) return fail("expected a number");
            return v;
        }
        case ParamKind::Bool:
            if (text == "1" || text == "true" || text == "on") return true;
            if (text == "0" || text == "false" || text == "off") return false;
            return fail("expected true or false");
        case ParamKind::Texture: {
            json arr = json::array();
            std::stringstream ss(text);
            std::string item;
            while (std::getline(ss, item, ',')) {
                size_t used = 0;
                double v = 0;
                try {
                    v = std::stod(item, &used);
                } catch (...) {
                    used = 0;
                }
                if (used == 0) return fail("expected a colour r,g,b or r,g,b,a");
                arr.push_back(v);
            }
            return arr;
        }
        default:
            return fail("is set by the renderer");
    }
}

std::string PluginSession::rangeWarning(const std::string& name, const json& value) {
    if (!value.is_number()) return "";
    const double v = value.get<double>();
    for (const DocumentedRange& r : kRanges) {
        if (name != r.name || (v >= r.lo && v <= r.hi)) continue;
        const std::string range = r.hi == kNoLimit ? shortNumber(r.lo) + " or more"
                                                   : shortNumber(r.lo) + " to " + shortNumber(r.hi);
        return shortNumber(v) + " is outside the documented range of " + name + " (" + range +
               "); the plugin decides what it does with it";
    }
    return "";
}

void PluginSession::refreshForFrame(int frame, double time) {
    for (auto& inst : instances_) {
        for (const std::string& name : inst->frameNumberParams) {
            if (ZentoPluginParameter* p = inst->pluginInterface->getParameter(name.c_str()))
                p->setInt(frame, 0.0);
        }
        if (ZentoParameterList* list = inst->pluginInterface->getParameterList())
            list->cacheParams(time, TracePoint{});
    }
}

std::string PluginSession::describeTable() const {
    std::ostringstream out;
    if (!table_) return "";
    for (int i = 0; i < table_->getNumParams(); ++i) {
        const ZentoParamDef* d = table_->getParamDef(i);
        if (!d) continue;
        out << "  " << d->name << " (" << paramKindName(d->kind);
        switch (d->kind) {
            case ParamKind::String:
                out << ", default \"" << (d->defaultString ? d->defaultString : "") << "\"";
                break;
            case ParamKind::Int:
                out << ", default " << d->defaultInt;
                break;
            case ParamKind::Float:
                out << ", default " << d->defaultFloat;
                break;
            case ParamKind::Bool:
                out << ", default " << (d->defaultBool ? "true" : "false");
                break;
            case ParamKind::Texture:
                out << ", default " << d->defaultColor.r << "," << d->defaultColor.g << ","
                    << d->defaultColor.b << "," << d->defaultColor.a;
                break;
            case ParamKind::Generic:
                out << " " << parameterTypeName(d->type) << " list, set by the renderer";
                break;
            case ParamKind::OutputTexture:
                out << ", the result";
                break;
        }
        out << ")";
        if (d->description && *d->description) out << ": " << d->description;
        out << "\n";
    }
    return out.str();
}

std::string defaultPluginPath(const char* argv0) {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::absolute(argv0 ? argv0 : "zento-render", ec);
    const fs::path dir = exe.parent_path();
    for (const fs::path& candidate :
         {dir / ".." / "lib" / "libzento_TexFacet.so", dir / "libzento_TexFacet.so"}) {
        if (fs::exists(candidate, ec)) return candidate.lexically_normal().string();
    }
    return (dir / ".." / "lib" / "libzento_TexFacet.so").lexically_normal().string();
}
