// The shading lookup: the result cache (PtexBase::shade) around one shading
// point from the hit to the filtered colour (PtexBase::evaluate).
#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "Ptexture.h"
#include "engine/PtexBase.h"
#include "origmesh/FaceBasisCache.h"
#include "origmesh/FaceMapping.h"
#include "origmesh/MeshSource.h"
#include "zento/ShadeContext.h"
#include "zento/ShadingInterfaces.h"

namespace {

// Writes d = x0 e1 + x1 e2 + x2 n and adds x0, x1 to the barycentrics; a
// singular basis adds nothing.
void correctBarycentrics(const ZUtils::ShadeContext& sc, float& b1, float& b2) {
    const ZUtils::Vector3f& r0 = sc.hitTriangleEdge1;
    const ZUtils::Vector3f& r1 = sc.hitTriangleEdge2;
    const ZUtils::Vector3f& r2 = sc.hitNormal;
    double m[3][3] = {{r0.x, r0.y, r0.z}, {r1.x, r1.y, r1.z}, {r2.x, r2.y, r2.z}};
    double c[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            c[i][j] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
        }
    const double det = m[0][0] * c[0][0] + m[0][1] * c[0][1] + m[0][2] * c[0][2];
    if (det == 0.0) return;
    const float fdet = static_cast<float>(det);
    float inv[3][3];  // inverse = adjugate / det, adjugate = cofactors transposed
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) inv[i][j] = static_cast<float>(c[j][i]) / fdet;
    const float dx = static_cast<float>(sc.surfacePoint.x - sc.shadePoint.x);
    const float dy = static_cast<float>(sc.surfacePoint.y - sc.shadePoint.y);
    const float dz = static_cast<float>(sc.surfacePoint.z - sc.shadePoint.z);
    b1 += dx * inv[0][0] + dy * inv[1][0] + dz * inv[2][0];
    b2 += dx * inv[0][1] + dy * inv[1][1] + dz * inv[2][1];
}

ZUtils::Vector3f widened(const ZUtils::Vector3d& b, const ZUtils::Vector3f& d) {
    return {static_cast<float>(b.x + static_cast<double>(d.x)),
            static_cast<float>(b.y + static_cast<double>(d.y)),
            static_cast<float>(b.z + static_cast<double>(d.z))};
}

}  // namespace

// Inline: its one caller is miss, whose call and spills it saves per lookup.
[[gnu::always_inline]] inline ZUtils::AColor PtexBase::evaluate(const ZUtils::ShadeContext& sc,
                                                                ShadeCounts& counts) {
    const ZUtils::AColor fallback(1.0f, 1.0f, 1.0f, 1.0f);
    if (!ready()) {
        ++counts.n[kNoTexture];
        return fallback;
    }
    TextureFrame& frame = *frame_;
    // A ready frame has a filter for every thread of the render.
    PtexFilter* filter = frame.filter(sc.threadIndex);
    if (!filter) {
        ++counts.n[kBadThread];
        return fallback;
    }
    const int nchannels = frame.channels().channelCount();
    if (nchannels <= 0 || nchannels > ChannelSetup::kMaxChannels) {
        ++counts.n[kNoTexture];
        return fallback;
    }

    // The basis of the hit triangle, when one is at hand: the own model's were made at
    // the load, the host mesh's this thread found lately. Else the point maps in full.
    ZUtils::HitObject* hit = sc.hitObject;
    const FaceBasis* basis = nullptr;
    ZUtils::MeshInfoInterface* hostMesh = nullptr;
    if (frame.origMesh()) {
        const FaceBasisTable& table = faceBases_;
        basis = table.entry(sc.hitFaceIndex);
        // A triangle outside the table's, or one without a result, does not map; one
        // whose basis depends on the point, or a frame without the table, maps in full.
        if (basis ? table.status(*basis) == FaceBasisTable::kUnmappable : table.built()) {
            ++counts.n[kUnmappable];
            return fallback;
        }
        if (basis && basis->faceId < 0) basis = nullptr;
    } else {
        // Asked at every point: an object may stop offering its mesh.
        hostMesh = ZUtils::queryInterface<ZUtils::MeshInfoInterface>(hit);
        if (!hostMesh) {
            ++counts.n[kNoMeshSource];
            return fallback;
        }
        if (FaceBasisCache* recent = frame.recentBases(sc.threadIndex))
            basis = recent->find(hit, sc.hitFaceIndex, sc.rayTime, *hostMesh);
    }

    float b1 = sc.hitBary.x, b2 = sc.hitBary.y;
    if (sc.rayFlags & ZUtils::RAY_FLAG_NO_RESULT_CACHE) correctBarycentrics(sc, b1, b2);
    ZUtils::Vector3f P = sc.hitTriangleOrigin + b1 * sc.hitTriangleEdge1 + b2 * sc.hitTriangleEdge2;
    if (hit) {
        if (auto* map = ZUtils::queryInterface<ZUtils::HitPointMapping>(hit))
            P = map->mapHitPoint(sc, P);
    }
    // Room for a basis found in full, left uninitialised on the usual path.
    alignas(FaceBasis) unsigned char room[sizeof(FaceBasis)];
    if (!basis) {
        basis = mapInFull(sc, counts, hostMesh, P, room);
        if (!basis) return fallback;
    }
    return shadeFace(sc, counts, filter, *basis, P);
}

