#include "imagelib/any_format_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/decoders/bmp_decoder.h"
#include "imagelib/decoders/gif_decoder.h"
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/decoders/metafile_decoder.h"
#include "imagelib/decoders/pcx_decoder.h"
#include "imagelib/decoders/pgm_decoder.h"
#include "imagelib/decoders/pict_decoder.h"
#include "imagelib/decoders/png_decoder.h"
#include "imagelib/decoders/tga_decoder.h"
#include "imagelib/decoders/tiff_decoder.h"
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

const char* FormatTrace(int format) {
    switch (format) {
        case CAnyFormatDecoder::FORMAT_BMP:
            return "Windows bitmap recognized.\n";
        case CAnyFormatDecoder::FORMAT_PICT:
            return "Mac PICT recognized.\n";
        case CAnyFormatDecoder::FORMAT_TGA:
            return "TGA file recognized.\n";
        case CAnyFormatDecoder::FORMAT_TIFF:
            return "TIFF file recognized.\n";
        case CAnyFormatDecoder::FORMAT_JPEG:
            return "JPEG file recognized.\n";
        case CAnyFormatDecoder::FORMAT_PNG:
            return "PNG file recognized.\n";
        case CAnyFormatDecoder::FORMAT_EPS_TIFF:
            return "TIFF preview in EPS file recognized.\n";
        case CAnyFormatDecoder::FORMAT_WMF:
            return "WMF file recognized.\n";
        case CAnyFormatDecoder::FORMAT_EMF:
            return "EMF file recognized.\n";
        case CAnyFormatDecoder::FORMAT_PCX:
            return "PCX file recognized.\n";
        case CAnyFormatDecoder::FORMAT_PGM:
            return "PGM file recognized.\n";
        case CAnyFormatDecoder::FORMAT_GIF:
            return "GIF file recognized.\n";
        default:
            return "";
    }
}

bool IsOneOf(std::uint8_t value, std::initializer_list<std::uint8_t> accepted) {
    return std::find(accepted.begin(), accepted.end(), value) != accepted.end();
}

// The Targa header has no signature; these are the values a real file can hold
// in its colour-map type, image type, colour-map entry size and pixel depth.
bool LooksLikeTarga(const std::uint8_t* header) {
    return IsOneOf(header[1], {0, 1}) && IsOneOf(header[2], {0, 1, 2, 3, 9, 10, 11}) &&
           IsOneOf(header[7], {0, 8, 15, 16, 24, 32}) && IsOneOf(header[16], {8, 15, 16, 24, 32});
}

