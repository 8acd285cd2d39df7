#pragma once

#include "imagelib/image_decoder.h"

#include <cstdint>
#include <memory>

class CBMPDecoder;
class CPICTDecoder;
class CTGADecoder;
class CTIFFDecoder;
class CJPEGDecoder;
class CPNGDecoder;
class CMetafileDecoder;
class CPCXDecoder;
class CPGMDecoder;
class CGIFDecoder;

// The one decoder callers need: it recognises the format from the source's
// name and first bytes and hands the source to the decoder for that format.
// DecodeFile and DecodeMemory are the inherited ones.
class CAnyFormatDecoder : public CImageDecoder {
public:
    // Formats DetectFormat recognises.
    enum Format : int {
        FORMAT_UNKNOWN = 0,
        FORMAT_BMP = 1,
        FORMAT_PICT = 2,
        FORMAT_TGA = 3,
        FORMAT_TIFF = 4,
        FORMAT_JPEG = 5,
        FORMAT_PNG = 6,
        FORMAT_EPS_TIFF = 7,
        FORMAT_WMF = 8,
        FORMAT_EMF = 9,
        FORMAT_PCX = 10,
        FORMAT_PGM = 11,
        FORMAT_GIF = 12,
    };

    // Bytes of look-ahead the detection needs: the first 512 bytes, and a Mac
    // picture's version opcode behind its 512-byte preamble.
    static constexpr std::int64_t kDetectionBytes = 526;

    CAnyFormatDecoder();
    ~CAnyFormatDecoder() override;

    void DecodeSource(CImageSource& source, CImageBitmap& bitmap, int wantedDepth) override;

    // The format of data that starts with `header` and is `size` bytes long in
    // all. Only min(size, kDetectionBytes) bytes of `header` are read; bytes
    // past the end of the data count as zero.
    static int DetectFormat(const std::uint8_t* header, std::int64_t size);

private:
    // Owned, in the order of the dispatch table. The picture decoder borrows
    // the JPEG decoder for the JPEG data some pictures embed.
    std::unique_ptr<CBMPDecoder> m_bmpDecoder;
    std::unique_ptr<CPICTDecoder> m_pictDecoder;
    std::unique_ptr<CTGADecoder> m_tgaDecoder;
    std::unique_ptr<CTIFFDecoder> m_tiffDecoder;
    std::unique_ptr<CJPEGDecoder> m_jpegDecoder;
    std::unique_ptr<CPNGDecoder> m_pngDecoder;
    std::unique_ptr<CMetafileDecoder> m_metafileDecoder;
    std::unique_ptr<CPCXDecoder> m_pcxDecoder;
    std::unique_ptr<CPGMDecoder> m_pgmDecoder;
    std::unique_ptr<CGIFDecoder> m_gifDecoder;
};
