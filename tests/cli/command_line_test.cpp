#include "cli/command_line.h"
#include "engine/batch_runner.h"

#include <gtest/gtest.h>

namespace {

CommandLineOptions parseOk(const std::vector<std::string>& arguments) {
    const CommandLineResult result = parseCommandLine(arguments);
    EXPECT_TRUE(result.options.has_value()) << result.error;
    return result.options.value_or(CommandLineOptions{});
}

std::string parseError(const std::vector<std::string>& arguments) {
    const CommandLineResult result = parseCommandLine(arguments);
    EXPECT_FALSE(result.options.has_value());
    return result.error;
}

}  // namespace

TEST(CommandLine, DefaultsMatchTheApplicationsFirstStart) {
    const auto options = parseOk({"photo.jpg"});
    EXPECT_EQ(options.conversion.depth, kEightBits);
    EXPECT_EQ(options.conversion.destination, kPalmOs5HighRes);
    EXPECT_EQ(options.conversion.reduction, ColorReduction::kDithering);
    EXPECT_EQ(options.conversion.compression, kCompressionMostEfficient);
    EXPECT_FALSE(options.force);
    EXPECT_FALSE(options.quiet);
    EXPECT_EQ(options.inputs, std::vector<std::string>{"photo.jpg"});
    EXPECT_TRUE(options.outputPath.empty());
}

TEST(CommandLine, EveryOptionInShortAndLongForm) {
    auto options = parseOk({"-n", "Holiday", "-d", "4", "-t", "os3", "--raw", "-c", "scanline", "-f", "-q",
                            "-j", "3", "--preview", "p.png", "in.bmp", "out.pdb"});
    EXPECT_EQ(options.imageName, "Holiday");
    EXPECT_EQ(options.conversion.depth, kFourBits);
    EXPECT_EQ(options.conversion.destination, kPalmOs3Or4);
    EXPECT_EQ(options.conversion.reduction, ColorReduction::kRaw);
    EXPECT_EQ(options.conversion.compression, kCompressionScanline);
    EXPECT_TRUE(options.force);
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.jobs, 3);
    EXPECT_EQ(options.previewPath, "p.png");
    EXPECT_EQ(options.outputPath, "out.pdb");

    options = parseOk({"--name=Sea", "--depth", "2", "--target=combined", "--raw", "--dither",
                       "--compression=none", "--force", "--quiet", "in.bmp"});
    EXPECT_EQ(options.imageName, "Sea");
    EXPECT_EQ(options.conversion.depth, kTwoBits);
    EXPECT_EQ(options.conversion.destination, kPalmOs3To5Combined);
    EXPECT_EQ(options.conversion.reduction, ColorReduction::kDithering);
    EXPECT_EQ(options.conversion.compression, kCompressionNone);
}

TEST(CommandLine, TargetsByNameOrNumber) {
    const char* names[] = {"os3", "os5-low", "os5-high", "combined"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(parseOk({"-t", names[i], "a.bmp"}).conversion.destination, i);
        EXPECT_EQ(parseOk({"-t", std::to_string(i), "a.bmp"}).conversion.destination, i);
    }
    EXPECT_EQ(parseOk({"-c", "best", "a.bmp"}).conversion.compression, kCompressionMostEfficient);
    EXPECT_EQ(parseOk({"-c", "99", "a.bmp"}).conversion.compression, kCompressionMostEfficient);
    EXPECT_EQ(parseOk({"a.bmp"}).conversion.quality, PictureQuality::kClassic);
    EXPECT_EQ(parseOk({"--quality", "fine", "a.bmp"}).conversion.quality, PictureQuality::kFine);
    EXPECT_EQ(parseOk({"--quality=classic", "a.bmp"}).conversion.quality, PictureQuality::kClassic);
}

