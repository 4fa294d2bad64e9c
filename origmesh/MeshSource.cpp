#include "origmesh/MeshSource.h"

#include "origmesh/FaceStartTable.h"
#include "zento/ShadingInterfaces.h"

using ZUtils::Vector3f;

MeshSource::MeshSource(const OrigMeshInterface& model, int reverse)
    : model_(&model),
      reverse_(reverse),
      numOrigFaces_(model.getNumOrigFaces()),
      numFaces_(model.getNumFaces()),
      numVertices_(model.getNumVertices()) {}

MeshSource::MeshSource(const ZUtils::MeshInfoInterface& host, FaceStartTable& table, double time,
                       int reverse)
    : host_(&host),
      table_(&table),
      time_(time),
      reverse_(reverse),
      numOrigFaces_(host.getNumOrigFaces(time)),
      numFaces_(host.getNumFaces(time)),
      numVertices_(host.getNumVertices(time)) {}

int MeshSource::origFaceIndex(int renderFace) const {
    if (!validFace(renderFace)) return -1;
    return model_ ? model_->getOrigFaceIndex(renderFace)
                  : host_->getOrigFaceIndex(time_, renderFace);
}

int MeshSource::faceDegree(int origFace) const {
    if (!validOrigFace(origFace)) return 0;
    return model_ ? model_->getFaceDegree(origFace) : host_->getFaceDegree(time_, origFace);
}

int MeshSource::cornerVertexIndex(int origFace, int k) const {
    if (!validOrigFace(origFace)) return 0;
    if (model_) return model_->getFaceVertexIndex(origFace, k);
    int stored = k;
    if (reverse_) {
        const int d = host_->getFaceDegree(time_, origFace);
        if (d <= 0) return 0;
        stored = (d - k) % d;
    }
    return host_->getFaceVertexIndex(time_, origFace, stored);
}

int MeshSource::triangleVertexIndex(int renderFace, int k) const {
    if (!validFace(renderFace)) return 0;
    return model_ ? model_->getTriangleVertexIndex(renderFace, k)
                  : host_->getTriangleVertexIndex(time_, renderFace, k);
}

Vector3f MeshSource::hostVertex(int index) const {
    if (index < 0 || index >= numVertices_) return {};
    return host_->getVertex(time_, index);
}

Vector3f MeshSource::cornerPosition(int origFace, int k) const {
    if (!validOrigFace(origFace)) return {};
    if (model_) return model_->getFaceVertex(origFace, k);
    int stored = k;
    if (reverse_) {
        const int d = host_->getFaceDegree(time_, origFace);
        if (d <= 0) return {};
        stored = (d - k) % d;
    }
    return hostVertex(host_->getFaceVertexIndex(time_, origFace, stored));
}

Vector3f MeshSource::triangleCornerPosition(int face, int k) const {
    if (!validFace(face)) return {};
    if (model_) {
        // A triangle model answers for every render triangle; anything else only for
        // its own faces.
        if (!validOrigFace(face)) return {};
        return model_->getFaceVertex(face, k);
    }
    return hostVertex(host_->getTriangleVertexIndex(time_, face, k));
}

Vector3f MeshSource::faceCenter(int origFace) const {
    if (!validOrigFace(origFace)) return {};
    return model_ ? model_->getFaceCenter(origFace) : host_->getFaceCenter(time_, origFace);
}

int MeshSource::ptexFaceStart(int origFace) const {
    if (!validOrigFace(origFace)) return -1;
    if (model_) return model_->getPtexFaceId(origFace);
    if (!table_->ensureBuilt(*host_, time_)) return -1;
    return table_->lookup(origFace);
}
