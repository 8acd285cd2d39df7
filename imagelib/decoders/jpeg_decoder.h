#pragma once

#include "imagelib/image_decoder.h"

#include <cstdint>
#include <memory>

// Decodes baseline and progressive JPEG pictures, on libjpeg. One object owns
// one libjpeg decompressor for its whole life and decodes any number of
// streams one after the other, also after a failed one.
//
// The stream is the source's unread data: DecodeSource on a source positioned
// inside a larger file (JPEG data embedded in a picture) decodes from there.
// Colour images always give 32 bits; grey images give 8 bits (grey levels with
// a grey-ramp palette) unless 32 is wanted. CMYK and YCCK images are converted
// to RGB.
class CJPEGDecoder : public CImageDecoder {
public:
    CJPEGDecoder();
    ~CJPEGDecoder() override;

    // The work the last stream's markers cost (see WorkBudget).
    std::uint64_t GetWorkSpent() const { return m_workSpent; }

    // libjpeg's state, defined with the decoder so that libjpeg's headers stay
    // out of this one.
    struct Decompressor;

protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;

private:
    std::unique_ptr<Decompressor> m_decompressor;
    // libjpeg's fancy upsampling is switched off for every decode: plain
    // replication is faster and the pictures are shrunk to a handheld's
    // screen afterwards anyway.
    bool m_fastUpsampling = true;
    std::uint64_t m_workSpent = 0;
};
