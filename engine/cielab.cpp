#include "engine/cielab.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kEpsilon = 216.0f / 24389.0f;
constexpr float kKappa = 24389.0f / 27.0f;

// sRGB to XYZ, and the D65 white's own X, Y and Z.
constexpr std::array<std::array<float, 3>, 3> kXyzFromLinear = {{
    {0.4124f, 0.3576f, 0.1805f},
    {0.2126f, 0.7152f, 0.0722f},
    {0.0193f, 0.1192f, 0.9505f},
}};
constexpr std::array<float, 3> kWhite = {0.95047f, 1.0f, 1.08883f};

// X, Y or Z relative to the white's.
float Row(int row, float red, float green, float blue) {
    return (kXyzFromLinear[row][0] * red + kXyzFromLinear[row][1] * green + kXyzFromLinear[row][2] * blue) /
           kWhite[row];
}

// CIELAB's lightness curve, on a value relative to the white point.
float LabCurve(float t) {
    return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0f) / 116.0f;
}

float LabCurveSlope(float t) {
    return t > kEpsilon ? 1.0f / (3.0f * std::cbrt(t) * std::cbrt(t)) : kKappa / 116.0f;
}

}  // namespace

float Luminance(float red, float green, float blue) {
    return Row(1, red, green, blue);
}

float LuminanceOf(float lightness) {
    const float f = (lightness + 16.0f) / 116.0f;
    return f * f * f > kEpsilon ? f * f * f : lightness * 27.0f / 24389.0f;
}

float LightnessSlope(float luminance) {
    return 116.0f * LabCurveSlope(luminance);
}

Lab LabFromLinear(float red, float green, float blue) {
    const float fx = LabCurve(Row(0, red, green, blue));
    const float fy = LabCurve(Row(1, red, green, blue));
    const float fz = LabCurve(Row(2, red, green, blue));
    return {116.0f * fy - 16.0f, 500.0f * (fx - fy), 200.0f * (fy - fz)};
}

float SquaredDistance(const Lab& p, const Lab& q) {
    const float dl = p.lightness - q.lightness;
    const float da = p.a - q.a;
    const float db = p.b - q.b;
    return dl * dl + da * da + db * db;
}

LabSlopes LabSlopesAt(float red, float green, float blue) {
    const float sx = LabCurveSlope(Row(0, red, green, blue));
    const float sy = LabCurveSlope(Row(1, red, green, blue));
    const float sz = LabCurveSlope(Row(2, red, green, blue));
    LabSlopes slopes{};
    for (int c = 0; c < 3; ++c) {
        const float dx = sx * kXyzFromLinear[0][c] / kWhite[0];
        const float dy = sy * kXyzFromLinear[1][c] / kWhite[1];
        const float dz = sz * kXyzFromLinear[2][c] / kWhite[2];
        slopes[0][c] = 116.0f * dy;
        slopes[1][c] = 500.0f * (dx - dy);
        slopes[2][c] = 200.0f * (dy - dz);
    }
    return slopes;
}
