#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The size a codec decodes a HEIF picture at, as the stream's own headers
// give it: an HEVC sequence parameter set in the picture's decoder
// configuration (its hvcC box), an AV1 sequence header in its configuration
// (av1C) or at the start of its data. The stored size (ispe) is only what
// the file says: a picture may claim a few pixels and decode millions.
struct CodedSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// From the body of an hvcC box: the size of its first sequence parameter
// set; nothing when it holds none or one cut short.
std::optional<CodedSize> HevcCodedSize(const std::uint8_t* body, std::size_t size);

// From AV1 open bitstream units (an av1C box's behind its 4 bytes, or the
// start of a picture's data): the largest frame size of the first sequence
// header among the first few units; nothing when there is none.
std::optional<CodedSize> Av1CodedSize(const std::uint8_t* units, std::size_t size);
