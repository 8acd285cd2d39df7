#include "imagelib/metafile/metafile_emf.h"

#include "imagelib/metafile/metafile_emf_player.h"
#include "imagelib/metafile/metafile_record_table.h"

#include <algorithm>
#include <cmath>

namespace metafile {

namespace {

constexpr std::uint32_t kBrushNullStyle = 1;
constexpr std::uint32_t kBrushPatternStyle = 3;
constexpr std::uint32_t kPenNullStyle = 5;
constexpr std::size_t kLogFontSize = 92;
constexpr std::size_t kFaceNameChars = 32;
constexpr std::size_t kTextRecordSize = 40;  // EMRTEXT
constexpr std::size_t kRegionHeaderSize = 32;

// `count` points of 16-bit or 32-bit coordinates.
std::vector<Point> ReadPoints(const CRecordView& view, std::size_t at, std::uint64_t count, bool small) {
    std::vector<Point> points;
    const std::size_t size = small ? 4 : 8;
    if (!view.HasArray(at, count, size)) return points;
    points.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t p = at + i * size;
        if (small)
            points.push_back({double(view.I16(p)), double(view.I16(p + 2))});
        else
            points.push_back(ReadEnhancedPoint(view, p));
    }
    return points;
}

std::vector<MetafilePaletteEntry> ReadPaletteEntries(const CRecordView& view, std::size_t at,
                                                     std::uint64_t count, std::uint32_t maxEntries) {
    std::vector<MetafilePaletteEntry> entries;
    if (count > maxEntries || !view.HasArray(at, count, 4)) return entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back(
            {view.U8(at + 4 * i), view.U8(at + 4 * i + 1), view.U8(at + 4 * i + 2), view.U8(at + 4 * i + 3)});
    return entries;
}

// The rectangles of a RGNDATA block.
std::vector<RegionRect> ReadRegion(const CRecordView& data) {
    std::vector<RegionRect> rects;
    if (!data.Has(0, kRegionHeaderSize)) return rects;
    const std::uint32_t count = data.U32(8);
    if (!data.HasArray(kRegionHeaderSize, count, 16)) return rects;
    rects.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kRegionHeaderSize + 16 * i;
        rects.push_back({data.I32(at), data.I32(at + 4), data.I32(at + 8), data.I32(at + 12)});
    }
    return rects;
}

}  // namespace

LogicalRect ReadEnhancedRect(const CRecordView& view, std::size_t at) {
    return {double(view.I32(at)), double(view.I32(at + 4)), double(view.I32(at + 8)),
            double(view.I32(at + 12))};
}

Point ReadEnhancedPoint(const CRecordView& view, std::size_t at) {
    return {double(view.I32(at)), double(view.I32(at + 4))};
}

Affine ReadEnhancedTransform(const CRecordView& view, std::size_t at) {
    return {view.F32(at),      view.F32(at + 4),  view.F32(at + 8),
            view.F32(at + 12), view.F32(at + 16), view.F32(at + 20)};
}

void CEnhancedPlayer::Poly(const CRecordView& r, bool small, PointsCall draw) {
    const std::vector<Point> points = ReadPoints(r, kEmfAfterBounds + 4, r.U32(kEmfAfterBounds), small);
    if (!points.empty()) (m_dc.*draw)(points);
}

void CEnhancedPlayer::PolyPoly(const CRecordView& r, bool small, FiguresCall draw) {
    const std::uint32_t figures = r.U32(kEmfAfterBounds);
    const std::uint32_t total = r.U32(kEmfAfterBounds + 4);
    const std::size_t countsAt = kEmfAfterBounds + 8;
    if (!r.HasArray(countsAt, figures, 4)) return;
    const std::size_t pointsAt = countsAt + 4 * std::size_t{figures};
    const std::vector<Point> points = ReadPoints(r, pointsAt, total, small);
    std::vector<std::vector<Point>> shapes;
    std::size_t next = 0;
    for (std::size_t i = 0; i < figures; ++i) {
        const std::uint32_t count = r.U32(countsAt + 4 * i);
        if (count > points.size() - next) break;
        shapes.emplace_back(points.begin() + static_cast<std::ptrdiff_t>(next),
                            points.begin() + static_cast<std::ptrdiff_t>(next + count));
        next += count;
    }
    (m_dc.*draw)(shapes);
}

