// The TexFacet parameter table (engine/PtexParams.h) in the host's terms.
//
// registerTexFacetParameters(desc): one registration per row, in table order,
//   single values with count -1, the geometry lists with count 0.
// TexFacetParamListDesc: a parameter list description filled with the table
//   while it is constructed (the library's static description).
// bindTexFacetParameters(list, params, self): every bound member in binding
//   order, then the output "color" to the instance's own texture interface.
//   Nothing for a null list.
#pragma once

#include "zento/ZentoParameterListDesc.h"

namespace ZUtils {
class ZentoParameterList;
class TextureInterface;
}  // namespace ZUtils

struct PtexParams;

void registerTexFacetParameters(ZUtils::ZentoParameterListDesc& desc);

class TexFacetParamListDesc : public ZUtils::ZentoParameterListDesc {
public:
    TexFacetParamListDesc() { registerTexFacetParameters(*this); }
};

void bindTexFacetParameters(ZUtils::ZentoParameterList* list, PtexParams& params,
                            ZUtils::TextureInterface* self);
