#include "imagelib/decoders/gif_decoder.h"

#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/limits/work_budget.h"
#include "imagelib/text_exception.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// Rows of an interlaced image arrive in four passes over the image.
struct InterlacePass {
    int firstRow;
    int step;
};
constexpr InterlacePass kInterlacePasses[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};

// A GIF colour map has at most 256 entries, the palette of an 8-bit bitmap.
constexpr int kMaxColorMapEntries = 256;
// Indices of 8 bits at most reach the screen, whatever the LZW code size.
constexpr int kMaxIndexBits = 8;
// The best case of 12-bit LZW: one code (1.5 bytes) stands for a string of
// up to 4096 pixels.
constexpr std::uint64_t kMaxPixelsPerByte = 4096;

const char kEndOfFile[] = "End of file reached while decoding.\n";

// True when a screen or image of width x height is within the limits and
// within what a file of fileSize bytes can describe. LZW stores at most a few
// thousand pixels per byte, and real files never pad a huge screen around
// small images, so a picture far beyond what the file could describe is a
// forgery that would only cost seconds to fill. Neither is held whole (see
// TiledScreen), so the size limit is the one that applies.
bool AllowsPicture(const DecodeLimits& limits, int width, int height, std::uint64_t bytesPerPixel,
                   std::uint64_t fileSize) {
    if (!limits.AllowsSize(width, height)) return false;
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const auto bytes = CheckedMultiply(pixels, bytesPerPixel);
    if (!bytes || *bytes > limits.maxBitmapBytes) return false;
    return pixels <= limits.maxGifScreenPixelsWithoutData || pixels / kMaxPixelsPerByte <= fileSize;
}

// Reports a giflib failure with the decoder's library messages, the only
// place these failures are told; decoding then goes on.
void ReportGifError(CLibraryMessages& messages, int error) {
    char text[kMaxMessageLength + 1];
    if (const char* reason = GifErrorString(error))
        std::snprintf(text, sizeof text, "\nGIF-LIB error: %s.\n", reason);
    else
        std::snprintf(text, sizeof text, "\nGIF-LIB undefined error %d.\n", error);
    messages.Report(text);
}

// The colours an image's indices stand for: its colour map, and beyond the
// map's entries the grey ramp an 8-bit bitmap is created with, so that
// pixels coloured through one palette come out the same whether the screen
// is drawn at 8 bits or in colour.
using ScreenPalette = std::array<PaletteEntry, kMaxColorMapEntries>;

ScreenPalette GreyRamp() {
    ScreenPalette palette;
    for (int i = 0; i < kMaxColorMapEntries; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        palette[static_cast<std::size_t>(i)] = PaletteEntry{level, level, level, 255};
    }
    return palette;
}

ScreenPalette PaletteOfMap(const ColorMapObject& map) {
    ScreenPalette palette = GreyRamp();
    const int entries = map.Colors != nullptr ? std::min(map.ColorCount, kMaxColorMapEntries) : 0;
    for (int i = 0; i < entries; ++i) {
        const GifColorType& color = map.Colors[i];
        palette[static_cast<std::size_t>(i)] = PaletteEntry{color.Blue, color.Green, color.Red, 255};
    }
    return palette;
}

// For a file without any colour map: a grey ramp over the indices the
// image's LZW code size can give.
ScreenPalette DefaultPalette(int codeSize) {
    ScreenPalette palette = GreyRamp();
    const int count = 1 << std::clamp(codeSize, 1, kMaxIndexBits);
    const int step = 255 / (count - 1);
    for (int i = 0; i < count; ++i) {
        const auto level = static_cast<std::uint8_t>(i * step);
        palette[static_cast<std::size_t>(i)] = PaletteEntry{level, level, level, 255};
    }
    return palette;
}

// Writes `count` indices as the 32-bit pixels of their palette entries.
void DrawInColor(const GifPixelType* indices, std::size_t count, const ScreenPalette& palette,
                 std::uint8_t* target) {
    for (std::size_t x = 0; x < count; ++x) std::memcpy(target + 4 * x, &palette[indices[x]], 4);
}

