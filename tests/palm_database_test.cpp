#include "engine/palm_database.h"

#include "engine/output_file.h"
#include "engine/palm_bitmap.h"
#include "engine/palm_database_reader.h"
#include "engine/pixel_packer.h"
#include "engine/scanline_encoder.h"
#include "imagelib/byte_order.h"
#include "imagelib/image_bitmap.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;
using Pattern = std::function<Rgb(int u, int v)>;

// A test picture is given on a 320 x 220 grid and sampled at any size, so the
// low- and double-density bitmaps show the same scene.
void MakePicture(CDIBBitmap& picture, int width, int height, const Pattern& pattern) {
    picture.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb rgb = pattern(x * 320 / width, y * 220 / height);
            std::uint8_t* pixel = picture.GetRows()[y] + x * 4;
            pixel[0] = static_cast<std::uint8_t>(rgb[2]);
            pixel[1] = static_cast<std::uint8_t>(rgb[1]);
            pixel[2] = static_cast<std::uint8_t>(rgb[0]);
            pixel[3] = 255;
        }
    }
}

Rgb LeftBlackRightWhite(int u, int) {
    return u < 160 ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
}

// Coloured blocks above (rows repeat, so they compress well), noise below.
Rgb BlocksOverNoise(int u, int v) {
    if (v < 110) return {(u / 40) * 36, (v / 22) * 51, ((u / 40 + v / 22) % 2) * 255};
    const unsigned hash = static_cast<unsigned>(u * 7919 + v * 104729) * 2654435761u;
    return {static_cast<int>(hash >> 24), static_cast<int>((hash >> 16) & 255),
            static_cast<int>((hash >> 8) & 255)};
}

class PictureLoader : public BitmapLoader {
public:
    PictureLoader(Pattern pattern, int dither) : m_pattern(std::move(pattern)), m_dither(dither) {}

    bool load(PalmBitmap& bitmap) override {
        if (++loads == failingLoad) return false;
        CDIBBitmap picture;
        MakePicture(picture, bitmap.width(), bitmap.height(), m_pattern);
        return bitmap.loadFromBitmap(picture, m_dither);
    }

    int loads = 0;
    int failingLoad = 0;

private:
    Pattern m_pattern;
    int m_dither;
};

// A database written to a fresh file: the header, then the bitmaps of the plan.
struct WrittenDatabase {
    bool result = false;
    Bytes bytes;
};

WrittenDatabase WriteDatabase(const ConversionSettings& settings, PictureLoader& loader,
                              const std::string& name = "Picture", std::uint32_t date = 0xC0FFEE01) {
    testsupport::TemporaryFolder folder;
    const auto path = folder / "picture.pdb";
    OutputFile file;
    EXPECT_TRUE(file.open(path.string()));
    PalmDatabase::writeHeader(file, name, settings.destination, date);
    WrittenDatabase written;
    written.result = PalmDatabase::writeImages(file, settings, loader);
    file.close();
    written.bytes = testsupport::ReadFileBytes(path);
    return written;
}

