#include "engine/pixel_packer.h"

#include "imagelib/image_bitmap.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

using Rgb = std::array<int, 3>;

// A 32-bit picture whose pixel (x, y) is colour(x, y); alpha is set to 0 to
// show that the packer never looks at it.
void MakePicture(CDIBBitmap& picture, int width, int height, const std::function<Rgb(int, int)>& color) {
    picture.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb rgb = color(x, y);
            std::uint8_t* pixel = picture.GetRows()[y] + x * 4;
            pixel[0] = static_cast<std::uint8_t>(rgb[2]);
            pixel[1] = static_cast<std::uint8_t>(rgb[1]);
            pixel[2] = static_cast<std::uint8_t>(rgb[0]);
            pixel[3] = 0;
        }
    }
}

void FillGrey(CDIBBitmap& picture, int width, int height, int level) {
    MakePicture(picture, width, height, [level](int, int) { return Rgb{level, level, level}; });
}

Rgb PixelAt(CDIBBitmap& picture, int x, int y) {
    const std::uint8_t* pixel = picture.GetRows()[y] + x * 4;
    return {pixel[2], pixel[1], pixel[0]};
}

std::vector<std::uint8_t> Pack(CDIBBitmap& picture, int depth, int dither) {
    const PalmPalette palette(depth);
    std::vector<std::uint8_t> packed(
        (static_cast<std::size_t>(picture.GetWidth()) * picture.GetHeight() * depth + 7) / 8, 0xAA);
    packPixels(picture, dither, palette, depth, packed);
    return packed;
}

}  // namespace

TEST(PackPixels, OneBitRowsOf160PixelsFillTwentyBytesMostSignificantBitFirst) {
    CDIBBitmap picture;
    // Row 0: only the first pixel black; row 1: all black.
    MakePicture(picture, 160, 2, [](int x, int y) {
        return (y == 1 || x == 0) ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    });
    const auto packed = Pack(picture, 1, 0);
    ASSERT_EQ(packed.size(), 40u);
    EXPECT_EQ(packed[0], 0x80);
    for (int i = 1; i < 20; ++i) EXPECT_EQ(packed[i], 0x00) << i;
    for (int i = 20; i < 40; ++i) EXPECT_EQ(packed[i], 0xFF) << i;
}

TEST(PackPixels, TwoAndFourBitIndexesFillFromTheHighBits) {
    CDIBBitmap picture;
    const int twoBit[] = {255, 170, 85, 0};
    MakePicture(picture, 4, 1, [&](int x, int) { return Rgb{twoBit[x], twoBit[x], twoBit[x]}; });
    EXPECT_EQ(Pack(picture, 2, 0), (std::vector<std::uint8_t>{0x1B}));

    MakePicture(picture, 8, 1, [](int x, int) { return Rgb{255 - 17 * x, 255 - 17 * x, 255 - 17 * x}; });
    EXPECT_EQ(Pack(picture, 4, 0), (std::vector<std::uint8_t>{0x01, 0x23, 0x45, 0x67}));
}

TEST(PackPixels, RowsThatEndInsideAByteContinueIntoTheNextRow) {
    CDIBBitmap picture;
    MakePicture(picture, 4, 2, [](int x, int y) {
        const bool black = (y == 0 && x == 0) || (y == 1 && x == 3);
        return black ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    });
    EXPECT_EQ(Pack(picture, 1, 0), (std::vector<std::uint8_t>{0x81}));
}

TEST(PackPixels, EightBitStoresOneIndexPerByteAndRawModeLeavesThePictureAlone) {
    CDIBBitmap picture;
    MakePicture(picture, 3, 1, [](int x, int) {
        const Rgb colors[] = {Rgb{0, 0, 0}, Rgb{204, 204, 204}, Rgb{136, 0, 136}};
        return colors[x];
    });
    EXPECT_EQ(Pack(picture, 8, 0), (std::vector<std::uint8_t>{230, 25, 227}));
    EXPECT_EQ(PixelAt(picture, 1, 0), (Rgb{204, 204, 204}));
    EXPECT_EQ(picture.GetRows()[0][3], 0);  // alpha untouched
}

