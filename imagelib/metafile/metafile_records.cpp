#include "imagelib/metafile/metafile_records.h"

#include "imagelib/byte_order.h"
#include "imagelib/metafile/metafile_emf.h"
#include "imagelib/metafile/metafile_wmf.h"

#include <cmath>
#include <cstring>

namespace metafile {

bool CRecordView::HasArray(std::size_t offset, std::uint64_t count, std::size_t itemSize) const {
    if (offset > m_size) return false;
    const std::uint64_t available = m_size - offset;
    return itemSize == 0 || count <= available / itemSize;
}

std::uint16_t CRecordView::U16(std::size_t offset) const {
    return Has(offset, 2) ? ReadLE16(m_data + offset) : 0;
}

std::uint32_t CRecordView::U32(std::size_t offset) const {
    return Has(offset, 4) ? ReadLE32(m_data + offset) : 0;
}

float CRecordView::F32(std::size_t offset) const {
    const std::uint32_t bits = U32(offset);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

CRecordView CRecordView::Sub(std::size_t offset, std::size_t count) const {
    return Has(offset, count) ? CRecordView(m_data + offset, count) : CRecordView();
}

CRecordView CRecordView::From(std::size_t offset) const {
    return offset <= m_size ? CRecordView(m_data + offset, m_size - offset) : CRecordView();
}

// ---------------------------------------------------------------------------

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The characters 0x80-0x9F of the Western Windows code page; the rest of the
// code page is Latin-1.
constexpr std::uint16_t kCodePage1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

}  // namespace

std::string Latin1ToUtf8(CRecordView bytes, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count && i < bytes.Size(); ++i) {
        const std::uint8_t c = bytes.U8(i);
        if (c == 0) break;
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kCodePage1252High[c - 0x80] : c);
    }
    return out;
}