TEST(CommandLine, UsageErrorsAreRefused) {
    EXPECT_NE(parseError({}).find("no input"), std::string::npos);
    EXPECT_NE(parseError({"-d", "3", "a.bmp"}).find("depth"), std::string::npos);
    EXPECT_NE(parseError({"-t", "os6", "a.bmp"}).find("target"), std::string::npos);
    EXPECT_NE(parseError({"-t", "4", "a.bmp"}).find("target"), std::string::npos);
    EXPECT_NE(parseError({"-c", "zip", "a.bmp"}).find("compression"), std::string::npos);
    EXPECT_NE(parseError({"--quality", "best", "a.bmp"}).find("quality"), std::string::npos);
    EXPECT_NE(parseError({"--bogus", "a.bmp"}).find("unknown option"), std::string::npos);
    EXPECT_NE(parseError({"a.bmp", "b.pdb", "c.pdb"}).find("too many"), std::string::npos);
    EXPECT_NE(parseError({"a.bmp", "-n"}).find("needs"), std::string::npos);
    EXPECT_NE(parseError({"-j", "0", "a.bmp"}).find("jobs"), std::string::npos);
    EXPECT_NE(parseError({"--outdir", "d", "--preview", "p.png", "a.bmp", "b.bmp"}).find("exactly one"),
              std::string::npos);
}

TEST(CommandLine, OrientationAndFramingOptions) {
    const auto defaults = parseOk({"a.jpg"});
    EXPECT_TRUE(defaults.conversion.autoOrient);
    EXPECT_EQ(defaults.conversion.fit, PictureFit::Stretch);
    EXPECT_EQ(defaults.conversion.background, (PaletteEntry{0, 0, 0, 255}));
    EXPECT_FALSE(parseOk({"--no-auto-orient", "a.jpg"}).conversion.autoOrient);
    EXPECT_TRUE(parseOk({"--no-auto-orient", "--auto-orient", "a.jpg"}).conversion.autoOrient);
    EXPECT_TRUE(parseOk({"a.jpg"}).conversion.colorManage);
    EXPECT_FALSE(parseOk({"--no-color-management", "a.jpg"}).conversion.colorManage);
    EXPECT_TRUE(parseOk({"--no-color-management", "--color-management", "a.jpg"}).conversion.colorManage);
    EXPECT_EQ(parseOk({"--fit", "pad", "a.jpg"}).conversion.fit, PictureFit::Pad);
    EXPECT_EQ(parseOk({"--fit=crop", "a.jpg"}).conversion.fit, PictureFit::Crop);
    const struct {
        const char* text;
        PaletteEntry color;
    } colors[] = {{"#1a2B3c", {0x3C, 0x2B, 0x1A, 255}}, {"Navy", {0x80, 0, 0, 255}},
                  {"grey", {0x80, 0x80, 0x80, 255}},    {"gray", {0x80, 0x80, 0x80, 255}},
                  {"fuchsia", {0xFF, 0, 0xFF, 255}},    {"silver", {0xC0, 0xC0, 0xC0, 255}}};
    for (const auto& c : colors)
        EXPECT_EQ(parseOk({"--background", c.text, "a.jpg"}).conversion.background, c.color) << c.text;
    EXPECT_NE(parseError({"--fit", "zoom", "a.jpg"}).find("fit"), std::string::npos);
    for (const char* bad : {"#12345", "#12345g", "orange", "", "123456"})
        EXPECT_NE(parseError({"--background", bad, "a.jpg"}).find("colour"), std::string::npos) << bad;
    EXPECT_NE(parseError({"--no-auto-orient=1", "a.jpg"}).find("unknown option"), std::string::npos);
}

TEST(CommandLine, TheLaterOfQuietAndVerboseCounts) {
    const struct {
        std::vector<std::string> arguments;
        bool quiet, verbose;
    } cases[] = {
        {{"a.bmp"}, false, false},
        {{"-v", "a.bmp"}, false, true},
        {{"--verb", "a.bmp"}, false, true},
        {{"-qv", "a.bmp"}, false, true},
        {{"-v", "-q", "a.bmp"}, true, false},
    };
    for (const auto& test : cases) {
        const CommandLineOptions options = parseOk(test.arguments);
        EXPECT_EQ(options.quiet, test.quiet) << test.arguments.front();
        EXPECT_EQ(options.verbose, test.verbose) << test.arguments.front();
    }
}

