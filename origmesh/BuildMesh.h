#pragma once
// Building the original-mesh model of a frame (called by the engine at frame begin,
// after the texture is open, with the frame's time).
//
// std::unique_ptr<OrigMeshInterface> buildOrigMesh(int meshType, double time,
//         const ZUtils::ZentoPluginParameter* vertices,
//         const ZUtils::ZentoPluginParameter* origFaces,
//         const ZUtils::ZentoPluginParameter* origFacesDegree,
//         const ZUtils::ZentoPluginParameter* faces, int reverseVertices)
//   meshType is the opened texture's PtexTexture::meshType(): 1 (quad) makes an
//   OrigPolyMesh, anything else an OrigTriMesh. Runs the setters in the order
//   setVertices, setOrigFaces, setFacesDegree, setNumOrigFaces, setFaces, setNumFaces,
//   stopping at the first false, then build(reverseVertices). Gives the model, or null
//   when a parameter is missing (null) or empty, when build() rejects the lists, or
//   when the module allocator refuses the model or one of its tables (the refusal is
//   reported by the allocator; what was made is freed). The model keeps the list
//   values it read until it is destroyed.
//
// std::unique_ptr<OrigMeshInterface> buildOrigMesh(int meshType, double time,
//         ZUtils::ZentoParameterList& params, int reverseVertices)
//   The same with the four parameters looked up by name ("vertices", "origFaces",
//   "origFacesDegree", "faces") in the instance's own parameter list.
//
// Not for shading threads: it allocates. The model it returns is immutable and may be
// read from every render thread at once.

#include <memory>

#include "origmesh/OrigMeshInterface.h"

namespace ZUtils {
class ZentoParameterList;
class ZentoPluginParameter;
}  // namespace ZUtils

std::unique_ptr<OrigMeshInterface> buildOrigMesh(
    int meshType, double time, const ZUtils::ZentoPluginParameter* vertices,
    const ZUtils::ZentoPluginParameter* origFaces,
    const ZUtils::ZentoPluginParameter* origFacesDegree, const ZUtils::ZentoPluginParameter* faces,
    int reverseVertices);

std::unique_ptr<OrigMeshInterface> buildOrigMesh(int meshType, double time,
                                                 ZUtils::ZentoParameterList& params,
                                                 int reverseVertices);
