#pragma once

#include <cstdint>

#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/limits/decode_limits.h"

// The work one untrusted file may make us do, counted where it happens.
//
// A parser bounds what it holds by DecodeLimits; that alone does not bound
// what it does, because a small file can ask for the same big job again and
// again (a region rebuilt by every record, a bitmap read once per resource
// that points at it, a zero-length run that consumes input and writes
// nothing). So each loop whose count a file controls spends units from one
// budget per file, and the budget grows with the file's size and with the
// picture it declares (itself held by the limits). A file that asks for more
// ends in the parser's usual error, as a picture over a size limit does.
//
// A unit is roughly "one small step": a record read, a rectangle produced by
// a region operation, a path segment drawn, a dash laid, a glyph measured,
// a pixel shaded or unpacked. Count in batches, outside per-pixel loops of
// ordinary pictures, so the count costs nothing measurable.
class WorkBudget {
public:
    explicit WorkBudget(std::uint64_t units) : allowance_(units) {}

    // The budget of a file of fileBytes that declares a picture of
    // declaredPixels (0 when it declares none), under limits.
    static WorkBudget ForFile(std::uint64_t fileBytes, std::uint64_t declaredPixels,
                              const DecodeLimits& limits) {
        const std::uint64_t byFile =
            CheckedMultiply(fileBytes, limits.workUnitsPerFileByte).value_or(UINT64_MAX);
        const std::uint64_t byPicture =
            CheckedMultiply(declaredPixels, limits.workUnitsPerDeclaredPixel).value_or(UINT64_MAX);
        const std::uint64_t total =
            CheckedAdd(CheckedAdd(byFile, byPicture).value_or(UINT64_MAX), limits.workUnitsFloor)
                .value_or(UINT64_MAX);
        return WorkBudget(total);
    }

    // Counts units of work; false once the total is beyond the allowance (and
    // from then on). The caller turns false into its own error.
    [[nodiscard]] bool Spend(std::uint64_t units) {
        spent_ = CheckedAdd(spent_, units).value_or(UINT64_MAX);
        return spent_ <= allowance_;
    }

    bool Exhausted() const { return spent_ > allowance_; }
    std::uint64_t Spent() const { return spent_; }
    std::uint64_t Allowance() const { return allowance_; }
    std::uint64_t Remaining() const { return Exhausted() ? 0 : allowance_ - spent_; }

private:
    std::uint64_t allowance_;
    std::uint64_t spent_ = 0;
};
