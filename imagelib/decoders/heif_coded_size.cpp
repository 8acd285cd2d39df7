#include "imagelib/decoders/heif_coded_size.h"

#include <algorithm>
#include <vector>

namespace {

// hvcC: 22 bytes of profile and format, the number of NAL unit arrays, then
// each array: its NAL unit type in the low 6 bits of a byte, the number of
// units in 16 bits, and each unit behind its length in 16 bits.
constexpr std::size_t kConfigurationBytes = 22;
constexpr unsigned kNalTypeMask = 0x3F;
constexpr unsigned kSequenceParameterSet = 33;
// Types below 32 carry slices; a slice that starts a picture has the top
// bit of its third byte set.
constexpr unsigned kFirstNonSliceType = 32;
constexpr unsigned kFirstSliceInPicture = 0x80;
// A NAL unit starts with a 2-byte header.
constexpr std::size_t kNalHeaderBytes = 2;
// The sequence parameter set's fields up to the picture size fit in this
// many bytes whatever its sub-layers (profile, tier and level take at most
// 12 + 2 + 7 x 12 bytes).
constexpr std::size_t kSizeFieldsBytes = 160;
// profile_tier_level: the general profile, tier and level take 96 bits; a
// sub-layer's profile 88 and its level 8; up to 8 sub-layers have 2 bits of
// flags each.
constexpr unsigned kGeneralProfileBits = 96;
constexpr unsigned kSubLayerProfileBits = 88;
constexpr unsigned kSubLayerLevelBits = 8;
constexpr unsigned kSubLayerSlots = 8;
constexpr unsigned kChromaWithSeparatePlanes = 3;
// Exp-Golomb codes of more than 31 leading zeros describe no picture.
constexpr unsigned kMaxLeadingZeros = 31;
// AV1: an open bitstream unit's header byte holds its type in bits 6 to 3,
// an extension flag (one byte more) in bit 2 and a size flag in bit 1; the
// size follows in LEB128. A sequence header comes ahead of the first frame,
// behind at most a temporal delimiter and metadata.
constexpr unsigned kObuSequenceHeader = 1;
constexpr unsigned kObuFrameHeader = 3;
constexpr unsigned kObuFrame = 6;
constexpr unsigned kObusBeforeTheSequence = 8;
constexpr unsigned kMaxLeb128Bytes = 8;
// Sequence header fields (in bits) up to the frame size.
constexpr unsigned kProfileBits = 3, kLevelBits = 5, kTickBits = 32, kDelayLengthBits = 5,
                   kOperatingPointsBits = 5, kOperatingPointBits = 12, kDisplayDelayBits = 4,
                   kFrameSizeBitsBits = 4;
constexpr std::uint64_t kLowestTieredLevel = 8;
// With 32 operating points of every field, the frame size lies within 400
// bytes of a sequence header.
constexpr std::size_t kAv1SizeFieldsBytes = 512;

// MSB-first bits of a raw sequence; reading past the end leaves it failed.
class BitReader {
public:
    explicit BitReader(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    std::uint64_t Bits(unsigned count) {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < count; ++i) {
            if (m_position >= m_bytes.size() * 8) {
                m_failed = true;
                return 0;
            }
            value = value << 1 | (m_bytes[m_position / 8] >> (7 - m_position % 8) & 1);
            ++m_position;
        }
        return value;
    }
    // An unsigned Exp-Golomb code.
    std::uint64_t Golomb() {
        unsigned zeros = 0;
        while (!m_failed && Bits(1) == 0)
            if (++zeros > kMaxLeadingZeros) m_failed = true;
        if (m_failed) return 0;
        return (std::uint64_t{1} << zeros) - 1 + Bits(zeros);
    }
    // AV1's uvlc(): leading zeros, then as many bits.
    std::uint64_t VariableLength() {
        unsigned zeros = 0;
        while (!m_failed && Bits(1) == 0) ++zeros;
        return zeros >= 32 ? UINT32_MAX : (std::uint64_t{1} << zeros) - 1 + Bits(zeros);
    }
    bool Failed() const { return m_failed; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_failed = false;
};

// The first bytes of a NAL unit's payload without its emulation prevention
// bytes (a 3 behind two zeros).
std::vector<std::uint8_t> RawPayload(const std::uint8_t* unit, std::size_t size) {
    std::vector<std::uint8_t> raw;
    unsigned zeros = 0;
    for (std::size_t i = kNalHeaderBytes; i < size && raw.size() < kSizeFieldsBytes; ++i) {
        if (zeros >= 2 && unit[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = unit[i] == 0 ? zeros + 1 : 0;
        raw.push_back(unit[i]);
    }
    return raw;
}

std::optional<CodedSize> SizeOfSequence(const std::uint8_t* unit, std::size_t size) {
    BitReader bits(RawPayload(unit, size));
    bits.Bits(4);  // video parameter set
    const auto subLayers = static_cast<unsigned>(bits.Bits(3));
    bits.Bits(1);  // temporal nesting
    bits.Bits(kGeneralProfileBits);
    bool profilePresent[kSubLayerSlots] = {}, levelPresent[kSubLayerSlots] = {};
    for (unsigned i = 0; i < subLayers; ++i) {
        profilePresent[i] = bits.Bits(1) != 0;
        levelPresent[i] = bits.Bits(1) != 0;
    }
    if (subLayers > 0)
        for (unsigned i = subLayers; i < kSubLayerSlots; ++i) bits.Bits(2);
    for (unsigned i = 0; i < subLayers; ++i) {
        if (profilePresent[i]) bits.Bits(kSubLayerProfileBits);
        if (levelPresent[i]) bits.Bits(kSubLayerLevelBits);
    }
    bits.Golomb();  // this parameter set's number
    if (bits.Golomb() == kChromaWithSeparatePlanes) bits.Bits(1);
    CodedSize coded;
    coded.width = bits.Golomb();
    coded.height = bits.Golomb();
    if (bits.Failed()) return std::nullopt;
    return coded;
}

std::optional<CodedSize> SizeOfAv1Sequence(const std::uint8_t* payload, std::size_t size) {
    BitReader bits(std::vector<std::uint8_t>(payload, payload + std::min(size, kAv1SizeFieldsBytes)));
    bits.Bits(kProfileBits + 1);  // profile, still picture
    if (bits.Bits(1) != 0) {      // reduced still picture header
        bits.Bits(kLevelBits);
    } else {
        bool decoderModel = false;
        unsigned delayBits = 0;
        if (bits.Bits(1) != 0) {  // timing info
            bits.Bits(2 * kTickBits);
            if (bits.Bits(1) != 0) bits.VariableLength();  // equal picture interval
            decoderModel = bits.Bits(1) != 0;
            if (decoderModel) {
                delayBits = static_cast<unsigned>(bits.Bits(kDelayLengthBits)) + 1;
                bits.Bits(kTickBits + 2 * kDelayLengthBits);
            }
        }
        const bool displayDelay = bits.Bits(1) != 0;
        const auto points = static_cast<unsigned>(bits.Bits(kOperatingPointsBits)) + 1;
        for (unsigned point = 0; point < points && !bits.Failed(); ++point) {
            bits.Bits(kOperatingPointBits);
            if (bits.Bits(kLevelBits) >= kLowestTieredLevel) bits.Bits(1);
            if (decoderModel && bits.Bits(1) != 0) bits.Bits(2 * delayBits + 1);
            if (displayDelay && bits.Bits(1) != 0) bits.Bits(kDisplayDelayBits);
        }
    }
    const auto widthBits = static_cast<unsigned>(bits.Bits(kFrameSizeBitsBits)) + 1;
    const auto heightBits = static_cast<unsigned>(bits.Bits(kFrameSizeBitsBits)) + 1;
    CodedSize coded;
    coded.width = bits.Bits(widthBits) + 1;
    coded.height = bits.Bits(heightBits) + 1;
    if (bits.Failed()) return std::nullopt;
    return coded;
}

// The extents of a picture's data read as one stream.
class SpanStream {
public:
    explicit SpanStream(const DataSpans& spans) : m_spans(spans) {}

    // Copies up to `count` bytes into `out` without moving on; the number copied.
    std::size_t Peek(std::uint8_t* out, std::size_t count) const {
        std::size_t copied = 0;
        for (std::size_t span = m_span, at = m_at; span < m_spans.size() && copied < count; ++span, at = 0)
            for (; at < m_spans[span].second && copied < count; ++at) out[copied++] = m_spans[span].first[at];
        return copied;
    }
    // Moves on by `count` bytes; false when fewer are left.
    bool Skip(std::uint64_t count) {
        while (count > 0 && m_span < m_spans.size()) {
            const std::uint64_t step = std::min<std::uint64_t>(count, m_spans[m_span].second - m_at);
            m_at += static_cast<std::size_t>(step);
            count -= step;
            if (m_at == m_spans[m_span].second) {
                ++m_span;
                m_at = 0;
            }
        }
        return count == 0;
    }
    bool AtEnd() {
        while (m_span < m_spans.size() && m_at == m_spans[m_span].second) {
            ++m_span;
            m_at = 0;
        }
        return m_span == m_spans.size();
    }

private:
    const DataSpans& m_spans;
    std::size_t m_span = 0;
    std::size_t m_at = 0;
};

// Takes `units` from what is left; false once too few are.
bool Spend(std::uint64_t& unitsLeft, std::uint64_t units) {
    if (units > unitsLeft) return false;
    unitsLeft -= units;
    return true;
}

void Enlarge(CodedSize& largest, const std::optional<CodedSize>& size) {
    if (!size) return;
    largest.width = std::max(largest.width, size->width);
    largest.height = std::max(largest.height, size->height);
}

}  // namespace

std::optional<CodedStream> ScanHevcStream(const DataSpans& spans, unsigned lengthBytes,
                                          std::uint64_t& unitsLeft) {
    CodedStream stream;
    SpanStream data(spans);
    std::vector<std::uint8_t> unit(kSizeFieldsBytes);
    while (!data.AtEnd()) {
        std::uint8_t field[4] = {};
        if (data.Peek(field, lengthBytes) < lengthBytes) break;
        std::uint64_t length = 0;
        for (unsigned i = 0; i < lengthBytes; ++i) length = length << 8 | field[i];
        data.Skip(lengthBytes);
        // The header and the slice's first flag; a parameter set's fields.
        std::size_t copied = data.Peek(unit.data(), std::min<std::uint64_t>(length, kNalHeaderBytes + 1));
        const unsigned type = unit[0] >> 1 & kNalTypeMask;
        if (copied > kNalHeaderBytes && type == kSequenceParameterSet)
            copied = data.Peek(unit.data(), std::min<std::uint64_t>(length, unit.size()));
        if (!Spend(unitsLeft, 1 + copied)) return std::nullopt;
        if (copied > kNalHeaderBytes) {
            if (type == kSequenceParameterSet) Enlarge(stream.largest, SizeOfSequence(unit.data(), copied));
            if (type < kFirstNonSliceType && (unit[2] & kFirstSliceInPicture) != 0) ++stream.pictures;
        }
        if (!data.Skip(length)) break;
    }
    return stream;
}

std::optional<CodedStream> ScanAv1Stream(const DataSpans& spans, std::uint64_t& unitsLeft) {
    CodedStream stream;
    SpanStream data(spans);
    std::vector<std::uint8_t> unit(kAv1SizeFieldsBytes);
    while (!data.AtEnd()) {
        std::uint8_t head[2 + kMaxLeb128Bytes] = {};
        const std::size_t headBytes = data.Peek(head, sizeof head);
        const unsigned header = head[0];
        std::size_t at = (header & 4) != 0 ? 2 : 1;  // behind the extension
        std::uint64_t length = UINT64_MAX;           // without a size: the rest
        if ((header & 2) != 0) {
            length = 0;
            for (unsigned i = 0;; ++i, ++at) {
                if (i == kMaxLeb128Bytes || at >= headBytes) return stream;
                length |= static_cast<std::uint64_t>(head[at] & 0x7F) << (7 * i);
                if ((head[at] & 0x80) == 0) break;
            }
            ++at;
        }
        if (!data.Skip(at)) break;
        const unsigned type = header >> 3 & 15;
        std::size_t copied = 0;
        if (type == kObuSequenceHeader) {
            copied = data.Peek(unit.data(), std::min<std::uint64_t>(length, unit.size()));
            Enlarge(stream.largest, SizeOfAv1Sequence(unit.data(), copied));
        }
        if (!Spend(unitsLeft, at + copied)) return std::nullopt;
        if (type == kObuFrameHeader || type == kObuFrame) ++stream.pictures;
        if (length == UINT64_MAX || !data.Skip(length)) break;
    }
    return stream;
}

std::optional<CodedSize> HevcCodedSize(const std::uint8_t* body, std::size_t size) {
    if (size <= kConfigurationBytes) return std::nullopt;
    std::size_t at = kConfigurationBytes;
    const unsigned arrays = body[at++];
    for (unsigned array = 0; array < arrays; ++array) {
        if (size - at < 3) return std::nullopt;
        const unsigned type = body[at] & kNalTypeMask;
        const unsigned units = static_cast<unsigned>(body[at + 1]) << 8 | body[at + 2];
        at += 3;
        for (unsigned unit = 0; unit < units; ++unit) {
            if (size - at < 2) return std::nullopt;
            const std::size_t length = static_cast<std::size_t>(body[at]) << 8 | body[at + 1];
            at += 2;
            if (size - at < length) return std::nullopt;
            if (type == kSequenceParameterSet && length > kNalHeaderBytes)
                return SizeOfSequence(body + at, length);
            at += length;
        }
    }
    return std::nullopt;
}

std::optional<CodedSize> Av1CodedSize(const std::uint8_t* units, std::size_t size) {
    std::size_t at = 0;
    for (unsigned unit = 0; unit < kObusBeforeTheSequence && at < size; ++unit) {
        const unsigned header = units[at++];
        const unsigned type = header >> 3 & 15;
        if ((header & 4) != 0) ++at;  // extension
        std::uint64_t length = size > at ? size - at : 0;
        if ((header & 2) != 0) {
            length = 0;
            for (unsigned i = 0;; ++i) {
                if (i == kMaxLeb128Bytes || at >= size) return std::nullopt;
                const unsigned byte = units[at++];
                length |= static_cast<std::uint64_t>(byte & 0x7F) << (7 * i);
                if ((byte & 0x80) == 0) break;
            }
        }
        if (at > size || length > size - at) return std::nullopt;
        if (type == kObuSequenceHeader)
            return SizeOfAv1Sequence(units + at, static_cast<std::size_t>(length));
        at += static_cast<std::size_t>(length);
    }
    return std::nullopt;
}
