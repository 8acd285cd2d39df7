#include "imagelib/metafile/metafile_wmf.h"

#include <algorithm>

namespace metafile {

namespace {

constexpr std::size_t kParameters = kWmfRecordHeaderSize;  // parameters follow the 6-byte record header
constexpr std::uint32_t kPatternBrushStyle = 3;
constexpr std::uint32_t kDibPatternBrushStyle = 5;
constexpr std::size_t kFaceNameBytes = 32;
constexpr std::uint32_t kSourceCopy = 0x00CC0020;

// One record with its parameters, read as the 16-bit words they mostly are.
class CWindowsRecord {
public:
    explicit CWindowsRecord(CRecordView view) : m_view(view) {}

    const CRecordView& View() const { return m_view; }
    std::uint16_t Function() const { return m_view.U16(4); }
    std::size_t Words() const { return m_view.Size() / 2; }
    // Parameter word i, signed.
    double Word(std::size_t i) const { return m_view.I16(kParameters + 2 * i); }
    std::uint16_t Unsigned(std::size_t i) const { return m_view.U16(kParameters + 2 * i); }
    std::uint32_t Long(std::size_t i) const { return m_view.U32(kParameters + 2 * i); }
    bool HasWords(std::size_t count) const { return m_view.HasArray(kParameters, count, 2); }
    // Byte offset of parameter word i within the record.
    static std::size_t Offset(std::size_t i) { return kParameters + 2 * i; }

private:
    CRecordView m_view;
};

std::vector<Point> ReadPoints(const CRecordView& view, std::size_t offset, std::size_t count) {
    std::vector<Point> points;
    if (!view.HasArray(offset, count, 4)) return points;
    points.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        points.push_back({double(view.I16(offset + 4 * i)), double(view.I16(offset + 4 * i + 2))});
    return points;
}

// The rectangle of the records that store bottom, right, top, left from
// parameter `first` on.
LogicalRect ReversedRect(const CWindowsRecord& r, std::size_t first) {
    return {r.Word(first + 3), r.Word(first + 2), r.Word(first + 1), r.Word(first)};
}

std::vector<std::string> SingleByteGlyphs(CRecordView bytes, std::size_t count) {
    std::vector<std::string> glyphs;
    for (std::size_t i = 0; i < count && i < bytes.Size(); ++i) {
        std::string glyph = Latin1ToUtf8(bytes.Sub(i, 1), 1);
        glyphs.push_back(glyph.empty() ? std::string(" ") : glyph);
    }
    return glyphs;
}

std::vector<RegionRect> RegionRects(const CRecordView& view) {
    // Region: next-in-chain, type, object count, size, scan count, maximum
    // scan, bounding box, then the scans.
    constexpr std::size_t kScanCount = kParameters + 10;
    constexpr std::size_t kBoundingBox = kParameters + 14;
    constexpr std::size_t kScans = kParameters + 22;
    std::vector<RegionRect> rects;
    const std::uint16_t scans = view.U16(kScanCount);
    std::size_t at = kScans;
    for (std::uint16_t s = 0; s < scans && view.Has(at, 6); ++s) {
        const std::uint16_t count = view.U16(at);
        const std::int16_t top = view.I16(at + 2);
        const std::int16_t bottom = view.I16(at + 4);
        const std::size_t pairs = count / 2;
        if (!view.HasArray(at + 6, pairs, 4)) break;
        for (std::size_t i = 0; i < pairs; ++i)
            rects.push_back({view.I16(at + 6 + 4 * i), top, view.I16(at + 8 + 4 * i), bottom});
        at += 6 + 4 * pairs + 2;
    }
    if (scans == 0 && view.Has(kBoundingBox, 8)) {
        const RegionRect box{view.I16(kBoundingBox), view.I16(kBoundingBox + 2), view.I16(kBoundingBox + 4),
                             view.I16(kBoundingBox + 6)};
        if (box.right > box.left && box.bottom > box.top) rects.push_back(box);
    }
    return rects;
}

bool IsPatternSize(const DibHeader& header) {
    return static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height) <=
           kMaxPatternPixels;
}

class CWindowsPlayer {
public:
    explicit CWindowsPlayer(CDeviceContext& dc) : m_dc(dc) {}

