#pragma once

#include "imagelib/resample/contribution_table.h"

#include <cstddef>
#include <cstdint>

// The inner loops of resampling: widening 8-bit rows into doubles, and the
// passes across and down. Pixels hold four channels, blue, green, red and
// alpha, all resampled alike. A widened row holds four doubles per pixel, as
// code values or as linear light at 16 bits with alpha stretched to the same
// range; the intermediate rows between the passes hold bytes, or 16-bit
// light in the linear-light mode.
//
// The result depends only on the arithmetic written in these loops (no fused
// multiply-add, each channel summed over its sources in order), so it is the
// same to the byte on every machine, whichever build of them the machine runs.
namespace resample {

// Code values as doubles, pixel by pixel.
void WidenRow(const std::uint8_t* in, int width, double* out);
// The same for a row seen backwards, from its `last` pixel down.
void WidenBackwards(const std::uint8_t* last, int width, double* out);
// Code values as linear light at 16 bits.
void WidenLinearRow(const std::uint8_t* in, int width, double* out);
// A widened row's code values turned into light in place, as WidenLinearRow
// gives them.
void MakeLinear(double* row, int width);

// The boxes of `factor` pixels each that a widened row of `width` pixels
// makes, the last one holding what is left.
inline int BoxCount(int width, int factor) {
    return width / factor + (width % factor != 0 ? 1 : 0);
}
// The light of the pixels of a row of code values summed in those boxes, as
// WidenLinearRow followed by ShrinkRowInBoxes without averaging gives it, but
// without the widened row between them.
void WidenLinearRowInBoxes(const std::uint8_t* in, int width, int factor, double* out);
// Shrinks a widened row of `width` pixels, given in boxes of `unit` pixels
// summed (1: the pixels themselves), into boxes of `factor` pixels, a
// multiple of `unit`, in `out`: their sums, or their means when `average`.
void ShrinkRowInBoxes(const double* row, int width, int unit, int factor, double* out, bool average);

// Resamples one widened row to `outWidth` pixels of the intermediate row
// `out`, in light when `linear`. The row is followed by table.Taps() zero
// pixels.
void ResampleRowAcross(const double* row, const ContributionTable& table, int outWidth, std::uint8_t* out,
                       bool linear);

// Resamples output rows [begin, end) of the pass down from `intermediate`
// (rows `stride` bytes apart) into `resampled`, 32-bit rows of `width` pixels
// one after the other; in linear light the light is turned back into code
// values. `values` holds one output row's sums.
void ResampleRowsDown(const std::uint8_t* intermediate, std::size_t stride, int width,
                      const ContributionTable& table, std::uint8_t* resampled, int begin, int end,
                      double* values, bool linear);

}  // namespace resample
