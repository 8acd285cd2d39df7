#include "imagelib/decoders/tiff_stream.h"

#include "imagelib/image_decoder.h"
#include "imagelib/text_exception.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

const char kBufferOutOfMemory[] = "Out of memory allocating TIFF buffer.";

// The name libtiff quotes in its messages for streams opened from memory.
constexpr char kStreamName[] = "MemSource";

TiffMemoryStream& StreamOf(thandle_t handle) {
    return *static_cast<TiffMemoryStream*>(handle);
}

tmsize_t ReadStream(thandle_t handle, void* buffer, tmsize_t count) {
    TiffMemoryStream& stream = StreamOf(handle);
    if (count <= 0 || stream.position >= stream.size) return 0;
    // Reads are cut at the end of the data; libtiff treats a short read as
    // the error it is.
    const std::uint64_t available = stream.size - stream.position;
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(count), available));
    std::memcpy(buffer, stream.data + stream.position, n);
    stream.position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteStream(thandle_t, void*, tmsize_t) {
    return 0;
}  // the decoder only reads

toff_t SeekStream(thandle_t handle, toff_t offset, int whence) {
    TiffMemoryStream& stream = StreamOf(handle);
    // libtiff passes relative moves as two's-complement offsets.
    const auto delta = static_cast<std::int64_t>(offset);
    std::int64_t target = 0;
    switch (whence) {
        case SEEK_SET:
            if (offset > static_cast<toff_t>(INT64_MAX)) return static_cast<toff_t>(-1);
            target = delta;
            break;
        case SEEK_CUR:
            if (__builtin_add_overflow(static_cast<std::int64_t>(stream.position), delta, &target))
                return static_cast<toff_t>(-1);
            break;
        case SEEK_END:
            if (__builtin_add_overflow(static_cast<std::int64_t>(stream.size), delta, &target))
                return static_cast<toff_t>(-1);
            break;
        default:
            return static_cast<toff_t>(-1);
    }
    if (target < 0) return static_cast<toff_t>(-1);
    // A position past the end is allowed; reads from there return nothing.
    stream.position = static_cast<std::uint64_t>(target);
    return stream.position;
}

// The stream belongs to the decoder, which outlives the libtiff handle.
int CloseStream(thandle_t) {
    return 0;
}

toff_t StreamSize(thandle_t handle) {
    return StreamOf(handle).size;
}

// The stream is already in memory, so libtiff is given it as a read-only
// mapping instead of copying every strip through ReadStream. Besides saving
// the copies this matters for correctness: libtiff 4.5 rejects uncompressed
// tiles read through the read procedure (its tile buffer is rounded up and
// then compared with the tile size), while the mapped route reads them.
int MapStream(thandle_t handle, void** base, toff_t* size) {
    TiffMemoryStream& stream = StreamOf(handle);
    if (stream.data == nullptr || stream.size == 0) return 0;
    // libtiff only reads through a mapping of a stream opened in read mode.
    *base = const_cast<std::uint8_t*>(stream.data);
    *size = stream.size;
    return 1;
}

void UnmapStream(thandle_t, void*, toff_t) {}  // the memory belongs to the data source

// libtiff's error and warning reports for one handle. They run inside libtiff,
// so nothing here may throw: the texts go into fixed buffers.
int OnTiffError(TIFF*, void* userData, const char*, const char* format, va_list arguments) {
    TiffMemoryStream& stream = *static_cast<TiffMemoryStream*>(userData);
    char* text = stream.lastError;
    if (std::vsnprintf(text, sizeof stream.lastError, format, arguments) >= 0) {
        // Keep room for the line feed every libtiff message ends with here.
        std::size_t length = std::strlen(text);
        if (length > kMaxMessageLength - 1) length = kMaxMessageLength - 1;
        text[length] = '\n';
        text[length + 1] = '\0';
    }
    try {
        TraceLine(0, text);
    } catch (...) {
        // The trace is best effort; libtiff must not see an exception.
    }
    return 1;  // handled: libtiff's process-wide handler stays silent
}

int OnTiffWarning(TIFF*, void*, const char* module, const char* format, va_list arguments) {
    // Warnings never stop decoding; they only reach the trace.
    try {
        const std::string message = FormatMessageV(format, arguments) + "\n";
        TraceLine(2, module != nullptr
                         ? FormatMessage("Warning in LIBTIFF(%s): %s\n", module, message.c_str())
                         : FormatMessage("Warning in LIBTIFF: %s\n", message.c_str()));
    } catch (...) {
    }
    return 1;
}

struct OpenOptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

void CloseTiff(TIFF* tiff) {
    TIFFClose(tiff);
}

TiffHandle OpenFromMemory(TiffMemoryStream& stream, const DecodeLimits& limits) {
    std::unique_ptr<TIFFOpenOptions, OpenOptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) RaiseError(ERR_NO_MEMORY, kBufferOutOfMemory);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnTiffError, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnTiffWarning, &stream);
    // Nothing libtiff allocates for one picture needs to be bigger than the
    // largest bitmap the decode accepts.
    TIFFOpenOptionsSetMaxSingleMemAlloc(
        options.get(),
        static_cast<tmsize_t>(std::min<std::uint64_t>(
            limits.maxBitmapBytes, static_cast<std::uint64_t>(std::numeric_limits<tmsize_t>::max()))));
    return TiffHandle(TIFFClientOpenExt(kStreamName, "r", &stream, ReadStream, WriteStream, SeekStream,
                                        CloseStream, StreamSize, MapStream, UnmapStream, options.get()));
}

std::string FailureText(const TiffMemoryStream& stream, const char* reason) {
    if (stream.lastError[0] != '\0') return stream.lastError;
    return std::string(reason) + "\n";
}

std::string FailureText(TIFF* tiff, const char* reason) {
    return FailureText(StreamOf(TIFFClientdata(tiff)), reason);
}
const TiffMemoryStream& StreamOfHandle(TIFF* tiff) {
    return StreamOf(TIFFClientdata(tiff));
}
