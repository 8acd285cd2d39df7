#include "imagelib/decoders/png_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/text_exception.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <span>

namespace {

// The chunk layout: a signature, then chunks of a 4-byte big-endian data
// length, a 4-letter type, the data and a 4-byte CRC. An iCCP chunk's data is
// a keyword of 1 to 79 bytes ended by a zero byte, a compression method byte
// (0, deflate) and the deflated profile, whose first four bytes give its
// length.
constexpr std::size_t kSignatureBytes = 8;
constexpr std::size_t kChunkFrameBytes = 12;
constexpr std::size_t kMaxKeywordBytes = 79;
constexpr std::uint8_t kDeflate = 0;
constexpr png_byte kProfileChunk[] = "iCCP";
// Chunks of any length that libpng would read into a buffer of the length
// they declare, cleared before their data arrives, and that the picture does
// not need: text, the suggested palettes, the calibration and scale chunks
// and EXIF (its orientation is read from the file's own bytes). libpng
// checks a chunk's length against its chunk limit only as a warning.
constexpr png_byte kUnusedChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0pCAL\0sCAL\0eXIf";
constexpr int kUnusedChunkCount = 7;

// What the chunks ahead of the image data say about an embedded profile,
// read before libpng reads them.
struct ProfileChunkPreview {
    // Only the first iCCP chunk counts, as for libpng.
    bool hasProfile = false;
    // The length the first iCCP chunk's profile gives itself, if readable.
    std::optional<std::uint32_t> declaredBytes;
    // An sRGB chunk, which makes any profile moot.
    bool srgb = false;
};

// The first four bytes of a deflated stream, or nothing when it does not
// start with four bytes of data.
std::optional<std::uint32_t> InflateFirstWord(const std::uint8_t* data, std::size_t size) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    std::uint8_t word[4] = {};
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(std::min<std::size_t>(size, UINT32_MAX));
    stream.next_out = word;
    stream.avail_out = sizeof word;
    const int result = inflate(&stream, Z_SYNC_FLUSH);
    const bool complete = stream.avail_out == 0 && (result == Z_OK || result == Z_STREAM_END);
    inflateEnd(&stream);
    if (!complete) return std::nullopt;
    return ReadBE32(word);
}

// Walks the chunks before the palette and the image data, where libpng
// accepts a profile. Damage ends the walk: libpng will report it.
ProfileChunkPreview PreviewProfileChunk(const std::uint8_t* data, std::size_t size) {
    ProfileChunkPreview preview;
    if (data == nullptr || size < kSignatureBytes) return preview;
    for (std::size_t offset = kSignatureBytes; size - offset >= kChunkFrameBytes;) {
        const std::uint8_t* chunk = data + offset;
        const std::size_t length = ReadBE32(chunk);
        if (length > size - offset - kChunkFrameBytes) break;
        const std::uint8_t* type = chunk + 4;
        const std::uint8_t* body = chunk + 8;
        if (std::memcmp(type, "PLTE", 4) == 0 || std::memcmp(type, "IDAT", 4) == 0) break;
        if (std::memcmp(type, "sRGB", 4) == 0) preview.srgb = true;
        if (std::memcmp(type, kProfileChunk, 4) == 0 && !preview.hasProfile) {
            preview.hasProfile = true;
            const auto* keywordEnd = static_cast<const std::uint8_t*>(
                std::memchr(body, 0, std::min(length, kMaxKeywordBytes + 1)));
            const std::size_t headerBytes =
                keywordEnd != nullptr ? static_cast<std::size_t>(keywordEnd - body) + 2 : 0;
            if (headerBytes != 0 && headerBytes <= length && body[headerBytes - 1] == kDeflate)
                preview.declaredBytes = InflateFirstWord(body + headerBytes, length - headerBytes);
        }
        offset += kChunkFrameBytes + length;
    }
    return preview;
}

