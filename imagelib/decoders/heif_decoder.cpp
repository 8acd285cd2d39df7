#include "imagelib/decoders/heif_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/decoders/heif_boxes.h"
#include "imagelib/decoders/heif_library.h"
#include "imagelib/decoders/heif_planes.h"
#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/limits/work_budget.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// An ISO media box starts with a 32-bit big-endian size and a four-letter
// type; size 1 means a 64-bit size follows, size 0 that the box runs to the
// end of the file.
constexpr std::size_t kBoxHeaderBytes = 8;
constexpr std::size_t kLargeBoxHeaderBytes = 16;
// Where an ICC profile's header names the colour space it describes.
constexpr std::size_t kIccColorSpaceOffset = 16;
constexpr char kIccGreySpace[] = "GRAY";
// libheif's reading time grows with the square of the meta box's lists and
// its decoding with the pictures a derived image lists (see heif_boxes.h).
// Real files hold a few hundred items; 4096 tiles of 256 x 256 pixels make
// a picture as large as a bitmap may be.
constexpr std::uint64_t kMaxItemListEntries = 8192;
constexpr std::uint64_t kMaxDerivedPictures = 4096;
// What libheif holds while it decodes: the codec's planes, colour and alpha
// at up to three samples and one a pixel (for a grid its tiles besides), and
// the red, green, blue and alpha planes it turns them into and hands over.
constexpr std::uint64_t kColorPlanes = 3;

struct ContextDeleter {
    void operator()(heif_context* context) const { Heif().context_free(context); }
};
struct HandleDeleter {
    void operator()(const heif_image_handle* handle) const { Heif().image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(const heif_image* image) const { Heif().image_release(image); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* options) const { Heif().decoding_options_free(options); }
};
using ContextPointer = std::unique_ptr<heif_context, ContextDeleter>;
using HandlePointer = std::unique_ptr<const heif_image_handle, HandleDeleter>;
using ImagePointer = std::unique_ptr<const heif_image, ImageDeleter>;
struct NclxDeleter {
    void operator()(heif_color_profile_nclx* nclx) const { Heif().nclx_color_profile_free(nclx); }
};

// The gamma of a colour box's transfer function for CalibratedRgbSpace (0:
// the sRGB curve), or a negative number for one that describes no picture
// shown on an sRGB screen (PQ, HLG and the like). The BT.709 family's curves
// describe the camera; their pictures are shown as sRGB, as viewers do.
double GammaOfTransfer(heif_transfer_characteristics transfer) {
    switch (transfer) {
        case heif_transfer_characteristic_ITU_R_BT_709_5:
        case heif_transfer_characteristic_unspecified:
        case heif_transfer_characteristic_ITU_R_BT_601_6:
        case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
        case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit:
        case heif_transfer_characteristic_IEC_61966_2_1:
            return 0.0;
        case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
            return 2.2;
        case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
            return 2.8;
        case heif_transfer_characteristic_linear:
            return 1.0;
        default:
            return -1.0;
    }
}

const char* NameOfPrimaries(heif_color_primaries primaries) {
    switch (primaries) {
        case heif_color_primaries_ITU_R_BT_709_5:
        case heif_color_primaries_unspecified:
            return "BT.709";
        case heif_color_primaries_ITU_R_BT_2020_2_and_2100_0:
            return "BT.2020";
        case heif_color_primaries_SMPTE_RP_431_2:
            return "DCI-P3";
        case heif_color_primaries_SMPTE_EG_432_1:
            return "Display P3";
        default:
            return "colour box";
    }
}

[[noreturn]] void RaiseHeifError(const heif_error& error) {
    // libheif's texts end in a full stop or a line end of their own, or not.
    std::string text = error.message != nullptr ? error.message : "Unknown error";
    while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    // libheif names the limit the picture is over (its side limit is ours).
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        RaiseError(ERR_FORMAT_UNKNOWN, "HEIF decoder: The image is larger than the decoder allows.",
                   "HEIF decoder: " + text + ".");
    if (error.code == heif_error_Memory_allocation_error)
        RaiseError(ERR_NO_MEMORY, "Out of memory decoding HEIF.");
    const int code =
        error.code == heif_error_Unsupported_feature || error.code == heif_error_Unsupported_filetype
            ? ERR_UNSUPPORTED_DATA
            : ERR_FORMAT_UNKNOWN;
    RaiseErrorFormat(code, "HEIF decoder: %s.", text.c_str());
}

void Check(const heif_error& error) {
    if (error.code != heif_error_Ok) RaiseHeifError(error);
}

// True when the file's top-level boxes hold a movie but no metadata box: an
// image sequence without a still picture, which libheif does not read.
bool IsSequenceOnly(const std::uint8_t* data, std::size_t size) {
    bool movie = false;
    for (std::size_t offset = 0; size - offset >= kBoxHeaderBytes;) {
        const std::uint8_t* box = data + offset;
        if (std::memcmp(box + 4, "meta", 4) == 0) return false;
        movie |= std::memcmp(box + 4, "moov", 4) == 0;
        std::uint64_t boxSize = ReadBE32(box);
        if (boxSize == 1) {
            if (size - offset < kLargeBoxHeaderBytes) break;
            boxSize = static_cast<std::uint64_t>(ReadBE32(box + 8)) << 32 | ReadBE32(box + 12);
        } else if (boxSize == 0) {
            boxSize = size - offset;
        }
        if (boxSize < kBoxHeaderBytes || boxSize > size - offset) break;
        offset += static_cast<std::size_t>(boxSize);
    }
    return movie;
}

// libheif reads the file through this rather than from memory, so that the
// source may let go of what it has read: libheif copies a picture's coded
// data to hand it to the codec, and keeps the copy while it decodes, so a
// mapped file's pages of it would otherwise be held twice. libheif 1.15
// also reads the coded data once while it reads the file, and lets go of
// it, so only what is read for decoding is forgotten. Reading the bytes
// again stays correct, only slower. Called from libheif's frames, the
// functions throw nothing.
class SourceReader {
public:
    SourceReader(CImageSource& source, const std::uint8_t* data, std::size_t size)
        : m_source(source), m_data(data), m_size(size) {}

