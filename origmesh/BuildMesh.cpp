#include "origmesh/BuildMesh.h"

#include <new>

#include "origmesh/OrigPolyMesh.h"
#include "origmesh/OrigTriMesh.h"
#include "zento/ZentoParameterList.h"

std::unique_ptr<OrigMeshInterface> buildOrigMesh(
    int meshType, double time, const ZUtils::ZentoPluginParameter* vertices,
    const ZUtils::ZentoPluginParameter* origFaces,
    const ZUtils::ZentoPluginParameter* origFacesDegree, const ZUtils::ZentoPluginParameter* faces,
    int reverseVertices) {
    // The model is optional (without it the host's interface answers), so a
    // refused allocation gives no model rather than a failed frame.
    std::unique_ptr<OrigMesh> mesh;
    if (meshType == 1) {
        mesh.reset(new (std::nothrow) OrigPolyMesh);
    } else {
        mesh.reset(new (std::nothrow) OrigTriMesh);
    }
    if (!mesh) return nullptr;
    const bool ok = mesh->setVertices(time, vertices) && mesh->setOrigFaces(time, origFaces) &&
                    mesh->setFacesDegree(time, origFacesDegree) &&
                    mesh->setNumOrigFaces(time, origFacesDegree) && mesh->setFaces(time, faces) &&
                    mesh->setNumFaces(time, faces) && mesh->build(reverseVertices);
    if (!ok) return nullptr;
    return mesh;
}

std::unique_ptr<OrigMeshInterface> buildOrigMesh(int meshType, double time,
                                                 ZUtils::ZentoParameterList& params,
                                                 int reverseVertices) {
    return buildOrigMesh(meshType, time, params.getParam("vertices"), params.getParam("origFaces"),
                         params.getParam("origFacesDegree"), params.getParam("faces"),
                         reverseVertices);
}
