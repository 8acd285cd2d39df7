#pragma once

#include "imagelib/limits/work_budget.h"
#include "imagelib/metafile/metafile_dib.h"
#include "imagelib/metafile/metafile_geometry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_region cairo_region_t;

// Drawing on a cairo image surface in canvas pixels: fills, strokes, text and
// bitmaps with the raster operations metafiles use, inside a clip. The canvas
// guards cairo against absurd requests (coordinates, sizes, dash counts) and
// keeps count of the pixels drawn, so a hostile metafile cannot keep it busy
// for ever.
namespace metafile {

// What the player spends from the file's WorkBudget, counted where the work
// happens. A unit is about the time cairo takes to touch ten pixels; the
// weights were measured with files that repeat one step many times.
struct WorkUnits {
    // A path segment filled or stroked, and one emitted as a clip.
    static constexpr std::uint64_t kPathSegment = 16;
    // Two edges of a filled path crossing each other on the canvas: the
    // rasterizer re-sorts its edges at each one.
    static constexpr std::uint64_t kEdgeCrossing = 2;
    // Two lines of a stroke crossing (their outlines cross four times, but
    // cost about as much as two crossing edges more).
    static constexpr std::uint64_t kStrokeCrossing = 3;
    // Each clip path segment again on every drawing inside the clip: cairo
    // works through the clip for each one.
    static constexpr std::uint64_t kClipSegmentPerDraw = 8;
    // Two clip path edges crossing, again on every drawing inside the clip:
    // cairo cuts each drawing's shape with the clip's, event by event.
    static constexpr std::uint64_t kClipCrossingPerDraw = 8;
    // A clip rectangle on every drawing inside the clip.
    static constexpr std::uint64_t kClipRectanglePerDraw = 1;
    // A rectangle read, transformed or produced by a region operation.
    static constexpr std::uint64_t kRegionRectangle = 4;
    // A dash laid along a stroke.
    static constexpr std::uint64_t kDash = 4;
    // A glyph read from a record, one laid out along its line, and one
    // measured with its font.
    static constexpr std::uint64_t kGlyphRead = 8;
    static constexpr std::uint64_t kGlyphPlaced = 1;
    static constexpr std::uint64_t kGlyphMeasured = 32;
    // A pixel shaded by a gradient between the corners of a triangle, and
    // one along a line.
    static constexpr std::uint64_t kMeshGradientPixel = 8;
    static constexpr std::uint64_t kLinearGradientPixel = 1;
};

// Colours are 0x00RRGGBB.
using Color = std::uint32_t;

// How new pixels combine with the canvas, after the raster operations of the
// Windows drawing calls (approximated by blend modes for the rarer ones).
enum class RasterOp { Copy, NotCopy, Nop, Black, White, Invert, Xor, And, Or };

// A set of canvas pixel rectangles.
class CClipRegion {
public:
    CClipRegion();
    CClipRegion(int left, int top, int right, int bottom);
    // The union of rectangles given as left, top, right, bottom quadruples.
    explicit CClipRegion(const std::vector<int>& rectangles);
    ~CClipRegion();
    CClipRegion(const CClipRegion& other);
    CClipRegion& operator=(const CClipRegion& other);

