#include "imagelib/decoders/bmp_color_masks.h"

#include "imagelib/byte_order.h"
#include "imagelib/image_decoder.h"
#include "imagelib/text_exception.h"

#include <bit>

namespace {

// Channels up to this wide get a table of their levels; wider ones (an 18-bit
// green is seen) are scaled pixel by pixel.
constexpr int kWidestTabledChannel = 16;

bool IsClassicSixteenBitLayout(const BmpColorMasks& masks) {
    return masks.blue == 0x1F &&
           ((masks.red == 0x7C00 && masks.green == 0x3E0) || (masks.red == 0xF800 && masks.green == 0x7E0));
}

std::uint8_t ScaledLevel(std::uint32_t value, std::uint32_t maximum) {
    return static_cast<std::uint8_t>((std::uint64_t{value} * 255 + maximum / 2) / maximum);
}

}  // namespace

BmpMaskedPixelReader::BmpMaskedPixelReader(const BmpColorMasks& masks, int bitCount) : m_bitCount(bitCount) {
    const bool classic = bitCount == 16 && IsClassicSixteenBitLayout(masks);
    std::uint32_t alpha = masks.alpha;
    if (alpha == 0 && bitCount == 32 && ((masks.red | masks.green | masks.blue) & 0xFF000000) == 0)
        alpha = 0xFF000000;
    m_channels[0] = MakeChannel(masks.blue, bitCount, 0, classic);
    m_channels[1] = MakeChannel(masks.green, bitCount, 0, classic);
    m_channels[2] = MakeChannel(masks.red, bitCount, 0, classic);
    m_channels[3] = MakeChannel(alpha, bitCount, 255, false);
}

BmpMaskedPixelReader::Channel BmpMaskedPixelReader::MakeChannel(std::uint32_t mask, int bitCount,
                                                                std::uint8_t absent, bool classicLevels) {
    Channel channel;
    channel.absent = absent;
    if (mask == 0) return channel;
    if (bitCount < 32 && (mask >> bitCount) != 0)
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN,
                         "Bitmap decoder: Color mask 0x%08X does not fit in %d-bit pixels.", mask, bitCount);
    channel.mask = mask;
    channel.shift = std::countr_zero(mask);
    channel.maximum = mask >> channel.shift;
    if ((channel.maximum & (channel.maximum + 1)) != 0)
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Bitmap decoder: Color mask 0x%08X is not contiguous.", mask);
    const int bits = std::bit_width(channel.maximum);
    if (bits > kWidestTabledChannel) return channel;
    channel.levels.resize(std::size_t{channel.maximum} + 1);
    for (std::uint32_t value = 0; value <= channel.maximum; ++value)
        channel.levels[value] = classicLevels ? static_cast<std::uint8_t>((value << (8 - bits)) & 0xF8)
                                              : ScaledLevel(value, channel.maximum);
    return channel;
}

std::uint8_t BmpMaskedPixelReader::Level(const Channel& channel, std::uint32_t word) {
    if (channel.mask == 0) return channel.absent;
    const std::uint32_t value = (word & channel.mask) >> channel.shift;
    return channel.levels.empty() ? ScaledLevel(value, channel.maximum) : channel.levels[value];
}

void BmpMaskedPixelReader::ReadRow(const std::uint8_t* data, std::int64_t width, std::uint8_t* out) const {
    const int bytesPerPixel = m_bitCount / 8;
    for (std::int64_t x = 0; x < width; ++x, data += bytesPerPixel, out += 4) {
        const std::uint32_t word = bytesPerPixel == 2 ? ReadLE16(data) : ReadLE32(data);
        for (int i = 0; i < 4; ++i) out[i] = Level(m_channels[i], word);
    }
}