void CEnhancedPlayer::ArcRecord(const CRecordView& r, ArcCall draw) {
    (m_dc.*draw)(ReadEnhancedRect(r, kEmfBody), ReadEnhancedPoint(r, kEmfBody + 16),
                 ReadEnhancedPoint(r, kEmfBody + 24));
}

void CEnhancedPlayer::PolyDraw(const CRecordView& r, bool small) {
    const std::uint32_t count = r.U32(kEmfAfterBounds);
    const std::size_t pointsAt = kEmfAfterBounds + 4;
    const std::vector<Point> points = ReadPoints(r, pointsAt, count, small);
    if (points.empty()) return;
    const std::size_t typesAt = pointsAt + points.size() * (small ? 4 : 8);
    if (!r.Has(typesAt, points.size())) return;
    std::vector<std::uint8_t> types(points.size());
    for (std::size_t i = 0; i < types.size(); ++i) types[i] = r.U8(typesAt + i);
    m_dc.PolyDraw(points, types);
}

void CEnhancedPlayer::CreatePen(const CRecordView& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Pen;
    object.pen.style = r.U32(kEmfBody + 4);
    object.pen.width = std::abs(static_cast<double>(r.I32(kEmfBody + 8)));
    object.pen.color = r.U32(kEmfBody + 16);
    m_dc.CreateObjectAt(r.U32(kEmfBody), std::move(object));
}

void CEnhancedPlayer::ExtCreatePen(const CRecordView& r) {
    // Index, bitmap offsets and sizes, then the extended pen: style, width,
    // brush style, colour, hatch, number of style entries, style entries.
    constexpr std::size_t kPen = kEmfBody + 20;
    GdiObject object;
    object.kind = GdiObject::Kind::Pen;
    PenSpec& pen = object.pen;
    pen.extended = true;
    pen.style = r.U32(kPen);
    pen.width = r.U32(kPen + 4);
    pen.color = r.U32(kPen + 12);
    if (r.U32(kPen + 8) == kBrushNullStyle) pen.style = (pen.style & ~0xFu) | kPenNullStyle;
    const std::uint32_t entries = r.U32(kPen + 20);
    if (r.HasArray(kPen + 24, entries, 4) && entries <= 16) {
        for (std::size_t i = 0; i < entries; ++i) pen.userDashes.push_back(r.U32(kPen + 24 + 4 * i));
    }
    m_dc.CreateObjectAt(r.U32(kEmfBody), std::move(object));
}

void CEnhancedPlayer::CreateBrush(const CRecordView& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Brush;
    object.brush.style = r.U32(kEmfBody + 4);
    object.brush.color = r.U32(kEmfBody + 8);
    object.brush.hatch = r.U32(kEmfBody + 12);
    // Pattern styles need a bitmap, which this record does not carry.
    if (object.brush.style == kBrushPatternStyle || object.brush.style >= 5) object.brush.style = 0;
    m_dc.CreateObjectAt(r.U32(kEmfBody), std::move(object));
}

void CEnhancedPlayer::CreateFont(const CRecordView& r) {
    constexpr std::size_t kFont = kEmfBody + 4;
    GdiObject object;
    object.kind = GdiObject::Kind::Font;
    FontSpec& font = object.font;
    font.height = r.I32(kFont);
    font.width = r.I32(kFont + 4);
    font.escapement = r.I32(kFont + 8);
    font.weight = r.I32(kFont + 16);
    font.italic = r.U8(kFont + 20) != 0;
    font.underline = r.U8(kFont + 21) != 0;
    font.strikeOut = r.U8(kFont + 22) != 0;
    font.charset = r.U8(kFont + 23);
    font.pitchAndFamily = r.U8(kFont + 27);
    font.face = Utf16ToUtf8(r.Sub(kFont + 28, 2 * kFaceNameChars), kFaceNameChars);
    static_assert(28 + 2 * kFaceNameChars == kLogFontSize);
    m_dc.CreateObjectAt(r.U32(kEmfBody), std::move(object));
}

void CEnhancedPlayer::CreatePalette(const CRecordView& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Palette;
    object.palette = std::make_shared<PaletteData>(
        ReadPaletteEntries(r, kEmfBody + 8, r.U16(kEmfBody + 6), m_dc.Limits().maxMetafilePaletteEntries));
    m_dc.CreateObjectAt(r.U32(kEmfBody), std::move(object));
}

