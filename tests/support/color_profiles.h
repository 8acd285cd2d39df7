#pragma once

// Colour profiles for the tests, and pictures that carry them, made with
// lcms2 and the formats' own writers.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// An RGB profile from the colord-data package (/usr/share/color/icc/colord),
// e.g. "AdobeRGB1998.icc"; empty when it is not installed.
std::vector<std::uint8_t> ColordProfile(const std::string& fileName);
// Display P3 (P3 primaries, D65 white, the sRGB curve), built by lcms2.
std::vector<std::uint8_t> DisplayP3Profile();
// lcms2's own sRGB profile, and a grey profile of gamma 2.2.
std::vector<std::uint8_t> SrgbProfile();
std::vector<std::uint8_t> GreyGamma22Profile();
// A CMYK profile whose inks give what the JPEG decoder makes of them without
// one (red = (1 - cyan)(1 - black), and so on), as a table of `steps` steps
// an ink.
std::vector<std::uint8_t> PlainInksProfile(int steps = 9);

// Profiles that no camera or editor writes, as hostile files carry them.
// An RGB (or CMYK) profile whose float pipeline (D2B0) repeats, `chains`
// times, a matrix into `wideChannels` channels and a table of 2 points a
// channel back to three.
std::vector<std::uint8_t> WideTableProfile(int chains, int wideChannels, bool cmyk = false);
// An RGB profile whose float pipeline is `stages` 3x3 matrices.
std::vector<std::uint8_t> ManyMatricesProfile(int stages);
// A profile of `channels` channels (1 grey, 3 RGB, 4 CMYK) whose float
// pipeline is `stages` curve sets (then a matrix to three channels) with
// every curve pointing at one segmented curve of `segments` segments, whose
// breakpoints make every evaluation walk through all of them; with
// `sampledPoints`, its first segment is sampled at that many points. Padded
// with zeros to `size` bytes, if that is more.
std::vector<std::uint8_t> SegmentedCurvesProfile(int channels, int segments, int stages,
                                                 std::uint32_t sampledPoints = 0, std::size_t size = 0);
// sRGB with its colorants multiplied by `scale`.
std::vector<std::uint8_t> ScaledColorantsProfile(double scale);
// An RGB profile whose curves are sRGB's at the levels 0, 15, ..., 255 and
// darker between them.
std::vector<std::uint8_t> NearSrgbProfile();

// Red, green, blue samples of sRGB converted into the space of `profile`
// (relative colorimetric).
std::vector<std::uint8_t> ConvertFromSrgb(const std::vector<std::uint8_t>& rgb,
                                          const std::vector<std::uint8_t>& profile);
// Samples in the space of `profile` (any number of channels, as many as its
// colour space has) converted to sRGB red, green and blue by lcms2, as a
// viewer would: perceptual intent. Exactly: 0 to 1, unrounded and uncut.
std::vector<double> ConvertToSrgbExactly(const std::vector<std::uint8_t>& samples,
                                         const std::vector<std::uint8_t>& profile);
std::vector<std::uint8_t> ConvertToSrgb(const std::vector<std::uint8_t>& samples,
                                        const std::vector<std::uint8_t>& profile);

// The same file with the profile embedded: APP2 markers after a JPEG's SOI,
// an iCCP chunk after a PNG's IHDR, an ICCP chunk in a WebP file.
std::vector<std::uint8_t> WithJpegProfile(const std::vector<std::uint8_t>& jpeg,
                                          const std::vector<std::uint8_t>& profile);
std::vector<std::uint8_t> WithPngProfile(const std::vector<std::uint8_t>& png,
                                         const std::vector<std::uint8_t>& profile);
std::vector<std::uint8_t> WithWebPProfile(const std::vector<std::uint8_t>& webp,
                                          const std::vector<std::uint8_t>& profile);

}  // namespace testsupport
