#include "engine/conversion_preview.h"
#include "imagelib/byte_order.h"
#include "imagelib/decoders/heif_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/decoding.h"
#include "support/modern_writers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using testsupport::HeifCodec;
using testsupport::HeifOptions;
using testsupport::PixelAt;
using testsupport::Rgba;

}  // namespace

// The HEVC encoder that makes the test pictures keeps a few of its tables
// until the process ends; the decoder side is checked as usual.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

namespace {

// Four flat quadrants, each a colour the codecs keep within a few levels.
Rgba Quadrants(int x, int y, int width, int height) {
    const bool left = x < width / 2;
    const bool top = y < height / 2;
    if (top) return left ? Rgba{230, 20, 20, 255} : Rgba{20, 230, 20, 128};
    return left ? Rgba{20, 20, 230, 255} : Rgba{240, 240, 240, 255};
}

void ExpectClose(const PaletteEntry& pixel, const Rgba& wanted, bool grey, bool alpha, const std::string& where) {
    const int tolerance = 12;
    if (grey) {
        EXPECT_EQ(pixel.red, pixel.green) << where;
        EXPECT_EQ(pixel.red, pixel.blue) << where;
    } else {
        EXPECT_NEAR(pixel.red, wanted.red, tolerance) << where;
        EXPECT_NEAR(pixel.green, wanted.green, tolerance) << where;
        EXPECT_NEAR(pixel.blue, wanted.blue, tolerance) << where;
    }
    EXPECT_NEAR(pixel.alpha, alpha ? wanted.alpha : 255, tolerance) << where;
}

}  // namespace

TEST(HEIFDecoder, DecodesHevcAndAv1InTheirColourFormsAndDepths) {
    const struct {
        const char* name;
        HeifOptions options;
    } cases[] = {
        {"hevc.heic", {HeifCodec::Hevc, false, false, 8, 1}},
        {"hevc_alpha.heic", {HeifCodec::Hevc, true, false, 8, 1}},
        {"hevc_10bit.heic", {HeifCodec::Hevc, false, false, 10, 1}},
        {"hevc_grey.heic", {HeifCodec::Hevc, false, true, 8, 1}},
        {"av1.avif", {HeifCodec::Av1, false, false, 8, 1}},
        {"av1_alpha_12bit.avif", {HeifCodec::Av1, true, false, 12, 1}},
        {"hevc_grey_10bit.heic", {HeifCodec::Hevc, false, true, 10, 1}},
    };
    constexpr int kWidth = 48, kHeight = 32;
    for (const auto& c : cases) {
        std::vector<std::uint8_t> file;
        ASSERT_NO_THROW(file = testsupport::EncodeHeif(
                            kWidth, kHeight, [](int x, int y) { return Quadrants(x, y, kWidth, kHeight); }, c.options))
            << c.name;
        testsupport::KeepAsFuzzSeed("heif", c.name, file);
        const auto bitmap = testsupport::DecodeToNewBitmap<CHEIFDecoder>(file, 0);
        ASSERT_EQ(bitmap->GetDepth(), 32) << c.name;
        ASSERT_EQ(bitmap->GetWidth(), kWidth) << c.name;
        ASSERT_EQ(bitmap->GetHeight(), kHeight) << c.name;
        EXPECT_EQ(bitmap->HasAlphaChannel(), c.options.alpha) << c.name;
        for (const auto& [x, y] : {std::pair{6, 6}, {40, 6}, {6, 26}, {40, 26}})
            ExpectClose(PixelAt(*bitmap, x, y), Quadrants(x, y, kWidth, kHeight), c.options.monochrome,
                        c.options.alpha, std::string(c.name) + " " + std::to_string(x) + "," + std::to_string(y));
    }
}

// The file asks for a quarter turn clockwise (orientation 6): the decoded
// picture is the upright one, with its sides swapped.
TEST(HEIFDecoder, AppliesTheTransformationsTheFileAsksFor) {
    constexpr int kWidth = 64, kHeight = 32;
    HeifOptions options;
    options.orientation = 6;
    const auto file = testsupport::EncodeHeif(
        kWidth, kHeight, [](int x, int y) { return Quadrants(x, y, kWidth, kHeight); }, options);
    const auto bitmap = testsupport::DecodeToNewBitmap<CHEIFDecoder>(file, 32);
    ASSERT_EQ(bitmap->GetWidth(), kHeight);
    ASSERT_EQ(bitmap->GetHeight(), kWidth);
    // The stored top-left quadrant ends up top right.
    ExpectClose(PixelAt(*bitmap, 26, 6), Quadrants(0, 0, kWidth, kHeight), false, false, "top right");
    ExpectClose(PixelAt(*bitmap, 6, 6), Quadrants(0, kHeight - 1, kWidth, kHeight), false, false, "top left");
}