TEST(CommandLine, GravityCropBoxAndTurningChooseThePartKept) {
    const auto defaults = parseOk({"a.jpg"}).conversion;
    EXPECT_EQ(defaults.gravity, CropGravity::Center);
    EXPECT_TRUE(defaults.cropBox.IsEmpty());
    EXPECT_FALSE(defaults.rotateToFill);
    EXPECT_EQ(parseOk({"--fit", "crop", "--gravity", "southwest", "a.jpg"}).conversion.gravity,
              CropGravity::SouthWest);
    EXPECT_EQ(parseOk({"--gravity=smart", "--fit=crop", "a.jpg"}).conversion.gravity, CropGravity::Smart);
    EXPECT_EQ(parseOk({"--crop-box", "0,12,300,2", "a.jpg"}).conversion.cropBox, (PixelRect{0, 12, 300, 2}));
    EXPECT_TRUE(parseOk({"--rotate-to-fill", "a.jpg"}).conversion.rotateToFill);
    EXPECT_NE(parseError({"--gravity", "north", "a.jpg"}).find("--fit crop"), std::string::npos);
    EXPECT_NE(parseError({"--fit", "crop", "--gravity", "up", "a.jpg"}).find("gravity"), std::string::npos);
    for (const char* bad : {"1,2,3", "1,2,3,0", "-1,2,3,4", "1,2,3,4,", " 1,2,3,4", "1,2,3,99999999999", ""})
        EXPECT_NE(parseError({"--crop-box", bad, "a.jpg"}).find("crop box"), std::string::npos) << bad;
}

TEST(CommandLine, ImageNameHasOneToThirtyOneBytes) {
    EXPECT_EQ(parseOk({"-n", std::string(31, 'x'), "a.bmp"}).imageName.size(), 31u);
    EXPECT_NE(parseError({"-n", std::string(32, 'x'), "a.bmp"}).find("31"), std::string::npos);
    EXPECT_NE(parseError({"-n", "", "a.bmp"}).find("empty"), std::string::npos);
}

TEST(CommandLine, BatchModeTakesEveryInput) {
    const auto options = parseOk({"--outdir", "out", "a.bmp", "b.png", "c.gif"});
    EXPECT_EQ(options.outputDirectory, "out");
    EXPECT_EQ(options.inputs.size(), 3u);
}

TEST(CommandLine, DoubleDashEndsOptions) {
    const auto options = parseOk({"--", "-odd name.bmp"});
    EXPECT_EQ(options.inputs, std::vector<std::string>{"-odd name.bmp"});
}

TEST(CommandLine, NamesDerivedFromTheInputFile) {
    EXPECT_EQ(fileStem("/pictures/holiday.large.jpg"), "holiday");
    EXPECT_EQ(fileStem("noextension"), "noextension");
    EXPECT_EQ(defaultBatchImageName("/x/" + std::string(40, 'a') + ".bmp"), std::string(31, 'a'));
    EXPECT_EQ(defaultBatchImageName("/x/.hidden"), kDefaultImageName);
}

TEST(CommandLine, ReadingModesTakeOnlyTheirOwnArguments) {
    auto options = parseOk({"--info", "a.pdb", "b.pdb"});
    EXPECT_EQ(options.mode, CommandMode::Info);
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"a.pdb", "b.pdb"}));
    options = parseOk({"--extract", "a.pdb", "a.png", "--density", "144"});
    EXPECT_EQ(options.mode, CommandMode::Extract);
    EXPECT_EQ(options.inputs, std::vector<std::string>{"a.pdb"});
    EXPECT_EQ(options.outputPath, "a.png");
    EXPECT_EQ(options.density, 144);
    EXPECT_EQ(parseOk({"--extract", "--density=low", "a.pdb", "a.png"}).density, 72);

    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"--info"}, "at least one file"},
        {{"--info", "--extract", "a.pdb", "a.png"}, "cannot be combined"},
        {{"--info", "-d", "4", "a.pdb"}, "--info cannot be combined with -d"},
        {{"--extract", "a.pdb", "a.png", "--preview", "p.png"},
         "--extract cannot be combined with --preview"},
        {{"--extract", "a.pdb"}, "exactly a file and an output"},
        {{"--extract", "a.pdb", "a.png", "b.png"}, "exactly a file and an output"},
        {{"--extract", "a.pdb", "a.png", "--density", "100"}, "unknown density"},
        {{"--density", "high", "a.bmp"}, "only with --extract"},
    };
    for (const auto& [arguments, error] : refused)
        EXPECT_NE(parseError(arguments).find(error), std::string::npos) << error;
}

