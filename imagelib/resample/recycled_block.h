#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Blocks of bytes for the resampler's intermediates, handed back for the next
// picture instead of freed. An intermediate is megabytes that the system maps
// afresh for every picture, one page fault and one zeroed page per 4 KiB: in a
// batch of photos that cost more than the pass across that fills it. The
// bytes are left as the last user wrote them.
namespace resample {

struct RecycleBlock {
    std::size_t size = 0;
    void operator()(std::uint8_t* block) const noexcept;
};
using RecycledBlock = std::unique_ptr<std::uint8_t[], RecycleBlock>;

// A block of at least `bytes` bytes, not cleared. Throws bad_alloc.
RecycledBlock TakeBlock(std::size_t bytes);

}  // namespace resample
