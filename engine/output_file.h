#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// A failed operation on an open output file: a write that failed or wrote
// short (disk full, file size limit), a failed seek or close. The text names
// the file and gives the system's reason; the conversion run catches it.
// The system's text for an error number, safe to call from several threads.
std::string describeSystemError(int code);

class OutputFileError : public std::runtime_error {
public:
    OutputFileError(const std::string& path, const std::string& action, int systemError);
    OutputFileError(const std::string& path, const std::string& action, const std::string& reason);

    const std::string& path() const { return m_path; }
    // The errno value behind the failure, or 0 when the system reported none.
    int systemError() const { return m_systemError; }

private:
    std::string m_path;
    int m_systemError = 0;
};

// The database file being written. Every write goes straight to the system
// and is checked, so no failure can hide in a buffer until close. Each typed
// writer takes a byte-order flag first: false (0) writes big-endian, true
// little-endian.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file, or truncates an existing one, for writing; a link at
    // the path is refused, not followed. Returns false when that fails;
    // openErrorText() then holds the system's reason.
    bool open(const std::string& path);
    // Writes through a duplicate of an open descriptor (a TemporaryFile's),
    // so nothing is reopened by name; `path` names the file in errors.
    bool openDescriptor(int handle, const std::string& path);
    // Opens a file that lives in memory only: the same writes, seeks and
    // checks, with the bytes taken afterwards by takeMemory(). A caller that
    // wants to see a database before writing it uses this.
    void openInMemory();
    // The bytes of an in-memory file; the file is closed afterwards.
    std::vector<std::uint8_t> takeMemory();

    bool isOpen() const { return m_handle >= 0 || m_inMemory; }
    const std::string& path() const { return m_path; }
    const std::string& openErrorText() const { return m_openErrorText; }

    // One byte; the flag has no effect and is there so every writer reads alike.
    void writeByte(bool littleEndian, std::uint8_t value);
    // 16 bits: high byte first, or low byte first when littleEndian.
    void writeWord(bool littleEndian, std::uint16_t value);
    // 32 bits: most significant byte first, or least significant first when littleEndian.
    void writeLong(bool littleEndian, std::uint32_t value);
    // One byte from eight booleans. Big-endian order puts b1 in bit 7 down to
    // b8 in bit 0; little-endian order puts b1 in bit 0 up to b8 in bit 7.
    void writeFlagBits(bool littleEndian, bool b1, bool b2, bool b3, bool b4, bool b5, bool b6, bool b7,
                       bool b8);
    void writeBytes(std::span<const std::uint8_t> bytes);

    std::uint64_t position() const;
    void seek(std::uint64_t offset);
    void seekToEnd();
    // Pushes the written data to the storage device, for callers that rename
    // the file into place afterwards.
    void sync();
    // Closes the file; a failure the system reports only now still throws.
    void close();

    // Deletes a file by path; false when it could not be deleted.
    static bool remove(const std::string& path);

private:
    void reset(const std::string& path);
    [[noreturn]] void fail(const std::string& action, int systemError) const;
    void requireOpen(const char* action) const;

    int m_handle = -1;
    std::string m_path;
    bool m_inMemory = false;
    std::vector<std::uint8_t> m_memory;
    std::size_t m_memoryPosition = 0;
    std::string m_openErrorText;
};
