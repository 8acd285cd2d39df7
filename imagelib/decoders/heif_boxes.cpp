#include "imagelib/decoders/heif_boxes.h"

#include "imagelib/decoders/heif_coded_size.h"
#include "imagelib/limits/checked_arithmetic.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

// An ISO media box starts with a 32-bit big-endian size and a four-letter
// type; size 1 means a 64-bit size follows, size 0 that the box runs to the
// end of its container. A full box's body starts with a version byte and
// three bytes of flags.
constexpr std::size_t kBoxHeaderBytes = 8;
constexpr std::size_t kLargeSizeBytes = 8;
constexpr std::size_t kFullBoxBytes = 4;
// iloc: the construction method (from version 1), the data reference and
// the extent count take 16 bits each; the other fields' widths are stated in
// the box, 0 meaning the field is absent (offset 0, or the whole data).
constexpr std::size_t kLocationFieldBytes = 2;
// iloc construction methods: bytes in the file, in the meta box's idat.
constexpr unsigned kInFile = 0;
constexpr unsigned kInMetaData = 1;
// av1C: 4 bytes of profile and format ahead of its units; hvcC: the size
// of the lengths ahead of NAL units, less one, in the low bits of byte 21.
constexpr std::size_t kAv1ConfigurationBytes = 4;
constexpr std::size_t kNalLengthByte = 21;
// The extents kept for reading pictures' data, and the work of reading it:
// a unit per byte of the file and a floor; a real file's units are walked
// once, and only a few bytes of each read.
constexpr std::size_t kMaxKeptExtents = std::size_t{1} << 16;
constexpr std::uint64_t kStreamUnitsFloor = std::uint64_t{1} << 16;
// ipma: an association takes 16 bits with flag 1, else 8; its top bit marks
// the property essential, the rest is the property's place in ipco from 1.
constexpr std::uint64_t kWideAssociationIndex = 0x7FFF;
constexpr std::uint64_t kNarrowAssociationIndex = 0x7F;
// ispe: behind the full box, the width and height in 32 bits each.
constexpr std::size_t kSideBytes = 4;
// A derived image may be made of derived images; libheif follows them as
// deep as they go, real files one step.
constexpr int kMaxDerivationDepth = 8;

constexpr char kLocationsOverrun[] = "The item locations list more than their box holds.";
constexpr char kEmptyExtents[] = "The item locations repeat an extent of no size.";
constexpr char kAssociationsOverrun[] = "The property associations list more than their box holds.";
constexpr char kReferencesOverrun[] = "The item references list more than their box holds.";
constexpr char kTooManyExtents[] = "The item locations list more extents than the decoder allows.";
constexpr char kStreamsOverread[] = "The pictures' data is read more often than the file holds it.";

// Big-endian fields of a box body. A read past the end gives 0 and leaves
// the reader failed.
class FieldReader {
public:
    FieldReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_left(size) {}

    std::uint64_t Read(std::size_t bytes) {
        if (bytes > m_left) {
            m_left = 0;
            m_failed = true;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | m_data[i];
        m_data += bytes;
        m_left -= bytes;
        return value;
    }
    void Skip(std::size_t bytes) {
        const std::size_t step = std::min(bytes, m_left);
        m_failed = m_failed || step < bytes;
        m_data += step;
        m_left -= step;
    }
    // True when `count` fields of `bytes` each fit in what is left.
    bool Holds(std::uint64_t count, std::size_t bytes) const {
        const std::optional<std::uint64_t> needed = CheckedMultiply(count, bytes);
        return needed && *needed <= m_left;
    }
    bool Failed() const { return m_failed; }
    const std::uint8_t* Here() const { return m_data; }
    std::size_t Left() const { return m_left; }

private:
    const std::uint8_t* m_data;
    std::size_t m_left;
    bool m_failed = false;
};

struct Box {
    const std::uint8_t* type = nullptr;
    const std::uint8_t* body = nullptr;
    std::size_t bodySize = 0;

    bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
};

// The boxes one after another in a container; stops at the first box that
// does not fit.
class BoxWalker {
public:
    BoxWalker(const std::uint8_t* data, std::size_t size) : m_data(data), m_left(size) {}