// The forms every GNU tool accepts, also where POSIXLY_CORRECT asks getopt to
// stop at the first file name.
TEST(CommandLine, GnuOptionFormsWithAndWithoutPosixlyCorrect) {
    for (const bool posixlyCorrect : {false, true}) {
        SCOPED_TRACE(posixlyCorrect ? "POSIXLY_CORRECT" : "GNU order");
        if (posixlyCorrect) setenv("POSIXLY_CORRECT", "1", 1);
        auto options = parseOk(
            {"-qf", "-d8", "--dep", "4", "-nSea", "--comp=scanline", "a.bmp", "-t", "0", "out.pdb", "--raw"});
        EXPECT_TRUE(options.quiet);
        EXPECT_TRUE(options.force);
        EXPECT_EQ(options.conversion.depth, kFourBits);
        EXPECT_EQ(options.imageName, "Sea");
        EXPECT_EQ(options.conversion.compression, kCompressionScanline);
        EXPECT_EQ(options.conversion.destination, kPalmOs3Or4);
        EXPECT_EQ(options.conversion.reduction, ColorReduction::kRaw);
        EXPECT_EQ(options.inputs, std::vector<std::string>{"a.bmp"});
        EXPECT_EQ(options.outputPath, "out.pdb");
        EXPECT_EQ(parseOk({"-", "--", "-q"}).inputs, std::vector<std::string>{"-"});
        EXPECT_EQ(parseOk({"-", "--", "-q"}).outputPath, "-q");
        options = parseOk({"--ext", "a.pdb", "--dens=low", "a.png"});
        EXPECT_EQ(options.mode, CommandMode::Extract);
        EXPECT_EQ(options.density, 72);
        EXPECT_EQ(options.outputPath, "a.png");

        const struct {
            std::vector<std::string> arguments;
            const char* message;
        } refused[] = {
            {{"-qx", "a.bmp"}, "unknown option '-x'"},
            {{"--d", "4", "a.bmp"},
             "option '--d' is ambiguous; possibilities: '--depth' '--dither' '--density'"},
            {{"--co=none", "a.bmp"},
             "option '--co' is ambiguous; possibilities: '--compression' '--color-management'"},
            {{"--ver", "a.bmp"}, "option '--ver' is ambiguous; possibilities: '--verbose' '--version'"},
            {{"--force=yes", "a.bmp"}, "unknown option '--force=yes'"},
            {{"a.bmp", "--na"}, "option --name needs a name"},
            {{"a.bmp", "-qn"}, "option -n needs a name"},
            {{"--outdir=", "a.bmp"}, "option --outdir needs a folder"},
            {{"--inf", "a.pdb", "-qf"}, "--info cannot be combined with -q"},
            {{"--info", "a.pdb", "--dep=4"}, "--info cannot be combined with --depth"},
            {{"--extract", "a.pdb", "a.png", "--density"}, "option --density needs a density"},
        };
        for (const auto& c : refused) EXPECT_EQ(parseError(c.arguments), c.message);
        unsetenv("POSIXLY_CORRECT");
    }
}

TEST(CommandLine, ImageNamesAreStoredInThePalmCharacterSet) {
    EXPECT_EQ(parseOk({"-n", "\u201cCaf\u00e9\u201d \u2013 5\u20ac\u2026", "a.bmp"}).imageName,
              "\x93"
              "Caf\xe9\x94 \x96 5\x80\x85");
    std::string euros;
    for (int i = 0; i < 31; ++i) euros += "\u20ac";
    EXPECT_EQ(parseOk({"-n", euros, "a.bmp"}).imageName, std::string(31, '\x80'));
    EXPECT_NE(parseError({"-n", euros + "x", "a.bmp"}).find("31"), std::string::npos);
    EXPECT_EQ(parseError({"-n", "\u0141\u00f3d\u017a", "a.bmp"}),
              "the image name contains the character '\u0141', which Palm handhelds cannot show");
    EXPECT_EQ(parseError({"-n", "a\nb", "a.bmp"}),
              "the image name contains the character U+000A, which Palm handhelds cannot show");

    // Names made from file names take "_" for what the set cannot hold and
    // are cut at 31 bytes, never inside a character.
    std::string accents;
    for (int i = 0; i < 40; ++i) accents += "\u00e9";
    EXPECT_EQ(defaultBatchImageName("/x/" + accents + ".bmp"), std::string(31, '\xe9'));
    EXPECT_EQ(defaultBatchImageName("/x/\u0141\u00f3d\u017a.jpg"),
              "_\xf3"
              "d_");
}