// What the libpng callbacks share with the decoder. libpng leaves its frames
// with longjmp, so the callbacks only record here what went wrong; the
// decoder raises it once control is back in C++.
struct PngReadState {
    CImageSource* source = nullptr;
    // Anything the data source threw inside the read callback (the
    // end-of-file error, or whatever a progress sink throws), passed on as is.
    std::exception_ptr pendingException;
    bool failed = false;
    // libpng's text of the first error.
    char message[kMaxMessageLength + 1] = {};
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp text) {
    auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
    if (state != nullptr && !state->failed) {
        state->failed = true;
        std::snprintf(state->message, sizeof state->message, "%s", text != nullptr ? text : "");
    }
    png_longjmp(png, 1);
}

// libpng warnings (bad ancillary chunks, benign errors) are not shown.
void OnPngWarning(png_structp, png_const_charp) {}

void ReadFromSource(png_structp png, png_bytep buffer, png_size_t length) {
    auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
    bool copied = false;
    try {
        const std::uint8_t* bytes = state->source->ReadBytes(static_cast<std::int64_t>(length));
        std::memcpy(buffer, bytes, length);
        copied = true;
    } catch (...) {
        state->pendingException = std::current_exception();
    }
    // Leave the catch block before jumping, so the exception is released
    // properly; the stored pointer keeps it alive.
    if (!copied) {
        state->failed = true;
        png_error(png, "Read error");
    }
}

// Owns libpng's read and info structures for one decode.
class PngReadStructs {
public:
    explicit PngReadStructs(PngReadState& state) {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
        if (m_png != nullptr) m_info = png_create_info_struct(m_png);
    }
    ~PngReadStructs() {
        if (m_png != nullptr) png_destroy_read_struct(&m_png, m_info != nullptr ? &m_info : nullptr, nullptr);
    }
    PngReadStructs(const PngReadStructs&) = delete;
    PngReadStructs& operator=(const PngReadStructs&) = delete;

    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// Everything a libpng step reads or fills in. Plain data, so nothing needs
// destruction in the frames a longjmp leaves.
struct PngSteps {
    // From the image header.
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlaceType = 0;
    bool hasTransparencyChunk = false;
    // The output chosen from them.
    int depth = 0;
    bool grayToRgb = false;
    bool expand = false;
    // Filled in once libpng knows its transformations.
    png_size_t rowBytes = 0;
    png_uint_32 outputHeight = 0;
    // Where libpng writes the decoded rows, and who hears of them.
    png_bytepp rows = nullptr;
    const CImageBitmap* bitmap = nullptr;
    CDecodedRowListener* rowListener = nullptr;
};

void ReadHeaderStep(png_structp png, png_infop info, PngSteps& steps) {
    png_read_info(png, info);
    png_get_IHDR(png, info, &steps.width, &steps.height, &steps.bitDepth, &steps.colorType,
                 &steps.interlaceType, nullptr, nullptr);
    steps.hasTransparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
}

void SetTransformationsStep(png_structp png, png_infop info, PngSteps& steps) {
    if (steps.grayToRgb) png_set_gray_to_rgb(png);
    if (steps.expand) png_set_expand(png);
    if (steps.depth == 32) {
        // The bitmap's 32-bit pixels are blue, green, red, alpha. An image
        // without alpha gets an opaque fourth byte; where png_set_expand turns
        // a tRNS chunk into alpha, libpng skips the filler by itself.
        png_set_bgr(png);
        if ((steps.colorType & PNG_COLOR_MASK_ALPHA) == 0) png_set_filler(png, 255, PNG_FILLER_AFTER);
    }
    if (steps.bitDepth == 16) png_set_strip_16(png);
    if (steps.bitDepth < 8) png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    steps.rowBytes = png_get_rowbytes(png, info);
    steps.outputHeight = png_get_image_height(png, info);
}

void ReadImageStep(png_structp png, png_infop info, PngSteps& steps) {
    // Rows of an interlaced image are complete only after the last pass.
    if (steps.interlaceType == PNG_INTERLACE_NONE && steps.rowListener != nullptr) {
        for (png_uint_32 y = 0; y < steps.height; ++y) {
            png_read_row(png, steps.rows[y], nullptr);
            steps.rowListener->RowsDecoded(*steps.bitmap, static_cast<int>(y + 1));
        }
    } else {
        png_read_image(png, steps.rows);
    }
    png_read_end(png, info);
}

// Runs one step under libpng's error trap. Neither this frame nor the step's
// own holds C++ objects, so libpng's longjmp out of them skips no destructor.
// Returns false when libpng reported an error (recorded in the state).
bool RunPngStep(png_structp png, png_infop info, void (*step)(png_structp, png_infop, PngSteps&),
                PngSteps& steps) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    step(png, info, steps);
    return true;
}

