#include "imagelib/formats/any_format_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/decoders/bmp_decoder.h"
#include "imagelib/decoders/gif_decoder.h"
#include "imagelib/decoders/heif_decoder.h"
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/decoders/metafile_decoder.h"
#include "imagelib/decoders/pcx_decoder.h"
#include "imagelib/decoders/pgm_decoder.h"
#include "imagelib/decoders/pict_decoder.h"
#include "imagelib/decoders/png_decoder.h"
#include "imagelib/decoders/pnm_decoder.h"
#include "imagelib/decoders/tga_decoder.h"
#include "imagelib/decoders/tiff_decoder.h"
#include "imagelib/decoders/webp_decoder.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <new>
#include <string>

namespace {

// A Mac picture follows a 512-byte preamble, so its version opcode stands at
// byte 522; shorter data cannot hold a picture worth looking at.
constexpr std::size_t kPictOpcodeOffset = 522;
constexpr std::int64_t kMinimumPictSize = 540;

// An EPS file with a binary header names the offset and length of a TIFF
// preview in the two dwords at 20 and 24.
constexpr std::size_t kEpsPreviewOffsetField = 20;
constexpr std::size_t kEpsPreviewLengthField = 24;
constexpr std::int64_t kEpsHeaderBytes = 30;

bool IsOneOf(std::uint8_t value, std::initializer_list<std::uint8_t> accepted) {
    return std::find(accepted.begin(), accepted.end(), value) != accepted.end();
}

// The Targa header has no signature; these are the values a real file can hold
// in its colour-map type, image type, colour-map entry size and pixel depth.
bool IsTarga(const std::uint8_t* header, std::int64_t) {
    return IsOneOf(header[1], {0, 1}) && IsOneOf(header[2], {0, 1, 2, 3, 9, 10, 11}) &&
           IsOneOf(header[7], {0, 8, 15, 16, 24, 32}) && IsOneOf(header[16], {8, 15, 16, 24, 32});
}

bool StartsWith(const std::uint8_t* bytes, std::initializer_list<std::uint8_t> prefix) {
    return std::equal(prefix.begin(), prefix.end(), bytes);
}

// "BM", or "BA" for an OS/2 bitmap array whose first entry is a bitmap.
bool IsBitmap(const std::uint8_t* header, std::int64_t) {
    return ReadLE16(header) == 0x4D42 || (ReadLE16(header) == 0x4142 && ReadLE16(header + 14) == 0x4D42);
}

bool IsGif(const std::uint8_t* header, std::int64_t) {
    return ReadLE32(header) == 0x38464947;  // "GIF8"
}

// Classic TIFF has the version 42 after the byte order, BigTIFF (64-bit
// offsets) 43.
bool IsTiff(const std::uint8_t* header, std::int64_t) {
    return StartsWith(header, {0x49, 0x49, 0x2A, 0x00}) || StartsWith(header, {0x4D, 0x4D, 0x00, 0x2A}) ||
           StartsWith(header, {0x49, 0x49, 0x2B, 0x00}) || StartsWith(header, {0x4D, 0x4D, 0x00, 0x2B});
}

// The one test that needs the data's length: the version opcode sits behind
// the preamble. It comes after the signatures that start the data and before
// JPEG's, whose three bytes a preamble may well begin with.
bool IsMacPicture(const std::uint8_t* header, std::int64_t size) {
    if (size <= kMinimumPictSize) return false;
    const std::uint8_t* opcode = header + kPictOpcodeOffset;
    return StartsWith(opcode, {0x00, 0x11, 0x02, 0xFF}) || StartsWith(opcode, {0x00, 0x11, 0x01}) ||
           StartsWith(opcode, {0x11, 0x01, 0x01, 0x00});
}

bool IsJpeg(const std::uint8_t* header, std::int64_t) {
    return StartsWith(header, {0xFF, 0xD8, 0xFF});
}

bool IsPng(const std::uint8_t* header, std::int64_t) {
    return StartsWith(header, {0x89, 0x50, 0x4E, 0x47});
}

bool IsEpsWithTiffPreview(const std::uint8_t* header, std::int64_t) {
    return (StartsWith(header, {0xC5, 0xD0, 0xD3, 0xC6}) || StartsWith(header, {0xC6, 0xD3, 0xD0, 0xC5})) &&
           ReadLE32(header + kEpsPreviewOffsetField) != 0 && ReadLE32(header + kEpsPreviewLengthField) != 0;
}

bool IsPcx(const std::uint8_t* header, std::int64_t) {
    return header[0] == 0x0A && header[2] == 1;
}

bool IsPgm(const std::uint8_t* header, std::int64_t) {
    return header[0] == 'P' && (header[1] == '2' || header[1] == '5');
}

// "RIFF", the file size, "WEBP".
bool IsWebP(const std::uint8_t* header, std::int64_t) {
    return std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "WEBP", 4) == 0;
}

