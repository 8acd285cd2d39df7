#include "imagelib/decoders/webp_decoder.h"

#include "imagelib/text_exception.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>

namespace {

// Data handed to the incremental decoder at a time: small enough that rows
// reach the listener while the rest still decodes, large enough that
// suspending and resuming libwebp costs next to nothing.
constexpr std::size_t kSliceBytes = std::size_t{64} * 1024;
constexpr int kBytesPerPixel = 4;
// Rows a window of rows is handed at a time.
constexpr int kWindowBatchRows = 16;
// Pages of the raster behind a window go back in steps worth a system call.
constexpr std::size_t kForgetStep = std::size_t{1} << 20;

[[noreturn]] void RaiseStatus(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_OUT_OF_MEMORY:
            RaiseError(ERR_NO_MEMORY, "Out of memory decoding WebP.");
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            RaiseError(ERR_UNSUPPORTED_DATA, "WebP decoder: Unsupported feature.");
        case VP8_STATUS_NOT_ENOUGH_DATA:
        case VP8_STATUS_SUSPENDED:
            RaiseError(ERR_END_OF_FILE, "WebP decoder: The data ends before the picture.");
        default:
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "WebP decoder: Broken data (status %d).",
                             static_cast<int>(status));
    }
}

struct IncrementalDecoderDeleter {
    void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};
struct AnimationDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
// The output buffer libwebp may hold beside external memory.
struct OutputBufferOwner {
    WebPDecBuffer* buffer;
    ~OutputBufferOwner() { WebPFreeDecBuffer(buffer); }
};

// Points libwebp's output at the bitmap's pixels. libwebp writes rows top
// down at a positive stride from the lowest address; a bottom-up bitmap gets
// its rows in reverse through libwebp's flip.
void SetOutputToBitmap(CImageBitmap& bitmap, WebPDecoderConfig& config) {
    std::uint8_t** rows = bitmap.GetRows();
    const int height = bitmap.GetHeight();
    const std::size_t stride = bitmap.GetLineStride();
    const bool bottomUp = height > 1 && rows[1] < rows[0];
    std::uint8_t* lowest = bottomUp ? rows[height - 1] : rows[0];
    // Both bitmap kinds keep their rows in one block; anything else would
    // need a copy this decoder does not make.
    const std::uint8_t* last = bottomUp ? rows[0] : rows[height - 1];
    if (last != lowest + static_cast<std::size_t>(height - 1) * stride)
        RaiseError(ERR_UNSUPPORTED_DATA, "WebP decoder: Bitmap rows are not one block.");

    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = lowest;
    config.output.u.RGBA.stride = static_cast<int>(stride);
    config.output.u.RGBA.size = stride * static_cast<std::size_t>(height);
    config.options.flip = bottomUp ? 1 : 0;
}

void DecodeWhole(const std::uint8_t* data, std::size_t size, WebPDecoderConfig& config) {
    const VP8StatusCode status = WebPDecode(data, size, &config);
    if (status != VP8_STATUS_OK) RaiseStatus(status);
}

// Feeds the mapped data to libwebp in growing slices; after each slice,
// `finished` learns how many rows from the top libwebp has finished.
template <typename Finished>
void FeedInSlices(const std::uint8_t* data, std::size_t size, WebPDecoderConfig& config, int height,
                  Finished finished) {
    std::unique_ptr<WebPIDecoder, IncrementalDecoderDeleter> decoder(WebPIDecode(nullptr, 0, &config));
    if (!decoder) RaiseError(ERR_NO_MEMORY, "Out of memory decoding WebP.");
    for (std::size_t fed = 0; fed < size;) {
        fed = std::min(size, fed + kSliceBytes);
        const VP8StatusCode status = WebPIUpdate(decoder.get(), data, fed);
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED) RaiseStatus(status);
        int lastRow = 0;
        if (WebPIDecGetRGB(decoder.get(), &lastRow, nullptr, nullptr, nullptr) == nullptr) lastRow = 0;
        finished(std::min(lastRow, height));
        if (status == VP8_STATUS_OK) return;
    }
    RaiseStatus(VP8_STATUS_SUSPENDED);
}

