#pragma once

#include "imagelib/metafile/metafile_platform.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reading Windows metafile (WMF) and enhanced metafile (EMF) records: a
// bounded view of one record's bytes, the names of the record numbers, and
// the structural checks made when a metafile is loaded (with the record
// sizes from the players' record tables). Everything here treats the bytes
// as hostile.
namespace metafile {

// Record function numbers of Windows metafiles.
enum WindowsRecord : std::uint16_t {
    kWmfEof = 0x0000,
    kWmfRealizePalette = 0x0035,
    kWmfSetPaletteEntries = 0x0037,
    kWmfSetBkMode = 0x0102,
    kWmfSetMapMode = 0x0103,
    kWmfSetRop2 = 0x0104,
    kWmfSetRelAbs = 0x0105,
    kWmfSetPolyFillMode = 0x0106,
    kWmfSetStretchBltMode = 0x0107,
    kWmfSetTextCharExtra = 0x0108,
    kWmfSaveDC = 0x001E,
    kWmfRestoreDC = 0x0127,
    kWmfInvertRegion = 0x012A,
    kWmfPaintRegion = 0x012B,
    kWmfSelectClipRegion = 0x012C,
    kWmfSelectObject = 0x012D,
    kWmfSetTextAlign = 0x012E,
    kWmfResizePalette = 0x0139,
    kWmfDibCreatePatternBrush = 0x0142,
    kWmfSetLayout = 0x0149,
    kWmfDeleteObject = 0x01F0,
    kWmfCreatePatternBrush = 0x01F9,
    kWmfSetBkColor = 0x0201,
    kWmfSetTextColor = 0x0209,
    kWmfSetTextJustification = 0x020A,
    kWmfSetWindowOrg = 0x020B,
    kWmfSetWindowExt = 0x020C,
    kWmfSetViewportOrg = 0x020D,
    kWmfSetViewportExt = 0x020E,
    kWmfOffsetWindowOrg = 0x020F,
    kWmfOffsetViewportOrg = 0x0211,
    kWmfLineTo = 0x0213,
    kWmfMoveTo = 0x0214,
    kWmfOffsetClipRegion = 0x0220,
    kWmfFillRegion = 0x0228,
    kWmfSetMapperFlags = 0x0231,
    kWmfSelectPalette = 0x0234,
    kWmfCreatePenIndirect = 0x02FA,
    kWmfCreateFontIndirect = 0x02FB,
    kWmfCreateBrushIndirect = 0x02FC,
    kWmfCreatePalette = 0x00F7,
    kWmfPolygon = 0x0324,
    kWmfPolyline = 0x0325,
    kWmfScaleWindowExt = 0x0410,
    kWmfScaleViewportExt = 0x0412,
    kWmfExcludeClipRect = 0x0415,
    kWmfIntersectClipRect = 0x0416,
    kWmfEllipse = 0x0418,
    kWmfFloodFill = 0x0419,
    kWmfRectangle = 0x041B,
    kWmfSetPixel = 0x041F,
    kWmfFrameRegion = 0x0429,
    kWmfAnimatePalette = 0x0436,
    kWmfTextOut = 0x0521,
    kWmfPolyPolygon = 0x0538,
    kWmfExtFloodFill = 0x0548,
    kWmfRoundRect = 0x061C,
    kWmfPatBlt = 0x061D,
    kWmfEscape = 0x0626,
    kWmfCreateRegion = 0x06FF,
    kWmfArc = 0x0817,
    kWmfPie = 0x081A,
    kWmfChord = 0x0830,
    kWmfBitBlt = 0x0922,
    kWmfDibBitBlt = 0x0940,
    kWmfExtTextOut = 0x0A32,
    kWmfStretchBlt = 0x0B23,
    kWmfDibStretchBlt = 0x0B41,
    kWmfSetDibToDevice = 0x0D33,
    kWmfStretchDib = 0x0F43,
};

// Record types of enhanced metafiles.
enum EnhancedRecord : std::uint32_t {
    kEmrHeader = 1,
    kEmrPolyBezier = 2,
    kEmrPolygon = 3,
    kEmrPolyline = 4,
    kEmrPolyBezierTo = 5,
    kEmrPolylineTo = 6,
    kEmrPolyPolyline = 7,
    kEmrPolyPolygon = 8,
    kEmrSetWindowExtEx = 9,
    kEmrSetWindowOrgEx = 10,
    kEmrSetViewportExtEx = 11,
    kEmrSetViewportOrgEx = 12,
    kEmrSetBrushOrgEx = 13,
    kEmrEof = 14,
    kEmrSetPixelV = 15,
    kEmrSetMapperFlags = 16,
    kEmrSetMapMode = 17,
    kEmrSetBkMode = 18,
    kEmrSetPolyFillMode = 19,
    kEmrSetRop2 = 20,
    kEmrSetStretchBltMode = 21,
    kEmrSetTextAlign = 22,
    kEmrSetColorAdjustment = 23,
    kEmrSetTextColor = 24,
    kEmrSetBkColor = 25,
    kEmrOffsetClipRgn = 26,
    kEmrMoveToEx = 27,
    kEmrSetMetaRgn = 28,
    kEmrExcludeClipRect = 29,
    kEmrIntersectClipRect = 30,
    kEmrScaleViewportExtEx = 31,
    kEmrScaleWindowExtEx = 32,
    kEmrSaveDC = 33,
    kEmrRestoreDC = 34,
    kEmrSetWorldTransform = 35,
    kEmrModifyWorldTransform = 36,
    kEmrSelectObject = 37,
    kEmrCreatePen = 38,
    kEmrCreateBrushIndirect = 39,
    kEmrDeleteObject = 40,
    kEmrAngleArc = 41,
    kEmrEllipse = 42,
    kEmrRectangle = 43,
    kEmrRoundRect = 44,
    kEmrArc = 45,
    kEmrChord = 46,
    kEmrPie = 47,
    kEmrSelectPalette = 48,
    kEmrCreatePalette = 49,
    kEmrSetPaletteEntries = 50,
    kEmrResizePalette = 51,
    kEmrRealizePalette = 52,
    kEmrExtFloodFill = 53,
    kEmrLineTo = 54,
    kEmrArcTo = 55,
    kEmrPolyDraw = 56,
    kEmrSetArcDirection = 57,
    kEmrSetMiterLimit = 58,
    kEmrBeginPath = 59,
    kEmrEndPath = 60,
    kEmrCloseFigure = 61,
    kEmrFillPath = 62,
    kEmrStrokeAndFillPath = 63,
    kEmrStrokePath = 64,
    kEmrFlattenPath = 65,
    kEmrWidenPath = 66,
    kEmrSelectClipPath = 67,
    kEmrAbortPath = 68,
    kEmrGdiComment = 70,
    kEmrFillRgn = 71,
    kEmrFrameRgn = 72,
    kEmrInvertRgn = 73,
    kEmrPaintRgn = 74,
    kEmrExtSelectClipRgn = 75,
    kEmrBitBlt = 76,
    kEmrStretchBlt = 77,
    kEmrMaskBlt = 78,
    kEmrPlgBlt = 79,
    kEmrSetDIBitsToDevice = 80,
    kEmrStretchDIBits = 81,
    kEmrExtCreateFontIndirectW = 82,
    kEmrExtTextOutA = 83,
    kEmrExtTextOutW = 84,
    kEmrPolyBezier16 = 85,
    kEmrPolygon16 = 86,
    kEmrPolyline16 = 87,
    kEmrPolyBezierTo16 = 88,
    kEmrPolylineTo16 = 89,
    kEmrPolyPolyline16 = 90,
    kEmrPolyPolygon16 = 91,
    kEmrPolyDraw16 = 92,
    kEmrCreateMonoBrush = 93,
    kEmrCreateDibPatternBrushPt = 94,
    kEmrExtCreatePen = 95,
    kEmrPolyTextOutA = 96,
    kEmrPolyTextOutW = 97,
    kEmrSetIcmMode = 98,
    kEmrAlphaBlend = 114,
    kEmrSetLayout = 115,
    kEmrTransparentBlt = 116,
    kEmrGradientFill = 118,
    kEmrSetTextJustification = 120,
};

// A bounded little-endian view of bytes. Reads outside the view return 0, so
// a forgotten check can give a wrong value but never touch foreign memory;
// handlers still check sizes first with Has().
class CRecordView {
public:
    CRecordView() = default;
    CRecordView(const std::uint8_t* data, std::size_t size)
        : m_data(data), m_size(data != nullptr ? size : 0) {}