TEST(PackPixels, DitheringCarriesTheErrorAlongARow) {
    // Grey 128 at one bit: 128 -> white (error -127, d = -7, right gets -64);
    // 64 -> black (error 64, right gets 28); 156 -> white (error -99, right
    // gets -45); 83 -> black.
    CDIBBitmap picture;
    FillGrey(picture, 4, 1, 128);
    EXPECT_EQ(Pack(picture, 1, kDitherFloydSteinberg), (std::vector<std::uint8_t>{0x50}));
    EXPECT_EQ(PixelAt(picture, 1, 0), (Rgb{64, 64, 64}));
    EXPECT_EQ(PixelAt(picture, 3, 0), (Rgb{83, 83, 83}));

    FillGrey(picture, 4, 1, 128);
    EXPECT_EQ(Pack(picture, 1, 3), (std::vector<std::uint8_t>{0x00})) << "only setting 4 dithers";
}

TEST(PackPixels, RefusesPicturesItCannotPackSafely) {
    CDIBBitmap picture;
    FillGrey(picture, 8, 2, 0);
    const PalmPalette palette(1);
    std::vector<std::uint8_t> tooSmall(1);
    EXPECT_THROW(packPixels(picture, 0, palette, 1, tooSmall), std::invalid_argument);
    std::vector<std::uint8_t> enough(2);
    EXPECT_THROW(packPixels(picture, 0, palette, 8, enough), std::invalid_argument);
    picture.Create(8, 2, 8, false);
    EXPECT_THROW(packPixels(picture, 0, palette, 1, enough), std::invalid_argument);
}

TEST(DiffuseError, SplitsThreeFiveOneAndTheRestToTheRight) {
    CDIBBitmap picture;
    FillGrey(picture, 3, 3, 100);
    diffuseError(picture, 1, 0, 32, 48, -33);                // d = 2, 3, -2 (truncated toward zero)
    EXPECT_EQ(PixelAt(picture, 2, 0), (Rgb{114, 121, 85}));  // e - 9d: 14, 21, -15
    EXPECT_EQ(PixelAt(picture, 0, 1), (Rgb{106, 109, 94}));  // 3d
    EXPECT_EQ(PixelAt(picture, 1, 1), (Rgb{110, 115, 90}));  // 5d
    EXPECT_EQ(PixelAt(picture, 2, 1), (Rgb{102, 103, 98}));  // d
    EXPECT_EQ(PixelAt(picture, 0, 0), (Rgb{100, 100, 100}));
}

TEST(DiffuseError, EdgesDropTheSharesThatWouldLeaveThePicture) {
    CDIBBitmap picture;
    FillGrey(picture, 3, 3, 100);
    diffuseError(picture, 0, 0, 32, 32, 32);  // first column: no lower left
    EXPECT_EQ(PixelAt(picture, 1, 0), (Rgb{114, 114, 114}));
    EXPECT_EQ(PixelAt(picture, 0, 1), (Rgb{110, 110, 110}));
    EXPECT_EQ(PixelAt(picture, 1, 1), (Rgb{102, 102, 102}));

    FillGrey(picture, 3, 3, 100);
    diffuseError(picture, 2, 0, 32, 32, 32);  // last column: below only, the rest is lost
    EXPECT_EQ(PixelAt(picture, 1, 1), (Rgb{106, 106, 106}));
    EXPECT_EQ(PixelAt(picture, 2, 1), (Rgb{110, 110, 110}));
    EXPECT_EQ(PixelAt(picture, 1, 0), (Rgb{100, 100, 100}));

    FillGrey(picture, 3, 3, 100);
    diffuseError(picture, 0, 2, 32, 32, 32);  // last row: right neighbour only
    EXPECT_EQ(PixelAt(picture, 1, 2), (Rgb{114, 114, 114}));

    FillGrey(picture, 3, 3, 100);
    diffuseError(picture, 1, 1, -15, 15, 0);  // d = 0: everything to the right
    EXPECT_EQ(PixelAt(picture, 2, 1), (Rgb{85, 115, 100}));
    EXPECT_EQ(PixelAt(picture, 1, 2), (Rgb{100, 100, 100}));

    FillGrey(picture, 3, 3, 100);
    diffuseError(picture, 2, 2, 255, 255, 255);  // bottom-right corner passes nothing
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(picture, x, y), (Rgb{100, 100, 100}));
}

TEST(DiffuseError, SharesAreClampedToTheChannelRange) {
    CDIBBitmap picture;
    MakePicture(picture, 2, 1, [](int x, int) { return x == 1 ? Rgb{250, 5, 128} : Rgb{0, 0, 0}; });
    diffuseError(picture, 0, 0, 100, -100, 0);
    EXPECT_EQ(PixelAt(picture, 1, 0), (Rgb{255, 0, 128}));
    EXPECT_EQ(picture.GetRows()[0][7], 0);  // alpha untouched
}
