#include "support/modern_writers.h"

#include "support/test_support.h"

#include "imagelib/byte_order.h"

#include <libheif/heif.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace testsupport {

namespace {

std::vector<std::uint8_t> RgbaBytes(int width, int height, const RgbaAt& pixelAt) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba pixel = pixelAt(x, y);
            bytes.insert(bytes.end(), {pixel.red, pixel.green, pixel.blue, pixel.alpha});
        }
    }
    return bytes;
}

void Require(bool condition, const char* what) {
    if (!condition) throw std::runtime_error(what);
}

void RequireHeif(const heif_error& error) {
    if (error.code != heif_error_Ok) throw std::runtime_error(error.message);
}

void FillPicture(WebPPicture& picture, int width, int height, const RgbaAt& pixelAt) {
    Require(WebPPictureInit(&picture) != 0, "WebPPictureInit");
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    const auto rgba = RgbaBytes(width, height, pixelAt);
    Require(WebPPictureImportRGBA(&picture, rgba.data(), width * 4) != 0, "WebPPictureImportRGBA");
}

}  // namespace

std::vector<std::uint8_t> EncodeWebP(int width, int height, const RgbaAt& pixelAt, bool lossless) {
    const auto rgba = RgbaBytes(width, height, pixelAt);
    std::uint8_t* output = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &output)
                                      : WebPEncodeRGBA(rgba.data(), width, height, width * 4, 90.0f, &output);
    Require(size != 0, "WebP encoding failed");
    std::vector<std::uint8_t> file(output, output + size);
    WebPFree(output);
    return file;
}

std::vector<std::uint8_t> EncodeAnimatedWebP(int width, int height, const std::vector<RgbaAt>& frames) {
    WebPAnimEncoderOptions options;
    Require(WebPAnimEncoderOptionsInit(&options) != 0, "WebPAnimEncoderOptionsInit");
    std::unique_ptr<WebPAnimEncoder, decltype(&WebPAnimEncoderDelete)> encoder(
        WebPAnimEncoderNew(width, height, &options), WebPAnimEncoderDelete);
    Require(encoder != nullptr, "WebPAnimEncoderNew");
    WebPConfig config;
    Require(WebPConfigInit(&config) != 0, "WebPConfigInit");
    config.lossless = 1;
    config.exact = 1;
    int timestamp = 0;
    for (const RgbaAt& frame : frames) {
        WebPPicture picture;
        FillPicture(picture, width, height, frame);
        const bool added = WebPAnimEncoderAdd(encoder.get(), &picture, timestamp, &config) != 0;
        WebPPictureFree(&picture);
        Require(added, "WebPAnimEncoderAdd");
        timestamp += 100;
    }
    Require(WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr) != 0, "WebPAnimEncoderAdd");
    WebPData data;
    WebPDataInit(&data);
    Require(WebPAnimEncoderAssemble(encoder.get(), &data) != 0, "WebPAnimEncoderAssemble");
    std::vector<std::uint8_t> file(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    return file;
}

