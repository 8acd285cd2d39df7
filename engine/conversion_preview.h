#pragma once

#include "engine/conversion_settings.h"
#include "engine/source_loader.h"
#include "imagelib/image_bitmap.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class CDIBBitmap;

// What the handheld will show of one database: the viewer's picture at each
// density the database holds (low density first), or why there is none.
struct ConversionPreview {
    struct Picture {
        int density = 0;
        std::shared_ptr<CMemoryBitmap> pixels;  // 32 bits: blue, green, red, alpha
    };
    std::vector<Picture> pictures;
    // Of the whole database, header included.
    std::size_t databaseSize = 0;
    // Empty when the pictures are there; otherwise the text a conversion or
    // the reader gave.
    std::string error;
};

// Converts a picture already decoded from `inputPath` exactly as a conversion
// run with `settings` would, into memory, and reads the database back as the
// viewer would show it. Never throws: failures end up in `error`.
ConversionPreview previewConversion(DecodedSource decodedPicture, const std::string& inputPath,
                                    const ConversionSettings& settings, const std::string& imageName);

// Reads a database (or a bare bitmap) from a file, as the viewer would show it.
ConversionPreview previewDatabaseFile(const std::string& path);

// A small copy of a decoded picture, upright (as the file's orientation tag
// says, when `autoOrient`), for framing it by eye.
struct UprightCopy {
    std::shared_ptr<CMemoryBitmap> pixels;  // 32 bits, sRGB; null when it could not be made
    int uprightWidth = 0;                   // of the whole upright picture
    int uprightHeight = 0;
};

// Scales `decodedPicture` (of `inputPath`) so that its longer side is at most
// `longSide` pixels, its shape kept. Never throws: a failure gives no pixels.
UprightCopy previewUprightCopy(const DecodedSource& decodedPicture, const std::string& inputPath,
                               bool autoOrient, int longSide);

// Decodes `inputPath` for previewConversion, through the file's colour
// profile unless `colorManagement` is off; the text of the failure in `error`
// and no pixels when it cannot be read, with the wording of a conversion run.
DecodedSource decodePreviewSource(const std::string& inputPath, std::string& error,
                                  bool colorManagement = true);
