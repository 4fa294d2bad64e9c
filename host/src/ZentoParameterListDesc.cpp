// Parameter table: entries in registration order, texts copied.
#include "zento/ZentoParameterListDesc.h"

#include <cstring>
#include <deque>
#include <string>

#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginHost.h"

namespace ZUtils {

namespace {

// A registered entry: its texts and the public view pointing into them.
struct Entry {
    std::string name, description, hints, defaultString;
    ZentoParamDef def;
};

}  // namespace

struct ZentoParameterListDesc::Impl {
    std::deque<Entry> entries;  // a deque keeps the views' pointers stable

    int add(const char* name, ParamKind kind, ZentoParameterType type, int count,
            const char* description, const char* hints, const char* defaultString) {
        Entry& e = entries.emplace_back();
        e.name = name ? name : "";
        e.def.name = e.name.c_str();
        e.def.kind = kind;
        e.def.type = type;
        e.def.count = count;
        if (description) {
            e.description = description;
            e.def.description = e.description.c_str();
        }
        if (hints) {
            e.hints = hints;
            e.def.hints = e.hints.c_str();
        }
        if (defaultString) {
            e.defaultString = defaultString;
            e.def.defaultString = e.defaultString.c_str();
        }
        return static_cast<int>(entries.size()) - 1;
    }
};

ZentoParameterListDesc::ZentoParameterListDesc() : impl_(new Impl) {}

ZentoParameterListDesc::~ZentoParameterListDesc() {
    delete impl_;
}

int ZentoParameterListDesc::addParamString(const char* name, const char* defaultValue, int count,
                                           const char* description, const char* hints) {
    return impl_->add(name, ParamKind::String, TYPE_STRING, count, description, hints,
                      defaultValue);
}

int ZentoParameterListDesc::addParamInt(const char* name, int defaultValue, int count,
                                        const char* description, const char* hints) {
    const int i = impl_->add(name, ParamKind::Int, TYPE_INT, count, description, hints, nullptr);
    impl_->entries[static_cast<size_t>(i)].def.defaultInt = defaultValue;
    return i;
}

int ZentoParameterListDesc::addParamFloat(const char* name, float defaultValue, int count,
                                          const char* description, const char* hints) {
    const int i =
        impl_->add(name, ParamKind::Float, TYPE_FLOAT, count, description, hints, nullptr);
    impl_->entries[static_cast<size_t>(i)].def.defaultFloat = defaultValue;
    return i;
}

int ZentoParameterListDesc::addParamBool(const char* name, bool defaultValue, int count,
                                         const char* description, const char* hints) {
    const int i = impl_->add(name, ParamKind::Bool, TYPE_BOOL, count, description, hints, nullptr);
    impl_->entries[static_cast<size_t>(i)].def.defaultBool = defaultValue;
    return i;
}

int ZentoParameterListDesc::addParamTexture(const char* name, const AColor& defaultValue, int count,
                                            const char* description, const char* hints) {
    const int i =
        impl_->add(name, ParamKind::Texture, TYPE_TEXTURE, count, description, hints, nullptr);
    impl_->entries[static_cast<size_t>(i)].def.defaultColor = defaultValue;
    return i;
}

int ZentoParameterListDesc::addParam(const char* name, ZentoParameterType type, int count,
                                     const char* description, const char* hints) {
    return impl_->add(name, ParamKind::Generic, type, count, description, hints, nullptr);
}

int ZentoParameterListDesc::addOutputParamTexture(const char* name, const char* description,
                                                  const char* hints) {
    return impl_->add(name, ParamKind::OutputTexture, TYPE_OUTPUT_TEXTURE, PARAM_COUNT_SINGLE,
                      description, hints, nullptr);
}

int ZentoParameterListDesc::registerParameters(ZentoPluginHost* host, ZentoPluginDesc* desc) {
    return host ? host->onParametersRegistered(desc, this) : 0;
}

ZentoParameterList* ZentoParameterListDesc::newParameterList() {
    return new ZentoParameterList(this);
}

void ZentoParameterListDesc::deleteParameterList(ZentoParameterList* list) {
    delete list;
}

int ZentoParameterListDesc::getNumParams() const {
    return static_cast<int>(impl_->entries.size());
}

const ZentoParamDef* ZentoParameterListDesc::getParamDef(int index) const {
    if (index < 0 || index >= getNumParams()) return nullptr;
    return &impl_->entries[static_cast<size_t>(index)].def;
}

int ZentoParameterListDesc::findParamIndex(const char* name) const {
    if (!name) return -1;
    for (size_t i = 0; i < impl_->entries.size(); ++i) {
        if (impl_->entries[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

const ZentoParamDef* ZentoParameterListDesc::findParamDef(const char* name) const {
    return getParamDef(findParamIndex(name));
}

}  // namespace ZUtils
