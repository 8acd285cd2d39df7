#pragma once

#include <stdexcept>
#include <string>

class CImageBitmap;

// A PNG that could not be written: the text names the file and says why;
// reason() is the why alone, for a line after the file's name.
class PictureFileError : public std::runtime_error {
public:
    PictureFileError(const std::string& text, std::string reason)
        : std::runtime_error(text), m_reason(std::move(reason)) {}
    const std::string& reason() const { return m_reason; }

private:
    std::string m_reason;
};

// Writes a 32-bit picture as an RGB PNG the way databases are written: into a
// new temporary file for `path`, through its descriptor, moved to `path` only
// when complete, so a failure leaves nothing behind and never destroys an
// existing file. An existing file at `path` is replaced only when it is a PNG
// and `replaceExisting` is set (see output_replacement.h); one that leads to
// the file at `sourcePath` (the one the picture was read from) never is.
// Throws PictureFileError.
void writePicturePng(const CImageBitmap& picture, const std::string& path, const std::string& sourcePath,
                     bool replaceExisting);
