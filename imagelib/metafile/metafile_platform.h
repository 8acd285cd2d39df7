#pragma once

#include "imagelib/image_bitmap.h"
#include "imagelib/limits/decode_limits.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The platform services the metafile decoder needs, shaped after the Windows
// graphics calls it was written against (GetDC, SetEnhMetaFileBits,
// SetWinMetaFileBits, GetEnhMetaFileHeader, GetEnhMetaFilePaletteEntries,
// CreateCompatibleDC/Bitmap, CreatePalette/SelectPalette/RealizePalette,
// FillRect, PlayEnhMetaFile, GetDIBits). A Windows build can implement these
// with the real functions; everywhere else CreateMetafilePlatform() returns
// the library's own metafile player, which draws with cairo.

struct MetafileRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct MetafileSize {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
};

// The fields of the enhanced-metafile header the decoder reads.
struct EnhancedMetafileHeader {
    MetafileRect bounds;        // device pixels of the reference device, inclusive
    MetafileRect frame;         // 0.01 mm
    std::uint32_t bytes = 0;    // size of the metafile
    std::uint32_t records = 0;  // number of records
    std::uint16_t handles = 0;  // object table size, slot 0 included
    std::uint32_t paletteEntries = 0;
    MetafileSize devicePixels;       // reference device, pixels
    MetafileSize deviceMillimetres;  // reference device, millimetres
};

// A logical palette entry in the platform's byte order.
struct MetafilePaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
};

// A loaded metafile (the platform's enhanced-metafile handle).
class CEnhancedMetafile {
public:
    virtual ~CEnhancedMetafile() = default;

    // Bytes of the header; 0 when the metafile has none.
    virtual std::size_t GetHeaderSize() const = 0;
    virtual EnhancedMetafileHeader GetHeader() const = 0;
    // The metafile's own palette (empty when it has none).
    virtual std::vector<MetafilePaletteEntry> GetPaletteEntries() const = 0;
};

// A memory device context that draws into an off-screen bitmap.
class CMetafileMemoryContext {
public:
    virtual ~CMetafileMemoryContext() = default;

    // Creates the screen-compatible rendering bitmap and selects it; false
    // when the bitmap cannot be made.
    virtual bool CreateCompatibleBitmap(int width, int height) = 0;
    // Creates a logical palette from the entries, selects it (foreground) and
    // realizes it; false when the palette cannot be created.
    virtual bool SelectPalette(const std::vector<MetafilePaletteEntry>& entries) = 0;
    // Fills (0, 0, width, height) with the white stock brush.
    virtual void FillWhite() = 0;
    // Plays the metafile so that its picture frame fills `target`. False when
    // some record could not be played; what was drawn up to then stays.
    virtual bool PlayEnhMetaFile(const CEnhancedMetafile& metafile, const MetafileRect& target) = 0;
    // The work the last PlayEnhMetaFile did, in units of the file's work
    // budget (see WorkBudget), and whether the metafile asked for more than
    // the budget allows; playing then stopped where the budget ran out.
    struct PlayWork {
        std::uint64_t spent = 0;
        bool overBudget = false;
    };
    virtual PlayWork GetPlayWork() const { return {}; }
    // Copies the rendered rows into `bitmap`, already created with the
    // rendering bitmap's size, in the bitmap's own depth. With `rgbColors`
    // the colour table of indexed bitmaps is the selected palette; otherwise
    // the platform's default palette of that depth. False on failure.
    virtual bool GetDIBits(CImageBitmap& bitmap, bool rgbColors) = 0;
};

// The screen device context, which is the reference device of converted
// Windows metafiles.
class CMetafileScreen {
public:
    virtual ~CMetafileScreen() = default;

    virtual int GetPixelsPerInchX() const = 0;
    virtual int GetPixelsPerInchY() const = 0;
    // Null when the bytes are not an enhanced metafile.
    virtual std::unique_ptr<CEnhancedMetafile> SetEnhMetaFileBits(const std::uint8_t* data,
                                                                  std::size_t size) = 0;
    // Null when the bytes are not a Windows metafile (without placeable header).
    virtual std::unique_ptr<CEnhancedMetafile> SetWinMetaFileBits(const std::uint8_t* data,
                                                                  std::size_t size) = 0;
    // Null when no memory context can be made.
    virtual std::unique_ptr<CMetafileMemoryContext> CreateCompatibleContext() = 0;
};

class CMetafilePlatform {
public:
    virtual ~CMetafilePlatform() = default;

    // Null when the screen device context is not available. The metafiles
    // the screen loads and the contexts it makes keep to `limits` (records,
    // objects, palette entries, canvas side).
    virtual std::unique_ptr<CMetafileScreen> GetScreen(const DecodeLimits& limits) = 0;
};

// The platform this build draws metafiles with.
std::unique_ptr<CMetafilePlatform> CreateMetafilePlatform();
