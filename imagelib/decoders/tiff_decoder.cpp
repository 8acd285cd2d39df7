#include "imagelib/decoders/tiff_decoder.h"

#include "imagelib/decoders/tiff_sample_rows.h"
#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/text_exception.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>

namespace {

// The name libtiff quotes in its messages for streams opened from memory.
constexpr char kStreamName[] = "MemSource";
// TIFFRGBAImageBegin writes its own reason into a buffer of this size.
constexpr std::size_t kRgbaMessageSize = 1024;
// The low-colour path handles single-sample images of 1 to 8 bits.
constexpr std::uint16_t kMaxLowColorBits = 8;
// Below this row a failed scanline ends the decode; from there on the rest of
// the picture is worth more than a perfect one, so the row is kept as it is.
constexpr std::uint32_t kFatalRowFraction = 3;

const char kBufferOutOfMemory[] = "Out of memory allocating TIFF buffer.";
const char kPaletteOutOfMemory[] = "Out of memory allocating TIFF palette.";

// One open TIFF stream: the bytes libtiff reads through the client procedures
// below, and the last error message libtiff reported for this handle. Each
// decode has its own, so decodes on several threads never share a message.
struct TiffMemoryStream {
    const std::uint8_t* data = nullptr;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    char lastError[kMaxMessageLength + 1] = {};
};

TiffMemoryStream& StreamOf(thandle_t handle) {
    return *static_cast<TiffMemoryStream*>(handle);
}

tmsize_t ReadStream(thandle_t handle, void* buffer, tmsize_t count) {
    TiffMemoryStream& stream = StreamOf(handle);
    if (count <= 0 || stream.position >= stream.size) return 0;
    // Reads are cut at the end of the data; libtiff treats a short read as
    // the error it is.
    const std::uint64_t available = stream.size - stream.position;
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(count), available));
    std::memcpy(buffer, stream.data + stream.position, n);
    stream.position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteStream(thandle_t, void*, tmsize_t) {
    return 0;
}  // the decoder only reads

toff_t SeekStream(thandle_t handle, toff_t offset, int whence) {
    TiffMemoryStream& stream = StreamOf(handle);
    // libtiff passes relative moves as two's-complement offsets.
    const auto delta = static_cast<std::int64_t>(offset);
    std::int64_t target = 0;
    switch (whence) {
        case SEEK_SET:
            if (offset > static_cast<toff_t>(INT64_MAX)) return static_cast<toff_t>(-1);
            target = delta;
            break;
        case SEEK_CUR:
            if (__builtin_add_overflow(static_cast<std::int64_t>(stream.position), delta, &target))
                return static_cast<toff_t>(-1);
            break;
        case SEEK_END:
            if (__builtin_add_overflow(static_cast<std::int64_t>(stream.size), delta, &target))
                return static_cast<toff_t>(-1);
            break;
        default:
            return static_cast<toff_t>(-1);
    }
    if (target < 0) return static_cast<toff_t>(-1);
    // A position past the end is allowed; reads from there return nothing.
    stream.position = static_cast<std::uint64_t>(target);
    return stream.position;
}

// The stream belongs to the decoder, which outlives the libtiff handle.
int CloseStream(thandle_t) {
    return 0;
}

toff_t StreamSize(thandle_t handle) {
    return StreamOf(handle).size;
}

// The stream is already in memory, so libtiff is given it as a read-only
// mapping instead of copying every strip through ReadStream. Besides saving
// the copies this matters for correctness: libtiff 4.5 rejects uncompressed
// tiles read through the read procedure (its tile buffer is rounded up and
// then compared with the tile size), while the mapped route reads them.
int MapStream(thandle_t handle, void** base, toff_t* size) {
    TiffMemoryStream& stream = StreamOf(handle);
    if (stream.data == nullptr || stream.size == 0) return 0;
    // libtiff only reads through a mapping of a stream opened in read mode.
    *base = const_cast<std::uint8_t*>(stream.data);
    *size = stream.size;
    return 1;
}

