#include "imagelib/decoders/pnm_decoder.h"

#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/text_exception.h"

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace {

// "P" and a digit, then the header: width and height (and, but for bitmaps,
// the maximum sample value) as decimal text between whitespace and "#"
// comments, or for PAM keyword lines up to ENDHDR.
constexpr std::int64_t kLargestMaximum = 65535;
// Samples of a maximum above this take two bytes, most significant first.
constexpr std::int64_t kLargestOneByteMaximum = 255;
// PAM keyword lines; a comment line may be as long as the file.
constexpr std::size_t kLongestPamLine = 256;

enum class Kind { PlainBits, PlainColor, RawBits, RawColor, Pam };

// Width, height, samples per pixel and their maximum, from any of the forms.
struct Header {
    Kind kind = Kind::PlainBits;
    std::int64_t width = 0;
    std::int64_t height = 0;
    int channels = 1;
    bool hasAlpha = false;
    std::int64_t maximum = 1;
    // Bitmaps store 1 for black.
    bool inverted = false;
};

bool IsWhitespace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void RaiseHeaderError(const char* what) {
    RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PNM decoder: %s", what);
}

// Reads the mapped data front to back. Running off its end is the data
// source's end-of-file error.
class Cursor {
public:
    Cursor(CImageSource& source, const std::uint8_t* data, std::int64_t size)
        : m_source(source), m_data(data), m_size(size) {}

    bool AtEnd() const { return m_position >= m_size; }
    std::int64_t Remaining() const { return m_size - m_position; }
    std::int64_t Position() const { return m_position; }

    std::uint8_t Next() {
        if (AtEnd()) RaiseEndOfFile();
        return m_data[m_position++];
    }
    std::uint8_t Peek() {
        if (AtEnd()) RaiseEndOfFile();
        return m_data[m_position];
    }
    const std::uint8_t* Take(std::int64_t count) {
        if (count > Remaining()) RaiseEndOfFile();
        const std::uint8_t* bytes = m_data + m_position;
        m_position += count;
        return bytes;
    }

    // Skips whitespace and comments, then reads a decimal number.
    std::int64_t HeaderNumber() {
        for (;;) {
            const std::uint8_t c = Peek();
            if (c == '#') {
                while (Next() != '\n') {
                }
            } else if (IsWhitespace(c)) {
                ++m_position;
            } else {
                break;
            }
        }
        if (!IsDigit(Peek())) RaiseHeaderError("Expected a number in the header.");
        std::int64_t value = 0;
        while (!AtEnd() && IsDigit(m_data[m_position])) {
            value = value * 10 + (m_data[m_position++] - '0');
            if (value > std::numeric_limits<std::int32_t>::max())
                RaiseHeaderError("Number in header is too large.");
        }
        return value;
    }

    // A plain sample: whitespace and comments, then a decimal number. The
    // data may end right after it.
    std::int64_t PlainSample(std::int64_t maximum) {
        std::uint8_t c = Peek();
        while (IsWhitespace(c) || c == '#') {
            if (c == '#')
                while (Next() != '\n') {
                }
            else
                ++m_position;
            c = Peek();
        }
        if (!IsDigit(c))
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PNM decoder: Unexpected character 0x%02X in samples.", c);
        std::int64_t value = 0;
        while (!AtEnd() && IsDigit(m_data[m_position])) {
            value = value * 10 + (m_data[m_position++] - '0');
            if (value > maximum)
                RaiseError(ERR_FORMAT_UNKNOWN, "PNM decoder: Sample value above the maximum.");
        }
        return value;
    }

    // A plain bitmap sample: one "0" or "1", with or without whitespace
    // between them.
    std::int64_t PlainBit() {
        std::uint8_t c = Next();
        while (IsWhitespace(c) || c == '#') {
            if (c == '#')
                while (Next() != '\n') {
                }
            c = Next();
        }
        if (c != '0' && c != '1')
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PNM decoder: Unexpected character 0x%02X in samples.", c);
        return c - '0';
    }

    // One PAM header line without its line end.
    std::string_view Line() {
        const std::int64_t start = m_position;
        bool blank = true;
        bool comment = false;
        for (std::uint8_t c; (c = Next()) != '\n';) {
            if (blank && !IsWhitespace(c)) {
                blank = false;
                comment = c == '#';
            }
            if (!comment && m_position - start > static_cast<std::int64_t>(kLongestPamLine))
                RaiseHeaderError("PAM header line is too long.");
        }
        return {reinterpret_cast<const char*>(m_data + start),
                static_cast<std::size_t>(m_position - 1 - start)};
    }

    [[noreturn]] void RaiseEndOfFile() {
        // Asking the source for more than there is raises its end-of-file
        // error, the one every decoder reports.
        m_source.ReadBytes(m_source.GetRemaining() + 1);
        throw CTextException(ERR_END_OF_FILE, "End of file reached while decoding.\n");
    }

private:
    CImageSource& m_source;
    const std::uint8_t* m_data;
    std::int64_t m_size;
    std::int64_t m_position = 0;
};

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsWhitespace(static_cast<std::uint8_t>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && IsWhitespace(static_cast<std::uint8_t>(text.back()))) text.remove_suffix(1);
    return text;
}

