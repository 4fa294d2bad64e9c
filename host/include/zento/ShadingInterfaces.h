// Host interfaces that textures reach by id at shading time (from the hit
// object) or from the render setup. Each has a static ID for queryInterface.
//
//  MeshInfoInterface    (2012052901, hit object): original-mesh facts of the
//                       intersected mesh; every query takes the time first.
//                       Indices are not checked by the interface's users
//                       beyond what they state; implementations must answer
//                       out-of-range indices without crashing (0 / -1 / zero).
//  HitPointMapping      (2006012001, hit object): maps a rebuilt hit point
//                       into mesh space.
//  WorldPointMapping    (2011092901, hit object): maps a world-space point
//                       into mesh space.
//  FilterScaleInterface (2012011901, render setup): plain data; its first data
//                       member is the footprint multiplier.
//  AssetPathFlagInterface (0x77ED2C65, render setup): plain data; a 32-bit
//                       value handed on to checkAssetPath as a flag.
//
// All of them are read from every render thread at once: implementations must
// be safe for concurrent const calls and must not allocate per call.
#pragma once

#include <cstdint>

#include "zento/InterfaceIds.h"
#include "zento/ShadeContext.h"
#include "zento/Vector.h"
#include "zento/ZentoRenderer.h"

namespace ZUtils {

class MeshInfoInterface {
public:
    static constexpr InterfaceID ID = EXT_MESH_INFO;

    virtual ~MeshInfoInterface() = default;
    // Operations not used by textures come first.
    virtual int getVersion() const { return 1; }

    virtual int getNumOrigFaces(double time) const = 0;
    virtual int getFaceDegree(double time, int origFace) const = 0;
    virtual int getFaceVertexIndex(double time, int origFace, int k) const = 0;
    virtual Vector3f getFaceCenter(double time, int origFace) const = 0;
    virtual int getOrigFaceIndex(double time, int renderFace) const = 0;
    virtual Vector3f getVertex(double time, int index) const = 0;
    virtual int getNumVertices(double time) const = 0;
    virtual int getNumFaces(double time) const = 0;
    virtual int getTriangleVertexIndex(double time, int renderFace, int k) const = 0;
};

class HitPointMapping {
public:
    static constexpr InterfaceID ID = EXT_HIT_POINT_MAPPING;

    virtual ~HitPointMapping() = default;
    virtual Vector3f mapHitPoint(const ShadeContext& sc, const Vector3f& point) const = 0;
};

class WorldPointMapping {
public:
    static constexpr InterfaceID ID = EXT_WORLD_POINT_MAPPING;

    virtual ~WorldPointMapping() = default;
    virtual Vector3f mapWorldPoint(const Vector3f& point, const ShadeContext& sc) const = 0;
};

struct FilterScaleInterface {
    static constexpr InterfaceID ID = EXT_FILTER_SCALE;

    float filterMultiplier = 1.0f;  // m: first data member
};

struct AssetPathFlagInterface {
    static constexpr InterfaceID ID = EXT_ASSET_PATH_FLAG;

    int32_t value = 0;
};

// Typed queries; null when the object is null or lacks the interface.
template <class T>
T* queryInterface(HitObject* object) {
    return object ? static_cast<T*>(object->getInterface(T::ID)) : nullptr;
}

template <class T>
T* queryInterface(const RenderSetup* setup) {
    return setup ? static_cast<T*>(setup->getInterface(T::ID)) : nullptr;
}

}  // namespace ZUtils
