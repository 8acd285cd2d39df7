#include "support/tiff_gif_writers.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace testsupport {

namespace {

// A growable in-memory file for libtiff's client interface.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    std::uint64_t position = 0;
};

MemoryFile& FileOf(thandle_t handle) {
    return *static_cast<MemoryFile*>(handle);
}

tmsize_t ReadMemory(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryFile& file = FileOf(handle);
    if (file.position >= file.bytes.size()) return 0;
    const auto n =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(size), file.bytes.size() - file.position);
    std::memcpy(buffer, file.bytes.data() + file.position, n);
    file.position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteMemory(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryFile& file = FileOf(handle);
    const auto n = static_cast<std::size_t>(size);
    if (file.position + n > file.bytes.size()) file.bytes.resize(file.position + n);
    std::memcpy(file.bytes.data() + file.position, buffer, n);
    file.position += n;
    return size;
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
    MemoryFile& file = FileOf(handle);
    const auto delta = static_cast<std::int64_t>(offset);
    std::int64_t target = whence == SEEK_SET   ? delta
                          : whence == SEEK_CUR ? static_cast<std::int64_t>(file.position) + delta
                                               : static_cast<std::int64_t>(file.bytes.size()) + delta;
    if (target < 0) return static_cast<toff_t>(-1);
    file.position = static_cast<std::uint64_t>(target);
    return file.position;
}

int CloseMemory(thandle_t) {
    return 0;
}
toff_t SizeMemory(thandle_t handle) {
    return FileOf(handle).bytes.size();
}
int MapMemory(thandle_t, void**, toff_t*) {
    return 0;
}
void UnmapMemory(thandle_t, void*, toff_t) {}

TIFF* OpenMemory(MemoryFile& file, const char* mode) {
    return TIFFClientOpen("test", mode, &file, ReadMemory, WriteMemory, SeekMemory, CloseMemory, SizeMemory,
                          MapMemory, UnmapMemory);
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// Writes the tiles of a picture whose rows are packed contiguously.
bool WriteTiles(TIFF* tiff, const TiffPicture& picture) {
    const std::size_t pixelBits = std::size_t{picture.samplesPerPixel} * picture.bitsPerSample;
    if (pixelBits % 8 != 0) return false;  // tiles are only made of whole-byte pixels here
    const std::size_t pixelBytes = pixelBits / 8;
    const std::size_t rowBytes = TiffRowBytes(picture);
    // Separate planes: one tile of each plane in turn, of one sample a pixel.
    const std::uint16_t planes = picture.planarSeparate ? picture.samplesPerPixel : 1;
    const std::size_t tileBytes = picture.planarSeparate ? pixelBytes / picture.samplesPerPixel : pixelBytes;
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(tiff)), 0);
    if (tile.size() < std::size_t{picture.tileWidth} * picture.tileHeight * tileBytes) return false;
    for (std::uint16_t plane = 0; plane < planes; ++plane)
        for (std::uint32_t y0 = 0; y0 < picture.height; y0 += picture.tileHeight) {
            for (std::uint32_t x0 = 0; x0 < picture.width; x0 += picture.tileWidth) {
                std::fill(tile.begin(), tile.end(), 0);
                for (std::uint32_t y = 0; y < picture.tileHeight && y0 + y < picture.height; ++y) {
                    const std::uint32_t columns = std::min(picture.tileWidth, picture.width - x0);
                    const std::uint8_t* in = picture.pixels.data() + (y0 + y) * rowBytes + x0 * pixelBytes;
                    std::uint8_t* out = tile.data() + y * picture.tileWidth * tileBytes;
                    if (!picture.planarSeparate) {
                        std::memcpy(out, in, columns * pixelBytes);
                        continue;
                    }
                    for (std::uint32_t x = 0; x < columns; ++x)
                        std::memcpy(out + x * tileBytes, in + x * pixelBytes + plane * tileBytes, tileBytes);
                }
                if (TIFFWriteTile(tiff, tile.data(), x0, y0, 0, plane) < 0) return false;
            }
        }
    return true;
}

}  // namespace