std::vector<std::uint8_t> EncodeHeif(int width, int height, const RgbaAt& pixelAt, const HeifOptions& options,
                                     const std::vector<std::uint8_t>& iccProfile) {
    const bool deep = options.bitDepth > 8;
    heif_image* rawImage = nullptr;
    const heif_colorspace colorspace = options.monochrome ? heif_colorspace_monochrome : heif_colorspace_RGB;
    heif_chroma chroma = heif_chroma_monochrome;
    if (!options.monochrome)
        chroma =
            deep ? (options.alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                 : (options.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    RequireHeif(heif_image_create(width, height, colorspace, chroma, &rawImage));
    std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, heif_image_release);

    const int channels = options.monochrome ? 1 : (options.alpha ? 4 : 3);
    const heif_channel channel = options.monochrome ? heif_channel_Y : heif_channel_interleaved;
    RequireHeif(heif_image_add_plane(image.get(), channel, width, height, options.bitDepth));
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image.get(), channel, &stride);
    const int shift = options.bitDepth - 8;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba pixel = pixelAt(x, y);
            const std::uint8_t values[4] = {pixel.red, pixel.green, pixel.blue, pixel.alpha};
            for (int c = 0; c < channels; ++c) {
                const int value = values[c] << shift | values[c] >> (8 - shift);
                if (deep) {
                    std::uint8_t* sample =
                        plane + static_cast<std::size_t>(y) * stride + (x * channels + c) * 2;
                    sample[0] = static_cast<std::uint8_t>(value & 0xFF);
                    sample[1] = static_cast<std::uint8_t>(value >> 8);
                } else {
                    plane[static_cast<std::size_t>(y) * stride + x * channels + c] =
                        static_cast<std::uint8_t>(value);
                }
            }
        }
    }

    if (!iccProfile.empty())
        RequireHeif(
            heif_image_set_raw_color_profile(image.get(), "prof", iccProfile.data(), iccProfile.size()));

    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                        heif_context_free);
    heif_encoder* rawEncoder = nullptr;
    RequireHeif(heif_context_get_encoder_for_format(
        context.get(), options.codec == HeifCodec::Hevc ? heif_compression_HEVC : heif_compression_AV1,
        &rawEncoder));
    std::unique_ptr<heif_encoder, decltype(&heif_encoder_release)> encoder(rawEncoder, heif_encoder_release);
    RequireHeif(heif_encoder_set_lossy_quality(encoder.get(), 95));
    // The slowest settings of the AV1 encoder take seconds even for tiny pictures.
    if (options.codec == HeifCodec::Av1) heif_encoder_set_parameter(encoder.get(), "speed", "8");
    std::unique_ptr<heif_encoding_options, decltype(&heif_encoding_options_free)> encoding(
        heif_encoding_options_alloc(), heif_encoding_options_free);
    encoding->image_orientation = static_cast<heif_orientation>(options.orientation);
    RequireHeif(
        heif_context_encode_image(context.get(), image.get(), encoder.get(), encoding.get(), nullptr));

    std::vector<std::uint8_t> file;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = [](heif_context*, const void* data, size_t size, void* userdata) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(userdata);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
        return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
    };
    RequireHeif(heif_context_write(context.get(), &writer, &file));
    return file;
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
        Require(ipco < ipma, "ipco ahead of ipma");
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
        Require(insertAt != 0, "an ipma entry of the primary item");
        const std::size_t index = properties + 1;
        const std::vector<std::uint8_t> association =
            wide ? std::vector<std::uint8_t>{static_cast<std::uint8_t>(0x80 | index >> 8),
                                             static_cast<std::uint8_t>(index)}
                 : std::vector<std::uint8_t>{static_cast<std::uint8_t>(0x80 | index)};
        const std::size_t grown = association.size() + property.size();
        ShiftItemData(Find(metaChildren, metaEnd, "iloc"), metaEnd, grown);
        m_file.insert(m_file.begin() + static_cast<std::ptrdiff_t>(insertAt), association.begin(),
                      association.end());
        m_file.insert(m_file.begin() + static_cast<std::ptrdiff_t>(ipco + Size(ipco)), property.begin(),
                      property.end());
        Grow(ipma + property.size(), association.size());
        Grow(ipco, property.size());
        Grow(iprp, grown);
        Grow(meta, grown);
        ++m_added;
    }

    const std::vector<std::uint8_t>& File() const { return m_file; }

    // The whole box of `type` inside the item properties.
    std::vector<std::uint8_t> PropertyContainer() const {
        const std::size_t iprp = Find(MetaChildren(), MetaEnd(), "iprp");
        const std::size_t ipco = Find(iprp + 8, iprp + Size(iprp), "ipco");
        return {m_file.begin() + static_cast<std::ptrdiff_t>(ipco),
                m_file.begin() + static_cast<std::ptrdiff_t>(ipco + Size(ipco))};
    }
    // The one-byte property associations of the primary item (libheif
    // writes them narrow, in a version 0 ipma).
    std::vector<std::uint8_t> PrimaryAssociations() const {
        const std::size_t iprp = Find(MetaChildren(), MetaEnd(), "iprp");
        const std::size_t ipma = Find(iprp + 8, iprp + Size(iprp), "ipma");
        Require(m_file[ipma + 8] == 0 && (m_file[ipma + 11] & 1) == 0, "a narrow version 0 ipma");
        std::size_t entry = ipma + 16;
        for (std::uint32_t i = 0, n = ReadBE32(&m_file[ipma + 12]); i < n; ++i) {
            const std::size_t count = m_file[entry + 2];
            if (ReadBE16(&m_file[entry]) == Primary())
                return {m_file.begin() + static_cast<std::ptrdiff_t>(entry + 3),
                        m_file.begin() + static_cast<std::ptrdiff_t>(entry + 3 + count)};
            entry += 3 + count;
        }
        throw std::runtime_error("no ipma entry of the primary item");
    }
    // The coded bytes of the primary item: one extent in the file, as
    // libheif writes a small picture.
    std::vector<std::uint8_t> PrimaryData() const {
        const std::size_t iloc = Find(MetaChildren(), MetaEnd(), "iloc");
        const std::uint8_t version = m_file[iloc + 8];
        Require(version <= 1 && m_file[iloc + 12] == 0x44 && (m_file[iloc + 13] & 0xBF) == 0,
                "a version 0 or 1 iloc of 4-byte offsets and lengths");
        const std::size_t baseBytes = m_file[iloc + 13] >> 4;
        const std::size_t methodBytes = version == 1 ? 2 : 0;
        std::size_t at = iloc + 16;
        for (std::uint32_t i = 0, n = ReadBE16(&m_file[iloc + 14]); i < n; ++i) {
            const std::size_t fields = at + 4 + methodBytes;  // behind the number and data reference
            const std::size_t base = baseBytes == 4 ? ReadBE32(&m_file[fields]) : 0;
            const std::uint32_t extents = ReadBE16(&m_file[fields + baseBytes]);
            const std::size_t extent = fields + baseBytes + 2;
            if (ReadBE16(&m_file[at]) == Primary() && extents == 1) {
                const std::size_t offset = base + ReadBE32(&m_file[extent]),
                                  length = ReadBE32(&m_file[extent + 4]);
                return {m_file.begin() + static_cast<std::ptrdiff_t>(offset),
                        m_file.begin() + static_cast<std::ptrdiff_t>(offset + length)};
            }
            at = extent + extents * 8;
        }
        throw std::runtime_error("no single extent of the primary item");
    }