Bytes HeaderBytes(const std::string& name, std::uint32_t date,
                  const std::vector<std::pair<std::string, int>>& entries,
                  const std::vector<std::uint32_t>& offsets) {
    testsupport::ByteWriter header;
    header.text(name).fill(32 - name.size(), 0);
    header.be16(1).be16(0).be32(date).be32(date).be32(0).be32(0).be32(0).be32(0).text("pict").text("Vxmr");
    header.be32(0).be32(0).be16(static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        header.text(entries[i].first).be16(static_cast<std::uint32_t>(entries[i].second)).be32(offsets[i]);
    header.be16(0);
    return header.data();
}

// Sets TZ for one test and restores the previous zone afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) m_old = old;
        setenv("TZ", zone, 1);
    }
    ~ScopedTimeZone() {
        if (m_old) {
            setenv("TZ", m_old->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

// ---- Reading a database back, independently of the writer ----

struct ParsedBitmap {
    int version = 0;  // with 128 added for little-endian
    int width = 0, height = 0, rowBytes = 0, depth = 0, density = 0;
    bool compressed = false;
    std::size_t payloadLength = 0;
    Bytes pixels;
};

struct ParsedDatabase {
    int resourceCount = 0;
    std::vector<std::string> types;
    std::vector<int> ids;
    std::vector<std::uint32_t> offsets;
    std::vector<std::vector<ParsedBitmap>> families;
};

void Require(bool condition, const std::string& what) {
    if (!condition) throw std::runtime_error(what);
}

// Undoes scanline compression; `length` receives the block's length field.
Bytes Decompress(const Bytes& file, std::size_t start, std::size_t end, const ParsedBitmap& bitmap,
                 std::size_t& length) {
    const bool littleEndian = bitmap.version >= 128;
    const bool version3 = (bitmap.version & 127) == 3;
    const std::size_t fieldSize = version3 ? 4 : 2;
    Require(start + fieldSize <= end, "length field beyond the resource");
    const std::uint8_t* block = file.data() + start;
    length = version3 ? (littleEndian ? ReadLE32(block) : ReadBE32(block))
                      : (littleEndian ? ReadLE16(block) : ReadBE16(block));
    Require(length % 4 == 0 && start + length <= end, "bad block length " + std::to_string(length));
    Bytes pixels(static_cast<std::size_t>(bitmap.rowBytes) * bitmap.height);
    std::size_t position = fieldSize;
    for (int row = 0; row < bitmap.height; ++row) {
        for (int group = 0; group * 8 < bitmap.rowBytes; ++group) {
            Require(position < length, "block too short");
            const std::uint8_t flag = block[position++];
            for (int bit = 0; bit < 8; ++bit) {
                const int column = group * 8 + bit;
                const bool stored = (flag & (0x80 >> bit)) != 0;
                if (column >= bitmap.rowBytes) {
                    Require(!stored, "flag bit beyond the row");
                    continue;
                }
                const std::size_t index = static_cast<std::size_t>(row) * bitmap.rowBytes + column;
                if (stored) {
                    Require(position < length, "block too short");
                    pixels[index] = block[position++];
                } else {
                    Require(row > 0, "first row byte not stored");
                    pixels[index] = pixels[index - bitmap.rowBytes];
                }
            }
        }
    }
    Require(length - position < 4, "more than 3 fill bytes");
    for (; position < length; ++position) Require(block[position] == 0, "fill byte not zero");
    return pixels;
}

ParsedBitmap ParseBitmap(const Bytes& file, std::size_t start, std::size_t end, std::size_t& next) {
    Require(start + 16 <= end, "bitmap header beyond the resource");
    const std::uint8_t* header = file.data() + start;
    ParsedBitmap bitmap;
    bitmap.version = header[9];
    const bool littleEndian = bitmap.version >= 128;
    const auto word = [&](int offset) {
        return littleEndian ? ReadLE16(header + offset) : ReadBE16(header + offset);
    };
    bitmap.width = word(0);
    bitmap.height = word(2);
    bitmap.rowBytes = word(4);
    bitmap.depth = header[8];
    Require(bitmap.rowBytes == bitmap.width * bitmap.depth / 8, "rowBytes");
    const std::uint8_t compressedBit = littleEndian ? 0x01 : 0x80;
    Require((header[6] & ~compressedBit) == 0 && header[7] == 0, "unexpected flags");
    bitmap.compressed = header[6] == compressedBit;
    std::size_t headerSize = 16;
    std::size_t nextOffset = 0;
    if (bitmap.version == 2 || bitmap.version == 130) {
        nextOffset = static_cast<std::size_t>(word(10)) * 4;
        Require(header[12] == 0 && header[13] == 0 && word(14) == 0, "version-2 trailer");
    } else {
        Require(bitmap.version == 131 && header[10] == 24 && start + 24 <= end, "version-3 header");
        headerSize = 24;
        bitmap.density = ReadLE16(header + 14);
        nextOffset = ReadLE32(header + 20);
        Require(ReadLE32(header + 16) == 0 && header[11] == 0 && header[13] == 0, "version-3 fields");
    }
    const std::size_t payload = start + headerSize;
    if (bitmap.compressed) {
        bitmap.pixels = Decompress(file, payload, end, bitmap, bitmap.payloadLength);
    } else {
        bitmap.payloadLength = static_cast<std::size_t>(bitmap.rowBytes) * bitmap.height;
        Require(payload + bitmap.payloadLength <= end, "raw pixels beyond the resource");
        bitmap.pixels.assign(file.begin() + static_cast<std::ptrdiff_t>(payload),
                             file.begin() + static_cast<std::ptrdiff_t>(payload + bitmap.payloadLength));
    }
    const std::size_t behind = payload + bitmap.payloadLength;
    if (nextOffset != 0) {
        Require(start + nextOffset == behind, "next-bitmap offset does not lead behind the bitmap");
        next = behind;
    } else {
        Require(behind == end, "last bitmap does not end its resource");
        next = 0;
    }
    return bitmap;
}

ParsedDatabase ParseDatabase(const Bytes& file) {
    Require(file.size() >= 78, "short header");
    ParsedDatabase database;
    database.resourceCount = ReadBE16(file.data() + 76);
    const std::size_t listEnd = 78 + 10 * static_cast<std::size_t>(database.resourceCount);
    Require(file.size() >= listEnd + 2 && ReadBE16(file.data() + listEnd) == 0, "resource list gap");
    for (int i = 0; i < database.resourceCount; ++i) {
        const std::uint8_t* entry = file.data() + 78 + 10 * i;
        database.types.emplace_back(reinterpret_cast<const char*>(entry), 4);
        database.ids.push_back(ReadBE16(entry + 4));
        database.offsets.push_back(ReadBE32(entry + 6));
    }
    Require(database.offsets[0] == listEnd + 2, "first resource does not follow the list");
    for (int i = 0; i < database.resourceCount; ++i) {
        const std::size_t end = i + 1 < database.resourceCount ? database.offsets[i + 1] : file.size();
        Require(database.offsets[i] < end && end <= file.size(), "resource bounds");
        std::vector<ParsedBitmap> family;
        for (std::size_t next = database.offsets[i]; next != 0;)
            family.push_back(ParseBitmap(file, next, end, next));
        database.families.push_back(std::move(family));
    }
    return database;
}

// What one bitmap of the plan must hold.
struct ExpectedBitmap {
    int version, width, height, depth;
    int half;  // -1 whole picture, 0 top half, 1 bottom half
};

Bytes PackExpectedPixels(const ExpectedBitmap& expected, int dither) {
    const int fullHeight = expected.half < 0 ? expected.height : expected.height * 2;
    CDIBBitmap picture;
    MakePicture(picture, expected.width, fullHeight, BlocksOverNoise);
    Bytes packed(static_cast<std::size_t>(expected.width) * fullHeight * expected.depth / 8);
    packPixels(picture, dither, PalmPalette(expected.depth), expected.depth, packed);
    if (expected.half < 0) return packed;
    const auto half = static_cast<std::ptrdiff_t>(packed.size() / 2);
    return expected.half == 0 ? Bytes(packed.begin(), packed.begin() + half)
                              : Bytes(packed.begin() + half, packed.end());
}

// Packing is the slow part of the big test; each expected bitmap is packed once.
const Bytes& ExpectedPixels(const ExpectedBitmap& expected, int dither) {
    static std::map<std::array<int, 6>, Bytes> cache;
    const std::array<int, 6> key = {expected.version, expected.width, expected.height,
                                    expected.depth,   expected.half,  dither};
    auto found = cache.find(key);
    if (found == cache.end()) found = cache.emplace(key, PackExpectedPixels(expected, dither)).first;
    return found->second;
}

std::vector<std::vector<ExpectedBitmap>> ExpectedPlan(int choice, int depth) {
    std::vector<ExpectedBitmap> oldDevices;
    if (depth != 1) oldDevices.push_back({2, 160, 110, 1, -1});
    oldDevices.push_back({2, 160, 110, depth, -1});
    const std::vector<ExpectedBitmap> lowRes = {{130, 160, 110, depth, -1}};
    switch (choice) {
        case 0:
            return {oldDevices};
        case 1:
            return {lowRes};
        case 2:
            return {{{130, 160, 55, depth, 0}, {131, 320, 110, depth, 0}},
                    {{130, 160, 55, depth, 1}, {131, 320, 110, depth, 1}}};
        default:
            return {oldDevices, lowRes};
    }
}

}  // namespace

TEST(PalmDatabase, ResourcePlanNamesTypesIdsAndFirstOffsets) {
    EXPECT_EQ(PalmDatabase::resourceCount(0), 1);
    EXPECT_EQ(PalmDatabase::resourceCount(1), 1);
    EXPECT_EQ(PalmDatabase::resourceCount(2), 2);
    EXPECT_EQ(PalmDatabase::resourceCount(3), 2);
    EXPECT_EQ(PalmDatabase::firstResourceOffset(1), 90u);
    EXPECT_EQ(PalmDatabase::firstResourceOffset(3), 100u);
    const auto text = [](const ResourceId& id) {
        return std::string(id.type.data(), 4) + std::to_string(id.id);
    };
    EXPECT_EQ(text(PalmDatabase::resourceId(0, 0)), "Tbmp2400");
    EXPECT_EQ(text(PalmDatabase::resourceId(1, 0)), "abmp2700");
    EXPECT_EQ(text(PalmDatabase::resourceId(2, 1)), "abmp2701");
    EXPECT_EQ(text(PalmDatabase::resourceId(3, 0)), "Tbmp2400");
    EXPECT_EQ(text(PalmDatabase::resourceId(3, 1)), "abmp2700");
    EXPECT_THROW(PalmDatabase::resourceCount(4), std::invalid_argument);
    EXPECT_THROW(PalmDatabase::resourceId(1, 1), std::invalid_argument);
}

TEST(PalmDatabase, TwoResourceHeaderAfterTheOffsetPatch) {
    testsupport::TemporaryFolder folder;
    const auto path = folder / "two.pdb";
    OutputFile file;
    ASSERT_TRUE(file.open(path.string()));
    PalmDatabase::writeHeader(file, "Harbour", kPalmOs3To5Combined, 0xB1234567);
    EXPECT_EQ(file.position(), 100u);
    file.writeBytes(Bytes(40, 0x11));
    PalmDatabase::patchSecondOffset(file);
    EXPECT_EQ(file.position(), 140u);
    file.writeBytes(Bytes(8, 0x22));
    file.close();
    const Bytes bytes = testsupport::ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 148u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 100),
              HeaderBytes("Harbour", 0xB1234567, {{"Tbmp", 2400}, {"abmp", 2700}}, {100, 140}));
    EXPECT_EQ(bytes[140], 0x22);
}