// An ISO media file opens with its file-type box: size, "ftyp", the major
// brand, a minor version, then compatible brands up to the box's end. HEIF
// and AVIF files name one of these brands there, still images and image
// sequences alike (the decoder tells sequences apart).
bool IsHeif(const std::uint8_t* header, std::int64_t size) {
    constexpr std::int64_t kBrandsOffset = 16;
    if (std::memcmp(header + 4, "ftyp", 4) != 0) return false;
    const std::int64_t boxSize =
        std::min<std::int64_t>({ReadBE32(header), size, CAnyFormatDecoder::kDetectionBytes});
    static constexpr std::array<const char*, 9> kBrands{"heic", "heix", "hevc", "heim", "heis",
                                                        "mif1", "msf1", "avif", "avis"};
    const auto namesBrand = [&](std::int64_t offset) {
        return std::any_of(kBrands.begin(), kBrands.end(),
                           [&](const char* brand) { return std::memcmp(header + offset, brand, 4) == 0; });
    };
    if (boxSize < kBrandsOffset) return false;
    if (namesBrand(8)) return true;
    for (std::int64_t offset = kBrandsOffset; offset + 4 <= boxSize; offset += 4)
        if (namesBrand(offset)) return true;
    return false;
}

// The netpbm forms the grey-map decoder does not read.
bool IsOtherNetpbm(const std::uint8_t* header, std::int64_t) {
    return header[0] == 'P' && IsOneOf(header[1], {'1', '3', '4', '6', '7'});
}

template <auto member, class Decoders>
CImageDecoder& DecoderOf(Decoders& decoders) {
    return decoders.*member;
}

// The metafile decoder is chosen by name alone: metafiles without a placeable
// header have no signature worth testing.
int FormatFromName(const std::string& name) {
    std::string upper;
    try {
        upper = name;
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, "Out of memory during strdup.");
    }
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.find(".WMF") != std::string::npos) return CAnyFormatDecoder::FORMAT_WMF;
    if (upper.find(".EMF") != std::string::npos) return CAnyFormatDecoder::FORMAT_EMF;
    return CAnyFormatDecoder::FORMAT_UNKNOWN;
}

}  // namespace

// Declared in this order so that the JPEG decoder outlives the picture
// decoder that borrows it.
struct CAnyFormatDecoder::Decoders {
    CBMPDecoder bmp;
    CTGADecoder tga;
    CGIFDecoder gif;
    CTIFFDecoder tiff;
    CJPEGDecoder jpeg;
    CPICTDecoder pict{&jpeg};
    CPNGDecoder png;
    CMetafileDecoder metafile;
    CPCXDecoder pcx;
    CPGMDecoder pgm;
    CWebPDecoder webp;
    CHEIFDecoder heif;
    CPNMDecoder pnm;
};

struct CAnyFormatDecoder::FormatEntry {
    int format;
    // Traced when the format is chosen.
    const char* trace;
    // Reads a zero-padded header of kDetectionBytes and the data's length;
    // null for formats chosen by name alone.
    bool (*matches)(const std::uint8_t* header, std::int64_t size);
    CImageDecoder& (*decoder)(Decoders&);
};