void UnmapStream(thandle_t, void*, toff_t) {}  // the memory belongs to the data source

// libtiff's error and warning reports for one handle. They run inside libtiff,
// so nothing here may throw: the texts go into fixed buffers.
int OnTiffError(TIFF*, void* userData, const char*, const char* format, va_list arguments) {
    TiffMemoryStream& stream = *static_cast<TiffMemoryStream*>(userData);
    char* text = stream.lastError;
    if (std::vsnprintf(text, sizeof stream.lastError, format, arguments) >= 0) {
        // Keep room for the line feed every libtiff message ends with here.
        std::size_t length = std::strlen(text);
        if (length > kMaxMessageLength - 1) length = kMaxMessageLength - 1;
        text[length] = '\n';
        text[length + 1] = '\0';
    }
    try {
        TraceLine(0, text);
    } catch (...) {
        // The trace is best effort; libtiff must not see an exception.
    }
    return 1;  // handled: libtiff's process-wide handler stays silent
}

int OnTiffWarning(TIFF*, void*, const char* module, const char* format, va_list arguments) {
    // Warnings never stop decoding; they only reach the trace.
    try {
        const std::string message = FormatMessageV(format, arguments) + "\n";
        TraceLine(2, module != nullptr
                         ? FormatMessage("Warning in LIBTIFF(%s): %s\n", module, message.c_str())
                         : FormatMessage("Warning in LIBTIFF: %s\n", message.c_str()));
    } catch (...) {
    }
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct OpenOptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

TiffHandle OpenFromMemory(TiffMemoryStream& stream, const DecodeLimits& limits) {
    std::unique_ptr<TIFFOpenOptions, OpenOptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnTiffError, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnTiffWarning, &stream);
    // Nothing libtiff allocates for one picture needs to be bigger than the
    // largest bitmap the decode accepts.
    TIFFOpenOptionsSetMaxSingleMemAlloc(
        options.get(),
        static_cast<tmsize_t>(std::min<std::uint64_t>(
            limits.maxBitmapBytes, static_cast<std::uint64_t>(std::numeric_limits<tmsize_t>::max()))));
    return TiffHandle(TIFFClientOpenExt(kStreamName, "r", &stream, ReadStream, WriteStream, SeekStream,
                                        CloseStream, StreamSize, MapStream, UnmapStream, options.get()));
}

// The text of a libtiff failure: the last message libtiff reported for the
// handle, or the given reason when libtiff said nothing (TIFFRGBAImageBegin,
// for one, explains itself only in its own buffer).
std::string FailureText(const TiffMemoryStream& stream, const char* reason) {
    if (stream.lastError[0] != '\0') return stream.lastError;
    return std::string(reason) + "\n";
}

std::string FailureText(TIFF* tiff, const char* reason) {
    return FailureText(StreamOf(TIFFClientdata(tiff)), reason);
}

// Owns a begun TIFFRGBAImage so that every path ends it.
struct RgbaImage {
    TIFFRGBAImage image{};
    bool begun = false;
    ~RgbaImage() {
        if (begun) TIFFRGBAImageEnd(&image);
    }
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Refuses pictures the bitmap model cannot hold before any buffer is sized
// from their header.
void CheckImageSize(const DecodeLimits& limits, std::uint32_t width, std::uint32_t height,
                    std::uint64_t bytesPerPixel) {
    const std::string overLimit =
        limits.DescribeOverLimit(width, height, static_cast<int>(8 * bytesPerPixel));
    if (!limits.AllowsSize(width, height))
        RaiseError(ERR_UNSUPPORTED_DATA,
                   FormatMessage("TIFF image size %u x %u is not supported.", width, height), overLimit);
    const auto pixels = CheckedMultiply(width, height);
    const auto bytes = pixels ? CheckedMultiply(*pixels, bytesPerPixel) : std::nullopt;
    if (!bytes || *bytes > limits.maxBitmapBytes) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory, overLimit);
}

