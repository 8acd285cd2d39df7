// kestrin_bench_inputs: writes the repeatable, photo-like pictures that
// bench/run.sh converts, so the benchmark needs no files from elsewhere.
//
//   kestrin_bench_inputs jpeg WIDTH HEIGHT QUALITY SEED FILE
//   kestrin_bench_inputs jpeg-p3 WIDTH HEIGHT QUALITY SEED FILE  (the same, tagged Display P3)
//   kestrin_bench_inputs jpeg-wide-gamut WIDTH HEIGHT QUALITY SEED FILE  (tagged Wide Gamut RGB)
//   kestrin_bench_inputs png  WIDTH HEIGHT SEED FILE
//   kestrin_bench_inputs bmp  WIDTH HEIGHT SEED FILE
//   kestrin_bench_inputs webp WIDTH HEIGHT QUALITY SEED FILE
//   kestrin_bench_inputs heic WIDTH HEIGHT QUALITY SEED FILE
//   kestrin_bench_inputs avif WIDTH HEIGHT QUALITY SEED FILE
//
// A photo compresses and decodes differently from a flat test pattern: the
// JPEG coder spends its time on detail, and noise keeps the entropy coder
// busy. So the pictures are smooth light and colour gradients (sky, shading)
// with some mid-frequency texture and per-pixel sensor-like noise. Rows are
// generated and written one at a time, so a 6000 x 4000 picture needs no
// full-size buffer (but for WebP, HEIC and AVIF, whose encoders take the whole
// picture at once).
#include <cmath>
#include <cstdint>
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>
#include <libheif/heif.h>
#include <png.h>
#include <webp/encode.h>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// A small, fast, repeatable hash for the noise: the same seed gives the same
// picture on every machine.
std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// Makes rows of red, green, blue samples. The smooth parts are separable
// (per-column and per-row tables), so a row costs a few table look-ups and a
// hash per pixel.
class PhotoLikePicture {
public:
    PhotoLikePicture(int width, int height, unsigned seed)
        : m_width(width),
          m_seed(seed),
          m_columns(static_cast<std::size_t>(width) * 3),
          m_rows(static_cast<std::size_t>(height) * 3),
          m_columnTexture(static_cast<std::size_t>(width)),
          m_rowTexture(static_cast<std::size_t>(height)) {
        const double phase = 0.37 * seed;
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            double* column = &m_columns[static_cast<std::size_t>(x) * 3];
            column[0] = 70.0 * std::sin(kPi * (1.3 * u + 0.2 + phase));
            column[1] = 45.0 * std::cos(kPi * (2.1 * u + phase));
            column[2] = 60.0 * std::sin(kPi * (0.7 * u + 0.5 + phase));
            m_columnTexture[static_cast<std::size_t>(x)] = std::sin(2 * kPi * u * 37.0 + phase);
        }
        for (int y = 0; y < height; ++y) {
            const double v = static_cast<double>(y) / height;
            double* row = &m_rows[static_cast<std::size_t>(y) * 3];
            // Brighter "sky" at the top, darker "ground" below.
            row[0] = 120.0 - 40.0 * v + 20.0 * std::sin(kPi * (3.0 * v + phase));
            row[1] = 130.0 - 50.0 * v + 25.0 * std::cos(kPi * (1.7 * v + phase));
            row[2] = 150.0 - 80.0 * v;
            m_rowTexture[static_cast<std::size_t>(y)] = std::cos(2 * kPi * v * 23.0 + phase);
        }
    }

    void fillRow(int y, std::uint8_t* rgb) const {
        const double* row = &m_rows[static_cast<std::size_t>(y) * 3];
        const double rowTexture = m_rowTexture[static_cast<std::size_t>(y)];
        for (int x = 0; x < m_width; ++x) {
            const double* column = &m_columns[static_cast<std::size_t>(x) * 3];
            // Texture that is stronger in the lower half, like foliage or
            // fabric under a sky.
            const double texture = 18.0 * m_columnTexture[static_cast<std::size_t>(x)] * rowTexture;
            const std::uint32_t noise =
                Hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), m_seed);
            for (int c = 0; c < 3; ++c) {
                const double grain = static_cast<double>((noise >> (8 * c)) & 0x1F) - 15.5;
                const double value = row[c] + column[c] + texture + grain;
                rgb[3 * x + c] = static_cast<std::uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    }

private:
    int m_width;
    unsigned m_seed;
    std::vector<double> m_columns;
    std::vector<double> m_rows;
    std::vector<double> m_columnTexture;
    std::vector<double> m_rowTexture;
};