    void Intersect(const CClipRegion& other);
    void Subtract(const CClipRegion& other);
    void Union(const CClipRegion& other);
    void Xor(const CClipRegion& other);
    void Translate(int dx, int dy);
    int RectangleCount() const;
    void GetRectangle(int index, int& left, int& top, int& right, int& bottom) const;
    // The smallest rectangle holding the region.
    CClipRegion BoundingBox() const;
    // At most how many rectangles combining this region with `other` can
    // give, whatever the operation; found in time linear in both (up to the
    // sorting of their band edges), without combining them.
    std::uint64_t CombinedRectangleBound(const CClipRegion& other) const;

private:
    cairo_region_t* m_region;
};

// The clip of a device context: everything, or a region further narrowed by
// clip paths.
struct ClipPath {
    std::shared_ptr<const CPath> path;
    bool evenOdd = true;
};

// Regions are shared between saved states and replaced, never changed, so
// that saving a state costs nothing whatever the region's complexity.
struct ClipState {
    bool hasRegion = false;
    std::shared_ptr<const CClipRegion> region;
    std::vector<ClipPath> paths;
    std::uint64_t version = 0;  // changes whenever the clip changes
};

enum class LineCap { Round, Square, Flat };
enum class LineJoin { Round, Bevel, Miter };

struct StrokeStyle {
    double width = 1;            // canvas pixels
    std::vector<double> dashes;  // canvas pixels, empty for solid
    LineCap cap = LineCap::Round;
    LineJoin join = LineJoin::Round;
    double miterLimit = 10;
};

struct FillStyle {
    bool evenOdd = true;
    Color color = 0;
    // Tiled pattern in canvas pixels, anchored at the canvas origin; null for
    // a solid colour.
    std::shared_ptr<const DibImage> pattern;
};

struct TextStyle {
    std::string family;  // "serif", "sans-serif" or "monospace"
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    double height = 12;       // canvas pixels
    bool cellHeight = false;  // height counts ascent plus descent, not the em
    Point baseline{1, 0};     // unit vector along the baseline, canvas pixels
    Color color = 0;
    bool opaque = false;  // fill the text box with `background` first
    Color background = 0xFFFFFF;
    // Added to the font's own advances (not to given ones): after every
    // glyph, and after every space.
    double extraAdvance = 0;
    double breakAdvance = 0;
    // Alignment: 0 left, 1 right, 2 centre; vertical 0 top, 1 bottom, 2 baseline.
    int horizontalAlign = 0;
    int verticalAlign = 0;
    // False when the caller has no use for the advance: text that cannot
    // reach the canvas is then skipped without measuring it.
    bool advanceNeeded = true;
};

class CMetafileCanvas {
public:
    // Draws on `surface` (an image surface, not owned), doing at most the
    // work `budget` allows.
    explicit CMetafileCanvas(cairo_surface_t* surface, WorkBudget budget = WorkBudget(UINT64_MAX));
    ~CMetafileCanvas();
    CMetafileCanvas(const CMetafileCanvas&) = delete;
    CMetafileCanvas& operator=(const CMetafileCanvas&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // False once cairo has failed or the drawing budget is spent; nothing is
    // drawn after that.
    bool IsUsable() const { return !m_broken && !m_exhausted && !m_budget.Exhausted(); }
    bool IsExhausted() const { return m_exhausted; }
    // Counts units of the file's work budget (see WorkUnits); false once it
    // is spent, and nothing is drawn after that.
    bool Spend(std::uint64_t units) { return m_budget.Spend(units); }
    const WorkBudget& Budget() const { return m_budget; }
    // Counts work done outside the canvas (decoding bitmaps, building
    // patterns) against the budget; false once it is spent.
    bool ChargeWork(double pixels);

    void SetClip(const ClipState& clip);

    void Fill(const CPath& path, const FillStyle& style, RasterOp op);
    void Stroke(const CPath& path, const StrokeStyle& style, Color color, RasterOp op);
    void FillRectangle(double left, double top, double right, double bottom, Color color);
    // Draws `image` through `imageToCanvas` (image pixel (0,0) is the image's
    // top-left corner), clipped to the transformed image rectangle.
    void DrawImage(const DibImage& image, const Affine& imageToCanvas, RasterOp op, bool smooth,
                   double opacity = 1);
    // Fills `shape` with colours running from `fromColor` at `from` to
    // `toColor` at `to` (channels 0..1).
    void FillLinearGradient(const CPath& shape, Point from, Point to, const double fromColor[3],
                            const double toColor[3]);
    // Fills a triangle with colours interpolated between its corners.
    void FillTriangleGradient(const Point corners[3], const double colors[3][3]);
    // Draws one line of text: each glyph (a UTF-8 character) at its own
    // advance from `origin` along the baseline; advances below zero mean the
    // font's own. Returns the total advance in canvas pixels.
    double DrawText(const std::vector<std::string>& glyphs, const std::vector<double>& advances, Point origin,
                    const TextStyle& style);
    // The advance of the text without drawing it.
    double MeasureText(const std::vector<std::string>& glyphs, const TextStyle& style);

private:
    // Counts a drawing's pixels and segments against the drawing limit and
    // the work budget (with the clip's share); false when either is spent.
    bool Charge(double left, double top, double right, double bottom, std::size_t segments);
    // The drawing limit's part alone.
    bool ChargeArea(double left, double top, double right, double bottom, std::size_t segments);
    bool ChargePath(const CPath& path, double grow);
    // Counts where the path's edges cross (figures `closed` for a fill).
    bool ChargeCrossings(const CPath& path, bool closed, std::uint64_t unitsPerCrossing);
    // Pixels of the canvas inside the path's bounding box.
    std::uint64_t PixelsCovered(const CPath& path) const;
    void EmitPath(const CPath& path, double offset);
    void SetSource(Color color, RasterOp op);
    void SetOperator(RasterOp op);
    bool CheckStatus();
    bool SelectFont(const TextStyle& style, double& emSize, double& ascent, double& descent);
    // False when text at `origin` cannot touch the canvas: `given` is the sum
    // of the advances the caller gave, `unmeasured` the glyphs without one.
    bool MayReach(Point origin, double given, std::size_t unmeasured, const TextStyle& style, double emSize,
                  double ascent, double descent);

    cairo_surface_t* m_surface;
    cairo_t* m_cairo = nullptr;
    int m_width = 0;
    int m_height = 0;
    bool m_broken = false;
    bool m_exhausted = false;
    double m_work = 0;
    WorkBudget m_budget;
    std::uint64_t m_clipVersion = ~std::uint64_t{0};
    // What the applied clip is made of, so that a clip state of the same
    // parts (after RestoreDC, say) is not handed to cairo again.
    bool m_clipHasRegion = false;
    std::shared_ptr<const CClipRegion> m_clipRegion;
    std::vector<ClipPath> m_clipPaths;
    // Units every drawing spends for working through the applied clip.
    std::uint64_t m_clipUnitsPerDraw = 0;
};

}  // namespace metafile
