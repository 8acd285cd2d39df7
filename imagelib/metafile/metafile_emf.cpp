#include "imagelib/metafile/metafile_emf.h"

#include <algorithm>
#include <cmath>

namespace metafile {

namespace {

// Most records start with the record header and, for drawing records, a
// bounds rectangle that playback does not need.
constexpr std::size_t kBody = kEmfRecordHeaderSize;
constexpr std::size_t kAfterBounds = kBody + 16;

constexpr std::uint32_t kBrushNullStyle = 1;
constexpr std::uint32_t kBrushDibPatternPtStyle = 6;
constexpr std::uint32_t kBrushPatternStyle = 3;
constexpr std::uint32_t kPenNullStyle = 5;
constexpr std::uint32_t kAlphaFromSource = 0x01;
constexpr std::uint32_t kSourceCopy = 0x00CC0020;
constexpr std::size_t kLogFontSize = 92;
constexpr std::size_t kFaceNameChars = 32;
constexpr std::size_t kTextRecordSize = 40;  // EMRTEXT
constexpr std::size_t kRegionHeaderSize = 32;

LogicalRect ReadRect(const CRecordView& view, std::size_t at) {
    return {double(view.I32(at)), double(view.I32(at + 4)), double(view.I32(at + 8)),
            double(view.I32(at + 12))};
}

Point ReadPoint(const CRecordView& view, std::size_t at) {
    return {double(view.I32(at)), double(view.I32(at + 4))};
}

Affine ReadTransform(const CRecordView& view, std::size_t at) {
    return {view.F32(at),      view.F32(at + 4),  view.F32(at + 8),
            view.F32(at + 12), view.F32(at + 16), view.F32(at + 20)};
}

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
            points.push_back(ReadPoint(view, p));
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

class CEnhancedPlayer {
public:
    explicit CEnhancedPlayer(CDeviceContext& dc) : m_dc(dc) {}

    void Play(std::uint32_t type, const CRecordView& r);

private:
    void Poly(std::uint32_t type, const CRecordView& r, bool small);
    void PolyPoly(std::uint32_t type, const CRecordView& r, bool small);
    void PolyDraw(const CRecordView& r, bool small);
    void CreatePen(const CRecordView& r);
    void ExtCreatePen(const CRecordView& r);
    void CreateBrush(const CRecordView& r);
    void CreatePatternBrush(const CRecordView& r, bool monochrome);
    void CreateFont(const CRecordView& r);
    void CreatePalette(const CRecordView& r);
    // The glyphs and advances of one string, kept while the strings of one
    // record point at the same text.
    struct DecodedText {
        std::uint32_t count = 0, stringAt = 0, options = 0, dxAt = 0;
        bool valid = false;
        std::vector<std::string> glyphs;
        std::vector<double> dx;
    };
    void Text(const CRecordView& r, std::size_t emrText, bool wide, DecodedText& decoded);
    void DecodeText(const CRecordView& r, bool wide, DecodedText& decoded);
    void Blt(std::uint32_t type, const CRecordView& r);
    void PlgBlt(const CRecordView& r);
    void StretchDIBits(const CRecordView& r);
    void SetDIBitsToDevice(const CRecordView& r);
    void GradientFill(const CRecordView& r);
    // The bitmap of a record given by its info and bits blocks.
    std::optional<DibHeader> RecordBitmap(const CRecordView& r, std::size_t infoField, std::uint32_t usage,
                                          CRecordView& bits) const;

