// Camera: a pinhole camera and its ray differentials.
//
// The image plane spans the vertical field of view `fov` (degrees) and the
// image's aspect ratio. rayDirection(px, py) is the unnormalised direction
// through image position (px, py), measured in pixels from the top-left
// corner; dDdx / dDdy are its derivatives per pixel, the ray differentials of
// the direction. frameBounds places a camera that sees a bounding box whole:
// looking at its centre from above, right and in front (+z).
#pragma once

#include "zento/Vector.h"

class Camera {
public:
    void set(const ZUtils::Vector3f& position, const ZUtils::Vector3f& lookAt,
             const ZUtils::Vector3f& up, float fovDegrees, int width, int height);
    void frameBounds(const ZUtils::Vector3f& lo, const ZUtils::Vector3f& hi, float fovDegrees,
                     int width, int height);

    const ZUtils::Vector3f& origin() const { return origin_; }
    ZUtils::Vector3f rayDirection(float px, float py) const;
    const ZUtils::Vector3f& dDdx() const { return dDdx_; }
    const ZUtils::Vector3f& dDdy() const { return dDdy_; }
    float fovDegrees() const { return fov_; }
    // The world-to-camera matrix for row vectors (p' = p M), the camera at the
    // origin looking along -z with +y up, as image files store it.
    void worldToCamera(float m[4][4]) const;

private:
    ZUtils::Vector3f origin_, forward_, right_, up_, dDdx_, dDdy_;
    float width_ = 1, height_ = 1, fov_ = 40;
};

// Offset of the hit point for a change dD of the ray direction, the hit lying
// at parameter t along direction D on a plane of normal n (transfer of a ray
// differential to the surface).
ZUtils::Vector3f transferDifferential(const ZUtils::Vector3f& D, const ZUtils::Vector3f& dD,
                                      float t, const ZUtils::Vector3f& n);
