#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The size an HEVC decoder decodes a HEIF picture at, as the sequence
// parameter set in the picture's decoder configuration (its hvcC box) gives
// it. The stored size (ispe) is only what the file says: a picture may
// claim a few pixels and decode millions.
struct CodedSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// From the body of an hvcC box: the size of its first sequence parameter
// set; nothing when it holds none or one cut short.
std::optional<CodedSize> HevcCodedSize(const std::uint8_t* body, std::size_t size);