TEST(PalmDatabase, NameFieldAlwaysEndsInZeroBytes) {
    PictureLoader loader(LeftBlackRightWhite, 0);
    const ConversionSettings settings{
        .destination = kPalmOs5LowRes, .depth = kOneBit, .compression = kCompressionNone};
    const std::string longest(31, 'N');
    Bytes bytes = WriteDatabase(settings, loader, longest).bytes;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 31), longest);
    EXPECT_EQ(bytes[31], 0);

    bytes = WriteDatabase(settings, loader, std::string(40, 'X')).bytes;  // cut rather than overrun the field
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 31), std::string(31, 'X'));
    EXPECT_EQ(bytes[31], 0);
    EXPECT_EQ(bytes[33], 1);  // attributes, still in place

    bytes = WriteDatabase(settings, loader, "Ab").bytes;
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 32),
              testsupport::ByteWriter().text("Ab").fill(30, 0).data());
}

TEST(PalmDatabase, GoldenOldDeviceFamilyRaw) {
    PictureLoader loader(LeftBlackRightWhite, 0);
    const WrittenDatabase written = WriteDatabase(
        {.destination = kPalmOs3Or4, .compression = kCompressionNone}, loader, "Sunset", 0xC0FFEE01);
    ASSERT_TRUE(written.result);
    testsupport::ByteWriter expected;
    expected.bytes(HeaderBytes("Sunset", 0xC0FFEE01, {{"Tbmp", 2400}}, {90}));
    // 1-bit pre-image, next-bitmap offset 2200 / 4 + 4 = 554.
    expected.bytes({0x00, 0xA0, 0x00, 0x6E, 0x00, 0x14, 0x00, 0x00, 0x01, 0x02, 0x02, 0x2A, 0, 0, 0, 0});
    for (int row = 0; row < 110; ++row) expected.fill(10, 0xFF).fill(10, 0x00);
    // 8-bit picture: black is index 230, white index 0.
    expected.bytes({0x00, 0xA0, 0x00, 0x6E, 0x00, 0xA0, 0x00, 0x00, 0x08, 0x02, 0x00, 0x00, 0, 0, 0, 0});
    for (int row = 0; row < 110; ++row) expected.fill(80, 230).fill(80, 0);
    EXPECT_EQ(written.bytes, expected.data());
}

