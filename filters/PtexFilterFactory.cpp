// The plugin's filter types in the Ptex library's factory.
#include "filters/PtexFilterFactory.h"

#include "filters/PtexMitchellFilter.h"

namespace {

PtexFilter* makeMitchellFilter(PtexTexture* texture, const PtexFilter::Options& options) {
    return new PtexMitchellFilter(texture, options.sharpness);
}

}  // namespace

bool registerPluginFilterTypes() {
    return PtexFilter::registerFilterType(kMitchellFilterType, Ptex::mt_quad, &makeMitchellFilter);
}
