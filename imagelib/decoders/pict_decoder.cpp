#include "imagelib/decoders/pict_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/decoders/jpeg_decoder.h"
#include "imagelib/limits/checked_arithmetic.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace {

// --- File layout (every value is big-endian) --------------------------------

constexpr std::int64_t kPreambleBytes = 512;     // application header in front of the picture
constexpr std::int64_t kPicSizeBytes = 2;        // obsolete 16-bit picture size
constexpr std::int64_t kPicFrameBytes = 8;       // picture frame rectangle
constexpr std::int64_t kRectBytes = 8;           // top, left, bottom, right
constexpr std::int64_t kPixMapHeaderBytes = 36;  // version .. pmReserved, after the bounds
constexpr std::int64_t kBaseAddrBytes = 4;       // DirectBitsRect's unused base address
constexpr std::int64_t kRowBytesBytes = 2;
constexpr std::int64_t kTransferModeBytes = 2;
constexpr std::int64_t kColorTableSeedBytes = 4;
constexpr std::int64_t kColorTableEntryBytes = 8;  // value, red, green, blue
constexpr std::int64_t kOldPatternBytes = 8;       // the one-bit pattern in front of a pixel pattern
// A dithered pixel pattern ends in an RGB colour of three words. (Stepping over
// only five bytes and letting the version 2 word alignment take the sixth ends
// in the same place; counting all six also keeps version 1 in step.)
constexpr std::int64_t kDitherColorBytes = 6;
constexpr std::int64_t kHeaderOpBytes = 24;
constexpr std::int64_t kCommentKindBytes = 2;
constexpr std::int64_t kRegionSizeBytes = 2;  // a region's size word counts itself
constexpr std::int64_t kRectangularRegionBytes = 10;
constexpr std::int64_t kJpegStartBytes = 3;

constexpr int kVersionOpcode = 0x11;
constexpr int kVersion2Marker = 0xFF;

// PixMaps and BitMaps share the bits opcodes; the top bit of rowBytes tells them apart.
constexpr std::uint16_t kPixMapFlag = 0x8000;
constexpr std::uint16_t kRowBytesMask = 0x7FFF;
constexpr std::uint16_t kDeviceColorTableFlag = 0x8000;

// The decoder keeps colour tables of 256 entries; larger tables (or entries
// numbered beyond them) are refused instead of being written past the end.
constexpr int kColorTableEntries = 256;

// Rows shorter than this are stored as they are, without PackBits.
constexpr std::int64_t kMinPackedRowBytes = 8;
// Rows of at least this many bytes carry a 16-bit packed count, shorter ones one byte.
constexpr std::int64_t kMinWordCountRowBytes = 251;
// One PackBits control byte covers at most this many units (a literal or a repeat).
constexpr std::int64_t kMaxPackBitsRunUnits = 128;

enum PatternType : int { kPatternPixMap = 1, kPatternDithered = 2 };

enum Opcode : unsigned {
    kOpClip = 0x01,
    kOpBkPixPat = 0x12,
    kOpPnPixPat = 0x13,
    kOpFillPixPat = 0x14,
    kOpLongText = 0x28,
    kOpDHText = 0x29,
    kOpDVText = 0x2A,
    kOpDHDVText = 0x2B,
    kOpFirstPolygon = 0x70,
    kOpLastPolygon = 0x77,
    kOpFirstRegion = 0x80,
    kOpLastRegion = 0x84,
    kOpBitsRect = 0x90,
    kOpBitsRgn = 0x91,
    kOpPackBitsRect = 0x98,
    kOpPackBitsRgn = 0x99,
    kOpDirectBitsRect = 0x9A,
    kOpLongComment = 0xA1,
    kOpLastTabled = 0xA1,
    kOpLastWordLengthReserved = 0xAF,
    kOpLastNoDataReserved = 0xCF,
    kOpLastLongLengthReserved = 0xFE,
    kOpEndOfPictureV1 = 0x00FF,
    kOpLastSizedByHighByte = 0x7FFF,
    kOpHeaderOp = 0x0C00,
    kOpLastNoDataReservedHigh = 0x80FF,
    kOpCompressedQuickTime = 0x8200,
    kOpEndOfPicture = 0xFFFF,
};

// --- The opcode table (0x00 to 0xA1) ------------------------------------------

// Data length -1: a 16-bit length word precedes the data. Opcodes handled by
// their own code have length 0 here.
constexpr int kLengthWord = -1;

struct OpcodeInfo {
    const char* name;
    int length;
    const char* description;
};

