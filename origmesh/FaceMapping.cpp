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
    Vector3f origin, e1, e2;
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
            origin = src.cornerPosition(origFace, rot, index[rot]);
            e1 = src.cornerPosition(origFace, (rot + 1) % 4, index[(rot + 1) % 4]) - origin;
            e2 = src.cornerPosition(origFace, (rot + 3) % 4, index[(rot + 3) % 4]) - origin;
            if (corners && !src.model()) {
                for (int k = 0; k < 3; ++k)
                    corners->vertex[k] = src.checkedVertex(index[(rot + (k == 2 ? 3 : k)) % 4]);
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
            origin = c[rot];
            e1 = c[(rot + 1) % 4] - origin;
            e2 = c[(rot + 3) % 4] - origin;
        } else {
            return false;  // no corners to map onto
        }
    } else {
        faceId = origFace;
        Vector3f v[3];
        for (int k = 0; k < 3; ++k) {
            if (corners && !src.model()) {
                corners->vertex[k] = src.triangleCornerVertex(origFace, k);
                v[k] = src.hostPosition(corners->vertex[k]);
            } else {
                v[k] = src.triangleCornerPosition(origFace, k);
            }
        }
        const Vector3f &v0 = v[0], &v1 = v[1], &v2 = v[2];
        origin = v0;
        e1 = v1 - v0;
        e2 = v2 - v0;
    }

    if (faceId < 0 || faceId >= q.numPtexFaces) return false;

    out.plane = PlaneBasis(e1, e2);
    out.origin = origin;
    out.faceId = int(faceId);
    out.rot = rot;
    return true;
}