// Spreads packed samples of 2 to 7 bits, most significant first, to one
// palette index per byte.
void UnpackSamples(const std::uint8_t* packed, std::uint8_t* out, std::uint32_t width, unsigned bits) {
    const unsigned mask = (1u << bits) - 1;
    std::uint64_t bitOffset = 0;
    for (std::uint32_t x = 0; x < width; ++x, bitOffset += bits) {
        // A sample spans at most two bytes; the buffer carries a spare byte.
        const std::size_t byte = static_cast<std::size_t>(bitOffset / 8);
        const unsigned pair = (static_cast<unsigned>(packed[byte]) << 8) | packed[byte + 1];
        const unsigned shift = 16 - bits - static_cast<unsigned>(bitOffset % 8);
        out[x] = static_cast<std::uint8_t>((pair >> shift) & mask);
    }
}

// Copies `height` rows of a libtiff raster, whose first row is the bottom of
// the picture, into 32-bit bitmap rows from the top. Each word is read whole
// before its bytes are rewritten, so this works in place.
void CopyRasterRows(const std::uint32_t* raster, std::uint32_t width, std::uint32_t height,
                    std::uint8_t** rows) {
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint32_t* in = raster + std::size_t{height - 1 - y} * width;
        std::uint8_t* out = rows[y];
        for (std::uint32_t x = 0; x < width; ++x, out += 4) {
            const std::uint32_t pixel = in[x];
            out[0] = static_cast<std::uint8_t>(TIFFGetB(pixel));
            out[1] = static_cast<std::uint8_t>(TIFFGetG(pixel));
            out[2] = static_cast<std::uint8_t>(TIFFGetR(pixel));
            out[3] = static_cast<std::uint8_t>(TIFFGetA(pixel));
        }
    }
}

// A print file's inks as the colour conversion takes them (ProfilePixels::
// kCmyk): packed so that CopyRasterRows, which writes a raster word's blue,
// green, red and alpha in that order, leaves cyan, magenta, yellow and black.
std::uint32_t PackInks(std::uint32_t cyan, std::uint32_t magenta, std::uint32_t yellow, std::uint32_t black) {
    return yellow | magenta << 8 | cyan << 16 | black << 24;
}

// Put routines that replace libtiff's own for a CMYK picture converted
// through its profile: libtiff still reads the strips or tiles and handles
// the orientation, and these copy the raw inks where it would turn them into
// light. As libtiff's own routines: `w` pixels of `h` rows, `toskew` raster
// words after each row, `fromskew` pixels of the file's row to skip.
void PutInksContig(TIFFRGBAImage* image, std::uint32_t* out, std::uint32_t, std::uint32_t,
                   std::uint32_t width, std::uint32_t height, std::int32_t fromSkew, std::int32_t toSkew,
                   unsigned char* in) {
    const int samples = image->samplesperpixel;
    for (; height > 0; --height) {
        for (std::uint32_t x = 0; x < width; ++x, in += samples)
            *out++ = PackInks(in[0], in[1], in[2], in[3]);
        out += toSkew;
        in += static_cast<std::ptrdiff_t>(fromSkew) * samples;
    }
}

void PutInksSeparate(TIFFRGBAImage*, std::uint32_t* out, std::uint32_t, std::uint32_t, std::uint32_t width,
                     std::uint32_t height, std::int32_t fromSkew, std::int32_t toSkew, unsigned char* cyan,
                     unsigned char* magenta, unsigned char* yellow, unsigned char* black) {
    for (; height > 0; --height) {
        for (std::uint32_t x = 0; x < width; ++x) *out++ = PackInks(*cyan++, *magenta++, *yellow++, *black++);
        out += toSkew;
        cyan += fromSkew;
        magenta += fromSkew;
        yellow += fromSkew;
        black += fromSkew;
    }
}

