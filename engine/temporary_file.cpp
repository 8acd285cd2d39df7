#include "engine/temporary_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>

namespace {

// The temporary files not yet renamed or removed, kept for a signal handler:
// it may only read memory that is always there and call async-signal-safe
// functions, so the paths are preformatted C strings in fixed slots. A file
// that finds no free slot (more conversions at once than slots, or a path
// longer than a slot) is merely not removed by a signal.
constexpr std::size_t kPendingSlots = 64;
constexpr std::size_t kPathBytes = 4096;

enum SlotState : int { kFree, kBusy, kPending };

struct PendingSlot {
    std::atomic<int> state{kFree};
    char path[kPathBytes];
};

PendingSlot g_pending[kPendingSlots];

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemovePendingAndEnd(int signalNumber) {
    const int savedErrno = errno;
    for (PendingSlot& slot : g_pending)
        if (slot.state.load() == kPending) ::unlink(slot.path);
    errno = savedErrno;
    // Ended as the signal ends a program that does not handle it, so the
    // caller sees the same status.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

// A program that handles or ignores one of these signals keeps its own way.
void InstallHandlersOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (const int signalNumber : kEndingSignals) {
            struct sigaction current {};
            if (::sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
            struct sigaction removing {};
            removing.sa_handler = RemovePendingAndEnd;
            sigemptyset(&removing.sa_mask);
            for (const int other : kEndingSignals) sigaddset(&removing.sa_mask, other);
            ::sigaction(signalNumber, &removing, nullptr);
        }
    });
}

void AddPending(const std::string& path) {
    if (path.size() >= kPathBytes) return;
    InstallHandlersOnce();
    for (PendingSlot& slot : g_pending) {
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kBusy)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(kPending);
        return;
    }
}

void ForgetPending(const std::string& path) {
    for (PendingSlot& slot : g_pending) {
        int expected = kPending;
        if (!slot.state.compare_exchange_strong(expected, kBusy)) continue;
        const bool found = path == slot.path;
        slot.state.store(found ? kFree : kPending);
        if (found) return;
    }
}

}  // namespace

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
            AddPending(candidate);
            return candidate;
        }
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

bool renameTemporaryFile(const std::string& temporaryPath, const std::string& targetPath) {
    if (std::rename(temporaryPath.c_str(), targetPath.c_str()) != 0) return false;
    ForgetPending(temporaryPath);
    return true;
}

void removeTemporaryFile(const std::string& temporaryPath) {
    ::unlink(temporaryPath.c_str());
    ForgetPending(temporaryPath);
}