constexpr OpcodeInfo kOpcodeTable[] = {
    /* 0x00 */ {"NOP", 0, "nop"},
    /* 0x01 */ {"Clip", 0, "clip region"},
    /* 0x02 */ {"BkPat", 8, "background pattern"},
    /* 0x03 */ {"TxFont", 2, "text font (word)"},
    /* 0x04 */ {"TxFace", 1, "text face (byte)"},
    /* 0x05 */ {"TxMode", 2, "text mode (word)"},
    /* 0x06 */ {"SpExtra", 4, "space extra (fixed point)"},
    /* 0x07 */ {"PnSize", 4, "pen size (point)"},
    /* 0x08 */ {"PnMode", 2, "pen mode (word)"},
    /* 0x09 */ {"PnPat", 8, "pen pattern"},
    /* 0x0a */ {"FillPat", 8, "fill pattern"},
    /* 0x0b */ {"OvSize", 4, "oval size (point)"},
    /* 0x0c */ {"Origin", 4, "dh, dv (word)"},
    /* 0x0d */ {"TxSize", 2, "text size (word)"},
    /* 0x0e */ {"FgColor", 4, "foreground color (longword)"},
    /* 0x0f */ {"BkColor", 4, "background color (longword)"},
    /* 0x10 */ {"TxRatio", 8, "numerator (point), denominator (point)"},
    /* 0x11 */ {"Version", 1, "version (byte)"},
    /* 0x12 */ {"BkPixPat", 0, "color background pattern"},
    /* 0x13 */ {"PnPixPat", 0, "color pen pattern"},
    /* 0x14 */ {"FillPixPat", 0, "color fill pattern"},
    /* 0x15 */ {"PnLocHFrac", 2, "fractional pen position"},
    /* 0x16 */ {"ChExtra", 2, "extra for each character"},
    /* 0x17 */ {"reserved", 0, "reserved, no data"},
    /* 0x18 */ {"reserved", 0, "reserved, no data"},
    /* 0x19 */ {"reserved", 0, "reserved, no data"},
    /* 0x1a */ {"RGBFgCol", 6, "RGB foreground color"},
    /* 0x1b */ {"RGBBkCol", 6, "RGB background color"},
    /* 0x1c */ {"HiliteMode", 0, "hilite mode flag"},
    /* 0x1d */ {"HiliteColor", 6, "RGB hilite color"},
    /* 0x1e */ {"DefHilite", 0, "use default hilite color"},
    /* 0x1f */ {"OpColor", 6, "RGB OpColor for arithmetic modes"},
    /* 0x20 */ {"Line", 8, "pnLoc (point), newPt (point)"},
    /* 0x21 */ {"LineFrom", 4, "newPt (point)"},
    /* 0x22 */ {"ShortLine", 6, "pnLoc (point), dh, dv (-128 .. 127)"},
    /* 0x23 */ {"ShortLineFrom", 2, "dh, dv (-128 .. 127)"},
    /* 0x24 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x25 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x26 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x27 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x28 */ {"LongText", 0, "txLoc (point), count (0..255), text"},
    /* 0x29 */ {"DHText", 0, "dh (0..255), count (0..255), text"},
    /* 0x2a */ {"DVText", 0, "dv (0..255), count (0..255), text"},
    /* 0x2b */ {"DHDVText", 0, "dh, dv (0..255), count (0..255), text"},
    /* 0x2c */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x2d */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x2e */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x2f */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x30 */ {"frameRect", 8, "rect"},
    /* 0x31 */ {"paintRect", 8, "rect"},
    /* 0x32 */ {"eraseRect", 8, "rect"},
    /* 0x33 */ {"invertRect", 8, "rect"},
    /* 0x34 */ {"fillRect", 8, "rect"},
    /* 0x35 */ {"reserved", 8, "reserved, rect"},
    /* 0x36 */ {"reserved", 8, "reserved, rect"},
    /* 0x37 */ {"reserved", 8, "reserved, rect"},
    /* 0x38 */ {"frameSameRect", 0, "rect"},
    /* 0x39 */ {"paintSameRect", 0, "rect"},
    /* 0x3a */ {"eraseSameRect", 0, "rect"},
    /* 0x3b */ {"invertSameRect", 0, "rect"},
    /* 0x3c */ {"fillSameRect", 0, "rect"},
    /* 0x3d */ {"reserved", 0, "reserved, no data"},
    /* 0x3e */ {"reserved", 0, "reserved, no data"},
    /* 0x3f */ {"reserved", 0, "reserved, no data"},
    /* 0x40 */ {"frameRRect", 8, "rect (see OvSize)"},
    /* 0x41 */ {"paintRRect", 8, "rect (see OvSize)"},
    /* 0x42 */ {"eraseRRect", 8, "rect (see OvSize)"},
    /* 0x43 */ {"invertRRect", 8, "rect (see OvSize)"},
    /* 0x44 */ {"fillRRrect", 8, "rect (see OvSize)"},
    /* 0x45 */ {"reserved", 8, "reserved, rect"},
    /* 0x46 */ {"reserved", 8, "reserved, rect"},
    /* 0x47 */ {"reserved", 8, "reserved, rect"},
    /* 0x48 */ {"frameSameRRect", 0, "rect (see OvSize)"},
    /* 0x49 */ {"paintSameRRect", 0, "rect (see OvSize)"},
    /* 0x4a */ {"eraseSameRRect", 0, "rect (see OvSize)"},
    /* 0x4b */ {"invertSameRRect", 0, "rect (see OvSize)"},
    /* 0x4c */ {"fillSameRRect", 0, "rect (see OvSize)"},
    /* 0x4d */ {"reserved", 0, "reserved, no data"},
    /* 0x4e */ {"reserved", 0, "reserved, no data"},
    /* 0x4f */ {"reserved", 0, "reserved, no data"},
    /* 0x50 */ {"frameOval", 8, "rect"},
    /* 0x51 */ {"paintOval", 8, "rect"},
    /* 0x52 */ {"eraseOval", 8, "rect"},
    /* 0x53 */ {"invertOval", 8, "rect"},
    /* 0x54 */ {"fillOval", 8, "rect"},
    /* 0x55 */ {"reserved", 8, "reserved, rect"},
    /* 0x56 */ {"reserved", 8, "reserved, rect"},
    /* 0x57 */ {"reserved", 8, "reserved, rect"},
    /* 0x58 */ {"frameSameOval", 0, "rect"},
    /* 0x59 */ {"paintSameOval", 0, "rect"},
    /* 0x5a */ {"eraseSameOval", 0, "rect"},
    /* 0x5b */ {"invertSameOval", 0, "rect"},
    /* 0x5c */ {"fillSameOval", 0, "rect"},
    /* 0x5d */ {"reserved", 0, "reserved, no data"},
    /* 0x5e */ {"reserved", 0, "reserved, no data"},
    /* 0x5f */ {"reserved", 0, "reserved, no data"},
    /* 0x60 */ {"frameArc", 12, "rect, startAngle, arcAngle"},
    /* 0x61 */ {"paintArc", 12, "rect, startAngle, arcAngle"},
    /* 0x62 */ {"eraseArc", 12, "rect, startAngle, arcAngle"},
    /* 0x63 */ {"invertArc", 12, "rect, startAngle, arcAngle"},
    /* 0x64 */ {"fillArc", 12, "rect, startAngle, arcAngle"},
    /* 0x65 */ {"reserved", 12, "reserved, rect, startAngle, arcAngle"},
    /* 0x66 */ {"reserved", 12, "reserved, rect, startAngle, arcAngle"},
    /* 0x67 */ {"reserved", 12, "reserved, rect, startAngle, arcAngle"},
    /* 0x68 */ {"frameSameArc", 4, "startAngle, arcAngle"},
    /* 0x69 */ {"paintSameArc", 4, "startAngle, arcAngle"},
    /* 0x6a */ {"eraseSameArc", 4, "startAngle, arcAngle"},
    /* 0x6b */ {"invertSameArc", 4, "startAngle, arcAngle"},
    /* 0x6c */ {"fillSameArc", 4, "startAngle, arcAngle"},
    /* 0x6d */ {"reserved", 4, "reserved, startAngle, arcAngle"},
    /* 0x6e */ {"reserved", 4, "reserved, startAngle, arcAngle"},
    /* 0x6f */ {"reserved", 4, "reserved, startAngle, arcAngle"},
    /* 0x70 */ {"framePoly", 0, "poly"},
    /* 0x71 */ {"paintPoly", 0, "poly"},
    /* 0x72 */ {"erasePoly", 0, "poly"},
    /* 0x73 */ {"invertPoly", 0, "poly"},
    /* 0x74 */ {"fillPoly", 0, "poly"},
    /* 0x75 */ {"reserved", 0, "reserved, poly"},
    /* 0x76 */ {"reserved", 0, "reserved, poly"},
    /* 0x77 */ {"reserved", 0, "reserved, poly"},
    /* 0x78 */ {"frameSamePoly", 0, "poly, no data"},
    /* 0x79 */ {"paintSamePoly", 0, "poly, no data"},
    /* 0x7a */ {"eraseSamePoly", 0, "poly, no data"},
    /* 0x7b */ {"invertSamePoly", 0, "poly, no data"},
    /* 0x7c */ {"fillSamePoly", 0, "poly, no data"},
    /* 0x7d */ {"reserved", 0, "reserved, no data"},
    /* 0x7e */ {"reserved", 0, "reserved, no data"},
    /* 0x7f */ {"reserved", 0, "reserved, no data"},
    /* 0x80 */ {"frameRgn", 0, "region"},
    /* 0x81 */ {"paintRgn", 0, "region"},
    /* 0x82 */ {"eraseRgn", 0, "region"},
    /* 0x83 */ {"invertRgn", 0, "region"},
    /* 0x84 */ {"fillRgn", 0, "region"},
    /* 0x85 */ {"reserved", 0, "reserved, no data"},
    /* 0x86 */ {"reserved", 0, "reserved, no data"},
    /* 0x87 */ {"reserved", 0, "reserved, no data"},
    /* 0x88 */ {"frameSameRgn", 0, "region, no data"},
    /* 0x89 */ {"paintSameRgn", 0, "region, no data"},
    /* 0x8a */ {"eraseSameRgn", 0, "region, no data"},
    /* 0x8b */ {"invertSameRgn", 0, "region, no data"},
    /* 0x8c */ {"fillSameRgn", 0, "region, no data"},
    /* 0x8d */ {"reserved", 0, "reserved, no data"},
    /* 0x8e */ {"reserved", 0, "reserved, no data"},
    /* 0x8f */ {"reserved", 0, "reserved, no data"},
    /* 0x90 */ {"BitsRect", 0, "copybits, rect clipped"},
    /* 0x91 */ {"BitsRgn", 0, "copybits, rgn clipped"},
    /* 0x92 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x93 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x94 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x95 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x96 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x97 */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x98 */ {"PackBitsRect", 0, "packed copybits, rect clipped"},
    /* 0x99 */ {"PackBitsRgn", 0, "packed copybits, rgn clipped"},
    /* 0x9a */ {"Opcode_9A", 0, "direct pixel map, rect clipped"},
    /* 0x9b */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x9c */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x9d */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x9e */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0x9f */ {"reserved", kLengthWord, "reserved, data length in the first word"},
    /* 0xa0 */ {"ShortComment", 2, "kind (word)"},
    /* 0xa1 */ {"LongComment", 0, "kind (word), size (word), data"},
};
static_assert(std::size(kOpcodeTable) == kOpLastTabled + 1, "one table row per opcode 0x00 to 0xA1");