// The common print file: four 8-bit inks, cyan, magenta, yellow and black,
// and nothing else; libtiff reads its samples through the routines above.
// Or the same inks at 16 bits, which the decoder reads itself.
bool HasPrintInks(TIFF* tiff) {
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t extraSamples = 0;
    std::uint16_t* extraKinds = nullptr;
    std::uint16_t inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraSamples, &extraKinds);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet);
    return (bitsPerSample == 8 || bitsPerSample == 16) && samplesPerPixel == 4 && extraSamples == 0 &&
           inkSet == INKSET_CMYK;
}

// The pictures DecodeSampleRows draws: grey ones of one sample, and CMYK
// print files of 16-bit inks.
bool IsSampleRowsPicture(TIFF* tiff) {
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    if (!TiffSampleRows::Reads(tiff)) return false;
    if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE)
        return samplesPerPixel == 1;
    return photometric == PHOTOMETRIC_SEPARATED && sampleFormat == SAMPLEFORMAT_UINT && HasPrintInks(tiff) &&
           bitsPerSample == 16;
}

// Pictures libtiff's RGBA interface takes go through it, so that they come
// out as they always have; the others DecodeSampleRows reads, if it can.
// The interface's own test passes 16-bit inks that it then cannot begin.
bool TakesSampleRows(TIFF* tiff) {
    if (!IsSampleRowsPicture(tiff)) return false;
    char reason[kRgbaMessageSize] = {};
    if (!TIFFRGBAImageOK(tiff, reason)) return true;
    RgbaImage rgba;
    rgba.begun = TIFFRGBAImageBegin(&rgba.image, tiff, 0, reason) != 0;
    return !rgba.begun;
}

// How libtiff's RGBA interface turns a picture for its bottom-up raster,
// which the decoder then reads from the top: orientations 5 to 8 as if they
// were 1 to 4.
bool FlipsVertically(std::uint16_t orientation) {
    return orientation == ORIENTATION_BOTRIGHT || orientation == ORIENTATION_BOTLEFT ||
           orientation == ORIENTATION_RIGHTBOT || orientation == ORIENTATION_LEFTBOT;
}

bool FlipsHorizontally(std::uint16_t orientation) {
    return orientation == ORIENTATION_TOPRIGHT || orientation == ORIENTATION_BOTRIGHT ||
           orientation == ORIENTATION_RIGHTTOP || orientation == ORIENTATION_RIGHTBOT;
}

std::uint16_t OrientationOf(TIFF* tiff) {
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    return orientation;
}

// The range of grey a file's samples span: what SMinSampleValue and
// SMaxSampleValue declare, else the whole range of an integer sample, or 0
// to 1 for floating point.
struct GreyRange {
    double low = 0;
    double high = 1;
};

GreyRange DeclaredGreyRange(TIFF* tiff) {
    std::uint16_t bits = 1;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    GreyRange whole;
    if (format == SAMPLEFORMAT_INT) {
        whole.low = -std::ldexp(1.0, bits - 1);
        whole.high = std::ldexp(1.0, bits - 1) - 1;
    } else if (format != SAMPLEFORMAT_IEEEFP) {
        whole.high = std::ldexp(1.0, bits) - 1;
    }
    GreyRange declared = whole;
    double value = 0;
    if (TIFFGetField(tiff, TIFFTAG_SMINSAMPLEVALUE, &value) == 1 && std::isfinite(value))
        declared.low = value;
    if (TIFFGetField(tiff, TIFFTAG_SMAXSAMPLEVALUE, &value) == 1 && std::isfinite(value))
        declared.high = value;
    // A range the wrong way round, or empty, says nothing.
    return declared.high > declared.low ? declared : whole;
}

// A sample as an 8-bit grey level of its range; outside the range clipped,
// and not-a-number black.
std::uint8_t GreyLevel(double sample, const GreyRange& range) {
    const double fraction = (sample - range.low) / (range.high - range.low);
    if (!(fraction > 0)) return 0;
    if (fraction >= 1) return 255;
    return static_cast<std::uint8_t>(fraction * 255 + 0.5);
}

