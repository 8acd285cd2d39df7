// Micro-benchmarks: the tent filter on a photo-sized picture, the cost of a
// fresh photo-sized bitmap, the colour reduction with dithering (classic and
// fine), the scanline encoder, and the colour conversion of a tagged picture.
#include "engine/color_reducer.h"
#include "engine/palm_palette.h"
#include "engine/pixel_packer.h"
#include "engine/scanline_encoder.h"
#include "imagelib/color/color_conversion.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/resize_filter.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// A smooth, photo-like picture: gradients with some texture.
void fillPicture(CImageBitmap& picture) {
    for (int y = 0; y < picture.GetHeight(); ++y) {
        std::uint8_t* row = picture.GetRows()[y];
        for (int x = 0; x < picture.GetWidth(); ++x) {
            row[4 * x + 0] = static_cast<std::uint8_t>((x * 7 + y) >> 4);
            row[4 * x + 1] = static_cast<std::uint8_t>((y * 5 + (x ^ y)) >> 4);
            row[4 * x + 2] = static_cast<std::uint8_t>(((x + y) * 3) >> 5);
            row[4 * x + 3] = 255;
        }
    }
}

// A 6000x4000 photo to one size (arguments width, height, threads; 0 threads
// is one per core), with the whole picture decoded beforehand: what resizing
// costs when it cannot overlap the decode.
void TentFilter(benchmark::State& state) {
    CDIBBitmap source;
    source.Create(6000, 4000, 32, false);
    fillPicture(source);
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    for (auto _ : state) {
        CDIBBitmap target;
        CTentResizeFilter filter(width, height);
        filter.SetThreadCount(static_cast<int>(state.range(2)));
        filter.Apply(source, target);
        benchmark::DoNotOptimize(target.GetRows()[0][0]);
    }
}
BENCHMARK(TentFilter)
    ->Args({160, 110, 1})
    ->Args({160, 110, 0})
    ->Args({320, 220, 1})
    ->Args({320, 220, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Both sizes of a high-resolution database from one pass over the rows.
void TentFilterBothSizes(benchmark::State& state) {
    CDIBBitmap source;
    source.Create(6000, 4000, 32, false);
    fillPicture(source);
    for (auto _ : state) {
        CMemoryBitmap low;
        CMemoryBitmap high;
        const ResizeTarget targets[] = {{160, 110, &low}, {320, 220, &high}};
        CTentResizeFilter::ApplyToSizes(source, targets, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(high.GetRows()[0][0]);
    }
}
BENCHMARK(TentFilterBothSizes)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same for a photo that is to be turned (argument: its orientation tag):
// the resampler reads the decoded rows as turned, a quarter turn reading
// columns, instead of turning a copy first.
void TentFilterBothSizesTurned(benchmark::State& state) {
    CDIBBitmap source;
    source.Create(6000, 4000, 32, false);
    fillPicture(source);
    for (auto _ : state) {
        CMemoryBitmap low;
        CMemoryBitmap high;
        CTentResampler resampler({{160, 110, &low}, {320, 220, &high}}, 1);
        resampler.SetOrientation(static_cast<int>(state.range(0)));
        resampler.Finish(source);
        benchmark::DoNotOptimize(high.GetRows()[0][0]);
    }
}
BENCHMARK(TentFilterBothSizesTurned)->Arg(1)->Arg(3)->Arg(6)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a decoder pays before it has decoded anything: a fresh photo-sized
// bitmap, every page of it written once. Page faults make this cost as much as
// the decode itself on some machines unless the bitmap gets huge pages.
void FreshBitmapFirstTouch(benchmark::State& state) {
    for (auto _ : state) {
        CDIBBitmap picture;
        picture.Create(6000, 4000, 32, false);
        for (int y = 0; y < picture.GetHeight(); ++y) {
            std::uint8_t* row = picture.GetRows()[y];
            for (int x = 0; x < picture.GetWidth(); x += 1024) row[4 * x] = 1;
        }
        benchmark::DoNotOptimize(picture.GetRows()[0][0]);
    }
}
BENCHMARK(FreshBitmapFirstTouch)->Unit(benchmark::kMillisecond);

void PackPixelsDithered(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    const PalmPalette palette(depth);
    CDIBBitmap original;
    original.Create(320, 220, 32, false);
    fillPicture(original);
    std::vector<std::uint8_t> packed(320 * 220 * static_cast<std::size_t>(depth) / 8);
    for (auto _ : state) {
        state.PauseTiming();
        CDIBBitmap picture;
        picture.CopyFrom(original, 0);
        state.ResumeTiming();
        packPixels(picture, kDitherFloydSteinberg, palette, depth, packed);
        benchmark::DoNotOptimize(packed.data());
    }
}
BENCHMARK(PackPixelsDithered)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

// The same picture through the fine quality's reducer, to set beside it.
void FineReduceDithered(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    const PalmPalette palette(depth);
    CDIBBitmap picture;
    picture.Create(320, 220, 32, false);
    fillPicture(picture);
    std::vector<std::uint8_t> packed(320 * 220 * static_cast<std::size_t>(depth) / 8);
    const ColorReducer& reducer = colorReducer(PictureQuality::kFine);
    for (auto _ : state) {
        reducer.reduce(picture, true, palette, packed);
        benchmark::DoNotOptimize(packed.data());
    }
}
BENCHMARK(FineReduceDithered)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

// TentFilter's photo in the linear-light mode (arguments as there).
void TentFilterLinearLight(benchmark::State& state) {
    CDIBBitmap source;
    source.Create(6000, 4000, 32, false);
    fillPicture(source);
    for (auto _ : state) {
        CDIBBitmap target;
        CTentResizeFilter filter(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
        filter.SetThreadCount(static_cast<int>(state.range(2)));
        filter.SetLinearLight(true);
        filter.Apply(source, target);
        benchmark::DoNotOptimize(target.GetRows()[0][0]);
    }
}
BENCHMARK(TentFilterLinearLight)->Args({160, 110, 1})->Args({160, 110, 0})->Unit(benchmark::kMillisecond);

void ScanlineEncode(benchmark::State& state) {
    std::vector<std::uint8_t> pixels(320 * 110);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>((i / 7) % 13);
    for (auto _ : state) {
        ScanlineEncoder encoder;
        encoder.encode(320, 110, pixels, true, true);
        benchmark::DoNotOptimize(encoder.bytes().data());
    }
}
BENCHMARK(ScanlineEncode)->Unit(benchmark::kMicrosecond);

// One decoder batch of a 6000-pixel-wide photo (16 rows) from Display P3 to
// sRGB through the matrix/tone-curve tables; items are pixels.
void ConvertDisplayP3Batch(benchmark::State& state) {
    CalibratedRgbSpace displayP3{0.680, 0.320,  0.265,  0.690,     0.150,
                                 0.060, 0.3127, 0.3290, {0, 0, 0}, "Display P3"};
    const CColorConversion conversion = CColorConversion::FromCalibratedRgb(displayP3);
    if (!conversion.UsesTables()) {
        state.SkipWithError("the Display P3 conversion does not use tables");
        return;
    }
    CMemoryBitmap batch;
    batch.Create(6000, 16, 32, false);
    fillPicture(batch);
    for (auto _ : state) {
        for (int y = 0; y < batch.GetHeight(); ++y) conversion.ConvertPixels(batch.GetRows()[y], 6000);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 6000 * 16);
}
BENCHMARK(ConvertDisplayP3Batch)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