private:
    std::size_t MetaChildren() const { return Find(0, m_file.size(), "meta") + 12; }
    std::size_t MetaEnd() const {
        const std::size_t meta = Find(0, m_file.size(), "meta");
        return meta + Size(meta);
    }
    std::uint32_t Primary() const { return ReadBE16(&m_file[Find(MetaChildren(), MetaEnd(), "pitm") + 12]); }

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
        throw std::runtime_error(std::string("no ") + type + " box");
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
            if (bytes > 0 && ReadBE(field, bytes) >= metaEnd)
                WriteBE(field, bytes, ReadBE(field, bytes) + by);
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

}  // namespace

std::vector<std::uint8_t> HeifProperty(const char* type, const std::vector<std::uint32_t>& words,
                                       std::optional<std::uint8_t> byte) {
    ByteWriter box;
    box.be32(static_cast<std::uint32_t>(8 + 4 * words.size() + (byte ? 1 : 0))).text(type);
    for (const std::uint32_t word : words) box.be32(word);
    if (byte) box.u8(*byte);
    return box.data();
}

std::vector<std::uint8_t> WithHeifTransformations(std::vector<std::uint8_t> file,
                                                  const std::vector<std::vector<std::uint8_t>>& properties) {
    HeifBoxes boxes(std::move(file));
    for (const auto& property : properties) boxes.AddPrimaryProperty(property);
    return boxes.File();
}