// A 16-bit ink as an 8-bit one, as libtiff takes 16-bit samples to 8 bits.
std::uint32_t EightBitInk(double ink) {
    return (static_cast<std::uint32_t>(ink) + 128) / 257;
}

}  // namespace

void CTIFFDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                               CImageSource& source) {
    // The stream starts at the read position: for an EPS file that is the
    // preview, whose offsets count from its own first byte.
    TiffMemoryStream stream;
    stream.data = source.GetCurrentPointer();
    stream.size = stream.data != nullptr ? static_cast<std::uint64_t>(source.GetRemaining()) : 0;

    // Declared after the stream, so the handle is closed before the stream goes.
    TiffHandle tiff = OpenFromMemory(stream, GetLimits());
    if (!tiff) RaiseError(ERR_WRONG_SIGNATURE, FailureText(stream, "Not a TIFF file."));
    DecodeTIFF(bitmap, palette, bpp, source, tiff.get());

    // Every path fills what a cut-off file lacks with zeros; the rows are
    // named as the picture stands, which the low-colour path leaves as stored.
    if (const auto rows = TiffRowsPastEnd(tiff.get(), stream.size)) {
        const auto last = static_cast<std::uint32_t>(bitmap.GetHeight() - 1);
        if (bitmap.GetDepth() == 32 && FlipsVertically(OrientationOf(tiff.get())))
            ReportMissingRows(static_cast<int>(last - std::min(rows->second, last)),
                              static_cast<int>(last - std::min(rows->first, last)));
        else
            ReportMissingRows(static_cast<int>(std::min(rows->first, last)),
                              static_cast<int>(std::min(rows->second, last)));
    }
}

void CTIFFDecoder::DecodeTIFF(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                              CImageSource&, TIFF* tiff) {
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    const bool rawInks = GetColorManagement() && UseFileProfile(tiff);

    // Zero bits per sample would leave the palette without entries; libtiff's
    // RGBA interface refuses such an image with a clear message instead.
    const bool lowColor = samplesPerPixel == 1 && bitsPerSample >= 1 && bitsPerSample <= kMaxLowColorBits &&
                          bpp < 32 && !TIFFIsTiled(tiff);
    if (lowColor)
        DecodeLowColor(bitmap, palette, bpp, tiff);
    else if (TakesSampleRows(tiff))
        DecodeSampleRows(bitmap, bpp, tiff, rawInks);
    else
        DecodeHighColor(bitmap, bpp, tiff, rawInks);
}

bool CTIFFDecoder::UseFileProfile(TIFF* tiff) {
    std::uint32_t length = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &length, &profile) == 0 || profile == nullptr || length == 0)
        return false;
    const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(profile), length);
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    if (photometric == PHOTOMETRIC_SEPARATED) {
        // libtiff's RGBA interface turns inks into light on its own; other
        // layouts of inks keep that conversion.
        return HasPrintInks(tiff) && UseColorProfile(bytes, ProfilePixels::kCmyk);
    }
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    UseColorProfile(bytes, grey ? ProfilePixels::kGrey : ProfilePixels::kRgb);
    return false;
}

