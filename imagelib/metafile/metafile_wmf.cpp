#include "imagelib/metafile/metafile_wmf.h"

#include "imagelib/metafile/metafile_record_table.h"

#include <algorithm>

namespace metafile {

namespace {

constexpr std::size_t kParameters = kWmfRecordHeaderSize;  // parameters follow the 6-byte record header
constexpr std::uint32_t kPatternBrushStyle = 3;
constexpr std::uint32_t kDibPatternBrushStyle = 5;
constexpr std::size_t kFaceNameBytes = 32;

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

// The high byte of a function number counts its parameter words; a blit
// record of just that many (and the record header) carries no bitmap.
bool HasNoBitmap(const CWindowsRecord& r) {
    return r.Words() == (r.Function() >> 8) + 3u;
}

bool IsPatternSize(const DibHeader& header) {
    return static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height) <=
           kMaxPatternPixels;
}

class CWindowsPlayer {
public:
    explicit CWindowsPlayer(CDeviceContext& dc) : m_dc(dc) {}

    CDeviceContext& Dc() { return m_dc; }

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
    void PaletteEntries(const CWindowsRecord& r);
    void FillRegion(const CWindowsRecord& r);
    void FrameRegion(const CWindowsRecord& r);
    void PaintRegion(const CWindowsRecord& r);
    void InvertRegion(const CWindowsRecord& r);
    // BitBlt and StretchBlt (`stretch`) with an old bitmap or a
    // device-independent one (`dib`); without a bitmap they fill with the
    // brush.
    void Blt(const CWindowsRecord& r, bool stretch, bool dib);
    void StretchDib(const CWindowsRecord& r);
    void SetDibToDevice(const CWindowsRecord& r);

private:
    const std::vector<RegionRect>* Region(std::uint16_t index) const;
    // Draws a packed DIB starting at `dibOffset`.
    void BlitDib(const CWindowsRecord& r, std::size_t dibOffset, std::uint32_t usage, double sx, double sy,
                 double sw, double sh, bool fromBottom, const LogicalRect& destination, std::uint32_t rop,
                 bool deviceSized = false);
    void BlitBitmap16(const CWindowsRecord& r, std::size_t offset, double sx, double sy, double sw, double sh,
                      const LogicalRect& destination, std::uint32_t rop);

