#include "engine/palm_database_reader.h"

#include "engine/output_file.h"
#include "engine/palm_database.h"
#include "imagelib/byte_order.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>

namespace {

// The header fields read, all big-endian (the layout of PalmDatabase).
constexpr std::size_t kNameField = 0;
constexpr std::size_t kAttributesField = 32;
constexpr std::size_t kVersionField = 34;
constexpr std::size_t kCreationDateField = 36;
constexpr std::size_t kModificationDateField = 40;
constexpr std::size_t kTypeField = 60;
constexpr std::size_t kCreatorField = 64;
constexpr std::size_t kResourceCountField = 76;
constexpr std::size_t kHeaderSize = PalmDatabase::kHeaderSize;
constexpr std::size_t kEntrySize = PalmDatabase::kResourceEntrySize;
constexpr int kResourceDatabaseAttribute = 0x0001;

std::string text(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t length) {
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                       bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// A database announces itself by its resource attribute and a resource list
// that fits the file with every entry's data inside it; a bare bitmap can
// hardly pass all of that by chance. `start` holds at least the header and the
// list, when the file has them; `fileSize` is the whole file's.
bool looksLikeDatabase(std::span<const std::uint8_t> start, std::uint64_t fileSize) {
    if (start.size() < kHeaderSize + 2) return false;
    if ((ReadBE16(&start[kAttributesField]) & kResourceDatabaseAttribute) == 0) return false;
    const std::size_t count = ReadBE16(&start[kResourceCountField]);
    if (count == 0 || kHeaderSize + count * kEntrySize > start.size()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = &start[kHeaderSize + i * kEntrySize];
        const std::uint32_t offset = ReadBE32(entry + 6);
        if (offset < kHeaderSize + count * kEntrySize || offset > fileSize) return false;
    }
    return true;
}

bool looksLikeDatabase(std::span<const std::uint8_t> bytes) {
    return looksLikeDatabase(bytes, bytes.size());
}

PalmDatabaseRecord readDatabase(std::span<const std::uint8_t> bytes, PalmReadBudget& budget) {
    PalmDatabaseRecord database;
    const std::string nameField = text(bytes, kNameField, PalmDatabase::kNameFieldSize);
    database.name = nameField.substr(0, nameField.find('\0'));
    database.attributes = ReadBE16(&bytes[kAttributesField]);
    database.version = ReadBE16(&bytes[kVersionField]);
    database.creationDate = ReadBE32(&bytes[kCreationDateField]);
    database.modificationDate = ReadBE32(&bytes[kModificationDateField]);
    database.type = text(bytes, kTypeField, 4);
    database.creator = text(bytes, kCreatorField, 4);

    const std::size_t count = ReadBE16(&bytes[kResourceCountField]);
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < count; ++i) {
        budget.countRecord();
        const std::size_t entry = kHeaderSize + i * kEntrySize;
        PalmResourceRecord resource;
        resource.type = text(bytes, entry, 4);
        resource.id = ReadBE16(&bytes[entry + 4]);
        resource.offset = ReadBE32(&bytes[entry + 6]);
        starts.push_back(resource.offset);
        database.resources.push_back(std::move(resource));
    }
    std::sort(starts.begin(), starts.end());
    // Resources may share their data: a family is read once, and each
    // resource that shares it gets a copy, counted as the bitmaps it holds.
    std::map<std::size_t, const PalmResourceRecord*> readAt;
    for (auto& resource : database.resources) {
        // Resources need not be stored in the order of the list: each ends
        // where the next one's data begins.
        const auto next = std::upper_bound(starts.begin(), starts.end(), resource.offset);
        const std::size_t end = next == starts.end() ? bytes.size() : *next;
        resource.length = end - resource.offset;
        if (!resource.isBitmap()) continue;
        try {
            if (const auto shared = readAt.find(resource.offset); shared != readAt.end()) {
                for (const auto& bitmap : shared->second->bitmaps) budget.countBitmap(bitmap, false);
                resource.bitmaps = shared->second->bitmaps;
            } else {
                resource.bitmaps = readPalmBitmapFamily(bytes, resource.offset, end, budget);
                readAt.emplace(resource.offset, &resource);
            }
        } catch (const PalmFormatError& error) {
            throw PalmFormatError("Resource \"" + resource.type + "\" " + std::to_string(resource.id) + ": " +
                                  error.what());
        }
    }
    return database;
}

}  // namespace

PalmDatabaseRecord readPalmDatabase(std::span<const std::uint8_t> bytes, PalmReadBudget& budget) {
    if (looksLikeDatabase(bytes)) return readDatabase(bytes, budget);
    PalmDatabaseRecord bare;
    bare.bareBitmap = true;
    PalmResourceRecord resource;
    resource.type = "Tbmp";
    resource.length = bytes.size();
    try {
        resource.bitmaps = readPalmBitmapFamily(bytes, 0, bytes.size(), budget);
    } catch (const PalmFormatError& error) {
        throw PalmFormatError(std::string("Neither a Palm database nor a Palm bitmap: ") + error.what());
    }
    bare.resources.push_back(std::move(resource));
    return bare;
}

PalmDatabaseRecord readPalmDatabase(std::span<const std::uint8_t> bytes, const DecodeLimits& limits) {
    PalmReadBudget budget(bytes.size(), limits);
    return readPalmDatabase(bytes, budget);
}

namespace {

// Reads up to `length` bytes at `offset`; fewer at the end of the file.
std::vector<std::uint8_t> readAt(int handle, std::size_t offset, std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(handle, bytes.data() + done, length - done, static_cast<off_t>(offset + done));
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace

bool isPalmDatabaseFile(const std::string& path) {
    // Not through a link, and never waiting on a pipe someone put there.
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (handle < 0) return false;
    struct stat info {};
    bool database = false;
    if (::fstat(handle, &info) == 0 && S_ISREG(info.st_mode)) {
        std::vector<std::uint8_t> start = readAt(handle, 0, kHeaderSize);
        if (start.size() == kHeaderSize) {
            const std::vector<std::uint8_t> list =
                readAt(handle, kHeaderSize, ReadBE16(&start[kResourceCountField]) * kEntrySize + 2);
            start.insert(start.end(), list.begin(), list.end());
            database = looksLikeDatabase(start, static_cast<std::uint64_t>(info.st_size));
        }
    }
    ::close(handle);
    return database;
}

PalmDatabaseRecord readPalmDatabaseFile(const std::string& path, const DecodeLimits& limits) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw PalmFormatError("Cannot open " + path + ": " + describeSystemError(errno));
    // A folder opens as a stream too, of no sensible size.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw PalmFormatError("Cannot open " + path + ": " + describeSystemError(EISDIR));
    const std::streamoff size = in.tellg();
    // Nothing a database can describe needs more bytes than the largest
    // picture allowed.
    if (size < 0 || static_cast<std::uint64_t>(size) > limits.maxBitmapBytes)
        throw PalmFormatError("Cannot read " + path + ": not a file of a size a Palm image can have");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) throw PalmFormatError("Cannot read " + path);
    return readPalmDatabase(bytes, limits);
}