[[noreturn]] void RaiseRecordedError(const PngReadState& state) {
    if (state.pendingException) std::rethrow_exception(state.pendingException);
    RaiseError(ERR_FORMAT_UNKNOWN, state.message);
}

// Chooses the bitmap depth and libpng's transformations from the image
// header and the wanted depth (0, 8 or 32). RGB and alpha images always give
// 32 bits: their rows cannot be narrowed to 8 bits here.
void ChooseOutput(PngSteps& steps, int wantedDepth) {
    switch (steps.colorType) {
        case PNG_COLOR_TYPE_GRAY:
            steps.depth = wantedDepth == 32 ? 32 : 8;
            steps.grayToRgb = steps.expand = steps.depth == 32;
            break;
        case PNG_COLOR_TYPE_PALETTE:
            steps.depth = wantedDepth == 32 ? 32 : 8;
            steps.expand = steps.depth == 32;
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            steps.depth = 32;
            steps.grayToRgb = steps.expand = true;
            break;
        case PNG_COLOR_TYPE_RGB:
        case PNG_COLOR_TYPE_RGB_ALPHA:
            steps.depth = 32;
            break;
        default:
            // libpng refuses other colour types while reading the header.
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "Unknown PNG colour type %d.", steps.colorType);
    }
}

// The iCCP chunk's profile; empty without one, or when an sRGB chunk says
// the numbers are sRGB already. libpng has checked the profile's length
// against its own chunk limit before inflating it, and dropped a profile that
// does not fit the colour type.
std::span<const std::uint8_t> EmbeddedProfile(png_structp png, png_infop info) {
    if (png_get_valid(png, info, PNG_INFO_sRGB) != 0 || png_get_valid(png, info, PNG_INFO_iCCP) == 0)
        return {};
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) == 0 || profile == nullptr) return {};
    return {profile, length};
}

// True when the 32-bit pixels carry real transparency: an alpha channel, or
// a tRNS chunk that png_set_expand turned into one.
bool OutputHasAlpha(const PngSteps& steps) {
    if (steps.depth != 32) return false;
    if ((steps.colorType & PNG_COLOR_MASK_ALPHA) != 0) return true;
    return steps.expand && steps.hasTransparencyChunk;
}

void FillPalette(CImageBitmap& bitmap, png_structp png, png_infop info, const PngSteps& steps) {
    PaletteEntry* entries = bitmap.GetPalette();
    const int entryCount = bitmap.GetPaletteSize();
    if (entries == nullptr) return;
    if (steps.colorType == PNG_COLOR_TYPE_GRAY) {
        // 16-bit samples reach the bitmap cut to their high byte.
        const int sampleBits = steps.bitDepth == 16 ? 8 : steps.bitDepth;
        const int levels = 1 << sampleBits;
        for (int i = 0; i < levels && i < entryCount; ++i) {
            const auto grey = static_cast<std::uint8_t>(i * 255 / (levels - 1));
            entries[i] = PaletteEntry{grey, grey, grey, 255};
        }
    } else if (steps.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp colors = nullptr;
        int colorCount = 0;
        if (png_get_PLTE(png, info, &colors, &colorCount) == 0 || colors == nullptr) return;
        // Entries beyond the image's palette keep the grey ramp of creation.
        for (int i = 0; i < colorCount && i < entryCount; ++i)
            entries[i] = PaletteEntry{colors[i].blue, colors[i].green, colors[i].red, 255};
    }
}

}  // namespace

void CPNGDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>&, int& bpp,
                              CImageSource& source) {
    PngReadState state;
    state.source = &source;
    PngReadStructs structs(state);
    if (structs.png() == nullptr || structs.info() == nullptr) {
        if (state.failed) RaiseRecordedError(state);
        throw CTextException(ERR_NO_MEMORY, "Out of memory creating PNG reader.");
    }
    png_structp png = structs.png();
    png_infop info = structs.info();
    png_set_read_fn(png, &state, ReadFromSource);
    // Refuse absurd sizes while reading the header, before anything is
    // allocated for the image.
    const auto side =
        static_cast<png_uint_32>(std::clamp<std::int64_t>(GetLimits().maxSide, 0, PNG_UINT_31_MAX));
    png_set_user_limits(png, side, side);
    png_set_chunk_malloc_max(png, static_cast<png_alloc_size_t>(
                                      std::min<std::uint64_t>(GetLimits().maxPngChunkBytes, PNG_SIZE_MAX)));
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnusedChunks, kUnusedChunkCount);
    if (GetLimits().maxPngCachedChunks != 0) png_set_chunk_cache_max(png, GetLimits().maxPngCachedChunks);

    // libpng inflates a profile up to its own chunk limit before we could
    // refuse it; lowering that limit would refuse other large chunks, and
    // with them the picture. So a profile whose length is over ours is
    // skipped unread.
    const ProfileChunkPreview preview =
        PreviewProfileChunk(source.GetCurrentPointer(), static_cast<std::size_t>(source.GetRemaining()));
    const bool profileTooLarge =
        preview.declaredBytes && *preview.declaredBytes > GetLimits().maxColorProfileBytes;
    if (profileTooLarge) png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kProfileChunk, 1);

    PngSteps steps;
    if (!RunPngStep(png, info, ReadHeaderStep, steps)) RaiseRecordedError(state);
    TraceFormat(2, "PNG image %u x %u, colour type %d, %d bits%s.\n", steps.width, steps.height,
                steps.colorType, steps.bitDepth,
                steps.interlaceType != PNG_INTERLACE_NONE ? ", interlaced" : "");

    if (profileTooLarge && !preview.srgb) {
        IgnoreColorProfile("it is too large");
    } else if (GetColorManagement()) {
        const std::span<const std::uint8_t> profile = EmbeddedProfile(png, info);
        if (!profile.empty())
            UseColorProfile(profile, (steps.colorType & PNG_COLOR_MASK_COLOR) == 0 ? ProfilePixels::kGrey
                                                                                   : ProfilePixels::kRgb);
    }
    ChooseOutput(steps, bpp);
    if (!RunPngStep(png, info, SetTransformationsStep, steps)) RaiseRecordedError(state);

    // Creation refuses sizes beyond the library's limits with its own error.
    // Rows of an interlaced image are complete only after the last pass, so
    // only the others may be held as a window of rows.
    if (steps.interlaceType == PNG_INTERLACE_NONE)
        CreateRowBitmap(bitmap, static_cast<int>(steps.width), static_cast<int>(steps.height), steps.depth,
                        OutputHasAlpha(steps), 1);
    else
        CreateBitmapWithin(GetLimits(), bitmap, static_cast<int>(steps.width), static_cast<int>(steps.height),
                           steps.depth, OutputHasAlpha(steps));
    // libpng writes whole rows into the bitmap: they must fit.
    if (steps.outputHeight != steps.height || steps.rowBytes > static_cast<png_size_t>(bitmap.GetWidth()) *
                                                                   static_cast<png_size_t>(steps.depth / 8))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "PNG rows of %zu bytes do not fit the bitmap.", steps.rowBytes);
    bpp = steps.depth;
    if (steps.depth == 8) FillPalette(bitmap, png, info, steps);

    bitmap.Lock(false, true);
    steps.rows = bitmap.GetRows();
    steps.bitmap = &bitmap;
    steps.rowListener = RowReporter();
    const bool read = RunPngStep(png, info, ReadImageStep, steps);
    bitmap.Unlock();
    if (!read) RaiseRecordedError(state);
}
