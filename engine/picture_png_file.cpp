#include "engine/picture_png_file.h"

#include "engine/output_file.h"
#include "engine/output_replacement.h"
#include "engine/temporary_file.h"
#include "imagelib/image_bitmap.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::vector<std::uint8_t> rgbRows(const CImageBitmap& picture) {
    const auto width = static_cast<std::size_t>(picture.GetWidth());
    std::vector<std::uint8_t> rgb;
    rgb.reserve(width * static_cast<std::size_t>(picture.GetHeight()) * 3);
    for (int y = 0; y < picture.GetHeight(); ++y) {
        const std::uint8_t* pixel = picture.GetRows()[y];
        for (std::size_t x = 0; x < width; ++x, pixel += 4)
            rgb.insert(rgb.end(), {pixel[2], pixel[1], pixel[0]});
    }
    return rgb;
}

// Writes the PNG through the temporary file's descriptor; the reason on failure.
std::string writeInto(const TemporaryFile& temporary, const CImageBitmap& picture) {
    const int handle = ::fcntl(temporary.handle(), F_DUPFD_CLOEXEC, 0);
    if (handle < 0) return describeSystemError(errno);
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(handle, "wb"));
    if (file == nullptr) {
        const int error = errno;
        ::close(handle);
        return describeSystemError(error);
    }
    const std::vector<std::uint8_t> rgb = rgbRows(picture);
    // The simplified interface keeps libpng's error jumps inside libpng.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.GetWidth());
    image.height = static_cast<png_uint_32>(picture.GetHeight());
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_stdio(&image, file.get(), 0, rgb.data(), 0, nullptr)) {
        std::string reason = image.message;
        png_image_free(&image);
        return reason;
    }
    if (std::fflush(file.get()) != 0 || ::fsync(fileno(file.get())) != 0) return describeSystemError(errno);
    if (std::fclose(file.release()) != 0) return describeSystemError(errno);
    return {};
}

}  // namespace

void writePicturePng(const CImageBitmap& picture, const std::string& path, const std::string& sourcePath,
                     bool replaceExisting) {
    const auto fail = [&path](const char* action, const std::string& reason) {
        throw PictureFileError("PNG " + path + " could not be " + action + ": " + reason, reason);
    };
    if (picture.GetDepth() != 32 || picture.GetWidth() <= 0 || picture.GetHeight() <= 0)
        fail("written", "no 32-bit picture to write");
    if (isSameFile(path, sourcePath)) fail("written", "it is the file being read");
    if (const auto refusal = outputRefusal(path, OutputKind::kPng, replaceExisting))
        fail("written", refusal->reason);
    TemporaryFile temporary;
    if (!temporary.create(path)) fail("created", describeSystemError(errno));
    std::string reason = writeInto(temporary, picture);
    // A file put there meanwhile is replaced only if it is a PNG too.
    if (reason.empty() && replaceExisting) {
        if (const auto refusal = outputRefusal(path, OutputKind::kPng, true)) reason = refusal->reason;
    }
    if (reason.empty()) {
        const TemporaryFile::CommitResult committed = temporary.commit(replaceExisting);
        if (committed == TemporaryFile::CommitResult::kTargetExists)
            reason = "already exists";
        else if (committed != TemporaryFile::CommitResult::kCommitted)
            reason = TemporaryFile::describe(committed);
    }
    if (!reason.empty()) fail("written", reason);
}