std::size_t TiffRowBytes(const TiffPicture& picture) {
    return (std::size_t{picture.width} * picture.samplesPerPixel * picture.bitsPerSample + 7) / 8;
}

std::vector<std::uint8_t> WriteTiff(const TiffPicture& picture, const std::vector<std::uint8_t>& iccProfile) {
    EXPECT_EQ(picture.pixels.size(), TiffRowBytes(picture) * picture.height)
        << "pixel data of the wrong size";
    MemoryFile file;
    {
        std::unique_ptr<TIFF, TiffCloser> tiff(OpenMemory(file, picture.bigTiff ? "w8" : "w"));
        if (!tiff) {
            ADD_FAILURE() << "libtiff cannot open a memory file for writing";
            return {};
        }
        TIFF* t = tiff.get();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, picture.width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, picture.height);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, picture.samplesPerPixel);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, picture.bitsPerSample);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, picture.photometric);
        TIFFSetField(t, TIFFTAG_COMPRESSION, picture.compression);
        if (picture.sampleFormat != SAMPLEFORMAT_UINT)
            TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, picture.sampleFormat);
        if (picture.minSampleValue) TIFFSetField(t, TIFFTAG_SMINSAMPLEVALUE, *picture.minSampleValue);
        if (picture.maxSampleValue) TIFFSetField(t, TIFFTAG_SMAXSAMPLEVALUE, *picture.maxSampleValue);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG,
                     picture.planarSeparate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
        if (picture.photometric == PHOTOMETRIC_YCBCR && picture.compression == COMPRESSION_JPEG)
            TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(t, TIFFTAG_ORIENTATION, picture.orientation);
        if (!iccProfile.empty())
            TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(iccProfile.size()),
                         iccProfile.data());
        if (picture.extraSample) {
            const std::uint16_t types[] = {*picture.extraSample};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, types);
        }
        if (!picture.colorMapRed.empty()) {
            TIFFSetField(t, TIFFTAG_COLORMAP, picture.colorMapRed.data(), picture.colorMapGreen.data(),
                         picture.colorMapBlue.data());
        }
        bool written = true;
        if (picture.tileWidth != 0) {
            TIFFSetField(t, TIFFTAG_TILEWIDTH, picture.tileWidth);
            TIFFSetField(t, TIFFTAG_TILELENGTH, picture.tileHeight);
            written = WriteTiles(t, picture);
        } else {
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, picture.rowsPerStrip != 0 ? picture.rowsPerStrip : 1);
            std::vector<std::uint8_t> row(TiffRowBytes(picture));
            if (picture.planarSeparate) {
                // Whole-byte samples only; each plane is written in full before the next.
                const std::size_t samples = picture.samplesPerPixel;
                const std::size_t sampleBytes = picture.bitsPerSample / 8;
                for (std::uint16_t plane = 0; plane < samples && written; ++plane) {
                    for (std::uint32_t y = 0; y < picture.height && written; ++y) {
                        const std::uint8_t* in = picture.pixels.data() + y * row.size();
                        for (std::size_t x = 0; x < picture.width; ++x)
                            std::memcpy(row.data() + x * sampleBytes,
                                        in + (x * samples + plane) * sampleBytes, sampleBytes);
                        written = TIFFWriteScanline(t, row.data(), y, plane) >= 0;
                    }
                }
            } else {
                for (std::uint32_t y = 0; y < picture.height && written; ++y) {
                    // libtiff may change the buffer it is given (predictors, bit order).
                    std::memcpy(row.data(), picture.pixels.data() + y * row.size(), row.size());
                    written = TIFFWriteScanline(t, row.data(), y, 0) >= 0;
                }
            }
        }
        if (!written || !TIFFWriteDirectory(t)) {
            ADD_FAILURE() << "libtiff refused to write the test picture";
            return {};
        }
    }
    return file.bytes;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> TiffStripLocations(
    const std::vector<std::uint8_t>& bytes) {
    MemoryFile file{bytes, 0};
    std::unique_ptr<TIFF, TiffCloser> tiff(OpenMemory(file, "r"));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> strips;
    if (!tiff) return strips;
    std::uint64_t* offsets = nullptr;
    std::uint64_t* counts = nullptr;
    if (!TIFFGetField(tiff.get(), TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(tiff.get(), TIFFTAG_STRIPBYTECOUNTS, &counts))
        return strips;
    for (std::uint32_t i = 0; i < TIFFNumberOfStrips(tiff.get()); ++i)
        strips.emplace_back(offsets[i], counts[i]);
    return strips;
}

// ---------------------------------------------------------------------------

namespace {

int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto& out = *static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out.insert(out.end(), data, data + length);
    return length;
}

struct MapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using MapHandle = std::unique_ptr<ColorMapObject, MapFreer>;

MapHandle MakeMap(const std::vector<GifColor>& colors) {
    if (colors.empty()) return nullptr;
    int size = 2;
    while (size < static_cast<int>(colors.size())) size *= 2;
    std::vector<GifColorType> entries(static_cast<std::size_t>(size), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < colors.size(); ++i)
        entries[i] = GifColorType{colors[i].red, colors[i].green, colors[i].blue};
    return MapHandle(GifMakeMapObject(size, entries.data()));
}

}  // namespace

