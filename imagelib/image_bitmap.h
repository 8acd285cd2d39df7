#pragma once

#include "imagelib/ruvo_object.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// One palette entry, in the byte order of a 32-bit pixel. The library always
// stores alpha 255 in palette entries.
struct PaletteEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t alpha = 255;

    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// A decoded picture. At 32 bits per pixel each pixel is blue, green, red,
// alpha (255 = opaque); at 8 bits one palette index per byte; at 1 bit eight
// pixels per byte, most significant bit first. Row 0 of the line array is the
// top row of the picture, however the rows are stored.
class CImageBitmap : public CRuvoObject {
public:
    CImageBitmap() = default;
    CImageBitmap(const CImageBitmap&) = delete;
    CImageBitmap& operator=(const CImageBitmap&) = delete;

    // Replaces the storage with a new bitmap. Throws CTextException with
    // ERR_NO_MEMORY for sizes the library refuses to hold.
    virtual void Create(int width, int height, int bpp, bool hasAlpha);
    // Creates a width x height bitmap that holds only `windowRows` rows at a
    // time, for a decoder that hands each row on as soon as it is written:
    // row y lives in slot y mod windowRows, so writing it overwrites row
    // y - windowRows. The size is refused as Create would refuse the whole
    // bitmap. A window's storage (a DIB's block included) describes only its
    // slots, and CopyFrom refuses it as a source.
    void CreateWindow(int width, int height, int bpp, bool hasAlpha, int windowRows);
    virtual std::size_t GetMemorySize() const = 0;
    virtual std::size_t GetLineStride() const = 0;
    virtual void Lock(bool read, bool write);
    virtual void Unlock();

    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetDepth() const { return m_bpp; }
    // The rows held at a time: 0 when the bitmap holds all of them.
    int GetWindowRows() const { return m_windowRows; }
    bool HasAlphaChannel() const { return m_hasAlpha; }
    void SetHasAlpha(bool hasAlpha) { m_hasAlpha = hasAlpha; }
    PaletteEntry* GetPalette() { return m_palette; }
    const PaletteEntry* GetPalette() const { return m_palette; }
    std::uint8_t** GetRows() { return m_lines.data(); }
    const std::uint8_t* const* GetRows() const { return m_lines.data(); }
    int GetPaletteSize() const { return m_bpp <= 8 ? 1 << m_bpp : 0; }

    // Copies 2^bpp entries into the palette.
    void SetPaletteEntries(const PaletteEntry* entries);
    // Stores the format, builds the line array and, below 16 bits, fills the
    // palette with a grey ramp.
    void SetFormat(int width, int height, int bpp, bool hasAlpha);
    // Copies a picture; bpp 0 keeps the source's depth, 32 expands 1- and
    // 8-bit sources through their palettes.
    void CopyFrom(const CImageBitmap& source, int bpp);

protected:
    virtual void AllocStorage(int width, int height, int bpp, bool hasAlpha) = 0;
    virtual void FreeStorage() = 0;
    virtual void BuildLineArray() = 0;

    // Bytes of pixel data in one row, without padding.
    static std::size_t RowBytes(int width, int bpp);
    // Checks the requested format and returns the bytes of all rows at the
    // given stride; throws ERR_NO_MEMORY when the storage would be absurd.
    static std::size_t CheckedStorageSize(int width, int height, int bpp, std::size_t stride);

    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    PaletteEntry* m_palette = nullptr;
    bool m_hasAlpha = false;
    int m_windowRows = 0;
    std::vector<std::uint8_t*> m_lines;
    int m_lockCount = 0;
};

// A bitmap held as one packed device-independent-bitmap block: a 40-byte
// BITMAPINFOHEADER, the palette (below 16 bits), then the rows bottom-up, each
// padded to a multiple of 4 bytes.
class CDIBBitmap : public CImageBitmap {
public:
    CDIBBitmap();
    ~CDIBBitmap() override;

    std::size_t GetMemorySize() const override;
    std::size_t GetLineStride() const override;

    // The whole block, starting with the info header.
    const std::uint8_t* GetBlock() const { return m_block.get(); }
    std::uint8_t* GetPixels() { return m_pixels; }

    static constexpr std::size_t kInfoHeaderSize = 40;

protected:
    void AllocStorage(int width, int height, int bpp, bool hasAlpha) override;
    void FreeStorage() override;
    void BuildLineArray() override;

private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, FreeDeleter> m_block;
    std::size_t m_blockSize = 0;
    std::uint8_t* m_pixels = nullptr;
};

// A bitmap with plain unpadded rows stored top-down, used for temporaries.
class CMemoryBitmap : public CImageBitmap {
public:
    CMemoryBitmap();
    ~CMemoryBitmap() override;

    std::size_t GetMemorySize() const override;
    std::size_t GetLineStride() const override;

protected:
    void AllocStorage(int width, int height, int bpp, bool hasAlpha) override;
    void FreeStorage() override;
    void BuildLineArray() override;

private:
    std::vector<std::uint8_t> m_pixelBuffer;
    std::vector<PaletteEntry> m_paletteBuffer;
};
