#include "imagelib/decoders/pgm_decoder.h"

#include "imagelib/text_exception.h"

#include <cstdint>
#include <limits>

namespace {

// The file starts with "P2" (plain) or "P5" (raw), then three decimal numbers
// separated by whitespace and comments: width, height, maximum sample value.
constexpr std::uint8_t kMagicLetter = 'P';
constexpr std::uint8_t kPlainFormat = '2';
constexpr std::uint8_t kRawFormat = '5';
constexpr std::uint8_t kCommentStart = '#';

// Samples are scaled to 0..255; a maximum of 0 is taken as 255. Above 255 raw
// samples take two bytes, most significant first.
constexpr std::int32_t kLargestOneByteMaximum = 255;
constexpr std::int32_t kLargestMaximum = 65535;
constexpr int kGreyLevels = 256;

const char kWrongIdentifier[] = "PGM decoder: Is not the correct identifier P5 or P2.";
const char kHeaderNumberTooLarge[] = "PGM decoder: Number in header is too large.";
const char kSampleTooLarge[] = "PGM decoder: Sample value is too large.";
const char kSampleAboveMaximum[] = "PGM decoder: Sample value above the maximum.";

bool IsWhitespace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

std::uint8_t ScaleSample(std::int64_t sample, std::int32_t maximum) {
    // One-byte samples above the maximum wrap around rather than saturate, and
    // are cut rather than rounded, as such files have always been read.
    if (maximum <= kLargestOneByteMaximum) return static_cast<std::uint8_t>((sample * 255 / maximum) & 0xFF);
    if (sample > maximum) RaiseError(ERR_FORMAT_UNKNOWN, kSampleAboveMaximum);
    return static_cast<std::uint8_t>((sample * 255 + maximum / 2) / maximum);
}

void PutSample(CImageBitmap& bitmap, int x, int y, std::uint8_t value) {
    std::uint8_t* row = bitmap.GetRows()[y];
    if (bitmap.GetDepth() == 8) {
        row[x] = value;
    } else {
        std::uint8_t* pixel = row + 4 * static_cast<std::size_t>(x);
        pixel[0] = value;
        pixel[1] = value;
        pixel[2] = value;
        pixel[3] = 255;
    }
}

}  // namespace

void CPGMDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                              CImageSource& source) {
    TraceLine(2, "Decoding PGM.\n");
    const Header header = ReadHeader(source);

    bpp = ChooseDepth(bpp, 8);
    if (bpp != 8 && bpp != 32)
        RaiseErrorFormat(ERR_UNSUPPORTED_DATA, "PGM decoder: Can't decode to %d bits per pixel.", bpp);

    // Raw samples are taken in one piece up front, so a short file fails before
    // the bitmap is allocated. Plain samples need at least one digit each: a
    // file with fewer bytes left cannot hold the picture, however few of them
    // it would take to reach a stray byte that reads as 0 to the end.
    const std::int64_t sampleCount = static_cast<std::int64_t>(header.width) * header.height;
    const int sampleBytes = header.maximum > kLargestOneByteMaximum ? 2 : 1;
    const std::uint8_t* rawSamples = nullptr;
    if (header.raw)
        rawSamples = source.ReadBytes(sampleCount * sampleBytes);
    else if (source.GetRemaining() < sampleCount)
        source.ReadBytes(sampleCount);  // raises the source's end-of-file error

    CreateBitmapWithin(GetLimits(), bitmap, header.width, header.height, bpp, false);
    palette.resize(kGreyLevels);
    for (int i = 0; i < kGreyLevels; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        palette[i] = PaletteEntry{level, level, level, 255};
    }

    if (header.raw) {
        for (int y = 0; y < header.height; ++y) {
            const std::uint8_t* samples =
                rawSamples + static_cast<std::size_t>(y) * header.width * sampleBytes;
            for (int x = 0; x < header.width; ++x, samples += sampleBytes)
                PutSample(bitmap, x, y,
                          ScaleSample(sampleBytes == 2 ? samples[0] << 8 | samples[1] : samples[0],
                                      header.maximum));
        }
    } else {
        ReadPlainSamples(bitmap, header, source);
    }
}

CPGMDecoder::Header CPGMDecoder::ReadHeader(CImageSource& source) {
    Header header;
    if (*source.ReadBytes(1) != kMagicLetter) RaiseError(ERR_FORMAT_UNKNOWN, kWrongIdentifier);
    const std::uint8_t format = *source.ReadBytes(1);
    if (format != kPlainFormat && format != kRawFormat) RaiseError(ERR_FORMAT_UNKNOWN, kWrongIdentifier);
    header.raw = format == kRawFormat;

    Advance(source);
    int numbersRead = 0;
    while (numbersRead < 3) {
        if (m_lookAhead == kCommentStart) {
            // The line end that closes a comment stays in the look-ahead and is
            // skipped as whitespace.
            do Advance(source);
            while (m_lookAhead != '\n' && m_lookAhead != '\r');
        } else if (IsDigit(m_lookAhead)) {
            const std::int32_t value = ReadNumber(source, false, ERR_FORMAT_UNKNOWN, kHeaderNumberTooLarge);
            if (numbersRead == 0) {
                header.width = value;
            } else if (numbersRead == 1) {
                header.height = value;
                if (!GetLimits().AllowsSize(header.width, header.height))
                    RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PGM decoder: Can't handle image size %d x %d.",
                                     header.width, header.height);
            } else {
                if (value > kLargestMaximum)
                    RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PGM decoder: Can't handle maximum value %d.",
                                     value);
                header.maximum = value == 0 ? kLargestOneByteMaximum : value;
            }
            ++numbersRead;
        } else if (IsWhitespace(m_lookAhead)) {
            Advance(source);
        } else {
            // Anything else would leave the parser waiting for a digit forever.
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PGM decoder: Unexpected character 0x%02X in header.",
                             m_lookAhead);
        }
    }
    // The byte that ended the maximum value is used up: raw samples start right
    // behind it.
    return header;
}

void CPGMDecoder::ReadPlainSamples(CImageBitmap& bitmap, const Header& header, CImageSource& source) {
    const std::int64_t sampleCount = static_cast<std::int64_t>(header.width) * header.height;
    std::int64_t index = 0;
    SkipWhitespace(source);
    for (int y = 0; y < header.height; ++y) {
        for (int x = 0; x < header.width; ++x, ++index) {
            SkipWhitespace(source);
            // A text file may well end right after its last digit.
            const bool lastSample = index == sampleCount - 1;
            const std::int32_t sample = ReadNumber(source, lastSample, ERR_UNSUPPORTED_DATA, kSampleTooLarge);
            PutSample(bitmap, x, y, ScaleSample(sample, header.maximum));
        }
    }
}

void CPGMDecoder::Advance(CImageSource& source) {
    m_lookAhead = *source.ReadBytes(1);
}

void CPGMDecoder::SkipWhitespace(CImageSource& source) {
    while (IsWhitespace(m_lookAhead)) Advance(source);
}

std::int32_t CPGMDecoder::ReadNumber(CImageSource& source, bool mayEndData, int overflowCode,
                                     const char* overflowText) {
    std::int32_t value = 0;
    while (IsDigit(m_lookAhead)) {
        const int digit = m_lookAhead - '0';
        if (value > (std::numeric_limits<std::int32_t>::max() - digit) / 10)
            RaiseError(overflowCode, overflowText);
        value = value * 10 + digit;
        if (mayEndData && source.GetRemaining() == 0) {
            m_lookAhead = ' ';
            break;
        }
        Advance(source);
    }
    return value;
}