TEST(PalmDatabase, GoldenOldDeviceFamilyCompressed) {
    PictureLoader loader(LeftBlackRightWhite, 0);
    const WrittenDatabase written =
        WriteDatabase({.destination = kPalmOs3Or4, .compression = kCompressionScanline}, loader, "Sunset", 7);
    ASSERT_TRUE(written.result);
    testsupport::ByteWriter expected;
    expected.bytes(HeaderBytes("Sunset", 7, {{"Tbmp", 2400}}, {90}));
    // 2 + 23 + 109 x 3 = 352 bytes: next-bitmap offset 352 / 4 + 4 = 92.
    expected.bytes({0x00, 0xA0, 0x00, 0x6E, 0x00, 0x14, 0x80, 0x00, 0x01, 0x02, 0x00, 0x5C, 0, 0, 0, 0});
    expected.be16(352).u8(0xFF).fill(8, 0xFF).u8(0xFF).fill(2, 0xFF).fill(6, 0).u8(0xF0).fill(4, 0);
    expected.fill(109 * 3, 0);
    // 2 + (20 + 160) + 109 x 20 = 2362, filled to 2364.
    expected.bytes({0x00, 0xA0, 0x00, 0x6E, 0x00, 0xA0, 0x80, 0x00, 0x08, 0x02, 0x00, 0x00, 0, 0, 0, 0});
    expected.be16(2364);
    for (int group = 0; group < 10; ++group) expected.u8(0xFF).fill(8, 230);
    for (int group = 0; group < 10; ++group) expected.u8(0xFF).fill(8, 0);
    expected.fill(109 * 20, 0).fill(2, 0);
    EXPECT_EQ(written.bytes, expected.data());
}