bool StartsWith(const std::uint8_t* bytes, std::initializer_list<std::uint8_t> prefix) {
    return std::equal(prefix.begin(), prefix.end(), bytes);
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

CAnyFormatDecoder::CAnyFormatDecoder() {
    // The JPEG decoder exists before the picture decoder that borrows it.
    m_bmpDecoder = std::make_unique<CBMPDecoder>();
    m_tgaDecoder = std::make_unique<CTGADecoder>();
    m_tiffDecoder = std::make_unique<CTIFFDecoder>();
    m_jpegDecoder = std::make_unique<CJPEGDecoder>();
    m_pictDecoder = std::make_unique<CPICTDecoder>(m_jpegDecoder.get());
    m_pngDecoder = std::make_unique<CPNGDecoder>();
    m_metafileDecoder = std::make_unique<CMetafileDecoder>();
    m_pcxDecoder = std::make_unique<CPCXDecoder>();
    m_pgmDecoder = std::make_unique<CPGMDecoder>();
    m_gifDecoder = std::make_unique<CGIFDecoder>();
}

CAnyFormatDecoder::~CAnyFormatDecoder() {
    // The picture decoder goes before the JPEG decoder it borrows.
    m_bmpDecoder.reset();
    m_pictDecoder.reset();
    m_tgaDecoder.reset();
    m_tiffDecoder.reset();
    m_jpegDecoder.reset();
    m_pngDecoder.reset();
    m_metafileDecoder.reset();
    m_pcxDecoder.reset();
    m_pgmDecoder.reset();
    m_gifDecoder.reset();
}

int CAnyFormatDecoder::DetectFormat(const std::uint8_t* data, std::int64_t size) {
    // Work on a zero-padded copy so short data never reads past its end.
    std::array<std::uint8_t, kDetectionBytes> header{};
    if (data != nullptr && size > 0)
        std::memcpy(header.data(), data, static_cast<std::size_t>(std::min(size, kDetectionBytes)));
    const std::uint8_t* h = header.data();

    if (ReadLE16(h) == 0x4D42) return FORMAT_BMP;  // "BM"
    if (LooksLikeTarga(h)) return FORMAT_TGA;
    if (ReadLE32(h) == 0x38464947) return FORMAT_GIF;  // "GIF8"
    if (StartsWith(h, {0x49, 0x49, 0x2A, 0x00}) || StartsWith(h, {0x4D, 0x4D, 0x00, 0x2A}))
        return FORMAT_TIFF;
    if (size > kMinimumPictSize) {
        const std::uint8_t* opcode = h + kPictOpcodeOffset;
        if (StartsWith(opcode, {0x00, 0x11, 0x02, 0xFF}) || StartsWith(opcode, {0x00, 0x11, 0x01}) ||
            StartsWith(opcode, {0x11, 0x01, 0x01, 0x00}))
            return FORMAT_PICT;
    }
    if (StartsWith(h, {0xFF, 0xD8, 0xFF})) return FORMAT_JPEG;
    if (StartsWith(h, {0x89, 0x50, 0x4E, 0x47})) return FORMAT_PNG;
    if ((StartsWith(h, {0xC5, 0xD0, 0xD3, 0xC6}) || StartsWith(h, {0xC6, 0xD3, 0xD0, 0xC5})) &&
        ReadLE32(h + kEpsPreviewOffsetField) != 0 && ReadLE32(h + kEpsPreviewLengthField) != 0)
        return FORMAT_EPS_TIFF;
    if (h[0] == 0x0A && h[2] == 1) return FORMAT_PCX;
    if (h[0] == 'P' && (h[1] == '2' || h[1] == '5')) return FORMAT_PGM;
    return FORMAT_UNKNOWN;
}

void CAnyFormatDecoder::DecodeSource(CImageSource& source, CImageBitmap& bitmap, int wantedDepth) {
    int format = FormatFromName(source.GetName());
    if (format == FORMAT_UNKNOWN) format = DetectFormat(source.PeekBytes(kDetectionBytes), source.GetSize());
    if (format == FORMAT_UNKNOWN) RaiseError(ERR_UNKNOWN_FILE_TYPE, "Unknown file type.");

    TraceLine(2, FormatTrace(format));
    CImageDecoder* decoder = nullptr;
    switch (format) {
        case FORMAT_BMP:
            decoder = m_bmpDecoder.get();
            break;
        case FORMAT_PICT:
            decoder = m_pictDecoder.get();
            break;
        case FORMAT_TGA:
            decoder = m_tgaDecoder.get();
            break;
        case FORMAT_TIFF:
            decoder = m_tiffDecoder.get();
            break;
        case FORMAT_JPEG:
            decoder = m_jpegDecoder.get();
            break;
        case FORMAT_PNG:
            decoder = m_pngDecoder.get();
            break;
        case FORMAT_EPS_TIFF: {
            // The TIFF decoder reads from the current position: step over the
            // PostScript part to the preview.
            const std::uint8_t* epsHeader = source.PeekBytes(kEpsHeaderBytes);
            source.ReadBytes(ReadLE32(epsHeader + kEpsPreviewOffsetField));
            decoder = m_tiffDecoder.get();
            break;
        }
        case FORMAT_WMF:
        case FORMAT_EMF:
            decoder = m_metafileDecoder.get();
            break;
        case FORMAT_PCX:
            decoder = m_pcxDecoder.get();
            break;
        case FORMAT_PGM:
            decoder = m_pgmDecoder.get();
            break;
        case FORMAT_GIF:
            decoder = m_gifDecoder.get();
            break;
        default:
            RaiseError(ERR_FORMAT_NOT_COMPILED, "Library not compiled for this file type.");
    }
    // Only the decoder of this picture reports rows, and only for this decode:
    // a decoder borrowed for data embedded in another format fills a bitmap
    // of its own.
    struct ListenerScope {
        CImageDecoder* decoder;
        ~ListenerScope() { decoder->SetRowListener(nullptr); }
    } scope{decoder};
    decoder->SetRowListener(GetRowListener());
    decoder->DecodeSource(source, bitmap, wantedDepth);
}
