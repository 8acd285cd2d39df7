// kestrin-thumbnailer [-s SIZE] INPUT OUTPUT.png: the picture a Palm image
// file shows on the handheld, at its highest density, fitted into SIZE x SIZE
// pixels for a file manager. Built on the engine and libpng alone, because
// file managers run thumbnailers in a sandbox with no display.
#include "engine/palm_database_reader.h"
#include "engine/palm_picture.h"
#include "engine/picture_png_file.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/resize_filter.h"
#include "imagelib/text_exception.h"

#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

constexpr int kDefaultSize = 128;
constexpr int kLargestSize = 1024;  // the largest size file managers ask for

int usage() {
    std::fputs("Usage: kestrin-thumbnailer [-s SIZE] INPUT OUTPUT.png\n", stderr);
    return 2;
}

// The picture fitted into size x size, keeping its proportions; a picture
// that fits already is left as it is, since the file manager scales up better
// than a guess here.
void fitInto(CMemoryBitmap& picture, int size) {
    const int width = picture.GetWidth(), height = picture.GetHeight();
    if (width <= size && height <= size) return;
    const double scale = static_cast<double>(size) / std::max(width, height);
    const int newWidth = std::max(1, static_cast<int>(width * scale + 0.5));
    const int newHeight = std::max(1, static_cast<int>(height * scale + 0.5));
    CTentResizeFilter(newWidth, newHeight).ApplyInPlace(picture);
}

}  // namespace

int main(int argc, char** argv) {
    int size = kDefaultSize;
    int option;
    while ((option = getopt(argc, argv, "s:")) != -1) {
        if (option != 's') return usage();
        char* end = nullptr;
        const long value = std::strtol(optarg, &end, 10);
        if (end == optarg || *end != '\0' || value < 1 || value > kLargestSize) return usage();
        size = static_cast<int>(value);
    }
    if (argc - optind != 2) return usage();
    const std::string input = argv[optind], output = argv[optind + 1];

    // A thumbnailer runs unasked on whatever lies in a folder: tighter limits
    // than a conversion the user started.
    DecodeLimits limits;
    limits.maxSide = 4096;
    limits.maxBitmapBytes = std::uint64_t{64} << 20;
    try {
        CMemoryBitmap picture;
        renderViewerPicture(readPalmDatabaseFile(input, limits), kHighestDensity, picture, limits);
        fitInto(picture, size);
        // The desktop names a fresh file; a stale thumbnail there may go.
        writePicturePng(picture, output, input, true);
        return 0;
    } catch (const CTextException& error) {
        std::fprintf(stderr, "kestrin-thumbnailer: %s: %s\n", input.c_str(), error.GetMessage());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrin-thumbnailer: %s: %s\n", input.c_str(), error.what());
    }
    return 1;
}