    std::size_t Size() const { return m_size; }
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    // Has() for count items of itemSize bytes each, overflow-safe.
    bool HasArray(std::size_t offset, std::uint64_t count, std::size_t itemSize) const;

    std::uint8_t U8(std::size_t offset) const { return Has(offset, 1) ? m_data[offset] : 0; }
    std::uint16_t U16(std::size_t offset) const;
    std::int16_t I16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
    std::uint32_t U32(std::size_t offset) const;
    std::int32_t I32(std::size_t offset) const { return static_cast<std::int32_t>(U32(offset)); }
    float F32(std::size_t offset) const;

    // The bytes [offset, offset + count), or an empty view when they are not all inside.
    CRecordView Sub(std::size_t offset, std::size_t count) const;
    // The bytes from offset to the end, or an empty view.
    CRecordView From(std::size_t offset) const;
    // Raw pointer to the bytes at offset; call only after Has().
    const std::uint8_t* Pointer(std::size_t offset) const { return m_data + offset; }

private:
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

// Text helpers for record strings.
std::string Latin1ToUtf8(CRecordView bytes, std::size_t count);
std::string Utf16ToUtf8(CRecordView bytes, std::size_t count);

// Sizes of the fixed structures both formats start with.
inline constexpr std::size_t kWmfHeaderSize = 18;
inline constexpr std::size_t kWmfRecordHeaderSize = 6;
inline constexpr std::size_t kEmfHeaderMinimumSize = 88;
inline constexpr std::size_t kEmfRecordHeaderSize = 8;
inline constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"

// What loading learned about a Windows metafile. The window and viewport
// are those set before the first drawing record: they say which part of the
// logical plane the picture covers.
struct WindowsMetafileInfo {
    std::size_t playSize = 0;       // bytes up to and including the last record
    std::uint16_t objectCount = 0;  // object table size from the header
    bool hasWindowExtent = false;
    std::int32_t windowOrgX = 0;
    std::int32_t windowOrgY = 0;
    std::int32_t windowExtentX = 0;
    std::int32_t windowExtentY = 0;
    bool hasViewportExtent = false;
    std::int32_t viewportOrgX = 0;
    std::int32_t viewportOrgY = 0;
    std::int32_t viewportExtentX = 0;
    std::int32_t viewportExtentY = 0;
    std::vector<MetafilePaletteEntry> palette;  // entries of the first palette it creates
};

// Checks the header and walks the record chain: every record at least the
// size of its fixed part and inside the data, the chain ending at the end
// record or the end of the data. Nothing when the bytes are not a sound
// Windows metafile. A chain longer than maxRecords is cut off there.
std::optional<WindowsMetafileInfo> ValidateWindowsMetafile(const std::uint8_t* data, std::size_t size,
                                                           std::size_t maxRecords);

// What loading learned about an enhanced metafile.
struct EnhancedMetafileInfo {
    EnhancedMetafileHeader header;
    std::size_t headerSize = 0;
    std::size_t playSize = 0;  // bytes up to and including the end record
    std::vector<MetafilePaletteEntry> palette;
};

// The same checks for an enhanced metafile: the header record and its
// signature, description and device sizes, then the record chain up to the
// end record.
std::optional<EnhancedMetafileInfo> ValidateEnhancedMetafile(const std::uint8_t* data, std::size_t size,
                                                             std::size_t maxRecords);

}  // namespace metafile
