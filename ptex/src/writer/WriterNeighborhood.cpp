// Constant-neighbourhood flag (see WriterNeighborhood.h).
#include "WriterNeighborhood.h"

#include <cstring>

namespace PtexWriterInternal {
namespace {

// Longest vertex walk followed; a longer one leaves the flag off.
constexpr int maxSteps = 64;

class VertexWalk {
public:
    VertexWalk(const std::vector<Ptex::FaceInfo>& faces, const uint8_t* constData, int pixelSize,
               bool triangles)
        : _faces(faces),
          _constData(constData),
          _pixelSize(pixelSize),
          _nedges(triangles ? 3 : 4),
          _quads(!triangles) {}

    // True when every face around vertex e of face f (the start of edge e)
    // holds f's constant value.
    bool vertexConstant(int f, int e, bool clampBorders) const {
        bool closed = false;
        if (!walkClockwise(f, e, closed)) return false;
        if (closed) return true;
        if (!clampBorders) return false;
        return walkCounterClockwise(f, e);
    }

private:
    bool valid(int g) const { return g >= 0 && g < int(_faces.size()); }

    bool sameConstant(int f, int g) const {
        if (!valid(g) || !_faces[g].isConstant()) return false;
        return std::memcmp(_constData + size_t(f) * _pixelSize, _constData + size_t(g) * _pixelSize,
                           _pixelSize) == 0;
    }

    bool walkClockwise(int f, int e, bool& closed) const {
        int prev = f;
        int g = _faces[f].adjface(e), a = _faces[f].adjedge(e);
        for (int steps = 0;; steps++) {
            if (g == f) {
                closed = true;
                return true;
            }
            if (g < 0) return true;  // boundary
            if (steps >= maxSteps || a >= _nedges || !sameConstant(f, g)) return false;
            // Leaving a sub-face for the regular face whose edge it starts:
            // the vertex is the T-junction at the polygon edge's midpoint.
            if (_quads && _faces[prev].isSubface() && !_faces[g].isSubface() &&
                _faces[g].adjface(a) == prev) {
                closed = true;
                return true;
            }
            const int next = (a + 1) % _nedges;
            prev = g;
            a = _faces[g].adjedge(next);
            g = _faces[g].adjface(next);
        }
    }

    bool walkCounterClockwise(int f, int e) const {
        int prev = f;
        const int start = (e + _nedges - 1) % _nedges;  // the edge that ends at vertex e
        int g = _faces[f].adjface(start), a = _faces[f].adjedge(start);
        for (int steps = 0;; steps++) {
            if (g == f) return true;
            if (g < 0) return true;  // the other boundary edge of the vertex
            if (steps >= maxSteps || a >= _nedges || !sameConstant(f, g)) return false;
            if (_quads) {
                const bool prevSub = _faces[prev].isSubface(), gSub = _faces[g].isSubface();
                if (!prevSub && gSub) {
                    // A regular face names the sub-face at the start of its
                    // edge; the vertex is at the end, on the other half.
                    if (a != 3) return false;
                    const int other = _faces[g].adjface(2);
                    if (!sameConstant(f, other)) return false;
                    g = other;
                    a = 0;
                } else if (prevSub && !gSub && _faces[g].adjface(a) != prev) {
                    return true;  // T-junction at the polygon edge's midpoint
                }
            }
            const int next = (a + _nedges - 1) % _nedges;
            prev = g;
            a = _faces[g].adjedge(next);
            g = _faces[g].adjface(next);
        }
    }

    const std::vector<Ptex::FaceInfo>& _faces;
    const uint8_t* _constData;
    int _pixelSize;
    int _nedges;
    bool _quads;
};

}  // namespace

void markConstantNeighborhoods(std::vector<Ptex::FaceInfo>& faces, const uint8_t* constData,
                               int pixelSize, bool triangles, bool clampBorders) {
    VertexWalk walk(faces, constData, pixelSize, triangles);
    const int nedges = triangles ? 3 : 4;
    std::vector<int> flagged;
    for (int f = 0; f < int(faces.size()); f++) {
        if (!faces[f].isConstant()) continue;
        bool all = true;
        for (int e = 0; e < nedges && all; e++) all = walk.vertexConstant(f, e, clampBorders);
        if (all) flagged.push_back(f);
    }
    for (int f : flagged) faces[f].flags |= Ptex::FaceInfo::flag_nbconstant;
}

}  // namespace PtexWriterInternal