namespace {

// Box surgery on a file libheif wrote, which keeps every box below 4 GB and
// its picture data in an "mdat" behind the "meta" box.
class HeifBoxes {
public:
    explicit HeifBoxes(std::vector<std::uint8_t> file) : m_file(std::move(file)) {}

    // Adds a transformation property (a whole box) to the primary item. The
    // transformations go ahead of the item's other properties, the stored
    // size among them, in the order they are added: some writers list them so,
    // and libheif then reports the stored size for the item while it decodes
    // the transformed picture.
    void AddPrimaryProperty(const std::vector<std::uint8_t>& property) {
        const std::size_t meta = Find(0, m_file.size(), "meta");
        const std::size_t metaChildren = meta + 12;  // a full box
        const std::size_t metaEnd = meta + Size(meta);
        const std::size_t iprp = Find(metaChildren, metaEnd, "iprp");
        const std::size_t ipco = Find(iprp + 8, iprp + Size(iprp), "ipco");
        const std::size_t ipma = Find(iprp + 8, iprp + Size(iprp), "ipma");
        const std::uint32_t primary = ReadBE16(&m_file[Find(metaChildren, metaEnd, "pitm") + 12]);
        ASSERT_LT(ipco, ipma);
        std::size_t properties = 0;
        for (std::size_t box = ipco + 8; box < ipco + Size(ipco); box += Size(box)) ++properties;

        // The association: an essential property, numbered from 1.
        const std::uint8_t version = m_file[ipma + 8];
        const bool wide = (m_file[ipma + 11] & 1) != 0;
        const std::size_t idBytes = version < 1 ? 2 : 4;
        const std::size_t associationBytes = wide ? 2 : 1;
        std::size_t entry = ipma + 16;
        std::size_t insertAt = 0;
        for (std::uint32_t i = 0, n = ReadBE32(&m_file[ipma + 12]); i < n; ++i) {
            const std::uint32_t id = idBytes == 2 ? ReadBE16(&m_file[entry]) : ReadBE32(&m_file[entry]);
            const std::size_t count = m_file[entry + idBytes];
            const std::size_t next = entry + idBytes + 1 + count * associationBytes;
            if (id == primary) {
                ++m_file[entry + idBytes];
                insertAt = entry + idBytes + 1 + m_added * associationBytes;
            }
            entry = next;
        }
        ASSERT_NE(insertAt, 0u);
        const std::size_t index = properties + 1;
        const std::vector<std::uint8_t> association =
            wide ? std::vector<std::uint8_t>{static_cast<std::uint8_t>(0x80 | index >> 8), static_cast<std::uint8_t>(index)}
                 : std::vector<std::uint8_t>{static_cast<std::uint8_t>(0x80 | index)};
        const std::size_t grown = association.size() + property.size();
        ShiftItemData(Find(metaChildren, metaEnd, "iloc"), metaEnd, grown);
        m_file.insert(m_file.begin() + static_cast<std::ptrdiff_t>(insertAt), association.begin(), association.end());
        m_file.insert(m_file.begin() + static_cast<std::ptrdiff_t>(ipco + Size(ipco)), property.begin(), property.end());
        Grow(ipma + property.size(), association.size());
        Grow(ipco, property.size());
        Grow(iprp, grown);
        Grow(meta, grown);
        ++m_added;
    }

    const std::vector<std::uint8_t>& File() const { return m_file; }

private:
    std::size_t Size(std::size_t box) const { return ReadBE32(&m_file[box]); }
    void Grow(std::size_t box, std::size_t by) { WriteBE32(box, static_cast<std::uint32_t>(Size(box) + by)); }
    void WriteBE32(std::size_t at, std::uint32_t value) { WriteBE(at, 4, value); }
    std::uint64_t ReadBE(std::size_t at, std::size_t bytes) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | m_file[at + i];
        return value;
    }
    void WriteBE(std::size_t at, std::size_t bytes, std::uint64_t value) {
        for (std::size_t i = bytes; i-- > 0; value >>= 8) m_file[at + i] = static_cast<std::uint8_t>(value);
    }

    std::size_t Find(std::size_t begin, std::size_t end, const char* type) const {
        for (std::size_t box = begin; box + 8 <= end && Size(box) >= 8; box += Size(box))
            if (std::memcmp(&m_file[box + 4], type, 4) == 0) return box;
        ADD_FAILURE() << "no " << type << " box";
        return begin;
    }

