#pragma once

#include "imagelib/resample/contribution_table.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The pass across on a vector unit of 512 bits: two output pixels of four
// doubles each side by side, every lane summed over its own sources in the
// order ResampleRowAcross sums it, so the bytes are the same. Where the
// machine has no such unit (or the build is not for x86-64), nothing is
// prepared and ResampleRowAcross does the work.
namespace resample {

// True when this machine runs the 512-bit loops.
bool HasWideVectors();

// A ContributionTable laid out for four output pixels at a time, a pair to a
// vector. Each output pixel's sources are trimmed of the weights of 0 at
// either end: a sum that starts at +0.0 is never -0.0 (only -0.0 plus -0.0
// is), and adding +0.0 or -0.0 to anything else leaves it as it is, so
// they change no byte, and a tent's ends often weigh nothing.
class PairedAcross {
public:
    PairedAcross() = default;
    // Empty unless HasWideVectors().
    explicit PairedAcross(const ContributionTable& table);

    bool Empty() const { return m_groups.empty(); }
    // As ResampleRowAcross(row, table, table.Size(), out, linear) does; the
    // row is followed by table.Taps() zero pixels.
    void Resample(const double* row, std::uint8_t* out, bool linear) const;

private:
    // Output pixels summed at a time: two pairs.
    static constexpr int kGroupPixels = 4;
    struct Group {
        int left[kGroupPixels];  // first source of each output pixel, after the trim
        int taps;                // the most of the four, the others' padded with 0
    };
    int m_outWidth = 0;
    std::vector<Group> m_groups;
    // Per group and tap, the weights of its four output pixels.
    std::vector<double> m_weights;
};

// WidenRow on the 512-bit unit; false (nothing done) without it.
bool WidenRowWide(const std::uint8_t* in, int width, double* out);

// ResampleRowsDown of code values (not light) on the 512-bit unit, rows of
// weight 0 at either end left out as above; false (nothing done) without it.
bool ResampleCodeRowsDownWide(const std::uint8_t* intermediate, std::size_t stride, int width,
                              const ContributionTable& table, std::uint8_t* resampled, int begin, int end);

}  // namespace resample
