#include "imagelib/decoders/tiff_decoder.h"

#include "imagelib/decoders/tiff_sample_pixels.h"
#include "imagelib/decoders/tiff_sample_rows.h"
#include "imagelib/decoders/tiff_stream.h"
#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/text_exception.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace {

// TIFFRGBAImageBegin writes its own reason into a buffer of this size.
constexpr std::size_t kRgbaMessageSize = 1024;
// The low-colour path handles single-sample images of 1 to 8 bits.
constexpr std::uint16_t kMaxLowColorBits = 8;
// Below this row a failed scanline ends the decode; from there on the rest of
// the picture is worth more than a perfect one, so the row is kept as it is.
constexpr std::uint32_t kFatalRowFraction = 3;

// Rows the decoder's own sample reader hands on at a time.
constexpr int kReportedRows = 16;

const char kBufferOutOfMemory[] = "Out of memory allocating TIFF buffer.";
const char kPaletteOutOfMemory[] = "Out of memory allocating TIFF palette.";

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

// libtiff's RGBA interface multiplies an unassociated alpha into the colours,
// which turns transparent areas black. Told the alpha is associated, it keeps
// the stored colours, as pictures of every other format show them, and the
// alpha beside them.
void KeepStoredColors(TIFF* tiff) {
    std::uint16_t count = 0;
    std::uint16_t* kinds = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) || count == 0 || kinds == nullptr ||
        kinds[0] != EXTRASAMPLE_UNASSALPHA)
        return;
    std::vector<std::uint16_t> associated(kinds, kinds + count);
    associated[0] = EXTRASAMPLE_ASSOCALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, count, associated.data());
}

// Pictures libtiff's RGBA interface takes go through it, so that they come
// out as they always have; the others DecodeSampleRows reads, if it can, and
// so it reads signed and floating-point samples, which the interface would
// take for unsigned integers. The interface's own test passes layouts that
// it then cannot begin or has no routine for (16-bit inks, 4-bit RGB).
bool TakesSampleRows(TIFF* tiff) {
    const auto pixels = TiffSamplePixels::For(tiff);
    if (!pixels) return false;
    if (pixels->AreSignedOrFloat()) return true;
    char reason[kRgbaMessageSize] = {};
    if (!TIFFRGBAImageOK(tiff, reason)) return true;
    RgbaImage rgba;
    rgba.begun = TIFFRGBAImageBegin(&rgba.image, tiff, 0, reason) != 0;
    return !rgba.begun || rgba.image.put.any == nullptr;
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
    // The decoder's own sample reader names the rows it could not read itself.
    const auto rows = GetPictureWarning().empty() ? TiffRowsPastEnd(tiff.get(), stream.size) : std::nullopt;
    if (rows) {
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
        return HasTiffPrintInks(tiff) && UseColorProfile(bytes, ProfilePixels::kCmyk);
    }
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    UseColorProfile(bytes, grey ? ProfilePixels::kGrey : ProfilePixels::kRgb);
    return false;
}

void CTIFFDecoder::DecodeHighColor(CImageBitmap& bitmap, int& bpp, TIFF* tiff, bool rawInks) {
    bpp = ChooseDepth(bpp, 32);

    KeepStoredColors(tiff);
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
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK:
            for (std::size_t k = 0; k < entries; ++k) palette[k] = grey(static_cast<int>(k) * step);
            break;
        case PHOTOMETRIC_MINISWHITE:
            for (std::size_t k = 0; k < entries; ++k)
                palette[k] = grey(static_cast<int>(entries - 1 - k) * step);
            break;
        case PHOTOMETRIC_PALETTE:
            if (ReadTiffColorMap(tiff, entries, palette)) break;
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
    const auto pixels = TiffSamplePixels::For(tiff);
    if (!pixels) RaiseError(ERR_UNSUPPORTED_DATA, "TIFF samples are not supported.");
    TiffSampleRows reader(tiff, GetLimits(), pixels->Chosen());
    const std::uint32_t width = reader.Width();
    const std::uint32_t height = reader.Height();
    CheckImageSize(GetLimits(), width, height, sizeof(std::uint32_t));
    const auto rowSamples = CheckedMultiply(width, pixels->Chosen().size());
    const auto rowSampleBytes = rowSamples ? CheckedMultiply(*rowSamples, sizeof(double)) : std::nullopt;
    if (!rowSampleBytes || *rowSampleBytes > GetLimits().maxBitmapBytes)
        RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    std::vector<double> samples(static_cast<std::size_t>(*rowSamples));

    // Turned as the RGBA interface turns pictures. One whose rows stand as
    // stored is handed on as they come, so the bitmap may be a window of
    // rows; one turned upside down is held whole.
    const std::uint16_t orientation = OrientationOf(tiff);
    const bool flipped = FlipsVertically(orientation);
    if (flipped)
        CreateBitmapWithin(GetLimits(), bitmap, static_cast<int>(width), static_cast<int>(height), 32,
                           pixels->HasAlpha());
    else
        CreateRowBitmap(bitmap, static_cast<int>(width), static_cast<int>(height), 32, pixels->HasAlpha(),
                        kReportedRows);
    const auto rowOf = [&](std::uint32_t y) { return bitmap.GetRows()[flipped ? height - 1 - y : y]; };
    const auto reportBatch = [&](std::uint32_t done) {
        if (!flipped && (done % kReportedRows == 0 || done == height))
            ReportRows(bitmap, static_cast<int>(done));
    };
    bitmap.Lock(false, true);
    std::uint32_t y = 0;
    for (; y < height && reader.ReadRow(y, samples.data()); ++y) {
        pixels->Convert(samples.data(), width, FlipsHorizontally(orientation), rawInks, rowOf(y));
        reportBatch(y + 1);
    }
    if (y == 0) {
        bitmap.Unlock();
        RaiseError(ERR_WRONG_SIGNATURE, reader.FailureText("TIFF image data could not be read."));
    }
    // The picture ends at the first row whose data is missing or broken; the
    // rest is transparent black, as the RGBA interface leaves what it cannot
    // fill.
    for (std::uint32_t row = y; row < height; ++row) {
        std::memset(rowOf(row), 0, std::size_t{width} * 4);
        reportBatch(row + 1);
    }
    bitmap.Unlock();
    if (y < height) {
        if (flipped)
            ReportMissingRows(0, static_cast<int>(height - 1 - y));
        else
            ReportMissingRows(static_cast<int>(y), static_cast<int>(height - 1));
    }
}
