#include "Camera.h"

#include <algorithm>
#include <cmath>

using ZUtils::Vector3f;

namespace {

Vector3f normalize(const Vector3f& v) {
    const float len = std::sqrt(ZUtils::dot(v, v));
    return len > 0 ? v * (1.0f / len) : Vector3f{0, 0, -1};
}

}  // namespace

void Camera::set(const Vector3f& position, const Vector3f& lookAt, const Vector3f& up,
                 float fovDegrees, int width, int height) {
    fov_ = fovDegrees;
    width_ = float(std::max(width, 1));
    height_ = float(std::max(height, 1));
    origin_ = position;
    forward_ = normalize(lookAt - position);
    Vector3f right = ZUtils::cross(forward_, up);
    if (ZUtils::dot(right, right) < 1e-12f) right = ZUtils::cross(forward_, Vector3f{0, 0, 1});
    if (ZUtils::dot(right, right) < 1e-12f) right = ZUtils::cross(forward_, Vector3f{1, 0, 0});
    right = normalize(right);
    const Vector3f trueUp = ZUtils::cross(right, forward_);
    const float halfHeight = std::tan(fovDegrees * 0.5f * 3.14159265f / 180.0f);
    up_ = trueUp * halfHeight;
    right_ = right * (halfHeight * width_ / height_);
    dDdx_ = right_ * (2.0f / width_);
    dDdy_ = up_ * (-2.0f / height_);
}

void Camera::frameBounds(const Vector3f& lo, const Vector3f& hi, float fovDegrees, int width,
                         int height) {
    const Vector3f centre = (lo + hi) * 0.5f;
    const Vector3f half = (hi - lo) * 0.5f;
    float radius = std::sqrt(ZUtils::dot(half, half));
    if (!(radius > 0)) radius = 1;
    const float aspect = float(std::max(width, 1)) / float(std::max(height, 1));
    float fovRad = fovDegrees * 3.14159265f / 180.0f;
    // The narrower of the two fields of view must hold the bounding sphere.
    const float horizontal = 2.0f * std::atan(std::tan(fovRad * 0.5f) * aspect);
    const float narrow = std::min(fovRad, horizontal);
    const float distance = radius / std::sin(narrow * 0.5f) * 1.02f;
    const Vector3f dir = normalize(Vector3f{0.55f, 0.45f, 1.0f});
    set(centre + dir * distance, centre, Vector3f{0, 1, 0}, fovDegrees, width, height);
}

Vector3f Camera::rayDirection(float px, float py) const {
    const float sx = 2.0f * px / width_ - 1.0f;
    const float sy = 1.0f - 2.0f * py / height_;
    return forward_ + right_ * sx + up_ * sy;
}

void Camera::worldToCamera(float m[4][4]) const {
    const Vector3f axes[3] = {normalize(right_), normalize(up_), forward_ * -1.0f};
    for (int c = 0; c < 3; ++c) {
        const float a[3] = {axes[c].x, axes[c].y, axes[c].z};
        for (int r = 0; r < 3; ++r) m[r][c] = a[r];
        m[3][c] = -ZUtils::dot(origin_, axes[c]);
    }
    m[0][3] = m[1][3] = m[2][3] = 0.0f;
    m[3][3] = 1.0f;
}

Vector3f transferDifferential(const Vector3f& D, const Vector3f& dD, float t, const Vector3f& n) {
    const float dn = ZUtils::dot(D, n);
    const Vector3f offset = dD * t;
    if (std::fabs(dn) < 1e-20f) return offset;
    return offset - D * (ZUtils::dot(offset, n) / dn);
}
