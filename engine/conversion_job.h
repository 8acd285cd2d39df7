#pragma once

#include "engine/front_end.h"

#include <cstdint>
#include <string>

// The settings of one conversion and the run that carries it out.
class ConversionJob {
public:
    // Index of the "Destination OS" choice: 0 "PalmOS 3 or 4", 1 "PalmOS 5
    // (low-res)", 2 "PalmOS 5 (high-res)", 3 "PalmOS 3/4/5 combined".
    int destinationOs = 2;
    // Bits per pixel of the main image: 1, 2, 4 or 8.
    int depth = 8;
    // 0 = none, 1 = scanline, 99 = most efficient.
    int compression = 0;
    std::uint16_t width = 160;
    std::uint16_t height = 110;
    // 4 = dithering, 0 = raw.
    int dither = 0;
    std::string outputPath;
    std::string inputPath;
    std::string imageName;

    // Where messages and progress go; both must be set before run().
    UserNotifier* notifier = nullptr;
    ProgressLog* progress = nullptr;

    // Writes the database; true when the file was written completely. On
    // failure nothing is left at outputPath that was not there before.
    bool run();
};
