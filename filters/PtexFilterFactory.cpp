// The plugin's filter factory, in front of the Ptex library's: filter type -1
// on a quad texture is the Mitchell filter with the options' sharpness; every
// other type is the library's standard filter of that type and mesh type
// (unknown types the box filter, triangle meshes the triangle filters). A null
// texture or a mesh type other than triangle or quad gets no filter.
//
// This definition replaces the library's PtexFilter::getFilter in every program
// that links zt_filters (see filters/CMakeLists.txt for how it is linked).
#include "filters/PtexMitchellFilter.h"

PtexFilter* PtexFilter::getFilter(PtexTexture* texture, const PtexFilter::Options& options) {
    if (!texture) return nullptr;
    const Ptex::MeshType meshType = texture->meshType();
    if (meshType != Ptex::mt_quad && meshType != Ptex::mt_triangle) return nullptr;
    if (meshType == Ptex::mt_quad && int(options.filter) == -1)
        return new PtexMitchellFilter(texture, options.sharpness);
    return PtexFilter::getStandardFilter(texture, options);
}
