#include "imagelib/image_bitmap.h"

#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/limits/decode_limits.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

const char kOutOfMemory[] = "Out of memory creating bitmap.";

// Whatever one decode's limits say, no bitmap exceeds the default ones: the
// resizer and the engine are built for pictures within them.
constexpr DecodeLimits kCeiling{};

[[noreturn]] void ThrowOutOfMemory() {
    throw CTextException(ERR_NO_MEMORY, kOutOfMemory);
}

// A size over the ceiling fails as an allocation would, saying why.
[[noreturn]] void ThrowOverCeiling(int width, int height, int bpp) {
    throw CTextException(ERR_NO_MEMORY, kOutOfMemory, kCeiling.DescribeOverLimit(width, height, bpp));
}

bool IsSupportedDepth(int bpp) {
    return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

void PutLE32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

void PutLE16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

// A photo's pixels are tens of megabytes of fresh memory that the decoder
// touches exactly once. With 4 KiB pages that is one page fault per 4 KiB,
// which costs more than decoding the JPEG on some (virtual) machines; asking
// for transparent huge pages makes it one per 2 MiB. Only a hint: where the
// system has none, nothing changes.
void PreferHugePages([[maybe_unused]] std::uint8_t* block, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kWorthIt = std::size_t{8} << 20;
    if (size < kWorthIt) return;
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t last = (start + size) & ~(pageSize - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace

void CImageBitmap::Create(int width, int height, int bpp, bool hasAlpha) {
    FreeStorage();
    AllocStorage(width, height, bpp, hasAlpha);
}

void CImageBitmap::CreateWindow(int width, int height, int bpp, bool hasAlpha, int windowRows) {
    // Only the slots are held: the picture's rows may add up to more than
    // any bitmap the ceiling allows.
    if (!kCeiling.AllowsSize(width, height)) ThrowOverCeiling(width, height, bpp);
    const int slots = std::clamp(windowRows, 1, height);
    CheckedStorageSize(width, slots, bpp, RowBytes(width, bpp));
    Create(width, slots, bpp, hasAlpha);
    const std::vector<std::uint8_t*> slotRows(m_lines);
    m_lines.resize(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        m_lines[static_cast<std::size_t>(y)] = slotRows[static_cast<std::size_t>(y % slots)];
    m_height = height;
    m_windowRows = slots;
}

void CImageBitmap::Lock(bool, bool) {
    ++m_lockCount;
}

void CImageBitmap::Unlock() {
    --m_lockCount;
}

std::size_t CImageBitmap::RowBytes(int width, int bpp) {
    // Rounding up is the same as the classic "+1 for a partial 1-bit byte" rule
    // for every depth the library creates, and safe for the others.
    return static_cast<std::size_t>(
        (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bpp) + 7) / 8);
}

std::size_t CImageBitmap::CheckedStorageSize(int width, int height, int bpp, std::size_t stride) {
    if (!IsSupportedDepth(bpp)) ThrowOutOfMemory();
    if (!kCeiling.AllowsSize(width, height)) ThrowOverCeiling(width, height, bpp);
    auto bytes = CheckedMultiply(stride, static_cast<std::uint64_t>(height));
    if (!bytes || *bytes > kCeiling.maxBitmapBytes) ThrowOverCeiling(width, height, bpp);
    return static_cast<std::size_t>(*bytes);
}

void CImageBitmap::SetPaletteEntries(const PaletteEntry* entries) {
    if (m_palette != nullptr && entries != nullptr)
        std::memcpy(m_palette, entries, sizeof(PaletteEntry) * static_cast<std::size_t>(GetPaletteSize()));
}

void CImageBitmap::SetFormat(int width, int height, int bpp, bool hasAlpha) {
    m_width = width;
    m_height = height;
    m_bpp = bpp;
    m_hasAlpha = hasAlpha;
    m_windowRows = 0;
    BuildLineArray();
    if (bpp < 16 && m_palette != nullptr) {
        const int count = 1 << bpp;
        const int step = 255 / (count - 1);
        for (int i = 0; i < count; ++i) {
            const auto level = static_cast<std::uint8_t>(step * i);
            m_palette[i] = PaletteEntry{level, level, level, 255};
        }
    }
}

void CImageBitmap::CopyFrom(const CImageBitmap& source, int bpp) {
    // The rows a window once held are gone.
    if (source.GetWindowRows() != 0)
        throw CTextException(ERR_UNSUPPORTED_DATA, "Unsupported bitmap conversion.");
    const int width = source.GetWidth();
    const int height = source.GetHeight();
    if (bpp == 0 || bpp == source.GetDepth()) {
        if (&source == this) return;
        FreeStorage();
        AllocStorage(width, height, source.GetDepth(), source.HasAlphaChannel());
        const std::size_t rowBytes = RowBytes(width, source.GetDepth());
        for (int y = 0; y < height; ++y) std::memcpy(GetRows()[y], source.GetRows()[y], rowBytes);
        if (source.GetDepth() <= 8 && source.GetPalette() != nullptr) SetPaletteEntries(source.GetPalette());
        return;
    }
    if (bpp != 32 || (source.GetDepth() != 8 && source.GetDepth() != 1))
        throw CTextException(ERR_UNSUPPORTED_DATA, "Unsupported bitmap conversion.");
    if (&source == this) throw CTextException(ERR_UNSUPPORTED_DATA, "Unsupported bitmap conversion.");

    Create(width, height, 32, source.HasAlphaChannel());
    const PaletteEntry* palette = source.GetPalette();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = source.GetRows()[y];
        std::uint8_t* out = GetRows()[y];
        for (int x = 0; x < width; ++x, out += 4) {
            PaletteEntry color;
            if (source.GetDepth() == 8) {
                color = palette != nullptr ? palette[in[x]] : PaletteEntry{in[x], in[x], in[x], 255};
            } else {
                const bool set = (in[x >> 3] >> (7 - (x & 7))) & 1;
                if (palette != nullptr)
                    color = palette[set ? 1 : 0];
                else
                    color = set ? PaletteEntry{0, 0, 0, 255} : PaletteEntry{255, 255, 255, 255};
            }
            out[0] = color.blue;
            out[1] = color.green;
            out[2] = color.red;
            out[3] = color.alpha;
        }
    }
}

// ---------------------------------------------------------------------------

CDIBBitmap::CDIBBitmap() {
    Create(16, 16, 8, false);
}

CDIBBitmap::~CDIBBitmap() {
    FreeStorage();
}

std::size_t CDIBBitmap::GetLineStride() const {
    return (RowBytes(m_width, m_bpp) + 3) & ~std::size_t{3};
}

std::size_t CDIBBitmap::GetMemorySize() const {
    return m_blockSize + sizeof(*this);
}

void CDIBBitmap::AllocStorage(int width, int height, int bpp, bool hasAlpha) {
    const std::size_t stride = IsSupportedDepth(bpp) && width > 0 && width <= kCeiling.maxSide
                                   ? (RowBytes(width, bpp) + 3) & ~std::size_t{3}
                                   : 0;
    const std::size_t rowArea = CheckedStorageSize(width, height, bpp, stride);
    const std::size_t paletteBytes = bpp < 16 ? sizeof(PaletteEntry) * (std::size_t{1} << bpp) : 0;
    const std::size_t total = kInfoHeaderSize + paletteBytes + rowArea;

    // Zeroed storage: a decoder that stops early leaves black, not stale heap.
    auto* block = static_cast<std::uint8_t*>(std::calloc(total, 1));
    if (block == nullptr) ThrowOutOfMemory();
    PreferHugePages(block, total);
    m_block.reset(block);
    m_blockSize = total;

    PutLE32(block + 0, kInfoHeaderSize);
    PutLE32(block + 4, static_cast<std::uint32_t>(width));
    PutLE32(block + 8, static_cast<std::uint32_t>(height));
    PutLE16(block + 12, 1);
    PutLE16(block + 14, static_cast<std::uint16_t>(bpp));
    // Compression, image size, resolutions and colour counts stay zero.

    m_palette = paletteBytes != 0 ? reinterpret_cast<PaletteEntry*>(block + kInfoHeaderSize) : nullptr;
    m_pixels = block + kInfoHeaderSize + paletteBytes;
    SetFormat(width, height, bpp, hasAlpha);
}

void CDIBBitmap::FreeStorage() {
    m_block.reset();
    m_blockSize = 0;
    m_pixels = nullptr;
    m_palette = nullptr;
    m_lines.clear();
    m_width = m_height = m_bpp = 0;
}

void CDIBBitmap::BuildLineArray() {
    const std::size_t stride = GetLineStride();
    m_lines.resize(static_cast<std::size_t>(m_height));
    for (int i = 0; i < m_height; ++i)
        m_lines[static_cast<std::size_t>(i)] = m_pixels + static_cast<std::size_t>(m_height - 1 - i) * stride;
}

// ---------------------------------------------------------------------------

CMemoryBitmap::CMemoryBitmap() {
    Create(16, 16, 8, false);
}

CMemoryBitmap::~CMemoryBitmap() {
    FreeStorage();
}

std::size_t CMemoryBitmap::GetLineStride() const {
    return RowBytes(m_width, m_bpp);
}

std::size_t CMemoryBitmap::GetMemorySize() const {
    return m_pixelBuffer.size() + m_paletteBuffer.size() * sizeof(PaletteEntry) + sizeof(*this);
}

void CMemoryBitmap::AllocStorage(int width, int height, int bpp, bool hasAlpha) {
    const std::size_t stride =
        IsSupportedDepth(bpp) && width > 0 && width <= kCeiling.maxSide ? RowBytes(width, bpp) : 0;
    const std::size_t bytes = CheckedStorageSize(width, height, bpp, stride);
    try {
        m_pixelBuffer.assign(bytes, 0);
        m_paletteBuffer.assign(bpp <= 8 ? std::size_t{1} << bpp : 0, PaletteEntry{});
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory();
    }
    m_palette = m_paletteBuffer.empty() ? nullptr : m_paletteBuffer.data();
    SetFormat(width, height, bpp, hasAlpha);
}

void CMemoryBitmap::FreeStorage() {
    m_pixelBuffer.clear();
    m_pixelBuffer.shrink_to_fit();
    m_paletteBuffer.clear();
    m_palette = nullptr;
    m_lines.clear();
    m_width = m_height = m_bpp = 0;
}

void CMemoryBitmap::BuildLineArray() {
    const std::size_t stride = GetLineStride();
    m_lines.resize(static_cast<std::size_t>(m_height));
    for (int i = 0; i < m_height; ++i)
        m_lines[static_cast<std::size_t>(i)] = m_pixelBuffer.data() + static_cast<std::size_t>(i) * stride;
}
