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
    try {
        std::unique_ptr<OrigMesh> mesh;
        if (meshType == 1) {
            mesh.reset(new OrigPolyMesh);
        } else {
            mesh.reset(new OrigTriMesh);
        }
        const bool ok = mesh->setVertices(time, vertices) && mesh->setOrigFaces(time, origFaces) &&
                        mesh->setFacesDegree(time, origFacesDegree) &&
                        mesh->setNumOrigFaces(time, origFacesDegree) &&
                        mesh->setFaces(time, faces) && mesh->setNumFaces(time, faces) &&
                        mesh->build(reverseVertices);
        if (!ok) return nullptr;
        return mesh;
    } catch (const std::bad_alloc&) {
        // The model is optional: without it the host's interface answers.
        return nullptr;
    }
}

std::unique_ptr<OrigMeshInterface> buildOrigMesh(int meshType, double time,
                                                 ZUtils::ZentoParameterList& params,
                                                 int reverseVertices) {
    return buildOrigMesh(meshType, time, params.getParam("vertices"), params.getParam("origFaces"),
                         params.getParam("origFacesDegree"), params.getParam("faces"),
                         reverseVertices);
}