    CDeviceContext& m_dc;
};

void CWindowsPlayer::CreatePen(const CWindowsRecord& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Pen;
    object.pen.style = r.Unsigned(0);
    object.pen.width = std::abs(static_cast<int>(r.Word(1)));
    object.pen.color = r.View().U32(CWindowsRecord::Offset(3));
    m_dc.AddObject(std::move(object));
}

void CWindowsPlayer::CreateBrush(const CWindowsRecord& r) {
    GdiObject object;
    object.kind = GdiObject::Kind::Brush;
    object.brush.style = r.Unsigned(0);
    object.brush.color = r.View().U32(CWindowsRecord::Offset(1));
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

void CWindowsPlayer::PaletteEntries(const CWindowsRecord& r) {
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
    object.brush.color = 0x808080;  // stands in when the bitmap cannot be read
    const std::uint32_t usage = r.Unsigned(1);
    const CRecordView dib = r.View().From(CWindowsRecord::Offset(2));
    auto lookup = [this](std::uint16_t index) { return m_dc.PaletteColor(index); };
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
    object.brush.color = 0x808080;
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
    auto lookup = [this](std::uint16_t index) { return m_dc.PaletteColor(index); };
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

void CWindowsPlayer::FillRegion(const CWindowsRecord& r) {
    const auto* rects = Region(r.Unsigned(0));
    const auto brush = m_dc.BrushOf(r.Unsigned(1));
    if (rects != nullptr && brush) m_dc.FillRegion(*rects, *brush, false);
}

void CWindowsPlayer::FrameRegion(const CWindowsRecord& r) {
    const auto* rects = Region(r.Unsigned(0));
    const auto brush = m_dc.BrushOf(r.Unsigned(1));
    if (rects != nullptr && brush) m_dc.FrameRegion(*rects, *brush, r.Word(3), r.Word(2), false);
}

void CWindowsPlayer::PaintRegion(const CWindowsRecord& r) {
    if (const auto* rects = Region(r.Unsigned(0))) m_dc.FillRegion(*rects, m_dc.CurrentBrush(), false);
}

void CWindowsPlayer::InvertRegion(const CWindowsRecord& r) {
    if (const auto* rects = Region(r.Unsigned(0))) m_dc.InvertRegion(*rects, false);
}

void CWindowsPlayer::Blt(const CWindowsRecord& r, bool stretch, bool dib) {
    // The raster operation; for StretchBlt the source height and width;
    // source y and x; without a bitmap one reserved word; destination
    // height, width, y and x; then the bitmap.
    const std::size_t k = stretch ? 2 : 0;
    if (HasNoBitmap(r)) {
        m_dc.PatBlt(
            {r.Word(8 + k), r.Word(7 + k), r.Word(8 + k) + r.Word(6 + k), r.Word(7 + k) + r.Word(5 + k)},
            r.Long(0));
        return;
    }
    const double width = r.Word(5 + k);
    const double height = r.Word(4 + k);
    const LogicalRect destination{r.Word(7 + k), r.Word(6 + k), r.Word(7 + k) + width,
                                  r.Word(6 + k) + height};
    const double sourceWidth = stretch ? r.Word(3) : width;
    const double sourceHeight = stretch ? r.Word(2) : height;
    const std::size_t bitmapAt = CWindowsRecord::Offset(8 + k);
    if (dib)
        BlitDib(r, bitmapAt, kDibRgbColors, r.Word(3 + k), r.Word(2 + k), sourceWidth, sourceHeight, false,
                destination, r.Long(0));
    else
        BlitBitmap16(r, bitmapAt, r.Word(3 + k), r.Word(2 + k), sourceWidth, sourceHeight, destination,
                     r.Long(0));
}

void CWindowsPlayer::StretchDib(const CWindowsRecord& r) {
    BlitDib(r, CWindowsRecord::Offset(11), r.Unsigned(2), r.Word(6), r.Word(5), r.Word(4), r.Word(3), true,
            {r.Word(10), r.Word(9), r.Word(10) + r.Word(8), r.Word(9) + r.Word(7)}, r.Long(0));
}

void CWindowsPlayer::SetDibToDevice(const CWindowsRecord& r) {
    // Colour usage, scan count, start scan, source y, source x, height,
    // width, destination y, destination x, then the bitmap.
    const double width = r.Word(6);
    const double height = r.Word(5);
    BlitDib(r, CWindowsRecord::Offset(9), r.Unsigned(0), r.Word(4), r.Word(3), width, height, true,
            {r.Word(8), r.Word(7), r.Word(8) + width, r.Word(7) + height}, kSourceCopyRop, true);
}

// What the player knows of one record function: the smallest size in
// bytes, record header included, of the parameters it reads (a shorter
// record means the file is damaged), whether the record draws (the window
// and viewport set before the first one frame the picture), and what
// playing it does. Records without a handler change nothing this player
// draws: escapes, flood fills, layout and mapper flags.
struct WindowsRecordEntry {
    std::uint16_t number;
    std::uint16_t minimumSize;
    bool drawing;
    void (*handler)(CWindowsPlayer& player, const CWindowsRecord& r);
};

using Player = CWindowsPlayer;
using Record = const CWindowsRecord&;

constexpr WindowsRecordEntry kWindowsEntries[] = {
    // Modes and colours.
    {kWmfSetBkMode, 8, false, [](Player& p, Record r) { p.Dc().SetBkMode(r.Unsigned(0)); }},
    {kWmfSetMapMode, 8, false, [](Player& p, Record r) { p.Dc().SetMapMode(r.Unsigned(0)); }},
    {kWmfSetRop2, 8, false, [](Player& p, Record r) { p.Dc().SetRop2(r.Unsigned(0)); }},
    {kWmfSetPolyFillMode, 8, false, [](Player& p, Record r) { p.Dc().SetPolyFillMode(r.Unsigned(0)); }},
    {kWmfSetStretchBltMode, 8, false, [](Player& p, Record r) { p.Dc().SetStretchMode(r.Unsigned(0)); }},
    {kWmfSetTextCharExtra, 8, false, [](Player& p, Record r) { p.Dc().SetTextCharExtra(r.Word(0)); }},
    {kWmfSetTextJustification, kWmfRecordHeaderSize, false,
     [](Player& p, Record r) { p.Dc().SetTextJustification(r.Word(1), r.Word(0)); }},
    {kWmfSetTextAlign, 8, false, [](Player& p, Record r) { p.Dc().SetTextAlign(r.Unsigned(0)); }},
    {kWmfSetBkColor, 10, false, [](Player& p, Record r) { p.Dc().SetBkColor(r.Long(0)); }},
    {kWmfSetTextColor, 10, false, [](Player& p, Record r) { p.Dc().SetTextColor(r.Long(0)); }},

    // Window and viewport.
    {kWmfSetWindowOrg, 10, false, [](Player& p, Record r) { p.Dc().SetWindowOrg(r.Word(1), r.Word(0)); }},
    {kWmfSetWindowExt, 10, false, [](Player& p, Record r) { p.Dc().SetWindowExt(r.Word(1), r.Word(0)); }},
    {kWmfOffsetWindowOrg, 10, false,
     [](Player& p, Record r) { p.Dc().OffsetWindowOrg(r.Word(1), r.Word(0)); }},
    {kWmfScaleWindowExt, 14, false,
     [](Player& p, Record r) { p.Dc().ScaleWindowExt(r.Word(3), r.Word(2), r.Word(1), r.Word(0)); }},
    {kWmfSetViewportOrg, 10, false, [](Player& p, Record r) { p.Dc().SetViewportOrg(r.Word(1), r.Word(0)); }},
    {kWmfSetViewportExt, 10, false, [](Player& p, Record r) { p.Dc().SetViewportExt(r.Word(1), r.Word(0)); }},
    {kWmfOffsetViewportOrg, 10, false,
     [](Player& p, Record r) { p.Dc().OffsetViewportOrg(r.Word(1), r.Word(0)); }},
    {kWmfScaleViewportExt, 14, false,
     [](Player& p, Record r) { p.Dc().ScaleViewportExt(r.Word(3), r.Word(2), r.Word(1), r.Word(0)); }},

    // Saved states.
    {kWmfSaveDC, kWmfRecordHeaderSize, false, [](Player& p, Record) { p.Dc().SaveDC(); }},
    {kWmfRestoreDC, 8, false,
     [](Player& p, Record r) { p.Dc().RestoreDC(static_cast<std::int16_t>(r.Unsigned(0))); }},

    // Lines and shapes.
    {kWmfMoveTo, 10, false, [](Player& p, Record r) { p.Dc().MoveTo({r.Word(1), r.Word(0)}); }},
    {kWmfLineTo, 10, true, [](Player& p, Record r) { p.Dc().LineTo({r.Word(1), r.Word(0)}); }},
    {kWmfRectangle, 14, true, [](Player& p, Record r) { p.Dc().Rectangle(ReversedRect(r, 0)); }},
    {kWmfEllipse, 14, true, [](Player& p, Record r) { p.Dc().Ellipse(ReversedRect(r, 0)); }},
    {kWmfRoundRect, 18, true,
     [](Player& p, Record r) { p.Dc().RoundRect(ReversedRect(r, 2), r.Word(1), r.Word(0)); }},
    {kWmfArc, 22, true,
     [](Player& p, Record r) {
         p.Dc().Arc(ReversedRect(r, 4), {r.Word(3), r.Word(2)}, {r.Word(1), r.Word(0)});
     }},
    {kWmfPie, 22, true,
     [](Player& p, Record r) {
         p.Dc().Pie(ReversedRect(r, 4), {r.Word(3), r.Word(2)}, {r.Word(1), r.Word(0)});
     }},
    {kWmfChord, 22, true,
     [](Player& p, Record r) {
         p.Dc().Chord(ReversedRect(r, 4), {r.Word(3), r.Word(2)}, {r.Word(1), r.Word(0)});
     }},
    {kWmfSetPixel, 14, true, [](Player& p, Record r) { p.Dc().SetPixel({r.Word(3), r.Word(2)}, r.Long(0)); }},
    {kWmfPolygon, 8, true,
     [](Player& p, Record r) {
         p.Dc().Polygon(ReadPoints(r.View(), CWindowsRecord::Offset(1), r.Unsigned(0)));
     }},
    {kWmfPolyline, 8, true,
     [](Player& p, Record r) {
         p.Dc().Polyline(ReadPoints(r.View(), CWindowsRecord::Offset(1), r.Unsigned(0)));
     }},
    {kWmfPolyPolygon, 8, true, [](Player& p, Record r) { p.PolyPolygon(r); }},
    {kWmfFloodFill, kWmfRecordHeaderSize, true, nullptr},
    {kWmfExtFloodFill, kWmfRecordHeaderSize, true, nullptr},

    // Text.
    {kWmfTextOut, 8, true, [](Player& p, Record r) { p.TextOut(r); }},
    {kWmfExtTextOut, 14, true, [](Player& p, Record r) { p.ExtTextOut(r); }},

    // Objects and palettes.
    {kWmfCreatePenIndirect, 16, false, [](Player& p, Record r) { p.CreatePen(r); }},
    {kWmfCreateBrushIndirect, 14, false, [](Player& p, Record r) { p.CreateBrush(r); }},
    {kWmfCreateFontIndirect, 24, false, [](Player& p, Record r) { p.CreateFont(r); }},
    {kWmfCreatePalette, 10, false, [](Player& p, Record r) { p.CreatePalette(r); }},
    {kWmfDibCreatePatternBrush, 10, false, [](Player& p, Record r) { p.CreateDibPatternBrush(r); }},
    {kWmfCreatePatternBrush, kWmfRecordHeaderSize, false, [](Player& p, Record r) { p.CreatePatternBrush(r); }},
    {kWmfCreateRegion, kWmfRecordHeaderSize, false, [](Player& p, Record r) { p.CreateRegion(r); }},
    {kWmfSelectObject, 8, false, [](Player& p, Record r) { p.Dc().SelectObject(r.Unsigned(0)); }},
    {kWmfSelectPalette, 8, false, [](Player& p, Record r) { p.Dc().SelectPalette(r.Unsigned(0)); }},
    {kWmfDeleteObject, 8, false, [](Player& p, Record r) { p.Dc().DeleteObject(r.Unsigned(0)); }},
    {kWmfSetPaletteEntries, 10, false, [](Player& p, Record r) { p.PaletteEntries(r); }},
    {kWmfAnimatePalette, 10, false, [](Player& p, Record r) { p.PaletteEntries(r); }},
    {kWmfResizePalette, 8, false,
     [](Player& p, Record r) { p.Dc().ResizePalette(std::nullopt, r.Unsigned(0)); }},

    // Clipping and regions.
    {kWmfExcludeClipRect, 14, false, [](Player& p, Record r) { p.Dc().ExcludeClipRect(ReversedRect(r, 0)); }},
    {kWmfIntersectClipRect, 14, false,
     [](Player& p, Record r) { p.Dc().IntersectClipRect(ReversedRect(r, 0)); }},
    {kWmfOffsetClipRegion, 10, false,
     [](Player& p, Record r) { p.Dc().OffsetClipRegion(r.Word(1), r.Word(0)); }},
    {kWmfSelectClipRegion, 8, false, [](Player& p, Record r) { p.Dc().SelectClipObject(r.Unsigned(0)); }},
    {kWmfFillRegion, 10, true, [](Player& p, Record r) { p.FillRegion(r); }},
    {kWmfPaintRegion, 8, true, [](Player& p, Record r) { p.PaintRegion(r); }},
    {kWmfFrameRegion, 14, true, [](Player& p, Record r) { p.FrameRegion(r); }},
    {kWmfInvertRegion, 8, true, [](Player& p, Record r) { p.InvertRegion(r); }},

    // Bitmaps.
    {kWmfPatBlt, 18, true,
     [](Player& p, Record r) {
         p.Dc().PatBlt({r.Word(5), r.Word(4), r.Word(5) + r.Word(3), r.Word(4) + r.Word(2)}, r.Long(0));
     }},
    {kWmfBitBlt, 24, true, [](Player& p, Record r) { p.Blt(r, false, false); }},
    {kWmfStretchBlt, 28, true, [](Player& p, Record r) { p.Blt(r, true, false); }},
    {kWmfDibBitBlt, 22, true, [](Player& p, Record r) { p.Blt(r, false, true); }},
    {kWmfDibStretchBlt, 26, true, [](Player& p, Record r) { p.Blt(r, true, true); }},
    {kWmfStretchDib, 28, true,
[](Player& p, Record r) { p.StretchDib(r); }},
    {kWmfSetDibToDevice, 24, true, [](Player& p, Record r) { p.SetDibToDevice(r); }},
};

constexpr CRecordTable kWindowsRecords(kWindowsEntries);

}  // namespace

std::size_t MinimumWindowsRecordSize(std::uint16_t function) {
    const WindowsRecordEntry* entry = kWindowsRecords.Find(function);
    return entry != nullptr ? entry->minimumSize : kWmfRecordHeaderSize;
}

bool IsWindowsDrawingRecord(std::uint16_t function) {
    const WindowsRecordEntry* entry = kWindowsRecords.Find(function);
    return entry != nullptr && entry->drawing;
}

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
        // Loading refused records shorter than their entry allows; playing
        // checks again so that no handler depends on it.
        const WindowsRecordEntry* entry = kWindowsRecords.Find(record.Function());
        if (entry != nullptr && entry->handler != nullptr && bytes >= entry->minimumSize)
            entry->handler(player, record);
        if (!dc.IsUsable()) return false;
    }
    return true;
}

}  // namespace metafile
