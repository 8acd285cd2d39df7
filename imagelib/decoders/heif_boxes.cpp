#include "imagelib/decoders/heif_boxes.h"

#include <algorithm>
#include <cstring>
#include <tuple>
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
// iloc construction methods: bytes in the file, in the meta box's idat.
constexpr unsigned kInFile = 0;
constexpr unsigned kInMetaData = 1;

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

struct Extent {
    unsigned method = kInFile;
    std::uint64_t start = 0;
    // Length 0 runs to the end of the data.
    std::uint64_t end = 0;

    bool operator<(const Extent& other) const {
        return std::tie(method, start) < std::tie(other.method, other.start);
    }
};

using ItemExtents = std::unordered_map<std::uint32_t, std::vector<Extent>>;

// The number of entries the item infos hold.
std::uint64_t CountItemInfos(const Box& iinf) {
    FieldReader fields(iinf.body, iinf.bodySize);
    const std::uint64_t version = fields.Read(kFullBoxBytes) >> 24;
    fields.Skip(version == 0 ? 2 : 4);
    if (fields.Failed()) return 0;
    BoxWalker entries(fields.Here(), fields.Left());
    std::uint64_t count = 0;
    for (Box entry; entries.Next(entry);) ++count;
    return count;
}

bool IsGridInfo(const Box& infe) {
    FieldReader fields(infe.body, infe.bodySize);
    const std::uint64_t version = fields.Read(kFullBoxBytes) >> 24;
    if (version < 2) return false;
    fields.Skip(version == 2 ? 2 : 4);  // the item's number
    fields.Skip(2);                     // protection
    return !fields.Failed() && fields.Left() >= 4 && std::memcmp(fields.Here(), "grid", 4) == 0;
}

bool HasGridInfo(const Box& iinf) {
    FieldReader fields(iinf.body, iinf.bodySize);
    const std::uint64_t version = fields.Read(kFullBoxBytes) >> 24;
    fields.Skip(version == 0 ? 2 : 4);
    if (fields.Failed()) return false;
    BoxWalker entries(fields.Here(), fields.Left());
    for (Box entry; entries.Next(entry);)
        if (entry.Is("infe") && IsGridInfo(entry)) return true;
    return false;
}

// The items' locations; returns the number of items read.
std::uint64_t ReadLocations(const Box& iloc, ItemExtents& extents) {
    FieldReader fields(iloc.body, iloc.bodySize);
    const std::uint64_t version = fields.Read(kFullBoxBytes) >> 24;
    const std::uint64_t sizes = fields.Read(2);
    const std::size_t offsetBytes = sizes >> 12 & 15, lengthBytes = sizes >> 8 & 15,
                      baseBytes = sizes >> 4 & 15;
    const std::size_t indexBytes = version >= 1 ? sizes & 15 : 0;
    const std::size_t idBytes = version < 2 ? 2 : 4;
    const std::uint64_t items = fields.Read(idBytes);
    std::uint64_t read = 0;
    for (std::uint64_t i = 0; i < items; ++i) {
        const auto item = static_cast<std::uint32_t>(fields.Read(idBytes));
        const unsigned method = version >= 1 ? static_cast<unsigned>(fields.Read(2) & 15) : kInFile;
        fields.Skip(2);  // data reference
        const std::uint64_t base = fields.Read(baseBytes);
        const std::uint64_t count = fields.Read(2);
        std::vector<Extent>& located = extents[item];
        for (std::uint64_t i = 0; i < count && !fields.Failed(); ++i) {
            fields.Skip(indexBytes);
            const std::uint64_t offset = fields.Read(offsetBytes);
            const std::uint64_t length = fields.Read(lengthBytes);
            // Extents inside other items are not followed.
            if (method != kInFile && method != kInMetaData) continue;
            const std::uint64_t start = base + offset;
            const std::uint64_t end = length == 0 || start + length < start ? UINT64_MAX : start + length;
            located.push_back({method, start, end});
        }
        if (fields.Failed()) break;
        ++read;
    }
    return read;
}

