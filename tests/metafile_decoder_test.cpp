#include "imagelib/decoders/metafile_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/image_source.h"
#include "imagelib/limits/work_budget.h"
#include "imagelib/metafile/metafile_crossings.h"
#include "imagelib/metafile/metafile_platform.h"
#include "imagelib/text_exception.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using testsupport::Colorref;
using testsupport::EmfWriter;
using testsupport::PaletteColor;
using testsupport::WmfWriter;

namespace {

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kYellow = 0xFFFF00;
constexpr std::uint32_t kWhite = 0xFFFFFF;
const char kLoadFailure[] = "Decoder error: Windows Metafile functions failed to load this image.\n";

// A memory source that carries a file name, which picks the metafile kind.
class CNamedMemorySource : public CMemorySource {
public:
    CNamedMemorySource(const std::vector<std::uint8_t>& bytes, const std::string& name) {
        OpenCommon(name, static_cast<std::int64_t>(bytes.size()), bytes.data());
    }
};

std::unique_ptr<CDIBBitmap> Decode(const std::vector<std::uint8_t>& bytes,
                                   const std::string& name = "picture.wmf", int depth = 32,
                                   CMetafileDecoder&& decoder = CMetafileDecoder()) {
    auto bitmap = std::make_unique<CDIBBitmap>();
    CNamedMemorySource source(bytes, name);
    decoder.DecodeSource(source, *bitmap, depth);
    return bitmap;
}

// 0x00RRGGBB of a 32-bit pixel.
std::uint32_t Pixel(const CImageBitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.GetRows()[y] + 4 * x;
    return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

bool IsDark(std::uint32_t color) {
    return ((color >> 16) & 0xFF) < 128 && ((color >> 8) & 0xFF) < 128 && (color & 0xFF) < 128;
}

// Where text landed: the box around the dark pixels of rows [top, bottom).
// Glyph shapes differ from face to face, so text is checked by its place and
// extent, never by how many pixels one face happens to ink.
struct InkBox {
    int left = std::numeric_limits<int>::max();
    int top = std::numeric_limits<int>::max();
    int right = -1;
    int bottom = -1;
};

InkBox InkIn(const CImageBitmap& bitmap, int top, int bottom) {
    InkBox box;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) {
            if (!IsDark(Pixel(bitmap, x, y))) continue;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                   std::max(box.bottom, y)};
        }
    return box;
}

// Expects the decode to fail with the given code and message.
template <typename Action>
void ExpectError(Action action, int code, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const CTextException& error) {
        EXPECT_EQ(error.GetCode(), code);
        EXPECT_EQ(std::string(error.GetMessage()), message);
    }
}

// A 100 x 100 placeable metafile whose logical units are its pixels.
std::vector<std::uint8_t> Placeable100(const WmfWriter& body) {
    return body.PlaceableBytes(0, 0, 100, 100, 96);
}

WmfWriter Window100() {
    WmfWriter wmf;
    wmf.SetWindowOrg(0, 0).SetWindowExt(100, 100);
    return wmf;
}

// Red solid brush (object 0) and null pen (object 1), both selected.
WmfWriter RedFillNoOutline() {
    WmfWriter wmf = Window100();
    wmf.CreateBrush(0, Colorref(255, 0, 0)).CreatePen(5, 0, 0).SelectObject(0).SelectObject(1);
    return wmf;
}

}  // namespace

// ---------------------------------------------------------------------------
// Size rules

TEST(MetafileSize, PlaceableSizeIsBoundingBoxAtScreenResolution) {
    const auto bitmap = Decode(Window100().PlaceableBytes(0, 0, 1440, 720, 1440));
    EXPECT_EQ(bitmap->GetWidth(), 96);
    EXPECT_EQ(bitmap->GetHeight(), 48);
    const auto offset = Decode(Window100().PlaceableBytes(-100, 50, 620, 410, 720));
    EXPECT_EQ(offset->GetWidth(), 96);
    EXPECT_EQ(offset->GetHeight(), 48);
}

TEST(MetafileSize, SizesOfZeroOrLessTakeTheDefault) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        int width, height;
    };
    const std::vector<Case> cases = {
        {Window100().PlaceableBytes(0, 0, 0, 0, 1440), 320, 200},
        {Window100().PlaceableBytes(50, 50, 10, 10, 96), 320, 200},
        {Window100().PlaceableBytes(0, 0, 100, 0, 96), 100, 200},
        {WmfWriter().Bytes(), 320, 200},  // no window extent: size unknown
    };
    for (const Case& c : cases) {
        const auto bitmap = Decode(c.bytes);
        EXPECT_EQ(bitmap->GetWidth(), c.width);
        EXPECT_EQ(bitmap->GetHeight(), c.height);
    }
    const auto empty = Decode(EmfWriter(0, 0, 0, 0).Bytes(), "x.emf");
    EXPECT_EQ(empty->GetWidth(), 320);
    EXPECT_EQ(empty->GetHeight(), 200);
}

TEST(MetafileSize, ZeroUnitsPerInchTakesTheDefaultInsteadOfDividingByZero) {
    const auto bitmap = Decode(Window100().PlaceableBytes(0, 0, 1440, 720, 0));
    EXPECT_EQ(bitmap->GetWidth(), 320);
    EXPECT_EQ(bitmap->GetHeight(), 200);
}

TEST(MetafileSize, PlainWindowsMetafileTakesItsWindowInScreenPixels) {
    WmfWriter wmf;
    wmf.SetWindowExt(200, -100);
    const auto bitmap = Decode(wmf.Bytes());
    EXPECT_EQ(bitmap->GetWidth(), 200);
    EXPECT_EQ(bitmap->GetHeight(), 100);
}

TEST(MetafileSize, EnhancedSizeIsFrameThroughReferenceDevice) {
    // 25.4 mm x 12.7 mm on a device of 1000 pixels per 254 mm.
    const auto bitmap = Decode(EmfWriter(0, 0, 2540, 1270).Bytes(), "x.emf");
    EXPECT_EQ(bitmap->GetWidth(), 100);
    EXPECT_EQ(bitmap->GetHeight(), 50);
    const auto wide = Decode(EmfWriter(-1000, 0, 1540, 2540, 2000, 500, 254, 127).Bytes(), "x.emf");
    EXPECT_EQ(wide->GetWidth(), 200);
    EXPECT_EQ(wide->GetHeight(), 100);
}

TEST(MetafileSize, CanvasesBeyondTheLimitAreScaledDownKeepingProportions) {
    const auto bitmap = Decode(Window100().PlaceableBytes(0, 0, 30000, 15000, 96));
    EXPECT_EQ(bitmap->GetWidth(), 8192);
    EXPECT_EQ(bitmap->GetHeight(), 4096);
}

// ---------------------------------------------------------------------------
// Drawing

