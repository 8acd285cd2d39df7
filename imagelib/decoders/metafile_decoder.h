#pragma once

#include "imagelib/image_decoder.h"
#include "imagelib/metafile/metafile_platform.h"

#include <memory>

// Decodes Windows metafiles (WMF, with or without the placeable header) and
// enhanced metafiles (EMF) by playing them into an off-screen bitmap on a
// white background. Which one a source holds is decided by its name: ".EMF"
// anywhere in it, in any letter case, means an enhanced metafile.
class CMetafileDecoder : public CImageDecoder {
public:
    // Draws with this build's metafile platform.
    CMetafileDecoder() = default;
    // Draws with the given platform (tests use a fake one).
    explicit CMetafileDecoder(std::shared_ptr<CMetafilePlatform> platform)
        : m_platform(std::move(platform)) {}

    // Units of the file's work budget the last decode spent playing the
    // metafile (also when it was refused for asking more).
    std::uint64_t GetWorkSpent() const { return m_workSpent; }

protected:
    void DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                     CImageSource& source) override;

private:
    std::shared_ptr<CMetafilePlatform> m_platform;
    std::uint64_t m_workSpent = 0;
};
