// The library's static objects and its one exported function.
//
// They are constructed at load in this order (one translation unit keeps the
// order) and destroyed in reverse at unload: the parameter table, filled
// while it is constructed; the plugin descriptor, pointing at it; the library
// descriptor, which getLibDesc returns. The shared Ptex cache holder is
// constant-initialised and so exists before all of them.
#include "plugin/LibEntry.h"
#include "plugin/Descriptors.h"
#include "plugin/ParameterTable.h"

namespace {

TexFacetParamListDesc g_paramListDesc;
UserPluginDesc g_pluginDesc(&g_paramListDesc);
LibDesc g_libDesc(&g_pluginDesc);

}  // namespace

extern "C" __attribute__((visibility("default"))) PluginLibDesc* getLibDesc() {
    return &g_libDesc;
}

UserPluginDesc& texFacetPluginDesc() {
    return g_pluginDesc;
}
ZUtils::ZentoParameterListDesc& texFacetParamListDesc() {
    return g_paramListDesc;
}
