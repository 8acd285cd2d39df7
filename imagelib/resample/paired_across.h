#pragma once

#include "imagelib/resample/contribution_table.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The pass across on a vector unit of 512 bits (two output pixels of four
// doubles each side by side) or of 256 bits (one a vector), every lane summed
// over its own sources in the order ResampleRowAcross sums it, so the bytes
// are the same. Where the machine has neither unit (or the build is not for
// x86-64), nothing is prepared and ResampleRowAcross does the work.
namespace resample {

// The widest vector unit the loops of this file use: 512 (AVX-512), 256
// (AVX2) or 128 (none; the compiled loops of resample_kernels.cpp run). The
// machine's widest, lowered to 256 or 128 by KESTRIN_VECTOR_WIDTH in the
// environment (read once), so that the narrower loops can be measured and
// tested on a machine with the wider.
int VectorWidth();
// Lowers the width to `bits` (never above the machine's) for what is prepared
// and run from then on, and returns the width now in effect. For tests.
int LimitVectorWidth(int bits);

// A ContributionTable laid out for groups of output pixels summed at a time:
// four, a pair to a vector, on the 512-bit unit; eight, one to a vector, on
// the 256-bit one. Each output pixel's sources are trimmed of the weights of 0 at
// either end: a sum that starts at +0.0 is never -0.0 (only -0.0 plus -0.0
// is), and adding +0.0 or -0.0 to anything else leaves it as it is, so
// they change no byte, and a tent's ends often weigh nothing.
class PairedAcross {
public:
    PairedAcross() = default;
    // Empty when VectorWidth() is 128.
    explicit PairedAcross(const ContributionTable& table);

    bool Empty() const { return m_width == 0; }
    // As ResampleRowAcross(row, table, table.Size(), out, linear) does; the
    // row is followed by table.Taps() zero pixels.
    void Resample(const double* row, std::uint8_t* out, bool linear) const;

private:
    // Output pixels summed at a time: two pairs on the 512-bit unit, eight
    // single pixels on the 256-bit one, so that an addition need not wait for
    // the one before it.
    static constexpr int kMostGroupPixels = 8;
    struct Group {
        int left[kMostGroupPixels];  // first source of each output pixel, after the trim
        int taps;                    // the most of the group, the others' padded with 0
    };
    void ResampleOn512(const double* row, std::uint8_t* out, bool linear) const;
    void ResampleOn256(const double* row, std::uint8_t* out, bool linear) const;

    int m_width = 0;  // of the vector unit the loops were prepared for; 0: none
    int m_groupPixels = 0;
    int m_outWidth = 0;
    std::vector<Group> m_groups;
    // Per group and tap, the weights of its output pixels.
    std::vector<double> m_weights;
};

// WidenRow on the widest unit of VectorWidth(); false (nothing done) at 128.
bool WidenRowWide(const std::uint8_t* in, int width, double* out);

// ResampleRowsDown of code values (not light) on the unit of VectorWidth(),
// rows of weight 0 at either end left out as above; false (nothing done) at
// 128.
bool ResampleCodeRowsDownWide(const std::uint8_t* intermediate, std::size_t stride, int width,
                              const ContributionTable& table, std::uint8_t* resampled, int begin, int end);

}  // namespace resample