// Detection walks the rows in order and takes the first whose test matches;
// the metafile rows are reached by name only. A new format is one more row
// (with its decoder in Decoders); one tested after every existing signature
// goes at the end.
const CAnyFormatDecoder::FormatEntry CAnyFormatDecoder::kFormats[] = {
    {FORMAT_WMF, "WMF file recognized.\n", nullptr, DecoderOf<&Decoders::metafile>},
    {FORMAT_EMF, "EMF file recognized.\n", nullptr, DecoderOf<&Decoders::metafile>},
    {FORMAT_BMP, "Windows bitmap recognized.\n", IsBitmap, DecoderOf<&Decoders::bmp>},
    {FORMAT_TGA, "TGA file recognized.\n", IsTarga, DecoderOf<&Decoders::tga>},
    {FORMAT_GIF, "GIF file recognized.\n", IsGif, DecoderOf<&Decoders::gif>},
    {FORMAT_TIFF, "TIFF file recognized.\n", IsTiff, DecoderOf<&Decoders::tiff>},
    {FORMAT_PICT, "Mac PICT recognized.\n", IsMacPicture, DecoderOf<&Decoders::pict>},
    {FORMAT_JPEG, "JPEG file recognized.\n", IsJpeg, DecoderOf<&Decoders::jpeg>},
    {FORMAT_PNG, "PNG file recognized.\n", IsPng, DecoderOf<&Decoders::png>},
    {FORMAT_EPS_TIFF, "TIFF preview in EPS file recognized.\n", IsEpsWithTiffPreview,
     DecoderOf<&Decoders::tiff>},
    {FORMAT_PCX, "PCX file recognized.\n", IsPcx, DecoderOf<&Decoders::pcx>},
    {FORMAT_PGM, "PGM file recognized.\n", IsPgm, DecoderOf<&Decoders::pgm>},
    // Read since: after every test above, so no file changes its decoder.
    {FORMAT_WEBP, "WebP file recognized.\n", IsWebP, DecoderOf<&Decoders::webp>},
    {FORMAT_HEIF, "HEIF file recognized.\n", IsHeif, DecoderOf<&Decoders::heif>},
    {FORMAT_PNM, "PNM file recognized.\n", IsOtherNetpbm, DecoderOf<&Decoders::pnm>},
};

CAnyFormatDecoder::CAnyFormatDecoder() : m_decoders(std::make_unique<Decoders>()) {}

CAnyFormatDecoder::~CAnyFormatDecoder() = default;

const CAnyFormatDecoder::FormatEntry* CAnyFormatDecoder::FindFormat(int format) {
    for (const FormatEntry& entry : kFormats)
        if (entry.format == format) return &entry;
    return nullptr;
}

int CAnyFormatDecoder::DetectFormat(const std::uint8_t* data, std::int64_t size) {
    // Work on a zero-padded copy so short data never reads past its end.
    std::array<std::uint8_t, kDetectionBytes> header{};
    if (data != nullptr && size > 0)
        std::memcpy(header.data(), data, static_cast<std::size_t>(std::min(size, kDetectionBytes)));
    for (const FormatEntry& entry : kFormats)
        if (entry.matches != nullptr && entry.matches(header.data(), size)) return entry.format;
    return FORMAT_UNKNOWN;
}

int CAnyFormatDecoder::DetectSourceFormat(const std::string& name, const std::uint8_t* header,
                                          std::int64_t size) {
    const int format = FormatFromName(name);
    return format != FORMAT_UNKNOWN ? format : DetectFormat(header, size);
}

void CAnyFormatDecoder::DecodeSource(CImageSource& source, CImageBitmap& bitmap, int wantedDepth) {
    SetColorNote({});
    SetDeferredConversion(nullptr);
    ClearNotes();
    const int format =
        DetectSourceFormat(source.GetName(), source.PeekBytes(kDetectionBytes), source.GetSize());
    if (format == FORMAT_UNKNOWN) RaiseError(ERR_UNKNOWN_FILE_TYPE, "Unknown file type.");

    const FormatEntry* entry = FindFormat(format);
    if (entry == nullptr) RaiseError(ERR_FORMAT_NOT_COMPILED, "Library not compiled for this file type.");
    TraceLine(2, entry->trace);
    if (format == FORMAT_EPS_TIFF) {
        // The TIFF decoder reads from the current position: step over the
        // PostScript part to the preview.
        const std::uint8_t* epsHeader = source.PeekBytes(kEpsHeaderBytes);
        source.ReadBytes(ReadLE32(epsHeader + kEpsPreviewOffsetField));
    }
    CImageDecoder& decoder = entry->decoder(*m_decoders);
    // Only the decoder of this picture reports rows, and only for this decode:
    // a decoder borrowed for data embedded in another format fills a bitmap
    // of its own. The limits go along to whichever decoder runs.
    struct ListenerScope {
        CAnyFormatDecoder& self;
        CImageDecoder& decoder;
        ~ListenerScope() {
            decoder.SetRowListener(nullptr);
            self.SetColorNote(decoder.GetColorNote());
            self.SetDeferredConversion(decoder.TakeDeferredConversion());
            self.TakeNotesOf(decoder);
        }
    } scope{*this, decoder};
    decoder.SetRowListener(GetRowListener());
    decoder.SetLimits(GetLimits());
    decoder.SetColorManagement(GetColorManagement());
    decoder.SetDeferColorConversion(GetDeferColorConversion());
    decoder.SetKeepLibraryMessages(GetKeepLibraryMessages());
    decoder.DecodeSource(source, bitmap, wantedDepth);
}