namespace {

// A box of `type` around `body`; full boxes start their body with the
// version and flags.
std::vector<std::uint8_t> Box(const char* type, const std::vector<std::uint8_t>& body) {
    return ByteWriter().be32(static_cast<std::uint32_t>(8 + body.size())).text(type).bytes(body).data();
}

// The meta box of a grid, item 1, over `tiles` items numbered from 2 whose
// data begins at `dataStart` in the file, `tileBytes` each, all at the same
// place when shared.
std::vector<std::uint8_t> GridMeta(const HeifGrid& grid, const std::vector<std::uint8_t>& tileProperties,
                                   const std::vector<std::uint8_t>& tileAssociations, std::size_t tileBytes,
                                   std::size_t dataStart) {
    const std::uint32_t tiles = static_cast<std::uint32_t>(grid.columns * grid.rows);
    const std::uint32_t width =
        static_cast<std::uint32_t>(grid.shownSide != 0 ? grid.shownSide : grid.columns * grid.tileSide);
    const std::uint32_t height =
        static_cast<std::uint32_t>(grid.shownSide != 0 ? grid.shownSide : grid.rows * grid.tileSide);
    ByteWriter infos;
    infos.be16(0).be16(0).be16(tiles + 1);
    for (std::uint32_t item = 1; item <= tiles + 1; ++item) {
        // Version 2; the tiles are hidden, but for a primary one.
        const bool hidden = item > (grid.tileIsPrimary ? 2u : 1u);
        ByteWriter entry;
        const char* coded = grid.codec == HeifCodec::Hevc ? "hvc1" : "av01";
        entry.u8(2).u8(0).be16(hidden ? 1 : 0).be16(item).be16(0).text(item == 1 ? "grid" : coded).u8(0);
        infos.bytes(Box("infe", entry.data()));
    }
    ByteWriter references;
    references.be32(0);
    ByteWriter derived;
    derived.be16(1).be16(tiles);
    for (std::uint32_t item = 2; item <= tiles + 1; ++item)
        derived.be16(grid.firstTileTwice && item == tiles + 1 ? 2 : item);
    references.bytes(Box("dimg", derived.data()));

    // The grid's size follows the tile's properties.
    std::vector<std::uint8_t> container = tileProperties;
    for (std::size_t at = 8; grid.storedTileSide != 0 && at + 20 <= container.size();
         at += ReadBE32(&container[at])) {
        if (std::memcmp(&container[at + 4], "ispe", 4) != 0) continue;
        for (std::size_t side = 0; side < 2; ++side)
            for (std::size_t i = 0; i < 4; ++i)
                container[at + 12 + 4 * side + i] = static_cast<std::uint8_t>(
                    static_cast<std::uint32_t>(grid.storedTileSide) >> (24 - 8 * i));
    }
    const std::vector<std::uint8_t> size = HeifProperty("ispe", {0, width, height});
    container.insert(container.end(), size.begin(), size.end());
    const std::uint32_t total = ReadBE32(container.data()) + static_cast<std::uint32_t>(size.size());
    for (int i = 0; i < 4; ++i)
        container[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(total >> (24 - 8 * i));
    std::size_t propertyCount = 0;
    for (std::size_t at = 8; at + 8 <= tileProperties.size(); at += ReadBE32(&tileProperties[at]))
        ++propertyCount;
    ByteWriter associations;
    associations.be32(0).be32(tiles + 1);
    associations.be16(1).u8(1).u8(static_cast<std::uint32_t>(propertyCount + 1));
    for (std::uint32_t item = 2; item <= tiles + 1; ++item)
        associations.be16(item)
            .u8(static_cast<std::uint32_t>(tileAssociations.size()))
            .bytes(tileAssociations);
    const std::vector<std::uint8_t> properties = Box("iprp", [&] {
        std::vector<std::uint8_t> body = container;
        const std::vector<std::uint8_t> ipma = Box("ipma", associations.data());
        body.insert(body.end(), ipma.begin(), ipma.end());
        return body;
    }());

    // Version 1: the grid's description lies in the meta box, the tiles' in
    // the file.
    ByteWriter locations;
    locations.be32(0x01000000).u8(0x44).u8(0).be16(tiles + 1);
    locations.be16(1).be16(1).be16(0).be16(1).be32(0).be32(8);
    for (std::uint32_t item = 2; item <= tiles + 1; ++item) {
        const std::size_t offset = dataStart + (grid.sharedData ? 0 : (item - 2) * tileBytes);
        locations.be16(item)
            .be16(0)
            .be16(0)
            .be16(1)
            .be32(static_cast<std::uint32_t>(offset))
            .be32(static_cast<std::uint32_t>(tileBytes));
    }
    ByteWriter description;
    description.u8(0)
        .u8(0)
        .u8(static_cast<std::uint32_t>(grid.rows - 1))
        .u8(static_cast<std::uint32_t>(grid.columns - 1))
        .be16(width)
        .be16(height);

    ByteWriter meta;
    meta.be32(0);
    meta.bytes(Box("hdlr", ByteWriter().be32(0).be32(0).text("pict").fill(12, 0).u8(0).data()));
    meta.bytes(Box("pitm", ByteWriter().be32(0).be16(grid.tileIsPrimary ? 2 : 1).data()));
    meta.bytes(Box("iloc", locations.data()));
    meta.bytes(Box("iinf", infos.data()));
    meta.bytes(Box("iref", references.data()));
    meta.bytes(properties);
    meta.bytes(Box("idat", description.data()));
    return Box("meta", meta.data());
}

}  // namespace

std::vector<std::uint8_t> EncodeHeifGrid(const HeifGrid& grid) {
    // libheif writes smaller pictures as grids themselves.
    Require(grid.tileSide >= 64, "tiles of 64 pixels or more");
    const std::vector<std::uint8_t> tileFile = EncodeHeif(
        grid.tileSide, grid.tileSide,
        [](int x, int y) {
            return Rgba{static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4), 128, 255};
        },
        {grid.codec});
    const HeifBoxes tile(tileFile);
    std::vector<std::uint8_t> tileData;
    for (int picture = 0; picture < grid.picturesPerTile; ++picture) {
        const std::vector<std::uint8_t> coded = tile.PrimaryData();
        tileData.insert(tileData.end(), coded.begin(), coded.end());
    }
    const std::vector<std::uint8_t> fileType =
        grid.codec == HeifCodec::Hevc
            ? Box("ftyp", ByteWriter().text("heic").be32(0).text("mif1").text("heic").data())
            : Box("ftyp", ByteWriter().text("avif").be32(0).text("mif1").text("avif").data());
    const std::vector<std::uint8_t> sized =
        GridMeta(grid, tile.PropertyContainer(), tile.PrimaryAssociations(), tileData.size(), 0);
    const std::size_t dataStart = fileType.size() + sized.size() + 8;
    ByteWriter file;
    file.bytes(fileType).bytes(
        GridMeta(grid, tile.PropertyContainer(), tile.PrimaryAssociations(), tileData.size(), dataStart));
    const std::size_t copies = grid.sharedData ? 1 : static_cast<std::size_t>(grid.columns * grid.rows);
    file.be32(static_cast<std::uint32_t>(8 + copies * tileData.size())).text("mdat");
    for (std::size_t copy = 0; copy < copies; ++copy) file.bytes(tileData);
    return file.data();
}

void KeepAsFuzzSeed(const std::string& harness, const std::string& name,
                    const std::vector<std::uint8_t>& bytes) {
    const char* folder = std::getenv("KESTRIN_FUZZ_SEED_DIR");
    if (folder == nullptr || *folder == '\0') return;
    const std::filesystem::path path = std::filesystem::path(folder) / harness;
    std::filesystem::create_directories(path);
    WriteFileBytes(path / name, bytes);
}

}  // namespace testsupport