    static const heif_reader kFunctions;

    void ForgetWhatIsRead() { m_forgets = true; }

private:
    // Reads shorter than this are of boxes, not worth a system call.
    static constexpr std::size_t kForgottenReadBytes = std::size_t{1} << 20;

    static SourceReader& Of(void* userdata) { return *static_cast<SourceReader*>(userdata); }
    static std::int64_t Position(void* userdata) noexcept {
        return static_cast<std::int64_t>(Of(userdata).m_position);
    }
    static int Read(void* out, std::size_t size, void* userdata) noexcept {
        SourceReader& reader = Of(userdata);
        if (size > reader.m_size - reader.m_position) return 1;
        // libheif asks for nothing into no buffer at times.
        if (size == 0) return 0;
        std::memcpy(out, reader.m_data + reader.m_position, size);
        reader.m_position += size;
        if (reader.m_forgets && size >= kForgottenReadBytes)
            reader.m_source.ForgetBefore(reader.m_data + reader.m_position);
        return 0;
    }
    static int Seek(std::int64_t position, void* userdata) noexcept {
        SourceReader& reader = Of(userdata);
        if (position < 0 || static_cast<std::uint64_t>(position) > reader.m_size) return 1;
        reader.m_position = static_cast<std::size_t>(position);
        return 0;
    }
    static heif_reader_grow_status WaitForFileSize(std::int64_t target, void* userdata) noexcept {
        return target >= 0 && static_cast<std::uint64_t>(target) <= Of(userdata).m_size
                   ? heif_reader_grow_status_size_reached
                   : heif_reader_grow_status_size_beyond_eof;
    }

