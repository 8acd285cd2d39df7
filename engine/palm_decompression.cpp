#include "engine/palm_decompression.h"

#include "engine/palm_format_error.h"
#include "imagelib/limits/checked_arithmetic.h"

#include <algorithm>
#include <string>

namespace {

// Refuses a picture larger than `inputBytes` could expand to when every
// `unitInput` bytes of input give at most `unitOutput` bytes.
std::size_t checkedPictureBytes(std::size_t inputBytes, std::size_t rowBytes, std::size_t height,
                                std::size_t unitInput, std::size_t unitOutput, const char* compression) {
    const auto pictureBytes = CheckedMultiply(rowBytes, height);
    const auto mostBytes = CheckedMultiply(inputBytes / unitInput + 1, unitOutput);
    if (!pictureBytes || !mostBytes || *pictureBytes > *mostBytes)
        throw PalmFormatError(std::string(compression) + " data of " + std::to_string(inputBytes) +
                              " bytes cannot fill " + std::to_string(rowBytes) + " x " +
                              std::to_string(height) + " bytes of pixels");
    return static_cast<std::size_t>(*pictureBytes);
}

void requirePixelRows(std::size_t rowBytes, std::size_t pixelBytes, const char* compression) {
    if (rowBytes % pixelBytes != 0)
        throw PalmFormatError(std::string(compression) + " rows of " + std::to_string(rowBytes) +
                              " bytes do not hold whole 16-bit pixels");
}

class Input {
public:
    Input(std::span<const std::uint8_t> data, const char* compression)
        : m_data(data), m_compression(compression) {}

    bool atEnd() const { return m_position == m_data.size(); }
    std::span<const std::uint8_t> take(std::size_t count) {
        if (count > m_data.size() - m_position)
            throw PalmFormatError(std::string(m_compression) + " data ends early");
        const auto bytes = m_data.subspan(m_position, count);
        m_position += count;
        return bytes;
    }
    std::uint8_t byte() { return take(1)[0]; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_position = 0;
    const char* m_compression;
};

// Runs that write nothing (a zero count, PackBits' -128) are legal but never
// needed: allowing no more of them than the picture has bytes keeps the input
// consumed in proportion to the output.
void countEmptyRun(std::size_t& emptyRuns, std::size_t total, const char* compression) {
    if (++emptyRuns > total)
        throw PalmFormatError(std::string(compression) +
                              " data holds more empty runs than the picture has bytes");
}

void requireRoom(std::size_t written, std::size_t count, std::size_t total, const char* compression) {
    if (count > total - written)
        throw PalmFormatError(std::string(compression) + " run goes past the last row");
}

}  // namespace

std::vector<std::uint8_t> expandScanlines(std::span<const std::uint8_t> data, std::size_t rowBytes,
                                          std::size_t height) {
    constexpr const char* kName = "Scanline-compressed";
    // Every group of up to eight bytes costs at least its flag byte.
    const std::size_t groupsPerRow = (rowBytes + 7) / 8;
    const auto groups = CheckedMultiply(groupsPerRow, height);
    if (!groups || *groups > data.size())
        throw PalmFormatError(std::string(kName) + " data of " + std::to_string(data.size()) +
                              " bytes cannot fill " + std::to_string(height) + " rows of " +
                              std::to_string(rowBytes) + " bytes");
    std::vector<std::uint8_t> pixels(rowBytes * height);
    Input in(data, kName);
    for (std::size_t row = 0; row < height; ++row) {
        std::uint8_t* out = pixels.data() + row * rowBytes;
        const std::uint8_t* above = row > 0 ? out - rowBytes : nullptr;
        for (std::size_t group = 0; group < rowBytes; group += 8) {
            const std::uint8_t flags = in.byte();
            for (std::size_t j = group; j < group + 8 && j < rowBytes; ++j) {
                if (flags & (0x80 >> (j - group))) {
                    out[j] = in.byte();
                } else {
                    if (above == nullptr)
                        throw PalmFormatError("Scanline-compressed first row refers to a row above it");
                    out[j] = above[j];
                }
            }
        }
    }
    return pixels;
}

std::vector<std::uint8_t> expandRle(std::span<const std::uint8_t> data, std::size_t rowBytes,
                                    std::size_t height, std::size_t pixelBytes) {
    constexpr const char* kName = "RLE";
    requirePixelRows(rowBytes, pixelBytes, kName);
    const std::size_t total =
        checkedPictureBytes(data.size(), rowBytes, height, 1 + pixelBytes, 255 * pixelBytes, kName);
    std::vector<std::uint8_t> pixels(total);
    Input in(data, kName);
    std::size_t written = 0;
    std::size_t emptyRuns = 0;
    while (written < total) {
        const std::size_t count = in.byte();
        const auto pixel = in.take(pixelBytes);
        if (count == 0) countEmptyRun(emptyRuns, total, kName);
        requireRoom(written, count * pixelBytes, total, kName);
        for (std::size_t i = 0; i < count; ++i, written += pixelBytes)
            std::copy(pixel.begin(), pixel.end(), pixels.begin() + static_cast<std::ptrdiff_t>(written));
    }
    return pixels;
}

std::vector<std::uint8_t> expandPackBits(std::span<const std::uint8_t> data, std::size_t rowBytes,
                                         std::size_t height, std::size_t pixelBytes) {
    constexpr const char* kName = "PackBits";
    requirePixelRows(rowBytes, pixelBytes, kName);
    const std::size_t total =
        checkedPictureBytes(data.size(), rowBytes, height, 1 + pixelBytes, 128 * pixelBytes, kName);
    std::vector<std::uint8_t> pixels(total);
    Input in(data, kName);
    std::size_t written = 0;
    std::size_t emptyRuns = 0;
    while (written < total) {
        const auto count = static_cast<std::int8_t>(in.byte());
        if (count == -128) {
            countEmptyRun(emptyRuns, total, kName);
            continue;
        }
        if (count >= 0) {
            const std::size_t length = (static_cast<std::size_t>(count) + 1) * pixelBytes;
            requireRoom(written, length, total, kName);
            const auto literal = in.take(length);
            std::copy(literal.begin(), literal.end(), pixels.begin() + static_cast<std::ptrdiff_t>(written));
            written += length;
        } else {
            const auto repeats = static_cast<std::size_t>(1 - count);
            const auto pixel = in.take(pixelBytes);
            requireRoom(written, repeats * pixelBytes, total, kName);
            for (std::size_t i = 0; i < repeats; ++i, written += pixelBytes)
                std::copy(pixel.begin(), pixel.end(), pixels.begin() + static_cast<std::ptrdiff_t>(written));
        }
    }
    return pixels;
}
