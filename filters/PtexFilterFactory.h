#ifndef filters_PtexFilterFactory_h
#define filters_PtexFilterFactory_h
// The plugin's filter types, added to the Ptex library's one factory
// (PtexFilter::getFilter) through its extension point.
//
// registerPluginFilterTypes(): from now on getFilter answers filter type -1
// (kMitchellFilterType) on quad textures with a PtexMitchellFilter of the
// options' sharpness; on triangle textures -1 stays the standard triangle
// filter. Idempotent and thread-safe; returns false only if the Ptex
// library refused the registration (its table is full or -1 is taken by
// another maker). The plugin library calls it while it is loaded; every
// other program that makes filters the way the plugin does (ptex-eval,
// tests, benchmarks) calls it before its first getFilter.

inline constexpr int kMitchellFilterType = -1;

bool registerPluginFilterTypes();

#endif
