#include "cli/command_line.h"

#include "cli/palm_file_commands.h"
#include "engine/picture_layout.h"

#include <charconv>
#include <cstring>

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
constexpr NamedChoice<CompressionMode> kCompressions[] = {
    {"none", kCompressionNone}, {"scanline", kCompressionScanline}, {"best", kCompressionMostEfficient}};

CommandLineResult usageError(const std::string& text) {
    return {std::nullopt, text};
}

}  // namespace

std::string fileStem(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find('.'));
}

std::string defaultBatchImageName(const std::string& inputPath) {
    const std::string stem = fileStem(inputPath);
    return stem.empty() ? kDefaultImageName : stem.substr(0, kMaxImageNameLength);
}

CommandLineResult parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLineOptions options;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    bool info = false, extract = false, densityGiven = false;
    // The option that belongs to converting, if any: the reading modes take none.
    std::string conversionOption;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" is the same as "--name value".
        std::optional<std::string> inlineValue;
        if (argument.rfind("--", 0) == 0) {
            const auto equals = argument.find('=');
            if (equals != std::string::npos) {
                inlineValue = argument.substr(equals + 1);
                argument = argument.substr(0, equals);
            }
        }
        auto takeValue = [&](std::string& value) -> bool {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size()) return false;
            value = arguments[++i];
            return true;
        };
        auto flagOnly = [&]() { return !inlineValue.has_value(); };
        std::string value;

        if (argument == "-h" || argument == "--help") {
            options.showHelp = true;
        } else if (argument == "--version") {
            options.showVersion = true;
        } else if (argument == "--info" && flagOnly()) {
            info = true;
        } else if (argument == "--extract" && flagOnly()) {
            extract = true;
        } else if (argument == "--density") {
            if (!takeValue(value)) return usageError("option --density needs a density");
            const auto density = parseDensity(value);
            if (!density) return usageError("unknown density '" + value + "' (use low, high, 72, 108, 144, 216 or 288)");
            options.density = *density;
            densityGiven = true;
        } else if (argument == "-n" || argument == "--name") {
            if (!takeValue(value)) return usageError("option " + argument + " needs a name");
            if (value.empty()) return usageError("the image name must not be empty");
            if (value.size() > kMaxImageNameLength)
                return usageError("the image name may have at most 31 characters");
            options.imageName = value;
            options.imageNameGiven = true;
        } else if (argument == "-d" || argument == "--depth") {
            if (!takeValue(value)) return usageError("option " + argument + " needs a depth");
            int depth = 0;
            if (!parseInteger(value, depth) ||
                (depth != kOneBit && depth != kTwoBits && depth != kFourBits && depth != kEightBits))
                return usageError("unknown depth '" + value + "' (use 1, 2, 4 or 8)");
            options.conversion.depth = static_cast<ColourDepth>(depth);
        } else if (argument == "-t" || argument == "--target") {
            if (!takeValue(value)) return usageError("option " + argument + " needs a target");
            auto target = parseChoice(value, kTargets);
            if (!target)
                return usageError("unknown target '" + value + "' (use os3, os5-low, os5-high or combined)");
            options.conversion.destination = *target;
        } else if (argument == "--dither" && flagOnly()) {
            options.conversion.reduction = ColourReduction::kDithering;
        } else if (argument == "--raw" && flagOnly()) {
            options.conversion.reduction = ColourReduction::kRaw;
        } else if (argument == "-c" || argument == "--compression") {
            if (!takeValue(value)) return usageError("option " + argument + " needs a mode");
            auto compression = parseChoice(value, kCompressions);
            if (!compression)
                return usageError("unknown compression '" + value + "' (use none, scanline or best)");
            options.conversion.compression = *compression;
        } else if (argument == "--auto-orient" && flagOnly()) {
            options.conversion.autoOrient = true;
        } else if (argument == "--no-auto-orient" && flagOnly()) {
            options.conversion.autoOrient = false;
        } else if (argument == "--fit") {
            if (!takeValue(value)) return usageError("option --fit needs a shape");
            const auto fit = parsePictureFit(value);
            if (!fit) return usageError("unknown fit '" + value + "' (use stretch, pad or crop)");
            options.conversion.fit = *fit;
        } else if (argument == "--background") {
            if (!takeValue(value)) return usageError("option --background needs a colour");
            const auto colour = parseBackgroundColour(value);
            if (!colour)
                return usageError("unknown colour '" + value + "' (use #rrggbb or a basic colour name such as black)");
            options.conversion.background = *colour;
        } else if ((argument == "-f" || argument == "--force") && flagOnly()) {
            options.force = true;
        } else if ((argument == "-q" || argument == "--quiet") && flagOnly()) {
            options.quiet = true;
        } else if (argument == "-j" || argument == "--jobs") {
            if (!takeValue(value)) return usageError("option " + argument + " needs a number");
            int jobs = 0;
            if (!parseInteger(value, jobs) || jobs < 1 || jobs > 256)
                return usageError("the number of jobs must be between 1 and 256");
            options.jobs = jobs;
        } else if (argument == "--outdir") {
            if (!takeValue(value) || value.empty()) return usageError("option --outdir needs a folder");
            options.outputDirectory = value;
        } else if (argument == "--preview") {
            if (!takeValue(value) || value.empty()) return usageError("option --preview needs a file name");
            options.previewPath = value;
        } else {
            return usageError("unknown option '" + arguments[i] + "'");
        }
        if (conversionOption.empty() && argument != "--info" && argument != "--extract" && argument != "--density" &&
            argument != "-h" && argument != "--help" && argument != "--version")
            conversionOption = argument;
    }

    if (options.showHelp || options.showVersion) return {options, {}};

    if (info && extract) return usageError("--info and --extract cannot be combined");
    if (densityGiven && !extract) return usageError("--density works only with --extract");
    if (info || extract) {
        const std::string mode = info ? "--info" : "--extract";
        if (!conversionOption.empty()) return usageError(mode + " cannot be combined with " + conversionOption);
        if (info) {
            if (positional.empty()) return usageError("--info needs at least one file");
            options.mode = CommandMode::Info;
            options.inputs = positional;
        } else {
            if (positional.size() != 2) return usageError("--extract takes exactly a file and an output PNG");
            options.mode = CommandMode::Extract;
            options.inputs = {positional[0]};
            options.outputPath = positional[1];
        }
        return {options, {}};
    }

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
        if (positional.size() == 2) options.outputPath = positional[1];
    }
    return {options, {}};
}

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
           "  -c, --compression MODE   none, scanline or best (default best)\n"
           "      --auto-orient        turn photos upright by their orientation tag (default)\n"
           "      --no-auto-orient     convert the picture as stored\n"
           "      --fit SHAPE          stretch (default): the whole picture fills the image area;\n"
           "                           pad: the whole picture, its shape kept, with borders;\n"
           "                           crop: the image area filled, its shape kept, the rest cut off\n"
           "      --background COLOUR  border colour for --fit pad: #rrggbb or a basic colour name\n"
           "                           (default black)\n"
           "  -f, --force              overwrite existing databases\n"
           "  -q, --quiet              no progress lines\n"
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
           "Exit status: 0 all converted (or read), 1 a conversion failed or was skipped (or a\n"
           "file could not be read), 2 usage error.\n";
}
