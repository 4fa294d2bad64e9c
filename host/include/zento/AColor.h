// ZUtils::AColor: a colour with alpha, four 32-bit floats (red, green, blue,
// alpha). The result of every texture request.
#pragma once

namespace ZUtils {

struct AColor {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;

    constexpr AColor() = default;
    constexpr AColor(float red, float green, float blue, float alpha)
        : r(red), g(green), b(blue), a(alpha) {}
};

constexpr bool operator==(const AColor& x, const AColor& y) {
    return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
}

}  // namespace ZUtils
