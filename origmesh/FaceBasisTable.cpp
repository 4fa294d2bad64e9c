#include "origmesh/FaceBasisTable.h"

#include <new>

void FaceBasisTable::build(const OrigMeshInterface& model, int reverse, int meshType,
                           int numPtexFaces) {
    reset();
    const MeshSource src(model, reverse);
    const int n = src.numFaces();
    if (n <= 0 || size_t(n) > kMaxBytes / sizeof(FaceBasis)) return;
    // Optional: refused, every lookup maps in full.
    bases_.reset(new (std::nothrow) FaceBasis[size_t(n)]);
    if (!bases_) return;
    count_ = n;
    FaceQuery q;
    q.meshType = meshType;
    q.numPtexFaces = numPtexFaces;
    for (int f = 0; f < n; ++f) {
        q.renderFace = f;
        bool perPoint = false;
        FaceBasis& b = bases_[f];
        const bool mapped = findFaceBasis(src, q, b, &perPoint);
        // A sub-face's id, and so whether it maps, depends on the point too.
        if (perPoint) {
            b.faceId = kPerPoint;
        } else if (!mapped) {
            b.faceId = kNoResult;
        }
    }
}