void CEnhancedPlayer::SetPaletteEntries(const CRecordView& r) {
    m_dc.SetPaletteEntries(
        r.U32(kEmfBody), r.U32(kEmfBody + 4),
        ReadPaletteEntries(r, kEmfBody + 12, r.U32(kEmfBody + 8), m_dc.Limits().maxMetafilePaletteEntries));
}

void CEnhancedPlayer::FillRegion(const CRecordView& r) {
    const auto brush = m_dc.BrushOf(r.U32(kEmfAfterBounds + 4));
    if (brush) m_dc.FillRegion(ReadRegion(r.Sub(kEmfAfterBounds + 8, r.U32(kEmfAfterBounds))), *brush, false);
}

void CEnhancedPlayer::FrameRegion(const CRecordView& r) {
    const auto brush = m_dc.BrushOf(r.U32(kEmfAfterBounds + 4));
    if (brush)
        m_dc.FrameRegion(ReadRegion(r.Sub(kEmfAfterBounds + 16, r.U32(kEmfAfterBounds))), *brush,
                         r.I32(kEmfAfterBounds + 8), r.I32(kEmfAfterBounds + 12), false);
}

void CEnhancedPlayer::ExtTextOut(const CRecordView& r, bool wide) {
    DecodedText decoded;
    Text(r, kEmfAfterBounds + 12, wide, decoded);
}

void CEnhancedPlayer::PolyTextOut(const CRecordView& r, bool wide) {
    const std::uint32_t strings = r.U32(kEmfAfterBounds + 12);
    const std::size_t first = kEmfAfterBounds + 16;
    if (!r.HasArray(first, strings, kTextRecordSize)) return;
    DecodedText decoded;
    for (std::size_t i = 0; i < strings && m_dc.IsUsable(); ++i)
        Text(r, first + i * kTextRecordSize, wide, decoded);
}

void CEnhancedPlayer::Text(const CRecordView& r, std::size_t emrText, bool wide, DecodedText& decoded) {
    // EMRTEXT: reference point, character count, string offset, options,
    // rectangle, offset of the advances.
    if (!r.Has(emrText, kTextRecordSize)) return;
    const Point reference = ReadEnhancedPoint(r, emrText);
    const std::uint32_t count = r.U32(emrText + 8);
    const std::uint32_t stringAt = r.U32(emrText + 12);
    const std::uint32_t options = r.U32(emrText + 16);
    const LogicalRect rectangle = ReadEnhancedRect(r, emrText + 20);
    const std::uint32_t dxAt = r.U32(emrText + 36);
    const bool hasRectangle = rectangle.right != rectangle.left || rectangle.bottom != rectangle.top;
    const std::optional<LogicalRect> box =
        hasRectangle ? std::optional<LogicalRect>(rectangle) : std::nullopt;

    const bool same = decoded.valid && decoded.count == count && decoded.stringAt == stringAt &&
                      decoded.options == options && decoded.dxAt == dxAt;
    if (!same) {
        decoded = {count, stringAt, options, dxAt, true, {}, {}};
        DecodeText(r, wide, decoded);
    }
    m_dc.TextOut(reference, decoded.glyphs, decoded.dx, options, box);
}

void CEnhancedPlayer::DecodeText(const CRecordView& r, bool wide, DecodedText& decoded) {
    const std::uint32_t count = decoded.count, stringAt = decoded.stringAt;
    const std::uint32_t options = decoded.options, dxAt = decoded.dxAt;
    std::vector<std::string>& glyphs = decoded.glyphs;
    std::vector<double>& dx = decoded.dx;
    const std::size_t unit = wide ? 2 : 1;
    // Glyph indices name glyphs of a font this system does not have; only
    // the opaque rectangle is drawn for them.
    if (count > 0 && !(options & kTextGlyphIndex) && r.HasArray(stringAt, count, unit)) {
        // A record's strings may each be long: reading them is counted.
        if (!m_dc.Canvas().Spend(std::uint64_t{count} * WorkUnits::kGlyphRead)) return;
        const std::size_t dxStep = (options & kTextPairedDx) ? 8 : 4;
        const bool hasDx = dxAt != 0 && r.HasArray(dxAt, count, dxStep);
        for (std::size_t i = 0; i < count; ++i) {
            std::string glyph;
            double advance = hasDx ? r.I32(dxAt + i * dxStep) : 0;
            if (wide) {
                const std::uint16_t code = r.U16(stringAt + 2 * i);
                const bool pair = code >= 0xD800 && code < 0xDC00 && i + 1 < count;
                glyph = Utf16ToUtf8(r.Sub(stringAt + 2 * i, pair ? 4 : 2), pair ? 2 : 1);
                if (pair) {
                    ++i;
                    if (hasDx) advance += r.I32(dxAt + i * dxStep);
                }
            } else {
                glyph = Latin1ToUtf8(r.Sub(stringAt + i, 1), 1);
            }
            glyphs.push_back(glyph.empty() ? std::string(" ") : glyph);
            if (hasDx) dx.push_back(advance);
        }
    }
}