std::uint64_t CountAssociations(const Box& ipma) {
    FieldReader fields(ipma.body, ipma.bodySize);
    const std::uint64_t versionAndFlags = fields.Read(kFullBoxBytes);
    const std::size_t idBytes = versionAndFlags >> 24 < 1 ? 2 : 4;
    const std::size_t associationBytes = (versionAndFlags & 1) != 0 ? 2 : 1;
    const std::uint64_t entries = fields.Read(4);
    std::uint64_t read = 0;
    for (; read < entries; ++read) {
        fields.Skip(idBytes);
        fields.Skip(static_cast<std::size_t>(fields.Read(1)) * associationBytes);
        if (fields.Failed()) break;
    }
    return read;
}

// True when two of the pictures are one, or their coded data overlap.
bool PicturesShareData(std::vector<std::uint32_t> pictures, const ItemExtents& extents) {
    std::sort(pictures.begin(), pictures.end());
    if (std::adjacent_find(pictures.begin(), pictures.end()) != pictures.end()) return true;
    std::vector<Extent> data;
    for (const std::uint32_t picture : pictures) {
        const auto located = extents.find(picture);
        if (located != extents.end()) data.insert(data.end(), located->second.begin(), located->second.end());
    }
    std::sort(data.begin(), data.end());
    for (std::size_t i = 1; i < data.size(); ++i)
        if (data[i].method == data[i - 1].method && data[i].start < data[i - 1].end) return true;
    return false;
}

// The pictures of each derived image, by the "dimg" references; returns the
// number of reference boxes.
std::uint64_t ReadDerivations(const Box& iref, std::vector<std::vector<std::uint32_t>>& derived) {
    FieldReader fields(iref.body, iref.bodySize);
    const std::size_t idBytes = fields.Read(kFullBoxBytes) >> 24 == 0 ? 2 : 4;
    if (fields.Failed()) return 0;
    BoxWalker references(fields.Here(), fields.Left());
    std::uint64_t count = 0;
    for (Box reference; references.Next(reference); ++count) {
        if (!reference.Is("dimg")) continue;
        FieldReader ids(reference.body, reference.bodySize);
        ids.Skip(idBytes);  // the derived image
        const std::uint64_t pictures = ids.Read(2);
        std::vector<std::uint32_t>& listed = derived.emplace_back();
        for (std::uint64_t i = 0; i < pictures && !ids.Failed(); ++i)
            listed.push_back(static_cast<std::uint32_t>(ids.Read(idBytes)));
        if (ids.Failed()) listed.pop_back();
    }
    return count;
}

}  // namespace

HeifItemCensus CountHeifItems(const std::uint8_t* data, std::size_t size) {
    HeifItemCensus census;
    BoxWalker top(data, size);
    Box meta;
    bool found = false;
    while (!found && top.Next(meta)) found = meta.Is("meta");
    if (!found || meta.bodySize < kFullBoxBytes) return census;

    ItemExtents extents;
    std::vector<std::vector<std::uint32_t>> derived;
    BoxWalker children(meta.body + kFullBoxBytes, meta.bodySize - kFullBoxBytes);
    for (Box child; children.Next(child);) {
        std::uint64_t entries = 0;
        if (child.Is("iinf")) {
            entries = CountItemInfos(child);
            census.hasGrid = census.hasGrid || HasGridInfo(child);
        } else if (child.Is("iloc")) {
            entries = ReadLocations(child, extents);
        } else if (child.Is("iref")) {
            entries = ReadDerivations(child, derived);
        } else if (child.Is("iprp")) {
            BoxWalker properties(child.body, child.bodySize);
            for (Box property; properties.Next(property);)
                if (property.Is("ipma")) entries = std::max(entries, CountAssociations(property));
        }
        census.longestItemList = std::max(census.longestItemList, entries);
    }
    for (const std::vector<std::uint32_t>& pictures : derived) {
        census.mostDerivedPictures = std::max<std::uint64_t>(census.mostDerivedPictures, pictures.size());
        census.picturesShareData = census.picturesShareData || PicturesShareData(pictures, extents);
    }
    return census;
}
