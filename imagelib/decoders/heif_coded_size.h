#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

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

// A picture's data as libheif hands it to the codec: its extents one after
// another.
using DataSpans = std::vector<std::pair<const std::uint8_t*, std::size_t>>;

// What a codec decodes from a picture's data: the largest size its own
// headers give (0 x 0 when none) and the pictures it holds (libheif has the
// codec decode every one).
struct CodedStream {
    CodedSize largest;
    std::uint64_t pictures = 0;
};

// Walks the NAL units (behind lengths of `lengthBytes`) or the AV1 units of
// a picture's data, spending from `unitsLeft` one per unit and one per byte
// it reads of a unit; nothing once they run out.
std::optional<CodedStream> ScanHevcStream(const DataSpans& spans, unsigned lengthBytes,
                                          std::uint64_t& unitsLeft);
std::optional<CodedStream> ScanAv1Stream(const DataSpans& spans, std::uint64_t& unitsLeft);
