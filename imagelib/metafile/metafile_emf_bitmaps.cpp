#include "imagelib/metafile/metafile_emf_player.h"

#include <algorithm>
#include <cmath>

// The bitmap records of enhanced metafiles: pattern brushes, the blits and
// the device-independent bitmaps, and gradient fills.
namespace metafile {

namespace {

constexpr std::uint32_t kBrushDibPatternPtStyle = 6;
constexpr std::uint32_t kAlphaFromSource = 0x01;

}  // namespace

std::optional<DibHeader> CEnhancedPlayer::RecordBitmap(const CRecordView& r, std::size_t infoField,
                                                       std::uint32_t usage, CRecordView& bits) const {
    // Four fields: offset and size of the bitmap info, offset and size of the bits.
    const CRecordView info = r.Sub(r.U32(infoField), r.U32(infoField + 4));
    bits = r.Sub(r.U32(infoField + 8), r.U32(infoField + 12));
    if (info.Size() == 0) return std::nullopt;
    auto lookup = [this](std::uint16_t index) { return m_dc.PaletteColor(index); };
    return ReadDibHeader(info, usage, lookup);
}

bool CEnhancedPlayer::ReadMask(const CRecordView& r, std::size_t maskField, std::optional<DibHeader>& mask,
                               CDeviceContext::BlitSource& source) const {
    CRecordView maskBits;
    mask = RecordBitmap(r, maskField + 12, r.U32(maskField + 8), maskBits);
    if (!mask || mask->bitsPerPixel != 1) return false;
    mask->colors = {0x000000, 0xFFFFFF};
    source.mask = &*mask;
    source.maskBits = maskBits;
    source.maskX = r.I32(maskField);
    source.maskY = r.I32(maskField + 4);
    return true;
}

void CEnhancedPlayer::CreatePatternBrush(const CRecordView& r, bool monochrome) {
    GdiObject object;
    object.kind = GdiObject::Kind::Brush;
    object.brush.style = kBrushDibPatternPtStyle;
    object.brush.color = 0x808080;  // stands in when the bitmap cannot be read
    CRecordView bits;
    auto header = RecordBitmap(r, kEmfBody + 8, r.U32(kEmfBody + 4), bits);
    if (header && static_cast<std::uint64_t>(header->width) * static_cast<std::uint64_t>(header->height) <=
                      kMaxPatternPixels) {
        // A monochrome brush's two colours are the text and background colours.
        if (monochrome) header->colors = {0x000000, 0xFFFFFF};
        if (auto image = DecodeDib(*header, bits, 0, 0, header->width, header->height, false)) {
            object.brush.pattern = std::make_shared<const DibImage>(std::move(*image));
            object.brush.monochrome = monochrome && header->bitsPerPixel == 1;
        }
    }
    m_dc.CreateObjectAt(r.U32(kEmfBody), std::move(object));
}

void CEnhancedPlayer::Blt(std::uint32_t type, const CRecordView& r) {
    // Destination x, y, width, height; raster operation (or blend function,
    // or transparent colour); source x, y; source transform; source
    // background colour; colour usage; bitmap info and bits; then source
    // width and height for the stretching records, or the mask of MaskBlt.
    constexpr std::size_t kDestination = kEmfAfterBounds;
    constexpr std::size_t kRop = kEmfAfterBounds + 16;
    constexpr std::size_t kSource = kEmfAfterBounds + 20;
    constexpr std::size_t kSourceTransform = kEmfAfterBounds + 28;
    constexpr std::size_t kUsage = kEmfAfterBounds + 56;
    constexpr std::size_t kBitmap = kEmfAfterBounds + 60;
    constexpr std::size_t kSourceSize = kEmfAfterBounds + 76;
    constexpr std::size_t kMask = kEmfAfterBounds + 76;
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
    const Affine sourceTransform = ReadEnhancedTransform(r, kSourceTransform);
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
    if (type == kEmrAlphaBlend) {
        source.opacity = ((rop >> 16) & 0xFF) / 255.0;
        source.keepAlpha = ((rop >> 24) & 0xFF) & kAlphaFromSource;
        operation = kSourceCopyRop;
        if (!header) return;
    } else if (type == kEmrTransparentBlt) {
        source.transparent = ((rop & 0xFF) << 16) | (rop & 0xFF00) | ((rop >> 16) & 0xFF);
        operation = kSourceCopyRop;
        if (!header) return;
    } else if (type == kEmrMaskBlt) {
        // Mask x, y, colour usage, bitmap info and bits. The raster
        // operation's top byte is the operation where the mask is clear.
        if (ReadMask(r, kMask, mask, source)) source.backgroundCode = (rop >> 24) & 0xFF;
        operation = rop & 0x00FFFFFF;
    }
    m_dc.StretchBlt(source, destination, operation);
}

void CEnhancedPlayer::PlgBlt(const CRecordView& r) {
    // Three destination corners; source x, y, width, height; source
    // transform; background colour; colour usage; bitmap info and bits;
    // mask x, y, colour usage, bitmap info and bits.
    constexpr std::size_t kCorners = kEmfAfterBounds;
    constexpr std::size_t kSource = kEmfAfterBounds + 24;
    constexpr std::size_t kUsage = kEmfAfterBounds + 68;
    constexpr std::size_t kBitmap = kEmfAfterBounds + 72;
    constexpr std::size_t kMask = kEmfAfterBounds + 88;
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
    std::optional<DibHeader> mask;
    ReadMask(r, kMask, mask, source);
    m_dc.PlgBlt(source, ReadEnhancedPoint(r, kCorners), ReadEnhancedPoint(r, kCorners + 8),
                ReadEnhancedPoint(r, kCorners + 16));
}

void CEnhancedPlayer::StretchDIBits(const CRecordView& r) {
    // Destination x, y; source x, y, width, height; bitmap info and bits;
    // colour usage; raster operation; destination width, height.
    constexpr std::size_t kFields = kEmfAfterBounds;
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
    constexpr std::size_t kFields = kEmfAfterBounds;
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
    m_dc.StretchBlt(source, {x, y, x + width, y + height}, kSourceCopyRop);
}

void CEnhancedPlayer::GradientFill(const CRecordView& r) {
    constexpr std::uint32_t kRectHorizontal = 0;
    constexpr std::uint32_t kRectVertical = 1;
    constexpr std::uint32_t kTriangle = 2;
    const std::uint32_t vertices = r.U32(kEmfAfterBounds);
    const std::uint32_t shapes = r.U32(kEmfAfterBounds + 4);
    const std::uint32_t mode = r.U32(kEmfAfterBounds + 8);
    const std::size_t verticesAt = kEmfAfterBounds + 12;
    if (!r.HasArray(verticesAt, vertices, 16)) return;
    auto vertex = [&](std::uint32_t index) {
        const std::size_t at = verticesAt + 16 * std::size_t{index};
        return CDeviceContext::GradientVertex{ReadEnhancedPoint(r, at), r.U16(at + 8) / 65535.0,
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

}  // namespace metafile