namespace {

// What the player knows of one record type: the smallest size in bytes,
// record header included, that its fixed part needs (a shorter record means
// the file is damaged), and what playing it does; records without a handler
// change nothing this player draws (comments and the EMF+ records inside
// them, colour management, flood fills, OpenGL).
struct EnhancedRecordEntry {
    std::uint32_t number;
    std::uint32_t minimumSize;
    void (*handler)(CEnhancedPlayer& player, const CRecordView& r);
};

using Player = CEnhancedPlayer;
using Record = const CRecordView&;

constexpr EnhancedRecordEntry kEnhancedEntries[] = {
    // Lines, curves and polygons.
    {kEmrPolyBezier, 28, [](Player& p, Record r) { p.Poly(r, false, &CDeviceContext::PolyBezier); }},
    {kEmrPolygon, 28, [](Player& p, Record r) { p.Poly(r, false, &CDeviceContext::Polygon); }},
    {kEmrPolyline, 28, [](Player& p, Record r) { p.Poly(r, false, &CDeviceContext::Polyline); }},
    {kEmrPolyBezierTo, 28, [](Player& p, Record r) { p.Poly(r, false, &CDeviceContext::PolyBezierTo); }},
    {kEmrPolylineTo, 28, [](Player& p, Record r) { p.Poly(r, false, &CDeviceContext::PolylineTo); }},
    {kEmrPolyBezier16, 28, [](Player& p, Record r) { p.Poly(r, true, &CDeviceContext::PolyBezier); }},
    {kEmrPolygon16, 28, [](Player& p, Record r) { p.Poly(r, true, &CDeviceContext::Polygon); }},
    {kEmrPolyline16, 28, [](Player& p, Record r) { p.Poly(r, true, &CDeviceContext::Polyline); }},
    {kEmrPolyBezierTo16, 28, [](Player& p, Record r) { p.Poly(r, true, &CDeviceContext::PolyBezierTo); }},
    {kEmrPolylineTo16, 28, [](Player& p, Record r) { p.Poly(r, true, &CDeviceContext::PolylineTo); }},
    {kEmrPolyPolyline, 32, [](Player& p, Record r) { p.PolyPoly(r, false, &CDeviceContext::PolyPolyline); }},
    {kEmrPolyPolygon, 32, [](Player& p, Record r) { p.PolyPoly(r, false, &CDeviceContext::PolyPolygon); }},
    {kEmrPolyPolyline16, 32, [](Player& p, Record r) { p.PolyPoly(r, true, &CDeviceContext::PolyPolyline); }},
    {kEmrPolyPolygon16, 32, [](Player& p, Record r) { p.PolyPoly(r, true, &CDeviceContext::PolyPolygon); }},
    {kEmrPolyDraw, 28, [](Player& p, Record r) { p.PolyDraw(r, false); }},
    {kEmrPolyDraw16, 28, [](Player& p, Record r) { p.PolyDraw(r, true); }},
    {kEmrMoveToEx, 16, [](Player& p, Record r) { p.Dc().MoveTo(ReadEnhancedPoint(r, kEmfBody)); }},
    {kEmrLineTo, 16, [](Player& p, Record r) { p.Dc().LineTo(ReadEnhancedPoint(r, kEmfBody)); }},
    {kEmrSetPixelV, 20,
     [](Player& p, Record r) { p.Dc().SetPixel(ReadEnhancedPoint(r, kEmfBody), r.U32(kEmfBody + 8)); }},
    {kEmrAngleArc, 28,
     [](Player& p, Record r) {
         const float start = r.F32(kEmfBody + 12);
         const float sweep = r.F32(kEmfBody + 16);
         p.Dc().AngleArc(ReadEnhancedPoint(r, kEmfBody), r.U32(kEmfBody + 8), start, sweep);
     }},
    {kEmrEllipse, 24, [](Player& p, Record r) { p.Dc().Ellipse(ReadEnhancedRect(r, kEmfBody)); }},
    {kEmrRectangle, 24, [](Player& p, Record r) { p.Dc().Rectangle(ReadEnhancedRect(r, kEmfBody)); }},
    {kEmrRoundRect, 32,
     [](Player& p, Record r) {
         p.Dc().RoundRect(ReadEnhancedRect(r, kEmfBody), r.I32(kEmfBody + 16), r.I32(kEmfBody + 20));
     }},
    {kEmrArc, 40, [](Player& p, Record r) { p.ArcRecord(r, &CDeviceContext::Arc); }},
    {kEmrArcTo, 40, [](Player& p, Record r) { p.ArcRecord(r, &CDeviceContext::ArcTo); }},
    {kEmrChord, 40, [](Player& p, Record r) { p.ArcRecord(r, &CDeviceContext::Chord); }},
    {kEmrPie, 40, [](Player& p, Record r) { p.ArcRecord(r, &CDeviceContext::Pie); }},
    {kEmrExtFloodFill, 24, nullptr},

    // Mapping and transforms.
    {kEmrSetWindowExtEx, 16,
     [](Player& p, Record r) { p.Dc().SetWindowExt(r.I32(kEmfBody), r.I32(kEmfBody + 4)); }},
    {kEmrSetWindowOrgEx, 16,
     [](Player& p, Record r) { p.Dc().SetWindowOrg(r.I32(kEmfBody), r.I32(kEmfBody + 4)); }},
    {kEmrSetViewportExtEx, 16,
     [](Player& p, Record r) { p.Dc().SetViewportExt(r.I32(kEmfBody), r.I32(kEmfBody + 4)); }},
    {kEmrSetViewportOrgEx, 16,
     [](Player& p, Record r) { p.Dc().SetViewportOrg(r.I32(kEmfBody), r.I32(kEmfBody + 4)); }},
    {kEmrScaleViewportExtEx, 24,
     [](Player& p, Record r) {
         p.Dc().ScaleViewportExt(r.I32(kEmfBody), r.I32(kEmfBody + 4), r.I32(kEmfBody + 8),
                                 r.I32(kEmfBody + 12));
     }},
    {kEmrScaleWindowExtEx, 24,
     [](Player& p, Record r) {
         p.Dc().ScaleWindowExt(r.I32(kEmfBody), r.I32(kEmfBody + 4), r.I32(kEmfBody + 8),
                               r.I32(kEmfBody + 12));
     }},
    {kEmrSetMapMode, 12, [](Player& p, Record r) { p.Dc().SetMapMode(r.I32(kEmfBody)); }},
    {kEmrSetWorldTransform, 32,
     [](Player& p, Record r) { p.Dc().SetWorldTransform(ReadEnhancedTransform(r, kEmfBody)); }},
    {kEmrModifyWorldTransform, 36,
     [](Player& p, Record r) {
         p.Dc().ModifyWorldTransform(ReadEnhancedTransform(r, kEmfBody), r.U32(kEmfBody + 24));
     }},
    {kEmrSetBrushOrgEx, 16, nullptr},
    {kEmrSetMapperFlags, 12, nullptr},
    {kEmrSetLayout, 12, nullptr},

    // Modes and colours.
    {kEmrSetBkMode, 12, [](Player& p, Record r) { p.Dc().SetBkMode(r.I32(kEmfBody)); }},
    {kEmrSetPolyFillMode, 12, [](Player& p, Record r) { p.Dc().SetPolyFillMode(r.I32(kEmfBody)); }},
    {kEmrSetRop2, 12, [](Player& p, Record r) { p.Dc().SetRop2(r.I32(kEmfBody)); }},
    {kEmrSetStretchBltMode, 12, [](Player& p, Record r) { p.Dc().SetStretchMode(r.I32(kEmfBody)); }},
    {kEmrSetTextAlign, 12, [](Player& p, Record r) { p.Dc().SetTextAlign(r.U32(kEmfBody)); }},
    {kEmrSetTextJustification, 16,
     [](Player& p, Record r) { p.Dc().SetTextJustification(r.I32(kEmfBody), r.I32(kEmfBody + 4)); }},
    {kEmrSetTextColor, 12, [](Player& p, Record r) { p.Dc().SetTextColor(r.U32(kEmfBody)); }},
    {kEmrSetBkColor, 12, [](Player& p, Record r) { p.Dc().SetBkColor(r.U32(kEmfBody)); }},
    {kEmrSetArcDirection, 12, [](Player& p, Record r) { p.Dc().SetArcDirection(r.I32(kEmfBody)); }},
    {kEmrSetMiterLimit, 12, [](Player& p, Record r) { p.Dc().SetMiterLimit(r.U32(kEmfBody)); }},
    {kEmrSetColorAdjustment, 32, nullptr},
    {kEmrSetIcmMode, 12, nullptr},

    // Saved states, objects and palettes.
    {kEmrSaveDC, 8, [](Player& p, Record) { p.Dc().SaveDC(); }},
    {kEmrRestoreDC, 12, [](Player& p, Record r) { p.Dc().RestoreDC(r.I32(kEmfBody)); }},
    {kEmrSelectObject, 12, [](Player& p, Record r) { p.Dc().SelectObject(r.U32(kEmfBody)); }},
    {kEmrDeleteObject, 12, [](Player& p, Record r) { p.Dc().DeleteObject(r.U32(kEmfBody)); }},
    {kEmrCreatePen, 28, [](Player& p, Record r) { p.CreatePen(r); }},
    {kEmrExtCreatePen, 52, [](Player& p, Record r) { p.ExtCreatePen(r); }},
    {kEmrCreateBrushIndirect, 24, [](Player& p, Record r) { p.CreateBrush(r); }},
    {kEmrCreateMonoBrush, 32, [](Player& p, Record r) { p.CreatePatternBrush(r, true); }},
    {kEmrCreateDibPatternBrushPt, 32, [](Player& p, Record r) { p.CreatePatternBrush(r, false); }},
    {kEmrExtCreateFontIndirectW, 104, [](Player& p, Record r) { p.CreateFont(r); }},
    {kEmrCreatePalette, 16, [](Player& p, Record r) { p.CreatePalette(r); }},
    {kEmrSelectPalette, 12, [](Player& p, Record r) { p.Dc().SelectPalette(r.U32(kEmfBody)); }},
    {kEmrSetPaletteEntries, 20, [](Player& p, Record r) { p.SetPaletteEntries(r); }},
    {kEmrResizePalette, 16,
     [](Player& p, Record r) { p.Dc().ResizePalette(r.U32(kEmfBody), r.U32(kEmfBody + 4)); }},
    {kEmrRealizePalette, 8, nullptr},

    // Paths.
    {kEmrBeginPath, 8, [](Player& p, Record) { p.Dc().BeginPath(); }},
    {kEmrEndPath, 8, [](Player& p, Record) { p.Dc().EndPath(); }},
    {kEmrCloseFigure, 8, [](Player& p, Record) { p.Dc().CloseFigure(); }},
    {kEmrAbortPath, 8, [](Player& p, Record) { p.Dc().AbortPath(); }},
    {kEmrFillPath, 24, [](Player& p, Record) { p.Dc().FillPath(); }},
    {kEmrStrokePath, 24, [](Player& p, Record) { p.Dc().StrokePath(); }},
    {kEmrStrokeAndFillPath, 24, [](Player& p, Record) { p.Dc().StrokeAndFillPath(); }},
    {kEmrFlattenPath, 8, nullptr},
    {kEmrWidenPath, 8, nullptr},

    // Clipping and regions.
    {kEmrOffsetClipRgn, 16,
     [](Player& p, Record r) { p.Dc().OffsetClipRegion(r.I32(kEmfBody), r.I32(kEmfBody + 4)); }},
    {kEmrExcludeClipRect, 24, [](Player& p, Record r) { p.Dc().ExcludeClipRect(ReadEnhancedRect(r, kEmfBody)); }},
    {kEmrIntersectClipRect, 24,
     [](Player& p, Record r) { p.Dc().IntersectClipRect(ReadEnhancedRect(r, kEmfBody)); }},
    {kEmrSelectClipPath, 12, [](Player& p, Record r) { p.Dc().SelectClipPath(r.I32(kEmfBody)); }},
    {kEmrExtSelectClipRgn, 16,
     [](Player& p, Record r) {
         const std::uint32_t size = r.U32(kEmfBody);
         const std::int32_t mode = r.I32(kEmfBody + 4);
         p.Dc().SelectClipRegion(
             size == 0 ? std::vector<RegionRect>{} : ReadRegion(r.Sub(kEmfBody + 8, size)), mode, true);
     }},
    {kEmrSetMetaRgn, 8, nullptr},
    {kEmrFillRgn, 36, [](Player& p, Record r) { p.FillRegion(r); }},
    {kEmrFrameRgn, 44, [](Player& p, Record r) { p.FrameRegion(r); }},
    {kEmrPaintRgn, 32,
     [](Player& p, Record r) {
         p.Dc().FillRegion(ReadRegion(r.Sub(kEmfAfterBounds + 4, r.U32(kEmfAfterBounds))),
                           p.Dc().CurrentBrush(), false);
     }},
    {kEmrInvertRgn, 32,
     [](Player& p, Record r) {
         p.Dc().InvertRegion(ReadRegion(r.Sub(kEmfAfterBounds + 4, r.U32(kEmfAfterBounds))), false);
     }},

    // Text.
    {kEmrExtTextOutA, 76, [](Player& p, Record r) { p.ExtTextOut(r, false); }},
    {kEmrExtTextOutW, 76, [](Player& p, Record r) { p.ExtTextOut(r, true); }},
    {kEmrPolyTextOutA, 40, [](Player& p, Record r) { p.PolyTextOut(r, false); }},
    {kEmrPolyTextOutW, 40, [](Player& p, Record r) { p.PolyTextOut(r, true); }},

    // Bitmaps and gradients.
    {kEmrBitBlt, 100, [](Player& p, Record r) { p.Blt(kEmrBitBlt, r); }},
    {kEmrStretchBlt, 108, [](Player& p, Record r) { p.Blt(kEmrStretchBlt, r); }},
    {kEmrMaskBlt, 128, [](Player& p, Record r) { p.Blt(kEmrMaskBlt, r); }},
    {kEmrAlphaBlend, 108, [](Player& p, Record r) { p.Blt(kEmrAlphaBlend, r); }},
    {kEmrTransparentBlt, 108, [](Player& p, Record r) { p.Blt(kEmrTransparentBlt, r); }},
    {kEmrPlgBlt, 140, [](Player& p, Record r) { p.PlgBlt(r); }},
    {kEmrStretchDIBits, 80, [](Player& p, Record r) { p.StretchDIBits(r); }},
    {kEmrSetDIBitsToDevice, 76, [](Player& p, Record r) { p.SetDIBitsToDevice(r); }},
    {kEmrGradientFill, 36, [](Player& p, Record r) { p.GradientFill(r); }},

    // Markers: the end record closes playback before it is looked up.
    {kEmrEof, 20, nullptr},
    {kEmrGdiComment, 12, nullptr},
};

constexpr CRecordTable kEnhancedRecords(kEnhancedEntries);

}  // namespace

