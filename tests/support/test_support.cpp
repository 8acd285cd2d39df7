#include "support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testsupport {

TemporaryFolder::TemporaryFolder() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("kestrin-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    // Tests may have taken permissions away; give them back so removal works.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path CorpusFolder(const std::string& subfolder) {
    std::filesystem::path folder = KESTRIN_CORPUS_DIR;
    if (!subfolder.empty()) folder /= subfolder;
    std::error_code ignored;
    return std::filesystem::is_directory(folder, ignored) ? folder : std::filesystem::path{};
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> MinimalPalmDatabase(std::uint8_t mark) {
    std::vector<std::uint8_t> bytes(90, 0);
    bytes[0] = mark;
    bytes[33] = 0x01;  // a resource database
    bytes[77] = 1;     // one resource
    bytes[78] = 'T', bytes[79] = 'b', bytes[80] = 'm', bytes[81] = 'p';
    bytes[87] = 90;  // its data's offset: the end of the file
    return bytes;
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> MakeBmp24(int width, int height, const std::function<Bgr(int x, int y)>& pixelAt) {
    const int stride = (width * 3 + 3) & ~3;
    ByteWriter bmp;
    bmp.text("BM").le32(static_cast<std::uint32_t>(54 + stride * height)).le32(0).le32(54);
    bmp.le32(40)
        .le32(static_cast<std::uint32_t>(width))
        .le32(static_cast<std::uint32_t>(height))
        .le16(1)
        .le16(24);
    bmp.le32(0).le32(static_cast<std::uint32_t>(stride * height)).le32(0).le32(0).le32(0).le32(0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const Bgr color = pixelAt(x, y);
            bmp.u8(color.blue).u8(color.green).u8(color.red);
        }
        bmp.fill(static_cast<std::size_t>(stride - width * 3), 0);
    }
    return bmp.data();
}

ByteWriter& ByteWriter::u8(std::uint32_t value) {
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    return *this;
}

ByteWriter& ByteWriter::le16(std::uint32_t value) {
    return u8(value).u8(value >> 8);
}

ByteWriter& ByteWriter::le32(std::uint32_t value) {
    return le16(value).le16(value >> 16);
}

ByteWriter& ByteWriter::be16(std::uint32_t value) {
    return u8(value >> 8).u8(value);
}

ByteWriter& ByteWriter::be32(std::uint32_t value) {
    return be16(value >> 16).be16(value);
}

ByteWriter& ByteWriter::bytes(const std::vector<std::uint8_t>& data) {
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
    return *this;
}

ByteWriter& ByteWriter::text(const std::string& data) {
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
    return *this;
}

ByteWriter& ByteWriter::fill(std::size_t count, std::uint8_t value) {
    m_bytes.insert(m_bytes.end(), count, value);
    return *this;
}

ByteWriter& ByteWriter::patchLe32(std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        m_bytes.at(offset + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
    return *this;
}

bool PaintedLoader::load(PalmBitmap& bitmap) {
    CMemoryBitmap picture;
    picture.Create(bitmap.width(), bitmap.height(), 32, false);
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const PaletteEntry color = m_paint(x, y, bitmap);
            std::uint8_t* pixel = picture.GetRows()[y] + 4 * static_cast<std::size_t>(x);
            pixel[0] = color.blue, pixel[1] = color.green, pixel[2] = color.red, pixel[3] = color.alpha;
        }
    return bitmap.loadFromBitmap(picture, 0);
}

}  // namespace testsupport
