#include "imagelib/image_source.h"

#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

void CImageSource::OpenCommon(const std::string& name, std::int64_t size, const std::uint8_t* data) {
    m_name = name;
    m_size = size;
    m_bytesRead = 0;
    m_data = data;
    m_current = data;
}

namespace {

const char kEndOfFile[] = "End of file reached while decoding.\n";

// How far past the end of the data a look-ahead may reach. Detection and
// header probes look a few hundred bytes ahead; anything far beyond this is a
// decoder trusting a hostile length, and gets an error instead of a huge
// zero-filled copy.
constexpr std::int64_t kMaxPeekPastEnd = std::int64_t{1} << 20;

}  // namespace

void CImageSource::Close() {
    if (m_progressSink != nullptr) m_progressSink->OnProgress(1.0);
    m_name.clear();
    m_size = 0;
    m_bytesRead = 0;
    m_peekScratch.clear();
    m_peekScratch.shrink_to_fit();
}

const std::uint8_t* CImageSource::ReadBytes(std::int64_t n) {
    if (n < 0) throw CTextException(ERR_END_OF_FILE, kEndOfFile);
    const std::int64_t old = m_bytesRead;
    const bool pastEnd = n > m_size - old;
    // Saturated so absurd requests cannot overflow; they fail below anyway.
    const std::int64_t target = n > INT64_MAX - old ? INT64_MAX : old + n;
    if (m_progressSink != nullptr && m_size > 0 && old / 1024 < target / 1024) {
        // A read that runs past the end reports the whole source, never more.
        const double fraction = std::min(static_cast<double>(target) / static_cast<double>(m_size), 1.0);
        m_progressSink->OnProgress(fraction);
    }
    if (pastEnd) {
        // Park at the end so later peeks and reads stay inside the data.
        m_bytesRead = m_size;
        if (m_current != nullptr) m_current = m_data + m_size;
        throw CTextException(ERR_END_OF_FILE, kEndOfFile);
    }
    m_bytesRead = target;
    const std::uint8_t* result = m_current;
    if (m_current != nullptr) m_current += n;
    return result;
}

const std::uint8_t* CImageSource::PeekBytes(std::int64_t n) {
    const std::int64_t remaining = GetRemaining();
    if (n <= remaining && m_current != nullptr) return m_current;
    if (n - remaining > kMaxPeekPastEnd) throw CTextException(ERR_END_OF_FILE, kEndOfFile);
    // The look-ahead crosses the end: hand out a copy padded with zeros, so no
    // caller ever reads outside the data. A file mapping whose size is a
    // multiple of the page size has no zero tail of its own.
    const auto wanted = static_cast<std::size_t>(std::max<std::int64_t>(n, 0));
    m_peekScratch.assign(std::max<std::size_t>(wanted, 1), 0);
    if (remaining > 0 && m_current != nullptr)
        std::memcpy(m_peekScratch.data(), m_current, static_cast<std::size_t>(std::min(remaining, n)));
    return m_peekScratch.data();
}

// ---------------------------------------------------------------------------

int CMemorySource::Open(const void* data, std::int64_t size) {
    // Without data there is nothing to read, whatever size the caller claims.
    OpenCommon("Mem", size < 0 || data == nullptr ? 0 : size, static_cast<const std::uint8_t*>(data));
    return 0;
}

void CMemorySource::Close() {
    m_current = nullptr;
    m_data = nullptr;
    CImageSource::Close();
}