std::int64_t PamNumber(std::string_view text) {
    text = Trim(text);
    if (text.empty() || text.size() > 10) RaiseHeaderError("Bad number in PAM header.");
    std::int64_t value = 0;
    for (const char c : text) {
        if (!IsDigit(static_cast<std::uint8_t>(c))) RaiseHeaderError("Bad number in PAM header.");
        value = value * 10 + (c - '0');
    }
    return value;
}

void ReadPamHeader(Cursor& cursor, Header& header) {
    std::int64_t depth = -1;
    std::string_view tupleType;
    header.width = header.height = header.maximum = -1;
    for (;;) {
        const std::string_view line = Trim(cursor.Line());
        if (line.empty() || line.front() == '#') continue;
        const std::size_t split = line.find_first_of(" \t");
        const std::string_view keyword = line.substr(0, split);
        const std::string_view value =
            split == std::string_view::npos ? std::string_view{} : line.substr(split);
        if (keyword == "ENDHDR") break;
        if (keyword == "WIDTH")
            header.width = PamNumber(value);
        else if (keyword == "HEIGHT")
            header.height = PamNumber(value);
        else if (keyword == "DEPTH")
            depth = PamNumber(value);
        else if (keyword == "MAXVAL")
            header.maximum = PamNumber(value);
        else if (keyword == "TUPLTYPE")
            tupleType = Trim(value);
        else
            RaiseHeaderError("Unknown keyword in PAM header.");
    }
    struct TupleType {
        std::string_view name;
        int channels;
    };
    static constexpr std::array<TupleType, 6> kTupleTypes{{{"BLACKANDWHITE", 1},
                                                           {"GRAYSCALE", 1},
                                                           {"BLACKANDWHITE_ALPHA", 2},
                                                           {"GRAYSCALE_ALPHA", 2},
                                                           {"RGB", 3},
                                                           {"RGB_ALPHA", 4}}};
    if (header.width < 0) RaiseHeaderError("PAM header lacks WIDTH.");
    if (header.height < 0) RaiseHeaderError("PAM header lacks HEIGHT.");
    if (header.maximum < 0) RaiseHeaderError("PAM header lacks MAXVAL.");
    if (depth < 1 || depth > 4) RaiseHeaderError("PAM depth must be 1 to 4.");
    header.channels = static_cast<int>(depth);
    if (!tupleType.empty()) {
        bool known = false;
        for (const TupleType& type : kTupleTypes) known |= type.name == tupleType && type.channels == depth;
        if (!known) RaiseHeaderError("Unsupported PAM tuple type.");
    }
    header.hasAlpha = depth == 2 || depth == 4;
}

Header ReadHeader(Cursor& cursor) {
    Header header;
    if (cursor.Next() != 'P') RaiseHeaderError("Is not a netpbm picture.");
    switch (cursor.Next()) {
        case '1':
            header.kind = Kind::PlainBits;
            break;
        case '3':
            header.kind = Kind::PlainColor;
            break;
        case '4':
            header.kind = Kind::RawBits;
            break;
        case '6':
            header.kind = Kind::RawColor;
            break;
        case '7':
            header.kind = Kind::Pam;
            break;
        default:
            RaiseHeaderError("Is not a netpbm picture.");
    }
    if (header.kind == Kind::Pam) {
        if (!IsWhitespace(cursor.Next())) RaiseHeaderError("Is not a netpbm picture.");
        ReadPamHeader(cursor, header);
    } else {
        header.width = cursor.HeaderNumber();
        header.height = cursor.HeaderNumber();
        const bool bits = header.kind == Kind::PlainBits || header.kind == Kind::RawBits;
        header.channels = bits ? 1 : 3;
        header.inverted = bits;
        if (!bits) header.maximum = cursor.HeaderNumber();
        // A single whitespace byte ends the header; raw samples follow it.
        if (!IsWhitespace(cursor.Next())) RaiseHeaderError("Expected whitespace after the header.");
    }
    if (header.maximum < 1 || header.maximum > kLargestMaximum)
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PNM decoder: Can't handle maximum value %lld.",
                         static_cast<long long>(header.maximum));
    return header;
}

// What one decoded pixel's samples become, scaled to 0..255 with rounding.
class PixelWriter {
public:
    PixelWriter(const Header& header, CImageBitmap& bitmap) : m_header(header), m_bitmap(bitmap) {}

