#pragma once

#include "engine/palm_bitmap.h"
#include "engine/palm_database.h"
#include "imagelib/image_bitmap.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes away.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The shared conformance pictures, or an empty path when they are not there
// (suites then GTEST_SKIP()).
std::filesystem::path CorpusFolder(const std::string& subfolder = {});

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// The smallest file the reader takes for a Palm resource database (a header,
// one entry, its data at the end), `mark` in its first name byte: an old
// database for a new one to replace.
std::vector<std::uint8_t> MinimalPalmDatabase(std::uint8_t mark = 'o');

// Blue, green and red of one pixel.
struct Bgr {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
};

// A 24-bit Windows bitmap with the usual bottom-up rows, padded to 4 bytes;
// pixelAt(x, y) gives each pixel's colour, y = 0 being the top row.
std::vector<std::uint8_t> MakeBmp24(int width, int height, const std::function<Bgr(int x, int y)>& pixelAt);

// Little helpers for building binary test files in code.
class ByteWriter {
public:
    ByteWriter& u8(std::uint32_t value);
    ByteWriter& le16(std::uint32_t value);
    ByteWriter& le32(std::uint32_t value);
    ByteWriter& be16(std::uint32_t value);
    ByteWriter& be32(std::uint32_t value);
    ByteWriter& bytes(const std::vector<std::uint8_t>& data);
    ByteWriter& text(const std::string& data);
    ByteWriter& fill(std::size_t count, std::uint8_t value);
    // Overwrites 4 little-endian bytes at an earlier offset.
    ByteWriter& patchLe32(std::size_t offset, std::uint32_t value);

    std::size_t size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& data() const { return m_bytes; }
    std::vector<std::uint8_t>& data() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Fills every bitmap object with a picture painted pixel by pixel at the
// object's own size, reduced without dithering.
class PaintedLoader : public BitmapLoader {
public:
    using Paint = std::function<PaletteEntry(int x, int y, const PalmBitmap& bitmap)>;
    explicit PaintedLoader(Paint paint) : m_paint(std::move(paint)) {}

    bool load(PalmBitmap& bitmap) override;

private:
    Paint m_paint;
};

}  // namespace testsupport
