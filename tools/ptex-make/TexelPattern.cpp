#include "TexelPattern.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

bool parsePatternKind(const std::string& name, PatternKind& kind) {
    static const std::pair<const char*, PatternKind> names[] = {
        {"checker", PatternKind::Checker}, {"gradient", PatternKind::Gradient},
        {"faces", PatternKind::Faces},     {"labels", PatternKind::Labels},
        {"world", PatternKind::World},     {"image", PatternKind::Image},
    };
    for (const auto& [n, k] : names) {
        if (name == n) {
            kind = k;
            return true;
        }
    }
    return false;
}

const char* patternKindNames() {
    return "checker, gradient, faces, labels, world, image";
}

std::array<float, 3> faceColour(int faceId) {
    // Golden-ratio hue steps keep neighbouring ids apart.
    const double hue = std::fmod(0.13 + 0.618033988749895 * faceId, 1.0) * 6.0;
    const double s = 0.55, v = 0.92;
    const int sector = int(hue) % 6;
    const double f = hue - std::floor(hue);
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = 0, g = 0, b = 0;
    switch (sector) {
        case 0:
            r = v, g = t, b = p;
            break;
        case 1:
            r = q, g = v, b = p;
            break;
        case 2:
            r = p, g = v, b = t;
            break;
        case 3:
            r = p, g = q, b = v;
            break;
        case 4:
            r = t, g = p, b = v;
            break;
        default:
            r = v, g = p, b = q;
            break;
    }
    return {float(r), float(g), float(b)};
}

namespace {

// 3x5 digit glyphs, top row first, bit 2 = left column.
const uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

// True when (u, v) falls on a stroke of the number drawn on the face (v
// upwards, so rows are read from the top at v = 1): across the middle of a
// quad face; on a triangle face (u + v <= 1) in the largest box that keeps a
// margin from all three edges, so the long edge does not cut it.
bool onLabel(int number, double u, double v, bool triangle) {
    char text[16];
    const int len = std::snprintf(text, sizeof text, "%d", std::max(number, 0));
    // Each glyph is 3 columns plus a 1-column gap; the label spans 70 % of the
    // face width and keeps the glyphs' 3:5 aspect within 70 % of the height.
    const double cols = 4.0 * len - 1.0;
    double cell = std::min(0.7 / cols, 0.7 / 5.0);
    double x0 = 0.5 - cell * cols / 2.0, y0 = 0.5 + cell * 2.5;
    if (triangle) {
        // Corner (m, m), top right corner (m + w, m + h) with m + w + m + h = 1 - m.
        constexpr double m = 0.08;
        cell = std::min((1.0 - 3 * m) / (cols + 5.0), 0.7 / 5.0);
        x0 = m;
        y0 = m + 5 * cell;
    }
    const double cx = (u - x0) / cell, cy = (y0 - v) / cell;
    if (cx < 0 || cy < 0 || cx >= cols || cy >= 5) return false;
    const int col = int(cx), row = int(cy);
    if (col % 4 == 3) return false;
    const int digit = text[col / 4] - '0';
    return (kDigits[digit][row] >> (2 - col % 4)) & 1;
}

}  // namespace

std::array<float, 3> TexelPattern::sample(int faceId, double u, double v, const Vec3& p,
                                          bool triangle) const {
    const std::array<float, 3> base = faceColour(faceId);
    switch (kind) {
        case PatternKind::Checker: {
            const int n = std::max(checks, 1);
            const int cu = std::clamp(int(u * n), 0, n - 1), cv = std::clamp(int(v * n), 0, n - 1);
            const float k = ((cu + cv) & 1) ? 0.3f : 1.0f;
            return {base[0] * k, base[1] * k, base[2] * k};
        }
        case PatternKind::Gradient:
            return {float(u), float(v), 0.25f + 0.5f * float(std::fmod(faceId * 0.37, 1.0))};
        case PatternKind::Faces:
            return base;
        case PatternKind::Labels:
            if (onLabel(faceId, u, v, triangle)) return {0.04f, 0.04f, 0.05f};
            return base;
        case PatternKind::World: {
            const double s = cellSize > 0 ? cellSize : 1.0;
            const long parity =
                long(std::floor(p.x / s)) + long(std::floor(p.y / s)) + long(std::floor(p.z / s));
            if (parity & 1) return {0.9f, 0.85f, 0.7f};
            return {0.15f, 0.3f, 0.55f};
        }
        case PatternKind::Image: {
            if (image.width <= 0 || image.height <= 0) return {1.0f, 0.0f, 1.0f};
            const int a0 = (axis + 1) % 3, a1 = (axis + 2) % 3;
            const double pc[3] = {p.x, p.y, p.z}, lo[3] = {boxLo.x, boxLo.y, boxLo.z},
                         hi[3] = {boxHi.x, boxHi.y, boxHi.z};
            const double s = hi[a0] > lo[a0] ? (pc[a0] - lo[a0]) / (hi[a0] - lo[a0]) : 0.5;
            const double t = hi[a1] > lo[a1] ? (pc[a1] - lo[a1]) / (hi[a1] - lo[a1]) : 0.5;
            // Bilinear lookup; the image's top row is at t = 1.
            const double x = std::clamp(s, 0.0, 1.0) * image.width - 0.5;
            const double y = (1.0 - std::clamp(t, 0.0, 1.0)) * image.height - 0.5;
            const int x0 = std::clamp(int(std::floor(x)), 0, image.width - 1);
            const int y0 = std::clamp(int(std::floor(y)), 0, image.height - 1);
            const int x1 = std::min(x0 + 1, image.width - 1),
                      y1 = std::min(y0 + 1, image.height - 1);
            const double fx = std::clamp(x - x0, 0.0, 1.0), fy = std::clamp(y - y0, 0.0, 1.0);
            std::array<float, 3> out{};
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int xx, int yy) {
                    return double(srgbToLinear(
                        image
                            .rgba[(size_t(yy) * size_t(image.width) + size_t(xx)) * 4 + size_t(c)] /
                        255.0f));
                };
                out[size_t(c)] = float((at(x0, y0) * (1 - fx) + at(x1, y0) * fx) * (1 - fy) +
                                       (at(x0, y1) * (1 - fx) + at(x1, y1) * fx) * fy);
            }
            return out;
        }
    }
    return base;
}
