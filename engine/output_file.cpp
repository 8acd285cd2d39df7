// The output file on POSIX systems. A Windows build provides the same class
// over CreateFile/WriteFile with the same checks.
#include "engine/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// The system's text for an error number. Several conversions may run at once,
// and strerror is not promised to be safe from several threads, so this uses
// the reentrant form. That comes in two flavours: GNU's returns the text,
// which may or may not be in the buffer; POSIX's fills the buffer and returns
// a status.
[[maybe_unused]] const char* systemErrorText(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* systemErrorText(const char* text, const char*) {
    return text;
}

}  // namespace

std::string describeSystemError(int code) {
    char buffer[256] = {};
#ifdef _WIN32
    return strerror_s(buffer, sizeof buffer, code) == 0 ? buffer : "Unknown error";
#else
    return systemErrorText(strerror_r(code, buffer, sizeof buffer), buffer);
#endif
}

namespace {

std::string SystemReason(int systemError) {
    return describeSystemError(systemError);
}

// A write beyond the file size limit raises SIGXFSZ, whose default action ends
// the process without a word. Ignored, the write fails with EFBIG instead and
// becomes an ordinary, reported write error.
void IgnoreFileSizeSignal() {
#ifdef SIGXFSZ
    static const bool ignored = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)ignored;
#endif
}

}  // namespace

OutputFileError::OutputFileError(const std::string& path, const std::string& action, int systemError)
    : OutputFileError(path, action, SystemReason(systemError)) {
    m_systemError = systemError;
}

OutputFileError::OutputFileError(const std::string& path, const std::string& action,
                                 const std::string& reason)
    : std::runtime_error("Error " + action + " " + path + ": " + reason), m_path(path) {}

OutputFile::~OutputFile() {
    // Unwinding after an error: the error has been reported already, and a
    // destructor must not throw a second one.
    if (m_handle >= 0) ::close(m_handle);
}

void OutputFile::reset(const std::string& path) {
    if (m_handle >= 0) ::close(m_handle);
    m_handle = -1;
    m_inMemory = false;
    m_memory.clear();
    m_path = path;
    m_openErrorText.clear();
    IgnoreFileSizeSignal();
}

bool OutputFile::open(const std::string& path) {
    reset(path);
    int handle;
    do {
        handle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        m_openErrorText = SystemReason(errno);
        return false;
    }
    m_handle = handle;
    return true;
}

bool OutputFile::openDescriptor(int handle, const std::string& path) {
    reset(path);
    handle = ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
    if (handle < 0) {
        m_openErrorText = SystemReason(errno);
        return false;
    }
    m_handle = handle;
    return true;
}

void OutputFile::openInMemory() {
    if (m_handle >= 0) ::close(m_handle);
    m_handle = -1;
    m_path = "(memory)";
    m_openErrorText.clear();
    m_inMemory = true;
    m_memory.clear();
    m_memoryPosition = 0;
}

std::vector<std::uint8_t> OutputFile::takeMemory() {
    m_inMemory = false;
    m_memoryPosition = 0;
    return std::move(m_memory);
}

void OutputFile::fail(const std::string& action, int systemError) const {
    throw OutputFileError(m_path, action, systemError);
}

void OutputFile::requireOpen(const char* action) const {
    if (!isOpen()) fail(action, EBADF);
}

void OutputFile::writeBytes(std::span<const std::uint8_t> bytes) {
    requireOpen("writing");
    if (m_inMemory) {
        const std::size_t end = m_memoryPosition + bytes.size();
        if (end > m_memory.size()) m_memory.resize(end);
        std::copy(bytes.begin(), bytes.end(),
                  m_memory.begin() + static_cast<std::ptrdiff_t>(m_memoryPosition));
        m_memoryPosition = end;
        return;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_handle, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail("writing", errno);
        }
        if (written == 0) {
            throw OutputFileError(m_path, "writing",
                                  "only " + std::to_string(done) + " of " + std::to_string(bytes.size()) +
                                      " bytes could be written");
        }
        // A short write (the disk filled up or the size limit was reached in
        // the middle) is retried; the retry then reports the reason.
        done += static_cast<std::size_t>(written);
    }
}

void OutputFile::writeByte(bool, std::uint8_t value) {
    writeBytes(std::span(&value, 1));
}

void OutputFile::writeWord(bool littleEndian, std::uint16_t value) {
    const auto high = static_cast<std::uint8_t>(value >> 8);
    const auto low = static_cast<std::uint8_t>(value);
    const std::uint8_t bytes[2] = {littleEndian ? low : high, littleEndian ? high : low};
    writeBytes(bytes);
}

void OutputFile::writeLong(bool littleEndian, std::uint32_t value) {
    std::uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = littleEndian ? 8 * i : 8 * (3 - i);
        bytes[i] = static_cast<std::uint8_t>(value >> shift);
    }
    writeBytes(bytes);
}

void OutputFile::writeFlagBits(bool littleEndian, bool b1, bool b2, bool b3, bool b4, bool b5, bool b6,
                               bool b7, bool b8) {
    const bool bits[8] = {b1, b2, b3, b4, b5, b6, b7, b8};
    std::uint8_t value = 0;
    for (int i = 0; i < 8; ++i) {
        if (!bits[i]) continue;
        value = static_cast<std::uint8_t>(value | (1u << (littleEndian ? i : 7 - i)));
    }
    writeByte(littleEndian, value);
}

std::uint64_t OutputFile::position() const {
    requireOpen("seeking in");
    if (m_inMemory) return m_memoryPosition;
    const off_t offset = ::lseek(m_handle, 0, SEEK_CUR);
    if (offset < 0) fail("seeking in", errno);
    return static_cast<std::uint64_t>(offset);
}

void OutputFile::seek(std::uint64_t offset) {
    requireOpen("seeking in");
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) fail("seeking in", EINVAL);
    if (m_inMemory) {
        // As in a file, a later write beyond the end fills the gap with zeros.
        m_memoryPosition = static_cast<std::size_t>(offset);
        return;
    }
    if (::lseek(m_handle, static_cast<off_t>(offset), SEEK_SET) < 0) fail("seeking in", errno);
}

void OutputFile::seekToEnd() {
    requireOpen("seeking in");
    if (m_inMemory) {
        m_memoryPosition = m_memory.size();
        return;
    }
    if (::lseek(m_handle, 0, SEEK_END) < 0) fail("seeking in", errno);
}

void OutputFile::sync() {
    requireOpen("writing");
    if (m_inMemory) return;
    if (::fsync(m_handle) != 0) fail("writing", errno);
}

void OutputFile::close() {
    m_inMemory = false;
    if (m_handle < 0) return;
    const int handle = m_handle;
    m_handle = -1;
    // The descriptor is released even when close reports an error (for
    // example a delayed write failure on a network drive); retrying could close
    // somebody else's descriptor.
    if (::close(handle) != 0 && errno != EINTR) fail("closing", errno);
}

bool OutputFile::remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}
