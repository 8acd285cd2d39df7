#pragma once

#include "imagelib/metafile/metafile_canvas.h"
#include "imagelib/metafile/metafile_clip.h"
#include "imagelib/metafile/metafile_dib.h"
#include "imagelib/metafile/metafile_geometry.h"
#include "imagelib/metafile/metafile_objects.h"
#include "imagelib/metafile/metafile_page.h"
#include "imagelib/metafile/metafile_platform.h"
#include "imagelib/metafile/metafile_styles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The device context the metafile records act on: the page mapping, the
// selected pen, brush, font and palette, colours and modes, the object
// table, SaveDC/RestoreDC, clipping and paths; and the drawing calls of the
// Windows graphics interface, carried out on a canvas. Both record players
// (WMF and EMF) drive it; the parts it is made of live in metafile_page,
// metafile_objects, metafile_styles and metafile_clip.
namespace metafile {

// Text alignment and text-output option flags.
inline constexpr std::uint32_t kAlignUpdateCurrentPosition = 0x0001;
inline constexpr std::uint32_t kAlignRight = 0x0002;
inline constexpr std::uint32_t kAlignCentre = 0x0006;
inline constexpr std::uint32_t kAlignBottom = 0x0008;
inline constexpr std::uint32_t kAlignBaseline = 0x0018;
inline constexpr std::uint32_t kTextOpaque = 0x0002;
inline constexpr std::uint32_t kTextClipped = 0x0004;
inline constexpr std::uint32_t kTextGlyphIndex = 0x0010;
inline constexpr std::uint32_t kTextPairedDx = 0x2000;

// Stretch mode whose bitmaps are smoothed rather than sampled.
inline constexpr int kStretchHalftone = 4;

class CDeviceContext {
public:
    // Nesting of SaveDC at most; deeper saves are ignored.
    static constexpr std::size_t kMaxSavedStates = 4096;

    // The object table and palettes keep to the limits' metafile object and
    // palette entry counts, whatever a metafile claims.
    CDeviceContext(CMetafileCanvas& canvas, const DecodeLimits& limits);

    const DecodeLimits& Limits() const { return m_limits; }

    // Pixels per millimetre of the reference device, for the fixed map modes.
    void SetReferenceResolution(double pixelsPerMmX, double pixelsPerMmY);
    // Maps device pixels of the reference device onto the canvas.
    void SetBaseTransform(const Affine& transform) { m_base = transform; }
    // Windows metafiles are played as a converted one is: every map mode
    // but isotropic scales the window onto the viewport.
    void UseWindowsMapping();

    CMetafileCanvas& Canvas() { return m_canvas; }
    bool IsUsable() const { return m_canvas.IsUsable(); }