// --- Messages -------------------------------------------------------------------

const char kVersionMissing[] = "Error decoding pict: Version number missing.";
const char kIllegalVersion[] = "Illegal version number.";
const char kOnlyVectorData[] = "PICT contained only vector data!\n";
const char kUnknownPatternType[] = "Unknown pattern type in pixPat.";
const char kNoJpegDecoder[] = "Library not compiled for PICT/JPEG.";
const char kUnrecognizedQuickTime[] = "PICT file contains unrecognized quicktime data.\n";
const char kIllegalPixelSize[] = "Illegal bpp value in unpackbits: %d\n";
const char kDirectPixelsInto8Bit[] = "Bad bits per pixel in expandBuf8.";
const char kColorTableNoMemory[] = "Out of memory allocationg color table.";
const char kColorIndexTooLarge[] = "pixel value greater than colour table size.";
const char kIllegalImageSize[] = "Illegal image size in pict: %d x %d.";
const char kIllegalComponentCount[] = "Illegal component count in pict: %d.";
const char kRowBytesTooSmall[] = "Rows of %d bytes cannot hold %d pixels in pict.";
const char kEndOfFile[] = "End of file reached while decoding.\n";

constexpr PaletteEntry kWhite{255, 255, 255, 255};
constexpr PaletteEntry kBlack{0, 0, 0, 255};

