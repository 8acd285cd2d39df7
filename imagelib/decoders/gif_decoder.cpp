#include "imagelib/decoders/gif_decoder.h"

#include "imagelib/image_limits.h"
#include "imagelib/text_exception.h"
#include "imagelib/work_budget.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Rows of an interlaced image arrive in four passes over the image.
struct InterlacePass {
    int firstRow;
    int step;
};
constexpr InterlacePass kInterlacePasses[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};

// A GIF colour map has at most 256 entries, the palette of an 8-bit bitmap.
constexpr int kMaxColorMapEntries = 256;
// The best case of 12-bit LZW: one code (1.5 bytes) stands for a string of
// up to 4096 pixels.
constexpr std::uint64_t kMaxPixelsPerByte = 4096;

const char kEndOfFile[] = "End of file reached while decoding.\n";

// True when a screen or image of width x height is within the limits and
// within what a file of fileSize bytes can describe. LZW stores at most a few
// thousand pixels per byte, and real files never pad a huge screen around
// small images, so a picture far beyond what the file could describe is a
// forgery that would only cost seconds to fill.
bool AllowsPicture(const DecodeLimits& limits, int width, int height, std::uint64_t bytesPerPixel,
                   std::uint64_t fileSize) {
    if (!limits.AllowsSize(width, height)) return false;
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const auto bytes = CheckedMultiply(pixels, bytesPerPixel);
    if (!bytes || *bytes > limits.maxBitmapBytes) return false;
    return pixels <= limits.maxGifScreenPixelsWithoutData || pixels / kMaxPixelsPerByte <= fileSize;
}

// Writes a giflib failure to the standard error stream, the only place these
// failures are reported; decoding then goes on.
void ReportGifError(int error) {
    if (const char* text = GifErrorString(error))
        std::fprintf(stderr, "\nGIF-LIB error: %s.\n", text);
    else
        std::fprintf(stderr, "\nGIF-LIB undefined error %d.\n", error);
}

// What giflib's read function reads from. giflib is C, so no exception may
// pass through it: when the source cannot deliver, the error is kept here and
// giflib gets a short read; the decoder raises the kept error as soon as the
// giflib call returns, which ends the decode where the data ended.
struct GifReader {
    CImageSource* source = nullptr;
    bool failed = false;
    int errorCode = 0;
    char errorText[kMaxMessageLength + 1] = {};

    void RaiseIfFailed() const {
        if (failed) throw CTextException(errorCode, errorText);
    }
};

int ReadFromSource(GifFileType* gif, GifByteType* buffer, int count) {
    auto& reader = *static_cast<GifReader*>(gif->UserData);
    if (reader.failed || count <= 0) return 0;
    try {
        const std::uint8_t* bytes = reader.source->ReadBytes(count);
        std::memcpy(buffer, bytes, static_cast<std::size_t>(count));
        return count;
    } catch (const CTextException& error) {
        reader.errorCode = error.GetCode();
        std::snprintf(reader.errorText, sizeof reader.errorText, "%s", error.GetMessage());
    } catch (...) {
        reader.errorCode = ERR_END_OF_FILE;
        std::snprintf(reader.errorText, sizeof reader.errorText, "%s", kEndOfFile);
    }
    reader.failed = true;
    return 0;
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = D_GIF_SUCCEEDED;
        if (DGifCloseFile(gif, &error) == GIF_ERROR) ReportGifError(error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// Draws the records of one open GIF stream into the screen bitmap.
class GifScreenReader {
public:
    GifScreenReader(GifFileType* gif, const GifReader& reader, CImageBitmap& screen, const DecodeLimits& limits,
                    std::uint64_t fileSize)
        : m_gif(gif),
          m_reader(reader),
          m_screen(screen),
          m_limits(limits),
          m_fileSize(fileSize),
          m_work(WorkBudget::ForFile(fileSize, static_cast<std::uint64_t>(screen.GetWidth()) *
                                                   static_cast<std::uint64_t>(screen.GetHeight()),
                                     limits)) {}

    // Reads records until the terminator.
    void ReadRecords() {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        while (type != TERMINATE_RECORD_TYPE) {
            // A byte that starts no record is reported and passed over.
            type = UNDEFINED_RECORD_TYPE;
            if (!Succeeded(DGifGetRecordType(m_gif, &type))) continue;
            switch (type) {
                case IMAGE_DESC_RECORD_TYPE:
                    ReadImage();
                    break;
                case EXTENSION_RECORD_TYPE:
                    SkipExtension();
                    break;
                default:
                    break;
            }
        }
    }

private:
    // Raises a failure of the data source that giflib was shielded from;
    // otherwise reports giflib's own failure. True when the call succeeded.
    bool Succeeded(int result) const {
        m_reader.RaiseIfFailed();
        if (result == GIF_OK) return true;
        ReportGifError(m_gif->Error);
        return false;
    }

    void ReadImage() {
        // Without its descriptor an image's data cannot be placed; what
        // follows is read as records again.
        if (!Succeeded(DGifGetImageDesc(m_gif))) return;
        const GifImageDesc& image = m_gif->Image;
        const int screenWidth = m_screen.GetWidth();
        const int screenHeight = m_screen.GetHeight();
        if (image.Left + image.Width > screenWidth || image.Top + image.Height > screenHeight)
            std::fprintf(stderr, "Image %d is not confined to screen dimension, aborted.\n",
                         m_gif->ImageCount);
        if (image.Width <= 0 || image.Height <= 0) {
            SkipImageData();
            return;
        }
        // Every row of an image is decoded, on the screen or not, so an image
        // is held to the checks of the screen, and all images together to
        // the work the file's size allows.
        if (!AllowsPicture(m_limits, image.Width, image.Height, 1, m_fileSize) ||
            !m_work.Spend(static_cast<std::uint64_t>(image.Width) * static_cast<std::uint64_t>(image.Height)))
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "GIF image size %d x %d is not supported.", image.Width,
                             image.Height);

        // The image is clipped to the screen: all its rows are decoded, to
        // reach the records behind it, but only the part on the screen is
        // drawn.
        const int visibleStart = std::min(image.Left, screenWidth);
        const auto visibleCount =
            static_cast<std::size_t>(std::min(image.Left + image.Width, screenWidth) - visibleStart);
        std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
        std::uint8_t** rows = m_screen.GetRows();
        auto readRow = [&](int row) {
            const int y = image.Top + row;
            std::uint8_t* target = y < screenHeight && visibleCount > 0 ? rows[y] + visibleStart : nullptr;
            // Pixels giflib cannot decode keep what the screen had there.
            if (target != nullptr) std::memcpy(line.data(), target, visibleCount);
            Succeeded(DGifGetLine(m_gif, line.data(), image.Width));
            if (target != nullptr) std::memcpy(target, line.data(), visibleCount);
        };

        if (image.Interlace) {
            for (const InterlacePass& pass : kInterlacePasses)
                for (int row = pass.firstRow; row < image.Height; row += pass.step) readRow(row);
        } else {
            for (int row = 0; row < image.Height; ++row) readRow(row);
        }
    }

    // An image without pixels still carries a (usually empty) block list.
    void SkipImageData() {
        int codeSize = 0;
        GifByteType* block = nullptr;
        if (!Succeeded(DGifGetCode(m_gif, &codeSize, &block))) return;
        while (block != nullptr)
            if (!Succeeded(DGifGetCodeNext(m_gif, &block))) return;
    }

    // Extensions (transparency, animation, comments) do not change the screen.
    void SkipExtension() {
        int code = 0;
        GifByteType* block = nullptr;
        if (!Succeeded(DGifGetExtension(m_gif, &code, &block))) return;
        while (block != nullptr)
            if (!Succeeded(DGifGetExtensionNext(m_gif, &block))) return;
    }

    GifFileType* m_gif;
    const GifReader& m_reader;
    CImageBitmap& m_screen;
    const DecodeLimits& m_limits;
    std::uint64_t m_fileSize;
    WorkBudget m_work;
};

}  // namespace

void CGIFDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>&, int& bpp,
                              CImageSource& source) {
    GifReader reader;
    reader.source = &source;
    int openError = D_GIF_SUCCEEDED;
    GifHandle gif(DGifOpen(&reader, ReadFromSource, &openError));
    reader.RaiseIfFailed();
    if (!gif) {
        ReportGifError(openError);
        const char* text = GifErrorString(openError);
        RaiseErrorFormat(openError == D_GIF_ERR_NOT_GIF_FILE ? ERR_WRONG_SIGNATURE : ERR_FORMAT_UNKNOWN,
                         "GIF file could not be opened: %s.", text != nullptr ? text : "unknown error");
    }

    const int width = gif->SWidth;
    const int height = gif->SHeight;
    bpp = ChooseDepth(bpp, 8);
    if (!GetLimits().AllowsSize(width, height))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "GIF screen size %d x %d is not supported.", width, height);
    // Refuse a screen that could not be converted before decoding all of it.
    const std::uint64_t bytesPerPixel = bpp == 32 ? 4 : 1;
    const auto pixels =
        CheckedMultiply(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
    const auto bytes = pixels ? CheckedMultiply(*pixels, bytesPerPixel) : std::nullopt;
    if (!bytes || *bytes > GetLimits().maxBitmapBytes)
        throw CTextException(ERR_NO_MEMORY, "Out of memory creating bitmap.");
    const auto fileSize = static_cast<std::uint64_t>(std::max<std::int64_t>(source.GetSize(), 0));
    if (!AllowsPicture(GetLimits(), width, height, bytesPerPixel, fileSize))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "GIF screen size %d x %d is not supported.", width, height);

    // The screen is drawn at 8 bits; for a 32-bit result into a temporary, so
    // the caller's bitmap is created once, at its final depth, by expanding the
    // palette.
    CMemoryBitmap temporary;
    CImageBitmap& screen = bpp == 32 ? static_cast<CImageBitmap&>(temporary) : bitmap;
    screen.Create(width, height, 8, false);
    for (int y = 0; y < height; ++y)
        std::memset(screen.GetRows()[y], gif->SBackGroundColor, static_cast<std::size_t>(width));

    GifScreenReader(gif.get(), reader, screen, GetLimits(), fileSize).ReadRecords();

    // One palette for every image: the last image's own map, else the global one.
    const ColorMapObject* map = gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
    if (map == nullptr || map->Colors == nullptr)
        RaiseError(ERR_UNSUPPORTED_DATA, "GIF file has no color map.");
    PaletteEntry* screenPalette = screen.GetPalette();
    const int entries = std::min({map->ColorCount, kMaxColorMapEntries, screen.GetPaletteSize()});
    for (int i = 0; i < entries; ++i) {
        const GifColorType& colour = map->Colors[i];
        screenPalette[i] = PaletteEntry{colour.Blue, colour.Green, colour.Red, 255};
    }
    gif.reset();

    if (bpp == 32) bitmap.CopyFrom(temporary, 32);
}
