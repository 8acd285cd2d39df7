#include "imagelib/image_source.h"

#include "imagelib/text_exception.h"

#include <algorithm>
#include <cstring>

void CImageSource::OpenCommon(const std::string& name, std::int64_t size, const std::uint8_t* data) {
    m_name = name;
    m_size = size;
    m_bytesRead = 0;
    m_data = data;
    m_current = data;
}

void CImageSource::Close() {
    if (m_progressSink != nullptr) m_progressSink->OnProgress(1.0);
    m_name.clear();
    m_peekScratch.clear();
    m_peekScratch.shrink_to_fit();
}

const std::uint8_t* CImageSource::ReadBytes(std::int64_t n) {
    if (n < 0) throw CTextException(ERR_END_OF_FILE, "End of file reached while decoding.\n");
    const std::int64_t old = m_bytesRead;
    // Saturate instead of overflowing on absurd requests; they fail below anyway.
    m_bytesRead = n > m_size - old ? m_size + 1 : old + n;
    if (m_progressSink != nullptr && old / 1024 < m_bytesRead / 1024 && m_size > 0)
        m_progressSink->OnProgress(static_cast<double>(m_bytesRead) / static_cast<double>(m_size));
    if (m_size < m_bytesRead) {
        // Keep the count at the end so later peeks and reads stay inside the data.
        m_bytesRead = m_size;
        m_current = m_data + m_size;
        throw CTextException(ERR_END_OF_FILE, "End of file reached while decoding.\n");
    }
    const std::uint8_t* result = m_current;
    m_current += n;
    return result;
}

const std::uint8_t* CImageSource::PeekBytes(std::int64_t n) {
    const std::int64_t remaining = GetRemaining();
    if (n <= remaining && m_current != nullptr) return m_current;
    // The look-ahead crosses the end: hand out a copy padded with zeros, so no
    // caller ever reads outside the data.
    const auto wanted = static_cast<std::size_t>(std::max<std::int64_t>(n, 0));
    m_peekScratch.assign(std::max<std::size_t>(wanted, 1), 0);
    if (remaining > 0 && m_current != nullptr)
        std::memcpy(m_peekScratch.data(), m_current, static_cast<std::size_t>(remaining));
    return m_peekScratch.data();
}

// ---------------------------------------------------------------------------

int CMemorySource::Open(const void* data, std::int64_t size) {
    OpenCommon("Mem", size < 0 ? 0 : size, static_cast<const std::uint8_t*>(data));
    return 0;
}

void CMemorySource::Close() {
    m_current = nullptr;
    m_data = nullptr;
    CImageSource::Close();
}
