// Per-instance parameter values and their bindings to plugin members.
#include "zento/ZentoParameterList.h"

#include <cstring>
#include <memory>
#include <vector>

#include "zento/ZentoParameterListDesc.h"
#include "zento/ZentoPluginParameter.h"

namespace ZUtils {

namespace {

enum class MemberKind { Text, Int, Float, Texture };

struct Binding {
    int param;
    MemberKind kind;
    void* member;
};

struct Output {
    int param;
    TextureInterface* iface;
};

// The registered default as the parameter's value at time 0.
void setDefault(ZentoPluginParameter& p, const ZentoParamDef& def) {
    switch (def.kind) {
        case ParamKind::String:
            if (def.defaultString) p.setString(def.defaultString, 0.0);
            break;
        case ParamKind::Int:
            p.setInt(def.defaultInt, 0.0);
            break;
        case ParamKind::Float:
            p.setFloat(def.defaultFloat, 0.0);
            break;
        case ParamKind::Bool:
            p.setBool(def.defaultBool, 0.0);
            break;
        case ParamKind::Texture:
            p.setColor(def.defaultColor, 0.0);
            break;
        case ParamKind::Generic:
        case ParamKind::OutputTexture:
            break;  // no value until the host sets one
    }
}

}  // namespace

struct ZentoParameterList::Impl {
    const ZentoParameterListDesc* desc;
    std::vector<std::unique_ptr<ZentoPluginParameter>> params;
    std::vector<Binding> bindings;
    std::vector<Output> outputs;
    int caches = 0;
    double cacheTime = 0.0;
    TracePoint cachePoint;

    int find(const char* name) const {
        if (!name) return -1;
        for (size_t i = 0; i < params.size(); ++i) {
            if (std::strcmp(params[i]->getName(), name) == 0) return static_cast<int>(i);
        }
        return -1;
    }

    int bind(const char* name, MemberKind kind, void* member) {
        const int i = find(name);
        if (i < 0 || !member) return 0;
        bindings.push_back({i, kind, member});
        return 1;
    }
};

ZentoParameterList::ZentoParameterList(const ZentoParameterListDesc* desc) : impl_(new Impl) {
    impl_->desc = desc;
    const int n = desc ? desc->getNumParams() : 0;
    impl_->params.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const ZentoParamDef* def = desc->getParamDef(i);
        auto p = std::make_unique<ZentoPluginParameter>(def->name, def->type);
        setDefault(*p, *def);
        impl_->params.push_back(std::move(p));
    }
}

ZentoParameterList::~ZentoParameterList() {
    delete impl_;
}

int ZentoParameterList::setParamCache(const char* name, CharString* member) {
    return impl_->bind(name, MemberKind::Text, member);
}

int ZentoParameterList::setParamCache(const char* name, int* member) {
    return impl_->bind(name, MemberKind::Int, member);
}

int ZentoParameterList::setParamCache(const char* name, float* member) {
    return impl_->bind(name, MemberKind::Float, member);
}

int ZentoParameterList::setParamCache(const char* name, TextureInterface** member) {
    return impl_->bind(name, MemberKind::Texture, member);
}

int ZentoParameterList::setOutputParamCache(const char* name, TextureInterface* iface) {
    const int i = impl_->find(name);
    if (i < 0) return 0;
    for (Output& o : impl_->outputs) {
        if (o.param == i) {
            o.iface = iface;
            return 1;
        }
    }
    impl_->outputs.push_back({i, iface});
    return 1;
}

void ZentoParameterList::cacheParams(double time, const TracePoint& point) {
    for (const Binding& b : impl_->bindings) {
        const ZentoPluginParameter& p = *impl_->params[static_cast<size_t>(b.param)];
        switch (b.kind) {
            case MemberKind::Text:
                *static_cast<CharString*>(b.member) = p.readString(time);
                break;
            case MemberKind::Int:
                *static_cast<int*>(b.member) = p.readInt(time);
                break;
            case MemberKind::Float:
                *static_cast<float*>(b.member) = p.readFloat(time);
                break;
            case MemberKind::Texture:
                *static_cast<TextureInterface**>(b.member) = p.readTexture(time);
                break;
        }
    }
    ++impl_->caches;
    impl_->cacheTime = time;
    impl_->cachePoint = point;
}

ZentoPluginParameter* ZentoParameterList::getParam(const char* name) {
    const int i = impl_->find(name);
    return i < 0 ? nullptr : impl_->params[static_cast<size_t>(i)].get();
}

int ZentoParameterList::setParameter(ZentoPluginParameter* parameter) {
    if (!parameter) return 0;
    ZentoPluginParameter* mine = getParam(parameter->getName());
    if (!mine) return 0;
    return mine->assignValueFrom(*parameter) ? 1 : 0;
}

int ZentoParameterList::getNumParams() const {
    return static_cast<int>(impl_->params.size());
}

ZentoPluginParameter* ZentoParameterList::getParamByIndex(int index) {
    if (index < 0 || index >= getNumParams()) return nullptr;
    return impl_->params[static_cast<size_t>(index)].get();
}

int ZentoParameterList::getNumBindings() const {
    return static_cast<int>(impl_->bindings.size());
}

const char* ZentoParameterList::getBindingName(int index) const {
    if (index < 0 || index >= getNumBindings()) return nullptr;
    return impl_->params[static_cast<size_t>(impl_->bindings[static_cast<size_t>(index)].param)]
        ->getName();
}

TextureInterface* ZentoParameterList::getOutputTexture(const char* name) const {
    const int i = impl_->find(name);
    for (const Output& o : impl_->outputs) {
        if (o.param == i) return o.iface;
    }
    return nullptr;
}

int ZentoParameterList::getNumCaches() const {
    return impl_->caches;
}
double ZentoParameterList::getCacheTime() const {
    return impl_->cacheTime;
}
TracePoint ZentoParameterList::getCachePoint() const {
    return impl_->cachePoint;
}
const ZentoParameterListDesc* ZentoParameterList::getDesc() const {
    return impl_->desc;
}

}  // namespace ZUtils