    CImageSource& m_source;
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
    bool m_forgets = false;
};

const heif_reader SourceReader::kFunctions = {1, Position, Read, Seek, WaitForFileSize};

// libheif is C++ inside: what it lets escape through its C interface becomes
// our error here.
template <class Work>
void RunLibheif(Work work) {
    try {
        work();
    } catch (const CTextException&) {
        throw;
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, "Out of memory decoding HEIF.");
    } catch (const std::exception& error) {
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "HEIF decoder: %s.", error.what());
    }
}

// Rows libheif's picture is handed to a window of rows at a time.
constexpr int kWindowBatchRows = 16;

bool IsGreyProfile(const std::vector<std::uint8_t>& profile) {
    return profile.size() >= kIccColorSpaceOffset + 4 &&
           std::memcmp(profile.data() + kIccColorSpaceOffset, kIccGreySpace, 4) == 0;
}

// libheif 1.15 turns the codec's planes into red, green and blue planes (or
// keeps the one grey plane) whatever it is asked for; asked for interleaved
// pixels, it makes a second copy of four bytes a pixel and holds both, and
// for a 48-megapixel photo that copy is most of the conversion's memory. So
// the picture is taken in the layout libheif holds it in, and interleaved
// here a window of rows at a time. Later libheif releases hand over the
// codec's own YCbCr planes when asked for nothing in particular; they are
// then asked for red, green and blue planes.
ImagePointer DecodePlanes(const heif_image_handle* handle, const heif_decoding_options* options) {
    heif_image* rawImage = nullptr;
    Check(Heif().decode_image(handle, &rawImage, heif_colorspace_undefined, heif_chroma_undefined, options));
    ImagePointer image(rawImage);
    if (HeifPlaneLayoutOf(image.get()) != HeifPlaneLayout::kOther) return image;
    image.reset();
    rawImage = nullptr;
    Check(Heif().decode_image(handle, &rawImage, heif_colorspace_RGB, heif_chroma_444, options));
    image.reset(rawImage);
    if (HeifPlaneLayoutOf(image.get()) == HeifPlaneLayout::kOther)
        RaiseError(ERR_FORMAT_UNKNOWN, "HEIF decoder: The decoded image does not match its header.");
    return image;
}

// Refuses files whose items would cost libheif time out of proportion to
// their size.
void CheckItems(const HeifItemCensus& census, std::uint64_t fileBytes, const DecodeLimits& limits) {
    if (census.malformed != nullptr)
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "HEIF decoder: %s", census.malformed);
    if (census.longestItemList > kMaxItemListEntries)
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN,
                         "HEIF decoder: The file lists %llu items, more than the decoder allows.",
                         static_cast<unsigned long long>(census.longestItemList));
    if (census.mostDerivedPictures > kMaxDerivedPictures)
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN,
                         "HEIF decoder: The image is made of %llu tiles, more than the decoder allows.",
                         static_cast<unsigned long long>(census.mostDerivedPictures));
    // Tiles may share their data (writers store identical tiles once), and
    // only the image decoded is decoded: what costs is the pixels its tiles
    // make the codecs decode. A picture pays for decoding each of its pixels
    // once, tiles over its edges included, and the file's bytes for more.
    WorkBudget work = WorkBudget::ForFile(fileBytes, census.primaryCoveredPixels, limits);
    if (!work.Spend(CheckedMultiply(census.primaryDecodedPixels, limits.workUnitsPerDeclaredPixel)
                        .value_or(UINT64_MAX)))
        RaiseErrorFormat(ERR_FORMAT_UNKNOWN,
                         census.primaryIsDerived
                             ? "HEIF decoder: The image's tiles add up to %llu pixels, out of "
                               "proportion to the picture and the file."
                             : "HEIF decoder: The image's coded data is of %llu pixels, out of "
                               "proportion to the picture and the file.",
                         static_cast<unsigned long long>(census.primaryDecodedPixels));
}