    // --- state
    void SaveDC();
    void RestoreDC(std::int32_t which);
    void SetMapMode(int mode) { m_state.page.SetMapMode(mode); }
    void SetWindowOrg(double x, double y) { m_state.page.SetWindowOrg(x, y); }
    void SetWindowExt(double x, double y) { m_state.page.SetWindowExt(x, y); }
    void SetViewportOrg(double x, double y) { m_state.page.SetViewportOrg(x, y); }
    void SetViewportExt(double x, double y) { m_state.page.SetViewportExt(x, y); }
    void OffsetWindowOrg(double dx, double dy) { m_state.page.OffsetWindowOrg(dx, dy); }
    void OffsetViewportOrg(double dx, double dy) { m_state.page.OffsetViewportOrg(dx, dy); }
    void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
        m_state.page.ScaleWindowExt(xNum, xDenom, yNum, yDenom);
    }
    void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
        m_state.page.ScaleViewportExt(xNum, xDenom, yNum, yDenom);
    }
    void SetWorldTransform(const Affine& transform) { m_state.page.SetWorldTransform(transform); }
    // Modes: 1 identity, 2 multiply on the left, 3 on the right, 4 set.
    void ModifyWorldTransform(const Affine& transform, std::uint32_t mode) {
        m_state.page.ModifyWorldTransform(transform, mode);
    }
    void SetBkMode(int mode) { m_state.bkMode = mode; }
    void SetBkColor(Colorref color) { m_state.bkColor = color; }
    void SetTextColor(Colorref color) { m_state.textColor = color; }
    void SetTextAlign(std::uint32_t align) { m_state.textAlign = align; }
    void SetPolyFillMode(int mode) { m_state.polyFillMode = mode; }
    void SetRop2(int rop) { m_state.rop2 = rop; }
    void SetStretchMode(int mode) { m_state.stretchMode = mode; }
    void SetArcDirection(int direction);
    void SetMiterLimit(double limit);
    void SetTextCharExtra(double extra) { m_state.charExtra = extra; }
    // Spreads `extra` logical units over the next text's `breaks` spaces.
    void SetTextJustification(double extra, double breaks);

    // --- objects
    // Puts the object in the lowest free slot (Windows metafiles).
    void AddObject(GdiObject object) { m_objects.Add(std::move(object)); }
    // Puts the object in the given slot (enhanced metafiles).
    void CreateObjectAt(std::uint32_t index, GdiObject object) {
        m_objects.CreateAt(index, std::move(object));
    }
    // Selects a table object, or a stock object when the top bit is set.
    void SelectObject(std::uint32_t index);
    void DeleteObject(std::uint32_t index) { m_objects.Delete(index); }
    const GdiObject* FindObject(std::uint32_t index) const { return m_objects.Find(index); }
    void SelectPalette(std::uint32_t index);
    // Changes entries of a palette object (or the selected palette when
    // `index` is nullopt).
    void SetPaletteEntries(std::optional<std::uint32_t> index, std::uint32_t start,
                           const std::vector<MetafilePaletteEntry>& entries);
    void ResizePalette(std::optional<std::uint32_t> index, std::uint32_t count);
    // Colour of a palette index of the selected palette, 0x00RRGGBB.
    Color PaletteColor(std::uint16_t index) const {
        return metafile::PaletteColor(m_state.selected.palette.get(), index);
    }
    Color Resolve(Colorref color) const { return ResolveColor(color, m_state.selected.palette.get()); }

    // --- drawing (logical coordinates)
    void MoveTo(Point p);
    void LineTo(Point p);
    void Polyline(const std::vector<Point>& points);
    void PolylineTo(const std::vector<Point>& points);
    void PolyBezier(const std::vector<Point>& points);
    void PolyBezierTo(const std::vector<Point>& points);
    void Polygon(const std::vector<Point>& points);
    void PolyPolygon(const std::vector<std::vector<Point>>& polygons);
    void PolyPolyline(const std::vector<std::vector<Point>>& lines);
    void PolyDraw(const std::vector<Point>& points, const std::vector<std::uint8_t>& types);
    void Rectangle(const LogicalRect& box);
    void RoundRect(const LogicalRect& box, double cornerWidth, double cornerHeight);
    void Ellipse(const LogicalRect& box);
    void Arc(const LogicalRect& box, Point start, Point end);
    void ArcTo(const LogicalRect& box, Point start, Point end);
    void Chord(const LogicalRect& box, Point start, Point end);
    void Pie(const LogicalRect& box, Point start, Point end);
    void AngleArc(Point centre, double radius, double startDegrees, double sweepDegrees);
    void SetPixel(Point p, Colorref color);
    // One line of text at `reference` (or the current position with
    // TA_UPDATECP); `dx` are the advances in logical units, or empty.
    void TextOut(Point reference, const std::vector<std::string>& glyphs, const std::vector<double>& dx,
                 std::uint32_t options, const std::optional<LogicalRect>& rectangle);
    // Fills a rectangle with the brush, or black, white or inverts it, after
    // the raster operation.
    void PatBlt(const LogicalRect& box, std::uint32_t rop);
    // Draws the part (srcX, srcY, srcWidth, srcHeight) of a bitmap, y counted
    // from the bottom row when `sourceFromBottom`, onto the destination
    // rectangle, after the raster operation.
    struct BlitSource {
        const DibHeader* header = nullptr;  // null: no bitmap, a pattern operation
        CRecordView bits;
        double x = 0, y = 0, width = 0, height = 0;
        bool fromBottom = false;
        bool keepAlpha = false;
        double opacity = 1;
        std::optional<Color> transparent;  // colour drawn as transparent
        // A monochrome mask the size of the source, at (maskX, maskY): where
        // its bits are clear the background operation (transparent, black
        // or white) applies instead.
        const DibHeader* mask = nullptr;
        CRecordView maskBits;
        double maskX = 0, maskY = 0;
        std::uint32_t backgroundCode = kRopDestination;
        // The destination size is the source size in device pixels, not
        // logical units (SetDIBitsToDevice).
        bool deviceSized = false;
    };
    void StretchBlt(const BlitSource& source, const LogicalRect& destination, std::uint32_t rop);
    // Draws the source rectangle onto the parallelogram whose upper-left,
    // upper-right and lower-left corners are given.
    void PlgBlt(const BlitSource& source, Point upperLeft, Point upperRight, Point lowerLeft);
    // Region drawing; `deviceUnits` for regions given in reference-device
    // pixels instead of logical units.
    void FillRegion(const std::vector<RegionRect>& rects, const BrushSpec& brush, bool deviceUnits);
    void FrameRegion(const std::vector<RegionRect>& rects, const BrushSpec& brush, double width,
                     double height, bool deviceUnits);
    void InvertRegion(const std::vector<RegionRect>& rects, bool deviceUnits);
    const BrushSpec& CurrentBrush() const { return m_state.selected.brush; }
    // The brush of a table or stock object, if it is one.
    std::optional<BrushSpec> BrushOf(std::uint32_t index) const;
    // Fills rectangles or triangles with colours interpolated between vertices.
    struct GradientVertex {
        Point point;
        double red, green, blue;  // 0..1
    };
    void GradientRectangle(const GradientVertex& a, const GradientVertex& b, bool vertical);
    void GradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c);

    // --- paths
    void BeginPath();
    void EndPath();
    void CloseFigure();
    void AbortPath();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath(int mode);

    // --- clipping
    void IntersectClipRect(const LogicalRect& box);
    void ExcludeClipRect(const LogicalRect& box);
    void OffsetClipRegion(double dx, double dy);
    // Combines the clip with a region; an empty region with kRegionCopy
    // removes the clip.
    void SelectClipRegion(const std::vector<RegionRect>& rects, int mode, bool deviceUnits);
    // Makes a region object the clip (an empty clip for any other object).
    void SelectClipObject(std::uint32_t index);

    // The transform from logical coordinates to canvas pixels.
    Affine LogicalToCanvas() const;

