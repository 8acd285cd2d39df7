// kestrin_bench_window: how a streamed conversion spends the decoding thread's
// time on the window of rows.
//
//   kestrin_bench_window PICTURE
//
// Converts PICTURE at depth 8 with dithering to "PalmOS 3/4/5 combined" and
// to "PalmOS 5 (high-res)" and prints, for each, the window's rows, how long
// the decoder waited for the resampler's helpers to free slots, and how long
// it resampled rows itself because they had fallen behind: time the decoder
// did not spend decoding.
#include "engine/front_end.h"
#include "engine/output_file.h"
#include "engine/palm_database.h"
#include "engine/source_loader.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

class PrintedMessages : public UserNotifier {
public:
    void showMessage(const std::string& text, MessageIcon) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

double Milliseconds(std::chrono::nanoseconds time) {
    return std::chrono::duration<double, std::milli>(time).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kestrin_bench_window PICTURE\n", stderr);
        return 2;
    }
    const struct {
        const char* name;
        DestinationOs destination;
    } targets[] = {{"combined", kPalmOs3To5Combined}, {"os5-high", kPalmOs5HighRes}};
    PrintedMessages messages;
    for (const auto& target : targets) {
        ConversionSettings settings;
        settings.destination = target.destination;
        settings.depth = kEightBits;
        settings.reduction = ColorReduction::kDithering;
        CachingSourceLoader loader(argv[1], settings.ditherSetting(), messages, plannedPictureSizes(settings),
                                   settings.pictureLayout());
        loader.setPictureHolding(PictureHolding::kStreamWherePossible);
        OutputFile file;
        if (!file.open("/dev/null") || !PalmDatabase::writeImages(file, settings, loader)) return 1;
        const CachingSourceLoader::WindowUse& use = loader.windowUse();
        if (use.rows == 0)
            std::printf("  %-9s held whole\n", target.name);
        else
            std::printf("  %-9s window of %d rows; the decoder waited %.1f ms and resampled %.1f ms itself\n",
                        target.name, use.rows, Milliseconds(use.waited), Milliseconds(use.resampled));
    }
    return 0;
}