    void Put(std::uint8_t* row, std::int64_t x, const std::int64_t* samples) const {
        std::array<std::uint8_t, 4> value{};
        for (int i = 0; i < m_header.channels; ++i) value[i] = Scale(samples[i]);
        if (m_header.inverted) value[0] = static_cast<std::uint8_t>(255 - value[0]);
        if (m_bitmap.GetDepth() == 8) {
            row[x] = value[0];
            return;
        }
        std::uint8_t* pixel = row + 4 * x;
        if (m_header.channels <= 2) {
            pixel[0] = pixel[1] = pixel[2] = value[0];
            pixel[3] = m_header.channels == 2 ? value[1] : 255;
        } else {
            pixel[0] = value[2];
            pixel[1] = value[1];
            pixel[2] = value[0];
            pixel[3] = m_header.channels == 4 ? value[3] : 255;
        }
    }

private:
    std::uint8_t Scale(std::int64_t sample) const {
        return static_cast<std::uint8_t>((sample * 255 + m_header.maximum / 2) / m_header.maximum);
    }

    const Header& m_header;
    CImageBitmap& m_bitmap;
};

}  // namespace

void CPNMDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>&, int& bpp,
                              CImageSource& source) {
    TraceLine(2, "Decoding PNM.\n");
    Cursor cursor(source, source.GetCurrentPointer(), source.GetRemaining());
    const Header header = ReadHeader(cursor);
    TraceFormat(2, "PNM image %lld x %lld, %d samples up to %lld.\n", static_cast<long long>(header.width),
                static_cast<long long>(header.height), header.channels,
                static_cast<long long>(header.maximum));

    const bool grey = header.channels == 1;
    bpp = grey ? ChooseDepth(bpp, 8) : 32;
    if (bpp != 8 && bpp != 32)
        RaiseErrorFormat(ERR_UNSUPPORTED_DATA, "PNM decoder: Can't decode to %d bits per pixel.", bpp);
    if (!GetLimits().AllowsSize(header.width, header.height))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PNM decoder: Can't handle image size %lld x %lld.",
                         static_cast<long long>(header.width), static_cast<long long>(header.height));

    // Every sample takes at least one byte of the file (raw bitmaps one bit):
    // a file with fewer left cannot hold the picture, and is refused before
    // the bitmap is allocated.
    const auto width = static_cast<std::uint64_t>(header.width);
    const auto height = static_cast<std::uint64_t>(header.height);
    const std::uint64_t sampleBytes = header.maximum > kLargestOneByteMaximum ? 2 : 1;
    const bool plain = header.kind == Kind::PlainBits || header.kind == Kind::PlainColor;
    const std::uint64_t rowBytes =
        header.kind == Kind::RawBits
            ? (width + 7) / 8
            : width * static_cast<std::uint64_t>(header.channels) * (plain ? 1 : sampleBytes);
    const auto needed = CheckedMultiply(rowBytes, height);
    if (!needed || *needed > static_cast<std::uint64_t>(cursor.Remaining())) cursor.RaiseEndOfFile();

    CreateBitmapWithin(GetLimits(), bitmap, static_cast<int>(header.width), static_cast<int>(header.height),
                       bpp, header.hasAlpha);
    const PixelWriter writer(header, bitmap);
    CDecodedRowListener* listener = RowReporter();
    std::array<std::int64_t, 4> samples{};
    for (std::int64_t y = 0; y < header.height; ++y) {
        std::uint8_t* row = bitmap.GetRows()[y];
        if (header.kind == Kind::RawBits) {
            const std::uint8_t* bits = cursor.Take(static_cast<std::int64_t>(rowBytes));
            for (std::int64_t x = 0; x < header.width; ++x) {
                samples[0] = (bits[x / 8] >> (7 - x % 8)) & 1;
                writer.Put(row, x, samples.data());
            }
        } else if (header.kind == Kind::PlainBits) {
            for (std::int64_t x = 0; x < header.width; ++x) {
                samples[0] = cursor.PlainBit();
                writer.Put(row, x, samples.data());
            }
        } else if (header.kind == Kind::PlainColor) {
            for (std::int64_t x = 0; x < header.width; ++x) {
                for (int i = 0; i < header.channels; ++i) samples[i] = cursor.PlainSample(header.maximum);
                writer.Put(row, x, samples.data());
            }
        } else {
            const std::uint8_t* bytes = cursor.Take(static_cast<std::int64_t>(rowBytes));
            for (std::int64_t x = 0; x < header.width; ++x) {
                for (int i = 0; i < header.channels; ++i, bytes += sampleBytes) {
                    samples[i] = sampleBytes == 2 ? bytes[0] << 8 | bytes[1] : bytes[0];
                    if (samples[i] > header.maximum)
                        RaiseError(ERR_FORMAT_UNKNOWN, "PNM decoder: Sample value above the maximum.");
                }
                writer.Put(row, x, samples.data());
            }
        }
        if (listener != nullptr) listener->RowsDecoded(bitmap, static_cast<int>(y + 1));
    }
    source.ReadBytes(cursor.Position());
}