    bool Next(Box& box) {
        if (m_left < kBoxHeaderBytes) return false;
        std::uint64_t boxSize = std::uint64_t{m_data[0]} << 24 | std::uint64_t{m_data[1]} << 16 |
                                std::uint64_t{m_data[2]} << 8 | m_data[3];
        std::size_t header = kBoxHeaderBytes;
        if (boxSize == 1) {
            if (m_left < kBoxHeaderBytes + kLargeSizeBytes) return false;
            boxSize = 0;
            for (std::size_t i = 0; i < kLargeSizeBytes; ++i)
                boxSize = boxSize << 8 | m_data[kBoxHeaderBytes + i];
            header += kLargeSizeBytes;
        } else if (boxSize == 0) {
            boxSize = m_left;
        }
        if (boxSize < header || boxSize > m_left) return false;
        box.type = m_data + 4;
        box.body = m_data + header;
        box.bodySize = static_cast<std::size_t>(boxSize) - header;
        m_data += boxSize;
        m_left -= static_cast<std::size_t>(boxSize);
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_left;
};

// What the census keeps of an item: its stored size, the size its codec
// decodes at and how many pictures its data holds, whether it is a grid,
// the pictures a derived image is made of, and where its data lies.
struct Item {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t codedPixels = 0;
    std::uint64_t codedPictures = 1;
    bool grid = false;
    // Coded in AV1, or in HEVC with NAL units behind lengths of this many
    // bytes.
    bool av1 = false;
    unsigned nalLengthBytes = 0;
    std::vector<std::uint32_t> pictures;
    unsigned method = kInFile;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;  // start, length (0: to the end)
};
using Items = std::unordered_map<std::uint32_t, Item>;

struct Census {
    HeifItemCensus result;
    Items items;
    std::uint32_t primary = 0;
    std::uint64_t maxListEntries = 0;
    const std::uint8_t* file = nullptr;
    std::size_t fileSize = 0;
    Box itemData;
    std::size_t keptExtents = 0;