    // Moves every file offset of the item locations that points behind the
    // meta box by `by` bytes.
    void ShiftItemData(std::size_t iloc, std::size_t metaEnd, std::size_t by) {
        const std::uint8_t version = m_file[iloc + 8];
        std::size_t at = iloc + 12;
        const std::size_t offsetBytes = m_file[at] >> 4, lengthBytes = m_file[at] & 15;
        const std::size_t baseBytes = m_file[at + 1] >> 4;
        const std::size_t indexBytes = version >= 1 ? m_file[at + 1] & 15 : 0;
        at += 2;
        const std::size_t countBytes = version < 2 ? 2 : 4;
        const std::uint64_t items = ReadBE(at, countBytes);
        at += countBytes;
        auto shift = [&](std::size_t field, std::size_t bytes) {
            if (bytes > 0 && ReadBE(field, bytes) >= metaEnd) WriteBE(field, bytes, ReadBE(field, bytes) + by);
        };
        for (std::uint64_t item = 0; item < items; ++item) {
            at += countBytes;  // the item's number
            const bool inFile = version < 1 || (ReadBE(at, 2) & 15) == 0;
            if (version >= 1) at += 2;
            at += 2;  // data reference
            if (inFile) shift(at, baseBytes);
            at += baseBytes;
            const std::uint64_t extents = ReadBE(at, 2);
            at += 2;
            for (std::uint64_t extent = 0; extent < extents; ++extent) {
                at += indexBytes;
                if (inFile) shift(at, offsetBytes);
                at += offsetBytes + lengthBytes;
            }
        }
    }

    std::vector<std::uint8_t> m_file;
    std::size_t m_added = 0;
};

std::vector<std::uint8_t> Box(const char* type, const std::vector<std::uint32_t>& words,
                              std::optional<std::uint8_t> byte = std::nullopt) {
    testsupport::ByteWriter box;
    box.be32(static_cast<std::uint32_t>(8 + 4 * words.size() + (byte ? 1 : 0))).text(type);
    for (const std::uint32_t word : words) box.be32(word);
    if (byte) box.u8(*byte);
    return box.data();
}

// A picture as the test expects it to come out: a block of 8 x 8 pixels per
// entry, so lossy coding keeps each block's middle close to its colour.
struct Blocks {
    int columns = 0, rows = 0;
    std::vector<Rgba> colours;  // row by row
    Rgba at(int column, int row) const { return colours[static_cast<std::size_t>(row * columns + column)]; }
};

Blocks Transformed(int columns, int rows, const std::function<Rgba(int, int)>& source) {
    Blocks out{columns, rows, {}};
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) out.colours.push_back(source(column, row));
    return out;
}

// irot: a quarter turn anticlockwise per step; imir as libheif reads it
// (and writes it for an orientation): axis 0 mirrors top and bottom, axis 1
// left and right; clap here keeps whole blocks.
Blocks Rotated(const Blocks& in, int steps) {
    Blocks out = in;
    for (int step = 0; step < steps; ++step)
        out = Transformed(out.rows, out.columns, [previous = out](int column, int row) {
            return previous.at(previous.columns - 1 - row, column);
        });
    return out;
}
Blocks Mirrored(const Blocks& in, int axis) {
    return Transformed(in.columns, in.rows, [&](int column, int row) {
        return axis == 1 ? in.at(in.columns - 1 - column, row) : in.at(column, in.rows - 1 - row);
    });
}
Blocks Cropped(const Blocks& in, int left, int top, int columns, int rows) {
    return Transformed(columns, rows, [&](int column, int row) { return in.at(left + column, top + row); });
}

void ExpectBlocks(const CImageBitmap& bitmap, const Blocks& wanted, const std::string& where) {
    ASSERT_EQ(bitmap.GetWidth(), wanted.columns * 8) << where;
    ASSERT_EQ(bitmap.GetHeight(), wanted.rows * 8) << where;
    for (int row = 0; row < wanted.rows; ++row)
        for (int column = 0; column < wanted.columns; ++column)
            ExpectClose(PixelAt(bitmap, column * 8 + 4, row * 8 + 4), wanted.at(column, row), false, false,
                        where + " block " + std::to_string(column) + "," + std::to_string(row));
}

}  // namespace

