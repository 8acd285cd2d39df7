// CFileSource on POSIX systems: the file is mapped read-only with mmap. A
// Windows build maps it with CreateFileMapping/MapViewOfFile behind the same
// class and the same error codes.
#ifndef _WIN32

#include "imagelib/image_source.h"

#include "imagelib/text_exception.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <string>

namespace {

// True when the folder that would hold `path` exists.
bool ParentFolderExists(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat info {};
    return ::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int OpenErrorCode(int error, const std::string& path) {
    switch (error) {
        case ENOTDIR:
            return ERR_PATH_NOT_FOUND;
        case ENOENT:
            return ParentFolderExists(path) ? ERR_FILE_NOT_FOUND : ERR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
            return ERR_ACCESS_DENIED;
        default:
            return ERR_FILE_NOT_FOUND;
    }
}

}  // namespace

CFileSource::~CFileSource() {
    Release();
}

int CFileSource::Open(const std::string& path) {
    Release();
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (handle < 0) return OpenErrorCode(errno, path);
    m_fileHandle = handle;

    struct stat info {};
    // Only regular, non-empty files can be mapped; folders and devices cannot.
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        Release();
        return ERR_ACCESS_DENIED;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, handle, 0);
    if (view == MAP_FAILED) {
        Release();
        return ERR_ACCESS_DENIED;
    }
    ::posix_madvise(view, size, POSIX_MADV_SEQUENTIAL);
    m_view = view;
    m_viewSize = size;
    OpenCommon(path, static_cast<std::int64_t>(size), static_cast<const std::uint8_t*>(view));
    return 0;
}

void CFileSource::Close() {
    const bool wasOpen = m_view != nullptr || m_fileHandle >= 0;
    if (m_view != nullptr) ::munmap(m_view, m_viewSize);
    m_view = nullptr;
    m_viewSize = 0;
    m_forgotten = 0;
    m_current = nullptr;
    m_data = nullptr;
    if (wasOpen) CImageSource::Close();
    if (m_fileHandle >= 0) ::close(m_fileHandle);
    m_fileHandle = -1;
}

void CFileSource::ForgetBefore(const std::uint8_t* position) noexcept {
    // Pages go back in steps worth a system call.
    constexpr std::size_t kForgetStep = std::size_t{4} << 20;
    const auto* view = static_cast<const std::uint8_t*>(m_view);
    if (view == nullptr || position < view || position > view + m_viewSize) return;
    const auto pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = static_cast<std::size_t>(position - view) / pageSize * pageSize;
    if (end < m_forgotten + kForgetStep) return;
    ::madvise(m_view, end, MADV_DONTNEED);
    m_forgotten = end;
}

void CFileSource::Release() {
    if (m_view != nullptr) ::munmap(m_view, m_viewSize);
    m_view = nullptr;
    m_viewSize = 0;
    m_forgotten = 0;
    m_current = nullptr;
    m_data = nullptr;
    if (m_fileHandle >= 0) ::close(m_fileHandle);
    m_fileHandle = -1;
}

#endif  // _WIN32