    // Counts a list of `entries`; true when it may be walked.
    bool Walks(std::uint64_t entries) {
        result.longestItemList = std::max(result.longestItemList, entries);
        return entries <= maxListEntries;
    }
    void Malformed(const char* why) {
        if (result.malformed == nullptr) result.malformed = why;
    }
};

void ReadPrimary(const Box& pitm, Census& census) {
    FieldReader fields(pitm.body, pitm.bodySize);
    const std::uint64_t version = fields.Read(kFullBoxBytes) >> 24;
    census.primary = static_cast<std::uint32_t>(fields.Read(version == 0 ? 2 : 4));
}

// The item infos: how many, and which items are grids.
void ReadItemInfos(const Box& iinf, Census& census) {
    FieldReader fields(iinf.body, iinf.bodySize);
    const std::uint64_t version = fields.Read(kFullBoxBytes) >> 24;
    fields.Skip(version == 0 ? 2 : 4);  // the entries stated, which libheif reads as far as they go
    if (fields.Failed()) return;
    BoxWalker entries(fields.Here(), fields.Left());
    std::uint64_t count = 0;
    // Boxes cost their headers: all are counted, no more than the census
    // walks are read.
    for (Box entry; entries.Next(entry);) {
        if (!census.Walks(++count) || !entry.Is("infe")) continue;
        FieldReader info(entry.body, entry.bodySize);
        const std::uint64_t infoVersion = info.Read(kFullBoxBytes) >> 24;
        if (infoVersion < 2) continue;
        const auto item = static_cast<std::uint32_t>(info.Read(infoVersion == 2 ? 2 : 4));
        info.Skip(2);  // protection
        if (!info.Failed() && info.Left() >= 4 && std::memcmp(info.Here(), "grid", 4) == 0)
            census.items[item].grid = true;
    }
}

// The item locations, checked against their box; nothing of them is kept.
void ReadLocations(const Box& iloc, Census& census) {
    FieldReader fields(iloc.body, iloc.bodySize);
    const std::uint64_t version = fields.Read(kFullBoxBytes) >> 24;
    const std::uint64_t sizes = fields.Read(2);
    const std::size_t offsetBytes = sizes >> 12 & 15, lengthBytes = sizes >> 8 & 15,
                      baseBytes = sizes >> 4 & 15;
    const std::size_t indexBytes = version >= 1 ? sizes & 15 : 0;
    const std::size_t idBytes = version < 2 ? 2 : 4;
    const std::uint64_t items = fields.Read(idBytes);
    if (fields.Failed()) return;
    // Up to its extent count an entry is the item's number, the construction
    // method, the data reference and the base offset; then its extents.
    const std::size_t headBytes =
        idBytes + (version >= 1 ? kLocationFieldBytes : 0) + kLocationFieldBytes + baseBytes;
    const std::size_t extentBytes = indexBytes + offsetBytes + lengthBytes;
    if (!fields.Holds(items, headBytes + kLocationFieldBytes)) return census.Malformed(kLocationsOverrun);
    if (!census.Walks(items)) return;
    for (std::uint64_t i = 0; i < items; ++i) {
        const auto id = static_cast<std::uint32_t>(fields.Read(idBytes));
        const unsigned method = version >= 1 ? static_cast<unsigned>(fields.Read(2) & 15) : kInFile;
        fields.Skip(kLocationFieldBytes);  // data reference
        const std::uint64_t base = fields.Read(baseBytes);
        const std::uint64_t extents = fields.Read(kLocationFieldBytes);
        // An extent without fields is the whole data; twice is nothing a
        // writer means, and costs the file nothing.
        if (extentBytes == 0 && extents > 1) return census.Malformed(kEmptyExtents);
        if (!fields.Holds(extents, extentBytes)) return census.Malformed(kLocationsOverrun);
        // Data in other items is not followed.
        if (method != kInFile && method != kInMetaData) {
            fields.Skip(static_cast<std::size_t>(extents) * extentBytes);
            continue;
        }
        census.keptExtents += static_cast<std::size_t>(extents);
        if (census.keptExtents > kMaxKeptExtents) return census.Malformed(kTooManyExtents);
        Item& located = census.items[id];
        located.method = method;
        for (std::uint64_t extent = 0; extent < extents; ++extent) {
            fields.Skip(indexBytes);
            const std::uint64_t offset = fields.Read(offsetBytes);
            const std::uint64_t length = fields.Read(lengthBytes);
            located.extents.emplace_back(CheckedAdd(base, offset).value_or(UINT64_MAX), length);
        }
    }
}

// The sizes among the properties, by their place from 1: stored sizes
// (ispe) and the sizes HEVC configurations (hvcC) decode at; 0 x 0 for the
// other properties.
struct Side {
    std::uint64_t width = 0, height = 0;
    bool coded = false;
    // An av1C, or an hvcC's NAL length size.
    bool av1 = false;
    unsigned nalLengthBytes = 0;
};
std::vector<Side> ReadPropertySizes(const Box& ipco) {
    std::vector<Side> sizes;
    BoxWalker properties(ipco.body, ipco.bodySize);
    for (Box property; properties.Next(property);) {
        Side& side = sizes.emplace_back();
        if (property.Is("ispe")) {
            FieldReader fields(property.body, property.bodySize);
            fields.Skip(kFullBoxBytes);
            side.width = fields.Read(kSideBytes);
            side.height = fields.Read(kSideBytes);
        } else if (property.Is("hvcC")) {
            const std::optional<CodedSize> coded = HevcCodedSize(property.body, property.bodySize);
            if (coded) side = {coded->width, coded->height, true};
            if (property.bodySize > kNalLengthByte)
                side.nalLengthBytes = (property.body[kNalLengthByte] & 3) + 1u;
        } else if (property.Is("av1C") && property.bodySize >= kAv1ConfigurationBytes) {
            const std::optional<CodedSize> coded = Av1CodedSize(property.body + kAv1ConfigurationBytes,
                                                                property.bodySize - kAv1ConfigurationBytes);
            if (coded) side = {coded->width, coded->height, true};
            side.av1 = true;
        }
    }
    return sizes;
}

// Gives each item the first stored size and the first coded size associated
// with it.
void ReadAssociations(const Box& ipma, const std::vector<Side>& sizes, Census& census) {
    FieldReader fields(ipma.body, ipma.bodySize);
    const std::uint64_t versionAndFlags = fields.Read(kFullBoxBytes);
    const std::size_t idBytes = versionAndFlags >> 24 < 1 ? 2 : 4;
    const bool wide = (versionAndFlags & 1) != 0;
    const std::size_t associationBytes = wide ? 2 : 1;
    const std::uint64_t entries = fields.Read(4);
    if (fields.Failed()) return;
    if (!fields.Holds(entries, idBytes + 1)) return census.Malformed(kAssociationsOverrun);
    if (!census.Walks(entries)) return;
    for (std::uint64_t i = 0; i < entries; ++i) {
        const auto item = static_cast<std::uint32_t>(fields.Read(idBytes));
        const std::uint64_t count = fields.Read(1);
        if (!fields.Holds(count, associationBytes)) return census.Malformed(kAssociationsOverrun);
        bool sized = false, coded = false;
        for (std::uint64_t j = 0; j < count; ++j) {
            const std::uint64_t index =
                fields.Read(associationBytes) & (wide ? kWideAssociationIndex : kNarrowAssociationIndex);
            if (index == 0 || index > sizes.size()) continue;
            const Side& side = sizes[index - 1];
            if (side.av1) census.items[item].av1 = true;
            if (side.nalLengthBytes != 0) census.items[item].nalLengthBytes = side.nalLengthBytes;
            if (side.width == 0) continue;
            Item& described = census.items[item];
            if (side.coded && !coded) {
                described.codedPixels = CheckedMultiply(side.width, side.height).value_or(UINT64_MAX);
                coded = true;
            } else if (!side.coded && !sized) {
                described.width = side.width;
                described.height = side.height;
                sized = true;
            }
        }
    }
}

void ReadProperties(const Box& iprp, Census& census) {
    std::vector<Side> sizes;
    BoxWalker containers(iprp.body, iprp.bodySize);
    for (Box container; containers.Next(container);)
        if (container.Is("ipco")) sizes = ReadPropertySizes(container);
    BoxWalker associations(iprp.body, iprp.bodySize);
    for (Box association; associations.Next(association) && census.result.malformed == nullptr;)
        if (association.Is("ipma")) ReadAssociations(association, sizes, census);
}

// The pictures of each derived image, by the "dimg" references.
void ReadDerivations(const Box& iref, Census& census) {
    FieldReader fields(iref.body, iref.bodySize);
    const std::size_t idBytes = fields.Read(kFullBoxBytes) >> 24 == 0 ? 2 : 4;
    if (fields.Failed()) return;
    BoxWalker references(fields.Here(), fields.Left());
    std::uint64_t count = 0;
    for (Box reference; references.Next(reference);) {
        if (!census.Walks(++count) || !reference.Is("dimg")) continue;
        FieldReader ids(reference.body, reference.bodySize);
        const auto derived = static_cast<std::uint32_t>(ids.Read(idBytes));
        const std::uint64_t pictures = ids.Read(2);
        if (ids.Failed()) continue;
        if (!ids.Holds(pictures, idBytes)) return census.Malformed(kReferencesOverrun);
        std::vector<std::uint32_t>& listed = census.items[derived].pictures;
        for (std::uint64_t i = 0; i < pictures; ++i)
            listed.push_back(static_cast<std::uint32_t>(ids.Read(idBytes)));
    }
}

std::uint64_t PixelsOf(const Item& item) {
    return CheckedMultiply(item.width, item.height).value_or(UINT64_MAX);
}

// The pixels the codecs decode for an image: a coded image's own, by the
// larger of its stored size and the size its configuration decodes at; a
// derived image's pictures' as often as they are listed. A picture of
// neither size is taken to be as large as the image it helps make. Each derived
// image is summed once; a loop of derivations, or one deeper than any file
// needs, costs everything.
class DecodeWork {
public:
    explicit DecodeWork(const Items& items) : m_items(items) {}