// The screen, held as tiles of kTileSide x kTileSide pixels created where an
// image draws; the rest is the background, which costs nothing. A screen
// starts as 8-bit indices of one palette and may be turned into colour once;
// the tiles together are held to the memory of a bitmap held whole, so a
// screen costs what its images draw.
class TiledScreen {
public:
    static constexpr int kTileSide = 64;

    TiledScreen(int width, int height, std::uint8_t background, const DecodeLimits& limits)
        : m_width(width),
          m_height(height),
          m_tilesAcross((width + kTileSide - 1) / kTileSide),
          m_tiles(static_cast<std::size_t>(m_tilesAcross) *
                  static_cast<std::size_t>((height + kTileSide - 1) / kTileSide)),
          m_limits(limits),
          m_background(background) {
        // The picture streams through the resampler, which holds its rows.
        const std::uint64_t rows = limits.resampledBytesPerRow * static_cast<std::uint64_t>(height);
        m_budget = limits.HeldBitmapBytes() - std::min(rows, limits.HeldBitmapBytes());
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool InColor() const { return m_inColor; }

    // Copies `count` indices of row y from column x on; 8-bit screens only.
    void ReadIndices(int x, int y, std::size_t count, std::uint8_t* out) const {
        ForEachSpan(x, y, count, [&](const std::uint8_t* tile, std::size_t at, std::size_t n) {
            if (tile != nullptr)
                std::memcpy(out + at, tile, n);
            else
                std::memset(out + at, m_background, n);
        });
    }

    // Writes `count` indices to row y from column x on; 8-bit screens only.
    void WriteIndices(int x, int y, std::size_t count, const std::uint8_t* in) {
        ForEachTileToWrite(x, y, count, [&](std::uint8_t* tile, std::size_t at, std::size_t n) {
            std::memcpy(tile, in + at, n);
        });
    }

    // Writes `count` indices to row y from column x on as the colours of
    // `palette`; colour screens only.
    void WriteColors(int x, int y, std::size_t count, const GifPixelType* indices,
                     const ScreenPalette& palette) {
        ForEachTileToWrite(x, y, count, [&](std::uint8_t* tile, std::size_t at, std::size_t n) {
            DrawInColor(indices + at, n, palette, tile);
        });
    }

    // Turns the screen into colour, its indices standing for `palette`.
    // False, leaving the screen as it is, when a colour screen of this size
    // is over the size limit.
    bool TurnToColor(const ScreenPalette& palette) {
        const auto bytes =
            CheckedMultiply(static_cast<std::uint64_t>(m_width) * static_cast<std::uint64_t>(m_height), 4);
        if (!bytes || *bytes > m_limits.maxBitmapBytes) return false;
        m_backgroundColor = palette[m_background];
        m_heldBytes = 0;
        for (auto& tile : m_tiles) {
            if (!tile) continue;
            Tile colors = NewTile(4);
            DrawInColor(tile.get(), kTilePixels, palette, colors.get());
            tile = std::move(colors);
        }
        m_inColor = true;
        return true;
    }

    // Row y as 32-bit pixels, the indices of an 8-bit screen standing for
    // `palette`.
    void ComposeColorRow(int y, const ScreenPalette& palette, std::uint8_t* out) const {
        const PaletteEntry background = m_inColor ? m_backgroundColor : palette[m_background];
        ForEachSpan(0, y, static_cast<std::size_t>(m_width),
                    [&](const std::uint8_t* tile, std::size_t at, std::size_t n) {
                        std::uint8_t* target = out + 4 * at;
                        if (tile == nullptr) {
                            for (std::size_t i = 0; i < n; ++i) std::memcpy(target + 4 * i, &background, 4);
                        } else if (m_inColor) {
                            std::memcpy(target, tile, 4 * n);
                        } else {
                            DrawInColor(tile, n, palette, target);
                        }
                    });
    }

private:
    static constexpr std::size_t kTilePixels = std::size_t{kTileSide} * kTileSide;
    using Tile = std::unique_ptr<std::uint8_t[]>;

    std::size_t BytesPerPixel() const { return m_inColor ? 4 : 1; }

    // A tile of `bytesPerPixel`, counted against the held limit.
    Tile NewTile(std::size_t bytesPerPixel) {
        m_heldBytes += bytesPerPixel * kTilePixels;
        if (m_heldBytes > m_budget)
            throw CTextException(
                ERR_NO_MEMORY, "Out of memory creating bitmap.",
                m_limits.DescribeOverHeldLimit(m_width, m_height, 8 * static_cast<int>(bytesPerPixel)));
        return std::make_unique_for_overwrite<std::uint8_t[]>(bytesPerPixel * kTilePixels);
    }

    // Calls visit(row of the tile at the span's start or nullptr, offset
    // into the span, pixels) for each tile the span of row y crosses.
    template <typename Visit>
    void ForEachSpan(int x, int y, std::size_t count, Visit visit) const {
        const std::size_t bytes = BytesPerPixel();
        std::size_t at = 0;
        while (at < count) {
            const int column = x + static_cast<int>(at);
            const std::size_t n = std::min<std::size_t>(count - at, kTileSide - column % kTileSide);
            const Tile& tile = m_tiles[TileIndex(column, y)];
            visit(tile ? tile.get() + bytes * RowOffset(column, y) : nullptr, at, n);
            at += n;
        }
    }

    template <typename Visit>
    void ForEachTileToWrite(int x, int y, std::size_t count, Visit visit) {
        const std::size_t bytes = BytesPerPixel();
        std::size_t at = 0;
        while (at < count) {
            const int column = x + static_cast<int>(at);
            const std::size_t n = std::min<std::size_t>(count - at, kTileSide - column % kTileSide);
            Tile& tile = m_tiles[TileIndex(column, y)];
            if (!tile) tile = NewBackgroundTile();
            visit(tile.get() + bytes * RowOffset(column, y), at, n);
            at += n;
        }
    }

    Tile NewBackgroundTile() {
        Tile tile = NewTile(BytesPerPixel());
        if (!m_inColor) {
            std::memset(tile.get(), m_background, kTilePixels);
        } else {
            for (std::size_t i = 0; i < kTilePixels; ++i) std::memcpy(&tile[4 * i], &m_backgroundColor, 4);
        }
        return tile;
    }

    std::size_t TileIndex(int x, int y) const {
        return static_cast<std::size_t>(y / kTileSide) * static_cast<std::size_t>(m_tilesAcross) +
               static_cast<std::size_t>(x / kTileSide);
    }
    static std::size_t RowOffset(int x, int y) {
        return static_cast<std::size_t>(y % kTileSide) * kTileSide + static_cast<std::size_t>(x % kTileSide);
    }

    int m_width;
    int m_height;
    int m_tilesAcross;
    std::vector<Tile> m_tiles;
    const DecodeLimits& m_limits;
    std::uint8_t m_background;
    PaletteEntry m_backgroundColor;
    bool m_inColor = false;
    std::uint64_t m_heldBytes = 0;
    std::uint64_t m_budget = 0;
};

// What giflib's read function reads from. giflib is C, so no exception may
// pass through it: when the source cannot deliver, the error is kept here and
// giflib gets a short read; the decoder raises the kept error as soon as the
// giflib call returns, which ends the decode where the data ended.
struct GifReader {
    CImageSource* source = nullptr;
    // The last byte handed to giflib: after an image descriptor, the LZW code
    // size that giflib reads last.
    std::uint8_t lastByte = 0;
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
        reader.lastByte = bytes[count - 1];
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
    CLibraryMessages* messages;
    void operator()(GifFileType* gif) const {
        int error = D_GIF_SUCCEEDED;
        if (DGifCloseFile(gif, &error) == GIF_ERROR) ReportGifError(*messages, error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// Draws the records of one open GIF stream into the screen. The screen
// starts as 8-bit indices of one palette, the global map's (or the first
// image's, without one); each image's indices stand for the colours of its
// own map. As long as every image on the screen shares the screen's
// palette, it stays at 8 bits; the first image of another palette that does
// not cover the whole screen turns it into colour.
class GifScreenReader {
public:
    GifScreenReader(GifFileType* gif, GifReader& reader, TiledScreen& screen, const DecodeLimits& limits,
                    std::uint64_t fileSize, CLibraryMessages& messages)
        : m_gif(gif),
          m_reader(reader),
          m_screen(screen),
          m_limits(limits),
          m_fileSize(fileSize),
          m_messages(messages),
          m_work(WorkBudget::ForFile(
              fileSize,
              static_cast<std::uint64_t>(screen.Width()) * static_cast<std::uint64_t>(screen.Height()),
              limits)) {
        if (gif->SColorMap != nullptr) m_indexPalette = PaletteOfMap(*gif->SColorMap);
    }

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

    // Unset for a file without any colour map or image.
    const std::optional<ScreenPalette>& IndexPalette() const { return m_indexPalette; }

private:
    // Raises a failure of the data source that giflib was shielded from;
    // otherwise reports giflib's own failure. True when the call succeeded.
    bool Succeeded(int result) const {
        m_reader.RaiseIfFailed();
        if (result == GIF_OK) return true;
        ReportGifError(m_messages, m_gif->Error);
        return false;
    }

    void ReadImage() {
        // Without its descriptor an image's data cannot be placed; what
        // follows is read as records again.
        if (!Succeeded(DGifGetImageDesc(m_gif))) return;
        const GifImageDesc& image = m_gif->Image;
        const int screenWidth = m_screen.Width();
        const int screenHeight = m_screen.Height();
        if (image.Left + image.Width > screenWidth || image.Top + image.Height > screenHeight) {
            char text[kMaxMessageLength + 1];
            std::snprintf(text, sizeof text, "Image %d is not confined to screen dimension, aborted.\n",
                          m_gif->ImageCount);
            m_messages.Report(text);
        }
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
        const ScreenPalette palette = image.ColorMap != nullptr     ? PaletteOfMap(*image.ColorMap)
                                      : m_gif->SColorMap != nullptr ? PaletteOfMap(*m_gif->SColorMap)
                                                                    : DefaultPalette(m_reader.lastByte);
        const bool coversScreen =
            image.Left == 0 && image.Top == 0 && image.Width >= screenWidth && image.Height >= screenHeight;
        TakePalette(palette, coversScreen);

        // The image is clipped to the screen: all its rows are decoded, to
        // reach the records behind it, but only the part on the screen is
        // drawn.
        const int visibleStart = std::min(image.Left, screenWidth);
        const auto visibleCount =
            static_cast<std::size_t>(std::min(image.Left + image.Width, screenWidth) - visibleStart);
        std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
        auto readRow = [&](int row) {
            const int y = image.Top + row;
            const bool visible = y < screenHeight && visibleCount > 0;
            if (m_screen.InColor()) {
                // A row giflib cannot decode keeps what the screen had.
                if (Succeeded(DGifGetLine(m_gif, line.data(), image.Width)) && visible)
                    m_screen.WriteColors(visibleStart, y, visibleCount, line.data(), palette);
                return;
            }
            // Pixels giflib cannot decode keep what the screen had there.
            if (visible) m_screen.ReadIndices(visibleStart, y, visibleCount, line.data());
            Succeeded(DGifGetLine(m_gif, line.data(), image.Width));
            if (visible) m_screen.WriteIndices(visibleStart, y, visibleCount, line.data());
        };

        if (image.Interlace) {
            for (const InterlacePass& pass : kInterlacePasses)
                for (int row = pass.firstRow; row < image.Height; row += pass.step) readRow(row);
        } else {
            for (int row = 0; row < image.Height; ++row) readRow(row);
        }
    }

    // Settles how an image of `palette` is drawn. An image that covers the
    // whole screen leaves nothing of another palette, so the 8-bit screen
    // takes its palette.
    void TakePalette(const ScreenPalette& palette, bool coversScreen) {
        if (m_screen.InColor()) return;
        if (!m_indexPalette || *m_indexPalette == palette || coversScreen) {
            m_indexPalette = palette;
            return;
        }
        // Where the limits leave no room for colour, later maps win for the
        // whole screen, as they always have.
        if (!m_screen.TurnToColor(*m_indexPalette)) m_indexPalette = palette;
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
    TiledScreen& m_screen;
    const DecodeLimits& m_limits;
    std::uint64_t m_fileSize;
    CLibraryMessages& m_messages;
    WorkBudget m_work;
    std::optional<ScreenPalette> m_indexPalette;
};

}  // namespace

void CGIFDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>&, int& bpp,
                              CImageSource& source) {
    CLibraryMessages& messages = LibraryMessages();
    GifReader reader;
    reader.source = &source;
    int openError = D_GIF_SUCCEEDED;
    GifHandle gif(DGifOpen(&reader, ReadFromSource, &openError), GifCloser{&messages});
    reader.RaiseIfFailed();
    if (!gif) {
        ReportGifError(messages, openError);
        const char* text = GifErrorString(openError);
        RaiseErrorFormat(openError == D_GIF_ERR_NOT_GIF_FILE ? ERR_WRONG_SIGNATURE : ERR_FORMAT_UNKNOWN,
                         "GIF file could not be opened: %s.", text != nullptr ? text : "unknown error");
    }

    const int width = gif->SWidth;
    const int height = gif->SHeight;
    bpp = ChooseDepth(bpp, 8);
    const std::uint64_t bytesPerPixel = bpp == 32 ? 4 : 1;
    if (!GetLimits().AllowsSize(width, height))
        RaiseError(ERR_FORMAT_UNKNOWN,
                   FormatMessage("GIF screen size %d x %d is not supported.", width, height),
                   GetLimits().DescribeOverLimit(width, height, static_cast<int>(8 * bytesPerPixel)));
    // Refuse a screen that could not be converted before decoding all of it.
    const auto pixels =
        CheckedMultiply(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
    const auto bytes = pixels ? CheckedMultiply(*pixels, bytesPerPixel) : std::nullopt;
    if (!bytes || *bytes > GetLimits().maxBitmapBytes)
        throw CTextException(
            ERR_NO_MEMORY, "Out of memory creating bitmap.",
            GetLimits().DescribeOverLimit(width, height, static_cast<int>(8 * bytesPerPixel)));
    const auto fileSize = static_cast<std::uint64_t>(std::max<std::int64_t>(source.GetSize(), 0));
    if (!AllowsPicture(GetLimits(), width, height, bytesPerPixel, fileSize))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "GIF screen size %d x %d is not supported.", width, height);

    TiledScreen screen(width, height, static_cast<std::uint8_t>(gif->SBackGroundColor), GetLimits());
    GifScreenReader screenReader(gif.get(), reader, screen, GetLimits(), fileSize, messages);
    screenReader.ReadRecords();
    gif.reset();

    // Several palettes make a colour picture, whatever depth was wanted;
    // without any colour map the screen keeps the grey ramp.
    const ScreenPalette palette = screenReader.IndexPalette() ? *screenReader.IndexPalette() : GreyRamp();
    if (screen.InColor()) bpp = 32;
    CreateRowBitmap(bitmap, width, height, bpp, false, 1);
    bitmap.Lock(false, true);
    if (bpp == 8) bitmap.SetPaletteEntries(palette.data());
    for (int y = 0; y < height; ++y) {
        if (bpp == 8) {
            screen.ReadIndices(0, y, static_cast<std::size_t>(width), bitmap.GetRows()[y]);
            continue;
        }
        screen.ComposeColorRow(y, palette, bitmap.GetRows()[y]);
        ReportRows(bitmap, y + 1);
    }
    bitmap.Unlock();
}