TEST(PalmDatabase, EveryChoiceDepthAndModeReadsBackConsistently) {
    for (int choice = 0; choice < 4; ++choice) {
        for (int depth : {1, 2, 4, 8}) {
            for (int mode : {kCompressionNone, kCompressionScanline, kCompressionMostEfficient}) {
                SCOPED_TRACE("choice " + std::to_string(choice) + ", depth " + std::to_string(depth) +
                             ", mode " + std::to_string(mode));
                const int dither = choice % 2 == 0 ? kDitherFloydSteinberg : 0;
                PictureLoader loader(BlocksOverNoise, dither);
                const ConversionSettings settings{.destination = static_cast<DestinationOs>(choice),
                                                  .depth = static_cast<ColorDepth>(depth),
                                                  .compression = static_cast<CompressionMode>(mode)};
                const WrittenDatabase written = WriteDatabase(settings, loader);
                ASSERT_TRUE(written.result);
                ParsedDatabase database;
                ASSERT_NO_THROW(database = ParseDatabase(written.bytes));
                PictureLoader memoryLoader(BlocksOverNoise, dither);
                EXPECT_EQ(PalmDatabase::writeToMemory("Picture", settings, memoryLoader, 0xC0FFEE01),
                          written.bytes);
                PalmDatabaseRecord readBack;
                ASSERT_NO_THROW(readBack = readPalmDatabase(written.bytes));

                const auto plan = ExpectedPlan(choice, depth);
                ASSERT_EQ(database.resourceCount, static_cast<int>(plan.size()));
                for (int i = 0; i < database.resourceCount; ++i) {
                    const ResourceId id = PalmDatabase::resourceId(choice, i);
                    EXPECT_EQ(database.types[i], std::string(id.type.data(), 4));
                    EXPECT_EQ(database.ids[i], id.id);
                    ASSERT_EQ(database.families[i].size(), plan[i].size());
                    for (std::size_t b = 0; b < plan[i].size(); ++b) {
                        const ExpectedBitmap& expected = plan[i][b];
                        const ParsedBitmap& bitmap = database.families[i][b];
                        EXPECT_EQ(bitmap.version, expected.version);
                        EXPECT_EQ(bitmap.width, expected.width);
                        EXPECT_EQ(bitmap.height, expected.height);
                        EXPECT_EQ(bitmap.depth, expected.depth);
                        EXPECT_EQ(bitmap.density, expected.version == 131 ? 144 : 0);
                        const Bytes& pixels = ExpectedPixels(expected, dither);
                        EXPECT_EQ(bitmap.pixels, pixels);
                        EXPECT_EQ(readBack.resources[static_cast<std::size_t>(i)].bitmaps.at(b).pixels,
                                  pixels);
                        bool compress = mode == kCompressionScanline;
                        if (mode == kCompressionMostEfficient) {
                            compress = ScanlineEncoder::estimateSize(
                                           static_cast<std::uint16_t>(bitmap.rowBytes),
                                           static_cast<std::uint16_t>(bitmap.height), pixels,
                                           expected.version == 131 ? 1 : 0) < pixels.size();
                        }
                        EXPECT_EQ(bitmap.compressed, compress);
                    }
                }
                if (choice == kPalmOs5HighRes && mode == kCompressionNone) {
                    EXPECT_EQ(database.offsets[1] - database.offsets[0],
                              written.bytes.size() - database.offsets[1]);
                }
            }
        }
    }
}

