#include "support/metafile_writer.h"

#include "support/test_support.h"

#include <cstring>

namespace testsupport {

namespace {

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

void PutFloat(std::vector<std::uint8_t>& out, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    PutLe32(out, bits);
}

std::vector<std::uint16_t> Words(std::initializer_list<int> values) {
    std::vector<std::uint16_t> words;
    for (int v : values) words.push_back(static_cast<std::uint16_t>(v));
    return words;
}

}  // namespace

std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> MakeDib24Parts(
    int width, int height, const std::vector<std::uint32_t>& pixels) {
    ByteWriter info;
    info.le32(40)
        .le32(static_cast<std::uint32_t>(width))
        .le32(static_cast<std::uint32_t>(height))
        .le16(1)
        .le16(24);
    info.le32(0).le32(0).le32(0).le32(0).le32(0).le32(0);
    const int stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride * height), 0);
    for (int row = 0; row < height; ++row) {
        // Bottom-up: the last stored row is the top of the picture.
        std::uint8_t* out = bits.data() + static_cast<std::size_t>((height - 1 - row) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels.at(static_cast<std::size_t>(row * width + x));
            out[3 * x] = static_cast<std::uint8_t>(p);
            out[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
            out[3 * x + 2] = static_cast<std::uint8_t>(p >> 16);
        }
    }
    return {info.data(), bits};
}

std::vector<std::uint8_t> MakeDib24(int width, int height, const std::vector<std::uint32_t>& pixels) {
    auto [info, bits] = MakeDib24Parts(width, height, pixels);
    info.insert(info.end(), bits.begin(), bits.end());
    return info;
}

// ---------------------------------------------------------------------------

WmfWriter& WmfWriter::Record(std::uint16_t function, const std::vector<std::uint16_t>& words) {
    return RawRecord(static_cast<std::uint32_t>(3 + words.size()), function, words);
}

WmfWriter& WmfWriter::RecordBytes(std::uint16_t function, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint16_t> words((bytes.size() + 1) / 2, 0);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        words[i / 2] |= static_cast<std::uint16_t>(bytes[i] << (8 * (i % 2)));
    return Record(function, words);
}

WmfWriter& WmfWriter::RawRecord(std::uint32_t words, std::uint16_t function,
                                const std::vector<std::uint16_t>& params) {
    PutLe32(m_records, words);
    PutLe16(m_records, function);
    for (std::uint16_t w : params) PutLe16(m_records, w);
    if ((function & 0x00FF) >= 0xF7 || function == 0x0142) ++m_objects;
    return *this;
}

WmfWriter& WmfWriter::SetMapMode(int mode) {
    return Record(0x0103, Words({mode}));
}
WmfWriter& WmfWriter::SetWindowOrg(int x, int y) {
    return Record(0x020B, Words({y, x}));
}
WmfWriter& WmfWriter::SetWindowExt(int x, int y) {
    return Record(0x020C, Words({y, x}));
}
WmfWriter& WmfWriter::SetBkMode(int mode) {
    return Record(0x0102, Words({mode}));
}

WmfWriter& WmfWriter::SetTextColor(std::uint32_t color) {
    return Record(0x0209, Words({static_cast<int>(color & 0xFFFF), static_cast<int>(color >> 16)}));
}

WmfWriter& WmfWriter::SetTextAlign(int align) {
    return Record(0x012E, Words({align}));
}

WmfWriter& WmfWriter::CreatePen(int style, int width, std::uint32_t color) {
    return Record(0x02FA,
                  Words({style, width, 0, static_cast<int>(color & 0xFFFF), static_cast<int>(color >> 16)}));
}

WmfWriter& WmfWriter::CreateBrush(int style, std::uint32_t color, int hatch) {
    return Record(0x02FC,
                  Words({style, static_cast<int>(color & 0xFFFF), static_cast<int>(color >> 16), hatch}));
}

WmfWriter& WmfWriter::CreateFont(int height, int weight, const std::string& face) {
    ByteWriter font;
    font.le16(static_cast<std::uint16_t>(height))
        .le16(0)
        .le16(0)
        .le16(0)
        .le16(static_cast<std::uint16_t>(weight));
    font.u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0);
    font.text(face).u8(0);
    return RecordBytes(0x02FB, font.data());
}