// Refuses a picture whose decoding would take libheif more working memory
// than a bitmap may have, before libheif allocates its planes. The limit in
// pixels is thus lower than other formats': it depends on the samples'
// depth, on alpha and on whether tiles are assembled, and the refusal says
// which applies.
void CheckLibraryMemory(const DecodeLimits& limits, int width, int height, bool hasAlpha, bool grid,
                        int bits) {
    const std::uint64_t sampleBytes = bits > 8 ? 2 : 1;
    const std::uint64_t handedOverBytes = sampleBytes * (kColorPlanes + (hasAlpha ? 1 : 0));
    const std::uint64_t bytesPerPixel = (grid ? 2 : 1) * handedOverBytes + handedOverBytes;
    const std::optional<std::uint64_t> bytes =
        CheckedMultiply(CheckedMultiply(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height))
                            .value_or(UINT64_MAX),
                        bytesPerPixel);
    if (bytes && *bytes <= limits.maxBitmapBytes) return;
    // "picture of W x H pixels is over the limit of N megapixels." for
    // pixels of that many bytes, and why.
    std::string explanation = limits.DescribeOverLimit(width, height, static_cast<int>(8 * bytesPerPixel));
    if (!explanation.empty() && explanation.back() == '.') {
        explanation.pop_back();
        explanation += FormatMessage(
            " for a HEIF picture like this one: libheif holds %llu bytes a pixel while "
            "it decodes it.",
            static_cast<unsigned long long>(bytesPerPixel));
    }
    RaiseError(ERR_FORMAT_UNKNOWN, "HEIF decoder: The image is larger than the decoder allows.", explanation);
}

}  // namespace

void CHEIFDecoder::UseFileProfile(const heif_image_handle* handle,
                                  const std::function<bool()>& decodedIsGrey) {
    const std::size_t size = Heif().image_handle_get_raw_color_profile_size(handle);
    if (size > GetLimits().maxColorProfileBytes) {
        IgnoreColorProfile("it is too large");
        return;
    }
    if (size > 0) {
        std::vector<std::uint8_t> profile(size);
        if (Heif().image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok) {
            IgnoreColorProfile("it could not be read");
            return;
        }
        // Monochrome pictures come out grey in RGB, which an RGB profile
        // describes as well as a grey one. libheif 1.15 does not say whether
        // the stored picture is monochrome, so a grey profile is taken for
        // one whose decoded pixels are all grey; on a colour picture it
        // describes the wrong colour model and is ignored.
        const bool grey = IsGreyProfile(profile) && decodedIsGrey();
        UseColorProfile(profile, grey ? ProfilePixels::kGrey : ProfilePixels::kRgb);
        return;
    }
    heif_color_profile_nclx* rawNclx = nullptr;
    const heif_error nclxError = Heif().image_handle_get_nclx_color_profile(handle, &rawNclx);
    // libheif may hand over the box it allocated even when it then reports
    // values it does not know, so the box is owned before the error is read.
    const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(rawNclx);
    if (nclxError.code != heif_error_Ok || nclx == nullptr) return;
    const double gamma = GammaOfTransfer(nclx->transfer_characteristics);
    if (gamma < 0) {
        IgnoreColorProfile("its transfer function is not supported");
        return;
    }
    CalibratedRgbSpace space;
    space.redX = nclx->color_primary_red_x;
    space.redY = nclx->color_primary_red_y;
    space.greenX = nclx->color_primary_green_x;
    space.greenY = nclx->color_primary_green_y;
    space.blueX = nclx->color_primary_blue_x;
    space.blueY = nclx->color_primary_blue_y;
    space.whiteX = nclx->color_primary_white_x;
    space.whiteY = nclx->color_primary_white_y;
    space.gamma[0] = space.gamma[1] = space.gamma[2] = gamma;
    space.name = NameOfPrimaries(nclx->color_primaries);
    UseColorSpace(space);
}

void CHEIFDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>&, int& bpp,
                               CImageSource& source) {
    TraceLine(2, "Decoding HEIF.\n");
    const std::int64_t size = source.GetRemaining();
    const std::uint8_t* data = source.ReadBytes(size);
    const DecodeLimits& limits = GetLimits();

    if (LoadHeifLibrary() == nullptr)
        RaiseError(ERR_FORMAT_NOT_COMPILED,
                   "HEIF decoder: The HEIF library (libheif.so.1) could not be loaded.");

    // Outlives the context that reads through it.
    SourceReader reader(source, data, static_cast<std::size_t>(size));
    RunLibheif([&] {
        ContextPointer context(Heif().context_alloc());
        if (!context) RaiseError(ERR_NO_MEMORY, "Out of memory decoding HEIF.");
        // libheif refuses larger images while it reads the file, before it
        // allocates anything for them.
        Heif().context_set_maximum_image_size_limit(
            context.get(), static_cast<int>(std::min<std::int64_t>(limits.maxSide, INT_MAX)));
        if (IsSequenceOnly(data, static_cast<std::size_t>(size)))
            RaiseError(ERR_UNSUPPORTED_DATA,
                       "HEIF decoder: The file holds only an image sequence, no still picture.");
        const HeifItemCensus census =
            CountHeifItems(data, static_cast<std::size_t>(size), kMaxItemListEntries);
        CheckItems(census, static_cast<std::uint64_t>(size), limits);
        Check(Heif().context_read_from_reader(context.get(), &SourceReader::kFunctions, &reader, nullptr));

        heif_image_handle* rawHandle = nullptr;
        Check(Heif().context_get_primary_image_handle(context.get(), &rawHandle));
        const HandlePointer handle(rawHandle);
        // libheif turns, mirrors and crops the picture as the file asks while
        // it decodes. The handle may report the stored size or the shown one
        // (libheif 1.15 gives the stored size when the file lists the
        // transformations ahead of it); either bounds the result, since a
        // quarter turn only swaps the sides and a crop only shrinks them. So
        // the limits are checked on it before libheif allocates its planes,
        // and the bitmap gets the decoded size.
        const int storedWidth = Heif().image_handle_get_width(handle.get());
        const int storedHeight = Heif().image_handle_get_height(handle.get());
        const bool hasAlpha = Heif().image_handle_has_alpha_channel(handle.get()) != 0;
        TraceFormat(2, "HEIF image %d x %d, %d bits%s.\n", storedWidth, storedHeight,
                    Heif().image_handle_get_luma_bits_per_pixel(handle.get()), hasAlpha ? ", alpha" : "");
        if (!limits.AllowsSize(storedWidth, storedHeight))
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, "HEIF decoder: Can't handle image size %d x %d.",
                             storedWidth, storedHeight);
        CheckBitmapWithin(limits, storedWidth, storedHeight, 32);
        CheckLibraryMemory(limits, storedWidth, storedHeight, hasAlpha, census.primaryIsGrid,
                           Heif().image_handle_get_luma_bits_per_pixel(handle.get()));

        const std::unique_ptr<heif_decoding_options, OptionsDeleter> options(Heif().decoding_options_alloc());
        if (!options) RaiseError(ERR_NO_MEMORY, "Out of memory decoding HEIF.");
        reader.ForgetWhatIsRead();
        const ImagePointer image = DecodePlanes(handle.get(), options.get());
        const HeifPicture picture = ReadHeifPicture(image.get(), storedWidth, storedHeight);
        const int width = picture.width;
        const int height = picture.height;
        bpp = 32;
        // The profile may be chosen by the decoded pixels, and is known
        // before the first row is handed on.
        if (GetColorManagement()) UseFileProfile(handle.get(), [&] { return HasOnlyGreys(picture); });
        CreateRowBitmap(bitmap, width, height, 32, hasAlpha, kWindowBatchRows);
        bitmap.Lock(false, true);
        if (bitmap.GetWindowRows() == 0) {
            CopyHeifRows(picture, bitmap, 0, height);
        } else {
            for (int first = 0; first < height; first += kWindowBatchRows) {
                const int end = std::min(height, first + kWindowBatchRows);
                CopyHeifRows(picture, bitmap, first, end);
                ReportRows(bitmap, end);
            }
        }
        bitmap.Unlock();
    });
}
