// The library's standard filter table, by mesh type and filter option
// (registered types are PtexFilterFactory.cpp's).
#include "PtexFilters.h"

PtexFilter* PtexFilter::getStandardFilter(PtexTexture* tx, const Options& opts) {
    if (!tx) return nullptr;
    switch (tx->meshType()) {
        case Ptex::mt_quad:
            switch (opts.filter) {
                case f_point:
                    return new PtexPointFilter(tx);
                case f_bilinear:
                    return new PtexBilinearFilter(tx, opts);
                case f_gaussian:
                    return new PtexGaussianFilter(tx, opts);
                case f_bicubic:
                    return new PtexBicubicFilter(tx, opts, opts.sharpness);
                case f_bspline:
                    return new PtexBicubicFilter(tx, opts, 0.0f);
                case f_catmullrom:
                    return new PtexBicubicFilter(tx, opts, 1.0f);
                case f_mitchell:
                    return new PtexBicubicFilter(tx, opts, 2.0f / 3.0f);
                case f_box:
                default:
                    return new PtexBoxFilter(tx, opts);  // unknown values included
            }
        case Ptex::mt_triangle:
            if (opts.filter == f_point) return new PtexPointFilterTri(tx);
            return new PtexTriangleFilter(tx, opts);
    }
    return nullptr;
}
