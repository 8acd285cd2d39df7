#include "imagelib/decoders/metafile_decoder.h"

#include "imagelib/byte_order.h"
#include "imagelib/text_exception.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <new>
#include <string>

namespace {

// Placeable metafile header: key, handle, bounding box (left, top, right,
// bottom, signed, in metafile units), units per inch, reserved, checksum.
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeaderSize = 22;
constexpr std::size_t kPlaceableLeft = 6;
constexpr std::size_t kPlaceableTop = 8;
constexpr std::size_t kPlaceableRight = 10;
constexpr std::size_t kPlaceableBottom = 12;
constexpr std::size_t kPlaceableUnitsPerInch = 14;

// Size used when a metafile does not tell its own.
constexpr int kDefaultWidth = 320;
constexpr int kDefaultHeight = 200;

// The logical palette handed to the platform always has this many entries.
constexpr std::size_t kLogicalPaletteSize = 256;

const char kNoDeviceContext[] = "Cannot allocate device context.";
const char kTooMuchWork[] = "The metafile asks for more drawing work than its size allows.";

// side x part / whole for 0 < part <= whole, also where the product would
// overflow (a header's frame and device sizes can multiply up to 2^56).
std::int64_t ScaleSide(std::int64_t part, std::int64_t side, std::int64_t whole) {
    std::int64_t product = 0;
    if (!__builtin_mul_overflow(part, side, &product)) return product / whole;
    return static_cast<std::int64_t>(static_cast<long double>(part) / static_cast<long double>(whole) *
                                     static_cast<long double>(side));
}

// A computed side of 0 or less takes the default; canvases larger than the
// limits allow are scaled down, keeping the picture's proportions.
void ChooseCanvasSize(std::int64_t width, std::int64_t height, std::int64_t maxSide, int& outWidth,
                      int& outHeight) {
    if (width <= 0) width = kDefaultWidth;
    if (height <= 0) height = kDefaultHeight;
    maxSide = std::clamp<std::int64_t>(maxSide, 1, std::numeric_limits<int>::max());
    const std::int64_t longest = std::max(width, height);
    if (longest > maxSide) {
        width = std::max<std::int64_t>(1, ScaleSide(width, maxSide, longest));
        height = std::max<std::int64_t>(1, ScaleSide(height, maxSide, longest));
    }
    outWidth = static_cast<int>(width);
    outHeight = static_cast<int>(height);
}

}  // namespace