    void Play(const CWindowsRecord& r);

private:
    void CreatePen(const CWindowsRecord& r);
    void CreateBrush(const CWindowsRecord& r);
    void CreateFont(const CWindowsRecord& r);
    void CreatePalette(const CWindowsRecord& r);
    void CreateDibPatternBrush(const CWindowsRecord& r);
    void CreatePatternBrush(const CWindowsRecord& r);
    void CreateRegion(const CWindowsRecord& r);
    void PolyPolygon(const CWindowsRecord& r);
    void TextOut(const CWindowsRecord& r);
    void ExtTextOut(const CWindowsRecord& r);
    void PaletteEntries(const CWindowsRecord& r, bool resize);
    const std::vector<RegionRect>* Region(std::uint16_t index) const;
    // Draws a packed DIB starting at `dibOffset`.
    void BlitDib(const CWindowsRecord& r, std::size_t dibOffset, std::uint32_t usage, double sx, double sy,
                 double sw, double sh, bool fromBottom, const LogicalRect& destination, std::uint32_t rop,
                 bool deviceSized = false);
    void BlitBitmap16(const CWindowsRecord& r, std::size_t offset, double sx, double sy, double sw, double sh,
                      const LogicalRect& destination, std::uint32_t rop);

    CDeviceContext& m_dc;
};

void CWindowsPlayer::Play(const CWindowsRecord& r) {
    switch (r.Function()) {
        case kWmfSetBkMode:
            m_dc.SetBkMode(r.Unsigned(0));
            break;
        case kWmfSetMapMode:
            m_dc.SetMapMode(r.Unsigned(0));
            break;
        case kWmfSetRop2:
            m_dc.SetRop2(r.Unsigned(0));
            break;
        case kWmfSetPolyFillMode:
            m_dc.SetPolyFillMode(r.Unsigned(0));
            break;
        case kWmfSetStretchBltMode:
            m_dc.SetStretchMode(r.Unsigned(0));
            break;
        case kWmfSetTextCharExtra:
            m_dc.SetTextCharExtra(r.Word(0));
            break;
        case kWmfSetTextJustification:
            m_dc.SetTextJustification(r.Word(1), r.Word(0));
            break;
        case kWmfSetTextAlign:
            m_dc.SetTextAlign(r.Unsigned(0));
            break;
        case kWmfSetBkColor:
            m_dc.SetBkColour(r.Long(0));
            break;
        case kWmfSetTextColor:
            m_dc.SetTextColour(r.Long(0));
            break;
        case kWmfSetWindowOrg:
            m_dc.SetWindowOrg(r.Word(1), r.Word(0));
            break;
        case kWmfSetWindowExt:
            m_dc.SetWindowExt(r.Word(1), r.Word(0));
            break;
        case kWmfOffsetWindowOrg:
            m_dc.OffsetWindowOrg(r.Word(1), r.Word(0));
            break;
        case kWmfScaleWindowExt:
            m_dc.ScaleWindowExt(r.Word(3), r.Word(2), r.Word(1), r.Word(0));
            break;
        case kWmfSetViewportOrg:
            m_dc.SetViewportOrg(r.Word(1), r.Word(0));
            break;
        case kWmfSetViewportExt:
            m_dc.SetViewportExt(r.Word(1), r.Word(0));
            break;
        case kWmfOffsetViewportOrg:
            m_dc.OffsetViewportOrg(r.Word(1), r.Word(0));
            break;
        case kWmfScaleViewportExt:
            m_dc.ScaleViewportExt(r.Word(3), r.Word(2), r.Word(1), r.Word(0));
            break;
        case kWmfSaveDC:
            m_dc.SaveDC();
            break;
        case kWmfRestoreDC:
            m_dc.RestoreDC(static_cast<std::int16_t>(r.Unsigned(0)));
            break;
        case kWmfMoveTo:
            m_dc.MoveTo({r.Word(1), r.Word(0)});
            break;
        case kWmfLineTo:
            m_dc.LineTo({r.Word(1), r.Word(0)});
            break;
        case kWmfExcludeClipRect:
            m_dc.ExcludeClipRect(ReversedRect(r, 0));
            break;
        case kWmfIntersectClipRect:
            m_dc.IntersectClipRect(ReversedRect(r, 0));
            break;
        case kWmfOffsetClipRegion:
            m_dc.OffsetClipRegion(r.Word(1), r.Word(0));
            break;
        case kWmfRectangle:
            m_dc.Rectangle(ReversedRect(r, 0));
            break;
        case kWmfEllipse:
            m_dc.Ellipse(ReversedRect(r, 0));
            break;
        case kWmfRoundRect:
            m_dc.RoundRect(ReversedRect(r, 2), r.Word(1), r.Word(0));
            break;
        case kWmfArc:
            m_dc.Arc(ReversedRect(r, 4), {r.Word(3), r.Word(2)}, {r.Word(1), r.Word(0)});
            break;
        case kWmfPie:
            m_dc.Pie(ReversedRect(r, 4), {r.Word(3), r.Word(2)}, {r.Word(1), r.Word(0)});
            break;
        case kWmfChord:
            m_dc.Chord(ReversedRect(r, 4), {r.Word(3), r.Word(2)}, {r.Word(1), r.Word(0)});
            break;
        case kWmfSetPixel:
            m_dc.SetPixel({r.Word(3), r.Word(2)}, r.Long(0));
            break;
        case kWmfPolygon:
            m_dc.Polygon(ReadPoints(r.View(), CWindowsRecord::Offset(1), r.Unsigned(0)));
            break;
        case kWmfPolyline:
            m_dc.Polyline(ReadPoints(r.View(), CWindowsRecord::Offset(1), r.Unsigned(0)));
            break;
        case kWmfPolyPolygon:
            PolyPolygon(r);
            break;
        case kWmfTextOut:
            TextOut(r);
            break;
        case kWmfExtTextOut:
            ExtTextOut(r);
            break;
        case kWmfPatBlt:
            m_dc.PatBlt({r.Word(5), r.Word(4), r.Word(5) + r.Word(3), r.Word(4) + r.Word(2)}, r.Long(0));
            break;
        case kWmfCreatePenIndirect:
            CreatePen(r);
            break;
        case kWmfCreateBrushIndirect:
            CreateBrush(r);
            break;
        case kWmfCreateFontIndirect:
            CreateFont(r);
            break;
        case kWmfCreatePalette:
            CreatePalette(r);
            break;
        case kWmfDibCreatePatternBrush:
            CreateDibPatternBrush(r);
            break;
        case kWmfCreatePatternBrush:
            CreatePatternBrush(r);
            break;
        case kWmfCreateRegion:
            CreateRegion(r);
            break;
        case kWmfSelectObject:
            m_dc.SelectObject(r.Unsigned(0));
            break;
        case kWmfSelectPalette:
            m_dc.SelectPalette(r.Unsigned(0));
            break;
        case kWmfDeleteObject:
            m_dc.DeleteObject(r.Unsigned(0));
            break;
        case kWmfSetPaletteEntries:
        case kWmfAnimatePalette:
            PaletteEntries(r, false);
            break;
        case kWmfResizePalette:
            m_dc.ResizePalette(std::nullopt, r.Unsigned(0));
            break;
        case kWmfSelectClipRegion:
            m_dc.SelectClipObject(r.Unsigned(0));
            break;
        case kWmfFillRegion: {
            const auto* rects = Region(r.Unsigned(0));
            const auto brush = m_dc.BrushOf(r.Unsigned(1));
            if (rects != nullptr && brush) m_dc.FillRegion(*rects, *brush, false);
            break;
        }
        case kWmfPaintRegion:
            if (const auto* rects = Region(r.Unsigned(0)))
                m_dc.FillRegion(*rects, m_dc.CurrentBrush(), false);
            break;
        case kWmfFrameRegion: {
            const auto* rects = Region(r.Unsigned(0));
            const auto brush = m_dc.BrushOf(r.Unsigned(1));
            if (rects != nullptr && brush) m_dc.FrameRegion(*rects, *brush, r.Word(3), r.Word(2), false);
            break;
        }
        case kWmfInvertRegion:
            if (const auto* rects = Region(r.Unsigned(0))) m_dc.InvertRegion(*rects, false);
            break;
        case kWmfBitBlt:
            if (r.Words() == (kWmfBitBlt >> 8) + 3u) {
                m_dc.PatBlt({r.Word(8), r.Word(7), r.Word(8) + r.Word(6), r.Word(7) + r.Word(5)}, r.Long(0));
            } else {
                BlitBitmap16(r, CWindowsRecord::Offset(8), r.Word(3), r.Word(2), r.Word(5), r.Word(4),
                             {r.Word(7), r.Word(6), r.Word(7) + r.Word(5), r.Word(6) + r.Word(4)}, r.Long(0));
            }
            break;
        case kWmfStretchBlt:
            if (r.Words() == (kWmfStretchBlt >> 8) + 3u) {
                m_dc.PatBlt({r.Word(10), r.Word(9), r.Word(10) + r.Word(8), r.Word(9) + r.Word(7)},
                            r.Long(0));
            } else {
                BlitBitmap16(r, CWindowsRecord::Offset(10), r.Word(5), r.Word(4), r.Word(3), r.Word(2),
                             {r.Word(9), r.Word(8), r.Word(9) + r.Word(7), r.Word(8) + r.Word(6)}, r.Long(0));
            }
            break;
        case kWmfDibBitBlt:
            if (r.Words() == (kWmfDibBitBlt >> 8) + 3u) {
                m_dc.PatBlt({r.Word(8), r.Word(7), r.Word(8) + r.Word(6), r.Word(7) + r.Word(5)}, r.Long(0));
            } else {
                BlitDib(r, CWindowsRecord::Offset(8), kDibRgbColours, r.Word(3), r.Word(2), r.Word(5),
                        r.Word(4), false,
                        {r.Word(7), r.Word(6), r.Word(7) + r.Word(5), r.Word(6) + r.Word(4)}, r.Long(0));
            }
            break;
        case kWmfDibStretchBlt:
            if (r.Words() == (kWmfDibStretchBlt >> 8) + 3u) {
                m_dc.PatBlt({r.Word(10), r.Word(9), r.Word(10) + r.Word(8), r.Word(9) + r.Word(7)},
                            r.Long(0));
            } else {
                BlitDib(r, CWindowsRecord::Offset(10), kDibRgbColours, r.Word(5), r.Word(4), r.Word(3),
                        r.Word(2), false,
                        {r.Word(9), r.Word(8), r.Word(9) + r.Word(7), r.Word(8) + r.Word(6)}, r.Long(0));
            }
            break;
        case kWmfStretchDib:
            BlitDib(r, CWindowsRecord::Offset(11), r.Unsigned(2), r.Word(6), r.Word(5), r.Word(4), r.Word(3),
                    true, {r.Word(10), r.Word(9), r.Word(10) + r.Word(8), r.Word(9) + r.Word(7)}, r.Long(0));
            break;
        case kWmfSetDibToDevice: {
            // Colour usage, scan count, start scan, source y, source x, height,
            // width, destination y, destination x, then the bitmap.
            const double width = r.Word(6);
            const double height = r.Word(5);
            BlitDib(r, CWindowsRecord::Offset(9), r.Unsigned(0), r.Word(4), r.Word(3), width, height, true,
                    {r.Word(8), r.Word(7), r.Word(8) + width, r.Word(7) + height}, kSourceCopy, true);
            break;
        }
        default:
            // Escapes, flood fills, layout and mapper flags and records this
            // player does not know change nothing it draws.
            break;
    }
}

void CWindowsPlayer::CreatePen(const CWindowsRecord& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Pen;
    object.pen.style = r.Unsigned(0);
    object.pen.width = std::abs(static_cast<int>(r.Word(1)));
    object.pen.colour = r.View().U32(CWindowsRecord::Offset(3));
    m_dc.AddObject(std::move(object));
}

void CWindowsPlayer::CreateBrush(const CWindowsRecord& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Brush;
    object.brush.style = r.Unsigned(0);
    object.brush.colour = r.View().U32(CWindowsRecord::Offset(1));
    object.brush.hatch = r.Unsigned(3);
    // Pattern styles need a bitmap, which this record does not carry.
    if (object.brush.style == kPatternBrushStyle || object.brush.style >= kDibPatternBrushStyle)
        object.brush.style = 0;
    m_dc.AddObject(std::move(object));
}

void CWindowsPlayer::CreateFont(const CWindowsRecord& r) {
    const CRecordView& view = r.View();
    GdiObject object;
    object.kind = GdiObject::Kind::Font;
    FontSpec& font = object.font;
    font.height = view.I16(CWindowsRecord::Offset(0));
    font.width = view.I16(CWindowsRecord::Offset(1));
    font.escapement = view.I16(CWindowsRecord::Offset(2));
    font.weight = view.I16(CWindowsRecord::Offset(4));
    font.italic = view.U8(CWindowsRecord::Offset(5)) != 0;
    font.underline = view.U8(CWindowsRecord::Offset(5) + 1) != 0;
    font.strikeOut = view.U8(CWindowsRecord::Offset(6)) != 0;
    font.charset = view.U8(CWindowsRecord::Offset(6) + 1);
    font.pitchAndFamily = view.U8(CWindowsRecord::Offset(8) + 1);
    const std::size_t faceAt = CWindowsRecord::Offset(9);
    const std::size_t faceBytes = std::min(kFaceNameBytes, view.Size() > faceAt ? view.Size() - faceAt : 0);
    font.face = Latin1ToUtf8(view.Sub(faceAt, faceBytes), faceBytes);
    m_dc.AddObject(std::move(object));
}

void CWindowsPlayer::CreatePalette(const CWindowsRecord& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Palette;
    object.palette = std::make_shared<PaletteData>();
    const std::uint16_t count = r.Unsigned(1);
    const CRecordView& view = r.View();
    const std::size_t at = CWindowsRecord::Offset(2);
    if (view.HasArray(at, count, 4)) {
        for (std::size_t i = 0; i < count; ++i)
            object.palette->push_back({view.U8(at + 4 * i), view.U8(at + 4 * i + 1), view.U8(at + 4 * i + 2),
                                       view.U8(at + 4 * i + 3)});
    }
    m_dc.AddObject(std::move(object));
}

void CWindowsPlayer::PaletteEntries(const CWindowsRecord& r, bool) {
    const std::uint16_t start = r.Unsigned(0);
    const std::uint16_t count = r.Unsigned(1);
    const CRecordView& view = r.View();
    const std::size_t at = CWindowsRecord::Offset(2);
    if (!view.HasArray(at, count, 4)) return;
    std::vector<MetafilePaletteEntry> entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back(
            {view.U8(at + 4 * i), view.U8(at + 4 * i + 1), view.U8(at + 4 * i + 2), view.U8(at + 4 * i + 3)});
    m_dc.SetPaletteEntries(std::nullopt, start, entries);
}

void CWindowsPlayer::CreateDibPatternBrush(const CWindowsRecord& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Brush;
    object.brush.style = kDibPatternBrushStyle;
    object.brush.colour = 0x808080;  // stands in when the bitmap cannot be read
    const std::uint32_t usage = r.Unsigned(1);
    const CRecordView dib = r.View().From(CWindowsRecord::Offset(2));
    auto lookup = [this](std::uint16_t index) { return m_dc.PaletteColour(index); };
    auto header = ReadDibHeader(dib, usage, lookup);
    if (header && IsPatternSize(*header)) {
        if (auto image =
                DecodeDib(*header, dib.From(header->infoSize), 0, 0, header->width, header->height, false))
            object.brush.pattern = std::make_shared<const DibImage>(std::move(*image));
    }
    m_dc.AddObject(std::move(object));
}

void CWindowsPlayer::CreatePatternBrush(const CWindowsRecord& r) {
    // An old bitmap header, 18 reserved bytes, then the bits.
    constexpr std::size_t kReservedBytes = 18;
    GdiObject object;
    object.kind = GdiObject::Kind::Brush;
    object.brush.style = kPatternBrushStyle;
    object.brush.colour = 0x808080;
    const CRecordView bitmap = r.View().From(kParameters);
    auto header = ReadBitmap16Header(bitmap);
    if (header && IsPatternSize(*header)) {
        const CRecordView bits = bitmap.From(header->infoSize + kReservedBytes);
        if (auto image = DecodeDib(*header, bits, 0, 0, header->width, header->height, false)) {
            object.brush.pattern = std::make_shared<const DibImage>(std::move(*image));
            object.brush.monochrome = true;
        }
    }
    m_dc.AddObject(std::move(object));
}

void CWindowsPlayer::CreateRegion(const CWindowsRecord& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Region;
    object.region = RegionRects(r.View());
    m_dc.AddObject(std::move(object));
}

const std::vector<RegionRect>* CWindowsPlayer::Region(std::uint16_t index) const {
    const GdiObject* object = m_dc.FindObject(index);
    return object != nullptr && object->kind == GdiObject::Kind::Region ? &object->region : nullptr;
}

void CWindowsPlayer::PolyPolygon(const CWindowsRecord& r) {
    const CRecordView& view = r.View();
    const std::uint16_t polygons = r.Unsigned(0);
    const std::size_t countsAt = CWindowsRecord::Offset(1);
    if (!view.HasArray(countsAt, polygons, 2)) return;
    std::size_t pointsAt = countsAt + 2 * std::size_t{polygons};
    std::vector<std::vector<Point>> shapes;
    for (std::size_t i = 0; i < polygons; ++i) {
        const std::uint16_t count = view.U16(countsAt + 2 * i);
        std::vector<Point> points = ReadPoints(view, pointsAt, count);
        if (points.size() != count) break;
        pointsAt += 4 * std::size_t{count};
        shapes.push_back(std::move(points));
    }
    m_dc.PolyPolygon(shapes);
}

void CWindowsPlayer::TextOut(const CWindowsRecord& r) {
    const CRecordView& view = r.View();
    const std::int16_t length = view.I16(CWindowsRecord::Offset(0));
    if (length <= 0) return;
    const std::size_t textAt = CWindowsRecord::Offset(1);
    const std::size_t padded = (static_cast<std::size_t>(length) + 1) & ~std::size_t{1};
    if (!view.Has(textAt, padded + 4)) return;
    const double y = view.I16(textAt + padded);
    const double x = view.I16(textAt + padded + 2);
    m_dc.TextOut({x, y}, SingleByteGlyphs(view.Sub(textAt, static_cast<std::size_t>(length)), length), {}, 0,
                 std::nullopt);
}

void CWindowsPlayer::ExtTextOut(const CWindowsRecord& r) {
    const CRecordView& view = r.View();
    const double y = r.Word(0);
    const double x = r.Word(1);
    const std::int16_t length = view.I16(CWindowsRecord::Offset(2));
    const std::uint16_t options = r.Unsigned(3);
    std::size_t at = CWindowsRecord::Offset(4);
    std::optional<LogicalRect> rectangle;
    if (options & (kTextOpaque | kTextClipped)) {
        if (!view.Has(at, 8)) return;
        rectangle = LogicalRect{double(view.I16(at)), double(view.I16(at + 2)), double(view.I16(at + 4)),
                                double(view.I16(at + 6))};
        at += 8;
    }
    std::vector<std::string> glyphs;
    std::vector<double> dx;
    if (length > 0) {
        const std::size_t count = static_cast<std::size_t>(length);
        if (!view.Has(at, count)) return;
        glyphs = SingleByteGlyphs(view.Sub(at, count), count);
        at += (count + 1) & ~std::size_t{1};
        if (view.HasArray(at, count, 2)) {
            for (std::size_t i = 0; i < count; ++i) dx.push_back(view.I16(at + 2 * i));
        }
    }
    m_dc.TextOut({x, y}, glyphs, dx, options, rectangle);
}

void CWindowsPlayer::BlitDib(const CWindowsRecord& r, std::size_t dibOffset, std::uint32_t usage, double sx,
                             double sy, double sw, double sh, bool fromBottom, const LogicalRect& destination,
                             std::uint32_t rop, bool deviceSized) {
    const CRecordView dib = r.View().From(dibOffset);
    auto lookup = [this](std::uint16_t index) { return m_dc.PaletteColour(index); };
    const auto header = ReadDibHeader(dib, usage, lookup);
    if (!header) return;
    CDeviceContext::BlitSource source;
    source.header = &*header;
    source.bits = dib.From(header->infoSize);
    source.x = sx;
    source.y = sy;
    source.width = sw;
    source.height = sh;
    source.fromBottom = fromBottom && !header->topDown;
    source.deviceSized = deviceSized;
    m_dc.StretchBlt(source, destination, rop);
}

void CWindowsPlayer::BlitBitmap16(const CWindowsRecord& r, std::size_t offset, double sx, double sy,
                                  double sw, double sh, const LogicalRect& destination, std::uint32_t rop) {
    const CRecordView bitmap = r.View().From(offset);
    const auto header = ReadBitmap16Header(bitmap);
    if (!header) return;
    CDeviceContext::BlitSource source;
    source.header = &*header;
    source.bits = bitmap.From(header->infoSize);
    source.x = sx;
    source.y = sy;
    source.width = sw;
    source.height = sh;
    m_dc.StretchBlt(source, destination, rop);
}

}  // namespace

bool PlayWindowsRecords(CDeviceContext& dc, CRecordView metafile, std::size_t playSize) {
    CWindowsPlayer player(dc);
    std::size_t offset = kWmfHeaderSize;
    playSize = std::min(playSize, metafile.Size());
    while (offset < playSize && metafile.Has(offset, kWmfRecordHeaderSize)) {
        const std::uint64_t bytes = std::uint64_t{metafile.U32(offset)} * 2;
        if (bytes < kWmfRecordHeaderSize || bytes > playSize - offset) return false;
        const CWindowsRecord record(metafile.Sub(offset, static_cast<std::size_t>(bytes)));
        offset += static_cast<std::size_t>(bytes);
        if (record.Function() == kWmfEof) break;
        player.Play(record);
        if (!dc.IsUsable()) return false;
    }
    return true;
}

}  // namespace metafile