void CTIFFDecoder::DecodeHighColor(CImageBitmap& bitmap, int& bpp, TIFF* tiff, bool rawInks) {
    bpp = ChooseDepth(bpp, 32);

    RgbaImage rgba;
    char reason[kRgbaMessageSize] = {};
    if (!TIFFRGBAImageBegin(&rgba.image, tiff, 0, reason))
        RaiseError(ERR_WRONG_SIGNATURE, FailureText(tiff, reason));
    rgba.begun = true;
    // Only where libtiff has a routine of its own, so the same files decode
    // or fail as without the profile. What libtiff cannot fill stays zero:
    // no ink, which the conversion makes white.
    if (rawInks && rgba.image.put.any != nullptr) {
        if (rgba.image.isContig)
            rgba.image.put.contig = PutInksContig;
        else
            rgba.image.put.separate = PutInksSeparate;
    }

    const std::uint32_t width = rgba.image.width;
    const std::uint32_t height = rgba.image.height;

    // A picture in several strips, stored top row first, is read a strip at a
    // time through a raster of one strip, and its rows are handed on as each
    // strip is done: the bitmap may then be a window of rows. libtiff decodes
    // strip by strip either way, so the pixels are those of one raster.
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    const bool inStrips = !TIFFIsTiled(tiff) && rgba.image.orientation == ORIENTATION_TOPLEFT &&
                          rowsPerStrip >= 1 && rowsPerStrip < height;
    // Only a picture held whole is held to the byte limit here; one that may
    // stream is sized by CreateRowBitmap.
    constexpr std::uint32_t kLargestInt = std::numeric_limits<int>::max();
    if (!inStrips || !MayStream(static_cast<int>(std::min(width, kLargestInt)),
                                static_cast<int>(std::min(height, kLargestInt)), 32))
        CheckImageSize(GetLimits(), width, height, sizeof(std::uint32_t));
    if (inStrips) {
        // One strip's raster, beside the window.
        CheckImageSize(GetLimits(), width, rowsPerStrip, sizeof(std::uint32_t));
        CreateRowBitmap(bitmap, static_cast<int>(width), static_cast<int>(height), 32, rgba.image.alpha != 0,
                        static_cast<int>(rowsPerStrip));
        const std::size_t stripPixels = std::size_t{width} * rowsPerStrip;
        std::unique_ptr<std::uint32_t, FreeDeleter> strip(
            static_cast<std::uint32_t*>(std::malloc(stripPixels * sizeof(std::uint32_t))));
        if (!strip) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
        bitmap.Lock(false, true);
        for (std::uint32_t top = 0; top < height; top += rowsPerStrip) {
            const std::uint32_t rows = std::min(rowsPerStrip, height - top);
            // Zeroed like the whole raster: what libtiff cannot fill is
            // transparent black.
            std::memset(strip.get(), 0, std::size_t{width} * rows * sizeof(std::uint32_t));
            rgba.image.row_offset = static_cast<int>(top);
            if (!TIFFRGBAImageGet(&rgba.image, strip.get(), width, rows))
                RaiseError(ERR_WRONG_SIGNATURE, FailureText(tiff, "TIFF image data could not be read."));
            CopyRasterRows(strip.get(), width, rows, bitmap.GetRows() + top);
            ReportRows(bitmap, static_cast<int>(top + rows));
        }
        bitmap.Unlock();
        return;
    }

    CreateBitmapWithin(GetLimits(), bitmap, static_cast<int>(width), static_cast<int>(height), 32,
                       rgba.image.alpha != 0);

    // libtiff's raster is a bottom-up array of 32-bit pixels, which is how a
    // 32-bit CDIBBitmap stores its rows. When the bitmap's rows lie like that,
    // libtiff fills them directly and only the byte order is fixed up below;
    // a large picture then needs half the memory. Other bitmaps get a raster
    // of their own. Either is zeroed, so a strip libtiff could not fill
    // leaves transparent black rather than stale heap.
    bitmap.Lock(false, true);
    std::uint8_t** rows = bitmap.GetRows();
    const std::size_t rowBytes = std::size_t{width} * sizeof(std::uint32_t);
    const bool rowsAreRaster = bitmap.GetLineStride() == rowBytes &&
                               rows[0] == rows[height - 1] + std::size_t{height - 1} * rowBytes;
    std::unique_ptr<std::uint32_t, FreeDeleter> ownRaster;
    std::uint32_t* raster = nullptr;
    if (rowsAreRaster) {
        raster = reinterpret_cast<std::uint32_t*>(rows[height - 1]);
    } else {
        ownRaster.reset(
            static_cast<std::uint32_t*>(std::calloc(std::size_t{width} * height, sizeof(std::uint32_t))));
        if (!ownRaster) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
        raster = ownRaster.get();
    }

    if (!TIFFRGBAImageGet(&rgba.image, raster, width, height))
        RaiseError(ERR_WRONG_SIGNATURE, FailureText(tiff, "TIFF image data could not be read."));

    CopyRasterRows(raster, width, height, rows);
    bitmap.Unlock();
}