private:
    struct State {
        CPageMapping page;
        SelectedObjects selected;
        Colorref textColor = 0;
        Colorref bkColor = 0xFFFFFF;
        int bkMode = kBkOpaque;
        int polyFillMode = kFillAlternate;
        std::uint32_t textAlign = 0;
        int rop2 = kRop2CopyPen;
        int stretchMode = 1;
        ArcDirection arcDirection = ArcDirection::CounterClockwise;
        double miterLimit = 10;
        double charExtra = 0;
        double breakExtra = 0;
        Point position{0, 0};
        ClipState clip;
    };

    // The clipped part of the source, decoded; `left` and `top` get the
    // position of its first pixel in source coordinates (top row 0).
    std::optional<DibImage> DecodeSource(const BlitSource& source, double sx, double top, double sw,
                                         double sh, double& left, double& upper) const;
    void DrawBitmap(const DibImage& image, const Affine& imageToCanvas, RasterOp op, double opacity);
    Affine RegionTransform(bool deviceUnits) const;
    // A palette object, or the selected palette when `index` is nullopt.
    std::shared_ptr<PaletteData> PaletteOf(std::optional<std::uint32_t> index) const;
    std::optional<FillStyle> BrushFill(const BrushSpec& brush) const;
    void DrawShape(const CPath& shape, bool fill, bool stroke);
    void FillShape(const CPath& shape, const BrushSpec& brush, RasterOp op);
    // Starts the figure at the current position unless it is already there.
    void StartAtPosition(CPath& figure, const Affine& transform) const;
    void DrawArc(const LogicalRect& box, Point start, Point end, ArcShape shape, bool connect,
                 bool updatePosition);
    void DrawPathAndClear(bool fill, bool stroke);
    TextStyle TextStyleFor(Point alongCanvas, double alongScale, double acrossScale) const;
    void ApplyClip() { m_canvas.SetClip(m_state.clip); }

    CMetafileCanvas& m_canvas;
    DecodeLimits m_limits;
    CObjectTable m_objects;
    CClipBuilder m_clips;
    State m_state;
    std::vector<State> m_saved;
    Affine m_base;
    ReferenceDevice m_device;
    CPath m_path;
    bool m_pathOpen = false;
};

}  // namespace metafile
