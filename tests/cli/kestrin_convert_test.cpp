#include "convert_runner.h"
#include "engine/palm_database_reader.h"
#include "imagelib/byte_order.h"
#include "support/image_writers.h"
#include "support/test_support.h"
#include "support/tiff_gif_writers.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using testsupport::ByteWriter;
using testsupport::ReadFileBytes;
using testsupport::TemporaryFolder;
using testsupport::WriteFileBytes;

namespace {

std::vector<std::uint8_t> makeBmp(int width, int height) {
    return testsupport::MakeBmp24(width, height, [&](int x, int y) {
        return testsupport::Bgr{static_cast<std::uint8_t>(x * 9),
                                static_cast<std::uint8_t>((height - 1 - y) * 11), 200};
    });
}

class KestrinConvert : public ::testing::Test {
protected:
    // Runs kestrin-convert in the test's folder with the given arguments.
    RunResult run(const std::vector<std::string>& arguments) {
        return runKestrinConvert(folder.path(), arguments);
    }

    std::string path(const std::string& name) const { return (folder / name).string(); }

    TemporaryFolder folder;
};

}  // namespace

TEST_F(KestrinConvert, ConvertsOnePictureNextToTheCurrentFolder) {
    WriteFileBytes(path("holiday.photo.bmp"), makeBmp(20, 10));
    const RunResult result = run({"holiday.photo.bmp"});
    EXPECT_EQ(result.status, 0) << result.errors;
    const auto database = readPalmDatabaseFile(path("holiday.pdb"));
    EXPECT_EQ(database.name, "My vexmoor image");
    ASSERT_EQ(database.resources.size(), 2u);  // high-res by default
    // One line for the database; the steps only when asked for.
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(result.output.rfind("holiday.pdb: ", 0), 0u) << result.output;
    EXPECT_NE(result.output.find(" bytes, 160x110 8-bit and 320x220 8-bit images\n"), std::string::npos);
    EXPECT_NE(run({"-v", "-f", "holiday.photo.bmp"}).errors.find("Creating image..."), std::string::npos);
}

TEST_F(KestrinConvert, EveryOptionReachesTheDatabase) {
    WriteFileBytes(path("a.bmp"), makeBmp(20, 10));
    const RunResult result =
        run({"-q", "-n", "Tiny", "-d", "2", "-t", "os5-low", "--raw", "-c", "scanline", "a.bmp", "b.pdb"});
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_TRUE(result.errors.empty()) << result.errors;
    const auto database = readPalmDatabaseFile(path("b.pdb"));
    EXPECT_EQ(database.name, "Tiny");
    ASSERT_EQ(database.resources.size(), 1u);
    ASSERT_EQ(database.resources[0].bitmaps.size(), 1u);
    const auto& bitmap = database.resources[0].bitmaps[0];
    EXPECT_EQ(bitmap.pixelSize, 2);
    EXPECT_TRUE(bitmap.littleEndian);
    EXPECT_TRUE(bitmap.compressed);
}