// Apart from the usual path, which then keeps no full mapping's state.
[[gnu::noinline]] const FaceBasis* PtexBase::mapInFull(const ZUtils::ShadeContext& sc,
                                                       ShadeCounts& counts,
                                                       ZUtils::MeshInfoInterface* hostMesh,
                                                       const ZUtils::Vector3f& P, void* room) {
    TextureFrame& frame = *frame_;
    FaceQuery q;
    q.renderFace = sc.hitFaceIndex;
    q.P = P;
    q.meshType = frame.meshType();
    q.numPtexFaces = frame.numPtexFaces();
    // The host path of a quad file needs the face-start table: built here, so
    // that a refusal is told apart from a point that does not map.
    if (hostMesh && q.meshType == 1 && !frame.faceStarts().ensureBuilt(*hostMesh, sc.rayTime)) {
        ++counts.n[kAllocationRefused];
        return nullptr;
    }
    const int reverse = params_.reverseVertices;
    FaceBasis& found = *new (room) FaceBasis;
    bool pointDependent = false;
    BasisVertices corners;
    const OrigMeshInterface* origMesh = frame.origMesh();
    const bool mapped =
        origMesh ? findFaceBasis(MeshSource(*origMesh, reverse), q, found)
                 : findFaceBasis(MeshSource(*hostMesh, frame.faceStarts(), sc.rayTime, reverse), q,
                                 found, &pointDependent, &corners);
    if (!mapped) {
        ++counts.n[kUnmappable];
        return nullptr;
    }
    if (!origMesh && !pointDependent) {
        if (FaceBasisCache* recent = frame.recentBases(sc.threadIndex))
            recent->store(sc.hitObject, sc.hitFaceIndex, sc.rayTime, found, corners);
    }
    return &found;
}