std::string Utf16ToUtf8(CRecordView bytes, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count && bytes.Has(2 * i, 2); ++i) {
        std::uint32_t code = bytes.U16(2 * i);
        if (code == 0) break;
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && bytes.Has(2 * i + 2, 2)) {
            const std::uint32_t low = bytes.U16(2 * i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                code = 0xFFFD;
            }
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Windows metafiles

namespace {

constexpr std::uint16_t kWmfMemoryType = 1;
constexpr std::uint16_t kWmfDiskType = 2;
constexpr std::uint16_t kWmfHeaderWords = 9;
constexpr std::uint16_t kWmfVersion1 = 0x0100;
constexpr std::uint16_t kWmfVersion3 = 0x0300;

}  // namespace

std::optional<WindowsMetafileInfo> ValidateWindowsMetafile(const std::uint8_t* data, std::size_t size,
                                                           std::size_t maxRecords) {
    const CRecordView file(data, size);
    if (!file.Has(0, kWmfHeaderSize)) return std::nullopt;
    const std::uint16_t type = file.U16(0);
    const std::uint16_t headerWords = file.U16(2);
    const std::uint16_t version = file.U16(4);
    if ((type != kWmfMemoryType && type != kWmfDiskType) || headerWords != kWmfHeaderWords)
        return std::nullopt;
    if (version != kWmfVersion1 && version != kWmfVersion3) return std::nullopt;

    WindowsMetafileInfo info;
    info.objectCount = file.U16(10);
    bool paletteSeen = false;
    bool drawn = false;
    std::size_t offset = kWmfHeaderSize;
    std::size_t records = 0;
    while (file.Has(offset, kWmfRecordHeaderSize) && records < maxRecords) {
        const std::uint64_t words = file.U32(offset);
        const std::uint16_t function = file.U16(offset + 4);
        if (words < kWmfRecordHeaderSize / 2) return std::nullopt;
        const std::uint64_t bytes = words * 2;
        if (bytes > size - offset) return std::nullopt;
        if (bytes < MinimumWindowsRecordSize(function)) return std::nullopt;
        const CRecordView record = file.Sub(offset, static_cast<std::size_t>(bytes));
        offset += static_cast<std::size_t>(bytes);
        ++records;
        if (function == kWmfEof) break;
        if (IsWindowsDrawingRecord(function)) drawn = true;
        if (!drawn) {
            const std::int16_t y = record.I16(6);
            const std::int16_t x = record.I16(8);
            if (function == kWmfSetWindowOrg) {
                info.windowOrgX = x;
                info.windowOrgY = y;
            } else if (function == kWmfSetWindowExt && x != 0 && y != 0) {
                info.hasWindowExtent = true;
                info.windowExtentX = x;
                info.windowExtentY = y;
            } else if (function == kWmfSetViewportOrg) {
                info.viewportOrgX = x;
                info.viewportOrgY = y;
            } else if (function == kWmfSetViewportExt && x != 0 && y != 0) {
                info.hasViewportExtent = true;
                info.viewportExtentX = x;
                info.viewportExtentY = y;
            }
        }
        if (function == kWmfCreatePalette && !paletteSeen) {
            paletteSeen = true;
            const std::uint16_t count = record.U16(8);
            for (std::uint16_t i = 0; i < count && record.Has(10 + 4 * std::size_t{i}, 4); ++i) {
                const std::size_t at = 10 + 4 * std::size_t{i};
                info.palette.push_back(
                    {record.U8(at), record.U8(at + 1), record.U8(at + 2), record.U8(at + 3)});
            }
        }
    }
    info.playSize = offset;
    return info;
}

// ---------------------------------------------------------------------------
// Enhanced metafiles

namespace {

// Header field offsets.
constexpr std::size_t kHeaderBounds = 8;
constexpr std::size_t kHeaderFrame = 24;
constexpr std::size_t kHeaderSignature = 40;
constexpr std::size_t kHeaderBytes = 48;
constexpr std::size_t kHeaderRecords = 52;
constexpr std::size_t kHeaderHandles = 56;
constexpr std::size_t kHeaderDescriptionLength = 60;
constexpr std::size_t kHeaderDescriptionOffset = 64;
[[maybe_unused]] constexpr std::size_t kHeaderPaletteEntries = 68;  // not needed for playback
constexpr std::size_t kHeaderDevice = 72;
constexpr std::size_t kHeaderMillimetres = 80;

MetafileRect ReadRect(const CRecordView& view, std::size_t offset) {
    return {view.I32(offset), view.I32(offset + 4), view.I32(offset + 8), view.I32(offset + 12)};
}

// An optional block (offset, length) inside the header record must lie
// after the fixed header fields and inside the record.
bool BlockInsideHeader(std::uint64_t offset, std::uint64_t length, std::size_t headerSize) {
    if (length == 0) return true;
    return offset >= kEmfHeaderMinimumSize && offset <= headerSize && length <= headerSize - offset;
}

}  // namespace

std::optional<EnhancedMetafileInfo> ValidateEnhancedMetafile(const std::uint8_t* data, std::size_t size,
                                                             std::size_t maxRecords) {
    const CRecordView file(data, size);
    if (!file.Has(0, kEmfHeaderMinimumSize)) return std::nullopt;
    const std::uint32_t headerSize = file.U32(4);
    if (file.U32(0) != kEmrHeader || file.U32(kHeaderSignature) != kEmfSignature) return std::nullopt;
    if (headerSize < kEmfHeaderMinimumSize || headerSize % 4 != 0 || headerSize > size) return std::nullopt;
    const CRecordView header = file.Sub(0, headerSize);

    EnhancedMetafileInfo info;
    info.headerSize = headerSize;
    EnhancedMetafileHeader& out = info.header;
    out.bounds = ReadRect(header, kHeaderBounds);
    out.frame = ReadRect(header, kHeaderFrame);
    out.bytes = header.U32(kHeaderBytes);
    out.records = header.U32(kHeaderRecords);
    out.handles = header.U16(kHeaderHandles);
    out.devicePixels = {header.I32(kHeaderDevice), header.I32(kHeaderDevice + 4)};
    out.deviceMillimetres = {header.I32(kHeaderMillimetres), header.I32(kHeaderMillimetres + 4)};
    if (out.devicePixels.cx <= 0 || out.devicePixels.cy <= 0 || out.deviceMillimetres.cx <= 0 ||
        out.deviceMillimetres.cy <= 0)
        return std::nullopt;
    const std::uint64_t descriptionChars = header.U32(kHeaderDescriptionLength);
    if (!BlockInsideHeader(header.U32(kHeaderDescriptionOffset), descriptionChars * 2, headerSize))
        return std::nullopt;
    // The pixel-format fields of longer headers are not checked: writers
    // commonly put the description over them.

    std::size_t offset = headerSize;
    std::size_t records = 1;
    bool ended = false;
    while (file.Has(offset, kEmfRecordHeaderSize) && records < maxRecords) {
        const std::uint32_t type = file.U32(offset);
        const std::uint32_t recordSize = file.U32(offset + 4);
        if (recordSize < kEmfRecordHeaderSize || recordSize % 4 != 0 || recordSize > size - offset)
            return std::nullopt;
        if (type == kEmrHeader || recordSize < MinimumEnhancedRecordSize(type)) return std::nullopt;
        const CRecordView record = file.Sub(offset, recordSize);
        offset += recordSize;
        ++records;
        if (type == kEmrEof) {
            const std::uint32_t count = record.U32(8);
            const std::uint32_t entriesOffset = record.U32(12);
            if (count > 0 && record.HasArray(entriesOffset, count, 4)) {
                info.palette.reserve(count);
                for (std::uint32_t i = 0; i < count; ++i) {
                    const std::size_t at = entriesOffset + 4 * std::size_t{i};
                    info.palette.push_back(
                        {record.U8(at), record.U8(at + 1), record.U8(at + 2), record.U8(at + 3)});
                }
            }
            ended = true;
            break;
        }
    }
    // A chain that stops short of its end record was cut off or damaged;
    // only the record cap may end the walk early.
    if (!ended && records < maxRecords) return std::nullopt;
    info.playSize = offset;
    out.paletteEntries = static_cast<std::uint32_t>(info.palette.size());
    return info;
}

}  // namespace metafile
