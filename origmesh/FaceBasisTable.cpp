#include "origmesh/FaceBasisTable.h"

#include <cstdlib>

void FaceBasisTable::build(const OrigMeshInterface& model, int reverse, int meshType,
                           int numPtexFaces) {
    reset();
    const MeshSource src(model, reverse);
    const int n = src.numFaces();
    if (n <= 0 || size_t(n) > kMaxBytes / sizeof(FaceBasis)) return;
    if (n > capacity_) {
        // Optional: refused, every lookup maps in full. Raw storage: every entry is
        // written below, so clearing it first would only touch the memory twice.
        bases_.reset(static_cast<FaceBasis*>(std::malloc(sizeof(FaceBasis) * size_t(n))));
        capacity_ = bases_ ? n : 0;
        if (!bases_) return;
    }
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
    count_ = n;
}