[[gnu::always_inline]] inline ZUtils::AColor PtexBase::shadeFace(const ZUtils::ShadeContext& sc,
                                                                 ShadeCounts& counts,
                                                                 PtexFilter* filter,
                                                                 const FaceBasis& basis,
                                                                 const ZUtils::Vector3f& P) {
    TextureFrame& frame = *frame_;
    counts.n[kFacesTouched] += frame.touchFace(basis.faceId);

    // The neighbour points are asked for first, so that the point and both offsets
    // are solved in the basis in one go.
    FaceCoords fm;
    ZUtils::WorldPointMapping* world =
        params_.filterType != 0 ? ZUtils::queryInterface<ZUtils::WorldPointMapping>(sc.hitObject)
                                : nullptr;
    if (!world) {
        mapPoint(basis, P, fm);
    } else {
        const ZUtils::Vector3f q1 = world->mapWorldPoint(widened(sc.shadePoint, sc.dPdx), sc);
        const ZUtils::Vector3f q2 = world->mapWorldPoint(widened(sc.shadePoint, sc.dPdy), sc);
        mapPointAndFootprint(basis, P, q1 - P, q2 - P, fm);
        if (sc.rayFlags & ZUtils::RAY_FLAG_FILTER_SCALE_MASK) {
            if (const auto* fs =
                    ZUtils::queryInterface<ZUtils::FilterScaleInterface>(sc.renderSetup)) {
                const float s = sc.filterScaleRamp, w = sc.filterScaleWeight;
                const float t = (std::isnan(s) || s < 1.0f) ? 0.0f : ((s - 1.0f) / s) * w;
                const float k = (1.0f - t) * fs->filterMultiplier + t;
                fm.du1 *= k;
                fm.dv1 *= k;
                fm.du2 *= k;
                fm.dv2 *= k;
            }
        }
    }

    // Only the channels read are zeroed: clearing the whole 4 KiB buffer cost
    // more than the rest of this function per shading point.
    const ChannelSetup& channels = frame.channels();
    const int nchannels = channels.channelCount();
    float buffer[ChannelSetup::kMaxChannels];
    std::fill_n(buffer, 4, 0.0f);  // the usual case in whole, without a loop
    if (nchannels > 4) std::fill_n(buffer + 4, nchannels - 4, 0.0f);
    ++counts.n[kFilterEvaluations];
    filter->eval(buffer, channels.firstChannel, nchannels, fm.faceId, fm.u, fm.v, fm.du1, fm.dv1,
                 fm.du2, fm.dv2, params_.width, params_.blur);
    return mapChannels(channels, params_, buffer, sc);
}

ZUtils::AColor PtexBase::shade(const ZUtils::ShadeContext& sc) {
    if (sc.threadIndex >= 0 && sc.threadIndex < resultTables_.count()) {
        // The calling thread's block: its table and its counts. The table is
        // not used when the request bypasses the cache; key 0 marks empty
        // entries, so it is never looked up or stored.
        ResultTable& own = resultTables_.table(sc.threadIndex);
        const bool cached = !(sc.rayFlags & ZUtils::RAY_FLAG_NO_RESULT_CACHE) &&
                            sc.resultKey != 0 && sc.resultSlot >= 0 && sc.resultSlot < INT_MAX;
        if (cached) {
            if (const ZUtils::AColor* stored = own.find(sc.resultSlot, sc.resultKey)) {
                ++own.counts.n[kCacheHits];
                return *stored;
            }
        }
        return miss(sc, cached ? &own : nullptr, own.counts);
    }
    // No block of its own (a thread index outside the tables, or no tables):
    // counted apart, then added to the instance's atomics.
    ShadeCounts counts;
    const ZUtils::AColor result = miss(sc, nullptr, counts);
    sharedCounts_.add(counts);
    return result;
}

ZUtils::AColor PtexBase::miss(const ZUtils::ShadeContext& sc, ResultTable* table,
                              ShadeCounts& counts) {
    const ZUtils::AColor fallback(1.0f, 1.0f, 1.0f, 1.0f);
    ++counts.n[kMisses];
    ZUtils::AColor result;
    try {
        result = evaluate(sc, counts);
    } catch (const char*) {
        // The Ptex library reading face data was refused memory; the module's
        // allocator has reported it, and the render thread goes on.
        ++counts.n[kAllocationRefused];
        return fallback;
    }
    if (table && !table->store(sc.resultSlot, sc.resultKey, result)) {
        ++counts.n[kAllocationRefused];
        return fallback;
    }
    return result;
}
