#pragma once

#include <array>

// Colours as the eye sees them: linear sRGB (BT.709 primaries, D65 white, 0
// to 1) to CIE XYZ and CIELAB, and how CIELAB moves with a small change of
// light.

// Relative luminance of linear sRGB.
float Luminance(float red, float green, float blue);

// The luminance of a CIELAB lightness.
float LuminanceOf(float lightness);

// How fast CIELAB lightness grows with luminance, at a luminance.
float LightnessSlope(float luminance);

struct Lab {
    float lightness;
    float a;
    float b;
};

Lab LabFromLinear(float red, float green, float blue);

float SquaredDistance(const Lab& p, const Lab& q);

// The change of lightness, a and b (rows) with a change of linear red, green
// and blue (columns), at a colour.
using LabSlopes = std::array<std::array<float, 3>, 3>;
LabSlopes LabSlopesAt(float red, float green, float blue);
