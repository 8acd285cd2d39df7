#include "engine/palm_database_reader.h"

#include <fstream>
#include <iterator>

namespace {

constexpr std::size_t kHeaderSize = 78;
constexpr std::size_t kResourceEntrySize = 10;

class Reader {
public:
    Reader(const std::vector<std::uint8_t>& bytes, std::size_t start, std::size_t end, bool littleEndian)
        : m_bytes(bytes), m_position(start), m_end(end), m_littleEndian(littleEndian) {}

    std::uint8_t byte() {
        need(1);
        return m_bytes[m_position++];
    }
    std::uint16_t word() {
        need(2);
        const std::uint8_t a = m_bytes[m_position], b = m_bytes[m_position + 1];
        m_position += 2;
        return static_cast<std::uint16_t>(m_littleEndian ? a | (b << 8) : (a << 8) | b);
    }
    std::uint32_t dword() {
        const std::uint32_t first = word(), second = word();
        return m_littleEndian ? first | (second << 16) : (first << 16) | second;
    }
    std::string text(std::size_t length) {
        need(length);
        std::string result(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_position),
                           m_bytes.begin() + static_cast<std::ptrdiff_t>(m_position + length));
        m_position += length;
        return result;
    }
    std::size_t position() const { return m_position; }
    void need(std::size_t count) const {
        if (count > m_end - m_position) throw PalmFormatError("database ends inside a record");
    }

private:
    const std::vector<std::uint8_t>& m_bytes;
    std::size_t m_position;
    std::size_t m_end;
    bool m_littleEndian;
};

void expandScanlines(const std::vector<std::uint8_t>& bytes, std::size_t start, std::size_t end,
                     PalmBitmapRecord& bitmap) {
    const auto rowBytes = static_cast<std::size_t>(bitmap.rowBytes);
    bitmap.pixels.assign(rowBytes * static_cast<std::size_t>(bitmap.height), 0);
    std::size_t position = start;
    for (int row = 0; row < bitmap.height; ++row) {
        std::uint8_t* out = bitmap.pixels.data() + static_cast<std::size_t>(row) * rowBytes;
        for (std::size_t group = 0; group < rowBytes; group += 8) {
            if (position >= end) throw PalmFormatError("compressed data ends early");
            const std::uint8_t flags = bytes[position++];
            for (std::size_t j = group; j < group + 8 && j < rowBytes; ++j) {
                if (flags & (0x80 >> (j - group))) {
                    if (position >= end) throw PalmFormatError("compressed data ends early");
                    out[j] = bytes[position++];
                } else {
                    if (row == 0) throw PalmFormatError("first row refers to a row above");
                    out[j] = out[j - rowBytes];
                }
            }
        }
    }
}

PalmBitmapRecord readBitmap(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t end) {
    PalmBitmapRecord bitmap;
    bitmap.offset = offset;
    if (end < offset + 10) throw PalmFormatError("bitmap header beyond the resource");
    const std::uint8_t versionByte = bytes[offset + 9];
    bitmap.littleEndian = (versionByte & 0x80) != 0;
    bitmap.version = versionByte & 0x7F;
    Reader in(bytes, offset, end, bitmap.littleEndian);
    bitmap.width = in.word();
    bitmap.height = in.word();
    bitmap.rowBytes = in.word();
    const std::uint8_t flags = in.byte();
    bitmap.compressed = bitmap.littleEndian ? (flags & 0x01) != 0 : (flags & 0x80) != 0;
    in.byte();
    bitmap.pixelSize = in.byte();
    in.byte();
    if (bitmap.version == 2) {
        bitmap.headerSize = 16;
        bitmap.nextOffset = std::size_t{in.word()} * 4;
        in.byte();
        in.byte();
        in.word();
    } else if (bitmap.version == 3) {
        bitmap.headerSize = in.byte();
        in.byte();
        in.byte();
        in.byte();
        bitmap.density = in.word();
        in.dword();
        bitmap.nextOffset = in.dword();
        if (bitmap.headerSize != 24) throw PalmFormatError("unexpected version-3 header size");
    } else {
        throw PalmFormatError("unknown bitmap version " + std::to_string(bitmap.version));
    }
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.rowBytes <= 0)
        throw PalmFormatError("empty bitmap");
    const std::size_t rawLength =
        static_cast<std::size_t>(bitmap.rowBytes) * static_cast<std::size_t>(bitmap.height);
    const std::size_t payload = in.position();
    if (bitmap.compressed) {
        Reader lengthReader(bytes, payload, end, bitmap.littleEndian);
        bitmap.blockLength = bitmap.version == 3 ? lengthReader.dword() : lengthReader.word();
        if (bitmap.blockLength > end - payload) throw PalmFormatError("compressed block beyond the resource");
        bitmap.payloadLength = bitmap.blockLength;
        expandScanlines(bytes, lengthReader.position(), payload + bitmap.blockLength, bitmap);
    } else {
        if (rawLength > end - payload) throw PalmFormatError("pixel data beyond the resource");
        bitmap.payloadLength = rawLength;
        bitmap.pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(payload),
                             bytes.begin() + static_cast<std::ptrdiff_t>(payload + rawLength));
    }
    return bitmap;
}

}  // namespace

PalmDatabaseRecord readPalmDatabase(const std::vector<std::uint8_t>& bytes) {
    PalmDatabaseRecord database;
    Reader in(bytes, 0, bytes.size(), false);
    const std::string nameField = in.text(32);
    database.name = nameField.substr(0, nameField.find('\0'));
    database.attributes = in.word();
    database.version = in.word();
    database.creationDate = in.dword();
    database.modificationDate = in.dword();
    in.text(16);
    database.type = in.text(4);
    database.creator = in.text(4);
    in.text(8);
    const int count = in.word();
    if (in.position() != kHeaderSize) throw PalmFormatError("header layout");
    for (int i = 0; i < count; ++i) {
        PalmResourceRecord resource;
        resource.type = in.text(4);
        resource.id = in.word();
        resource.offset = in.dword();
        database.resources.push_back(resource);
    }
    in.need(2);
    const std::size_t dataStart = kHeaderSize + kResourceEntrySize * static_cast<std::size_t>(count) + 2;
    for (std::size_t i = 0; i < database.resources.size(); ++i) {
        auto& resource = database.resources[i];
        const std::size_t end =
            i + 1 < database.resources.size() ? database.resources[i + 1].offset : bytes.size();
        if (resource.offset < dataStart || resource.offset > end || end > bytes.size())
            throw PalmFormatError("resource offsets out of order");
        resource.length = end - resource.offset;
        std::size_t offset = resource.offset;
        while (true) {
            PalmBitmapRecord bitmap = readBitmap(bytes, offset, end);
            const std::size_t next = bitmap.nextOffset;
            resource.bitmaps.push_back(std::move(bitmap));
            if (next == 0) break;
            if (next > end - offset) throw PalmFormatError("next-bitmap offset beyond the resource");
            offset += next;
            if (resource.bitmaps.size() > 16) throw PalmFormatError("bitmap family too long");
        }
    }
    return database;
}

PalmDatabaseRecord readPalmDatabaseFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PalmFormatError("cannot read " + path);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    return readPalmDatabase(bytes);
}
