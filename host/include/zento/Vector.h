// Small value types shared by the host and its plugins: 2- and 3-component
// vectors in 32- and 64-bit floats, and TracePoint (a point in space at which
// parameters are cached). Plain structs, trivially copyable, no allocation.
#pragma once

namespace ZUtils {

struct Vector2f {
    float x = 0.0f, y = 0.0f;
};

struct Vector3f {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

constexpr Vector3f operator+(const Vector3f& a, const Vector3f& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr Vector3f operator-(const Vector3f& a, const Vector3f& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr Vector3f operator*(const Vector3f& a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
constexpr Vector3f operator*(float s, const Vector3f& a) {
    return {a.x * s, a.y * s, a.z * s};
}
constexpr bool operator==(const Vector3f& a, const Vector3f& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
constexpr float dot(const Vector3f& a, const Vector3f& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Vector3f cross(const Vector3f& a, const Vector3f& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

struct Vector3d {
    double x = 0.0, y = 0.0, z = 0.0;

    constexpr double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

constexpr Vector3d operator+(const Vector3d& a, const Vector3d& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr Vector3d operator-(const Vector3d& a, const Vector3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr bool operator==(const Vector3d& a, const Vector3d& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// A point in space, in world coordinates. Parameters may in principle vary over
// space as well as over time; cacheParams receives one of these.
struct TracePoint {
    double x = 0.0, y = 0.0, z = 0.0;
};

}  // namespace ZUtils