using ColorTable = std::vector<PaletteEntry>;

struct Rect {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;

    // Bounds are signed, so a picture placed at negative coordinates still
    // gets the plain differences as its size.
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct PixMapHeader {
    std::uint16_t version = 0;
    std::uint16_t packType = 0;
    std::uint32_t packSize = 0;
    std::uint16_t pixelSize = 0;
    std::uint16_t cmpCount = 0;
    std::uint16_t cmpSize = 0;
    std::uint32_t planeBytes = 0;
};

// How the rows of one pixel image are stored.
struct RowLayout {
    std::int64_t rowBytes = 0;    // bytes of one unpacked row as the file counts them
    bool packed = false;          // PackBits with a count in front of each row
    bool wordCount = false;       // the count is a 16-bit word rather than a byte
    std::size_t unitBytes = 1;    // PackBits repeats bytes, or 2-byte pixels for 16 bits
    std::int64_t pixelBytes = 0;  // what the row's pixels take once unpacked
    std::size_t bufferBytes = 0;  // room for one row: the file's row and all our pixels
};

// Balances Lock/Unlock of the bitmap on every path.
class BitmapWriteLock {
public:
    explicit BitmapWriteLock(CImageBitmap& bitmap) : m_bitmap(bitmap) { m_bitmap.Lock(false, true); }
    ~BitmapWriteLock() { m_bitmap.Unlock(); }
    BitmapWriteLock(const BitmapWriteLock&) = delete;
    BitmapWriteLock& operator=(const BitmapWriteLock&) = delete;

private:
    CImageBitmap& m_bitmap;
};

bool IsIndexedPixelSize(int pixelSize) {
    return pixelSize == 1 || pixelSize == 2 || pixelSize == 4 || pixelSize == 8;
}

// Expands one PackBits row of `packedBytes` bytes into `row`. Output beyond
// the row is dropped, and a run cut short by the end of the packed data ends
// the row, so hostile counts can never reach outside either buffer.
void ExpandPackBits(const std::uint8_t* packed, std::size_t packedBytes, std::uint8_t* row,
                    std::size_t rowBytes, std::size_t unitBytes) {
    std::size_t in = 0;
    std::size_t out = 0;
    while (in < packedBytes && out < rowBytes) {
        const std::uint8_t control = packed[in++];
        if (control < 0x80) {
            const std::size_t literal = (static_cast<std::size_t>(control) + 1) * unitBytes;
            const std::size_t available = std::min(literal, packedBytes - in);
            const std::size_t stored = std::min(available, rowBytes - out);
            std::memcpy(row + out, packed + in, stored);
            in += available;
            out += stored;
        } else if (control != 0x80) {
            if (packedBytes - in < unitBytes) break;
            const std::size_t repeats = 257 - static_cast<std::size_t>(control);
            for (std::size_t i = 0; i < repeats && rowBytes - out >= unitBytes; ++i) {
                std::memcpy(row + out, packed + in, unitBytes);
                out += unitBytes;
            }
            in += unitBytes;
        }
    }
}

std::uint8_t IndexAt(const std::uint8_t* row, int x, int pixelSize) {
    if (pixelSize == 8) return row[x];
    const int bitOffset = x * pixelSize;
    const int shift = 8 - pixelSize - (bitOffset & 7);
    return static_cast<std::uint8_t>((row[bitOffset >> 3] >> shift) & ((1 << pixelSize) - 1));
}

void StoreColor(std::uint8_t* pixel, const PaletteEntry& color) {
    pixel[0] = color.blue;
    pixel[1] = color.green;
    pixel[2] = color.red;
    pixel[3] = color.alpha;
}

}  // namespace

// --- The decoder at work ---------------------------------------------------------

// One decode: the source, the bitmap being filled and what the walk has learnt.
class CPICTDecoder::Reader {
public:
    Reader(CImageSource& source, CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
           CJPEGDecoder* jpegDecoder, const DecodeLimits& limits)
        : m_source(source),
          m_bitmap(bitmap),
          m_palette(palette),
          m_bpp(bpp),
          m_jpegDecoder(jpegDecoder),
          m_limits(limits) {}

    void Decode() {
        TraceLine(2, "Decoding mac pict.\n");
        skip(kPreambleBytes);
        skip(kPicSizeBytes + kPicFrameBytes);
        readVersion();
        // Every opcode consumes at least its own bytes, so the walk ends at the
        // image, at the end opcode or at the end of the data.
        while (!handleOpcode(readOpcode())) {
        }
    }
    // True when the picture was an embedded JPEG, which the JPEG decoder decoded.
    bool DecodedJpeg() const { return m_decodedJpeg; }

private:
    // --- Reading -------------------------------------------------------------------
    std::uint8_t readByte() { return *m_source.ReadBytes(1); }
    std::uint16_t readWord() { return ReadBE16(m_source.ReadBytes(2)); }
    std::int16_t readSignedWord() { return ReadBE16Signed(m_source.ReadBytes(2)); }
    std::uint32_t readLong() { return ReadBE32(m_source.ReadBytes(4)); }
    void skip(std::int64_t count) {
        if (count > 0) m_source.ReadBytes(count);
    }

