#include "engine/source_loader.h"

#include "engine/output_file.h"
#include "engine/palm_bitmap.h"
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/orientation/exif_orientation.h"
#include "imagelib/orientation/picture_orientation.h"
#include "imagelib/resize_filter.h"
#include "imagelib/text_exception.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

bool isPalmDepth(int depth) {
    return depth == 1 || depth == 2 || depth == 4 || depth == 8;
}

void showLibraryError(UserNotifier& notifier, const char* format, const CTextException& error,
                      const std::string& inputPath) {
    // The library's texts are at most 255 characters; the path may be longer.
    const std::string message = error.GetUserMessage();
    const int length = std::snprintf(nullptr, 0, format, error.GetCode(), inputPath.c_str(), message.c_str());
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, error.GetCode(), inputPath.c_str(), message.c_str());
    notifier.showFileMessage(text, MessageIcon::Error, {inputPath, loadFailureReason(error, inputPath)});
}

// The orientation to resample the decoded picture with: known before the
// decode starts, so that the rows of a picture to be turned are not listened to.
int orientationToApply(const std::string& inputPath, const PictureLayout& layout) {
    return layout.autoOrient ? ReadPictureOrientation(inputPath) : kOrientationAsStored;
}

// Fine scales in linear light and as sharp as the peers' Lanczos; classic as
// the handheld's own tools always did.
resample::ResampleKernel scalingKernel(PictureQuality quality) {
    return quality == PictureQuality::kFine ? resample::ResampleKernel::kLanczosInLight
                                            : resample::ResampleKernel::kTent;
}

// Why the picture file cannot be read, asked again after the library's open
// failed (its codes keep no system reason); empty when it now can be.
std::string pictureOpenProblem(const std::string& inputPath) {
    const int handle = ::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (handle < 0) return describeSystemError(errno);
    struct stat info {};
    std::string problem;
    if (::fstat(handle, &info) != 0)
        problem = describeSystemError(errno);
    else if (S_ISDIR(info.st_mode))
        problem = describeSystemError(EISDIR);
    else if (!S_ISREG(info.st_mode))
        problem = "not a regular file";
    else if (info.st_size == 0)
        problem = "the file is empty";
    ::close(handle);
    return problem;
}

}  // namespace

std::string loadFailureReason(const CTextException& error, const std::string& inputPath) {
    switch (error.GetCode()) {
        case ERR_PATH_NOT_FOUND:
        case ERR_FILE_NOT_FOUND:
        case ERR_ACCESS_DENIED:
            if (std::string problem = pictureOpenProblem(inputPath); !problem.empty()) return problem;
            break;
        case ERR_UNKNOWN_FILE_TYPE:
            return kNotAPictureReason;
        default:
            break;
    }
    // "Decoder error: Unexpected end of file.\n" says "Unexpected end of file".
    std::string reason = error.GetUserMessage();
    constexpr std::string_view kWrapper = "Decoder error: ";
    if (reason.rfind(kWrapper, 0) == 0) reason.erase(0, kWrapper.size());
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '.')) reason.pop_back();
    return reason;
}

PictureHolding defaultPictureHolding() {
    const char* whole = std::getenv("KESTRIN_WHOLE_PICTURE");
    return whole != nullptr && *whole != '\0' && std::string_view(whole) != "0"
               ? PictureHolding::kWholePicture
               : PictureHolding::kStreamWherePossible;
}

void decodeSourcePicture(const std::string& inputPath, CDIBBitmap& picture, const DecodeLimits& limits,
                         CDecodedRowListener* rowListener, bool colorManagement, std::string* colorNote,
                         std::shared_ptr<const CColorConversion>* keptColors, DecodeNotes* notes) {
    CAnyFormatDecoder decoder;
    decoder.SetLimits(limits);
    decoder.SetColorManagement(colorManagement);
    decoder.SetDeferColorConversion(keptColors != nullptr);
    decoder.SetKeepLibraryMessages(true);
    if (rowListener != nullptr) decoder.SetRowListener(rowListener);
    // What the libraries said before a decode failed is worth a look too.
    const auto takeNotes = [&] {
        if (notes != nullptr) *notes = {decoder.GetLibraryMessages().Lines(), decoder.GetPictureWarning()};
    };
    try {
        decoder.DecodeFile(inputPath, picture, 32, nullptr);
    } catch (const CTextException&) {
        takeNotes();
        throw;
    }
    takeNotes();
    if (colorNote != nullptr) *colorNote = decoder.GetColorNote();
    if (keptColors != nullptr) *keptColors = decoder.TakeDeferredConversion();
}