void CTIFFDecoder::DecodeLowColor(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                                  TIFF* tiff) {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);

    CheckImageSize(GetLimits(), width, height, 1);
    const tmsize_t scanlineSize = TIFFScanlineSize(tiff);
    if (scanlineSize <= 0)
        RaiseError(ERR_UNSUPPORTED_DATA, FailureText(tiff, "TIFF scanline size is invalid."));
    if (static_cast<std::uint64_t>(scanlineSize) > GetLimits().maxBitmapBytes)
        RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);

    const int depth = samplesPerPixel == 1 && bitsPerSample == 1 ? 1 : 8;
    if (bpp == 0) bpp = depth;
    CreateBitmapWithin(GetLimits(), bitmap, static_cast<int>(width), static_cast<int>(height), depth, false);

    const std::size_t entries = std::size_t{1} << bitsPerSample;
    try {
        palette.assign(entries, PaletteEntry{});
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, kPaletteOutOfMemory);
    }

    // Never smaller than the packed samples of one row, with a spare zero byte
    // so the unpacking below may always look one byte ahead.
    const std::size_t packedBytes = (std::size_t{width} * bitsPerSample + 7) / 8;
    const std::size_t bufferSize = std::max(static_cast<std::size_t>(scanlineSize), packedBytes) + 1;
    std::unique_ptr<std::uint8_t, FreeDeleter> scanline(
        static_cast<std::uint8_t*>(std::calloc(bufferSize, 1)));
    if (!scanline) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);

    const int step = 255 / static_cast<int>(entries - 1);
    auto grey = [](int level) {
        const auto value = static_cast<std::uint8_t>(level);
        return PaletteEntry{value, value, value, 255};
    };
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK:
            for (std::size_t k = 0; k < entries; ++k) palette[k] = grey(static_cast<int>(k) * step);
            break;
        case PHOTOMETRIC_MINISWHITE:
            for (std::size_t k = 0; k < entries; ++k)
                palette[k] = grey(static_cast<int>(entries - 1 - k) * step);
            break;
        case PHOTOMETRIC_PALETTE:
            if (TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue) {
                // Writers disagree on the width of map values: a map whose
                // values all fit in 8 bits is taken as it is.
                bool sixteenBit = false;
                for (std::size_t k = 0; k < entries; ++k)
                    if (red[k] >= 256 || green[k] >= 256 || blue[k] >= 256) sixteenBit = true;
                auto scale = [sixteenBit](std::uint16_t v) {
                    return static_cast<std::uint8_t>(sixteenBit ? v * 255u / 65535u : v);
                };
                for (std::size_t k = 0; k < entries; ++k)
                    palette[k] = PaletteEntry{scale(blue[k]), scale(green[k]), scale(red[k]), 255};
                break;
            }
            // libtiff refuses palette images without a map when it opens them;
            // should one get through, a grey ramp is the most useful guess.
            for (std::size_t k = 0; k < entries; ++k) palette[k] = grey(static_cast<int>(k) * step);
            break;
        default:
            TraceLine(2, "unexpected PhotometricInterpretation in CTIFFDecoder::DoLoColor()");
            for (std::size_t k = 0; k < entries; ++k) palette[k] = grey(static_cast<int>(k) * step);
            break;
    }

    bitmap.Lock(false, true);
    std::uint8_t** rows = bitmap.GetRows();
    const std::size_t rowBytes = depth == 1 ? (std::size_t{width} + 7) / 8 : width;
    for (std::uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff, scanline.get(), y, 0) == -1 && y < height / kFatalRowFraction) {
            bitmap.Unlock();
            RaiseError(ERR_UNSUPPORTED_DATA, FailureText(tiff, "TIFF scanline could not be read."));
        }
        if (bitsPerSample == 1 || bitsPerSample == 8)
            std::memcpy(rows[y], scanline.get(), std::min(rowBytes, static_cast<std::size_t>(scanlineSize)));
        else
            UnpackSamples(scanline.get(), rows[y], width, bitsPerSample);
    }
    bitmap.Unlock();

    const std::size_t bitmapEntries = static_cast<std::size_t>(bitmap.GetPaletteSize());
    PaletteEntry* bitmapPalette = bitmap.GetPalette();
    for (std::size_t k = 0; k < std::min(entries, bitmapEntries); ++k) bitmapPalette[k] = palette[k];
}