    void readVersion() {
        std::uint8_t byte = 0;
        do {
            byte = readByte();
        } while (byte == 0);
        if (byte != kVersionOpcode) RaiseError(ERR_WRONG_SIGNATURE, kVersionMissing);
        const std::uint8_t version = readByte();
        if (version == 1) {
            m_version = 1;
        } else if (version == 2 && readByte() == kVersion2Marker) {
            m_version = 2;
        } else {
            RaiseError(ERR_WRONG_SIGNATURE, kIllegalVersion);
        }
        TraceFormat(2, "PICT version %d found.\n", m_version);
    }

    unsigned readOpcode() {
        if (m_version == 1) return readByte();
        // Version 2 opcodes are word-aligned, counted from the start of the file.
        if (m_source.GetBytesRead() % 2 != 0) skip(1);
        return readWord();
    }

    Rect readRect() {
        const std::uint8_t* data = m_source.ReadBytes(kRectBytes);
        return Rect{ReadBE16Signed(data), ReadBE16Signed(data + 2), ReadBE16Signed(data + 4),
                    ReadBE16Signed(data + 6)};
    }

    void traceBounds(const char* label, const Rect& bounds) {
        TraceFormat(2, "%s (%d,%d) (%d,%d).\n", label, bounds.left, bounds.top, bounds.right, bounds.bottom);
    }

    PixMapHeader readPixMapHeader(const Rect& bounds) {
        const std::uint8_t* data = m_source.ReadBytes(kPixMapHeaderBytes);
        PixMapHeader header;
        header.version = ReadBE16(data);
        header.packType = ReadBE16(data + 2);
        header.packSize = ReadBE32(data + 4);
        // hRes (4), vRes (4) and pixelType (2) are not needed.
        header.pixelSize = ReadBE16(data + 18);
        header.cmpCount = ReadBE16(data + 20);
        header.cmpSize = ReadBE16(data + 22);
        header.planeBytes = ReadBE32(data + 24);
        // pmTable (4) and pmReserved (4) are not needed.

        TraceLine(2, "PixMap header info:\n");
        traceBounds("  Bounds:", bounds);
        TraceFormat(2, "  version: 0x%x\n", header.version);
        TraceFormat(2, "  packType: %d\n", header.packType);
        TraceFormat(2, "  packSize: %ld\n", static_cast<long>(header.packSize));
        TraceFormat(2, "  pixelSize: %d\n", header.pixelSize);
        TraceFormat(2, "  cmpCount: %d\n", header.cmpCount);
        TraceFormat(2, "  cmpSize: %d.\n", header.cmpSize);
        TraceFormat(2, "  planeBytes: %ld.\n", static_cast<long>(header.planeBytes));
        return header;
    }

    ColorTable readColorTable() {
        TraceLine(3, "Getting color table info.\n");
        skip(kColorTableSeedBytes);
        const std::uint16_t flags = readWord();
        // ctSize is the entry count minus one; -1 is an empty table.
        const int entryCount = readSignedWord() + 1;
        TraceFormat(2, "Palette Size:  %d\n", entryCount);
        TraceLine(3, "Reading Palette.\n");
        if (entryCount < 0 || entryCount > kColorTableEntries)
            RaiseError(ERR_FORMAT_UNKNOWN, kColorIndexTooLarge);

        ColorTable table;
        try {
            table.assign(kColorTableEntries, kBlack);
        } catch (const std::bad_alloc&) {
            RaiseError(ERR_NO_MEMORY, kColorTableNoMemory);
        }
        const bool deviceTable = (flags & kDeviceColorTableFlag) != 0;
        for (int i = 0; i < entryCount; ++i) {
            const std::uint8_t* entry = m_source.ReadBytes(kColorTableEntryBytes);
            // A device table lists its colours in order whatever the stored values say.
            const int index = deviceTable ? i : ReadBE16(entry);
            if (index >= entryCount) RaiseError(ERR_FORMAT_UNKNOWN, kColorIndexTooLarge);
            // Keep the high byte of each 16-bit component.
            table[static_cast<std::size_t>(index)] = PaletteEntry{entry[6], entry[4], entry[2], 255};
        }
        return table;
    }

    void skipRegion() {
        const std::uint16_t size = readWord();
        skip(static_cast<std::int64_t>(size) - kRegionSizeBytes);
    }

    // --- The opcode walk -----------------------------------------------------------

    // Returns true once the image has been decoded.
    bool handleOpcode(unsigned opcode) {
        if (opcode <= kOpLastTabled) return handleTabledOpcode(opcode);
        if (opcode == kOpEndOfPictureV1 || opcode == kOpEndOfPicture) {
            TraceLine(2, "Opcode: End of pict.\n");
            RaiseError(ERR_FORMAT_NOT_COMPILED, kOnlyVectorData);
        }
        if (opcode == kOpHeaderOp) {
            TraceLine(2, "Opcode: Header.\n");
            skip(kHeaderOpBytes);
            return false;
        }
        if (opcode == kOpCompressedQuickTime) {
            TraceLine(2, "Opcode: JPEG.\n");
            decodeEmbeddedJpeg();
            return true;
        }
        TraceFormat(2, "Opcode: reserved 0x%x.\n", opcode);
        if (opcode <= kOpLastWordLengthReserved) {
            skip(readWord());
        } else if (opcode <= kOpLastNoDataReserved) {
            // No data.
        } else if (opcode <= kOpLastLongLengthReserved) {
            skip(readLong());
        } else if (opcode <= kOpLastSizedByHighByte) {
            skip(2 * static_cast<std::int64_t>(opcode >> 8));
        } else if (opcode <= kOpLastNoDataReservedHigh) {
            // No data.
        } else {
            skip(readLong());
        }
        return false;
    }

