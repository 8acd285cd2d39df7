#pragma once

#include <string>

class CImageBitmap;

// Writes a 32-bit picture as an RGB PNG the way databases are written: into a
// new temporary file beside `path`, renamed over it only when complete, so a
// failure leaves nothing behind and never destroys an existing file. Throws
// std::runtime_error naming the file and the reason.
void writePicturePng(const CImageBitmap& picture, const std::string& path);
