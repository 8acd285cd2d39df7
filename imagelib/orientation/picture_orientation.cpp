#include "imagelib/orientation/picture_orientation.h"

#include "imagelib/byte_order.h"
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_source.h"
#include "imagelib/orientation/exif_orientation.h"

#include <cstring>

namespace {

// JPEG: markers of two bytes, most followed by a big-endian length that
// counts itself.
constexpr std::size_t kJpegSignatureBytes = 2;
constexpr std::size_t kJpegMarkerBytes = 2;
constexpr std::size_t kJpegLengthBytes = 2;
constexpr std::uint8_t kJpegApp1 = 0xE1;
constexpr std::uint8_t kJpegStartOfScan = 0xDA;
constexpr std::uint8_t kJpegEndOfImage = 0xD9;
constexpr std::uint8_t kJpegFill = 0xFF;

// An EXIF block in JPEG (and often in PNG and WebP) starts with this name.
constexpr char kExifName[] = "Exif\0";
constexpr std::size_t kExifNameBytes = 6;

// PNG: an 8-byte signature, then chunks of length, type, data and checksum.
constexpr std::size_t kPngSignatureBytes = 8;
constexpr std::size_t kPngChunkFrameBytes = 12;
constexpr std::uint32_t kPngMaxChunkLength = 0x7FFFFFFF;

// WebP: "RIFF", the size of what follows, "WEBP", then chunks of a name and
// a little-endian size, each padded to an even length.
constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kRiffSizeEnd = 8;
constexpr std::size_t kRiffChunkHeaderBytes = 8;

// EPS with a binary header: offset of the TIFF preview.
constexpr std::size_t kEpsPreviewOffsetField = 20;
constexpr std::size_t kEpsHeaderBytes = 30;

bool HasName(const std::uint8_t* bytes, const char* name) {
    return std::memcmp(bytes, name, 4) == 0;
}

// The EXIF block of a PNG or WebP chunk, with or without the name JPEG puts
// in front of it.
int OrientationOfExifPayload(const std::uint8_t* payload, std::size_t size) {
    if (size >= kExifNameBytes && std::memcmp(payload, kExifName, kExifNameBytes) == 0)
        return ReadExifOrientation(payload + kExifNameBytes, size - kExifNameBytes);
    return ReadExifOrientation(payload, size);
}

bool IsStandaloneJpegMarker(std::uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

bool IsWebp(const std::uint8_t* data, std::size_t size) {
    return size >= kRiffHeaderBytes && HasName(data, "RIFF") && HasName(data + 8, "WEBP");
}

// libtiff's RGBA interface turns orientations 5-8 as if they were 1-4 and
// leaves width and height as stored. What is left to do is one of the two
// transposes.
int OrientationLeftAfterLibtiff(int orientation) {
    switch (orientation) {
        case kOrientationTransposed:
        case kOrientationTransverse:
            return kOrientationTransposed;
        case kOrientationQuarterClockwise:
        case kOrientationQuarterAnticlockwise:
            return kOrientationTransverse;
        default:
            return kOrientationAsStored;
    }
}

}  // namespace

int FindJpegOrientation(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kJpegSignatureBytes) return kOrientationAsStored;
    std::size_t position = kJpegSignatureBytes;
    while (size - position >= kJpegMarkerBytes + kJpegLengthBytes) {
        if (data[position] != 0xFF) return kOrientationAsStored;
        const std::uint8_t marker = data[position + 1];
        if (marker == kJpegFill) {
            ++position;
            continue;
        }
        // The tag belongs to the header; nothing after the image data counts.
        if (marker == kJpegStartOfScan || marker == kJpegEndOfImage) return kOrientationAsStored;
        if (IsStandaloneJpegMarker(marker)) {
            position += kJpegMarkerBytes;
            continue;
        }
        const std::size_t length = ReadBE16(data + position + kJpegMarkerBytes);
        if (length < kJpegLengthBytes || length > size - position - kJpegMarkerBytes)
            return kOrientationAsStored;
        const std::uint8_t* payload = data + position + kJpegMarkerBytes + kJpegLengthBytes;
        const std::size_t payloadSize = length - kJpegLengthBytes;
        // Other APP1 segments (XMP) carry other names; the first EXIF one is
        // the camera's.
        if (marker == kJpegApp1 && payloadSize >= kExifNameBytes &&
            std::memcmp(payload, kExifName, kExifNameBytes) == 0)
            return ReadExifOrientation(payload + kExifNameBytes, payloadSize - kExifNameBytes);
        position += kJpegMarkerBytes + length;
    }
    return kOrientationAsStored;
}