TEST_F(KestrinConvert, AnExistingDatabaseIsKeptWithoutForce) {
    WriteFileBytes(path("a.bmp"), makeBmp(8, 8));
    ASSERT_EQ(run({"-q", "-n", "Old", "a.bmp"}).status, 0);
    RunResult result = run({"a.bmp"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.errors, "kestrin-convert: a.pdb: already exists; use --force to replace it\n");
    EXPECT_EQ(readPalmDatabaseFile(path("a.pdb")).name, "Old");
    result = run({"-f", "-n", "New", "a.bmp"});
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(readPalmDatabaseFile(path("a.pdb")).name, "New");
}

// "kestrin-convert a.jpg b.jpg", and --force after it, must not turn the
// second photo into a database; nothing but a Palm database is ever replaced,
// PNGs of --extract and --preview only with --force.
TEST_F(KestrinConvert, OnlyADatabaseIsEverReplacedAndOnlyWithForce) {
    WriteFileBytes(path("a.bmp"), makeBmp(8, 8));
    ASSERT_EQ(run({"-q", "a.bmp", "db.pdb"}).status, 0);
    const std::vector<std::uint8_t> photo = makeBmp(4, 4), text{'h', 'i', '\n'};
    const std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0};
    std::filesystem::create_directory(path("folder"));
    const struct {
        std::vector<std::string> arguments;
        const char* name;                   // what is there before, and what is looked at after
        std::vector<std::uint8_t> content;  // written at the name first
        int status;
        const char* said;  // the start of standard error
        bool replaced;
    } cases[] = {
        {{"a.bmp", "b.bmp"},
         "b.bmp",
         photo,
         2,
         "kestrin-convert: b.bmp: names a picture, not a database; "
         "to convert several pictures, use --outdir DIR",
         false},
        {{"-f", "a.bmp", "b.bmp"}, "b.bmp", photo, 2, "kestrin-convert: b.bmp: names a picture", false},
        {{"a.bmp", "new.jpg"}, "", {}, 2, "kestrin-convert: new.jpg: names a picture", false},
        {{"-f", "a.bmp", "notes"},
         "notes",
         text,
         2,
         "kestrin-convert: notes: exists and is not a Palm database;",
         false},
        {{"a.bmp", "folder"},
         "",
         {},
         2,
         "kestrin-convert: folder: is a folder; to write the database into it",
         false},
        {{"-f", "--outdir", ".", "a.bmp"},
         "a.pdb",
         text,
         1,
         "kestrin-convert: ./a.pdb: exists and is not a Palm database, so it is not replaced\n",
         false},
        {{"--extract", "db.pdb", "c.bmp"},
         "c.bmp",
         photo,
         1,
         "kestrin-convert: c.bmp: exists and is not a PNG picture, so it is not replaced\n",
         false},
        {{"-f", "--extract", "db.pdb", "c.bmp"},
         "c.bmp",
         photo,
         1,
         "kestrin-convert: c.bmp: exists and is not",
         false},
        {{"--extract", "db.pdb", "c.png"},
         "c.png",
         png,
         1,
         "kestrin-convert: c.png: already exists (use --force to replace it)\n",
         false},
        {{"-f", "--extract", "db.pdb", "c.png"}, "c.png", png, 0, "", true},
        {{"-f", "--preview", "c.bmp", "a.bmp", "p.pdb"},
         "c.bmp",
         photo,
         1,
         "kestrin-convert: c.bmp: exists and is not a PNG picture",
         false},
        {{"--preview", "c.png", "a.bmp", "p.pdb"},
         "c.png",
         png,
         1,
         "kestrin-convert: c.png: already exists",
         false},
        {{"-q", "-f", "--preview", "c.png", "a.bmp", "p.pdb"}, "c.png", png, 0, "", true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments.back() + " " + test.arguments[1]);
        std::filesystem::remove(path("p.pdb"));
        if (*test.name != '\0') WriteFileBytes(path(test.name), test.content);
        const RunResult result = run(test.arguments);
        EXPECT_EQ(result.status, test.status);
        EXPECT_EQ(result.errors.rfind(test.said, 0), 0u) << result.errors;
        if (*test.name != '\0') {
            EXPECT_EQ(ReadFileBytes(path(test.name)) != test.content, test.replaced);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(path("new.jpg")));
}

// Errors are one line each, "kestrin-convert: FILE: reason", with the
// system's reason where there is one.
TEST_F(KestrinConvert, ErrorsNameTheFileAndTheReason) {
    WriteFileBytes(path("a.bmp"), makeBmp(8, 8));
    WriteFileBytes(path("notes.txt"), {'h', 'i', '\n'});
    WriteFileBytes(path("empty.bmp"), {});
    std::filesystem::create_directory(path("folder"));
    const struct {
        std::vector<std::string> arguments;
        const char* said;
    } cases[] = {
        {{"missing.bmp"}, "kestrin-convert: missing.bmp: No such file or directory\n"},
        {{"folder"}, "kestrin-convert: folder: Is a directory\n"},
        {{"notes.txt"}, "kestrin-convert: notes.txt: not a picture Kestrin reads\n"},
        {{"empty.bmp"}, "kestrin-convert: empty.bmp: the file is empty\n"},
        {{"a.bmp", "gone/x.pdb"}, "kestrin-convert: gone/x.pdb: No such file or directory\n"},
        {{"--outdir", "missing", "a.bmp"},
         "kestrin-convert: missing: No such file or directory\n"
         "Try 'kestrin-convert --help' for more information.\n"},
        {{"--d", "4", "a.bmp"},
         "kestrin-convert: option '--d' is ambiguous; possibilities: '--depth' '--dither' '--density'\n"
         "Try 'kestrin-convert --help' for more information.\n"},
    };
    for (const auto& test : cases) {
        const RunResult result = run(test.arguments);
        EXPECT_EQ(result.errors, test.said);
        EXPECT_EQ(result.output, "");
        EXPECT_NE(result.status, 0);
    }
    // Only a hidden temporary file was ever there to delete.
    const RunResult logged = run({"-v", "missing.bmp"});
    EXPECT_NE(logged.errors.find("Creating image...\nkestrin-convert: missing.bmp: No such"),
              std::string::npos);
    EXPECT_EQ(logged.errors.find("Deleting"), std::string::npos) << logged.errors;
    // The formats named by the reason for a file that is not a picture.
    EXPECT_NE(run({"--help"}).output.find("Portable Network Graphics (.png)"), std::string::npos);
}

TEST_F(KestrinConvert, UsageErrorsExitWithTwo) {
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"-d", "5", "a.bmp"}).status, 2);
    EXPECT_EQ(run({"-n", std::string(32, 'n'), "a.bmp"}).status, 2);
    EXPECT_EQ(run({"-t", "palm", "a.bmp"}).status, 2);
    EXPECT_EQ(run({"--outdir", "missing-folder", "a.bmp"}).status, 2);
    EXPECT_EQ(run({"--help"}).status, 0);
    EXPECT_EQ(run({"--version"}).status, 0);
}