std::size_t MinimumEnhancedRecordSize(std::uint32_t type) {
    const EnhancedRecordEntry* entry = kEnhancedRecords.Find(type);
    return entry != nullptr ? entry->minimumSize : kEmfRecordHeaderSize;
}

bool PlayEnhancedRecords(CDeviceContext& dc, CRecordView metafile, std::size_t headerSize,
                         std::size_t playSize) {
    CEnhancedPlayer player(dc);
    playSize = std::min(playSize, metafile.Size());
    std::size_t offset = headerSize;
    while (offset < playSize && metafile.Has(offset, kEmfRecordHeaderSize)) {
        const std::uint32_t type = metafile.U32(offset);
        const std::uint32_t size = metafile.U32(offset + 4);
        if (size < kEmfRecordHeaderSize || size > playSize - offset) return false;
        const CRecordView record = metafile.Sub(offset, size);
        offset += size;
        if (type == kEmrEof) break;
        // Loading refused records shorter than their entry allows; playing
        // checks again so that no handler depends on it.
        const EnhancedRecordEntry* entry = kEnhancedRecords.Find(type);
        if (entry != nullptr && entry->handler != nullptr && size >= entry->minimumSize)
            entry->handler(player, record);
        if (!dc.IsUsable()) return false;
    }
    return true;
}

}  // namespace metafile
