#include "cli/preview_writer.h"

#include "engine/palm_database_reader.h"
#include "engine/palm_palette.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kGap = 8;                                // pixels between bitmaps
constexpr std::uint8_t kBackground[3] = {96, 96, 96};  // around and between them

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

Canvas renderFirstResource(const PalmDatabaseRecord& database) {
    if (database.resources.empty()) throw PalmFormatError("the database holds no resource");
    const auto& bitmaps = database.resources.front().bitmaps;
    Canvas canvas;
    for (const auto& bitmap : bitmaps) {
        canvas.width += bitmap.width + (canvas.width > 0 ? kGap : 0);
        canvas.height = std::max(canvas.height, bitmap.height);
    }
    canvas.rgb.resize(static_cast<std::size_t>(canvas.width) * static_cast<std::size_t>(canvas.height) * 3);
    for (std::size_t i = 0; i < canvas.rgb.size(); ++i) canvas.rgb[i] = kBackground[i % 3];

    int left = 0;
    for (const auto& bitmap : bitmaps) {
        const PalmPalette palette(bitmap.pixelSize);
        const int depth = bitmap.pixelSize;
        const int perByte = 8 / depth;
        const int mask = (1 << depth) - 1;
        for (int y = 0; y < bitmap.height; ++y) {
            const std::uint8_t* row = bitmap.pixels.data() +
                                      static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.rowBytes);
            for (int x = 0; x < bitmap.width && x / perByte < bitmap.rowBytes; ++x) {
                const int shift = (perByte - 1 - x % perByte) * depth;
                const int index = (row[x / perByte] >> shift) & mask;
                std::uint8_t* out = canvas.rgb.data() +
                                    (static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) +
                                     static_cast<std::size_t>(left + x)) *
                                        3;
                out[0] = palette.red(index);
                out[1] = palette.green(index);
                out[2] = palette.blue(index);
            }
        }
        left += bitmap.width + kGap;
    }
    return canvas;
}

bool writePng(const Canvas& canvas, const std::string& path, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(canvas.width);
    image.height = static_cast<png_uint_32>(canvas.height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, canvas.rgb.data(), 0, nullptr)) {
        error = "Preview " + path + " could not be written: " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace

bool writePreviewPng(const std::string& databasePath, const std::string& pngPath, std::string& error) {
    try {
        const Canvas canvas = renderFirstResource(readPalmDatabaseFile(databasePath));
        if (canvas.width == 0 || canvas.height == 0) {
            error = "Preview of " + databasePath + ": the first resource holds no bitmap.";
            return false;
        }
        return writePng(canvas, pngPath, error);
    } catch (const std::exception& problem) {
        error = "Preview of " + databasePath + " could not be made: " + problem.what();
        return false;
    }
}