// Decodes into the bitmap and tells the listener of every row libwebp has
// finished.
void DecodeInSlices(const std::uint8_t* data, std::size_t size, WebPDecoderConfig& config,
                    const CImageBitmap& bitmap, CDecodedRowListener& listener) {
    int rowsReported = 0;
    FeedInSlices(data, size, config, bitmap.GetHeight(), [&](int lastRow) {
        if (lastRow <= rowsReported) return;
        rowsReported = lastRow;
        listener.RowsDecoded(bitmap, rowsReported);
    });
}

// libwebp's output when the bitmap is a window of rows: libwebp writes into
// one block as high as the picture, so the block is reserved, not
// allocated, and the pages of rows already handed to the window go back as
// it decodes on. Only the rows between the two are ever resident.
class WindowRaster {
public:
    explicit WindowRaster(std::size_t bytes) : m_bytes(bytes) {
        void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (block == MAP_FAILED) RaiseError(ERR_NO_MEMORY, "Out of memory decoding WebP.");
        m_block = static_cast<std::uint8_t*>(block);
    }
    ~WindowRaster() { ::munmap(m_block, m_bytes); }
    WindowRaster(const WindowRaster&) = delete;
    WindowRaster& operator=(const WindowRaster&) = delete;

    std::uint8_t* Data() const { return m_block; }
    std::size_t Size() const { return m_bytes; }
    // The bytes before `end` are read for the last time.
    void Forget(std::size_t end) {
        const auto pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        end = end / pageSize * pageSize;
        if (end < m_forgotten + kForgetStep) return;
        ::madvise(m_block + m_forgotten, end - m_forgotten, MADV_DONTNEED);
        m_forgotten = end;
    }

private:
    std::uint8_t* m_block = nullptr;
    std::size_t m_bytes = 0;
    std::size_t m_forgotten = 0;
};

// As DecodeInSlices, into a window of rows: each row libwebp finishes is
// copied into the window, kWindowBatchRows at a time, and reported.
void DecodeIntoWindow(const std::uint8_t* data, std::size_t size, WebPDecoderConfig& config,
                      const CImageBitmap& bitmap, CDecodedRowListener& listener) {
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.GetWidth()) * kBytesPerPixel;
    const int height = bitmap.GetHeight();
    WindowRaster raster(rowBytes * static_cast<std::size_t>(height));
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = raster.Data();
    config.output.u.RGBA.stride = static_cast<int>(rowBytes);
    config.output.u.RGBA.size = raster.Size();
    config.options.flip = 0;
    // The window's rows belong to the decoder, which writes them; the
    // listener interface only hands them on for reading.
    auto* const* rows = const_cast<std::uint8_t* const*>(bitmap.GetRows());
    int rowsReported = 0;
    FeedInSlices(data, size, config, height, [&](int lastRow) {
        while (rowsReported < lastRow) {
            const int batchEnd = std::min(lastRow, rowsReported + kWindowBatchRows);
            for (int y = rowsReported; y < batchEnd; ++y)
                std::memcpy(rows[y], raster.Data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
            rowsReported = batchEnd;
            listener.RowsDecoded(bitmap, rowsReported);
        }
        raster.Forget(static_cast<std::size_t>(rowsReported) * rowBytes);
    });
}

void DecodeFirstFrame(const std::uint8_t* data, std::size_t size, CImageBitmap& bitmap) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        RaiseError(ERR_UNSUPPORTED_DATA, "WebP decoder: Library mismatch.");
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData input{data, size};
    std::unique_ptr<WebPAnimDecoder, AnimationDecoderDeleter> decoder(WebPAnimDecoderNew(&input, &options));
    if (!decoder) RaiseError(ERR_FORMAT_UNKNOWN, "WebP decoder: Broken animation.");
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) ||
        info.canvas_width != static_cast<std::uint32_t>(bitmap.GetWidth()) ||
        info.canvas_height != static_cast<std::uint32_t>(bitmap.GetHeight()))
        RaiseError(ERR_FORMAT_UNKNOWN, "WebP decoder: Broken animation.");
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || canvas == nullptr)
        RaiseError(ERR_FORMAT_UNKNOWN, "WebP decoder: Broken first frame.");
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.GetWidth()) * kBytesPerPixel;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        std::memcpy(bitmap.GetRows()[y], canvas + static_cast<std::size_t>(y) * rowBytes, rowBytes);
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demuxer) const noexcept { WebPDemuxDelete(demuxer); }
};