TEST(MetafileDrawing, UndrawnAreasAreWhiteAndOpaque) {
    const auto bitmap = Decode(Placeable100(Window100()));
    ASSERT_EQ(bitmap->GetDepth(), 32);
    EXPECT_TRUE(bitmap->HasAlphaChannel());
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            ASSERT_EQ(Pixel(*bitmap, x, y), kWhite) << x << "," << y;
            ASSERT_EQ(bitmap->GetRows()[y][4 * x + 3], 255);
        }
}

TEST(MetafileDrawing, FilledRectangleLandsInItsBox) {
    WmfWriter wmf = RedFillNoOutline();
    wmf.Rectangle(10, 20, 50, 60);
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 10, 20), kRed);
    EXPECT_EQ(Pixel(*bitmap, 30, 40), kRed);
    EXPECT_EQ(Pixel(*bitmap, 49, 59), kRed);
    EXPECT_EQ(Pixel(*bitmap, 50, 40), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 30, 60), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 9, 19), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 90, 90), kWhite);
}

TEST(MetafileDrawing, WindowExtentScalesLogicalUnitsOntoTheCanvas) {
    WmfWriter wmf;
    wmf.SetWindowOrg(1000, 2000).SetWindowExt(1000, 1000);
    wmf.CreateBrush(0, Colorref(255, 0, 0)).CreatePen(5, 0, 0).SelectObject(0).SelectObject(1);
    wmf.Rectangle(1100, 2100, 1500, 2500);
    const auto bitmap = Decode(wmf.PlaceableBytes(0, 0, 100, 100, 96));
    EXPECT_EQ(Pixel(*bitmap, 12, 12), kRed);
    EXPECT_EQ(Pixel(*bitmap, 48, 48), kRed);
    EXPECT_EQ(Pixel(*bitmap, 8, 8), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 52, 52), kWhite);
}

TEST(MetafileDrawing, EllipseFillsItsBoxButNotTheCorners) {
    WmfWriter wmf = RedFillNoOutline();
    wmf.Ellipse(20, 20, 80, 60);
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 50, 40), kRed);
    EXPECT_EQ(Pixel(*bitmap, 22, 40), kRed);
    EXPECT_EQ(Pixel(*bitmap, 50, 22), kRed);
    EXPECT_EQ(Pixel(*bitmap, 22, 22), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 78, 58), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 50, 70), kWhite);
}

TEST(MetafileDrawing, PolygonFillsItsInteriorAndOutlineUsesThePen) {
    WmfWriter wmf = Window100();
    wmf.CreateBrush(0, Colorref(0, 0, 255))
        .CreatePen(0, 1, Colorref(0, 255, 0))
        .SelectObject(0)
        .SelectObject(1);
    wmf.Polygon({{10, 90}, {50, 10}, {90, 90}});
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 50, 70), kBlue);
    EXPECT_EQ(Pixel(*bitmap, 50, 90), kGreen);  // the bottom edge, one pixel wide
    EXPECT_EQ(Pixel(*bitmap, 15, 15), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 85, 15), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 50, 95), kWhite);
}

TEST(MetafileDrawing, TextInksOnlyItsLine) {
    WmfWriter wmf = Window100();
    wmf.CreateFont(-20, 700, "Arial").SelectObject(0).SetBkMode(1).SetTextColor(Colorref(0, 0, 0));
    wmf.TextOut(5, 30, "HELLO");  // top-left alignment: the line spans y 30..53
    const auto bitmap = Decode(Placeable100(wmf));
    const InkBox everywhere = InkIn(*bitmap, 0, 100);
    EXPECT_GE(everywhere.top, 30);
    EXPECT_LT(everywhere.bottom, 54);
    EXPECT_GE(everywhere.left, 5);
    // Five capitals of a 20-pixel face, starting at the reference point.
    EXPECT_LE(everywhere.left, 9);
    EXPECT_GE(everywhere.right - everywhere.left, 40);
    EXPECT_GE(everywhere.bottom - everywhere.top, 10);
}

TEST(MetafileDrawing, StretchedDibCoversTheDestination) {
    WmfWriter wmf = Window100();
    wmf.StretchDib(20, 10, 40, 60, 2, 2, testsupport::MakeDib24(2, 2, {kRed, kGreen, kBlue, kYellow}));
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 25, 15), kRed);
    EXPECT_EQ(Pixel(*bitmap, 55, 15), kGreen);
    EXPECT_EQ(Pixel(*bitmap, 25, 65), kBlue);
    EXPECT_EQ(Pixel(*bitmap, 55, 65), kYellow);
    EXPECT_EQ(Pixel(*bitmap, 15, 40), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 65, 40), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 40, 75), kWhite);
}

TEST(MetafileDrawing, ClipRectanglesLimitDrawing) {
    WmfWriter wmf = RedFillNoOutline();
    wmf.IntersectClipRect(20, 20, 80, 80).ExcludeClipRect(40, 40, 60, 60).Rectangle(0, 0, 100, 100);
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 25, 25), kRed);
    EXPECT_EQ(Pixel(*bitmap, 75, 75), kRed);
    EXPECT_EQ(Pixel(*bitmap, 50, 50), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 10, 50), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 90, 90), kWhite);
}

TEST(MetafileDrawing, RestoreDCBringsBackTheSavedBrushAndClip) {
    WmfWriter wmf = RedFillNoOutline();
    wmf.SaveDC().CreateBrush(0, Colorref(0, 0, 255)).SelectObject(2).IntersectClipRect(0, 0, 10, 10);
    wmf.RestoreDC(-1).Rectangle(20, 20, 40, 40);
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 30, 30), kRed);
}

TEST(MetafileDrawing, DeletedSlotsAreReusedLowestFirst) {
    WmfWriter wmf = Window100();
    wmf.CreatePen(5, 0, 0).SelectObject(0);                   // slot 0: null pen
    wmf.CreateBrush(0, Colorref(0, 0, 255)).DeleteObject(1);  // slot 1 freed again
    wmf.CreateBrush(0, Colorref(255, 0, 0)).SelectObject(1);  // lands in slot 1
    wmf.Rectangle(10, 10, 50, 50);
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 30, 30), kRed);
}