// libjpeg's default error handler prints and exits, which is all a generator
// needs.
// A matrix profile of the primaries, white and tone curve; empty if lcms2
// cannot build it.
std::vector<std::uint8_t> MatrixProfile(const cmsCIExyY& white, const cmsCIExyYTRIPLE& primaries,
                                        cmsToneCurve* curve) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = curve != nullptr ? cmsCreateRGBProfile(&white, &primaries, curves) : nullptr;
    if (curve != nullptr) cmsFreeToneCurve(curve);
    std::vector<std::uint8_t> bytes;
    cmsUInt32Number size = 0;
    if (profile != nullptr && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        cmsSaveProfileToMem(profile, bytes.data(), &size);
    }
    if (profile != nullptr) cmsCloseProfile(profile);
    return bytes;
}

// Display P3 (P3 primaries, D65 white, the sRGB curve), as phones tag their
// photos.
std::vector<std::uint8_t> DisplayP3Profile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number parameters[] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    return MatrixProfile(white, primaries, cmsBuildParametricToneCurve(nullptr, 4, parameters));
}

// Wide Gamut RGB (primaries at 700, 525 and 450 nm, D50 white, gamma 2.2), a
// matrix profile none of the common spaces.
std::vector<std::uint8_t> WideGamutProfile() {
    const cmsCIExyY white{0.3457, 0.3585, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.7347, 0.2653, 1.0}, {0.1152, 0.8264, 1.0}, {0.1566, 0.0177, 1.0}};
    return MatrixProfile(white, primaries, cmsBuildGamma(nullptr, 563.0 / 256.0));
}

bool WriteJpeg(std::FILE* file, const PhotoLikePicture& picture, int width, int height, int quality,
               const std::vector<std::uint8_t>& profile = {}) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);  // YCbCr with 4:2:0 chroma, as cameras write
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    if (!profile.empty())
        jpeg_write_icc_profile(&info, profile.data(), static_cast<unsigned>(profile.size()));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    while (info.next_scanline < info.image_height) {
        picture.fillRow(static_cast<int>(info.next_scanline), row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool WritePng(std::FILE* file, const PhotoLikePicture& picture, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        picture.fillRow(y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

void PutLE16(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLE32(std::uint8_t* p, std::uint32_t value) {
    PutLE16(p, value & 0xFFFF);
    PutLE16(p + 2, value >> 16);
}

// A plain 24-bit Windows bitmap: 14-byte file header, 40-byte info header,
// rows bottom-up, blue-green-red, each padded to 4 bytes.
bool WriteBmp(std::FILE* file, const PhotoLikePicture& picture, int width, int height) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint64_t imageBytes = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(height);
    if (imageBytes + 54 > 0xFFFFFFFFu) return false;
    std::uint8_t header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutLE32(header + 2, static_cast<std::uint32_t>(imageBytes + 54));
    PutLE32(header + 10, 54);
    PutLE32(header + 14, 40);
    PutLE32(header + 18, static_cast<std::uint32_t>(width));
    PutLE32(header + 22, static_cast<std::uint32_t>(height));
    PutLE16(header + 26, 1);
    PutLE16(header + 28, 24);
    PutLE32(header + 34, static_cast<std::uint32_t>(imageBytes));
    PutLE32(header + 38, 2835);  // 72 dots per inch
    PutLE32(header + 42, 2835);
    if (std::fwrite(header, 1, sizeof header, file) != sizeof header) return false;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3);
    std::vector<std::uint8_t> row(stride, 0);
    for (int y = height - 1; y >= 0; --y) {
        picture.fillRow(y, rgb.data());
        for (int x = 0; x < width; ++x) {
            row[3 * x + 0] = rgb[3 * x + 2];
            row[3 * x + 1] = rgb[3 * x + 1];
            row[3 * x + 2] = rgb[3 * x + 0];
        }
        if (std::fwrite(row.data(), 1, row.size(), file) != row.size()) return false;
    }
    return true;
}

std::vector<std::uint8_t> WholePicture(const PhotoLikePicture& picture, int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) picture.fillRow(y, &rgb[static_cast<std::size_t>(y) * width * 3]);
    return rgb;
}

bool WriteWebP(std::FILE* file, const PhotoLikePicture& picture, int width, int height, int quality) {
    const auto rgb = WholePicture(picture, width, height);
    std::uint8_t* output = nullptr;
    const std::size_t size =
        WebPEncodeRGB(rgb.data(), width, height, width * 3, static_cast<float>(quality), &output);
    const bool written = size != 0 && std::fwrite(output, 1, size, file) == size;
    WebPFree(output);
    return written;
}

// HEVC in the HEIF container, as phones write their photos, or AV1 (AVIF).
bool WriteHeif(std::FILE* file, const PhotoLikePicture& picture, int width, int height, int quality,
               heif_compression_format compression) {
    heif_image* image = nullptr;
    if (heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code !=
        heif_error_Ok)
        return false;
    std::unique_ptr<heif_image, decltype(&heif_image_release)> imageOwner(image, heif_image_release);
    if (heif_image_add_plane(image, heif_channel_interleaved, width, height, 8).code != heif_error_Ok)
        return false;
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < height; ++y) picture.fillRow(y, plane + static_cast<std::size_t>(y) * stride);

    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                        heif_context_free);
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), compression, &encoder).code != heif_error_Ok)
        return false;
    std::unique_ptr<heif_encoder, decltype(&heif_encoder_release)> encoderOwner(encoder,
                                                                                heif_encoder_release);
    heif_encoder_set_lossy_quality(encoder, quality);
    if (heif_context_encode_image(context.get(), image, encoder, nullptr, nullptr).code != heif_error_Ok)
        return false;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = [](heif_context*, const void* data, size_t size, void* target) {
        const bool written = std::fwrite(data, 1, size, static_cast<std::FILE*>(target)) == size;
        return heif_error{written ? heif_error_Ok : heif_error_Encoding_error, heif_suberror_Unspecified, ""};
    };
    return heif_context_write(context.get(), &writer, file).code == heif_error_Ok;
}