void CTIFFDecoder::DecodeSampleRows(CImageBitmap& bitmap, int& bpp, TIFF* tiff, bool rawInks) {
    bpp = ChooseDepth(bpp, 32);
    TiffSampleRows reader(tiff, GetLimits());
    const std::uint32_t width = reader.Width();
    const std::uint32_t height = reader.Height();
    CheckImageSize(GetLimits(), width, height, sizeof(std::uint32_t));
    const std::uint16_t samplesPerPixel = reader.SamplesPerPixel();
    const auto rowSamples = CheckedMultiply(width, samplesPerPixel);
    const auto rowSampleBytes = rowSamples ? CheckedMultiply(*rowSamples, sizeof(double)) : std::nullopt;
    if (!rowSampleBytes || *rowSampleBytes > GetLimits().maxBitmapBytes)
        RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    std::vector<double> samples(static_cast<std::size_t>(*rowSamples));
    CreateBitmapWithin(GetLimits(), bitmap, static_cast<int>(width), static_cast<int>(height), 32, false);

    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    const std::uint16_t orientation = OrientationOf(tiff);
    const bool flipVertically = FlipsVertically(orientation);
    const bool flipHorizontally = FlipsHorizontally(orientation);
    const GreyRange range = DeclaredGreyRange(tiff);
    bitmap.Lock(false, true);
    for (std::uint32_t y = 0; y < height; ++y) {
        // A row libtiff cannot read reads as zero samples, as the RGBA
        // interface leaves what it cannot fill.
        reader.ReadRow(y, samples.data());
        std::uint8_t* row = bitmap.GetRows()[flipVertically ? height - 1 - y : y];
        for (std::uint32_t x = 0; x < width; ++x) {
            const double* sample = samples.data() + std::size_t{x} * samplesPerPixel;
            std::uint8_t* pixel = row + 4 * std::size_t{flipHorizontally ? width - 1 - x : x};
            if (photometric == PHOTOMETRIC_SEPARATED) {
                const std::uint32_t cyan = EightBitInk(sample[0]);
                const std::uint32_t magenta = EightBitInk(sample[1]);
                const std::uint32_t yellow = EightBitInk(sample[2]);
                const std::uint32_t black = EightBitInk(sample[3]);
                if (rawInks) {
                    // In the order the profile's conversion takes them (see PackInks).
                    pixel[0] = static_cast<std::uint8_t>(cyan);
                    pixel[1] = static_cast<std::uint8_t>(magenta);
                    pixel[2] = static_cast<std::uint8_t>(yellow);
                    pixel[3] = static_cast<std::uint8_t>(black);
                    continue;
                }
                // As libtiff turns 8-bit inks into light.
                const std::uint32_t light = 255 - black;
                pixel[0] = static_cast<std::uint8_t>(light * (255 - yellow) / 255);
                pixel[1] = static_cast<std::uint8_t>(light * (255 - magenta) / 255);
                pixel[2] = static_cast<std::uint8_t>(light * (255 - cyan) / 255);
                pixel[3] = 255;
                continue;
            }
            std::uint8_t grey = GreyLevel(sample[0], range);
            if (photometric == PHOTOMETRIC_MINISWHITE) grey = static_cast<std::uint8_t>(255 - grey);
            pixel[0] = pixel[1] = pixel[2] = grey;
            pixel[3] = 255;
        }
    }
    bitmap.Unlock();
}
