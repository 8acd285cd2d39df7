#include "engine/fine_reducer.h"

#include "engine/pixel_packer.h"
#include "imagelib/color/linear_light.h"
#include "imagelib/image_bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace {

using Rgb = std::array<std::uint8_t, 3>;

void FillPicture(CDIBBitmap& picture, int width, int height, const std::vector<Rgb>& colors) {
    picture.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb& rgb = colors[static_cast<std::size_t>(y * width + x) % colors.size()];
            std::uint8_t* pixel = picture.GetRows()[y] + 4 * x;
            pixel[0] = rgb[2];
            pixel[1] = rgb[1];
            pixel[2] = rgb[0];
            pixel[3] = 255;
        }
    }
}

// Each pixel's palette index, unpacked.
std::vector<int> Reduce(const ColorReducer& reducer, CDIBBitmap& picture, const PalmPalette& palette,
                        bool dither) {
    const int depth = palette.depth();
    const std::size_t count = static_cast<std::size_t>(picture.GetWidth()) * picture.GetHeight();
    std::vector<std::uint8_t> packed((count * depth + 7) / 8);
    reducer.reduce(picture, dither, palette, packed);
    std::vector<int> indexes;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t bit = i * depth;
        indexes.push_back((packed[bit / 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1));
    }
    return indexes;
}

float Luminance(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return 0.2126f * LinearFromSrgb(red) + 0.7152f * LinearFromSrgb(green) + 0.0722f * LinearFromSrgb(blue);
}

float Lightness(float luminance) {
    return luminance > 216.0f / 24389.0f ? 116.0f * std::cbrt(luminance) - 16.0f
                                         : luminance * 24389.0f / 27.0f;
}

}  // namespace

TEST(FineReducer, FlatPatchesDitherToTheirOwnLightnessAtEveryDepth) {
    const Rgb colors[] = {
        {230, 100, 50},  // orange, far from every grey
        {250, 230, 40},  // yellow: light, though its channels average to a mid grey
        {128, 128, 128}, {40, 40, 40},    {200, 200, 200}, {30, 40, 120},  // dark blue
        {120, 200, 230}, {255, 255, 255}, {0, 0, 0},
    };
    const FineReducer reducer;
    for (int depth : {1, 2, 4, 8}) {
        const PalmPalette palette(depth);
        for (const Rgb& color : colors) {
            CDIBBitmap picture;
            FillPicture(picture, 96, 96, {color});
            const std::vector<int> indexes = Reduce(reducer, picture, palette, true);
            double light = 0.0;
            for (int index : indexes)
                light += Luminance(palette.red(index), palette.green(index), palette.blue(index));
            const float shown = Lightness(static_cast<float>(light / indexes.size()));
            EXPECT_NEAR(shown, Lightness(Luminance(color[0], color[1], color[2])), 1.0)
                << depth << " bits, colour " << int(color[0]) << "," << int(color[1]) << "," << int(color[2]);
        }
    }
}

TEST(FineReducer, PicturesInPaletteColorsGetTheIndexesOfTheNearestColor) {
    const FineReducer fine;
    const ClassicReducer classic;
    std::mt19937 random(5);
    for (int depth : {1, 2, 4, 8}) {
        const PalmPalette palette(depth);
        // Every entry, including the repeated blacks and the grey the cube
        // also has, then the entries in a random order, as a logo's colours.
        std::vector<Rgb> colors;
        for (int i = 0; i < palette.count(); ++i)
            colors.push_back({palette.red(i), palette.green(i), palette.blue(i)});
        for (int i = 0; i < 2000; ++i) colors.push_back(colors[random() % palette.count()]);
        CDIBBitmap picture;
        FillPicture(picture, 64, 36, colors);
        const std::vector<int> raw = Reduce(classic, picture, palette, false);
        EXPECT_EQ(Reduce(fine, picture, palette, false), raw) << depth << " bits, raw";
        EXPECT_EQ(Reduce(fine, picture, palette, true), raw) << depth << " bits, dithered";
    }
}

TEST(FineReducer, EveryStripOfRowsKeepsItsLightnessWhateverThePictureSize) {
    // One band of rows, several bands (the search bounds its memory by
    // them), and a picture too wide to search, diffused only.
    struct Size {
        int width;
        int height;
    };
    const Size sizes[] = {{64, 40}, {600, 300}, {9000, 16}};
    const Rgb color = {90, 140, 60};
    const FineReducer reducer;
    for (int depth : {1, 8}) {
        const PalmPalette palette(depth);
        for (const Size& size : sizes) {
            CDIBBitmap picture;
            FillPicture(picture, size.width, size.height, {color});
            const std::vector<int> indexes = Reduce(reducer, picture, palette, true);
            constexpr int kStrip = 32;
            for (int top = 0; top < size.height; top += kStrip) {
                const int bottom = std::min(size.height, top + kStrip);
                double light = 0.0;
                for (int y = top; y < bottom; ++y)
                    for (int x = 0; x < size.width; ++x) {
                        const int index = indexes[static_cast<std::size_t>(y) * size.width + x];
                        light += Luminance(palette.red(index), palette.green(index), palette.blue(index));
                    }
                const float shown = Lightness(static_cast<float>(light / ((bottom - top) * size.width)));
                EXPECT_NEAR(shown, Lightness(Luminance(color[0], color[1], color[2])), 1.0)
                    << depth << " bits, " << size.width << "x" << size.height << ", rows from " << top;
            }
        }
    }
}

TEST(FineReducer, ReducesAlikeOnThreadsAtOnce) {
    CDIBBitmap picture;
    std::vector<Rgb> colors;
    for (int i = 0; i < 97; ++i)
        colors.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 11 + 40),
                          static_cast<std::uint8_t>(255 - i * 2)});
    FillPicture(picture, 160, 110, colors);
    const FineReducer reducer;
    for (int depth : {2, 8}) {
        const PalmPalette palette(depth);
        const std::vector<int> alone = Reduce(reducer, picture, palette, true);
        std::vector<std::vector<int>> together(3);
        std::vector<std::thread> threads;
        for (std::vector<int>& result : together)
            threads.emplace_back([&] { result = Reduce(reducer, picture, palette, true); });
        for (std::thread& thread : threads) thread.join();
        for (const std::vector<int>& result : together) EXPECT_EQ(result, alone) << depth << " bits";
    }
}

TEST(FineReducer, TheDarkestGreysKeepTheirFewDots) {
    // Where a shade needs one dot of the next level in dozens, the search
    // could lower the blurred error by dropping them all.
    const std::uint8_t greys[] = {6, 12, 24};
    const FineReducer reducer;
    for (int depth : {2, 4, 8}) {
        const PalmPalette palette(depth);
        for (const std::uint8_t grey : greys) {
            CDIBBitmap picture;
            FillPicture(picture, 128, 128, {{grey, grey, grey}});
            double light = 0.0;
            for (const int index : Reduce(reducer, picture, palette, true))
                light += Luminance(palette.red(index), palette.green(index), palette.blue(index));
            EXPECT_NEAR(Lightness(static_cast<float>(light / (128 * 128))),
                        Lightness(Luminance(grey, grey, grey)), 1.0)
                << depth << " bits, grey " << int(grey);
        }
    }
}