WmfWriter& WmfWriter::CreatePalette(const std::vector<PaletteColor>& colors) {
    ByteWriter palette;
    palette.le16(0x0300).le16(static_cast<std::uint32_t>(colors.size()));
    for (const PaletteColor& c : colors) palette.u8(c.red).u8(c.green).u8(c.blue).u8(0);
    return RecordBytes(0x00F7, palette.data());
}

WmfWriter& WmfWriter::SelectObject(int index) {
    return Record(0x012D, Words({index}));
}
WmfWriter& WmfWriter::SelectPalette(int index) {
    return Record(0x0234, Words({index}));
}
WmfWriter& WmfWriter::RealizePalette() {
    return Record(0x0035, {});
}
WmfWriter& WmfWriter::DeleteObject(int index) {
    return Record(0x01F0, Words({index}));
}
WmfWriter& WmfWriter::SaveDC() {
    return Record(0x001E, {});
}
WmfWriter& WmfWriter::RestoreDC(int which) {
    return Record(0x0127, Words({which}));
}
WmfWriter& WmfWriter::MoveTo(int x, int y) {
    return Record(0x0214, Words({y, x}));
}
WmfWriter& WmfWriter::LineTo(int x, int y) {
    return Record(0x0213, Words({y, x}));
}

WmfWriter& WmfWriter::Rectangle(int left, int top, int right, int bottom) {
    return Record(0x041B, Words({bottom, right, top, left}));
}

WmfWriter& WmfWriter::Ellipse(int left, int top, int right, int bottom) {
    return Record(0x0418, Words({bottom, right, top, left}));
}

WmfWriter& WmfWriter::Polygon(const std::vector<std::pair<int, int>>& points) {
    std::vector<std::uint16_t> words{static_cast<std::uint16_t>(points.size())};
    for (auto [x, y] : points) {
        words.push_back(static_cast<std::uint16_t>(x));
        words.push_back(static_cast<std::uint16_t>(y));
    }
    return Record(0x0324, words);
}

WmfWriter& WmfWriter::TextOut(int x, int y, const std::string& text) {
    ByteWriter params;
    params.le16(static_cast<std::uint32_t>(text.size())).text(text);
    if (text.size() % 2 != 0) params.u8(0);
    params.le16(static_cast<std::uint16_t>(y)).le16(static_cast<std::uint16_t>(x));
    return RecordBytes(0x0521, params.data());
}

WmfWriter& WmfWriter::IntersectClipRect(int left, int top, int right, int bottom) {
    return Record(0x0416, Words({bottom, right, top, left}));
}

WmfWriter& WmfWriter::ExcludeClipRect(int left, int top, int right, int bottom) {
    return Record(0x0415, Words({bottom, right, top, left}));
}

WmfWriter& WmfWriter::StretchDib(int x, int y, int width, int height, int sourceWidth, int sourceHeight,
                                 const std::vector<std::uint8_t>& dib) {
    ByteWriter params;
    params.le32(0x00CC0020).le16(0);  // SRCCOPY, DIB_RGB_COLORS
    for (int v : {sourceHeight, sourceWidth, 0, 0, height, width, y, x})
        params.le16(static_cast<std::uint16_t>(v));
    params.bytes(dib);
    return RecordBytes(0x0F43, params.data());
}

std::vector<std::uint8_t> WmfWriter::BytesWithoutEnd() const {
    ByteWriter out;
    const std::uint32_t words = static_cast<std::uint32_t>((18 + m_records.size()) / 2 + 3);
    out.le16(1).le16(9).le16(0x0300).le32(words).le16(static_cast<std::uint32_t>(m_objects)).le32(0).le16(0);
    out.bytes(m_records);
    return out.data();
}

std::vector<std::uint8_t> WmfWriter::Bytes() const {
    std::vector<std::uint8_t> out = BytesWithoutEnd();
    PutLe32(out, 3);
    PutLe16(out, 0);
    return out;
}

std::vector<std::uint8_t> WmfWriter::PlaceableBytes(int left, int top, int right, int bottom,
                                                    int unitsPerInch) const {
    ByteWriter out;
    out.le32(0x9AC6CDD7).le16(0);
    for (int v : {left, top, right, bottom, unitsPerInch}) out.le16(static_cast<std::uint16_t>(v));
    out.le32(0).le16(0);
    out.bytes(Bytes());
    return out.data();
}

