// One conversion per picture format through the real kestrin-convert: each
// test picture is red on its left half and blue on its right half, and the
// database must show the same.
#include "engine/palm_database_reader.h"
#include "engine/palm_palette.h"
#include "support/image_writers.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>
#include <png.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>

using namespace testsupport;

namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 20;

bool isLeft(int x) {
    return x < kWidth / 2;
}

std::vector<std::uint8_t> rgbPixels() {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            rgb.push_back(isLeft(x) ? 255 : 0);
            rgb.push_back(0);
            rgb.push_back(isLeft(x) ? 0 : 255);
        }
    return rgb;
}

std::vector<std::uint8_t> makePng() {
    PngPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.colorType = PNG_COLOR_TYPE_RGB;
    for (auto value : rgbPixels()) picture.samples.push_back(value);
    return EncodePng(picture);
}

std::vector<std::uint8_t> makeJpeg() {
    JpegPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.samples = rgbPixels();
    picture.quality = 95;
    picture.subsample = false;
    return EncodeJpeg(picture);
}

std::vector<std::uint8_t> makeTiff() {
    TiffPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.samplesPerPixel = 3;
    picture.photometric = 2;  // RGB
    picture.pixels = rgbPixels();
    return WriteTiff(picture);
}

std::vector<std::uint8_t> makeGif() {
    GifPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.globalMap = {{255, 0, 0}, {0, 0, 255}};
    GifImage image;
    image.width = kWidth;
    image.height = kHeight;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) image.pixels.push_back(isLeft(x) ? 0 : 1);
    picture.images.push_back(image);
    return WriteGif(picture);
}

std::vector<std::uint8_t> makeTga() {
    ByteWriter tga;
    tga.u8(0).u8(0).u8(2).fill(5, 0).le16(0).le16(0).le16(kWidth).le16(kHeight).u8(24).u8(0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) tga.u8(isLeft(x) ? 0 : 255).u8(0).u8(isLeft(x) ? 255 : 0);
    return tga.data();
}

std::vector<std::uint8_t> makePcx() {
    ByteWriter pcx;
    pcx.u8(0x0A).u8(5).u8(1).u8(8).le16(0).le16(0).le16(kWidth - 1).le16(kHeight - 1).le16(72).le16(72);
    pcx.fill(48, 0).u8(0).u8(3).le16(kWidth).le16(1).le16(0).le16(0).fill(54, 0);
    auto put = [&](std::uint8_t value) {
        if (value >= 0xC0) pcx.u8(0xC1);
        pcx.u8(value);
    };
    for (int y = 0; y < kHeight; ++y)
        for (int plane = 0; plane < 3; ++plane)
            for (int x = 0; x < kWidth; ++x)
                put(plane == 0 ? (isLeft(x) ? 255 : 0) : plane == 2 ? (isLeft(x) ? 0 : 255) : 0);
    return pcx.data();
}

std::vector<std::uint8_t> makeWmf() {
    WmfWriter wmf;
    wmf.SetWindowOrg(0, 0).SetWindowExt(kWidth, kHeight);
    wmf.CreatePen(5, 0, 0).SelectObject(0);  // no outline
    wmf.CreateBrush(0, Colorref(255, 0, 0)).SelectObject(1).Rectangle(0, 0, kWidth / 2, kHeight);
    wmf.CreateBrush(0, Colorref(0, 0, 255)).SelectObject(2).Rectangle(kWidth / 2, 0, kWidth, kHeight);
    return wmf.PlaceableBytes(0, 0, kWidth * 15, kHeight * 15, 1440);
}

std::vector<std::uint8_t> makeEmf() {
    // 32 x 20 pixels on a 1000-pixel, 254-mm reference device: 0.254 mm a pixel.
    EmfWriter emf(0, 0, kWidth * 254 / 10 - 1, kHeight * 254 / 10 - 1);
    emf.CreatePen(1, 5, 0, 0).SelectObject(1);
    emf.CreateBrush(2, 0, Colorref(255, 0, 0)).SelectObject(2).Rectangle(0, 0, kWidth / 2, kHeight);
    emf.CreateBrush(3, 0, Colorref(0, 0, 255)).SelectObject(3).Rectangle(kWidth / 2, 0, kWidth, kHeight);
    return emf.Bytes();
}

