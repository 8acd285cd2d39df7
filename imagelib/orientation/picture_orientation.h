#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Where each format that carries an orientation tag keeps it, found in the
// file's bytes without decoding the picture. Each gives kOrientationAsStored
// (exif_orientation.h) when the file has none or its container is damaged.
int FindJpegOrientation(const std::uint8_t* data, std::size_t size);  // APP1 "Exif\0\0"
int FindPngOrientation(const std::uint8_t* data, std::size_t size);   // eXIf, before or after the image data
int FindWebpOrientation(const std::uint8_t* data, std::size_t size);  // the EXIF chunk of the RIFF container
int FindTiffOrientation(const std::uint8_t* data, std::size_t size);  // the file's own tag

// How the picture CAnyFormatDecoder makes of these bytes still has to be
// turned to be seen upright. libtiff already turns a TIFF as far as it can
// without swapping width and height, so of a TIFF's orientation only a
// transpose is left. Formats without an orientation tag give
// kOrientationAsStored; HEIF and AVIF among them, whose own turning libheif
// does while decoding.
int ReadPictureOrientation(const std::string& name, const std::uint8_t* data, std::int64_t size);

// The same for a file, which is mapped for the look; kOrientationAsStored
// when it cannot be opened (the decode then says why).
int ReadPictureOrientation(const std::string& path);
