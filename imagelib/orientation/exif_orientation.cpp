#include "imagelib/orientation/exif_orientation.h"

#include "imagelib/byte_order.h"

namespace {

// Byte-order mark, the number 42 and the offset of the first directory.
constexpr std::size_t kHeaderBytes = 8;
constexpr std::uint16_t kMagicNumber = 42;
// A directory: an entry count, then entries of tag, type, count and a value
// of four bytes (or the offset of a longer one).
constexpr std::size_t kCountBytes = 2;
constexpr std::size_t kEntryBytes = 12;
constexpr std::size_t kEntryTypeOffset = 2;
constexpr std::size_t kEntryCountOffset = 4;
constexpr std::size_t kEntryValueOffset = 8;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
// Some writers store the orientation as a 32-bit number; every reader takes it.
constexpr std::uint16_t kTypeLong = 4;

class ByteOrder {
public:
    explicit ByteOrder(bool bigEndian) : m_bigEndian(bigEndian) {}
    std::uint16_t Read16(const std::uint8_t* p) const { return m_bigEndian ? ReadBE16(p) : ReadLE16(p); }
    std::uint32_t Read32(const std::uint8_t* p) const { return m_bigEndian ? ReadBE32(p) : ReadLE32(p); }

private:
    bool m_bigEndian;
};

}  // namespace

int ReadExifOrientation(const std::uint8_t* block, std::size_t size) {
    if (block == nullptr || size < kHeaderBytes) return kOrientationAsStored;
    bool bigEndian = false;
    if (block[0] == 'M' && block[1] == 'M')
        bigEndian = true;
    else if (block[0] != 'I' || block[1] != 'I')
        return kOrientationAsStored;
    const ByteOrder order(bigEndian);
    if (order.Read16(block + 2) != kMagicNumber) return kOrientationAsStored;

    // The orientation of the picture itself lives in the first directory;
    // the later ones describe thumbnails. Only that one is read, so no chain
    // of directories is followed and none can loop.
    const std::uint32_t directory = order.Read32(block + 4);
    if (directory < kHeaderBytes || directory > size - kCountBytes) return kOrientationAsStored;
    const std::size_t entryCount = order.Read16(block + directory);
    // A directory claiming more entries than the block holds is not trusted
    // in any of them.
    if (entryCount > (size - directory - kCountBytes) / kEntryBytes) return kOrientationAsStored;

    const std::uint8_t* entries = block + directory + kCountBytes;
    for (std::size_t i = 0; i < entryCount; ++i) {
        const std::uint8_t* entry = entries + i * kEntryBytes;
        if (order.Read16(entry) != kOrientationTag) continue;
        const std::uint16_t type = order.Read16(entry + kEntryTypeOffset);
        if ((type != kTypeShort && type != kTypeLong) || order.Read32(entry + kEntryCountOffset) != 1)
            return kOrientationAsStored;
        // The whole number is checked, so a LONG of 0x10006 is no 6.
        const std::uint32_t value = type == kTypeShort ? order.Read16(entry + kEntryValueOffset)
                                                       : order.Read32(entry + kEntryValueOffset);
        return value >= kOrientationAsStored && value <= kOrientationQuarterAnticlockwise
                   ? static_cast<int>(value)
                   : kOrientationAsStored;
    }
    return kOrientationAsStored;
}