    std::uint64_t Of(std::uint32_t id, std::uint64_t assumedPixels, int depth = 0) {
        const auto found = m_items.find(id);
        if (found == m_items.end()) return assumedPixels;
        const Item& item = found->second;
        if (item.pictures.empty()) {
            const std::uint64_t size = item.width != 0 || item.codedPixels != 0
                                           ? std::max(PixelsOf(item), item.codedPixels)
                                           : assumedPixels;
            return CheckedMultiply(size, item.codedPictures).value_or(UINT64_MAX);
        }
        m_grid = m_grid || item.grid;
        const auto [summed, first] = m_summed.try_emplace(id, UINT64_MAX);
        if (!first || depth > kMaxDerivationDepth) return summed->second;
        std::uint64_t total = 0;
        for (const std::uint32_t picture : item.pictures)
            total = CheckedAdd(total, Of(picture, PixelsOf(item), depth + 1)).value_or(UINT64_MAX);
        // The entry may have moved while the pictures were summed.
        m_summed[id] = total;
        return total;
    }
    bool Grid() const { return m_grid; }

private:
    const Items& m_items;
    // UINT64_MAX while an image's pictures are being summed.
    std::unordered_map<std::uint32_t, std::uint64_t> m_summed;
    bool m_grid = false;
};

// The sizes the coded pictures' data gives, and how many pictures it holds:
// libheif hands the codec all of it, and the codec decodes every picture at
// the size its own headers set.
void ReadCodedStreams(Census& census) {
    std::uint64_t unitsLeft = CheckedAdd(census.fileSize, kStreamUnitsFloor).value_or(UINT64_MAX);
    for (auto& [id, item] : census.items) {
        if (!item.av1 && item.nalLengthBytes == 0) continue;
        const bool inFile = item.method == kInFile;
        const std::uint8_t* data = inFile ? census.file : census.itemData.body;
        const std::size_t size = inFile ? census.fileSize : census.itemData.bodySize;
        DataSpans spans;
        for (const auto& [start, length] : item.extents) {
            if (data == nullptr || start >= size) break;
            const std::uint64_t left = size - start;
            spans.emplace_back(data + start,
                               static_cast<std::size_t>(length == 0 ? left : std::min(length, left)));
        }
        const std::optional<CodedStream> stream = item.av1
                                                      ? ScanAv1Stream(spans, unitsLeft)
                                                      : ScanHevcStream(spans, item.nalLengthBytes, unitsLeft);
        if (!stream) return census.Malformed(kStreamsOverread);
        item.codedPixels =
            std::max(item.codedPixels,
                     CheckedMultiply(stream->largest.width, stream->largest.height).value_or(UINT64_MAX));
        item.codedPictures = std::max<std::uint64_t>(stream->pictures, 1);
    }
}

void CountPrimaryWork(Census& census) {
    const auto primary = census.items.find(census.primary);
    if (primary == census.items.end()) return;
    const Item& image = primary->second;
    Item largest;
    for (const std::uint32_t picture : image.pictures) {
        const auto found = census.items.find(picture);
        if (found == census.items.end()) continue;
        largest.width = std::max(largest.width, found->second.width);
        largest.height = std::max(largest.height, found->second.height);
    }
    census.result.primaryIsDerived = !image.pictures.empty();
    if (image.pictures.empty()) largest = image;
    largest.width = CheckedAdd(largest.width, image.width).value_or(UINT64_MAX);
    largest.height = CheckedAdd(largest.height, image.height).value_or(UINT64_MAX);
    census.result.primaryCoveredPixels = PixelsOf(largest);
    DecodeWork work(census.items);
    census.result.primaryDecodedPixels = work.Of(census.primary, 0);
    census.result.primaryIsGrid = work.Grid();
}

}  // namespace

HeifItemCensus CountHeifItems(const std::uint8_t* data, std::size_t size, std::uint64_t maxListEntries) {
    Census census;
    census.maxListEntries = maxListEntries;
    census.file = data;
    census.fileSize = size;
    BoxWalker top(data, size);
    Box meta;
    bool found = false;
    while (!found && top.Next(meta)) found = meta.Is("meta");
    if (!found || meta.bodySize < kFullBoxBytes) return census.result;

    BoxWalker children(meta.body + kFullBoxBytes, meta.bodySize - kFullBoxBytes);
    for (Box child; children.Next(child);) {
        if (child.Is("pitm")) {
            ReadPrimary(child, census);
        } else if (child.Is("iinf")) {
            ReadItemInfos(child, census);
        } else if (child.Is("iloc")) {
            ReadLocations(child, census);
        } else if (child.Is("iref")) {
            ReadDerivations(child, census);
        } else if (child.Is("iprp")) {
            ReadProperties(child, census);
        } else if (child.Is("idat")) {
            census.itemData = child;
        }
        // What follows a refusal is not read.
        if (census.result.malformed != nullptr || census.result.longestItemList > maxListEntries)
            return census.result;
    }
    for (const auto& [id, item] : census.items)
        census.result.mostDerivedPictures =
            std::max<std::uint64_t>(census.result.mostDerivedPictures, item.pictures.size());
    ReadCodedStreams(census);
    if (census.result.malformed != nullptr) return census.result;
    CountPrimaryWork(census);
    return census.result;
}
