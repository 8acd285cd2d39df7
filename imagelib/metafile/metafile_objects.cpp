#include "imagelib/metafile/metafile_objects.h"

namespace metafile {

namespace {

constexpr std::uint32_t kBrushNull = 1;
constexpr std::uint32_t kPenNull = 5;

enum StockObject : std::uint32_t {
    kStockWhiteBrush = 0,
    kStockLightGreyBrush = 1,
    kStockGreyBrush = 2,
    kStockDarkGreyBrush = 3,
    kStockBlackBrush = 4,
    kStockNullBrush = 5,
    kStockWhitePen = 6,
    kStockBlackPen = 7,
    kStockNullPen = 8,
    kStockOemFixedFont = 10,
    kStockAnsiFixedFont = 11,
    kStockSystemFixedFont = 16,
    kStockDefaultGuiFont = 17,
    kStockDcBrush = 18,
    kStockDcPen = 19,
};

// The twenty static colours of the default palette, 0x00RRGGBB.
constexpr Color kDefaultPalette[20] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
    0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

Color ColorOf(const MetafilePaletteEntry& entry) {
    return (Color{entry.red} << 16) | (Color{entry.green} << 8) | entry.blue;
}

}  // namespace

std::optional<BrushSpec> StockBrush(std::uint32_t index) {
    if (!(index & kStockObjectFlag)) return std::nullopt;
    switch (index & ~kStockObjectFlag) {
        case kStockWhiteBrush:
        case kStockDcBrush:
            return BrushSpec{0, 0xFFFFFF, 0, nullptr, false};
        case kStockLightGreyBrush:
            return BrushSpec{0, 0xC0C0C0, 0, nullptr, false};
        case kStockGreyBrush:
            return BrushSpec{0, 0x808080, 0, nullptr, false};
        case kStockDarkGreyBrush:
            return BrushSpec{0, 0x404040, 0, nullptr, false};
        case kStockBlackBrush:
            return BrushSpec{0, 0x000000, 0, nullptr, false};
        case kStockNullBrush:
            return BrushSpec{kBrushNull, 0, 0, nullptr, false};
        default:
            return std::nullopt;
    }
}

void SelectStockObject(std::uint32_t index, SelectedObjects& selected) {
    if (auto brush = StockBrush(index)) {
        selected.brush = *brush;
        return;
    }
    const std::uint32_t stock = index & ~kStockObjectFlag;
    switch (stock) {
        case kStockWhitePen:
            selected.pen = PenSpec{0, 0, 0xFFFFFF, false, {}};
            break;
        case kStockBlackPen:
        case kStockDcPen:
            selected.pen = PenSpec{};
            break;
        case kStockNullPen:
            selected.pen = PenSpec{kPenNull, 0, 0, false, {}};
            break;
        case kStockDefaultPalette:
            selected.palette.reset();
            break;
        case kStockOemFixedFont:
        case kStockAnsiFixedFont:
        case kStockSystemFixedFont:
            selected.font = FontSpec{};
            selected.font.pitchAndFamily = 0x31;
            break;
        default:
            if (stock >= 12 && stock <= kStockDefaultGuiFont) selected.font = FontSpec{};
            break;
    }
}

void SelectTableObject(const GdiObject& object, SelectedObjects& selected) {
    switch (object.kind) {
        case GdiObject::Kind::Pen:
            selected.pen = object.pen;
            break;
        case GdiObject::Kind::Brush:
            selected.brush = object.brush;
            break;
        case GdiObject::Kind::Font:
            selected.font = object.font;
            break;
        case GdiObject::Kind::Palette:
            selected.palette = object.palette;
            break;
        case GdiObject::Kind::Region:
        case GdiObject::Kind::Other:
            break;
    }
}

void CObjectTable::Add(GdiObject object) {
    std::uint32_t index = 0;
    if (!m_freeSlots.empty()) {
        index = *m_freeSlots.begin();
        m_freeSlots.erase(m_freeSlots.begin());
    } else if (m_nextSlot < m_maxObjects) {
        index = m_nextSlot++;
    } else {
        return;
    }
    if (index >= m_objects.size()) m_objects.resize(index + 1);
    m_objects[index] = std::make_shared<const GdiObject>(std::move(object));
}

void CObjectTable::CreateAt(std::uint32_t index, GdiObject object) {
    if (index == 0 || index >= m_maxObjects) return;
    if (index >= m_objects.size()) m_objects.resize(index + 1);
    m_objects[index] = std::make_shared<const GdiObject>(std::move(object));
}

const GdiObject* CObjectTable::Find(std::uint32_t index) const {
    return index < m_objects.size() ? m_objects[index].get() : nullptr;
}

void CObjectTable::Delete(std::uint32_t index) {
    if (index >= m_objects.size() || !m_objects[index]) return;
    m_objects[index].reset();
    if (index < m_nextSlot) m_freeSlots.insert(index);
}

void SetPaletteEntries(PaletteData& palette, std::uint32_t start,
                       const std::vector<MetafilePaletteEntry>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::uint64_t at = std::uint64_t{start} + i;
        if (at >= palette.size()) break;
        palette[static_cast<std::size_t>(at)] = entries[i];
    }
}

void ResizePalette(PaletteData& palette, std::uint32_t count, std::uint32_t maxEntries) {
    if (count >= 1 && count <= maxEntries) palette.resize(count);
}

Color PaletteColor(const PaletteData* palette, std::uint16_t index) {
    if (palette != nullptr) return index < palette->size() ? ColorOf((*palette)[index]) : 0;
    return index < 20 ? kDefaultPalette[index] : 0;
}

Color ResolveColor(Colorref color, const PaletteData* palette) {
    if ((color >> 24) == 0x01) return PaletteColor(palette, static_cast<std::uint16_t>(color & 0xFFFF));
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

}  // namespace metafile