void CMetafileDecoder::DecodeImage(CImageBitmap& bitmap, std::vector<PaletteEntry>& palette, int& bpp,
                                   CImageSource& source) {
    m_workSpent = 0;
    std::string name;
    try {
        name = source.GetName();
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, "Out of memory during strdup.");
    }
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool enhanced = name.find(".EMF") != std::string::npos;

    std::shared_ptr<CMetafilePlatform> platform = m_platform ? m_platform : CreateMetafilePlatform();
    std::unique_ptr<CMetafileScreen> screen = platform->GetScreen(GetLimits());
    if (!screen) RaiseError(ERR_NO_MEMORY, kNoDeviceContext);

    const std::int64_t remaining = source.GetRemaining();
    const auto size = static_cast<std::size_t>(remaining);
    const std::uint8_t* data = size > 0 ? source.GetCurrentPointer() : nullptr;
    // Zero-padded look at the placeable header, so short data reads as zeros.
    const std::uint8_t* head = source.PeekBytes(kPlaceableHeaderSize);
    const bool placeable = !enhanced && ReadLE32(head) == kPlaceableKey;

    std::unique_ptr<CEnhancedMetafile> metafile;
    if (enhanced) {
        metafile = screen->SetEnhMetaFileBits(data, size);
    } else if (placeable) {
        // A placeable file shorter than its own header holds no metafile.
        if (size > kPlaceableHeaderSize)
            metafile = screen->SetWinMetaFileBits(data + kPlaceableHeaderSize, size - kPlaceableHeaderSize);
    } else {
        metafile = screen->SetWinMetaFileBits(data, size);
    }
    if (!metafile)
        RaiseError(ERR_FORMAT_NOT_COMPILED, "Windows Metafile functions failed to load this image.");

    if (metafile->GetHeaderSize() == 0) RaiseError(ERR_FORMAT_UNKNOWN, "No header information in metafile");
    EnhancedMetafileHeader header;
    try {
        header = metafile->GetHeader();
    } catch (const std::bad_alloc&) {
        RaiseError(ERR_NO_MEMORY, "Out of memory during allocation of header.");
    }

    std::int64_t width = 0;
    std::int64_t height = 0;
    if (placeable) {
        // A units-per-inch of 0 would divide by zero; such a file has no
        // usable size and gets the default one.
        const std::int64_t unitsPerInch = ReadLE16(head + kPlaceableUnitsPerInch);
        if (unitsPerInch != 0) {
            width = (std::int64_t{ReadLE16Signed(head + kPlaceableRight)} -
                     ReadLE16Signed(head + kPlaceableLeft)) *
                    screen->GetPixelsPerInchX() / unitsPerInch;
            height = (std::int64_t{ReadLE16Signed(head + kPlaceableBottom)} -
                      ReadLE16Signed(head + kPlaceableTop)) *
                     screen->GetPixelsPerInchY() / unitsPerInch;
        }
    } else {
        if (header.deviceMillimetres.cx > 0)
            width = (std::int64_t{header.frame.right} - header.frame.left) * header.devicePixels.cx /
                    (std::int64_t{header.deviceMillimetres.cx} * 100);
        if (header.deviceMillimetres.cy > 0)
            height = (std::int64_t{header.frame.bottom} - header.frame.top) * header.devicePixels.cy /
                     (std::int64_t{header.deviceMillimetres.cy} * 100);
    }
    int canvasWidth = 0;
    int canvasHeight = 0;
    ChooseCanvasSize(width, height, GetLimits().maxMetafileCanvasSide, canvasWidth, canvasHeight);

    std::unique_ptr<CMetafileMemoryContext> context = screen->CreateCompatibleContext();
    if (!context) RaiseError(ERR_NO_MEMORY, kNoDeviceContext);
    if (!context->CreateCompatibleBitmap(canvasWidth, canvasHeight))
        RaiseError(ERR_NO_MEMORY, "Cannot allocate memory bitmap.");

    // Only a metafile with its own palette of fewer than 256 entries is drawn
    // through a palette, which is then handed out with the picture.
    std::vector<MetafilePaletteEntry> entries = metafile->GetPaletteEntries();
    const bool withPalette = !entries.empty() && entries.size() < kLogicalPaletteSize;
    if (withPalette) {
        std::vector<MetafilePaletteEntry> logical;
        try {
            logical.assign(kLogicalPaletteSize, MetafilePaletteEntry{});
        } catch (const std::bad_alloc&) {
            RaiseError(ERR_NO_MEMORY, "Cannot allocate palette.");
        }
        std::copy(entries.begin(), entries.end(), logical.begin());
        try {
            palette.resize(kLogicalPaletteSize);
        } catch (const std::bad_alloc&) {
            RaiseError(ERR_NO_MEMORY, "Cannot allocate palette info.");
        }
        for (std::size_t i = 0; i < kLogicalPaletteSize; ++i)
            palette[i] = PaletteEntry{logical[i].blue, logical[i].green, logical[i].red, 255};
        context->SelectPalette(logical);
    }

    context->FillWhite();
    // Records the platform cannot play leave what was drawn before them; the
    // picture is used as far as it got.
    context->PlayEnhMetaFile(*metafile, MetafileRect{0, 0, canvasWidth, canvasHeight});
    metafile.reset();
    // A metafile that asks for more work than its size allows is refused
    // rather than shown half drawn, as a picture over a size limit is.
    const CMetafileMemoryContext::PlayWork work = context->GetPlayWork();
    m_workSpent = work.spent;
    if (work.overBudget) RaiseError(ERR_UNSUPPORTED_DATA, kTooMuchWork);

    if (bpp == 0) bpp = withPalette ? 8 : 32;
    CreateBitmapWithin(GetLimits(), bitmap, canvasWidth, canvasHeight, bpp, bpp >= 32);
    if (withPalette && bpp < 24) bitmap.SetPaletteEntries(palette.data());
    context->GetDIBits(bitmap, withPalette);
}