// The ICCP chunk's data, inside `data`; empty without one.
std::span<const std::uint8_t> EmbeddedProfile(const std::uint8_t* data, std::size_t size) {
    const WebPData input{data, size};
    const std::unique_ptr<WebPDemuxer, DemuxDeleter> demuxer(WebPDemux(&input));
    if (!demuxer || (WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG) == 0) return {};
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demuxer.get(), "ICCP", 1, &chunk)) return {};
    const std::span<const std::uint8_t> profile(chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return profile;
}

}  // namespace

void CWebPDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>&, int& bpp,
                               CImageSource& source) {
    TraceLine(2, "Decoding WebP.\n");
    const std::uint8_t* data = source.GetCurrentPointer();
    const auto size = static_cast<std::size_t>(source.GetRemaining());

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) RaiseError(ERR_UNSUPPORTED_DATA, "WebP decoder: Library mismatch.");
    // libwebp calls missing data an invalid parameter.
    const VP8StatusCode status =
        size == 0 ? VP8_STATUS_NOT_ENOUGH_DATA : WebPGetFeatures(data, size, &config.input);
    if (status != VP8_STATUS_OK) RaiseStatus(status);
    const WebPBitstreamFeatures& features = config.input;
    TraceFormat(2, "WebP image %d x %d%s%s.\n", features.width, features.height,
                features.has_alpha ? ", alpha" : "", features.has_animation ? ", animated" : "");
    if (!GetLimits().AllowsSize(features.width, features.height))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "WebP decoder: Can't handle image size %d x %d.", features.width,
                         features.height);

    if (GetColorManagement()) {
        const std::span<const std::uint8_t> profile = EmbeddedProfile(data, size);
        if (profile.size() > GetLimits().maxColorProfileBytes)
            IgnoreColorProfile("it is too large");
        else if (!profile.empty())
            UseColorProfile(profile, ProfilePixels::kRgb);
    }

    bpp = 32;
    // An animation's first frame may leave parts of the canvas transparent.
    // A still picture's rows come top to bottom, and the listener may take
    // them through a window.
    // libwebp may finish any number of rows from a few bytes, all of them
    // resident in its raster until they are copied: a WebP is held to the
    // byte limit even when it streams.
    CheckBitmapWithin(GetLimits(), features.width, features.height, 32);
    if (features.has_animation)
        CreateBitmapWithin(GetLimits(), bitmap, features.width, features.height, 32, true);
    else
        CreateRowBitmap(bitmap, features.width, features.height, 32, features.has_alpha != 0,
                        kWindowBatchRows);
    bitmap.Lock(false, true);
    struct UnlockScope {
        CImageBitmap& bitmap;
        ~UnlockScope() { bitmap.Unlock(); }
    } unlock{bitmap};

    if (features.has_animation) {
        source.ReadBytes(static_cast<std::int64_t>(size));
        DecodeFirstFrame(data, size, bitmap);
        return;
    }
    const OutputBufferOwner owner{&config.output};
    CDecodedRowListener* listener = RowReporter();
    if (bitmap.GetWindowRows() != 0 && listener != nullptr) {
        DecodeIntoWindow(data, size, config, bitmap, *listener);
        source.ReadBytes(static_cast<std::int64_t>(size));
        return;
    }
    SetOutputToBitmap(bitmap, config);
    if (listener == nullptr) {
        source.ReadBytes(static_cast<std::int64_t>(size));
        DecodeWhole(data, size, config);
    } else {
        DecodeInSlices(data, size, config, bitmap, *listener);
        source.ReadBytes(static_cast<std::int64_t>(size));
    }
}
