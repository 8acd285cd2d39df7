#include "cli/palm_file_commands.h"

#include "engine/output_replacement.h"
#include "engine/palm_database.h"
#include "engine/palm_picture.h"
#include "engine/picture_png_file.h"
#include "engine/windows_1252.h"
#include "imagelib/image_bitmap.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

namespace {

// Stored dates count seconds of local wall-clock time from 1904-01-01, so
// they are shown as they are, without a time zone.
std::string palmDate(std::uint32_t seconds) {
    const std::time_t unixTime = static_cast<std::time_t>(seconds) - PalmDatabase::kPalmEpochOffset;
    std::tm parts{};
    if (gmtime_r(&unixTime, &parts) == nullptr) return "?";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// Names and four-character codes, with control characters shown as
// '?' so that every fact stays on its line.
std::string printable(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return result;
}

std::string compressionName(const PalmBitmapRecord& bitmap) {
    switch (bitmap.compressed ? bitmap.compressionType : kPalmNoCompression) {
        case kPalmScanlineCompression:
            return "scanline";
        case kPalmRleCompression:
            return "rle";
        case kPalmPackBitsCompression:
            return "packbits";
        default:
            return "none";
    }
}

std::string transparency(const PalmBitmapRecord& bitmap) {
    if (!bitmap.hasTransparency) return "none";
    char text[32];
    if (bitmap.pixelSize == 16) {
        std::snprintf(text, sizeof text, "colour-0x%04X",
                      static_cast<unsigned>(bitmap.transparentValue & 0xFFFF));
    } else {
        std::snprintf(text, sizeof text, "index-%u", static_cast<unsigned>(bitmap.transparentValue));
    }
    return text;
}

void describeBitmap(std::ostream& out, const PalmBitmapRecord& bitmap) {
    out << "  bitmap: version=" << bitmap.version
        << " byte-order=" << (bitmap.littleEndian ? "little" : "big") << " size=" << bitmap.width << "x"
        << bitmap.height << " depth=" << bitmap.pixelSize << " density=" << bitmap.density
        << " compression=" << compressionName(bitmap)
        << " colour-table=" << (bitmap.hasColorTable ? std::to_string(bitmap.colorTable.size()) : "none")
        << " transparency=" << transparency(bitmap) << " offset=" << bitmap.offset
        << " header-bytes=" << bitmap.headerSize << " data-bytes=" << bitmap.payloadLength
        << " pixel-bytes=" << bitmap.pixels.size() << "\n";
}

}  // namespace

std::string describePalmFile(const std::string& path, const PalmDatabaseRecord& file) {
    std::ostringstream out;
    out << "file: " << path << "\n";
    if (file.bareBitmap) {
        out << "kind: bitmap\n";
        for (const auto& bitmap : file.resources.front().bitmaps) describeBitmap(out, bitmap);
        return out.str();
    }
    char attributes[8];
    std::snprintf(attributes, sizeof attributes, "0x%04X", static_cast<unsigned>(file.attributes));
    out << "kind: database\n"
        << "name: " << printable(decodeWindows1252(file.name)) << "\n"
        << "type: " << printable(file.type) << "\n"
        << "creator: " << printable(file.creator) << "\n"
        << "attributes: " << attributes << "\n"
        << "version: " << file.version << "\n"
        << "created: " << palmDate(file.creationDate) << "\n"
        << "modified: " << palmDate(file.modificationDate) << "\n"
        << "resources: " << file.resources.size() << "\n";
    for (const auto& resource : file.resources) {
        out << "resource: type=" << printable(resource.type) << " id=" << resource.id
            << " offset=" << resource.offset << " length=" << resource.length << "\n";
        for (const auto& bitmap : resource.bitmaps) describeBitmap(out, bitmap);
    }
    return out.str();
}

int printPalmFileInfo(const std::vector<std::string>& paths, std::ostream& out, std::ostream& errors) {
    int status = 0;
    bool first = true;
    for (const auto& path : paths) {
        try {
            const std::string description = describePalmFile(path, readPalmDatabaseFile(path));
            out << (first ? "" : "\n") << description;
            first = false;
        } catch (const std::exception& error) {
            errors << "kestrin-convert: " << path << ": " << error.what() << "\n";
            status = 1;
        }
    }
    out.flush();
    return status;
}

std::string describeImages(const PalmDatabaseRecord& database) {
    struct Image {
        int width, height, depth;
        auto operator<=>(const Image&) const = default;
    };
    // The halves of a picture are the same family in resources of one type,
    // each of half the height.
    std::map<std::tuple<std::string, int, int, int>, int> heights;
    for (const auto& resource : database.resources)
        for (const auto& bitmap : resource.bitmaps)
            heights[{resource.type, bitmap.density, bitmap.width, bitmap.pixelSize}] += bitmap.height;
    std::vector<Image> images;
    for (const auto& [key, height] : heights) {
        const Image image{std::get<2>(key), height, std::get<3>(key)};
        if (std::find(images.begin(), images.end(), image) == images.end()) images.push_back(image);
    }
    std::sort(images.begin(), images.end(), [](const Image& a, const Image& b) {
        return std::pair(a.width * a.height, a.depth) < std::pair(b.width * b.height, b.depth);
    });
    if (images.empty()) return "no images";
    std::string text = images.size() == 1 ? "a " : "";
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (i > 0) text += i + 1 == images.size() ? " and " : ", ";
        text += std::to_string(images[i].width) + "x" + std::to_string(images[i].height) + " " +
                std::to_string(images[i].depth) + "-bit";
    }
    return text + (images.size() == 1 ? " image" : " images");
}

namespace {

// 12345 as "12,345".
std::string withThousands(std::uintmax_t number) {
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

}  // namespace

std::string describeWrittenDatabase(const std::string& path) {
    try {
        const PalmDatabaseRecord database = readPalmDatabaseFile(path);
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        return path + ": " + (error ? std::string("?") : withThousands(size)) + " bytes, " +
               describeImages(database);
    } catch (const std::exception& error) {
        return path + ": " + error.what();
    }
}

std::optional<int> parseDensity(const std::string& text) {
    if (text == "low") return kLowDensity;
    if (text == "high") return kHighestDensity;
    for (int density : {72, 108, 144, 216, 288})
        if (text == std::to_string(density)) return density;
    return std::nullopt;
}

int extractPalmPicture(const std::string& input, const std::string& output, int density, bool replaceExisting,
                       std::ostream& errors) {
    if (const auto refusal = outputRefusal(output, OutputKind::kPng, replaceExisting)) {
        errors << "kestrin-convert: " << output << ": " << refusal->reason
               << (refusal->exists ? " (use --force to replace it)" : "") << "\n";
        return 1;
    }
    try {
        CMemoryBitmap picture;
        renderViewerPicture(readPalmDatabaseFile(input), density, picture);
        writePicturePng(picture, output, input, replaceExisting);
        return 0;
    } catch (const PictureFileError& error) {
        errors << "kestrin-convert: " << output << ": " << error.reason() << "\n";
    } catch (const std::exception& error) {
        errors << "kestrin-convert: " << input << ": " << error.what() << "\n";
    }
    return 1;
}
