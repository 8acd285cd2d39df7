#pragma once

#include "imagelib/image_decoder.h"

#include <cstdint>
#include <memory>
#include <string>

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
        FORMAT_WEBP = 13,
        FORMAT_HEIF = 14,
        FORMAT_PNM = 15,
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
    // The format DecodeSource picks for data named `name`: metafiles by their
    // name, everything else by DetectFormat.
    static int DetectSourceFormat(const std::string& name, const std::uint8_t* header, std::int64_t size);

private:
    // One decoder per format family, defined with the format table.
    struct Decoders;
    // One row of the format table: format number, trace line, signature test
    // and decoder.
    struct FormatEntry;
    // Every format, in the order the signatures are tested.
    static const FormatEntry kFormats[];

    static const FormatEntry* FindFormat(int format);

    std::unique_ptr<Decoders> m_decoders;
};
