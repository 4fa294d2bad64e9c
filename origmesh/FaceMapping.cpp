#include "origmesh/FaceMapping.h"

#include <cstdint>

#include "origmesh/PlaneSolve.h"

using ZUtils::Vector3f;

bool findFaceBasis(const MeshSource& src, const FaceQuery& q, FaceBasis& out, bool* pointDependent,
                   BasisVertices* corners) {
    if (pointDependent) *pointDependent = false;
    if (q.renderFace < 0 || q.renderFace >= src.numFaces()) return false;
    const int origFace = src.origFaceIndex(q.renderFace);
    if (origFace < 0 || origFace >= src.numOrigFaces()) return false;

    const bool quadType = q.meshType == 1;
    if (const OrigMeshInterface* model = src.model()) {
        if (model->getMeshType() != (quadType ? 1 : 0)) return false;
    }

    int64_t faceId = 0;
    Vector3f half[3];  // the half's origin corner, then the ends of e1 and e2
    int rot = 0;
    if (quadType) {
        const int start = src.ptexFaceStart(origFace);
        if (start < 0) return false;
        faceId = start;
        const int d = src.faceDegree(origFace);
        if (d == 4) {
            const int t0 = src.triangleVertexIndex(q.renderFace, 0);
            const int t1 = src.triangleVertexIndex(q.renderFace, 1);
            const int t2 = src.triangleVertexIndex(q.renderFace, 2);
            // Each corner's vertex index is asked once: for the search and the positions.
            int index[4];
            for (int k = 0; k < 4; ++k) index[k] = src.cornerVertexIndex(origFace, k);
            int m = 3;  // degenerate quad (repeated indices): take the first half
            for (int k = 0; k < 4; ++k) {
                if (index[k] != t0 && index[k] != t1 && index[k] != t2) {
                    m = k;
                    break;
                }
            }
            rot = (m + 2) % 4;
            const int at[3] = {rot, (rot + 1) % 4, (rot + 3) % 4};
            for (int k = 0; k < 3; ++k) {
                half[k] = src.cornerPosition(origFace, at[k], index[at[k]]);
                if (corners && !src.model()) corners->vertex[k] = src.checkedVertex(index[at[k]]);
            }
        } else if (d > 0) {
            if (pointDependent) *pointDependent = true;
            const int n = d;
            const Vector3f centre = src.faceCenter(origFace);
            // Corners of the current sub-face; the previous and this corner roll on so
            // that each face corner is fetched once.
            Vector3f c[4];
            Vector3f prev = src.cornerPosition(origFace, n - 1);
            Vector3f cur = src.cornerPosition(origFace, 0);
            for (int i = 0; i < n; ++i) {
                const Vector3f next = src.cornerPosition(origFace, (i + 1) % n);
                c[0] = cur;
                c[1] = (cur + next) * 0.5f;
                c[2] = centre;
                c[3] = (prev + cur) * 0.5f;
                if (i == n - 1 || insideQuad(q.P, c[0], c[1], c[2], c[3])) break;
                ++faceId;
                prev = cur;
                cur = next;
            }
            rot = insideTriangle(q.P, c[0], c[1], c[2]) ? 1 : 3;
            half[0] = c[rot];
            half[1] = c[(rot + 1) % 4];
            half[2] = c[(rot + 3) % 4];
        } else {
            return false;  // no corners to map onto
        }
    } else {
        faceId = origFace;
        for (int k = 0; k < 3; ++k) {
            if (corners && !src.model()) {
                corners->vertex[k] = src.triangleCornerVertex(origFace, k);
                half[k] = src.hostPosition(corners->vertex[k]);
            } else {
                half[k] = src.triangleCornerPosition(origFace, k);
            }
        }
    }

    if (faceId < 0 || faceId >= q.numPtexFaces) return false;

    setHalf(out, half);
    out.faceId = int(faceId);
    out.rot = rot;
    return true;
}