// ---------------------------------------------------------------------------

EmfWriter::EmfWriter(int frameLeft, int frameTop, int frameRight, int frameBottom, int devicePixelsX,
                     int devicePixelsY, int deviceMillimetresX, int deviceMillimetresY)
    : m_frame{frameLeft, frameTop, frameRight, frameBottom},
      m_devicePixels{devicePixelsX, devicePixelsY},
      m_deviceMillimetres{deviceMillimetresX, deviceMillimetresY} {}

EmfWriter& EmfWriter::Record(std::uint32_t type, const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> padded = body;
    while (padded.size() % 4 != 0) padded.push_back(0);
    return RawRecord(type, static_cast<std::uint32_t>(8 + padded.size()), padded);
}

EmfWriter& EmfWriter::RawRecord(std::uint32_t type, std::uint32_t size,
                                const std::vector<std::uint8_t>& body) {
    PutLe32(m_records, type);
    PutLe32(m_records, size);
    m_records.insert(m_records.end(), body.begin(), body.end());
    ++m_recordCount;
    return *this;
}

namespace {

std::vector<std::uint8_t> Longs(std::initializer_list<std::int64_t> values) {
    std::vector<std::uint8_t> out;
    for (std::int64_t v : values) PutLe32(out, static_cast<std::uint32_t>(v));
    return out;
}

std::vector<std::uint8_t> Utf16(const std::string& text) {
    std::vector<std::uint8_t> out;
    for (unsigned char c : text) PutLe16(out, c);
    return out;
}

}  // namespace

EmfWriter& EmfWriter::SetMapMode(int mode) {
    return Record(17, Longs({mode}));
}
EmfWriter& EmfWriter::SetWindowExt(int x, int y) {
    return Record(9, Longs({x, y}));
}
EmfWriter& EmfWriter::SetViewportExt(int x, int y) {
    return Record(11, Longs({x, y}));
}

EmfWriter& EmfWriter::SetWorldTransform(float m11, float m12, float m21, float m22, float dx, float dy) {
    std::vector<std::uint8_t> body;
    for (float v : {m11, m12, m21, m22, dx, dy}) PutFloat(body, v);
    return Record(35, body);
}

EmfWriter& EmfWriter::SetBkMode(int mode) {
    return Record(18, Longs({mode}));
}
EmfWriter& EmfWriter::SetTextColor(std::uint32_t color) {
    return Record(24, Longs({color}));
}

EmfWriter& EmfWriter::CreatePen(int index, int style, int width, std::uint32_t color) {
    return Record(38, Longs({index, style, width, 0, color}));
}

EmfWriter& EmfWriter::CreateBrush(int index, int style, std::uint32_t color, int hatch) {
    return Record(39, Longs({index, style, color, hatch}));
}

EmfWriter& EmfWriter::CreateFont(int index, int height, int weight, const std::string& face) {
    std::vector<std::uint8_t> body = Longs({index, height, 0, 0, 0, weight});
    for (int i = 0; i < 8; ++i) body.push_back(0);
    std::vector<std::uint8_t> name = Utf16(face);
    name.resize(64, 0);
    body.insert(body.end(), name.begin(), name.end());
    return Record(82, body);
}

EmfWriter& EmfWriter::SelectObject(std::uint32_t index) {
    return Record(37, Longs({index}));
}
EmfWriter& EmfWriter::DeleteObject(int index) {
    return Record(40, Longs({index}));
}

EmfWriter& EmfWriter::Rectangle(int left, int top, int right, int bottom) {
    return Record(43, Longs({left, top, right, bottom}));
}

EmfWriter& EmfWriter::Ellipse(int left, int top, int right, int bottom) {
    return Record(42, Longs({left, top, right, bottom}));
}

EmfWriter& EmfWriter::Polygon16(const std::vector<std::pair<int, int>>& points) {
    std::vector<std::uint8_t> body = Longs({0, 0, 0, 0, static_cast<std::int64_t>(points.size())});
    for (auto [x, y] : points) {
        PutLe16(body, static_cast<std::uint16_t>(x));
        PutLe16(body, static_cast<std::uint16_t>(y));
    }
    return Record(86, body);
}