    bool handleTabledOpcode(unsigned opcode) {
        const OpcodeInfo& info = kOpcodeTable[opcode];
        if (std::strcmp(info.name, "reserved") == 0) {
            TraceFormat(2, "Opcode: reserved=0x%x\n", opcode);
        } else {
            TraceFormat(2, "Opcode: %s\n", info.name);
        }

        switch (opcode) {
            case kOpClip: {
                const std::uint16_t size = readWord();
                if (size == kRectangularRegionBytes) {
                    readRect();  // the clip rectangle does not matter for a raster image
                } else {
                    skip(static_cast<std::int64_t>(size) - kRegionSizeBytes);
                }
                return false;
            }
            case kOpBkPixPat:
            case kOpPnPixPat:
            case kOpFillPixPat:
                skipPixelPattern();
                return false;
            case kOpLongText:
            case kOpDHText:
            case kOpDVText:
            case kOpDHDVText:
                skipText(opcode);
                return false;
            case kOpBitsRect:
            case kOpPackBitsRect:
                decodeBits(false);
                return true;
            case kOpBitsRgn:
            case kOpPackBitsRgn:
                decodeBits(true);
                return true;
            case kOpDirectBitsRect:
                decodeDirectBits();
                return true;
            case kOpLongComment:
                skip(kCommentKindBytes);
                skip(readWord());
                return false;
            default:
                break;
        }
        if ((opcode >= kOpFirstPolygon && opcode <= kOpLastPolygon) ||
            (opcode >= kOpFirstRegion && opcode <= kOpLastRegion)) {
            TraceLine(3, "Skipping polygon or region.\n");
            skipRegion();
        } else if (info.length == kLengthWord) {
            skip(readWord());
        } else {
            skip(info.length);
        }
        return false;
    }

    // The text opcodes carry a position, a count byte and the text; stepping
    // over all of it keeps the walk in step with the opcodes that follow.
    void skipText(unsigned opcode) {
        constexpr std::int64_t kTextLocationBytes = 4;  // LongText: txLoc
        constexpr std::int64_t kTextOffsetBytes = 1;    // DHText: dh; DVText: dv
        if (opcode == kOpLongText) {
            skip(kTextLocationBytes);
        } else if (opcode == kOpDHDVText) {
            skip(2 * kTextOffsetBytes);
        } else {
            skip(kTextOffsetBytes);
        }
        skip(readByte());
    }

    void skipPixelPattern() {
        const std::uint16_t type = readWord();
        if (type == kPatternDithered) {
            skip(kOldPatternBytes);
            skip(kDitherColorBytes);
            return;
        }
        if (type != kPatternPixMap) RaiseError(ERR_FORMAT_UNKNOWN, kUnknownPatternType);

        skip(kOldPatternBytes);
        const std::uint16_t rowBytes = readWord();
        const Rect bounds = readRect();
        const PixMapHeader header = readPixMapHeader(bounds);
        readColorTable();  // a pattern's colours are not needed

        // Step over the pattern's pixels the way the row unpacking would read them.
        std::int64_t rowSize = rowBytes & kRowBytesMask;
        if (rowSize == 0)
            rowSize = header.pixelSize == 16 ? 2 * std::int64_t{bounds.Width()} : bounds.Width();
        rowSize = std::max<std::int64_t>(rowSize, 0);
        const std::int64_t rows = std::max(bounds.Height(), 0);
        if (rowSize < kMinPackedRowBytes) {
            skip(rows * rowSize);
            return;
        }
        for (std::int64_t y = 0; y < rows; ++y)
            skip(rowSize < kMinWordCountRowBytes ? readByte() : readWord());
    }

    // --- Images ------------------------------------------------------------------