bool loadScaledPicture(const std::string& inputPath, int width, int height, CDIBBitmap& picture,
                       UserNotifier& notifier, const PictureLayout& layout, const DecodeLimits& limits,
                       PictureQuality quality, bool colorManagement) {
    const int orientation = orientationToApply(inputPath, layout);
    std::shared_ptr<const CColorConversion> colors;
    try {
        decodeSourcePicture(inputPath, picture, limits, nullptr, colorManagement, nullptr, &colors);
    } catch (const CTextException& error) {
        showLibraryError(notifier, "Error %d decoding %s: %s", error, inputPath);
        return false;
    }
    try {
        CMemoryBitmap scaled;
        CTentResampler resampler({{width, height, &scaled}});
        resampler.SetOrientation(orientation);
        resampler.SetFraming(layout.framing());
        resampler.SetKernel(scalingKernel(quality));
        resampler.SetSourceConversion(colors.get());
        resampler.Finish(picture);
        picture.CopyFrom(scaled, 0);
    } catch (const CTextException& error) {
        showLibraryError(notifier, "Error %d resizing %s: %s", error, inputPath);
        return false;
    }
    return true;
}

bool SourceLoader::load(PalmBitmap& bitmap) {
    return bitmap.loadFromFile(m_inputPath, m_dither, m_notifier, m_layout, m_quality);
}

bool PalmBitmap::loadFromFile(const std::string& inputPath, int dither, UserNotifier& notifier,
                              const PictureLayout& layout, PictureQuality quality) {
    if (!isPalmDepth(depth())) return false;
    CDIBBitmap picture;
    if (!loadScaledPicture(inputPath, width(), height(), picture, notifier, layout, {}, quality))
        return false;
    return loadFromBitmap(picture, dither, quality);
}

std::vector<PictureSize> plannedPictureSizes(const ConversionSettings& settings) {
    const PictureSize lowDensity{settings.width, settings.height};
    switch (settings.destination) {
        case kPalmOs3Or4:
        case kPalmOs5LowRes:
        case kPalmOs3To5Combined:
            return {lowDensity};
        case kPalmOs5HighRes:
            return {lowDensity, PictureSize{2 * lowDensity.width, 2 * lowDensity.height}};
        default:
            return {};
    }
}

CachingSourceLoader::CachingSourceLoader(std::string inputPath, int dither, UserNotifier& notifier,
                                         std::vector<PictureSize> plannedSizes, const PictureLayout& layout,
                                         const DecodeLimits& limits)
    : m_inputPath(std::move(inputPath)),
      m_dither(dither),
      m_notifier(notifier),
      m_layout(layout),
      m_limits(limits) {
    for (const PictureSize& size : plannedSizes)
        if (std::find(m_plannedSizes.begin(), m_plannedSizes.end(), size) == m_plannedSizes.end())
            m_plannedSizes.push_back(size);
}

CachingSourceLoader::CachingSourceLoader(DecodedSource decodedPicture, std::string inputPath, int dither,
                                         UserNotifier& notifier, std::vector<PictureSize> plannedSizes,
                                         const PictureLayout& layout)
    : CachingSourceLoader(std::move(inputPath), dither, notifier, std::move(plannedSizes), layout) {
    m_decodedPicture = std::move(decodedPicture);
}

CachingSourceLoader::~CachingSourceLoader() = default;

void CachingSourceLoader::decodeSource(const std::string& inputPath, CDIBBitmap& picture,
                                       CDecodedRowListener& rowListener) {
    decodeSourcePicture(inputPath, picture, m_limits, &rowListener, m_colorManagement, &m_colorNote,
                        &m_sourceColors, &m_decodeNotes);
}