std::vector<std::uint8_t> makeBmp() {
    return MakeBmp24(kWidth, kHeight, [](int x, int) { return isLeft(x) ? Bgr{0, 0, 255} : Bgr{255, 0, 0}; });
}

struct Sample {
    const char* file;
    std::vector<std::uint8_t> (*make)();
};

class EveryFormat : public ::testing::TestWithParam<Sample> {
protected:
    int convert(const std::string& input, const std::string& output) {
        const std::string command = std::string("'") + KESTRIN_CONVERT_PATH + "' -q -t os5-low --raw '" +
                                    input + "' '" + output + "' </dev/null >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TemporaryFolder folder;
};

}  // namespace

TEST_P(EveryFormat, ConvertsRedLeftAndBlueRight) {
    const Sample& sample = GetParam();
    const std::string input = (folder / sample.file).string();
    const std::string output = (folder / "out.pdb").string();
    WriteFileBytes(input, sample.make());
    ASSERT_EQ(convert(input, output), 0) << sample.file;

    const PalmDatabaseRecord database = readPalmDatabaseFile(output);
    ASSERT_EQ(database.resources.size(), 1u);
    ASSERT_EQ(database.resources[0].bitmaps.size(), 1u);
    const PalmBitmapRecord& bitmap = database.resources[0].bitmaps[0];
    ASSERT_EQ(bitmap.pixelSize, 8);
    const PalmPalette palette(8);
    const int red = palette.nearestIndex(255, 0, 0);
    const int blue = palette.nearestIndex(0, 0, 255);
    for (int y : {10, 55, 100}) {
        EXPECT_EQ(bitmap.pixels[static_cast<std::size_t>(y * bitmap.rowBytes + 20)], red) << "row " << y;
        EXPECT_EQ(bitmap.pixels[static_cast<std::size_t>(y * bitmap.rowBytes + 140)], blue) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
                         ::testing::Values(Sample{"picture.bmp", makeBmp}, Sample{"picture.png", makePng},
                                           Sample{"picture.jpg", makeJpeg}, Sample{"picture.tif", makeTiff},
                                           Sample{"picture.gif", makeGif}, Sample{"picture.tga", makeTga},
                                           Sample{"picture.pcx", makePcx}, Sample{"picture.wmf", makeWmf},
                                           Sample{"picture.emf", makeEmf}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             return name.substr(name.find('.') + 1);
                         });

TEST(EveryFormatExtra, ConvertsGreyMapsAndPictFiles) {
    TemporaryFolder folder;
    ByteWriter pgm;
    pgm.text("P5\n32 20\n255\n");
    for (int i = 0; i < kWidth * kHeight; ++i) pgm.u8(i % kWidth < 16 ? 0 : 255);
    WriteFileBytes(folder / "grey.pgm", pgm.data());
    const std::string command = std::string("'") + KESTRIN_CONVERT_PATH + "' -q -d 1 --raw -t os3 '" +
                                (folder / "grey.pgm").string() + "' '" + (folder / "grey.pdb").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto grey = readPalmDatabaseFile((folder / "grey.pdb").string());
    const auto& bitmap = grey.resources.at(0).bitmaps.at(0);
    EXPECT_EQ(bitmap.pixels[0], 0xFF);   // black left: index 1 at depth 1
    EXPECT_EQ(bitmap.pixels[19], 0x00);  // white right

    const auto pict = CorpusFolder("pict/twelvemonkeys");
    if (pict.empty()) GTEST_SKIP() << "no conformance pictures";
    const std::string pictCommand = std::string("'") + KESTRIN_CONVERT_PATH + "' -q -t os5-low --raw '" +
                                    (pict / "RED.PCT").string() + "' '" + (folder / "red.pdb").string() + "'";
    ASSERT_EQ(std::system(pictCommand.c_str()), 0);
    const auto red = readPalmDatabaseFile((folder / "red.pdb").string());
    EXPECT_EQ(red.resources.at(0).bitmaps.at(0).pixels.at(500), PalmPalette(8).nearestIndex(255, 0, 0));
}