    void checkImageSize(const Rect& bounds) const {
        if (!m_limits.AllowsSize(bounds.Width(), bounds.Height()))
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, kIllegalImageSize, bounds.Width(), bounds.Height());
    }

    // Only the sizes the row unpacking knows; 16 and 32 bits are direct colour
    // and cannot be kept in an 8-bit bitmap.
    static void checkPixelFormat(const PixMapHeader& header, int depth) {
        const int pixelSize = header.pixelSize;
        if (!IsIndexedPixelSize(pixelSize) && pixelSize != 16 && pixelSize != 32)
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, kIllegalPixelSize, pixelSize);
        if (pixelSize == 32 && header.cmpCount != 3 && header.cmpCount != 4)
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, kIllegalComponentCount, header.cmpCount);
        if (pixelSize > 8 && depth != 32) RaiseError(ERR_FORMAT_UNKNOWN, kDirectPixelsInto8Bit);
    }

    // The library keeps 8- and 32-bit bitmaps; any wanted depth but 32 gets 8.
    int settleDepth(int fileDepth) {
        m_bpp = CPICTDecoder::ChooseDepth(m_bpp, fileDepth) == 32 ? 32 : 8;
        return m_bpp;
    }

    static RowLayout rowLayout(std::uint16_t rowBytes, int width, int pixelSize, int cmpCount) {
        RowLayout layout;
        const std::int64_t w = width;
        std::int64_t impliedRowBytes = 0;
        if (pixelSize == 32) {
            // One plane of width bytes per component.
            layout.pixelBytes = cmpCount * w;
            impliedRowBytes = 4 * w;
        } else if (pixelSize == 16) {
            layout.pixelBytes = 2 * w;
            impliedRowBytes = 2 * w;
            layout.unitBytes = 2;
        } else {
            layout.pixelBytes = (w * pixelSize + 7) / 8;
            impliedRowBytes = w;
        }
        layout.rowBytes = (rowBytes & kRowBytesMask) != 0 ? (rowBytes & kRowBytesMask) : impliedRowBytes;
        // Direct 32-bit rows are always packed; other rows only from 8 bytes on.
        layout.packed = pixelSize == 32 || layout.rowBytes >= kMinPackedRowBytes;
        layout.wordCount = layout.rowBytes >= kMinWordCountRowBytes;
        layout.bufferBytes = static_cast<std::size_t>(std::max(layout.rowBytes, layout.pixelBytes));
        return layout;
    }

    // Checks the row layout before the bitmap is allocated. A row narrower than
    // its pixels is not something any encoder writes. Every row takes some data:
    // its bytes when unpacked, or its count and the least PackBits that can fill
    // it (one control byte per 128 units); a picture whose rows cannot fit the
    // remaining data is refused. Together they keep a few bytes of hostile data
    // from standing for an enormous bitmap.
    void checkRows(const RowLayout& layout, int width, int height) {
        if (layout.rowBytes < layout.pixelBytes)
            RaiseErrorFormat(ERR_FORMAT_UNKNOWN, kRowBytesTooSmall, static_cast<int>(layout.rowBytes), width);
        std::int64_t leastRowBytes = layout.rowBytes;
        if (layout.packed) {
            const auto unit = static_cast<std::int64_t>(layout.unitBytes);
            const std::int64_t units = (layout.pixelBytes + unit - 1) / unit;
            const std::int64_t controls = (units + kMaxPackBitsRunUnits - 1) / kMaxPackBitsRunUnits;
            leastRowBytes = (layout.wordCount ? 2 : 1) + controls * (1 + unit);
        }
        const auto needed =
            CheckedMultiply(static_cast<std::uint64_t>(leastRowBytes), static_cast<std::uint64_t>(height));
        if (!needed || *needed > static_cast<std::uint64_t>(m_source.GetRemaining()))
            throw CTextException(ERR_END_OF_FILE, kEndOfFile);
    }

    void readRow(const RowLayout& layout, std::vector<std::uint8_t>& row) {
        std::fill(row.begin(), row.end(), 0);
        if (layout.packed) {
            const std::size_t count = layout.wordCount ? readWord() : readByte();
            const std::uint8_t* packed = m_source.ReadBytes(static_cast<std::int64_t>(count));
            ExpandPackBits(packed, count, row.data(), row.size(), layout.unitBytes);
        } else {
            const std::uint8_t* data = m_source.ReadBytes(layout.rowBytes);
            std::memcpy(row.data(), data, static_cast<std::size_t>(layout.rowBytes));
        }
    }

    // Fills the created bitmap from the rows in the file. `table` maps the
    // pixel values of 1- to 8-bit pixels to colours for a 32-bit bitmap.
    void unpackRows(std::uint16_t rowBytes, int pixelSize, int cmpCount, const ColorTable& table) {
        const int width = m_bitmap.GetWidth();
        const int height = m_bitmap.GetHeight();
        const bool toDirect = m_bitmap.GetDepth() == 32;
        const RowLayout layout = rowLayout(rowBytes, width, pixelSize, cmpCount);
        std::vector<std::uint8_t> row(layout.bufferBytes);
        BitmapWriteLock lock(m_bitmap);
        std::uint8_t* const* rows = m_bitmap.GetRows();
        for (int y = 0; y < height; ++y) {
            readRow(layout, row);
            std::uint8_t* out = rows[y];
            if (IsIndexedPixelSize(pixelSize)) {
                for (int x = 0; x < width; ++x) {
                    const std::uint8_t index = IndexAt(row.data(), x, pixelSize);
                    if (toDirect) {
                        StoreColor(out + 4 * x, table[index]);
                    } else {
                        out[x] = index;
                    }
                }
            } else if (pixelSize == 16) {
                for (int x = 0; x < width; ++x) {
                    // xRRRRRGGGGGBBBBB
                    const std::uint16_t pixel = ReadBE16(row.data() + 2 * x);
                    out[4 * x + 0] = static_cast<std::uint8_t>((pixel & 0x1F) << 3);
                    out[4 * x + 1] = static_cast<std::uint8_t>(((pixel >> 5) & 0x1F) << 3);
                    out[4 * x + 2] = static_cast<std::uint8_t>(((pixel >> 10) & 0x1F) << 3);
                    out[4 * x + 3] = 255;
                }
            } else {
                // One plane of width bytes per component: red, green, blue, with
                // an alpha plane in front when there are four.
                const std::uint8_t* plane = row.data();
                const bool hasAlpha = cmpCount == 4;
                const std::uint8_t* alpha = hasAlpha ? plane : nullptr;
                const std::uint8_t* red = plane + (hasAlpha ? width : 0);
                const std::uint8_t* green = red + width;
                const std::uint8_t* blue = green + width;
                for (int x = 0; x < width; ++x) {
                    out[4 * x + 0] = blue[x];
                    out[4 * x + 1] = green[x];
                    out[4 * x + 2] = red[x];
                    out[4 * x + 3] = hasAlpha ? alpha[x] : 255;
                }
            }
        }
    }

    void decodeBits(bool withRegion) {
        const std::uint16_t rowBytes = readWord();
        if ((rowBytes & kPixMapFlag) != 0) {
            decodePixMap(rowBytes, withRegion);
        } else {
            decodeBitMap(rowBytes, withRegion);
        }
    }

    // The one-bit BitMap of version 1 pictures: set bits are black.
    void decodeBitMap(std::uint16_t rowBytes, bool withRegion) {
        TraceLine(2, "Reading version 1 bitmap.\n");
        const Rect bounds = readRect();
        traceBounds("  Bounds", bounds);
        checkImageSize(bounds);
        skip(2 * kRectBytes);  // source and destination rectangles
        const int depth = settleDepth(1);
        skip(kTransferModeBytes);
        if (withRegion) {
            TraceLine(3, "Skipping polygon or region.\n");
            skipRegion();
        }
        checkRows(rowLayout(rowBytes, bounds.Width(), 1, 0), bounds.Width(), bounds.Height());

        CreateBitmapWithin(m_limits, m_bitmap, bounds.Width(), bounds.Height(), depth, false);
        ColorTable blackAndWhite(kColorTableEntries, kBlack);
        blackAndWhite[0] = kWhite;
        blackAndWhite[1] = kBlack;
        unpackRows(rowBytes, 1, 0, blackAndWhite);
        if (depth <= 8) {
            m_bitmap.GetPalette()[0] = kWhite;
            m_bitmap.GetPalette()[1] = kBlack;
        }
    }

    void decodePixMap(std::uint16_t rowBytes, bool withRegion) {
        const Rect bounds = readRect();
        const PixMapHeader header = readPixMapHeader(bounds);
        checkImageSize(bounds);
        const int depth = settleDepth(header.pixelSize);
        checkPixelFormat(header, depth);
        m_palette = readColorTable();
        skip(2 * kRectBytes);  // source and destination rectangles
        skip(kTransferModeBytes);
        if (withRegion) {
            TraceLine(3, "Skipping polygon or region.\n");
            skipRegion();
        }
        checkRows(rowLayout(rowBytes, bounds.Width(), header.pixelSize, header.cmpCount), bounds.Width(),
                  bounds.Height());

        CreateBitmapWithin(m_limits, m_bitmap, bounds.Width(), bounds.Height(), depth,
                           depth == 32 && hasAlphaPlane(header));
        if (depth == 8) m_bitmap.SetPaletteEntries(m_palette.data());
        unpackRows(rowBytes, header.pixelSize, header.cmpCount, m_palette);
    }

    void decodeDirectBits() {
        skip(kBaseAddrBytes);
        // The stored rowBytes is not used: the rows are sized from the width.
        skip(kRowBytesBytes);
        const Rect bounds = readRect();
        const PixMapHeader header = readPixMapHeader(bounds);
        checkImageSize(bounds);
        skip(2 * kRectBytes);  // source and destination rectangles
        skip(kTransferModeBytes);
        const int depth = settleDepth(header.pixelSize);
        checkPixelFormat(header, depth);
        checkRows(rowLayout(0, bounds.Width(), header.pixelSize, header.cmpCount), bounds.Width(),
                  bounds.Height());

        CreateBitmapWithin(m_limits, m_bitmap, bounds.Width(), bounds.Height(), depth,
                           depth == 32 && hasAlphaPlane(header));
        // A direct map of 8 bits or less has no colour table. An 8-bit bitmap
        // keeps the grey ramp it is created with, so a 32-bit one gets the
        // same greys.
        unpackRows(0, header.pixelSize, header.cmpCount, GreyRamp());
    }

    static bool hasAlphaPlane(const PixMapHeader& header) {
        return header.pixelSize == 32 && header.cmpCount == 4;
    }

    static ColorTable GreyRamp() {
        ColorTable table(kColorTableEntries);
        for (int i = 0; i < kColorTableEntries; ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            table[static_cast<std::size_t>(i)] = PaletteEntry{level, level, level, 255};
        }
        return table;
    }

    // Compressed QuickTime data: its image description is not parsed; the
    // JPEG stream is found by its start marker within the opcode's data.
    void decodeEmbeddedJpeg() {
        const std::int64_t length = readLong();
        // The decoded JPEG comes out at the depth the caller gets told, also
        // for a grey JPEG, whose own choice would be 8 bits.
        m_bpp = CPICTDecoder::ChooseDepth(m_bpp, 32);
        const std::int64_t searchable = std::min(length, m_source.GetRemaining());
        const std::uint8_t* data = m_source.GetCurrentPointer();
        for (std::int64_t offset = 0;
             offset + kJpegStartBytes <= m_source.GetRemaining() && offset < searchable; ++offset) {
            if (data[offset] == 0xFF && data[offset + 1] == 0xD8 && data[offset + 2] == 0xFF) {
                if (m_jpegDecoder == nullptr) RaiseError(ERR_FORMAT_NOT_COMPILED, kNoJpegDecoder);
                skip(offset);
                // The borrowed decoder keeps to this decode's limits, and
                // gets its own back afterwards.
                struct LimitsScope {
                    CJPEGDecoder& decoder;
                    DecodeLimits own;
                    ~LimitsScope() { decoder.SetLimits(own); }
                } scope{*m_jpegDecoder, m_jpegDecoder->GetLimits()};
                m_jpegDecoder->SetLimits(m_limits);
                m_jpegDecoder->DecodeSource(m_source, m_bitmap, m_bpp);
                m_decodedJpeg = true;
                return;
            }
        }
        // The whole of the data is passed over, which ends in the end-of-data
        // error when the length runs beyond it.
        skip(length);
        RaiseError(ERR_FORMAT_NOT_COMPILED, kUnrecognizedQuickTime);
    }

    CImageSource& m_source;
    CImageBitmap& m_bitmap;
    std::vector<PaletteEntry>& m_palette;
    int& m_bpp;
    CJPEGDecoder* m_jpegDecoder;
    const DecodeLimits& m_limits;
    int m_version = 0;
    bool m_decodedJpeg = false;
};

void CPICTDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                               CImageSource& source) {
    // A QuickTime JPEG inside converts through its profile as this picture would.
    if (m_jpegDecoder != nullptr) {
        m_jpegDecoder->SetColorManagement(GetColorManagement());
        m_jpegDecoder->SetKeepLibraryMessages(GetKeepLibraryMessages());
    }
    Reader reader(source, bitmap, palette, bpp, m_jpegDecoder, GetLimits());
    reader.Decode();
    // Its profile, libjpeg's warnings and a cut-off stream are this
    // picture's: the progress log names them.
    if (reader.DecodedJpeg()) {
        SetColorNote(m_jpegDecoder->GetColorNote());
        TakeNotesOf(*m_jpegDecoder);
    }
}
