// The library entry: getLibDesc (the only exported symbol) and, for code
// inside the library, the static descriptors behind it.
#pragma once

#include "zento/Plugin.h"
#include "zento/ZentoParameterListDesc.h"

class UserPluginDesc;

extern "C" PluginLibDesc* getLibDesc();

UserPluginDesc& texFacetPluginDesc();
ZUtils::ZentoParameterListDesc& texFacetParamListDesc();
