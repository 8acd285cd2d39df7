#include "engine/temporary_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

std::string createTemporaryFileBeside(const std::string& targetPath) {
    const std::filesystem::path target(targetPath);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".kestrin-%08x", static_cast<unsigned>(random()));
        std::string name = ".";
        name.append(target.filename().string()).append(suffix);
        const std::string candidate = (folder / name).string();
        const int handle = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (handle >= 0) {
            ::close(handle);
            return candidate;
        }
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}