    CDeviceContext& m_dc;
};

void CEnhancedPlayer::Play(std::uint32_t type, const CRecordView& r) {
    switch (type) {
        case kEmrPolyBezier:
        case kEmrPolygon:
        case kEmrPolyline:
        case kEmrPolyBezierTo:
        case kEmrPolylineTo:
            Poly(type, r, false);
            break;
        case kEmrPolyBezier16:
        case kEmrPolygon16:
        case kEmrPolyline16:
        case kEmrPolyBezierTo16:
        case kEmrPolylineTo16:
            Poly(type, r, true);
            break;
        case kEmrPolyPolyline:
        case kEmrPolyPolygon:
            PolyPoly(type, r, false);
            break;
        case kEmrPolyPolyline16:
        case kEmrPolyPolygon16:
            PolyPoly(type, r, true);
            break;
        case kEmrPolyDraw:
            PolyDraw(r, false);
            break;
        case kEmrPolyDraw16:
            PolyDraw(r, true);
            break;
        case kEmrSetWindowExtEx:
            m_dc.SetWindowExt(r.I32(kBody), r.I32(kBody + 4));
            break;
        case kEmrSetWindowOrgEx:
            m_dc.SetWindowOrg(r.I32(kBody), r.I32(kBody + 4));
            break;
        case kEmrSetViewportExtEx:
            m_dc.SetViewportExt(r.I32(kBody), r.I32(kBody + 4));
            break;
        case kEmrSetViewportOrgEx:
            m_dc.SetViewportOrg(r.I32(kBody), r.I32(kBody + 4));
            break;
        case kEmrScaleViewportExtEx:
            m_dc.ScaleViewportExt(r.I32(kBody), r.I32(kBody + 4), r.I32(kBody + 8), r.I32(kBody + 12));
            break;
        case kEmrScaleWindowExtEx:
            m_dc.ScaleWindowExt(r.I32(kBody), r.I32(kBody + 4), r.I32(kBody + 8), r.I32(kBody + 12));
            break;
        case kEmrSetPixelV:
            m_dc.SetPixel(ReadPoint(r, kBody), r.U32(kBody + 8));
            break;
        case kEmrSetMapMode:
            m_dc.SetMapMode(r.I32(kBody));
            break;
        case kEmrSetBkMode:
            m_dc.SetBkMode(r.I32(kBody));
            break;
        case kEmrSetPolyFillMode:
            m_dc.SetPolyFillMode(r.I32(kBody));
            break;
        case kEmrSetRop2:
            m_dc.SetRop2(r.I32(kBody));
            break;
        case kEmrSetStretchBltMode:
            m_dc.SetStretchMode(r.I32(kBody));
            break;
        case kEmrSetTextAlign:
            m_dc.SetTextAlign(r.U32(kBody));
            break;
        case kEmrSetTextJustification:
            m_dc.SetTextJustification(r.I32(kBody), r.I32(kBody + 4));
            break;
        case kEmrSetTextColor:
            m_dc.SetTextColour(r.U32(kBody));
            break;
        case kEmrSetBkColor:
            m_dc.SetBkColour(r.U32(kBody));
            break;
        case kEmrOffsetClipRgn:
            m_dc.OffsetClipRegion(r.I32(kBody), r.I32(kBody + 4));
            break;
        case kEmrMoveToEx:
            m_dc.MoveTo(ReadPoint(r, kBody));
            break;
        case kEmrLineTo:
            m_dc.LineTo(ReadPoint(r, kBody));
            break;
        case kEmrExcludeClipRect:
            m_dc.ExcludeClipRect(ReadRect(r, kBody));
            break;
        case kEmrIntersectClipRect:
            m_dc.IntersectClipRect(ReadRect(r, kBody));
            break;
        case kEmrSaveDC:
            m_dc.SaveDC();
            break;
        case kEmrRestoreDC:
            m_dc.RestoreDC(r.I32(kBody));
            break;
        case kEmrSetWorldTransform:
            m_dc.SetWorldTransform(ReadTransform(r, kBody));
            break;
        case kEmrModifyWorldTransform:
            m_dc.ModifyWorldTransform(ReadTransform(r, kBody), r.U32(kBody + 24));
            break;
        case kEmrSelectObject:
            m_dc.SelectObject(r.U32(kBody));
            break;
        case kEmrDeleteObject:
            m_dc.DeleteObject(r.U32(kBody));
            break;
        case kEmrCreatePen:
            CreatePen(r);
            break;
        case kEmrExtCreatePen:
            ExtCreatePen(r);
            break;
        case kEmrCreateBrushIndirect:
            CreateBrush(r);
            break;
        case kEmrCreateMonoBrush:
            CreatePatternBrush(r, true);
            break;
        case kEmrCreateDibPatternBrushPt:
            CreatePatternBrush(r, false);
            break;
        case kEmrExtCreateFontIndirectW:
            CreateFont(r);
            break;
        case kEmrCreatePalette:
            CreatePalette(r);
            break;
        case kEmrSelectPalette:
            m_dc.SelectPalette(r.U32(kBody));
            break;
        case kEmrSetPaletteEntries:
            m_dc.SetPaletteEntries(
                r.U32(kBody), r.U32(kBody + 4),
                ReadPaletteEntries(r, kBody + 12, r.U32(kBody + 8), m_dc.Limits().maxMetafilePaletteEntries));
            break;
        case kEmrResizePalette:
            m_dc.ResizePalette(r.U32(kBody), r.U32(kBody + 4));
            break;
        case kEmrAngleArc: {
            const float start = r.F32(kBody + 12);
            const float sweep = r.F32(kBody + 16);
            m_dc.AngleArc(ReadPoint(r, kBody), r.U32(kBody + 8), start, sweep);
            break;
        }
        case kEmrEllipse:
            m_dc.Ellipse(ReadRect(r, kBody));
            break;
        case kEmrRectangle:
            m_dc.Rectangle(ReadRect(r, kBody));
            break;
        case kEmrRoundRect:
            m_dc.RoundRect(ReadRect(r, kBody), r.I32(kBody + 16), r.I32(kBody + 20));
            break;
        case kEmrArc:
            m_dc.Arc(ReadRect(r, kBody), ReadPoint(r, kBody + 16), ReadPoint(r, kBody + 24));
            break;
        case kEmrArcTo:
            m_dc.ArcTo(ReadRect(r, kBody), ReadPoint(r, kBody + 16), ReadPoint(r, kBody + 24));
            break;
        case kEmrChord:
            m_dc.Chord(ReadRect(r, kBody), ReadPoint(r, kBody + 16), ReadPoint(r, kBody + 24));
            break;
        case kEmrPie:
            m_dc.Pie(ReadRect(r, kBody), ReadPoint(r, kBody + 16), ReadPoint(r, kBody + 24));
            break;
        case kEmrSetArcDirection:
            m_dc.SetArcDirection(r.I32(kBody));
            break;
        case kEmrSetMiterLimit:
            m_dc.SetMiterLimit(r.U32(kBody));
            break;
        case kEmrBeginPath:
            m_dc.BeginPath();
            break;
        case kEmrEndPath:
            m_dc.EndPath();
            break;
        case kEmrCloseFigure:
            m_dc.CloseFigure();
            break;
        case kEmrAbortPath:
            m_dc.AbortPath();
            break;
        case kEmrFillPath:
            m_dc.FillPath();
            break;
        case kEmrStrokePath:
            m_dc.StrokePath();
            break;
        case kEmrStrokeAndFillPath:
            m_dc.StrokeAndFillPath();
            break;
        case kEmrSelectClipPath:
            m_dc.SelectClipPath(r.I32(kBody));
            break;
        case kEmrExtSelectClipRgn: {
            const std::uint32_t size = r.U32(kBody);
            const std::int32_t mode = r.I32(kBody + 4);
            m_dc.SelectClipRegion(size == 0 ? std::vector<RegionRect>{} : ReadRegion(r.Sub(kBody + 8, size)),
                                  mode, true);
            break;
        }
        case kEmrFillRgn: {
            const auto brush = m_dc.BrushOf(r.U32(kAfterBounds + 4));
            if (brush)
                m_dc.FillRegion(ReadRegion(r.Sub(kAfterBounds + 8, r.U32(kAfterBounds))), *brush, false);
            break;
        }
        case kEmrPaintRgn:
            m_dc.FillRegion(ReadRegion(r.Sub(kAfterBounds + 4, r.U32(kAfterBounds))), m_dc.CurrentBrush(),
                            false);
            break;
        case kEmrInvertRgn:
            m_dc.InvertRegion(ReadRegion(r.Sub(kAfterBounds + 4, r.U32(kAfterBounds))), false);
            break;
        case kEmrFrameRgn: {
            const auto brush = m_dc.BrushOf(r.U32(kAfterBounds + 4));
            if (brush)
                m_dc.FrameRegion(ReadRegion(r.Sub(kAfterBounds + 16, r.U32(kAfterBounds))), *brush,
                                 r.I32(kAfterBounds + 8), r.I32(kAfterBounds + 12), false);
            break;
        }
        case kEmrExtTextOutA:
        case kEmrExtTextOutW: {
            DecodedText decoded;
            Text(r, kAfterBounds + 12, type == kEmrExtTextOutW, decoded);
            break;
        }
        case kEmrPolyTextOutA:
        case kEmrPolyTextOutW: {
            const std::uint32_t strings = r.U32(kAfterBounds + 12);
            const std::size_t first = kAfterBounds + 16;
            if (!r.HasArray(first, strings, kTextRecordSize)) break;
            DecodedText decoded;
            for (std::size_t i = 0; i < strings && m_dc.IsUsable(); ++i)
                Text(r, first + i * kTextRecordSize, type == kEmrPolyTextOutW, decoded);
            break;
        }
        case kEmrBitBlt:
        case kEmrStretchBlt:
        case kEmrMaskBlt:
        case kEmrAlphaBlend:
        case kEmrTransparentBlt:
            Blt(type, r);
            break;
        case kEmrPlgBlt:
            PlgBlt(r);
            break;
        case kEmrStretchDIBits:
            StretchDIBits(r);
            break;
        case kEmrSetDIBitsToDevice:
            SetDIBitsToDevice(r);
            break;
        case kEmrGradientFill:
            GradientFill(r);
            break;
        default:
            // Comments (and the EMF+ records inside them), colour management,
            // flood fills, OpenGL and records this player does not know
            // change nothing it draws.
            break;
    }
}

void CEnhancedPlayer::Poly(std::uint32_t type, const CRecordView& r, bool small) {
    const std::vector<Point> points = ReadPoints(r, kAfterBounds + 4, r.U32(kAfterBounds), small);
    if (points.empty()) return;
    switch (type) {
        case kEmrPolyBezier:
        case kEmrPolyBezier16:
            m_dc.PolyBezier(points);
            break;
        case kEmrPolygon:
        case kEmrPolygon16:
            m_dc.Polygon(points);
            break;
        case kEmrPolyline:
        case kEmrPolyline16:
            m_dc.Polyline(points);
            break;
        case kEmrPolyBezierTo:
        case kEmrPolyBezierTo16:
            m_dc.PolyBezierTo(points);
            break;
        default:
            m_dc.PolylineTo(points);
            break;
    }
}

void CEnhancedPlayer::PolyPoly(std::uint32_t type, const CRecordView& r, bool small) {
    const std::uint32_t figures = r.U32(kAfterBounds);
    const std::uint32_t total = r.U32(kAfterBounds + 4);
    const std::size_t countsAt = kAfterBounds + 8;
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
    if (type == kEmrPolyPolygon || type == kEmrPolyPolygon16)
        m_dc.PolyPolygon(shapes);
    else
        m_dc.PolyPolyline(shapes);
}

void CEnhancedPlayer::PolyDraw(const CRecordView& r, bool small) {
    const std::uint32_t count = r.U32(kAfterBounds);
    const std::size_t pointsAt = kAfterBounds + 4;
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
    object.pen.style = r.U32(kBody + 4);
    object.pen.width = std::abs(static_cast<double>(r.I32(kBody + 8)));
    object.pen.colour = r.U32(kBody + 16);
    m_dc.CreateObjectAt(r.U32(kBody), std::move(object));
}

void CEnhancedPlayer::ExtCreatePen(const CRecordView& r) {
    // Index, bitmap offsets and sizes, then the extended pen: style, width,
    // brush style, colour, hatch, number of style entries, style entries.
    constexpr std::size_t kPen = kBody + 20;
    GdiObject object;
    object.kind = GdiObject::Kind::Pen;
    PenSpec& pen = object.pen;
    pen.extended = true;
    pen.style = r.U32(kPen);
    pen.width = r.U32(kPen + 4);
    pen.colour = r.U32(kPen + 12);
    if (r.U32(kPen + 8) == kBrushNullStyle) pen.style = (pen.style & ~0xFu) | kPenNullStyle;
    const std::uint32_t entries = r.U32(kPen + 20);
    if (r.HasArray(kPen + 24, entries, 4) && entries <= 16) {
        for (std::size_t i = 0; i < entries; ++i) pen.userDashes.push_back(r.U32(kPen + 24 + 4 * i));
    }
    m_dc.CreateObjectAt(r.U32(kBody), std::move(object));
}

void CEnhancedPlayer::CreateBrush(const CRecordView& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Brush;
    object.brush.style = r.U32(kBody + 4);
    object.brush.colour = r.U32(kBody + 8);
    object.brush.hatch = r.U32(kBody + 12);
    // Pattern styles need a bitmap, which this record does not carry.
    if (object.brush.style == kBrushPatternStyle || object.brush.style >= 5) object.brush.style = 0;
    m_dc.CreateObjectAt(r.U32(kBody), std::move(object));
}

std::optional<DibHeader> CEnhancedPlayer::RecordBitmap(const CRecordView& r, std::size_t infoField,
                                                       std::uint32_t usage, CRecordView& bits) const {
    // Four fields: offset and size of the bitmap info, offset and size of the bits.
    const CRecordView info = r.Sub(r.U32(infoField), r.U32(infoField + 4));
    bits = r.Sub(r.U32(infoField + 8), r.U32(infoField + 12));
    if (info.Size() == 0) return std::nullopt;
    auto lookup = [this](std::uint16_t index) { return m_dc.PaletteColour(index); };
    return ReadDibHeader(info, usage, lookup);
}

void CEnhancedPlayer::CreatePatternBrush(const CRecordView& r, bool monochrome) {
    GdiObject object;
    object.kind = GdiObject::Kind::Brush;
    object.brush.style = kBrushDibPatternPtStyle;
    object.brush.colour = 0x808080;  // stands in when the bitmap cannot be read
    CRecordView bits;
    auto header = RecordBitmap(r, kBody + 8, r.U32(kBody + 4), bits);
    if (header && static_cast<std::uint64_t>(header->width) * static_cast<std::uint64_t>(header->height) <=
                      kMaxPatternPixels) {
        // A monochrome brush's two colours are the text and background colours.
        if (monochrome) header->colours = {0x000000, 0xFFFFFF};
        if (auto image = DecodeDib(*header, bits, 0, 0, header->width, header->height, false)) {
            object.brush.pattern = std::make_shared<const DibImage>(std::move(*image));
            object.brush.monochrome = monochrome && header->bitsPerPixel == 1;
        }
    }
    m_dc.CreateObjectAt(r.U32(kBody), std::move(object));
}

void CEnhancedPlayer::CreateFont(const CRecordView& r) {
    constexpr std::size_t kFont = kBody + 4;
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
    m_dc.CreateObjectAt(r.U32(kBody), std::move(object));
}

void CEnhancedPlayer::CreatePalette(const CRecordView& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Palette;
    object.palette = std::make_shared<PaletteData>(
        ReadPaletteEntries(r, kBody + 8, r.U16(kBody + 6), m_dc.Limits().maxMetafilePaletteEntries));
    m_dc.CreateObjectAt(r.U32(kBody), std::move(object));
}

void CEnhancedPlayer::Text(const CRecordView& r, std::size_t emrText, bool wide, DecodedText& decoded) {
    // EMRTEXT: reference point, character count, string offset, options,
    // rectangle, offset of the advances.
    if (!r.Has(emrText, kTextRecordSize)) return;
    const Point reference = ReadPoint(r, emrText);
    const std::uint32_t count = r.U32(emrText + 8);
    const std::uint32_t stringAt = r.U32(emrText + 12);
    const std::uint32_t options = r.U32(emrText + 16);
    const LogicalRect rectangle = ReadRect(r, emrText + 20);
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

void CEnhancedPlayer::Blt(std::uint32_t type, const CRecordView& r) {
    // Destination x, y, width, height; raster operation (or blend function,
    // or transparent colour); source x, y; source transform; source
    // background colour; colour usage; bitmap info and bits; then source
    // width and height for the stretching records, or the mask of MaskBlt.
    constexpr std::size_t kDestination = kAfterBounds;
    constexpr std::size_t kRop = kAfterBounds + 16;
    constexpr std::size_t kSource = kAfterBounds + 20;
    constexpr std::size_t kSourceTransform = kAfterBounds + 28;
    constexpr std::size_t kUsage = kAfterBounds + 56;
    constexpr std::size_t kBitmap = kAfterBounds + 60;
    constexpr std::size_t kSourceSize = kAfterBounds + 76;
    constexpr std::size_t kMask = kAfterBounds + 76;
    const LogicalRect destination{double(r.I32(kDestination)), double(r.I32(kDestination + 4)),
                                  double(r.I32(kDestination)) + r.I32(kDestination + 8),
                                  double(r.I32(kDestination + 4)) + r.I32(kDestination + 12)};
    const std::uint32_t rop = r.U32(kRop);
    CRecordView bits;
    const auto header = RecordBitmap(r, kBitmap, r.U32(kUsage), bits);
    CDeviceContext::BlitSource source;
    source.header = header ? &*header : nullptr;
    source.bits = bits;
    const bool stretched = type == kEmrStretchBlt || type == kEmrAlphaBlend || type == kEmrTransparentBlt;
    double x = r.I32(kSource), y = r.I32(kSource + 4);
    double width = stretched ? r.I32(kSourceSize) : destination.right - destination.left;
    double height = stretched ? r.I32(kSourceSize + 4) : destination.bottom - destination.top;
    // The source rectangle is in the source's logical units; its transform
    // takes it to bitmap pixels (scaling and offset only).
    const Affine sourceTransform = ReadTransform(r, kSourceTransform);
    if (sourceTransform.IsUsable() && sourceTransform.yx == 0 && sourceTransform.xy == 0) {
        const Point corner = sourceTransform.Apply({x, y});
        x = corner.x;
        y = corner.y;
        width *= sourceTransform.xx;
        height *= sourceTransform.yy;
    }
    source.x = x;
    source.y = y;
    source.width = width;
    source.height = height;
    std::uint32_t operation = rop;
    std::optional<DibHeader> mask;
    CRecordView maskBits;
    if (type == kEmrAlphaBlend) {
        source.opacity = ((rop >> 16) & 0xFF) / 255.0;
        source.keepAlpha = ((rop >> 24) & 0xFF) & kAlphaFromSource;
        operation = kSourceCopy;
        if (!header) return;
    } else if (type == kEmrTransparentBlt) {
        source.transparent = ((rop & 0xFF) << 16) | (rop & 0xFF00) | ((rop >> 16) & 0xFF);
        operation = kSourceCopy;
        if (!header) return;
    } else if (type == kEmrMaskBlt) {
        // Mask x, y, colour usage, bitmap info and bits. The raster
        // operation's top byte is the operation where the mask is clear.
        mask = RecordBitmap(r, kMask + 12, r.U32(kMask + 8), maskBits);
        if (mask && mask->bitsPerPixel == 1) {
            mask->colours = {0x000000, 0xFFFFFF};
            source.mask = &*mask;
            source.maskBits = maskBits;
            source.maskX = r.I32(kMask);
            source.maskY = r.I32(kMask + 4);
            source.backgroundCode = (rop >> 24) & 0xFF;
        }
        operation = rop & 0x00FFFFFF;
    }
    m_dc.StretchBlt(source, destination, operation);
}

void CEnhancedPlayer::PlgBlt(const CRecordView& r) {
    // Three destination corners; source x, y, width, height; source
    // transform; background colour; colour usage; bitmap info and bits;
    // mask x, y, colour usage, bitmap info and bits.
    constexpr std::size_t kCorners = kAfterBounds;
    constexpr std::size_t kSource = kAfterBounds + 24;
    constexpr std::size_t kUsage = kAfterBounds + 68;
    constexpr std::size_t kBitmap = kAfterBounds + 72;
    constexpr std::size_t kMask = kAfterBounds + 88;
    CRecordView bits;
    const auto header = RecordBitmap(r, kBitmap, r.U32(kUsage), bits);
    if (!header) return;
    CDeviceContext::BlitSource source;
    source.header = &*header;
    source.bits = bits;
    source.x = r.I32(kSource);
    source.y = r.I32(kSource + 4);
    source.width = r.I32(kSource + 8);
    source.height = r.I32(kSource + 12);
    CRecordView maskBits;
    auto mask = RecordBitmap(r, kMask + 12, r.U32(kMask + 8), maskBits);
    if (mask && mask->bitsPerPixel == 1) {
        mask->colours = {0x000000, 0xFFFFFF};
        source.mask = &*mask;
        source.maskBits = maskBits;
        source.maskX = r.I32(kMask);
        source.maskY = r.I32(kMask + 4);
    }
    m_dc.PlgBlt(source, ReadPoint(r, kCorners), ReadPoint(r, kCorners + 8), ReadPoint(r, kCorners + 16));
}

void CEnhancedPlayer::StretchDIBits(const CRecordView& r) {
    // Destination x, y; source x, y, width, height; bitmap info and bits;
    // colour usage; raster operation; destination width, height.
    constexpr std::size_t kFields = kAfterBounds;
    CRecordView bits;
    const auto header = RecordBitmap(r, kFields + 24, r.U32(kFields + 40), bits);
    const double x = r.I32(kFields);
    const double y = r.I32(kFields + 4);
    const LogicalRect destination{x, y, x + r.I32(kFields + 48), y + r.I32(kFields + 52)};
    CDeviceContext::BlitSource source;
    source.header = header ? &*header : nullptr;
    source.bits = bits;
    source.x = r.I32(kFields + 8);
    source.y = r.I32(kFields + 12);
    source.width = r.I32(kFields + 16);
    source.height = r.I32(kFields + 20);
    source.fromBottom = header && !header->topDown;
    m_dc.StretchBlt(source, destination, r.U32(kFields + 44));
}

void CEnhancedPlayer::SetDIBitsToDevice(const CRecordView& r) {
    // Destination x, y; source x, y, width, height; bitmap info and bits;
    // colour usage; first scan line and number of scan lines in the bits.
    constexpr std::size_t kFields = kAfterBounds;
    CRecordView bits;
    auto header = RecordBitmap(r, kFields + 24, r.U32(kFields + 40), bits);
    if (!header) return;
    const std::uint32_t startScan = r.U32(kFields + 44);
    const std::uint32_t scans = r.U32(kFields + 48);
    if (scans == 0) return;
    // The bits hold only the scan lines from startScan on (counted from the
    // bottom); treat them as a bitmap of that height.
    header->height =
        static_cast<int>(std::min<std::uint64_t>(scans, static_cast<std::uint64_t>(header->height)));
    const double x = r.I32(kFields);
    const double y = r.I32(kFields + 4);
    const double width = r.I32(kFields + 16);
    const double height = r.I32(kFields + 20);
    CDeviceContext::BlitSource source;
    source.header = &*header;
    source.bits = bits;
    source.x = r.I32(kFields + 8);
    source.y = static_cast<double>(r.I32(kFields + 12)) - startScan;
    source.width = width;
    source.height = height;
    source.fromBottom = !header->topDown;
    source.deviceSized = true;
    m_dc.StretchBlt(source, {x, y, x + width, y + height}, kSourceCopy);
}

void CEnhancedPlayer::GradientFill(const CRecordView& r) {
    constexpr std::uint32_t kRectHorizontal = 0;
    constexpr std::uint32_t kRectVertical = 1;
    constexpr std::uint32_t kTriangle = 2;
    const std::uint32_t vertices = r.U32(kAfterBounds);
    const std::uint32_t shapes = r.U32(kAfterBounds + 4);
    const std::uint32_t mode = r.U32(kAfterBounds + 8);
    const std::size_t verticesAt = kAfterBounds + 12;
    if (!r.HasArray(verticesAt, vertices, 16)) return;
    auto vertex = [&](std::uint32_t index) {
        const std::size_t at = verticesAt + 16 * std::size_t{index};
        return CDeviceContext::GradientVertex{ReadPoint(r, at), r.U16(at + 8) / 65535.0,
                                              r.U16(at + 10) / 65535.0, r.U16(at + 12) / 65535.0};
    };
    const std::size_t shapesAt = verticesAt + 16 * std::size_t{vertices};
    const std::size_t shapeSize = mode == kTriangle ? 12 : 8;
    if (!r.HasArray(shapesAt, shapes, shapeSize)) return;
    for (std::size_t i = 0; i < shapes && m_dc.IsUsable(); ++i) {
        const std::size_t at = shapesAt + shapeSize * i;
        const std::uint32_t a = r.U32(at), b = r.U32(at + 4);
        if (a >= vertices || b >= vertices) continue;
        if (mode == kTriangle) {
            const std::uint32_t c = r.U32(at + 8);
            if (c < vertices) m_dc.GradientTriangle(vertex(a), vertex(b), vertex(c));
        } else if (mode == kRectHorizontal || mode == kRectVertical) {
            m_dc.GradientRectangle(vertex(a), vertex(b), mode == kRectVertical);
        }
    }
}

}  // namespace

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
        player.Play(type, record);
        if (!dc.IsUsable()) return false;
    }
    return true;
}

}  // namespace metafile
