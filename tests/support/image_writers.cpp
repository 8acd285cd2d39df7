#include "support/image_writers.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace testsupport {

// ---------------------------------------------------------------------------
// PNG

namespace {

struct PngWriteJob {
    const PngPicture* picture = nullptr;
    std::vector<std::uint8_t>* out = nullptr;
    std::vector<png_bytep>* rows = nullptr;
    std::vector<png_color>* palette = nullptr;
    png_color_16 transparentColor{};
    char message[256] = {};
};

void PngWriteError(png_structp png, png_const_charp text) {
    auto* job = static_cast<PngWriteJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", text);
    png_longjmp(png, 1);
}

void PngWriteWarning(png_structp, png_const_charp) {}

void PngWriteBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* job = static_cast<PngWriteJob*>(png_get_io_ptr(png));
    job->out->insert(job->out->end(), data, data + length);
}

void PngFlush(png_structp) {}

// No C++ objects live here, so libpng may longjmp back.
bool RunPngWrite(png_structp png, png_infop info, PngWriteJob& job) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    const PngPicture& p = *job.picture;
    png_set_write_fn(png, &job, PngWriteBytes, PngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), p.bitDepth,
                 p.colorType, p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!job.palette->empty())
        png_set_PLTE(png, info, job.palette->data(), static_cast<int>(job.palette->size()));
    if (!p.paletteAlpha.empty())
        png_set_tRNS(png, info, p.paletteAlpha.data(), static_cast<int>(p.paletteAlpha.size()), nullptr);
    if (p.transparentColor) png_set_tRNS(png, info, nullptr, 0, &job.transparentColor);
    png_write_info(png, info);
    png_write_image(png, job.rows->data());
    png_write_end(png, info);
    return true;
}

}  // namespace

int PngChannels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return 4;
        default:
            return 1;
    }
}

std::vector<std::uint8_t> EncodePng(const PngPicture& picture) {
    const int channels = PngChannels(picture.colorType);
    const std::size_t samplesPerRow =
        static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(channels);
    if (picture.samples.size() != samplesPerRow * static_cast<std::size_t>(picture.height))
        throw std::runtime_error("EncodePng: wrong sample count");
    const std::size_t rowBytes = (samplesPerRow * static_cast<std::size_t>(picture.bitDepth) + 7) / 8;

    // Pack the samples as the file stores them: sub-byte samples most
    // significant bits first, 16-bit samples big-endian.
    std::vector<std::uint8_t> packed(rowBytes * static_cast<std::size_t>(picture.height), 0);
    std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        std::uint8_t* row = packed.data() + rowBytes * static_cast<std::size_t>(y);
        rows[static_cast<std::size_t>(y)] = row;
        for (std::size_t i = 0; i < samplesPerRow; ++i) {
            const std::uint16_t value = picture.samples[static_cast<std::size_t>(y) * samplesPerRow + i];
            if (picture.bitDepth == 16) {
                row[2 * i] = static_cast<std::uint8_t>(value >> 8);
                row[2 * i + 1] = static_cast<std::uint8_t>(value);
            } else if (picture.bitDepth == 8) {
                row[i] = static_cast<std::uint8_t>(value);
            } else {
                const std::size_t bit = i * static_cast<std::size_t>(picture.bitDepth);
                const int shift = 8 - picture.bitDepth - static_cast<int>(bit % 8);
                row[bit / 8] |= static_cast<std::uint8_t>(value << shift);
            }
        }
    }
    std::vector<png_color> palette;
    for (const auto& color : picture.palette) palette.push_back(png_color{color[0], color[1], color[2]});

    std::vector<std::uint8_t> out;
    PngWriteJob job;
    job.picture = &picture;
    job.out = &out;
    job.rows = &rows;
    job.palette = &palette;
    if (picture.transparentColor) {
        const auto& key = *picture.transparentColor;
        job.transparentColor.gray = key[0];
        job.transparentColor.red = key[0];
        job.transparentColor.green = key[1];
        job.transparentColor.blue = key[2];
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, PngWriteError, PngWriteWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool written = info != nullptr && RunPngWrite(png, info, job);
    png_destroy_write_struct(&png, &info);
    if (!written) throw std::runtime_error(std::string("EncodePng: ") + job.message);
    return out;
}

std::optional<DecodedPng> DecodePngReference(const std::vector<std::uint8_t>& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size()) == 0) return std::nullopt;
    DecodedPng decoded;
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    decoded.sixteenBit = (image.format & PNG_FORMAT_FLAG_LINEAR) != 0;
    void* buffer = nullptr;
    if (decoded.sixteenBit) {
        image.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
        decoded.rgba16.resize(PNG_IMAGE_SIZE(image) / 2);
        buffer = decoded.rgba16.data();
    } else {
        image.format = PNG_FORMAT_BGRA;
        decoded.bgra.resize(PNG_IMAGE_SIZE(image));
        buffer = decoded.bgra.data();
    }
    if (png_image_finish_read(&image, nullptr, buffer, 0, nullptr) == 0) {
        png_image_free(&image);
        return std::nullopt;
    }
    return decoded;
}

// ---------------------------------------------------------------------------
// JPEG

