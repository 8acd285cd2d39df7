#pragma once

#include "imagelib/metafile/metafile_canvas.h"
#include "imagelib/metafile/metafile_dib.h"
#include "imagelib/metafile/metafile_geometry.h"
#include "imagelib/metafile/metafile_platform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The graphics objects a metafile makes (pens, brushes, fonts, palettes,
// regions), the table of handles they live in, the stock objects, and the
// colours of palettes.
namespace metafile {

using Colorref = std::uint32_t;  // 0x00BBGGRR, or a palette index with 0x01 in the top byte
using PaletteData = std::vector<MetafilePaletteEntry>;

struct PenSpec {
    std::uint32_t style = 0;  // style, end cap, join and type bits
    double width = 0;         // logical units; 0 draws one pixel wide
    Colorref color = 0;
    bool extended = false;           // made by ExtCreatePen (styles apply at any width)
    std::vector<double> userDashes;  // for the user style
};

struct BrushSpec {
    std::uint32_t style = 0;
    Colorref color = 0xFFFFFF;
    std::uint32_t hatch = 0;
    std::shared_ptr<const DibImage> pattern;
    bool monochrome = false;  // pattern black/white stand for text/background colour
};

struct FontSpec {
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;  // tenths of a degree
    std::int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint8_t charset = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string face;
};

// A rectangle of a region object, in the units of the record that made it.
struct RegionRect {
    std::int32_t left, top, right, bottom;
};

struct GdiObject {
    enum class Kind { Pen, Brush, Font, Palette, Region, Other };
    Kind kind = Kind::Other;
    PenSpec pen;
    BrushSpec brush;
    FontSpec font;
    std::shared_ptr<PaletteData> palette;
    std::vector<RegionRect> region;
    // The region in canvas pixels, as last selected as the clip.
    struct RegionCache {
        Affine transform;
        std::shared_ptr<const CClipRegion> region;
    };
    mutable RegionCache regionCache;
};

// The objects a device context draws with.
struct SelectedObjects {
    PenSpec pen;
    BrushSpec brush;
    FontSpec font;
    std::shared_ptr<PaletteData> palette;  // null: the default palette
};

// Handles with the top bit set name stock objects.
inline constexpr std::uint32_t kStockObjectFlag = 0x80000000;
inline constexpr std::uint32_t kStockDefaultPalette = 15;

// The brush of a stock object, if it is a stock brush.
std::optional<BrushSpec> StockBrush(std::uint32_t index);
// Selects a stock object (a handle with kStockObjectFlag set).
void SelectStockObject(std::uint32_t index, SelectedObjects& selected);
// Selects a pen, brush, font or palette of the table; regions are the clip's
// business and other objects change nothing.
void SelectTableObject(const GdiObject& object, SelectedObjects& selected);

// The object table of one playback. Windows metafiles put each new object
// in the lowest free slot, enhanced metafiles name the slot; either way the
// table keeps to the given number of slots, whatever a metafile claims.
class CObjectTable {
public:
    explicit CObjectTable(std::uint32_t maxObjects) : m_maxObjects(maxObjects) {}

    void Add(GdiObject object);
    void CreateAt(std::uint32_t index, GdiObject object);
    const GdiObject* Find(std::uint32_t index) const;
    void Delete(std::uint32_t index);

private:
    std::uint32_t m_maxObjects;
    std::vector<std::shared_ptr<const GdiObject>> m_objects;
    std::set<std::uint32_t> m_freeSlots;
    std::uint32_t m_nextSlot = 0;
};

// Palette changes; entries past the palette's end are left alone, and a
// palette keeps to 1..maxEntries entries.
void SetPaletteEntries(PaletteData& palette, std::uint32_t start,
                       const std::vector<MetafilePaletteEntry>& entries);
void ResizePalette(PaletteData& palette, std::uint32_t count, std::uint32_t maxEntries);

// Colour of a palette index, 0x00RRGGBB: of `palette`, or of the default
// palette's static colours when it is null.
Color PaletteColor(const PaletteData* palette, std::uint16_t index);
// Colour of a colour reference, 0x00RRGGBB.
Color ResolveColor(Colorref color, const PaletteData* palette);

}  // namespace metafile
