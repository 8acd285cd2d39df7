#include "engine/output_replacement.h"

#include "engine/output_file.h"
#include "engine/palm_database_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

const char* kindName(OutputKind kind) {
    return kind == OutputKind::kPalmDatabase ? "a Palm database" : "a PNG picture";
}

bool isOfKind(const std::string& path, OutputKind kind) {
    return kind == OutputKind::kPalmDatabase ? isPalmDatabaseFile(path) : isPngFile(path);
}

}  // namespace

std::optional<OutputRefusal> outputRefusal(const std::string& path, OutputKind kind, bool replaceExisting) {
    struct stat there {};
    // Nothing there, or a folder that cannot be searched: creating the file
    // then fails on its own and says why.
    if (::lstat(path.c_str(), &there) != 0) return std::nullopt;
    if (S_ISDIR(there.st_mode)) return OutputRefusal{false, describeSystemError(EISDIR)};
    if (S_ISLNK(there.st_mode)) return OutputRefusal{false, "is a symbolic link, so it is not replaced"};
    if (!S_ISREG(there.st_mode)) return OutputRefusal{false, "is not a regular file, so it is not replaced"};
    if (!isOfKind(path, kind))
        return OutputRefusal{false,
                             std::string("exists and is not ") + kindName(kind) + ", so it is not replaced"};
    if (!replaceExisting) return OutputRefusal{true, "already exists"};
    return std::nullopt;
}

bool isPngFile(const std::string& path) {
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (handle < 0) return false;
    struct stat info {};
    unsigned char start[sizeof kPngSignature] = {};
    const bool png = ::fstat(handle, &info) == 0 && S_ISREG(info.st_mode) &&
                     ::pread(handle, start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
                     std::memcmp(start, kPngSignature, sizeof start) == 0;
    ::close(handle);
    return png;
}