// Phones store portrait photos turned by a property of the file; libheif
// applies it while decoding, so the decoded size differs from the stored one.
TEST(HEIFDecoder, ShowsPicturesTurnedMirroredAndCroppedByTheirProperties) {
    Blocks stored{6, 4, {}};
    for (int row = 0; row < stored.rows; ++row)
        for (int column = 0; column < stored.columns; ++column)
            stored.colours.push_back(Rgba{static_cast<std::uint8_t>(30 + 40 * column),
                                          static_cast<std::uint8_t>(40 + 60 * row),
                                          static_cast<std::uint8_t>(220 - 35 * column), 255});
    const auto irot = [](int steps) { return Box("irot", {}, static_cast<std::uint8_t>(steps)); };
    const auto imir = [](int axis) { return Box("imir", {}, static_cast<std::uint8_t>(axis)); };
    // 24 x 16 pixels whose middle lies 4 pixels left of the picture's: blocks
    // 1 to 3 across and 1 to 2 down.
    const auto clap = Box("clap", {24, 1, 16, 1, static_cast<std::uint32_t>(-4), 1, 0, 1});
    const struct {
        const char* name;
        std::vector<std::vector<std::uint8_t>> properties;
        Blocks wanted;
    } cases[] = {
        {"irot1", {irot(1)}, Rotated(stored, 1)},
        {"irot2", {irot(2)}, Rotated(stored, 2)},
        {"irot3", {irot(3)}, Rotated(stored, 3)},
        {"irot1_imir0", {irot(1), imir(0)}, Mirrored(Rotated(stored, 1), 0)},
        {"irot2_imir1", {irot(2), imir(1)}, Mirrored(Rotated(stored, 2), 1)},
        {"irot3_imir1", {irot(3), imir(1)}, Mirrored(Rotated(stored, 3), 1)},
        {"clap", {clap}, Cropped(stored, 1, 1, 3, 2)},
        {"clap_irot1", {clap, irot(1)}, Rotated(Cropped(stored, 1, 1, 3, 2), 1)},
    };
    testsupport::TemporaryFolder folder;
    for (const HeifCodec codec : {HeifCodec::Hevc, HeifCodec::Av1}) {
        HeifOptions options;
        options.codec = codec;
        const auto plain = testsupport::EncodeHeif(
            stored.columns * 8, stored.rows * 8, [&](int x, int y) { return stored.at(x / 8, y / 8); }, options);
        for (const auto& c : cases) {
            const std::string name = std::string(c.name) + (codec == HeifCodec::Hevc ? ".heic" : ".avif");
            HeifBoxes file(plain);
            for (const auto& property : c.properties) file.AddPrimaryProperty(property);
            testsupport::KeepAsFuzzSeed("heif", name, file.File());
            ExpectBlocks(*testsupport::DecodeToNewBitmap<CHEIFDecoder>(file.File(), 32), c.wanted, name);
            // The window's preview decodes through its own path.
            if (std::strcmp(c.name, "irot1_imir0") != 0) continue;
            testsupport::WriteFileBytes(folder / name, file.File());
            std::string error;
            const auto preview = decodePreviewSource((folder / name).string(), error);
            ASSERT_NE(preview, nullptr) << error;
            ExpectBlocks(*preview, c.wanted, "preview of " + name);
        }
    }
}

TEST(HEIFDecoder, BrokenSequenceOnlyAndOversizedFilesEndInClearErrors) {
    const auto file = testsupport::EncodeHeif(
        40, 30, [](int x, int y) { return Quadrants(x, y, 40, 30); }, HeifOptions{});
    auto truncated = file;
    truncated.resize(file.size() * 2 / 3);
    testsupport::ByteWriter sequence;
    sequence.be32(24).text("ftypmsf1").be32(0).text("msf1iso8");
    sequence.be32(16).text("moov").be32(8).text("mvhd");
    DecodeLimits narrow;
    narrow.maxSide = 35;
    const struct {
        std::vector<std::uint8_t> bytes;
        DecodeLimits limits;
        int code;
        const char* message;
    } cases[] = {
        {{}, {}, ERR_FORMAT_UNKNOWN, nullptr},
        {truncated, {}, ERR_FORMAT_UNKNOWN, nullptr},
        {sequence.data(), {}, ERR_UNSUPPORTED_DATA,
         "Decoder error: HEIF decoder: The file holds only an image sequence, no still picture.\n"},
        {file, narrow, ERR_FORMAT_UNKNOWN, nullptr},
    };
    for (const auto& c : cases) {
        CHEIFDecoder decoder;
        decoder.SetLimits(c.limits);
        CDIBBitmap bitmap;
        try {
            decoder.DecodeMemory(c.bytes.data(), static_cast<std::int64_t>(c.bytes.size()), bitmap, 32);
            ADD_FAILURE() << "decoded " << c.bytes.size() << " bytes";
        } catch (const CTextException& error) {
            EXPECT_EQ(error.GetCode(), c.code) << error.GetMessage();
            if (c.message != nullptr) {
                EXPECT_STREQ(error.GetMessage(), c.message);
            }
        }
    }
}
