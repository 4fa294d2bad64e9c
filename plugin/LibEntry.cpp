// The library's static objects and its one exported function.
//
// At load, in this order (one translation unit keeps the order): the plugin's
// filter types join the Ptex filter factory; then the static objects, destroyed
// in reverse at unload: the parameter table, filled while it is constructed;
// the plugin descriptor, pointing at it; the library descriptor, which
// getLibDesc returns. The shared Ptex cache holder is constant-initialised and
// so exists before all of them.
#include "plugin/LibEntry.h"
#include "filters/PtexFilterFactory.h"
#include "plugin/Descriptors.h"
#include "plugin/ParameterTable.h"

namespace {

[[maybe_unused]] const bool g_filterTypesRegistered = registerPluginFilterTypes();
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