namespace {

struct JpegErrorTrap {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
};

void JpegTrapExit(j_common_ptr common) {
    auto* trap = reinterpret_cast<JpegErrorTrap*>(common->err);
    (*common->err->format_message)(common, trap->message);
    std::longjmp(trap->jump, 1);
}

void JpegQuiet(j_common_ptr, int) {}

struct JpegWriteJob {
    const JpegPicture* picture = nullptr;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

// No C++ objects live here, so libjpeg may longjmp back.
bool RunJpegWrite(jpeg_compress_struct& info, JpegErrorTrap& trap, JpegWriteJob& job) {
    if (setjmp(trap.jump) != 0) return false;
    const JpegPicture& p = *job.picture;
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &job.buffer, &job.size);
    info.image_width = static_cast<JDIMENSION>(p.width);
    info.image_height = static_cast<JDIMENSION>(p.height);
    info.input_components = p.components;
    info.in_color_space = p.components == 1 ? JCS_GRAYSCALE : p.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    if (p.components == 4) jpeg_set_colorspace(&info, p.ycck ? JCS_YCCK : JCS_CMYK);
    if (p.components == 3 && p.storeRgb) jpeg_set_colorspace(&info, JCS_RGB);
    jpeg_set_quality(&info, p.quality, TRUE);
    if (p.components == 3) {
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = p.subsample ? 2 : 1;
        for (int c = 1; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    }
    if (p.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(p.samples.data() + stride * info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

struct JpegReadJob {
    const std::vector<std::uint8_t>* stream = nullptr;
    DecodedJpeg* out = nullptr;
};

bool RunJpegRead(jpeg_decompress_struct& info, JpegErrorTrap& trap, JpegReadJob& job) {
    if (setjmp(trap.jump) != 0) return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, job.stream->data(), job.stream->size());
    jpeg_read_header(&info, TRUE);
    info.do_fancy_upsampling = FALSE;
    info.dct_method = JDCT_FLOAT;
    jpeg_start_decompress(&info);
    DecodedJpeg& out = *job.out;
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.components = info.output_components;
    const std::size_t stride = static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.components);
    // Sized by the caller's helper below before the samples are written.
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.samples.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

bool RunJpegReadHeader(jpeg_decompress_struct& info, JpegErrorTrap& trap,
                       const std::vector<std::uint8_t>& stream, std::size_t& bytes) {
    if (setjmp(trap.jump) != 0) return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, stream.data(), stream.size());
    jpeg_read_header(&info, TRUE);
    jpeg_calc_output_dimensions(&info);
    bytes = static_cast<std::size_t>(info.output_width) * info.output_height *
            static_cast<std::size_t>(info.output_components);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const JpegPicture& picture) {
    if (picture.samples.size() != static_cast<std::size_t>(picture.width) *
                                      static_cast<std::size_t>(picture.height) *
                                      static_cast<std::size_t>(picture.components))
        throw std::runtime_error("EncodeJpeg: wrong sample count");
    jpeg_compress_struct info{};
    JpegErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = JpegTrapExit;
    JpegWriteJob job;
    job.picture = &picture;
    const bool written = RunJpegWrite(info, trap, job);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> out;
    if (job.buffer != nullptr) out.assign(job.buffer, job.buffer + job.size);
    std::free(job.buffer);
    if (!written) throw std::runtime_error(std::string("EncodeJpeg: ") + trap.message);
    return out;
}

DecodedJpeg DecodeJpegReference(const std::vector<std::uint8_t>& stream) {
    DecodedJpeg decoded;
    std::size_t bytes = 0;
    {
        jpeg_decompress_struct info{};
        JpegErrorTrap trap;
        info.err = jpeg_std_error(&trap.manager);
        trap.manager.error_exit = JpegTrapExit;
        trap.manager.emit_message = JpegQuiet;
        const bool read = RunJpegReadHeader(info, trap, stream, bytes);
        jpeg_destroy_decompress(&info);
        if (!read) throw std::runtime_error(std::string("DecodeJpegReference: ") + trap.message);
    }
    decoded.samples.resize(bytes);
    jpeg_decompress_struct info{};
    JpegErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = JpegTrapExit;
    trap.manager.emit_message = JpegQuiet;
    JpegReadJob job;
    job.stream = &stream;
    job.out = &decoded;
    const bool read = RunJpegRead(info, trap, job);
    jpeg_destroy_decompress(&info);
    if (!read) throw std::runtime_error(std::string("DecodeJpegReference: ") + trap.message);
    return decoded;
}

std::vector<std::uint8_t> MakePhotoLikeRgb(int width, int height, unsigned seed) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    std::uint32_t noise = seed * 2654435761u + 1;
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>((noise >> 24) & 15) - 8;
            // Broad gradients, a soft diagonal band and a little grain, as
            // a photograph's sky, objects and sensor noise would give.
            const int band = ((x + y) / 7) % 64;
            const int r = x * 255 / std::max(width - 1, 1);
            const int g = y * 255 / std::max(height - 1, 1);
            const int b = 128 + (band < 32 ? band : 63 - band) * 3;
            rgb[i++] = static_cast<std::uint8_t>(std::clamp(r + grain, 0, 255));
            rgb[i++] = static_cast<std::uint8_t>(std::clamp(g + grain, 0, 255));
            rgb[i++] = static_cast<std::uint8_t>(std::clamp(b - grain, 0, 255));
        }
    }
    return rgb;
}

std::vector<std::uint8_t> CutOffJpeg() {
    JpegPicture photo;
    photo.width = 64;
    photo.height = 256;
    for (int i = 0; i < photo.width * photo.height * 3; ++i)
        photo.samples.push_back(static_cast<std::uint8_t>(i * 37 % 251));
    std::vector<std::uint8_t> stream = EncodeJpeg(photo);
    stream.resize(stream.size() / 2);
    return stream;
}

}  // namespace testsupport
