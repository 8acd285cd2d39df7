#pragma once

#include "imagelib/ruvo_object.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Receives the fraction of the data consumed so far, from 0.0 to 1.0.
class CProgressSink {
public:
    virtual ~CProgressSink() = default;
    virtual void OnProgress(double fraction) = 0;
};

// Where a decoder's bytes come from. ReadBytes consumes and is checked against
// the end of the data; PeekBytes looks ahead without consuming, and bytes
// beyond the end of the data read as zero.
class CImageSource : public CRuvoObject {
public:
    explicit CImageSource(CProgressSink* progressSink = nullptr) : m_progressSink(progressSink) {}
    ~CImageSource() override = default;

    // Releases the data; afterwards the source is empty (size 0).
    virtual void Close();
    // The next n bytes, now consumed. Throws ERR_END_OF_FILE when fewer remain.
    virtual const std::uint8_t* ReadBytes(std::int64_t n);
    // The unread bytes, at least n of them readable (zeros past the end).
    // Consumes nothing. When the look-ahead crosses the end the pointer is
    // into a scratch copy that stays valid until the next PeekBytes or Close.
    // Throws ERR_END_OF_FILE only for a look-ahead absurdly far past the end.
    virtual const std::uint8_t* PeekBytes(std::int64_t n);
    // The unread bytes without a count: only GetRemaining() of them are data.
    virtual const std::uint8_t* GetCurrentPointer() const { return m_current; }

    std::int64_t GetSize() const { return m_size; }
    const std::string& GetName() const { return m_name; }
    std::int64_t GetBytesRead() const { return m_bytesRead; }
    // Bytes of data not yet consumed (never negative).
    std::int64_t GetRemaining() const { return m_bytesRead < m_size ? m_size - m_bytesRead : 0; }
    CProgressSink* GetProgressSink() const { return m_progressSink; }
    // Says that the data before `position` (a pointer into it) is not needed
    // again, so that a mapped file may let go of its pages while a large
    // picture streams on; reading it anyway stays correct, only slower.
    virtual void ForgetBefore(const std::uint8_t* /*position*/) noexcept {}

protected:
    // The part of opening every source shares: name, size, nothing read yet.
    virtual void OpenCommon(const std::string& name, std::int64_t size, const std::uint8_t* data);

    const std::uint8_t* m_data = nullptr;
    const std::uint8_t* m_current = nullptr;

private:
    std::string m_name;
    std::int64_t m_size = 0;
    std::int64_t m_bytesRead = 0;
    CProgressSink* m_progressSink = nullptr;
    std::vector<std::uint8_t> m_peekScratch;
};

// A read-only memory-mapped file.
class CFileSource : public CImageSource {
public:
    explicit CFileSource(CProgressSink* progressSink = nullptr) : CImageSource(progressSink) {}
    ~CFileSource() override;
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;

    // 0 on success, otherwise ERR_PATH_NOT_FOUND, ERR_FILE_NOT_FOUND or
    // ERR_ACCESS_DENIED. Never throws for a failed open.
    virtual int Open(const std::string& path);
    void Close() override;
    void ForgetBefore(const std::uint8_t* position) noexcept override;

private:
    void Release();

    int m_fileHandle = -1;
    void* m_view = nullptr;
    std::size_t m_viewSize = 0;
    // The bytes of the view whose pages were let go.
    std::size_t m_forgotten = 0;
};

// A block of the caller's memory; the caller keeps it alive while decoding.
class CMemorySource : public CImageSource {
public:
    explicit CMemorySource(CProgressSink* progressSink = nullptr) : CImageSource(progressSink) {}
    ~CMemorySource() override = default;

    virtual int Open(const void* data, std::int64_t size);
    void Close() override;
};
