// The library's filter factory: the standard filters only. It sits alone in this
// file so a program that defines its own PtexFilter::getFilter does not pull it in.
#include "Ptexture.h"

PtexFilter* PtexFilter::getFilter(PtexTexture* t, const Options& o) {
    return getStandardFilter(t, o);
}