int FindPngOrientation(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kPngSignatureBytes) return kOrientationAsStored;
    // eXIf may come after the image data, so every chunk is looked at; only
    // the headers are read, and the file is mapped.
    std::size_t position = kPngSignatureBytes;
    while (size - position >= kPngChunkFrameBytes) {
        const std::uint32_t length = ReadBE32(data + position);
        const std::uint8_t* type = data + position + 4;
        if (length > kPngMaxChunkLength || length > size - position - kPngChunkFrameBytes)
            return kOrientationAsStored;
        if (HasName(type, "eXIf")) return OrientationOfExifPayload(type + 4, length);
        if (HasName(type, "IEND")) return kOrientationAsStored;
        position += kPngChunkFrameBytes + length;
    }
    return kOrientationAsStored;
}

int FindWebpOrientation(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || !IsWebp(data, size)) return kOrientationAsStored;
    // The RIFF size may claim more than the file holds; the file decides.
    const std::uint64_t claimedEnd = std::uint64_t{ReadLE32(data + 4)} + kRiffSizeEnd;
    const std::size_t end = claimedEnd < size ? static_cast<std::size_t>(claimedEnd) : size;
    std::size_t position = kRiffHeaderBytes;
    while (position < end && end - position >= kRiffChunkHeaderBytes) {
        const std::uint8_t* name = data + position;
        const std::size_t chunkSize = ReadLE32(data + position + 4);
        if (chunkSize > end - position - kRiffChunkHeaderBytes) return kOrientationAsStored;
        if (HasName(name, "EXIF")) return OrientationOfExifPayload(name + kRiffChunkHeaderBytes, chunkSize);
        position += kRiffChunkHeaderBytes + chunkSize + (chunkSize & 1);
    }
    return kOrientationAsStored;
}

int FindTiffOrientation(const std::uint8_t* data, std::size_t size) {
    return ReadExifOrientation(data, size);
}

int ReadPictureOrientation(const std::string& name, const std::uint8_t* data, std::int64_t size) {
    if (data == nullptr || size <= 0) return kOrientationAsStored;
    const auto bytes = static_cast<std::size_t>(size);
    switch (CAnyFormatDecoder::DetectSourceFormat(name, data, size)) {
        case CAnyFormatDecoder::FORMAT_JPEG:
            return FindJpegOrientation(data, bytes);
        case CAnyFormatDecoder::FORMAT_PNG:
            return FindPngOrientation(data, bytes);
        case CAnyFormatDecoder::FORMAT_TIFF:
            return OrientationLeftAfterLibtiff(FindTiffOrientation(data, bytes));
        case CAnyFormatDecoder::FORMAT_EPS_TIFF: {
            if (bytes < kEpsHeaderBytes) return kOrientationAsStored;
            const std::size_t preview = ReadLE32(data + kEpsPreviewOffsetField);
            if (preview >= bytes) return kOrientationAsStored;
            return OrientationLeftAfterLibtiff(FindTiffOrientation(data + preview, bytes - preview));
        }
        default:
            // A RIFF WebP file goes to the WebP decoder whenever no older
            // format claims it first.
            return IsWebp(data, bytes) ? FindWebpOrientation(data, bytes) : kOrientationAsStored;
    }
}

int ReadPictureOrientation(const std::string& path) {
    CFileSource source;
    if (source.Open(path) != 0) return kOrientationAsStored;
    return ReadPictureOrientation(source.GetName(), source.GetCurrentPointer(), source.GetSize());
}
