#include "plugin/ParameterTable.h"

#include "engine/PtexParams.h"
#include "zento/ParameterTypes.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoParameterList.h"

using ZUtils::ParamKind;

void registerTexFacetParameters(ZUtils::ZentoParameterListDesc& d) {
    constexpr int one = ZUtils::PARAM_COUNT_SINGLE;
    for (const ParamRow& r : kTexFacetParams) {
        const char* n = r.name;
        switch (r.kind) {
            case ParamKind::String:
                d.addParamString(n, r.text, one, r.description, r.hints);
                break;
            case ParamKind::Int:
                d.addParamInt(n, int(r.value), one, r.description, r.hints);
                break;
            case ParamKind::Float:
                d.addParamFloat(n, r.value, one, r.description, r.hints);
                break;
            case ParamKind::Bool:
                d.addParamBool(n, r.value != 0, one, r.description, r.hints);
                break;
            case ParamKind::Texture:
                d.addParamTexture(n, ZUtils::AColor(r.value, r.value, r.value, r.value), one,
                                  r.description, r.hints);
                break;
            case ParamKind::Generic:
                d.addParam(n, r.listType, ZUtils::PARAM_COUNT_LIST, r.description, r.hints);
                break;
            case ParamKind::OutputTexture:
                d.addOutputParamTexture(n, r.description, r.hints);
                break;
        }
    }
}

void bindTexFacetParameters(ZUtils::ZentoParameterList* list, PtexParams& params,
                            ZUtils::TextureInterface* self) {
    if (!list) return;
    for (int order = 1; order <= kTexFacetBindingCount; ++order) {
        for (const ParamRow& r : kTexFacetParams) {
            if (r.binding != order) continue;
            if (r.kind == ParamKind::OutputTexture) {
                list->setOutputParamCache(r.name, self);
            } else {
                std::visit(
                    [&](auto member) {
                        if constexpr (!std::is_same_v<decltype(member), std::monostate>)
                            list->setParamCache(r.name, &(params.*member));
                    },
                    r.member);
            }
        }
    }
}
