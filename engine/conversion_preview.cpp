#include "engine/conversion_preview.h"

#include "engine/palm_database.h"
#include "engine/palm_database_reader.h"
#include "engine/palm_picture.h"
#include "engine/source_loader.h"
#include "imagelib/orientation/exif_orientation.h"
#include "imagelib/orientation/picture_orientation.h"
#include "imagelib/resample/tent_resampler.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cmath>

#include <cstdio>
#include <exception>
#include <filesystem>

namespace {

// Keeps the first message a run shows: the one that says what went wrong.
class FirstMessage : public UserNotifier {
public:
    void showMessage(const std::string& text, MessageIcon) override {
        if (m_text.empty()) m_text = text;
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

template <typename ReadDatabase>
void readBack(ReadDatabase read, ConversionPreview& preview) {
    try {
        const PalmDatabaseRecord database = read();
        for (int density : viewerDensities(database)) {
            auto pixels = std::make_shared<CMemoryBitmap>();
            renderViewerPicture(database, density, *pixels);
            preview.pictures.push_back({density, std::move(pixels)});
        }
    } catch (const std::exception& problem) {
        preview.error = problem.what();
    } catch (const CTextException& problem) {
        preview.error = problem.GetMessage();
    }
    if (!preview.error.empty()) preview.pictures.clear();
}

}  // namespace

DecodedSource decodePreviewSource(const std::string& inputPath, std::string& error, bool colorManagement) {
    auto picture = std::make_shared<CDIBBitmap>();
    std::shared_ptr<const CColorConversion> colors;
    try {
        decodeSourcePicture(inputPath, *picture, {}, nullptr, colorManagement, nullptr, &colors);
        return {std::move(picture), std::move(colors)};
    } catch (const CTextException& problem) {
        const std::string message = problem.GetUserMessage();
        const char* format = "Error %d decoding %s: %s";
        const int length =
            std::snprintf(nullptr, 0, format, problem.GetCode(), inputPath.c_str(), message.c_str());
        error.assign(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
        std::snprintf(error.data(), error.size() + 1, format, problem.GetCode(), inputPath.c_str(),
                      message.c_str());
    } catch (const std::exception& problem) {
        error = problem.what();
    }
    return {};
}

UprightCopy previewUprightCopy(const DecodedSource& decodedPicture, const std::string& inputPath,
                               bool autoOrient, int longSide) {
    UprightCopy copy;
    if (decodedPicture.pixels == nullptr || longSide < 1) return copy;
    const CDIBBitmap& stored = *decodedPicture.pixels;
    const int orientation = autoOrient ? ReadPictureOrientation(inputPath) : kOrientationAsStored;
    const bool swapped = SwapsSides(orientation);
    copy.uprightWidth = swapped ? stored.GetHeight() : stored.GetWidth();
    copy.uprightHeight = swapped ? stored.GetWidth() : stored.GetHeight();
    if (copy.uprightWidth < 1 || copy.uprightHeight < 1) return copy;
    const double shrink =
        std::max(1.0, static_cast<double>(std::max(copy.uprightWidth, copy.uprightHeight)) / longSide);
    const auto side = [shrink](int pixels) {
        return std::max(1, static_cast<int>(std::lround(pixels / shrink)));
    };
    try {
        auto pixels = std::make_shared<CMemoryBitmap>();
        CTentResampler resampler({{side(copy.uprightWidth), side(copy.uprightHeight), pixels.get()}});
        resampler.SetOrientation(orientation);
        resampler.SetSourceConversion(decodedPicture.colors.get());
        resampler.Finish(stored);
        copy.pixels = std::move(pixels);
    } catch (const CTextException&) {
    } catch (const std::exception&) {
    }
    return copy;
}

ConversionPreview previewConversion(DecodedSource decodedPicture, const std::string& inputPath,
                                    const ConversionSettings& settings, const std::string& imageName) {
    ConversionPreview preview;
    FirstMessage messages;
    std::vector<std::uint8_t> database;
    try {
        // The loader and the writer of a conversion run; only the file is memory.
        // The fine quality may decode a large photo at a reduced scale, which a
        // picture decoded whole beforehand cannot give: it reads the file again.
        const bool fromFile = settings.quality == PictureQuality::kFine;
        CachingSourceLoader loader =
            fromFile ? CachingSourceLoader(inputPath, settings.ditherSetting(), messages,
                                           plannedPictureSizes(settings), settings.pictureLayout())
                     : CachingSourceLoader(std::move(decodedPicture), inputPath, settings.ditherSetting(),
                                           messages, plannedPictureSizes(settings), settings.pictureLayout());
        loader.setQuality(settings.quality);
        loader.setColorManagement(settings.colorManage);
        database =
            PalmDatabase::writeToMemory(imageName, settings, loader, PalmDatabase::currentCreationDate());
    } catch (const std::exception& problem) {
        preview.error = problem.what();
        return preview;
    } catch (const CTextException& problem) {
        preview.error = problem.GetMessage();
        return preview;
    }
    if (database.empty()) {
        preview.error = messages.text().empty() ? "The picture could not be converted." : messages.text();
        return preview;
    }
    preview.databaseSize = database.size();
    readBack([&database] { return readPalmDatabase(database); }, preview);
    return preview;
}

ConversionPreview previewDatabaseFile(const std::string& path) {
    ConversionPreview preview;
    std::error_code failure;
    const auto size = std::filesystem::file_size(path, failure);
    if (!failure) preview.databaseSize = static_cast<std::size_t>(size);
    readBack([&path] { return readPalmDatabaseFile(path); }, preview);
    return preview;
}
