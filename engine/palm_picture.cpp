#include "engine/palm_picture.h"

#include "engine/palm_palette.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

std::vector<const PalmResourceRecord*> shownResources(const PalmDatabaseRecord& database) {
    std::vector<const PalmResourceRecord*> shown;
    for (const char* type : {"abmp", "Tbmp"}) {
        for (const auto& resource : database.resources)
            if (resource.type == type && !resource.bitmaps.empty()) shown.push_back(&resource);
        if (!shown.empty()) break;
    }
    if (shown.empty()) throw PalmFormatError("The file holds no bitmap resource");
    std::stable_sort(shown.begin(), shown.end(),
                     [](const PalmResourceRecord* a, const PalmResourceRecord* b) { return a->id < b->id; });
    return shown;
}

int highestDensity(const PalmResourceRecord& resource) {
    int highest = 0;
    for (const auto& bitmap : resource.bitmaps) highest = std::max(highest, bitmap.density);
    return highest;
}

const PalmBitmapRecord* deepestOfDensity(const PalmResourceRecord& resource, int density) {
    const PalmBitmapRecord* deepest = nullptr;
    for (const auto& bitmap : resource.bitmaps)
        if (bitmap.density == density && (deepest == nullptr || bitmap.pixelSize > deepest->pixelSize))
            deepest = &bitmap;
    return deepest;
}

// The system palettes as 32-bit pixels, built once.
const std::array<std::uint8_t, 4>& systemColor(int depth, int index) {
    static const auto palettes = [] {
        std::array<std::vector<std::array<std::uint8_t, 4>>, 4> tables;
        const int depths[4] = {1, 2, 4, 8};
        for (int i = 0; i < 4; ++i) {
            const PalmPalette palette(depths[i]);
            for (int entry = 0; entry < palette.count(); ++entry)
                tables[static_cast<std::size_t>(i)].push_back(
                    {palette.blue(entry), palette.green(entry), palette.red(entry), 255});
        }
        return tables;
    }();
    const std::size_t table = depth == 1 ? 0 : depth == 2 ? 1 : depth == 4 ? 2 : 3;
    return palettes[table][static_cast<std::size_t>(index)];
}

// Scales a 5- or 6-bit channel to 0..255, rounding down, as the tools that
// read these bitmaps on the desktop do.
std::uint8_t widen(unsigned value, int bits) {
    return static_cast<std::uint8_t>(value * 255 / ((1u << bits) - 1));
}

}  // namespace

void renderPalmBitmap(const PalmBitmapRecord& bitmap, std::uint8_t* const* rows) {
    const auto width = static_cast<std::size_t>(bitmap.width);
    const auto rowBytes = static_cast<std::size_t>(bitmap.rowBytes);
    for (std::size_t y = 0; y < static_cast<std::size_t>(bitmap.height); ++y) {
        const std::uint8_t* in = bitmap.pixels.data() + y * rowBytes;
        std::uint8_t* out = rows[y];
        if (bitmap.pixelSize == 16) {
            const bool little = bitmap.pixelsLittleEndian();
            for (std::size_t x = 0; x < width; ++x, out += 4) {
                const std::uint8_t* pixel = in + 2 * x;
                const unsigned value = little ? pixel[0] | (pixel[1] << 8) : (pixel[0] << 8) | pixel[1];
                out[0] = widen(value & 0x1F, 5);
                out[1] = widen((value >> 5) & 0x3F, 6);
                out[2] = widen(value >> 11, 5);
                out[3] = 255;
            }
            continue;
        }
        const int depth = bitmap.pixelSize;
        const std::size_t perByte = static_cast<std::size_t>(8 / depth);
        const unsigned mask = (1u << depth) - 1;
        const bool lowBitsFirst = bitmap.version == 3 && bitmap.pixelFormat == kPalmIndexedLittleEndian;
        for (std::size_t x = 0; x < width; ++x, out += 4) {
            const std::size_t slot = x % perByte;
            const std::size_t shift =
                static_cast<std::size_t>(depth) * (lowBitsFirst ? slot : perByte - 1 - slot);
            const auto index = static_cast<int>((in[x / perByte] >> shift) & mask);
            if (bitmap.hasColorTable) {
                // An index beyond a short table has no colour; it shows black.
                const PalmColor color = static_cast<std::size_t>(index) < bitmap.colorTable.size()
                                            ? bitmap.colorTable[static_cast<std::size_t>(index)]
                                            : PalmColor{};
                out[0] = color.blue;
                out[1] = color.green;
                out[2] = color.red;
                out[3] = 255;
            } else {
                const auto& color = systemColor(depth, index);
                std::copy(color.begin(), color.end(), out);
            }
        }
    }
}

std::vector<int> viewerDensities(const PalmDatabaseRecord& database) {
    std::vector<int> densities;
    for (const auto& bitmap : shownResources(database).front()->bitmaps) densities.push_back(bitmap.density);
    std::sort(densities.begin(), densities.end());
    densities.erase(std::unique(densities.begin(), densities.end()), densities.end());
    return densities;
}

void renderViewerPicture(const PalmDatabaseRecord& database, int density, CImageBitmap& picture,
                         const DecodeLimits& limits) {
    const auto shown = shownResources(database);
    const int chosen = density == kHighestDensity ? highestDensity(*shown.front()) : density;
    std::vector<const PalmBitmapRecord*> parts;
    for (const PalmResourceRecord* resource : shown) {
        const PalmBitmapRecord* bitmap = deepestOfDensity(*resource, chosen);
        if (bitmap == nullptr) {
            if (parts.empty())
                throw PalmFormatError("The file holds no bitmap of density " + std::to_string(chosen));
            break;
        }
        // Only "abmp" halves of one picture are stacked; a "Tbmp" resource
        // is a picture of its own.
        if (!parts.empty() && (resource->type != "abmp" || bitmap->width != parts.front()->width)) break;
        parts.push_back(bitmap);
    }

    std::uint64_t height = 0;
    for (const auto* part : parts) height += static_cast<std::uint64_t>(part->height);
    const int width = parts.front()->width;
    const auto bytes = CheckedMultiply(static_cast<std::uint64_t>(width) * 4, height);
    if (!limits.AllowsSize(width, static_cast<std::int64_t>(height)) || !bytes ||
        *bytes > limits.maxBitmapBytes)
        throw PalmFormatError("The picture of " + std::to_string(width) + " x " + std::to_string(height) +
                              " pixels is larger than allowed");
    try {
        picture.Create(width, static_cast<int>(height), 32, false);
    } catch (const CTextException& error) {
        throw PalmFormatError(std::string("No memory for the picture: ") + error.GetMessage());
    }
    std::uint8_t* const* rows = picture.GetRows();
    for (const auto* part : parts) {
        renderPalmBitmap(*part, rows);
        rows += part->height;
    }
}
