// Conversion runs on several threads at once, as kestrin-convert -j does them,
// must write exactly what they write one at a time, and say exactly the same.
#include "engine/conversion_job.h"
#include "engine/pixel_packer.h"
#include "support/image_writers.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using testsupport::ByteWriter;
using testsupport::ReadFileBytes;
using testsupport::TemporaryFolder;
using testsupport::WriteFileBytes;

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

std::vector<std::uint8_t> makeBmp(const std::vector<std::uint8_t>& rgb) {
    return testsupport::MakeBmp24(kWidth, kHeight, [&](int x, int y) {
        const std::uint8_t* pixel =
            rgb.data() + (static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 3;
        return testsupport::Bgr{pixel[2], pixel[1], pixel[0]};
    });
}

std::vector<std::uint8_t> makePng(const std::vector<std::uint8_t>& rgb) {
    testsupport::PngPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.colorType = PNG_COLOR_TYPE_RGB;
    picture.samples.assign(rgb.begin(), rgb.end());
    return testsupport::EncodePng(picture);
}

std::vector<std::uint8_t> makeJpeg(const std::vector<std::uint8_t>& rgb) {
    testsupport::JpegPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.samples = rgb;
    return testsupport::EncodeJpeg(picture);
}

std::vector<std::uint8_t> makeTiff(const std::vector<std::uint8_t>& rgb) {
    testsupport::TiffPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.samplesPerPixel = 3;
    picture.photometric = 2;  // RGB
    picture.rowsPerStrip = 16;
    picture.pixels = rgb;
    return testsupport::WriteTiff(picture);
}

std::vector<std::uint8_t> makeGif() {
    testsupport::GifPicture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    for (int i = 0; i < 16; ++i)
        picture.globalMap.push_back({static_cast<std::uint8_t>(i * 16),
                                     static_cast<std::uint8_t>(255 - i * 12),
                                     static_cast<std::uint8_t>(i * 5)});
    testsupport::GifImage image;
    image.width = kWidth;
    image.height = kHeight;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            image.pixels.push_back(static_cast<std::uint8_t>((x / 6 + y / 4) % 16));
    picture.images.push_back(image);
    return testsupport::WriteGif(picture);
}

std::vector<std::uint8_t> makePgm(const std::vector<std::uint8_t>& rgb) {
    ByteWriter pgm;
    pgm.text("P5\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n");
    for (std::size_t i = 1; i < rgb.size(); i += 3) pgm.u8(rgb[i]);
    return pgm.data();
}

// Shapes and text: the metafile player draws with cairo, text through its
// font machinery, which several conversions then use at once.
std::vector<std::uint8_t> makeWmf() {
    using testsupport::Colorref;
    testsupport::WmfWriter wmf;
    wmf.SetMapMode(8).SetWindowOrg(0, 0).SetWindowExt(kWidth, kHeight);
    wmf.CreateBrush(0, Colorref(30, 120, 200)).SelectObject(0);
    wmf.CreatePen(0, 2, Colorref(200, 40, 40)).SelectObject(1);
    wmf.Rectangle(4, 4, 60, 40).Ellipse(30, 20, 90, 60);
    wmf.SetTextColor(Colorref(10, 10, 10)).SetBkMode(1).CreateFont(14, 700, "sans-serif").SelectObject(2);
    wmf.TextOut(8, 44, "Kestrin");
    return wmf.PlaceableBytes(0, 0, kWidth, kHeight, 96);
}

class RecordingNotifier : public UserNotifier {
public:
    void showMessage(const std::string& text, MessageIcon) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

struct Conversion {
    std::string input;
    int destinationOs = 2;
    int depth = 8;
    int dither = kDitherFloydSteinberg;
    int compression = 99;
};

struct Outcome {
    bool converted = false;
    std::vector<std::uint8_t> bytes;  // dates cleared
    std::vector<std::string> messages;

    friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome convert(const Conversion& conversion, const std::string& outputPath) {
    RecordingNotifier notifier;
    ConversionJob job;
    job.settings.destination = static_cast<DestinationOs>(conversion.destinationOs);
    job.settings.depth = static_cast<ColorDepth>(conversion.depth);
    job.settings.reduction =
        conversion.dither == kDitherFloydSteinberg ? ColorReduction::kDithering : ColorReduction::kRaw;
    job.settings.compression = static_cast<CompressionMode>(conversion.compression);
    job.inputPath = conversion.input;
    job.outputPath = outputPath;
    job.imageName = "Together";
    job.notifier = &notifier;
    Outcome outcome;
    outcome.converted = job.run();
    if (outcome.converted) {
        outcome.bytes = ReadFileBytes(outputPath);
        // Bytes 36 to 43 hold the creation and modification dates.
        if (outcome.bytes.size() >= 44) std::fill(outcome.bytes.begin() + 36, outcome.bytes.begin() + 44, 0);
    }
    outcome.messages = notifier.messages;
    return outcome;
}

}  // namespace

TEST(ConcurrentConversion, SeveralThreadsWriteAndSayWhatOneThreadDoes) {
    TemporaryFolder folder;
    const std::vector<std::uint8_t> rgb = testsupport::MakePhotoLikeRgb(kWidth, kHeight, 7);
    std::vector<std::string> inputs;
    auto addInput = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        inputs.push_back((folder / name).string());
        WriteFileBytes(inputs.back(), bytes);
    };
    addInput("picture.bmp", makeBmp(rgb));
    addInput("picture.png", makePng(rgb));
    addInput("picture.jpg", makeJpeg(rgb));
    addInput("picture.tif", makeTiff(rgb));
    addInput("picture.gif", makeGif());
    addInput("picture.pgm", makePgm(rgb));
    addInput("picture.wmf", makeWmf());
    // Failures go through the same shared paths: the messages must not mix.
    addInput("unknown.dat", std::vector<std::uint8_t>(200, 0x55));
    inputs.push_back((folder / "missing.bmp").string());
    std::vector<std::uint8_t> truncatedJpeg = makeJpeg(rgb);
    truncatedJpeg.resize(truncatedJpeg.size() / 3);
    addInput("truncated.jpg", truncatedJpeg);

    std::vector<Conversion> conversions;
    for (const std::string& input : inputs) {
        conversions.push_back({input, 0, 4, kDitherFloydSteinberg, 99});
        conversions.push_back({input, 1, 1, 0, 1});
        conversions.push_back({input, 2, 8, kDitherFloydSteinberg, 99});
        conversions.push_back({input, 3, 4, kDitherFloydSteinberg, 0});
    }

    std::vector<Outcome> expected;
    for (std::size_t i = 0; i < conversions.size(); ++i)
        expected.push_back(
            convert(conversions[i], (folder / ("alone-" + std::to_string(i) + ".pdb")).string()));
    // The fixture must exercise both outcomes.
    EXPECT_TRUE(std::ranges::any_of(expected, [](const Outcome& o) { return o.converted; }));
    EXPECT_TRUE(std::ranges::any_of(expected, [](const Outcome& o) { return !o.converted; }));

    // Every thread converts every picture, each starting at a different one,
    // so that different formats and plans overlap.
    constexpr int kThreads = 4;
    std::vector<std::vector<Outcome>> actual(kThreads, std::vector<Outcome>(conversions.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t step = 0; step < conversions.size(); ++step) {
                const std::size_t i = (step + static_cast<std::size_t>(t) * 3) % conversions.size();
                const std::string output =
                    (folder / ("thread-" + std::to_string(t) + "-" + std::to_string(i) + ".pdb")).string();
                actual[static_cast<std::size_t>(t)][i] = convert(conversions[i], output);
            }
        });
    }
    for (auto& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t i = 0; i < conversions.size(); ++i) {
            SCOPED_TRACE(testing::Message()
                         << "thread " << t << ", " << conversions[i].input << ", choice "
                         << conversions[i].destinationOs << ", depth " << conversions[i].depth);
            const Outcome& outcome = actual[static_cast<std::size_t>(t)][i];
            EXPECT_EQ(outcome.converted, expected[i].converted);
            EXPECT_EQ(outcome.messages, expected[i].messages);
            EXPECT_TRUE(outcome.bytes == expected[i].bytes);
        }
    }
}