std::vector<std::uint8_t> WriteGif(const GifPicture& picture) {
    std::vector<std::uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    if (gif == nullptr) {
        ADD_FAILURE() << "giflib cannot open a writer: " << GifErrorString(error);
        return {};
    }
    EGifSetGifVersion(gif, true);
    bool ok = true;
    auto check = [&](int result, const char* what) {
        if (ok && result == GIF_ERROR) {
            ADD_FAILURE() << "giflib refused " << what << ": " << GifErrorString(gif->Error);
            ok = false;
        }
    };

    MapHandle global = MakeMap(picture.globalMap);
    check(EGifPutScreenDesc(gif, picture.width, picture.height, 8, picture.background, global.get()),
          "the screen");
    if (picture.comment) check(EGifPutComment(gif, picture.comment->c_str()), "the comment");
    for (const GifImage& image : picture.images) {
        if (!ok) break;
        EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height);
        if (image.transparentIndex) {
            GraphicsControlBlock control{};
            control.DisposalMode = DISPOSAL_UNSPECIFIED;
            control.TransparentColor = *image.transparentIndex;
            GifByteType extension[4];
            const auto length = EGifGCBToExtension(&control, extension);
            check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension),
                  "the graphic control");
        }
        MapHandle local = MakeMap(image.localMap);
        if (!local && gif->Image.ColorMap != nullptr) {
            // giflib forgets the previous image's map instead of freeing it.
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        check(EGifPutImageDesc(gif, image.left, image.top, image.width, image.height, image.interlaced,
                               local.get()),
              "the image descriptor");
        std::vector<int> order;
        if (image.interlaced) {
            const int passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
            for (const auto& pass : passes)
                for (int row = pass[0]; row < image.height; row += pass[1]) order.push_back(row);
        } else {
            for (int row = 0; row < image.height; ++row) order.push_back(row);
        }
        std::vector<GifPixelType> line(static_cast<std::size_t>(image.width));
        for (int row : order) {
            if (!ok) break;
            std::memcpy(line.data(), image.pixels.data() + static_cast<std::size_t>(row) * image.width,
                        line.size());
            check(EGifPutLine(gif, line.data(), image.width), "a line");
        }
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR && ok) {
        ADD_FAILURE() << "giflib could not finish the file: " << GifErrorString(error);
        ok = false;
    }
    return ok ? out : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> RemoveGifGlobalMap(const std::vector<std::uint8_t>& gif) {
    constexpr std::size_t kFlagsOffset = 10;
    constexpr std::size_t kMapOffset = 13;
    std::vector<std::uint8_t> out = gif;
    if (out.size() <= kMapOffset || (out[kFlagsOffset] & 0x80) == 0) return out;
    const std::size_t mapBytes = 3 * (std::size_t{1} << ((out[kFlagsOffset] & 0x07) + 1));
    out[kFlagsOffset] &= 0x7F;
    out.erase(out.begin() + kMapOffset, out.begin() + static_cast<std::ptrdiff_t>(kMapOffset + mapBytes));
    return out;
}

}  // namespace testsupport