TEST_F(KestrinConvert, ABatchConvertsTheGoodPicturesAndReportsTheBadOne) {
    std::filesystem::create_directory(path("out"));
    WriteFileBytes(path("one.bmp"), makeBmp(12, 9));
    WriteFileBytes(path("two.bmp"), makeBmp(9, 12));
    WriteFileBytes(path("broken.bmp"), {'B', 'M', 1, 2, 3});
    const RunResult result = run({"-j", "2", "--outdir", "out", "one.bmp", "broken.bmp", "two.bmp"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(readPalmDatabaseFile(path("out/one.pdb")).name, "one");
    EXPECT_EQ(readPalmDatabaseFile(path("out/two.pdb")).name, "two");
    EXPECT_FALSE(std::filesystem::exists(path("out/broken.pdb")));
    EXPECT_NE(result.errors.find("kestrin-convert: broken.bmp: "), std::string::npos) << result.errors;
    EXPECT_NE(result.output.find("out/one.pdb: "), std::string::npos) << result.output;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("out")),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(KestrinConvert, APreviewShowsTheWholePictureAtEveryDensity) {
    WriteFileBytes(path("a.bmp"), makeBmp(16, 16));
    struct Case {
        const char* target;
        std::uint32_t width, height;
    };
    const Case cases[] = {
        {"combined", 160, 110},            // what the newer devices show: the "abmp" picture
        {"os5-high", 160 + 8 + 320, 220},  // both halves, at both densities side by side
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.target);
        const RunResult result = run({"-f", "-t", test.target, "--preview", "a.png", "a.bmp"});
        EXPECT_EQ(result.status, 0) << result.errors;
        const auto png = ReadFileBytes(path("a.png"));
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png[1], 'P');
        EXPECT_EQ(ReadBE32(png.data() + 16), test.width);
        EXPECT_EQ(ReadBE32(png.data() + 20), test.height);
    }
}

TEST_F(KestrinConvert, ReadsItsDatabasesBack) {
    WriteFileBytes(path("a.bmp"), makeBmp(16, 16));
    ASSERT_EQ(run({"-q", "-t", "os5-high", "a.bmp", "a.pdb"}).status, 0);
    WriteFileBytes(path("broken.pdb"), {1, 2, 3});
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::uint32_t width, height;  // of x.png, 0 when there is none
    };
    const Case cases[] = {
        {{"--info", "a.pdb"}, 0, 0, 0},
        {{"--info", "a.pdb", "broken.pdb"}, 1, 0, 0},
        {{"--extract", "a.pdb", "x.png"}, 0, 320, 220},
        {{"--extract", "a.pdb", "x.png", "--density", "low"}, 0, 160, 110},
        {{"--extract", "a.pdb", "x.png", "--density", "216"}, 1, 0, 0},
        {{"--extract", "broken.pdb", "x.png"}, 1, 0, 0},
        {{"--extract", "a.pdb", "x.png", "-f"}, 0, 320, 220},
        {{"--extract", "a.pdb", "x.png", "-v"}, 2, 0, 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.arguments.front() + " " + test.arguments.back());
        std::filesystem::remove(path("x.png"));
        EXPECT_EQ(run(test.arguments).status, test.status);
        const auto png = std::filesystem::exists(path("x.png")) ? ReadFileBytes(path("x.png"))
                                                                : std::vector<std::uint8_t>(24);
        ASSERT_GE(png.size(), 24u);
        EXPECT_EQ(ReadBE32(png.data() + 16), test.width);
        EXPECT_EQ(ReadBE32(png.data() + 20), test.height);
    }
}

