#ifndef PtexWriterNeighborhood_h
#define PtexWriterNeighborhood_h
// Constant-neighbourhood flag (FaceInfo::flag_nbconstant) of a finished mesh.
//
// Contract: for every constant face f, sets flag_nbconstant when every face
// around each of f's vertices is constant with a byte-identical value (walking
// the adjacency clockwise around the vertex, and counter-clockwise too when a
// mesh boundary is met; boundaries only count when both border modes clamp).
// Sub-face T-junctions end a vertex as the filters see it. Any inconsistent or
// out-of-range adjacency leaves the flag off: the flag may be missing, it is
// never set on a face whose neighbourhood is not constant.
#include <vector>

#include "Ptexture.h"

namespace PtexWriterInternal {

void markConstantNeighborhoods(std::vector<Ptex::FaceInfo>& faces, const uint8_t* constData,
                               int pixelSize, bool triangles, bool clampBorders);

}  // namespace PtexWriterInternal

#endif
