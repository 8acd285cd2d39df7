#include "cli/preview_writer.h"

#include "engine/palm_database_reader.h"
#include "engine/palm_picture.h"
#include "engine/picture_png_file.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

namespace {

constexpr int kGap = 8;                                     // pixels between the pictures
constexpr std::uint8_t kBackground[4] = {96, 96, 96, 255};  // around and between them

void composeSideBySide(const std::vector<std::unique_ptr<CMemoryBitmap>>& pictures, CMemoryBitmap& canvas) {
    int width = 0, height = 0;
    for (const auto& picture : pictures) {
        width += picture->GetWidth() + (width > 0 ? kGap : 0);
        height = std::max(height, picture->GetHeight());
    }
    canvas.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) std::memcpy(canvas.GetRows()[y] + 4 * x, kBackground, 4);
    int left = 0;
    for (const auto& picture : pictures) {
        for (int y = 0; y < picture->GetHeight(); ++y)
            std::memcpy(canvas.GetRows()[y] + 4 * left, picture->GetRows()[y],
                        4 * static_cast<std::size_t>(picture->GetWidth()));
        left += picture->GetWidth() + kGap;
    }
}

}  // namespace

bool writePreviewPng(const std::string& databasePath, const std::string& pngPath, bool replaceExisting,
                     std::string& error) {
    try {
        const PalmDatabaseRecord database = readPalmDatabaseFile(databasePath);
        std::vector<std::unique_ptr<CMemoryBitmap>> pictures;
        for (int density : viewerDensities(database)) {
            pictures.push_back(std::make_unique<CMemoryBitmap>());
            renderViewerPicture(database, density, *pictures.back());
        }
        CMemoryBitmap canvas;
        composeSideBySide(pictures, canvas);
        writePicturePng(canvas, pngPath, databasePath, replaceExisting);
        return true;
    } catch (const PictureFileError& problem) {
        error = problem.reason();
    } catch (const std::exception& problem) {
        error = "could not be made from " + databasePath + ": " + problem.what();
    } catch (const CTextException& problem) {
        error = "could not be made from " + databasePath + ": " + problem.GetMessage();
    }
    return false;
}
