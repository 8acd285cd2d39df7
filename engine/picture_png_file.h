#pragma once

#include <string>

class CImageBitmap;

// Writes a 32-bit picture as an RGB PNG the way databases are written: into a
// new temporary file for `path`, through its descriptor, moved over `path`
// only when complete, so a failure leaves nothing behind and never destroys
// an existing file. A `path` that leads to the file at `sourcePath` (the one
// the picture was read from) is refused. Throws std::runtime_error naming the
// file and the reason.
void writePicturePng(const CImageBitmap& picture, const std::string& path, const std::string& sourcePath);
