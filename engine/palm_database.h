#pragma once

#include "engine/conversion_settings.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

class OutputFile;
class PalmBitmap;

struct ResourceId {
    std::array<char, 4> type;
    std::uint16_t id;
};

// Fills a freshly built bitmap object with the picture, reduced to the
// object's depth and scaled to its size. The conversion run decodes and scales
// the source file each time; tests hand in pictures made in code.
class BitmapLoader {
public:
    virtual ~BitmapLoader() = default;
    // False when the picture could not be provided; the loader has already
    // told the user why.
    virtual bool load(PalmBitmap& bitmap) = 0;
};

// The Palm OS resource database of type "pict" and creator "Vxmr" that the
// on-device viewer opens. The 78-byte header and the resource list are
// big-endian whatever the byte order of the bitmaps inside.
class PalmDatabase {
public:
    static constexpr std::size_t kNameFieldSize = kMaxImageNameLength + 1;
    static constexpr std::size_t kHeaderSize = 78;
    static constexpr std::size_t kResourceEntrySize = 10;
    // Where the second resource entry keeps its data offset.
    static constexpr std::uint64_t kSecondOffsetPosition = kHeaderSize + kResourceEntrySize + 6;
    // Seconds from 1904-01-01 00:00:00, the device's epoch, to 1970-01-01 00:00:00.
    static constexpr std::int64_t kPalmEpochOffset = 2082844800;

    // 1 for choices 0 and 1, 2 for choices 2 and 3; other choices throw
    // std::invalid_argument.
    static int resourceCount(int destinationOs);
    // Type and ID of resource 0 or 1 of a choice.
    static ResourceId resourceId(int destinationOs, int index);
    // Offset of the first resource's data: behind the header, the entries and
    // a 2-byte gap (90 with one resource, 100 with two).
    static std::uint32_t firstResourceOffset(int destinationOs);

    // Writes the header, the resource list (the second entry's offset as 0,
    // to be patched) and the gap. The name is stored byte for byte, cut to 31
    // bytes so that a terminating NUL always fits, and padded with zeros.
    static void writeHeader(OutputFile& file, const std::string& imageName, int destinationOs,
                            std::uint32_t creationDate);
    // Once the first resource is complete: stores the current position as the
    // second resource's offset and returns to the end of the file.
    static void patchSecondOffset(OutputFile& file);

    // The local wall-clock time of `now` (in the zone the TZ environment
    // variable names, else the system's) as seconds since 1904-01-01, cut to
    // 32 bits: now + local UTC offset at `now` + kPalmEpochOffset.
    static std::uint32_t creationDateAt(std::time_t now);
    static std::uint32_t currentCreationDate() { return creationDateAt(std::time(nullptr)); }

    // Builds, loads and writes every bitmap of the resource plan behind the
    // header, patching the second resource's offset when there is one. Stops
    // at the first load that fails and returns false: nothing more is built,
    // and with choice 2 nothing at all is written unless both full pictures
    // loaded. Write failures throw OutputFileError.
    static bool writeImages(OutputFile& file, const ConversionSettings& settings, BitmapLoader& loader);

    // The whole database, header and images, written into memory instead of
    // a file: what a conversion with these settings would write, for a caller
    // that shows it before anything is saved. Empty when a load failed.
    static std::vector<std::uint8_t> writeToMemory(const std::string& imageName,
                                                   const ConversionSettings& settings, BitmapLoader& loader,
                                                   std::uint32_t creationDate);
};