TEST(MetafileDrawing, EnhancedRecordsDrawShapesTextAndBitmaps) {
    // 100 x 100 pixels; device units are canvas pixels.
    EmfWriter emf(0, 0, 2540, 2540);
    emf.CreateBrush(1, 0, Colorref(255, 0, 0)).SelectObject(1).SelectObject(0x80000008);  // null pen
    emf.Rectangle(5, 5, 25, 25);
    emf.Ellipse(30, 5, 60, 25);
    emf.CreateBrush(2, 0, Colorref(0, 0, 255)).SelectObject(2);
    emf.Polygon16({{5, 95}, {25, 60}, {45, 95}});
    auto [info, bits] = testsupport::MakeDib24Parts(2, 1, {kGreen, kYellow});
    emf.StretchDIBits(60, 60, 30, 30, 2, 1, info, bits);
    emf.CreateFont(3, -16, 400, "Courier New").SelectObject(3).SetBkMode(1);
    emf.ExtTextOutW(5, 35, "Hi there");
    const auto bitmap = Decode(emf.Bytes(), "chart.emf");
    ASSERT_EQ(bitmap->GetWidth(), 100);
    EXPECT_EQ(Pixel(*bitmap, 15, 15), kRed);
    EXPECT_EQ(Pixel(*bitmap, 45, 15), kRed);
    EXPECT_EQ(Pixel(*bitmap, 31, 6), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 25, 90), kBlue);
    EXPECT_EQ(Pixel(*bitmap, 65, 75), kGreen);
    EXPECT_EQ(Pixel(*bitmap, 85, 75), kYellow);
    EXPECT_EQ(Pixel(*bitmap, 95, 75), kWhite);
    // "Hi there" in a 16-pixel face from (5, 35), its cell top-left aligned.
    const InkBox text = InkIn(*bitmap, 0, 100);
    EXPECT_GE(text.top, 35);
    EXPECT_LT(text.bottom, 35 + 20);
    EXPECT_GE(text.left, 5);
    EXPECT_LE(text.left, 9);
    EXPECT_GE(text.right - text.left, 40);
    EXPECT_LT(text.right, 100);
    EXPECT_GE(text.bottom - text.top, 8);
}

TEST(MetafileDrawing, PathsAreFilledAsOneShape) {
    EmfWriter emf(0, 0, 2540, 2540);
    emf.CreateBrush(1, 0, Colorref(0, 255, 0)).SelectObject(1).SelectObject(0x80000008);
    emf.BeginPath().Polyline({{10, 10}, {90, 10}, {90, 90}, {10, 90}}).EndPath().FillPath();
    const auto bitmap = Decode(emf.Bytes(), "x.emf");
    EXPECT_EQ(Pixel(*bitmap, 50, 50), kGreen);
    EXPECT_EQ(Pixel(*bitmap, 5, 5), kWhite);
}

TEST(MetafileDrawing, MapModesAndWorldTransformsMoveTheDrawing) {
    EmfWriter emf(0, 0, 2540, 2540);
    emf.SetMapMode(8).SetWindowExt(1000, 1000).SetViewportExt(100, 100);
    emf.SetWorldTransform(1, 0, 0, 1, 500, 0);
    emf.CreateBrush(1, 0, Colorref(255, 0, 0)).SelectObject(1).SelectObject(0x80000008);
    emf.Rectangle(0, 0, 300, 300);  // lands at (50..80, 0..30)
    const auto bitmap = Decode(emf.Bytes(), "x.emf");
    EXPECT_EQ(Pixel(*bitmap, 65, 15), kRed);
    EXPECT_EQ(Pixel(*bitmap, 15, 15), kWhite);
}

// ---------------------------------------------------------------------------
// Routes and depths