bool CachingSourceLoader::prepareScaledPictures() {
    // Every scaled picture comes from the decoded picture itself, never one
    // from another, so each is exactly what a load of its own would make.
    auto source = std::make_unique<CDIBBitmap>();
    std::vector<std::unique_ptr<CMemoryBitmap>> scaled;
    std::vector<ResizeTarget> targets;
    for (const PictureSize& size : m_plannedSizes) {
        scaled.push_back(std::make_unique<CMemoryBitmap>());
        targets.push_back(ResizeTarget{size.width, size.height, scaled.back().get()});
    }
    if (m_decodedPicture.pixels != nullptr) {
        try {
            CTentResampler resampler(std::move(targets));
            resampler.SetOrientation(orientationToApply(m_inputPath, m_layout));
            resampler.SetFraming(m_layout.framing());
            resampler.SetKernel(scalingKernel(m_quality));
            resampler.SetSourceConversion(m_decodedPicture.colors.get());
            resampler.Finish(*m_decodedPicture.pixels);
            m_keptPart = resampler.KeptPart();
        } catch (const CTextException& error) {
            showLibraryError(m_notifier, "Error %d resizing %s: %s", error, m_inputPath);
            return false;
        }
        m_scaled = std::move(scaled);
        return true;
    }
    // Goes before the decoded picture it reads.
    CTentResampler resampler(std::move(targets));
    resampler.SetOrientation(orientationToApply(m_inputPath, m_layout));
    resampler.SetFraming(m_layout.framing());
    resampler.SetRowWindows(m_holding == PictureHolding::kStreamWherePossible);
    resampler.SetKernel(scalingKernel(m_quality));
    ++m_decodeCount;
    try {
        decodeSource(m_inputPath, *source, resampler);
    } catch (const CTextException& error) {
        showLibraryError(m_notifier, "Error %d decoding %s: %s", error, m_inputPath);
        return false;
    }
    try {
        resampler.SetSourceConversion(m_sourceColors.get());
        resampler.Finish(*source);
        m_keptPart = resampler.KeptPart();
    } catch (const CTextException& error) {
        showLibraryError(m_notifier, "Error %d resizing %s: %s", error, m_inputPath);
        return false;
    }
    m_sourceColors.reset();
    m_windowUse = {source->GetWindowRows(), resampler.WindowWaitTime(), resampler.WindowHelpTime()};
    m_scaled = std::move(scaled);
    return true;
}

const CMemoryBitmap* CachingSourceLoader::scaledPicture(int width, int height) const {
    for (std::size_t i = 0; i < m_scaled.size(); ++i)
        if (m_plannedSizes[i] == PictureSize{width, height}) return m_scaled[i].get();
    return nullptr;
}

bool CachingSourceLoader::load(PalmBitmap& bitmap) {
    if (!isPalmDepth(bitmap.depth()) || m_state == State::Failed) return false;
    if (m_state == State::NotDecoded) {
        m_state = prepareScaledPictures() ? State::Ready : State::Failed;
        if (m_state == State::Failed) return false;
    }
    const CMemoryBitmap* scaled = scaledPicture(bitmap.width(), bitmap.height());
    if (scaled == nullptr) {
        ++m_decodeCount;
        CDIBBitmap picture;
        if (loadScaledPicture(m_inputPath, bitmap.width(), bitmap.height(), picture, m_notifier, m_layout,
                              m_limits, m_quality, m_colorManagement) &&
            bitmap.loadFromBitmap(picture, m_dither, m_quality))
            return true;
        m_state = State::Failed;
        return false;
    }
    if (m_lastReduced.width == bitmap.width() && m_lastReduced.height == bitmap.height() &&
        m_lastReduced.depth == bitmap.depth() && m_lastReduced.pixels.size() == bitmap.pixels().size()) {
        std::copy(m_lastReduced.pixels.begin(), m_lastReduced.pixels.end(), bitmap.pixels().begin());
        return true;
    }
    // The reduction dithers in place: it gets a copy, and the scaled picture
    // stays as the resize filter left it for the next object.
    CMemoryBitmap picture;
    try {
        picture.CopyFrom(*scaled, 0);
    } catch (const CTextException& error) {
        // A load of its own would have failed the same way taking over the
        // filter's result.
        showLibraryError(m_notifier, "Error %d resizing %s: %s", error, m_inputPath);
        m_state = State::Failed;
        return false;
    }
    if (!bitmap.loadFromBitmap(picture, m_dither, m_quality)) return false;
    const std::span<const std::uint8_t> pixels = bitmap.pixels();
    m_lastReduced = {bitmap.width(), bitmap.height(), bitmap.depth(), {pixels.begin(), pixels.end()}};
    return true;
}
