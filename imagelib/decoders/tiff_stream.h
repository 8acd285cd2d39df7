#pragma once

#include "imagelib/limits/decode_limits.h"
#include "imagelib/text_exception.h"

#include <cstdint>
#include <memory>
#include <string>

// The handle type of libtiff, declared the way tiffio.h declares it.
typedef struct tiff TIFF;

// One open TIFF stream: the bytes libtiff reads through the decoder's client
// procedures, and the last error message libtiff reported for this handle. Each
// decode has its own, so decodes on several threads never share a message.
struct TiffMemoryStream {
    const std::uint8_t* data = nullptr;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    char lastError[kMaxMessageLength + 1] = {};
};

void CloseTiff(TIFF* tiff);

struct TiffCloser {
    void operator()(TIFF* tiff) const { CloseTiff(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Opens the stream's first directory through libtiff, whose messages for the
// handle go into the stream's lastError and the trace; none when libtiff
// refuses the stream. Nothing libtiff allocates for the handle may be larger
// than the largest bitmap `limits` allow.
TiffHandle OpenFromMemory(TiffMemoryStream& stream, const DecodeLimits& limits);

// The text of a libtiff failure: the last message libtiff reported for the
// handle, or the given reason when libtiff said nothing (TIFFRGBAImageBegin,
// for one, explains itself only in its own buffer).
std::string FailureText(const TiffMemoryStream& stream, const char* reason);
std::string FailureText(TIFF* tiff, const char* reason);

// The stream a handle made by OpenFromMemory reads.
const TiffMemoryStream& StreamOfHandle(TIFF* tiff);