bool ParseInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

int Usage() {
    std::fputs(
        "usage: kestrin_bench_inputs jpeg WIDTH HEIGHT QUALITY SEED FILE\n"
        "       kestrin_bench_inputs jpeg-p3 WIDTH HEIGHT QUALITY SEED FILE\n"
        "       kestrin_bench_inputs jpeg-wide-gamut WIDTH HEIGHT QUALITY SEED FILE\n"
        "       kestrin_bench_inputs png  WIDTH HEIGHT SEED FILE\n"
        "       kestrin_bench_inputs bmp  WIDTH HEIGHT SEED FILE\n"
        "       kestrin_bench_inputs webp WIDTH HEIGHT QUALITY SEED FILE\n"
        "       kestrin_bench_inputs heic WIDTH HEIGHT QUALITY SEED FILE\n"
        "       kestrin_bench_inputs avif WIDTH HEIGHT QUALITY SEED FILE\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string format = argv[1];
    // The lossy formats take a quality.
    const bool lossy = format == "jpeg" || format == "jpeg-p3" || format == "jpeg-wide-gamut" ||
                       format == "webp" || format == "heic" || format == "avif";
    if (!lossy && format != "png" && format != "bmp") return Usage();
    if (argc != (lossy ? 7 : 6)) return Usage();

    int width = 0;
    int height = 0;
    int quality = 90;
    int seed = 0;
    int argument = 2;
    if (!ParseInt(argv[argument++], 1, 30000, width) || !ParseInt(argv[argument++], 1, 30000, height))
        return Usage();
    if (lossy && !ParseInt(argv[argument++], 1, 100, quality)) return Usage();
    if (!ParseInt(argv[argument++], 0, 1 << 30, seed)) return Usage();
    const std::string path = argv[argument];

    // Written under a temporary name, so an interrupted run leaves no
    // half-written input for the next run to reuse.
    const std::string temporary = path + ".part";
    FilePointer file(std::fopen(temporary.c_str(), "wb"));
    if (!file) {
        std::perror(temporary.c_str());
        return 1;
    }
    const PhotoLikePicture picture(width, height, static_cast<unsigned>(seed));
    bool written = false;
    if (format == "jpeg")
        written = WriteJpeg(file.get(), picture, width, height, quality);
    else if (format == "jpeg-p3")
        written = WriteJpeg(file.get(), picture, width, height, quality, DisplayP3Profile());
    else if (format == "jpeg-wide-gamut")
        written = WriteJpeg(file.get(), picture, width, height, quality, WideGamutProfile());
    else if (format == "webp")
        written = WriteWebP(file.get(), picture, width, height, quality);
    else if (format == "heic")
        written = WriteHeif(file.get(), picture, width, height, quality, heif_compression_HEVC);
    else if (format == "avif")
        written = WriteHeif(file.get(), picture, width, height, quality, heif_compression_AV1);
    else if (format == "png")
        written = WritePng(file.get(), picture, width, height);
    else
        written = WriteBmp(file.get(), picture, width, height);
    if (std::fclose(file.release()) != 0) written = false;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "kestrin_bench_inputs: could not write %s\n", path.c_str());
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