TEST_F(KestrinConvert, BadInputNeverCrashesIt) {
    const std::vector<std::vector<std::uint8_t>> inputs = {
        {}, {'B', 'M'}, {0xFF, 0xD8, 0xFF}, {0x89, 'P', 'N', 'G'}, std::vector<std::uint8_t>(600, 0xFF)};
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string name = "bad" + std::to_string(i) + ".bin";
        WriteFileBytes(path(name), inputs[i]);
        const RunResult result = run({"-q", name, "bad.pdb"});
        EXPECT_EQ(result.status, 1) << name << ": " << result.errors;
        EXPECT_EQ(result.errors.rfind("kestrin-convert: " + name + ": ", 0), 0u);
        EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1);
        EXPECT_FALSE(std::filesystem::exists(path("bad.pdb")));
    }
}

// What a person is told about a picture: nothing with -q when it converts;
// otherwise each message of the picture's libraries once, with its count, a
// picture cut off by the rows it lacks, and one over the size limit by its
// size.
TEST_F(KestrinConvert, MessagesSayWhatBecameOfThePicture) {
    testsupport::GifPicture gif;
    gif.width = 2;
    gif.globalMap = {{0, 0, 0}, {255, 255, 255}};
    testsupport::GifImage image;
    image.width = 2;
    image.pixels = {0, 1};
    gif.images.push_back(image);
    std::vector<std::uint8_t> strayBytes = testsupport::WriteGif(gif);
    strayBytes.insert(strayBytes.end() - 1, 30, 0x42);
    std::vector<std::uint8_t> huge = testsupport::WriteGif(gif);
    for (std::size_t offset : {6, 8}) {
        huge[offset] = 17000 & 0xFF;
        huge[offset + 1] = 17000 >> 8;
    }
    WriteFileBytes(path("stray.gif"), strayBytes);
    WriteFileBytes(path("huge.gif"), huge);
    WriteFileBytes(path("cut.jpg"), testsupport::CutOffJpeg());

    const struct {
        std::vector<std::string> arguments;
        int status;
        std::vector<std::string> said;  // each exactly once; nothing at all when empty
    } cases[] = {
        {{"-q", "stray.gif"}, 0, {}},
        {{"-q", "cut.jpg"}, 0, {}},
        {{"stray.gif"}, 0, {"stray.gif: GIF-LIB error: Wrong record type detected. (repeated 30 times)\n"}},
        {{"cut.jpg"},
         0,
         {"cut.jpg: Premature end of JPEG file\n", "cut.jpg: the picture ends early: rows ",
          " to 256 are missing\n"}},
        {{"-q", "huge.gif"},
         1,
         {"kestrin-convert: huge.gif: picture of 17000 x 17000 pixels is over the limit of 268 "
          "megapixels\n"}},
    };
    for (const auto& entry : cases) {
        std::vector<std::string> arguments = entry.arguments;
        arguments.insert(arguments.begin(), "--force");
        const RunResult result = run(arguments);
        SCOPED_TRACE(arguments.back() + ": " + result.errors);
        EXPECT_EQ(result.status, entry.status);
        if (entry.said.empty()) {
            EXPECT_EQ(result.errors, "");
        }
        for (const std::string& text : entry.said) {
            const std::size_t first = result.errors.find(text);
            EXPECT_NE(first, std::string::npos) << text;
            EXPECT_EQ(result.errors.find(text, first + 1), std::string::npos) << text;
        }
    }
}