TEST(PalmDatabase, FailedLoadStopsThePlan) {
    struct Case {
        int choice, failingLoad, loads;
        std::size_t size;            // 0: more than the header
        std::uint32_t secondOffset;  // entry 2 after the run
    };
    const Case cases[] = {
        {kPalmOs3Or4, 1, 1, 90, 0},                  // pre-image fails: main picture never built
        {kPalmOs5HighRes, 2, 2, 100, 0},             // nothing written unless both full pictures load
        {kPalmOs3To5Combined, 2, 2, 0, 0},           // first resource fails: no patch, no second resource
        {kPalmOs3To5Combined, 3, 3, 0, 19922 + 10},  // second resource fails after the patch
    };
    for (const Case& test : cases) {
        SCOPED_TRACE("choice " + std::to_string(test.choice) + ", failing load " +
                     std::to_string(test.failingLoad));
        PictureLoader loader(LeftBlackRightWhite, 0);
        loader.failingLoad = test.failingLoad;
        const WrittenDatabase written = WriteDatabase(
            {.destination = static_cast<DestinationOs>(test.choice), .compression = kCompressionNone},
            loader);
        EXPECT_FALSE(written.result);
        EXPECT_EQ(loader.loads, test.loads);
        if (test.size != 0) {
            EXPECT_EQ(written.bytes.size(), test.size);
        }
        if (PalmDatabase::resourceCount(test.choice) == 2) {
            EXPECT_EQ(ReadBE32(written.bytes.data() + 94), test.secondOffset);
        }
    }
}

TEST(PalmDatabase, CreationDateIsLocalWallClockTimeSince1904) {
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(PalmDatabase::creationDateAt(994187877), 3077032677u);  // 2001-07-03 19:17:57
        EXPECT_EQ(PalmDatabase::creationDateAt(1719835200), 1719835200u + 2082844800u);
        EXPECT_EQ(PalmDatabase::creationDateAt(2212122496), 0u) << "the 32-bit field wraps in 2040";
    }
    {
        // Summer and winter both use the offset in force at that moment; a
        // date fixed to the summer offset would be an hour late in January.
        ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(PalmDatabase::creationDateAt(1719835200), 3802687200u);  // 2024-07-01 14:00 local
        EXPECT_EQ(PalmDatabase::creationDateAt(1705320000), 3788168400u);  // 2024-01-15 13:00 local
    }
    {
        ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(PalmDatabase::creationDateAt(1705320000), 3788146800u);  // 2024-01-15 07:00 local
    }
    ScopedTimeZone zone("UTC0");
    const std::time_t before = std::time(nullptr);
    const std::uint32_t now = PalmDatabase::currentCreationDate();
    EXPECT_GE(now, PalmDatabase::creationDateAt(before));
    EXPECT_LE(now, PalmDatabase::creationDateAt(before) + 5);
}
