// Feeds arbitrary bytes to the metafile decoder. The first byte picks the
// route and the depth: bit 0 names the source "x.emf" (enhanced metafile)
// instead of "x.wmf", bit 1 asks for depth 0 (so metafile palettes are used)
// instead of 32, and bit 2 allows canvases up to the library's limit; without
// it the platform refuses canvases over a million pixels, which keeps most
// runs fast without hiding the record parsing.

#include "imagelib/decoders/metafile_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/image_source.h"
#include "imagelib/metafile/metafile_platform.h"
#include "imagelib/text_exception.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Font lookups leave fontconfig's caches behind: one set per distinct font
// (three families, upright or italic, normal or bold), never more, so they are
// not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

constexpr std::int64_t kSmallCanvasPixels = 1 << 20;

class CNamedMemorySource : public CMemorySource {
public:
    CNamedMemorySource(const std::uint8_t* data, std::size_t size, const char* name) {
        OpenCommon(name, static_cast<std::int64_t>(size), data);
    }
};

class CSmallContext : public CMetafileMemoryContext {
public:
    explicit CSmallContext(std::unique_ptr<CMetafileMemoryContext> real) : m_real(std::move(real)) {}
    bool CreateCompatibleBitmap(int width, int height) override {
        if (static_cast<std::int64_t>(width) * height > kSmallCanvasPixels) return false;
        return m_real->CreateCompatibleBitmap(width, height);
    }
    bool SelectPalette(const std::vector<MetafilePaletteEntry>& entries) override {
        return m_real->SelectPalette(entries);
    }
    void FillWhite() override { m_real->FillWhite(); }
    bool PlayEnhMetaFile(const CEnhancedMetafile& metafile, const MetafileRect& target) override {
        return m_real->PlayEnhMetaFile(metafile, target);
    }
    bool GetDIBits(CImageBitmap& bitmap, bool rgbColours) override {
        return m_real->GetDIBits(bitmap, rgbColours);
    }

private:
    std::unique_ptr<CMetafileMemoryContext> m_real;
};

class CSmallScreen : public CMetafileScreen {
public:
    explicit CSmallScreen(std::unique_ptr<CMetafileScreen> real) : m_real(std::move(real)) {}
    int GetPixelsPerInchX() const override { return m_real->GetPixelsPerInchX(); }
    int GetPixelsPerInchY() const override { return m_real->GetPixelsPerInchY(); }
    std::unique_ptr<CEnhancedMetafile> SetEnhMetaFileBits(const std::uint8_t* data,
                                                          std::size_t size) override {
        return m_real->SetEnhMetaFileBits(data, size);
    }
    std::unique_ptr<CEnhancedMetafile> SetWinMetaFileBits(const std::uint8_t* data,
                                                          std::size_t size) override {
        return m_real->SetWinMetaFileBits(data, size);
    }
    std::unique_ptr<CMetafileMemoryContext> CreateCompatibleContext() override {
        auto context = m_real->CreateCompatibleContext();
        return context ? std::make_unique<CSmallContext>(std::move(context)) : nullptr;
    }

private:
    std::unique_ptr<CMetafileScreen> m_real;
};

class CSmallPlatform : public CMetafilePlatform {
public:
    std::unique_ptr<CMetafileScreen> GetScreen() override {
        auto screen = m_real->GetScreen();
        return screen ? std::make_unique<CSmallScreen>(std::move(screen)) : nullptr;
    }

private:
    std::unique_ptr<CMetafilePlatform> m_real = CreateMetafilePlatform();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t selector = data[0];
    CNamedMemorySource source(data + 1, size - 1, (selector & 1) ? "x.emf" : "x.wmf");
    CDIBBitmap bitmap;
    auto decoder = (selector & 4) ? std::make_unique<CMetafileDecoder>()
                                  : std::make_unique<CMetafileDecoder>(std::make_shared<CSmallPlatform>());
    try {
        decoder->DecodeSource(source, bitmap, (selector & 2) ? 0 : 32);
    } catch (const CTextException&) {
    }
    return 0;
}
