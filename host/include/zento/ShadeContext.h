// ZUtils::ShadeContext: the host's read-only context of one shading point, and
// ZUtils::HitObject, the intersected object that answers interface queries.
//
// The host fills a context per shading request and keeps it valid for the call.
// Textures read the members directly; host interfaces are asked for by id
// (HitObject::getInterface, RenderSetup::getInterface), null when absent.
#pragma once

#include <cstdint>

#include "zento/InterfaceIds.h"
#include "zento/Vector.h"

namespace ZUtils {

class RenderSetup;

class HitObject {
public:
    virtual ~HitObject() = default;
    virtual void* getInterface(InterfaceID id) = 0;
};

// rayFlags bits read by textures.
inline constexpr uint32_t RAY_FLAG_NO_RESULT_CACHE =
    0x400000u;  // bit 22: bypass result caches, correct barycentrics
inline constexpr uint32_t RAY_FLAG_FILTER_SCALE_MASK =
    0x1010u;  // bits 4 and 12: scale the filter footprint

class ShadeContext {
public:
    int threadIndex = 0;                 // calling render thread, 0 <= index < thread count
    double rayTime = 0.0;                // time of the ray
    uint32_t rayFlags = 0;               // flag word (see above)
    int resultSlot = 0;                  // result-cache entry of this request in the thread's table
    uint32_t resultKey = 0;              // key of the shading point (0 marks an empty entry)
    HitObject* hitObject = nullptr;      // intersected object, may be null
    RenderSetup* renderSetup = nullptr;  // setup of the renderer, may be null
    float filterScaleRamp = 0.0f;        // s of the footprint scale
    float filterScaleWeight = 0.0f;      // w of the footprint scale
    Vector3d surfacePoint;               // point A of the barycentric correction
    Vector3f hitNormal;                  // third axis with the hit triangle, out of its plane
    int hitFaceIndex = -1;               // intersected render triangle
    Vector2f hitBary;                    // barycentrics (b1, b2) of the hit in the triangle
    Vector3f hitTriangleOrigin;          // p0: first vertex of the hit triangle
    Vector3f hitTriangleEdge1;           // e1: second vertex minus first
    Vector3f hitTriangleEdge2;           // e2: third vertex minus first
    Vector3d shadePoint;                 // point B: shading point in world space
    Vector3f dPdx;                       // world-space offset to the neighbouring point, screen x
    Vector3f dPdy;                       // same, screen y
};

}  // namespace ZUtils
