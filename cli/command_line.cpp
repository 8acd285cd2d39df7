#include "cli/command_line.h"

#include "cli/palm_file_commands.h"
#include "engine/palm_database_reader.h"
#include "engine/picture_layout.h"
#include "engine/windows_1252.h"
#include "imagelib/formats/picture_file_types.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <getopt.h>

namespace {

bool parseInteger(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    auto [pointer, error] = std::from_chars(text.data(), end, value);
    return error == std::errc{} && pointer == end && !text.empty();
}

// A choice is given by its name or by the number the settings file uses.
template <class Choice>
struct NamedChoice {
    const char* name;
    Choice value;
};

template <class Choice, std::size_t N>
std::optional<Choice> parseChoice(const std::string& text, const NamedChoice<Choice> (&choices)[N]) {
    for (const auto& choice : choices)
        if (text == choice.name || text == std::to_string(static_cast<int>(choice.value)))
            return choice.value;
    return std::nullopt;
}

constexpr NamedChoice<DestinationOs> kTargets[] = {{"os3", kPalmOs3Or4},
                                                   {"os5-low", kPalmOs5LowRes},
                                                   {"os5-high", kPalmOs5HighRes},
                                                   {"combined", kPalmOs3To5Combined}};
constexpr NamedChoice<PictureQuality> kQualities[] = {{"classic", PictureQuality::kClassic},
                                                      {"fine", PictureQuality::kFine}};
constexpr NamedChoice<CompressionMode> kCompressions[] = {
    {"none", kCompressionNone}, {"scanline", kCompressionScanline}, {"best", kCompressionMostEfficient}};

CommandLineResult usageError(const std::string& text) {
    return {std::nullopt, text};
}

enum LongOnlyOption : int {
    kVersionOption = 256,
    kDitherOption,
    kRawOption,
    kOutdirOption,
    kPreviewOption,
    kInfoOption,
    kExtractOption,
    kDensityOption,
    kAutoOrientOption,
    kNoAutoOrientOption,
    kFitOption,
    kBackgroundOption,
    kQualityOption,
    kColorManagementOption,
    kNoColorManagementOption,
    kGravityOption,
    kCropBoxOption,
    kRotateToFillOption,
};

const struct option kLongOptions[] = {
    {"name", required_argument, nullptr, 'n'},
    {"depth", required_argument, nullptr, 'd'},
    {"target", required_argument, nullptr, 't'},
    {"dither", no_argument, nullptr, kDitherOption},
    {"raw", no_argument, nullptr, kRawOption},
    {"compression", required_argument, nullptr, 'c'},
    {"force", no_argument, nullptr, 'f'},
    {"quiet", no_argument, nullptr, 'q'},
    {"verbose", no_argument, nullptr, 'v'},
    {"jobs", required_argument, nullptr, 'j'},
    {"outdir", required_argument, nullptr, kOutdirOption},
    {"preview", required_argument, nullptr, kPreviewOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {"info", no_argument, nullptr, kInfoOption},
    {"extract", no_argument, nullptr, kExtractOption},
    {"density", required_argument, nullptr, kDensityOption},
    {"auto-orient", no_argument, nullptr, kAutoOrientOption},
    {"no-auto-orient", no_argument, nullptr, kNoAutoOrientOption},
    {"fit", required_argument, nullptr, kFitOption},
    {"background", required_argument, nullptr, kBackgroundOption},
    {"quality", required_argument, nullptr, kQualityOption},
    {"color-management", no_argument, nullptr, kColorManagementOption},
    {"no-color-management", no_argument, nullptr, kNoColorManagementOption},
    {"gravity", required_argument, nullptr, kGravityOption},
    {"crop-box", required_argument, nullptr, kCropBoxOption},
    {"rotate-to-fill", no_argument, nullptr, kRotateToFillOption},
    {nullptr, 0, nullptr, 0},
};

// "-": every argument comes back in order, file names as code 1, so options
// may follow file names even under POSIXLY_CORRECT. ":": a missing value is
// told apart from an unknown option, and getopt prints nothing of its own.
constexpr const char* kShortOptions = "-:n:d:t:c:fqvj:h";

const char* longNameOf(int code) {
    for (const struct option& entry : kLongOptions) {
        if (entry.name != nullptr && entry.val == code) return entry.name;
    }
    return "";
}

std::string neededValueOf(int code) {
    switch (code) {
        case 'n':
            return "a name";
        case 'd':
            return "a depth";
        case 't':
            return "a target";
        case 'c':
            return "a mode";
        case 'j':
            return "a number";
        case kOutdirOption:
            return "a folder";
        case kPreviewOption:
            return "a file name";
        case kDensityOption:
            return "a density";
        case kFitOption:
            return "a shape";
        case kBackgroundOption:
            return "a colour";
        case kQualityOption:
            return "a quality";
        case kGravityOption:
            return "a gravity";
        case kCropBoxOption:
            return "a box";
        default:
            return "a value";
    }
}

// What the getopt loop gathers before the modes are checked against each other.
struct ParsedArguments {
    CommandLineOptions options;
    std::vector<std::string> positional;
    bool info = false, extract = false, densityGiven = false;
    // The option that belongs to converting, if any: the reading modes take none.
    std::string conversionOption;
};

using OptionError = std::optional<std::string>;

OptionError applyImageName(const std::string& value, CommandLineOptions& options) {
    if (value.empty()) return "the image name must not be empty";
    Windows1252Text name = encodeWindows1252(value);
    if (name.firstRefused) {
        return "the image name contains the character " + describeCharacter(*name.firstRefused) +
               ", which Palm handhelds cannot show";
    }
    if (name.bytes.size() > kMaxImageNameLength) return "the image name may have at most 31 characters";
    options.imageName = std::move(name.bytes);
    options.imageNameGiven = true;
    return std::nullopt;
}

// The options that choose how pictures are converted.
OptionError applyConversionOption(int code, const std::string& value, ConversionSettings& conversion) {
    switch (code) {
        case 'd': {
            int depth = 0;
            if (!parseInteger(value, depth) ||
                (depth != kOneBit && depth != kTwoBits && depth != kFourBits && depth != kEightBits))
                return "unknown depth '" + value + "' (use 1, 2, 4 or 8)";
            conversion.depth = static_cast<ColorDepth>(depth);
            return std::nullopt;
        }
        case 't': {
            auto target = parseChoice(value, kTargets);
            if (!target) return "unknown target '" + value + "' (use os3, os5-low, os5-high or combined)";
            conversion.destination = *target;
            return std::nullopt;
        }
        case kDitherOption:
            conversion.reduction = ColorReduction::kDithering;
            return std::nullopt;
        case kRawOption:
            conversion.reduction = ColorReduction::kRaw;
            return std::nullopt;
        case kQualityOption: {
            const auto quality = parseChoice(value, kQualities);
            if (!quality) return "unknown quality '" + value + "' (use classic or fine)";
            conversion.quality = *quality;
            return std::nullopt;
        }
        case 'c': {
            auto compression = parseChoice(value, kCompressions);
            if (!compression) return "unknown compression '" + value + "' (use none, scanline or best)";
            conversion.compression = *compression;
            return std::nullopt;
        }
        case kAutoOrientOption:
            conversion.autoOrient = true;
            return std::nullopt;
        case kNoAutoOrientOption:
            conversion.autoOrient = false;
            return std::nullopt;
        case kColorManagementOption:
            conversion.colorManage = true;
            return std::nullopt;
        case kNoColorManagementOption:
            conversion.colorManage = false;
            return std::nullopt;
        case kFitOption: {
            const auto fit = parsePictureFit(value);
            if (!fit) return "unknown fit '" + value + "' (use stretch, pad or crop)";
            conversion.fit = *fit;
            return std::nullopt;
        }
        case kBackgroundOption: {
            const auto color = parseBackgroundColor(value);
            if (!color)
                return "unknown colour '" + value + "' (use #rrggbb or a basic colour name such as black)";
            conversion.background = *color;
            return std::nullopt;
        }
        default:
            return "";
    }
}

// The options that choose the part of the picture kept.
OptionError applyFramingOption(int code, const std::string& value, ConversionSettings& conversion) {
    switch (code) {
        case kGravityOption: {
            const auto gravity = parseCropGravity(value);
            if (!gravity)
                return "unknown gravity '" + value +
                       "' (use center, north, south, east, west, northeast, northwest, southeast, "
                       "southwest or smart)";
            conversion.gravity = *gravity;
            return std::nullopt;
        }
        case kCropBoxOption: {
            const auto box = parseCropBox(value);
            if (!box) return "unknown crop box '" + value + "' (use X,Y,W,H in pixels, W and H at least 1)";
            conversion.cropBox = *box;
            return std::nullopt;
        }
        case kRotateToFillOption:
            conversion.rotateToFill = true;
            return std::nullopt;
        default:
            return "";
    }
}

// The options of the run itself and of the reading modes. An empty error
// text means the code is not one of them.
OptionError applyRunOption(int code, const std::string& value, ParsedArguments& parsed) {
    CommandLineOptions& options = parsed.options;
    switch (code) {
        case 1:
            parsed.positional.push_back(value);
            return std::nullopt;
        case 'h':
            options.showHelp = true;
            return std::nullopt;
        case kVersionOption:
            options.showVersion = true;
            return std::nullopt;
        case kInfoOption:
            parsed.info = true;
            return std::nullopt;
        case kExtractOption:
            parsed.extract = true;
            return std::nullopt;
        case kDensityOption: {
            const auto density = parseDensity(value);
            if (!density) return "unknown density '" + value + "' (use low, high, 72, 108, 144, 216 or 288)";
            options.density = *density;
            parsed.densityGiven = true;
            return std::nullopt;
        }
        case 'n':
            return applyImageName(value, options);
        case 'f':
            options.force = true;
            return std::nullopt;
        case 'q':  // the later of -q and -v counts
            options.quiet = true;
            options.verbose = false;
            return std::nullopt;
        case 'v':
            options.verbose = true;
            options.quiet = false;
            return std::nullopt;
        case 'j': {
            int jobs = 0;
            if (!parseInteger(value, jobs) || jobs < 1 || jobs > 256)
                return "the number of jobs must be between 1 and 256";
            options.jobs = jobs;
            return std::nullopt;
        }
        case kOutdirOption:
            if (value.empty()) return "option --outdir needs a folder";
            options.outputDirectory = value;
            return std::nullopt;
        case kPreviewOption:
            if (value.empty()) return "option --preview needs a file name";
            options.previewPath = value;
            return std::nullopt;
        default:
            return "";
    }
}

bool isReadingOption(int code) {
    return code == kInfoOption || code == kExtractOption || code == kDensityOption || code == 'h' ||
           code == kVersionOption || code == 1 || code == 'f';
}

// getopt_long, told to stay silent, answers an ambiguous abbreviation as it
// answers an unknown option; said as getopt itself says it.
OptionError ambiguousOptionError(const std::string& spelled) {
    const std::string name = spelled.substr(2, spelled.find('=') - 2);
    std::string possibilities;
    int matches = 0;
    for (const struct option& entry : kLongOptions) {
        if (entry.name == nullptr || std::strncmp(entry.name, name.c_str(), name.size()) != 0) continue;
        if (name == entry.name) return std::nullopt;
        possibilities += std::string(" '--") + entry.name + "'";
        ++matches;
    }
    if (matches < 2) return std::nullopt;
    return "option '--" + name + "' is ambiguous; possibilities:" + possibilities;
}

// Runs getopt_long over the arguments; an error text on a usage error.
OptionError readArguments(const std::vector<std::string>& arguments, ParsedArguments& parsed) {
    // getopt_long wants writable C strings with the program's name first.
    std::vector<std::string> storage{"kestrin-convert"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : storage) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(storage.size());

    // 0, not 1: glibc then forgets the previous parse, half-read bundles too.
    optind = 0;
    opterr = 0;
    while (true) {
        const int start = optind == 0 ? 1 : optind;
        const int code = getopt_long(argc, argv.data(), kShortOptions, kLongOptions, nullptr);
        if (code == -1) break;
        // The argument this option came from: getopt moves on from a bundle
        // of short options only after its last one.
        const std::string spelled = start < argc ? storage[static_cast<std::size_t>(start)] : std::string();
        const bool spelledLong = spelled.rfind("--", 0) == 0;
        const std::string value = optarg != nullptr ? optarg : "";
        if (code == ':') {
            return "option " +
                   (spelledLong ? std::string("--") + longNameOf(optopt)
                                : std::string("-") + static_cast<char>(optopt)) +
                   " needs " + neededValueOf(optopt);
        }
        if (code == '?' && spelledLong) {
            if (OptionError ambiguous = ambiguousOptionError(spelled)) return ambiguous;
        }
        if (code == '?')
            return "unknown option '" +
                   (spelledLong ? spelled : "-" + std::string(1, static_cast<char>(optopt))) + "'";
        OptionError error = applyRunOption(code, value, parsed);
        if (error && error->empty()) error = applyConversionOption(code, value, parsed.options.conversion);
        if (error && error->empty()) error = applyFramingOption(code, value, parsed.options.conversion);
        if (error && error->empty()) return "unknown option '" + spelled + "'";
        if (error) return error;
        if (parsed.conversionOption.empty() && !isReadingOption(code))
            parsed.conversionOption = spelledLong ? std::string("--") + longNameOf(code)
                                                  : "-" + std::string(1, static_cast<char>(code));
    }
    // Whatever follows "--" is a file name, whatever it looks like.
    for (int i = optind; i < argc; ++i) parsed.positional.push_back(storage[static_cast<std::size_t>(i)]);
    return std::nullopt;
}

CommandLineResult readingMode(ParsedArguments& parsed) {
    CommandLineOptions& options = parsed.options;
    const std::string mode = parsed.info ? "--info" : "--extract";
    if (!parsed.conversionOption.empty())
        return usageError(mode + " cannot be combined with " + parsed.conversionOption);
    if (parsed.info) {
        if (parsed.positional.empty()) return usageError("--info needs at least one file");
        options.mode = CommandMode::Info;
        options.inputs = parsed.positional;
    } else {
        if (parsed.positional.size() != 2)
            return usageError("--extract takes exactly a file and an output PNG");
        options.mode = CommandMode::Extract;
        options.inputs = {parsed.positional[0]};
        options.outputPath = parsed.positional[1];
    }
    return {options, {}};
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "kestrin-convert a.jpg b.jpg" is someone converting two photos, not asking
// for a database named b.jpg: a second name that is a picture's, by its
// suffix or (when it is a file) by not being a Palm database, is refused
// before anything is written, and so is a folder.
OptionError secondNameError(const std::string& input, const std::string& name) {
    const std::string suffix = lowerCase(std::filesystem::path(name).extension().string());
    const std::vector<std::string> pictureSuffixes = pictureFileSuffixes();
    const bool pictureName = suffix.size() > 1 && std::find(pictureSuffixes.begin(), pictureSuffixes.end(),
                                                            suffix.substr(1)) != pictureSuffixes.end();
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(name, error);
    const std::string example =
        ", as in: kestrin-convert --outdir " +
        (std::filesystem::is_directory(status) ? name + " " + input : std::string(". ") + input + " " + name);
    if (std::filesystem::is_directory(status))
        return name + ": is a folder; to write the database into it, use --outdir DIR" + example;
    const char* what = pictureName ? "names a picture, not a database"
                       : std::filesystem::is_regular_file(status) && !isPalmDatabaseFile(name)
                           ? "exists and is not a Palm database"
                           : nullptr;
    if (what == nullptr) return std::nullopt;
    return name + ": " + what + "; to convert several pictures, use --outdir DIR" + example;
}

CommandLineResult convertingMode(ParsedArguments& parsed) {
    CommandLineOptions& options = parsed.options;
    const std::vector<std::string>& positional = parsed.positional;
    if (!options.outputDirectory.empty()) {
        if (positional.empty()) return usageError("no input pictures given");
        options.inputs = positional;
        if (!options.previewPath.empty() && options.inputs.size() != 1)
            return usageError("--preview takes exactly one input");
    } else {
        if (positional.empty()) return usageError("no input picture given");
        if (positional.size() > 2)
            return usageError("too many arguments (use --outdir for several pictures)");
        options.inputs = {positional[0]};
        if (positional.size() == 2) {
            if (OptionError error = secondNameError(positional[0], positional[1])) return usageError(*error);
            options.outputPath = positional[1];
        }
    }
    return {options, {}};
}

}  // namespace

CommandLineResult parseCommandLine(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    if (OptionError error = readArguments(arguments, parsed)) return usageError(*error);
    if (parsed.options.showHelp || parsed.options.showVersion) return {parsed.options, {}};
    if (parsed.info && parsed.extract) return usageError("--info and --extract cannot be combined");
    if (parsed.densityGiven && !parsed.extract) return usageError("--density works only with --extract");
    if (parsed.info || parsed.extract) return readingMode(parsed);
    const ConversionSettings& conversion = parsed.options.conversion;
    if (conversion.gravity != CropGravity::Center && conversion.fit != PictureFit::Crop)
        return usageError("--gravity works only with --fit crop");
    return convertingMode(parsed);
}

namespace {

// The kinds of picture read, as the picture-type list names them, wrapped
// for the help text.
std::string pictureKindsText() {
    std::string text, line = " ";
    for (const PictureFileType& type : pictureFileTypes()) {
        std::string kind = " " + type.label.substr(0, type.label.find(" (")) + " (";
        for (std::size_t i = 0; i < type.suffixes.size(); ++i)
            kind += (i > 0 ? " ." : ".") + type.suffixes[i];
        kind += &type == &pictureFileTypes().back() ? ")." : "),";
        if (line.size() + kind.size() > 80) {
            text += line + "\n";
            line = " ";
        }
        line += kind;
    }
    return text + line + "\n";
}

}  // namespace

std::string usageText() {
    return "Usage: kestrin-convert [options] INPUT [OUTPUT.pdb]\n"
           "       kestrin-convert [options] --outdir DIR INPUT...\n"
           "       kestrin-convert --info FILE...\n"
           "       kestrin-convert --extract FILE OUTPUT.png [--density DENSITY]\n"
           "\n"
           "Converts pictures into Palm OS image databases for the Vexmoor viewer.\n"
           "\n"
           "Options:\n"
           "  -n, --name NAME          image name, 1 to 31 characters (default \"My vexmoor image\";\n"
           "                           with --outdir each input's file name)\n"
           "  -d, --depth 1|2|4|8      bits per pixel (default 8)\n"
           "  -t, --target TARGET      os3, os5-low, os5-high or combined, or 0-3 (default os5-high)\n"
           "      --dither             reduce colours with dithering (default)\n"
           "      --raw                reduce colours to the nearest palette colour\n"
           "      --quality QUALITY    classic (default): as the handheld's own tools do;\n"
           "                           fine: scaled and dithered in linear light, colours\n"
           "                           matched as the eye sees them\n"
           "  -c, --compression MODE   none, scanline or best (default best)\n"
           "      --auto-orient        turn photos upright by their orientation tag (default)\n"
           "      --no-auto-orient     convert the picture as stored\n"
           "      --color-management   convert pictures that carry a colour profile to sRGB\n"
           "                           through it (default)\n"
           "      --no-color-management  read the numbers as sRGB, ignoring any colour profile\n"
           "      --fit SHAPE          stretch (default): the whole picture fills the image area;\n"
           "                           pad: the whole picture, its shape kept, with borders;\n"
           "                           crop: the image area filled, its shape kept, the rest cut off\n"
           "      --background COLOUR  border colour for --fit pad: #rrggbb or a basic colour name\n"
           "                           (default black)\n"
           "      --gravity GRAVITY    the part --fit crop keeps: center (default), north, south,\n"
           "                           east, west, northeast, northwest, southeast, southwest,\n"
           "                           or smart: the part that draws the eye\n"
           "      --crop-box X,Y,W,H   convert only this part of the upright picture, in pixels\n"
           "      --rotate-to-fill     turn pictures taller than wide a quarter clockwise to fill\n"
           "                           the image area\n"
           "  -f, --force              replace existing databases (with --extract and --preview:\n"
           "                           existing PNGs); no other file is ever replaced\n"
           "  -q, --quiet              say nothing but errors\n"
           "  -v, --verbose            also log each conversion's steps and the part a crop kept\n"
           "  -j, --jobs N             convert N pictures at a time (default: one per core)\n"
           "      --outdir DIR         write each INPUT's database into DIR\n"
           "      --preview FILE.png   also write a PNG of what the handheld will show\n"
           "      --info               describe Palm image databases and bitmaps\n"
           "      --extract            write what the viewer shows of a Palm image file as PNG\n"
           "      --density DENSITY    with --extract: low, high (default), 72, 108, 144, 216 or 288\n"
           "  -h, --help               this text\n"
           "      --version            the program's version\n"
           "\n"
           "Without OUTPUT the database is the input's file name up to its first \".\" plus\n"
           "\".pdb\", in the current folder.\n"
           "\n"
           "Each database written is reported on one line: its name, size and images.\n"
           "\n"
           "Pictures read, known by their contents (the usual suffixes in brackets):\n" +
           pictureKindsText() +
           "\n"
           "Exit status: 0 all converted (or read), 1 a conversion failed or was skipped (or a\n"
           "file could not be read), 2 usage error.\n";
}