EmfWriter& EmfWriter::Polyline(const std::vector<std::pair<int, int>>& points) {
    std::vector<std::uint8_t> body = Longs({0, 0, 0, 0, static_cast<std::int64_t>(points.size())});
    for (auto [x, y] : points) {
        PutLe32(body, static_cast<std::uint32_t>(x));
        PutLe32(body, static_cast<std::uint32_t>(y));
    }
    return Record(4, body);
}

EmfWriter& EmfWriter::ExtTextOutW(int x, int y, const std::string& text) {
    // Bounds, graphics mode, x and y scale, then the text record: reference,
    // count, string offset, options, rectangle, advances offset.
    constexpr std::int64_t kStringOffset = 76;
    std::vector<std::uint8_t> body = Longs(
        {0, 0, 0, 0, 1, 0, 0, x, y, static_cast<std::int64_t>(text.size()), kStringOffset, 0, 0, 0, 0, 0, 0});
    std::vector<std::uint8_t> chars = Utf16(text);
    body.insert(body.end(), chars.begin(), chars.end());
    return Record(84, body);
}

EmfWriter& EmfWriter::StretchDIBits(int x, int y, int width, int height, int sourceWidth, int sourceHeight,
                                    const std::vector<std::uint8_t>& info,
                                    const std::vector<std::uint8_t>& bits) {
    constexpr std::int64_t kInfoOffset = 80;
    const std::int64_t infoSize = static_cast<std::int64_t>(info.size());
    std::vector<std::uint8_t> body =
        Longs({0, 0, 0, 0, x, y, 0, 0, sourceWidth, sourceHeight, kInfoOffset, infoSize,
               kInfoOffset + infoSize, static_cast<std::int64_t>(bits.size()), 0, 0x00CC0020, width, height});
    body.insert(body.end(), info.begin(), info.end());
    body.insert(body.end(), bits.begin(), bits.end());
    return Record(81, body);
}

EmfWriter& EmfWriter::BeginPath() {
    return Record(59, {});
}
EmfWriter& EmfWriter::EndPath() {
    return Record(60, {});
}
EmfWriter& EmfWriter::FillPath() {
    return Record(62, Longs({0, 0, 0, 0}));
}

EmfWriter& EmfWriter::IntersectClipRect(int left, int top, int right, int bottom) {
    return Record(30, Longs({left, top, right, bottom}));
}

std::vector<std::uint8_t> EmfWriter::Bytes(const std::vector<PaletteColor>& palette) const {
    std::vector<std::uint8_t> eof =
        Longs({static_cast<std::int64_t>(palette.size()), palette.empty() ? 0 : 16});
    for (const PaletteColor& c : palette) {
        eof.push_back(c.red);
        eof.push_back(c.green);
        eof.push_back(c.blue);
        eof.push_back(0);
    }
    const std::uint32_t eofSize = static_cast<std::uint32_t>(8 + eof.size() + 4);
    PutLe32(eof, eofSize);

    constexpr std::uint32_t kHeaderSize = 88;
    const std::uint32_t total = static_cast<std::uint32_t>(kHeaderSize + m_records.size() + eofSize);
    std::vector<std::uint8_t> out;
    PutLe32(out, 1);
    PutLe32(out, kHeaderSize);
    for (int v : {0, 0, 0, 0}) PutLe32(out, static_cast<std::uint32_t>(v));  // bounds
    for (int v : m_frame) PutLe32(out, static_cast<std::uint32_t>(v));
    PutLe32(out, 0x464D4520);
    PutLe32(out, 0x00010000);
    PutLe32(out, total);
    PutLe32(out, m_recordCount + 2);
    PutLe16(out, 16);  // handles
    PutLe16(out, 0);
    PutLe32(out, 0);  // description
    PutLe32(out, 0);
    PutLe32(out, static_cast<std::uint32_t>(palette.size()));
    for (int v : m_devicePixels) PutLe32(out, static_cast<std::uint32_t>(v));
    for (int v : m_deviceMillimetres) PutLe32(out, static_cast<std::uint32_t>(v));
    out.insert(out.end(), m_records.begin(), m_records.end());
    PutLe32(out, 14);
    PutLe32(out, eofSize);
    out.insert(out.end(), eof.begin(), eof.end());
    return out;
}

}  // namespace testsupport
