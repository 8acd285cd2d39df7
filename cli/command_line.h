#pragma once

#include "engine/conversion_settings.h"

#include <optional>
#include <string>
#include <vector>

// The modes of kestrin-convert: converting pictures, or reading Palm image
// files back.
enum class CommandMode { Convert, Info, Extract };

// What the user asked kestrin-convert to do.
struct CommandLineOptions {
    CommandMode mode = CommandMode::Convert;
    // --extract: the density asked for (see palm_picture.h), the highest by default.
    int density = 0;
    std::string imageName;  // in Windows-1252; empty: the default for the mode
    bool imageNameGiven = false;
    // As on the application's first start: 8 bits, PalmOS 5 (high-res),
    // dithering, most efficient compression.
    ConversionSettings conversion;
    bool force = false;    // replace existing databases (and PNGs), never other files
    bool quiet = false;    // errors only
    bool verbose = false;  // also the log of each conversion's steps
    bool showHelp = false;
    bool showVersion = false;
    int jobs = 0;                 // 0: one per core
    std::string outputDirectory;  // batch mode when set
    std::string previewPath;
    std::vector<std::string> inputs;  // --info: the files to describe; --extract: the one file
    std::string outputPath;           // single mode only; empty: derived from the input; --extract: the PNG
};

struct CommandLineResult {
    std::optional<CommandLineOptions> options;  // empty on a usage error
    std::string error;                          // the usage error's text
};

CommandLineResult parseCommandLine(const std::vector<std::string>& arguments);

// The help text printed by -h/--help.
std::string usageText();