TEST(MetafileRoute, NameWithDotEmfInAnyCaseIsEnhanced) {
    EmfWriter emf(0, 0, 2540, 2540);
    const std::vector<std::uint8_t> bytes = emf.Bytes();
    for (const char* name : {"a.emf", "B.EMF", "c.EmF", "/tmp/d.emf.old", "C:\\pics.Emf\\e.dat"})
        EXPECT_EQ(Decode(bytes, name)->GetWidth(), 100) << name;
    for (const char* name : {"a.wmf", "emf", "Mem", "a.em f"})
        ExpectError([&] { Decode(bytes, name); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
    ExpectError([&] { Decode(Placeable100(Window100()), "a.emf"); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
}

TEST(MetafileRoute, FilesAreDecodedThroughTheirPath) {
    testsupport::TemporaryFolder folder;
    testsupport::WriteFileBytes(folder / "Chart.EMF", EmfWriter(0, 0, 2540, 1270).Bytes());
    testsupport::WriteFileBytes(folder / "clip.wmf", Window100().PlaceableBytes(0, 0, 1440, 720, 1440));
    CMetafileDecoder decoder;
    CDIBBitmap bitmap;
    decoder.DecodeFile((folder / "Chart.EMF").string(), bitmap, 0, nullptr);
    EXPECT_EQ(bitmap.GetWidth(), 100);
    decoder.DecodeFile((folder / "clip.wmf").string(), bitmap, 0, nullptr);
    EXPECT_EQ(bitmap.GetWidth(), 96);
}

TEST(MetafileDepth, WithoutPaletteDepthZeroGivesThirtyTwoBitsWithAlpha) {
    const auto bitmap = Decode(Placeable100(Window100()), "x.wmf", 0);
    EXPECT_EQ(bitmap->GetDepth(), 32);
    EXPECT_TRUE(bitmap->HasAlphaChannel());
}

TEST(MetafileDepth, SmallPaletteGivesEightBitsWithTheMetafilesColors) {
    EmfWriter emf(0, 0, 2540, 2540);
    emf.CreateBrush(1, 0, Colorref(0, 0, 255)).SelectObject(1).Rectangle(10, 10, 50, 50);
    const std::vector<PaletteColor> palette{{255, 0, 0}, {0, 0, 255}, {255, 255, 255}};
    const auto bitmap = Decode(emf.Bytes(palette), "x.emf", 0);
    ASSERT_EQ(bitmap->GetDepth(), 8);
    EXPECT_FALSE(bitmap->HasAlphaChannel());
    const PaletteEntry* entries = bitmap->GetPalette();
    EXPECT_EQ(entries[0], (PaletteEntry{0, 0, 255, 255}));
    EXPECT_EQ(entries[1], (PaletteEntry{255, 0, 0, 255}));
    EXPECT_EQ(entries[2], (PaletteEntry{255, 255, 255, 255}));
    EXPECT_EQ(entries[3], (PaletteEntry{0, 0, 0, 255}));
    EXPECT_EQ(bitmap->GetRows()[30][30], 1);
    EXPECT_EQ(bitmap->GetRows()[80][80], 2);
    // The same metafile wanted at 32 bits keeps its colours and the alpha flag.
    const auto full = Decode(emf.Bytes(palette), "x.emf", 32);
    EXPECT_EQ(full->GetDepth(), 32);
    EXPECT_TRUE(full->HasAlphaChannel());
    EXPECT_EQ(Pixel(*full, 30, 30), kBlue);
}

TEST(MetafileDepth, WindowsMetafilePaletteCountsToo) {
    WmfWriter wmf = Window100();
    wmf.CreatePalette({{0, 0, 0}, {255, 255, 255}}).SelectPalette(0).RealizePalette();
    EXPECT_EQ(Decode(Placeable100(wmf), "x.wmf", 0)->GetDepth(), 8);
}

TEST(MetafileDepth, PaletteOf256EntriesIsNotUsed) {
    const std::vector<PaletteColor> palette(256, PaletteColor{1, 2, 3});
    EXPECT_EQ(Decode(EmfWriter(0, 0, 2540, 2540).Bytes(palette), "x.emf", 0)->GetDepth(), 32);
}

TEST(MetafileDepth, EightBitsWithoutPaletteStillHaveRealColors) {
    WmfWriter wmf = RedFillNoOutline();
    wmf.Rectangle(0, 0, 50, 100);
    const auto bitmap = Decode(Placeable100(wmf), "x.wmf", 8);
    ASSERT_EQ(bitmap->GetDepth(), 8);
    EXPECT_EQ(bitmap->GetPalette()[bitmap->GetRows()[50][25]], (PaletteEntry{0, 0, 255, 255}));
    EXPECT_EQ(bitmap->GetPalette()[bitmap->GetRows()[50][75]], (PaletteEntry{255, 255, 255, 255}));
}

// ---------------------------------------------------------------------------
// Damaged and hostile metafiles

TEST(MetafileDamage, GarbageFailsToLoad) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(4000);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    for (const auto& bytes :
         {noise, std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{0xD7, 0xCD, 0xC6, 0x9A}}) {
        ExpectError([&] { Decode(bytes, "x.wmf"); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
        ExpectError([&] { Decode(bytes, "x.emf"); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
    }
    // A placeable header with nothing behind it.
    std::vector<std::uint8_t> header = Window100().PlaceableBytes(0, 0, 10, 10, 96);
    header.resize(22);
    ExpectError([&] { Decode(header); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
}

TEST(MetafileDamage, BrokenWindowsRecordChainsFailToLoad) {
    const std::vector<WmfWriter> broken = {
        WmfWriter(Window100()).RawRecord(1000, 0x041B, {1, 2, 3, 4}),  // size beyond the data
        WmfWriter(Window100()).RawRecord(0, 0x041B, {1, 2, 3, 4}),     // zero size
        WmfWriter(Window100()).RawRecord(2, 0x041B, {}),               // smaller than a record header
        WmfWriter(Window100()).RawRecord(4, 0x041B, {1}),              // rectangle without its corners
        WmfWriter(Window100()).RawRecord(0xFFFFFFFF, 0x0000, {}),      // absurd size
    };
    for (const WmfWriter& wmf : broken) {
        ExpectError([&] { Decode(Placeable100(wmf)); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
        ExpectError([&] { Decode(wmf.BytesWithoutEnd()); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
    }
}

TEST(MetafileDamage, BrokenEnhancedRecordChainsFailToLoad) {
    const std::vector<std::vector<std::uint8_t>> broken = {
        EmfWriter(0, 0, 100, 100).RawRecord(43, 0, {}).Bytes(),            // zero size
        EmfWriter(0, 0, 100, 100).RawRecord(43, 6, {0, 0, 0, 0}).Bytes(),  // not a multiple of four
        EmfWriter(0, 0, 100, 100).RawRecord(43, 0x7FFFFFF0, {}).Bytes(),   // beyond the data
        EmfWriter(0, 0, 100, 100).Record(43, {1, 0, 0, 0}).Bytes(),        // rectangle without corners
        EmfWriter(0, 0, 100, 100).Record(1, std::vector<std::uint8_t>(80)).Bytes(),  // a second header
        EmfWriter(0, 0, 100, 100, 100, 100, 0, 10).Bytes(),                          // no device size
    };
    for (const auto& bytes : broken)
        ExpectError([&] { Decode(bytes, "x.emf"); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
    std::vector<std::uint8_t> cut = EmfWriter(0, 0, 100, 100).Rectangle(0, 0, 5, 5).Bytes();
    cut.resize(cut.size() - 20);  // no end record
    ExpectError([&] { Decode(cut, "x.emf"); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
}

TEST(MetafileDamage, CountsBeyondTheirRecordDrawNothing) {
    WmfWriter wmf = RedFillNoOutline();
    wmf.Record(0x0324, {30000, 10, 10, 90, 10, 90, 90});  // polygon claiming 30000 points
    wmf.Record(0x0538, {60000, 3, 10, 10});               // polypolygon counts past the end
    wmf.Record(0x0521, {30000, 0x4141});                  // text longer than its record
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 50, 50), kWhite);

    EmfWriter emf(0, 0, 2540, 2540);
    emf.Record(4, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F});  // polyline
    emf.Record(81, std::vector<std::uint8_t>(72, 0xFF));  // bitmap offsets
    emf.Record(84, std::vector<std::uint8_t>(68, 0x7F));  // text offsets
    EXPECT_EQ(Pixel(*Decode(emf.Bytes(), "x.emf"), 50, 50), kWhite);
}

TEST(MetafileDamage, UnknownObjectsAndRecordsAreIgnored) {
    WmfWriter wmf = RedFillNoOutline();
    wmf.SelectObject(40000).DeleteObject(12345).SelectObject(-1).Record(0x7777, {1, 2, 3}).RestoreDC(-50);
    wmf.Rectangle(10, 10, 50, 50);
    EXPECT_EQ(Pixel(*Decode(Placeable100(wmf)), 30, 30), kRed);

    EmfWriter emf(0, 0, 2540, 2540);
    emf.CreateBrush(1, 0, Colorref(255, 0, 0)).SelectObject(1).SelectObject(0x80000008);
    emf.SelectObject(0x8000FFFF)
        .SelectObject(70000)
        .DeleteObject(0)
        .CreateBrush(0, 0, 0)
        .CreateBrush(-1, 0, 0);
    emf.Record(999, {1, 2, 3, 4}).Rectangle(10, 10, 50, 50);
    EXPECT_EQ(Pixel(*Decode(emf.Bytes(), "x.emf"), 30, 30), kRed);
}

TEST(MetafileDamage, BitmapsTooWideToDrawAreSkippedAndDrawingGoesOn) {
    WmfWriter wmf = RedFillNoOutline();
    wmf.StretchDib(0, 0, 100, 100, 40000, 1,
                   testsupport::MakeDib24(40000, 1, std::vector<std::uint32_t>(40000, kBlue)));
    wmf.Rectangle(10, 10, 50, 50);
    const auto bitmap = Decode(Placeable100(wmf));
    EXPECT_EQ(Pixel(*bitmap, 30, 30), kRed);
    EXPECT_EQ(Pixel(*bitmap, 80, 80), kWhite);
}

TEST(MetafileDamage, AbsurdGeometryIsSurvived) {
    EmfWriter emf(0, 0, 2540, 2540);
    emf.CreateBrush(1, 0, Colorref(255, 0, 0)).SelectObject(1).CreatePen(2, 0, 0x7FFFFFFF, 0).SelectObject(2);
    emf.Rectangle(-2147483647, -2147483647, 2147483647, 2147483647);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float huge = std::numeric_limits<float>::max();
    emf.SetWorldTransform(nan, 0, 0, nan, nan, nan).SetWorldTransform(0, 0, 0, 0, 0, 0);
    emf.SetWorldTransform(huge, 0, 0, huge, 0, 0).Ellipse(-5, -5, 5, 5);
    emf.SetWorldTransform(1e-30f, 0, 0, 1e-30f, 0, 0).Ellipse(0, 0, 100, 100);
    emf.SetMapMode(8).SetWindowExt(1, 1).SetViewportExt(2147483647, 2147483647).Rectangle(0, 0, 1, 1);
    emf.CreateFont(3, -2147483647, 400, "Arial").SelectObject(3).ExtTextOutW(0, 0, "big");
    const auto bitmap = Decode(emf.Bytes(), "x.emf");
    EXPECT_EQ(bitmap->GetWidth(), 100);
}

// ---------------------------------------------------------------------------
// Work in proportion to the file

namespace {

using testsupport::ByteWriter;

// A region block of an enhanced record: header, then the rectangles.
std::vector<std::uint8_t> RegionData(const std::vector<std::array<int, 4>>& rects) {
    ByteWriter data;
    data.le32(32).le32(1).le32(static_cast<std::uint32_t>(rects.size()));
    data.le32(static_cast<std::uint32_t>(16 * rects.size())).le32(0).le32(0).le32(0).le32(0);
    for (const auto& r : rects)
        for (int v : r) data.le32(static_cast<std::uint32_t>(v));
    return data.data();
}

EmfWriter EmfOfSide(int side) {
    return EmfWriter(0, 0, side * 254 / 10, side * 254 / 10);
}

std::vector<std::uint8_t> SetPixelBody(int x, int y) {
    return ByteWriter()
        .le32(static_cast<std::uint32_t>(x))
        .le32(static_cast<std::uint32_t>(y))
        .le32(0)
        .data();
}

// n one-pixel rows as the clip, crossed with n one-pixel columns.
std::vector<std::uint8_t> CrossedStripes(int n) {
    std::vector<std::array<int, 4>> rows, columns;
    for (int i = 0; i < n; ++i) {
        rows.push_back({0, 2 * i, 2 * n, 2 * i + 1});
        columns.push_back({2 * i, 0, 2 * i + 1, 2 * n});
    }
    EmfWriter emf = EmfOfSide(2 * n);
    for (const auto& [rects, mode] : {std::pair{rows, 5}, std::pair{columns, 1}}) {
        const std::vector<std::uint8_t> data = RegionData(rects);
        emf.Record(75,
                   ByteWriter().le32(static_cast<std::uint32_t>(data.size())).le32(mode).bytes(data).data());
    }
    return emf.Record(15, SetPixelBody(1, 1)).Bytes();
}

// A region object of n 1x1 rectangles, 200 to a scan.
WmfWriter& AddRegion(WmfWriter& wmf, int n) {
    std::vector<std::uint16_t> words = {0, 6, 0, 0, 0, 0, 400, 0, 0, 400, 400};
    int scans = 0;
    for (int first = 0; first < n; first += 200, ++scans) {
        const int pairs = std::min(200, n - first);
        const auto y = static_cast<std::uint16_t>(2 * scans);
        words.insert(words.end(),
                     {static_cast<std::uint16_t>(2 * pairs), y, static_cast<std::uint16_t>(y + 1)});
        for (int i = 0; i < pairs; ++i)
            words.insert(words.end(),
                         {static_cast<std::uint16_t>(2 * i), static_cast<std::uint16_t>(2 * i + 1)});
        words.push_back(static_cast<std::uint16_t>(2 * pairs));
    }
    words[5] = static_cast<std::uint16_t>(scans);
    return wmf.Record(0x06FF, words);
}

// A region of n rectangles painted, or selected as the clip, by n records.
std::vector<std::uint8_t> RegionRepeated(int n, bool paint) {
    WmfWriter wmf;
    wmf.SetWindowOrg(0, 0).SetWindowExt(400, 400);
    if (paint) wmf.CreateBrush(0, Colorref(255, 0, 0)).SelectObject(0);
    AddRegion(wmf, n);
    for (int i = 0; i < n; ++i)
        wmf.Record(paint ? 0x012B : 0x012C, {static_cast<std::uint16_t>(paint ? 1 : 0)});
    return wmf.PlaceableBytes(0, 0, 400, 400, 96);
}

// One text record of n strings, all one n-character string far off the canvas.
std::vector<std::uint8_t> FarText(int n) {
    ByteWriter body;
    body.le32(0).le32(0).le32(0).le32(0).le32(1).le32(0x3F800000).le32(0x3F800000);
    body.le32(static_cast<std::uint32_t>(n));
    const auto textAt = static_cast<std::uint32_t>(8 + 16 + 16 + 40 * n);
    for (int i = 0; i < n; ++i) {
        body.le32(2000000000).le32(2000000000).le32(static_cast<std::uint32_t>(n)).le32(textAt);
        body.fill(24, 0);
    }
    for (int i = 0; i < n; ++i) body.le16('a' + i % 26);
    return EmfOfSide(200).Record(97, body.data()).Bytes();
}

// A zig-zag clip path of 4n corners, then n pixels.
std::vector<std::uint8_t> ZigZagClip(int n) {
    ByteWriter polygon;
    polygon.le32(0).le32(0).le32(200).le32(200).le32(static_cast<std::uint32_t>(4 * n));
    for (int i = 0; i < 4 * n; ++i)
        polygon.le16(static_cast<std::uint32_t>(i * 200 / (4 * n))).le16(i % 2 ? 0 : 200);
    EmfWriter emf = EmfOfSide(200);
    emf.BeginPath().Record(86, polygon.data()).EndPath().Record(67, {5, 0, 0, 0});
    for (int i = 0; i < n; ++i) emf.Record(15, SetPixelBody(i % 200, i / 200));
    return emf.Bytes();
}

// A thin dotted pen and n lines swinging far past both sides of the canvas.
std::vector<std::uint8_t> DottedSwings(int n) {
    EmfWriter emf = EmfOfSide(200);
    emf.CreatePen(1, 2, 0, 0).SelectObject(1);
    emf.Record(27, ByteWriter().le32(static_cast<std::uint32_t>(-599990)).le32(100).data());
    for (int i = 0; i < n; ++i)
        emf.Record(54,
                   ByteWriter().le32(static_cast<std::uint32_t>(i % 2 ? 599990 : -599990)).le32(100).data());
    return emf.Bytes();
}

// One gradient fill of n triangles, each over half the canvas.
std::vector<std::uint8_t> HalfCanvasTriangles(int n) {
    ByteWriter body;
    body.le32(0).le32(0).le32(200).le32(200).le32(3).le32(static_cast<std::uint32_t>(n)).le32(2);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{200, 0}, std::pair{0, 200}})
        body.le32(static_cast<std::uint32_t>(x))
            .le32(static_cast<std::uint32_t>(y))
            .le16(0xFF00)
            .le16(x)
            .le16(y)
            .le16(0);
    for (int i = 0; i < n; ++i) body.le32(0).le32(1).le32(2);
    return EmfOfSide(200).Record(118, body.data()).Bytes();
}

// One polygon fill of n triangles whose edges cross one another.
std::vector<std::uint8_t> CrossingTriangles(int n, bool asClip = false) {
    ByteWriter body;
    body.le32(0).le32(0).le32(200).le32(200).le32(static_cast<std::uint32_t>(n));
    body.le32(static_cast<std::uint32_t>(3 * n));
    for (int i = 0; i < n; ++i) body.le32(3);
    for (int i = 0; i < n; ++i)
        body.le16(static_cast<std::uint32_t>(i * 61 % 200))
            .le16(0)
            .le16(static_cast<std::uint32_t>((i * 113 + 50) % 200))
            .le16(200)
            .le16(i % 2 ? 0 : 200)
            .le16(static_cast<std::uint32_t>(i * 29 % 200));
    if (!asClip) return EmfOfSide(200).Record(91, body.data()).Bytes();
    // The same as the clip path, then three rectangles inside it.
    EmfWriter emf = EmfOfSide(200);
    emf.BeginPath().Record(91, body.data()).EndPath().Record(67, {5, 0, 0, 0});
    for (int i = 0; i < 3; ++i) emf.Rectangle(0, 0, 200, 200);
    return emf.Bytes();
}

// One polyline of n lines crossing one another.
std::vector<std::uint8_t> CrossingLines(int n) {
    ByteWriter body;
    body.le32(0).le32(0).le32(200).le32(200).le32(static_cast<std::uint32_t>(n + 1));
    for (int i = 0; i <= n; ++i)
        body.le16(static_cast<std::uint32_t>(i % 2 ? i * 61 % 200 : (i * 113 + 50) % 200))
            .le16(i % 2 ? 0 : 200);
    return EmfOfSide(200).Record(87, body.data()).Bytes();
}

}  // namespace

TEST(MetafileDamage, RegionFramesAtTheEndsOfTheCoordinateRangeAreSurvived) {
    // Framing moves each edge inwards by the frame's width: edges at the
    // ends of the 32-bit range must not wrap round.
    const std::vector<std::uint8_t> region =
        RegionData({{-2147483647 - 1, 2147483646, 2147483647, 2147483647}, {0, 0, 10, 10}});
    ByteWriter body;
    body.le32(0).le32(0).le32(100).le32(100).le32(static_cast<std::uint32_t>(region.size()));
    body.le32(0x80000004).le32(5).le32(5).bytes(region);  // the stock black brush
    const auto bitmap = Decode(EmfOfSide(100).Record(72, body.data()).Bytes(), "x.emf");
    EXPECT_EQ(bitmap->GetWidth(), 100);
}

TEST(MetafileWork, CrossingBoundHoldsEveryCrossingAndNoneOfParallelEdges) {
    struct Case {
        const char* name;
        std::vector<metafile::Point> corners;  // one closed figure
        std::uint64_t crossings;               // the true count
        std::uint64_t slack;                   // corners meeting on band edges, lines longer than their edges
    };
    std::vector<metafile::Point> zigzag;
    for (int i = 0; i < 40; ++i) zigzag.push_back({i * 5.0, i % 2 ? 0.0 : 100.0});
    zigzag.insert(zigzag.end(), {{200, 0}, {200, 120}, {0, 120}});  // closed round the side
    const std::vector<Case> cases = {
        {"bow tie", {{0, 0}, {100, 100}, {100, 0}, {0, 100}}, 1, 2},
        {"pentagram", {{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}}, 5, 10},
        {"zig-zag", zigzag, 0, 43},
        {"square", {{10, 10}, {90, 10}, {90, 90}, {10, 90}}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        metafile::CPath path;
        path.MoveTo(c.corners[0]);
        for (std::size_t i = 1; i < c.corners.size(); ++i) path.LineTo(c.corners[i]);
        const std::uint64_t bound = metafile::CrossingBound(path, 0, 100);
        EXPECT_GE(bound, c.crossings);
        EXPECT_LE(bound, c.crossings + c.slack);
        // Crossings above or below the rows are not counted.
        EXPECT_EQ(metafile::CrossingBound(path, 200, 300), 0u);
    }
}

TEST(MetafileWork, RepeatedWorkStaysWithinABudgetGrowingWithTheFile) {
    // Each recipe at a small size and ten times that; `linear` where the
    // player avoids the repetition, so its work per byte stays put.
    struct Recipe {
        const char* name;
        std::vector<std::uint8_t> (*make)(int n);
        int small;
        bool linear;
    };
    const std::vector<Recipe> recipes = {
        {"crossed clip stripes.emf", CrossedStripes, 32, true},
        {"region painted again and again.wmf", [](int n) { return RegionRepeated(n, true); }, 30, false},
        {"region selected again and again.wmf", [](int n) { return RegionRepeated(n, false); }, 200, true},
        {"text far off the canvas.emf", FarText, 80, false},
        {"zig-zag clip path.emf", ZigZagClip, 100, false},
        {"dotted lines far past the canvas.emf", DottedSwings, 150, false},
        {"triangle gradients.emf", HalfCanvasTriangles, 2, false},
        {"polygon of crossing edges.emf", [](int n) { return CrossingTriangles(n); }, 300, false},
        {"clip path of crossing edges.emf", [](int n) { return CrossingTriangles(n, true); }, 30, false},
        {"lines crossing one another.emf", CrossingLines, 900, false},
    };
    // No floor: the budget is the file's and its canvas's alone.
    DecodeLimits limits;
    limits.workUnitsFloor = 0;
    for (const Recipe& recipe : recipes) {
        SCOPED_TRACE(recipe.name);
        double perByte[2] = {0, 0};
        for (int scale : {1, 10}) {
            const std::vector<std::uint8_t> bytes = recipe.make(recipe.small * scale);
            CMetafileDecoder decoder;
            decoder.SetLimits(limits);
            CNamedMemorySource source(bytes, recipe.name);
            CDIBBitmap bitmap;
            try {
                decoder.DecodeSource(source, bitmap, 32);
            } catch (const CTextException& error) {
                EXPECT_TRUE(scale == 10 && !recipe.linear) << "refused at " << scale;
                EXPECT_EQ(std::string(error.GetMessage()),
                          "Decoder error: The metafile asks for more drawing work than its size allows.\n");
                continue;
            }
            const std::uint64_t pixels = std::uint64_t(bitmap.GetWidth()) * std::uint64_t(bitmap.GetHeight());
            EXPECT_GT(decoder.GetWorkSpent(), 0u);
            EXPECT_LE(decoder.GetWorkSpent(), WorkBudget::ForFile(bytes.size(), pixels, limits).Allowance());
            perByte[scale == 1 ? 0 : 1] = static_cast<double>(decoder.GetWorkSpent()) / bytes.size();
        }
        if (recipe.linear) {
            EXPECT_LE(perByte[1], 2 * perByte[0]);
        }
    }
}

TEST(MetafileWork, TriangleGradientReachingFarPastTheCanvasIsShadedWithinIt) {
    // Red along the bottom 600,000 pixels below, blue at the tip as far
    // above: half of each across the canvas.
    ByteWriter body;
    body.le32(0).le32(0).le32(200).le32(200).le32(3).le32(1).le32(2);
    for (const auto& [x, y, red] :
         {std::tuple{-300, 600000, 0xFF00}, {500, 600000, 0xFF00}, {100, -600000, 0}})
        body.le32(static_cast<std::uint32_t>(x))
            .le32(static_cast<std::uint32_t>(y))
            .le16(static_cast<std::uint32_t>(red))
            .le16(0)
            .le16(static_cast<std::uint32_t>(0xFF00 - red))
            .le16(0);
    body.le32(0).le32(1).le32(2);
    const auto bitmap = Decode(EmfOfSide(200).Record(118, body.data()).Bytes(), "x.emf");
    for (const auto& [x, y] : {std::pair{20, 20}, {180, 180}}) {
        const std::uint32_t pixel = Pixel(*bitmap, x, y);
        EXPECT_NEAR(static_cast<int>(pixel >> 16), 128, 3) << x << "," << y;
        EXPECT_EQ((pixel >> 8) & 0xFF, 0u);
        EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 127, 3) << x << "," << y;
    }
}

// ---------------------------------------------------------------------------
// The calling sequence, with a fake platform

namespace {

struct FakeSettings {
    bool screen = true;
    bool load = true;
    std::size_t headerSize = 88;
    bool context = true;
    bool bitmap = true;
    int pixelsPerInch = 96;
    EnhancedMetafileHeader header;
    std::vector<MetafilePaletteEntry> palette;
    // What the decoder did.
    std::vector<std::uint8_t> loaded;
    bool loadedEnhanced = false;
    int bitmapWidth = 0, bitmapHeight = 0;
    std::size_t selectedPaletteSize = 0;
    bool filledWhite = false;
    bool played = false;
    bool rgbColors = false;
};

class CFakeMetafile : public CEnhancedMetafile {
public:
    explicit CFakeMetafile(FakeSettings& settings) : m_settings(settings) {}
    std::size_t GetHeaderSize() const override { return m_settings.headerSize; }
    EnhancedMetafileHeader GetHeader() const override { return m_settings.header; }
    std::vector<MetafilePaletteEntry> GetPaletteEntries() const override { return m_settings.palette; }

private:
    FakeSettings& m_settings;
};

class CFakeContext : public CMetafileMemoryContext {
public:
    explicit CFakeContext(FakeSettings& settings) : m_settings(settings) {}
    bool CreateCompatibleBitmap(int width, int height) override {
        m_settings.bitmapWidth = width;
        m_settings.bitmapHeight = height;
        return m_settings.bitmap;
    }
    bool SelectPalette(const std::vector<MetafilePaletteEntry>& entries) override {
        m_settings.selectedPaletteSize = entries.size();
        return true;
    }
    void FillWhite() override { m_settings.filledWhite = true; }
    bool PlayEnhMetaFile(const CEnhancedMetafile&, const MetafileRect&) override {
        m_settings.played = m_settings.filledWhite;
        return true;
    }
    bool GetDIBits(CImageBitmap&, bool rgbColors) override {
        m_settings.rgbColors = rgbColors;
        return true;
    }

private:
    FakeSettings& m_settings;
};

class CFakeScreen : public CMetafileScreen {
public:
    explicit CFakeScreen(FakeSettings& settings) : m_settings(settings) {}
    int GetPixelsPerInchX() const override { return m_settings.pixelsPerInch; }
    int GetPixelsPerInchY() const override { return m_settings.pixelsPerInch; }
    std::unique_ptr<CEnhancedMetafile> SetEnhMetaFileBits(const std::uint8_t* data,
                                                          std::size_t size) override {
        m_settings.loadedEnhanced = true;
        return Load(data, size);
    }
    std::unique_ptr<CEnhancedMetafile> SetWinMetaFileBits(const std::uint8_t* data,
                                                          std::size_t size) override {
        return Load(data, size);
    }
    std::unique_ptr<CMetafileMemoryContext> CreateCompatibleContext() override {
        return m_settings.context ? std::make_unique<CFakeContext>(m_settings) : nullptr;
    }

private:
    std::unique_ptr<CEnhancedMetafile> Load(const std::uint8_t* data, std::size_t size) {
        m_settings.loaded.assign(data, data + size);
        return m_settings.load ? std::make_unique<CFakeMetafile>(m_settings) : nullptr;
    }
    FakeSettings& m_settings;
};

class CFakePlatform : public CMetafilePlatform {
public:
    explicit CFakePlatform(FakeSettings& settings) : m_settings(settings) {}
    std::unique_ptr<CMetafileScreen> GetScreen(const DecodeLimits&) override {
        return m_settings.screen ? std::make_unique<CFakeScreen>(m_settings) : nullptr;
    }

private:
    FakeSettings& m_settings;
};

std::unique_ptr<CDIBBitmap> DecodeWith(FakeSettings& settings, const std::vector<std::uint8_t>& bytes,
                                       const std::string& name = "x.emf", int depth = 0) {
    return Decode(bytes, name, depth, CMetafileDecoder(std::make_shared<CFakePlatform>(settings)));
}

}  // namespace

TEST(MetafilePlatform, EveryPlatformFailureHasItsMessage) {
    const std::vector<std::uint8_t> bytes{1, 2, 3, 4};
    FakeSettings noScreen;
    noScreen.screen = false;
    ExpectError([&] { DecodeWith(noScreen, bytes); }, ERR_NO_MEMORY,
                "Decoder error: Cannot allocate device context.\n");
    FakeSettings noLoad;
    noLoad.load = false;
    ExpectError([&] { DecodeWith(noLoad, bytes); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
    FakeSettings noHeader;
    noHeader.headerSize = 0;
    ExpectError([&] { DecodeWith(noHeader, bytes); }, ERR_FORMAT_UNKNOWN,
                "Decoder error: No header information in metafile\n");
    FakeSettings noContext;
    noContext.context = false;
    ExpectError([&] { DecodeWith(noContext, bytes); }, ERR_NO_MEMORY,
                "Decoder error: Cannot allocate device context.\n");
    FakeSettings noBitmap;
    noBitmap.bitmap = false;
    ExpectError([&] { DecodeWith(noBitmap, bytes); }, ERR_NO_MEMORY,
                "Decoder error: Cannot allocate memory bitmap.\n");
}

TEST(MetafilePlatform, EnhancedSizeUsesFrameAndReferenceDevice) {
    FakeSettings settings;
    settings.header.frame = {-500, 0, 9500, 5000};
    settings.header.devicePixels = {1000, 500};
    settings.header.deviceMillimetres = {100, 50};
    const auto bitmap = DecodeWith(settings, {0});
    EXPECT_TRUE(settings.loadedEnhanced);
    EXPECT_EQ(bitmap->GetWidth(), 1000);
    EXPECT_EQ(bitmap->GetHeight(), 500);
    EXPECT_TRUE(settings.played);
    EXPECT_FALSE(settings.rgbColors);
    settings.header.frame = {0, 0, -10, 10};
    EXPECT_EQ(DecodeWith(settings, {0})->GetWidth(), 320);
}

TEST(MetafilePlatform, PlaceableHeaderIsStrippedAndSizedAtScreenResolution) {
    FakeSettings settings;
    settings.pixelsPerInch = 120;
    const std::vector<std::uint8_t> bytes = WmfWriter().PlaceableBytes(0, 0, 1440, 720, 1440);
    const auto bitmap = DecodeWith(settings, bytes, "x.wmf");
    EXPECT_FALSE(settings.loadedEnhanced);
    EXPECT_EQ(settings.loaded, std::vector<std::uint8_t>(bytes.begin() + 22, bytes.end()));
    EXPECT_EQ(bitmap->GetWidth(), 120);
    EXPECT_EQ(bitmap->GetHeight(), 60);
    DecodeWith(settings, WmfWriter().Bytes(), "x.wmf");
    EXPECT_EQ(settings.loaded, WmfWriter().Bytes());
}

TEST(MetafilePlatform, PaletteRouteNeedsOneTo255Entries) {
    FakeSettings settings;
    settings.palette.assign(255, MetafilePaletteEntry{10, 20, 30, 0});
    auto bitmap = DecodeWith(settings, {0});
    EXPECT_EQ(bitmap->GetDepth(), 8);
    EXPECT_EQ(settings.selectedPaletteSize, 256u);
    EXPECT_TRUE(settings.rgbColors);
    EXPECT_EQ(bitmap->GetPalette()[254], (PaletteEntry{30, 20, 10, 255}));
    EXPECT_EQ(bitmap->GetPalette()[255], (PaletteEntry{0, 0, 0, 255}));
    settings.palette.assign(256, MetafilePaletteEntry{10, 20, 30, 0});
    settings.selectedPaletteSize = 0;
    EXPECT_EQ(DecodeWith(settings, {0})->GetDepth(), 32);
    EXPECT_EQ(settings.selectedPaletteSize, 0u);
}

// ---------------------------------------------------------------------------
// Public sample files

namespace {

std::vector<std::filesystem::path> CorpusFiles(const std::string& folder, const std::string& extension) {
    std::vector<std::filesystem::path> files;
    const auto root = testsupport::CorpusFolder(folder);
    if (root.empty()) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.path().extension() == extension) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::unique_ptr<CDIBBitmap> DecodePath(const std::filesystem::path& path) {
    auto bitmap = std::make_unique<CDIBBitmap>();
    CMetafileDecoder decoder;
    decoder.DecodeFile(path.string(), *bitmap, 32, nullptr);
    return bitmap;
}

}  // namespace

TEST(MetafileCorpus, WindowsSamplesDecodeAtTheirPlaceableSize) {
    const auto files = CorpusFiles("wmf", ".wmf");
    if (files.empty()) GTEST_SKIP() << "no corpus";
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        EXPECT_NO_THROW(DecodePath(path));
    }
    const auto root = testsupport::CorpusFolder("wmf");
    const auto fulltest = DecodePath(root / "wmf2svg/fulltest.wmf");
    EXPECT_EQ(fulltest->GetWidth(), 1056);  // 27940 units at 2540 per inch
    EXPECT_EQ(fulltest->GetHeight(), 816);
    EXPECT_EQ(Pixel(*fulltest, 500, 700), kWhite);              // below the panels
    const std::uint32_t lightBlue = Pixel(*fulltest, 70, 115);  // the rectangle of panel 1
    EXPECT_GT(lightBlue & 0xFF, 0xE0u);
    EXPECT_LT(lightBlue >> 16, 0xD0u);
    EXPECT_TRUE(IsDark(Pixel(*fulltest, 15, 100)));  // panel 1's frame
    const auto tractor = DecodePath(root / "twelvemonkeys/test.wmf");
    EXPECT_EQ(tractor->GetWidth(), 133);
    EXPECT_EQ(tractor->GetHeight(), 106);
}

TEST(MetafileCorpus, EnhancedSamplesDecode) {
    const auto root = testsupport::CorpusFolder("emf");
    if (root.empty()) GTEST_SKIP() << "no corpus";
    for (const char* name :
         {"libemf2svg/good/test-007.emf", "libemf2svg/good/test-023.emf", "libemf2svg/good/test-065.emf",
          "libemf2svg/good/test-152.emf", "libemf2svg/good/test-166.emf", "libemf2svg/good/test-177.emf",
          "libemf2svg/good/test-186.emf", "wmf2svg/fulltest.emf"}) {
        SCOPED_TRACE(name);
        EXPECT_NO_THROW(DecodePath(root / name));
    }
    const auto fulltest = DecodePath(root / "wmf2svg/fulltest.emf");
    EXPECT_EQ(fulltest->GetWidth(), 1059);
    EXPECT_EQ(fulltest->GetHeight(), 792);
    EXPECT_EQ(Pixel(*fulltest, 530, 780), kWhite);
    EXPECT_EQ(Pixel(*fulltest, 300, 430), kRed);  // panel 10's red swatch
    const auto circle = DecodePath(root / "libemf2svg/good/test-177.emf");
    EXPECT_EQ(circle->GetWidth(), 657);
    EXPECT_EQ(Pixel(*circle, 320, 200), kWhite);
}

// Pictures made for a 1200 dpi printer render at the canvas limit; each gets
// its own test so none runs long.
class MetafileLargeSample : public testing::TestWithParam<const char*> {};

TEST_P(MetafileLargeSample, DecodesAtTheCanvasLimit) {
    const auto root = testsupport::CorpusFolder("emf");
    if (root.empty()) GTEST_SKIP() << "no corpus";
    const auto bitmap = DecodePath(root / GetParam());
    EXPECT_EQ(std::max(bitmap->GetWidth(), bitmap->GetHeight()), 8192);
}

INSTANTIATE_TEST_SUITE_P(Emf, MetafileLargeSample,
                         testing::Values("libuemf/test_libuemf_ref.emf", "libuemf/test_mm_twips_ref.emf",
                                         "libemf2svg/good/test-041.emf"));

TEST(MetafileCorpus, CorruptSamplesEndInACleanError) {
    const auto files = CorpusFiles("emf/libemf2svg/corrupted", ".emf");
    if (files.empty()) GTEST_SKIP() << "no corpus";
    EXPECT_EQ(files.size(), 9u);
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        ExpectError([&] { DecodePath(path); }, ERR_FORMAT_NOT_COMPILED, kLoadFailure);
    }
}
