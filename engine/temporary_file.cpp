#include "engine/temporary_file.h"

#include "engine/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <random>

// A temporary file's name while it is in the folder, listed for the signal
// handler that removes it when the process is ended.
struct PendingName {
    PendingName* previous = nullptr;
    PendingName* next = nullptr;
    std::string path;
};

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handler may only read memory and call async-signal-safe functions, so
// the list is changed only under a spin lock, by a thread that holds the
// ending signals back meanwhile: the handler, taking the same lock, never
// waits for its own thread. A file is made under the lock too, so the handler
// either finds it listed or comes first and keeps it from being made. Nothing
// is allocated or freed under the lock, so the handler never waits for a
// thread stuck in the allocator either. The list has no fixed size; each name
// is allocated before it is added.
std::atomic_flag g_pendingLock = ATOMIC_FLAG_INIT;
PendingName* g_firstPending = nullptr;

void (*g_createdHook)(const std::string&) = nullptr;
void (*g_committingHook)(const std::string&, const std::string&) = nullptr;

// Holds the ending signals back on this thread while it lives.
class EndingSignalsHeld {
public:
    EndingSignalsHeld() {
        sigset_t ending;
        sigemptyset(&ending);
        for (const int signalNumber : kEndingSignals) sigaddset(&ending, signalNumber);
        pthread_sigmask(SIG_BLOCK, &ending, &m_saved);
    }
    ~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_saved, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t m_saved;
};

extern "C" void RemovePendingAndEnd(int signalNumber) {
    const int savedErrno = errno;
    // Whoever holds the lock is another thread (this one cannot take these
    // signals while it holds it) and lets go within a few instructions. The
    // lock is kept: nothing changes the list any more.
    while (g_pendingLock.test_and_set(std::memory_order_acquire)) {
    }
    for (const PendingName* name = g_firstPending; name != nullptr; name = name->next)
        ::unlink(name->path.c_str());
    errno = savedErrno;
    // Ended as the signal ends a program that does not handle it, so the
    // caller sees the same status. Sent to the process rather than raised in
    // this thread, it ends the other threads at once instead of after this
    // handler returns.
    std::signal(signalNumber, SIG_DFL);
    ::kill(::getpid(), signalNumber);
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

void lockPending() {
    while (g_pendingLock.test_and_set(std::memory_order_acquire)) sched_yield();
}

void unlockPending() {
    g_pendingLock.clear(std::memory_order_release);
}

// Lists a name; the caller holds the lock.
void addPending(PendingName* name) {
    name->previous = nullptr;
    name->next = g_firstPending;
    if (g_firstPending != nullptr) g_firstPending->previous = name;
    g_firstPending = name;
}

void removePending(PendingName* name) {
    if (name == nullptr) return;
    {
        EndingSignalsHeld held;
        lockPending();
        if (name->previous != nullptr) name->previous->next = name->next;
        if (name->next != nullptr) name->next->previous = name->previous;
        if (g_firstPending == name) g_firstPending = name->next;
        unlockPending();
    }
    delete name;
}

PendingName* findPending(const std::string& path) {
    EndingSignalsHeld held;
    lockPending();
    PendingName* found = g_firstPending;
    while (found != nullptr && found->path != path) found = found->next;
    unlockPending();
    return found;
}

std::string folderOf(const std::string& targetPath) {
    const std::filesystem::path target(targetPath);
    return target.has_parent_path() ? target.parent_path().string() : std::string(".");
}

// ".NAME.kestrin-1a2b3c4d" in the target's folder. NAME is cut when the
// whole would be longer than a name may be there, before a character rather
// than inside one of UTF-8's several bytes.
std::string temporaryPathFor(const std::string& targetPath, unsigned number) {
    constexpr std::size_t kAddedBytes = 1 + 9 + 8;  // ".", ".kestrin-", eight hex digits
    const std::string folder = folderOf(targetPath);
    const std::string fileName = std::filesystem::path(targetPath).filename().string();
    const std::string prefix = (std::filesystem::path(folder) / "").string();
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    // Within the longest path, too.
    constexpr std::size_t kLongestPath = PATH_MAX - 1;
    const std::size_t pathRoom = prefix.size() < kLongestPath ? kLongestPath - prefix.size() : 0;
    const std::size_t nameMax =
        std::min<std::size_t>(limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX, pathRoom);
    std::size_t keep = fileName.size();
    if (nameMax > kAddedBytes && keep + kAddedBytes > nameMax) {
        keep = nameMax - kAddedBytes;
        while (keep > 0 && (static_cast<unsigned char>(fileName[keep]) & 0xC0) == 0x80) --keep;
    }
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".kestrin-%08x", number);
    return prefix + "." + fileName.substr(0, keep) + suffix;
}

// Makes a file in the target's folder with `make`, which returns 0 or an
// errno value, under fresh random names until one is free, and lists it for
// the signal handler.
template <typename Make>
PendingName* makeNamed(const std::string& targetPath, Make make) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::unique_ptr<PendingName> name;
        try {
            name.reset(new PendingName{nullptr, nullptr, temporaryPathFor(targetPath, random())});
        } catch (const std::bad_alloc&) {
            errno = ENOMEM;
            return nullptr;
        }
        InstallHandlersOnce();
        int error;
        {
            EndingSignalsHeld held;
            lockPending();
            error = make(name->path);
            if (error == 0) addPending(name.get());
            unlockPending();
        }
        if (error == 0) {
            if (g_createdHook != nullptr) g_createdHook(name->path);
            return name.release();
        }
        if (error != EEXIST) {
            errno = error;
            return nullptr;
        }
    }
    errno = EEXIST;
    return nullptr;
}

// True when `path` names the regular file `file` (its device and inode), not
// a link to it.
bool namesFile(const std::string& path, const struct stat& file) {
    struct stat named {};
    return ::lstat(path.c_str(), &named) == 0 && S_ISREG(named.st_mode) && named.st_dev == file.st_dev &&
           named.st_ino == file.st_ino;
}

bool sameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool exchangeNames(const std::string& one, const std::string& other) {
    return ::renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE) == 0;
}

bool renameWithoutReplacing(const std::string& from, const std::string& to, bool& exists) {
    exists = false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        exists = errno == EEXIST;
        return false;
    }
    // A filesystem without that rename: a second name never replaces either.
    if (::link(from.c_str(), to.c_str()) != 0) {
        exists = errno == EEXIST;
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

}  // namespace

TemporaryFile::~TemporaryFile() {
    discard();
}

bool TemporaryFile::create(const std::string& targetPath) {
    discard();
    m_target = targetPath;
    int handle = -1;
    m_pending = makeNamed(targetPath, [&handle](const std::string& path) {
        handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
        return handle >= 0 ? 0 : errno;
    });
    if (m_pending == nullptr) return false;
    m_handle = handle;
    m_name = m_pending->path;
    return true;
}

bool TemporaryFile::stillNamesThisFile(const std::string& path) const {
    struct stat written {};
    return ::fstat(m_handle, &written) == 0 && namesFile(path, written);
}

void TemporaryFile::forgetName() {
    removePending(m_pending);
    m_pending = nullptr;
    m_name.clear();
}

TemporaryFile::CommitResult TemporaryFile::commit(bool replaceExisting) {
    struct stat written {};
    if (m_handle < 0 || m_name.empty()) {
        errno = EBADF;
        return CommitResult::kFailed;
    }
    if (::fstat(m_handle, &written) != 0) return CommitResult::kFailed;
    // Whoever may write the folder may swap the name for another file; what
    // moves to the target must be the file written.
    if (!namesFile(m_name, written)) return CommitResult::kTemporaryReplaced;
    if (g_committingHook != nullptr) g_committingHook(m_name, m_target);
    const CommitResult result = replaceExisting ? replaceTarget(written) : takeFreeTarget(written);
    if (result == CommitResult::kCommitted || result == CommitResult::kTemporaryReplaced) {
        // The name is no longer this file's to remove.
        forgetName();
        discard();
    }
    return result;
}

// Renames the file into a name nobody holds. The name may still be swapped
// between the check and the rename: whatever else arrives is moved back.
TemporaryFile::CommitResult TemporaryFile::takeFreeTarget(const struct stat& written) {
    bool exists = false;
    if (!renameWithoutReplacing(m_name, m_target, exists))
        return exists ? CommitResult::kTargetExists : CommitResult::kFailed;
    if (namesFile(m_target, written)) return CommitResult::kCommitted;
    ::renameat2(AT_FDCWD, m_target.c_str(), AT_FDCWD, m_name.c_str(), RENAME_NOREPLACE);
    return CommitResult::kTemporaryReplaced;
}

// Takes the target's name by exchanging it with the temporary's: the file
// there (a link too, never followed) waits under the temporary's name until
// the target is known to be this file, and is exchanged back otherwise, so a
// temporary swapped for another file at the last moment never costs the
// target. Where the file system cannot exchange names, the file is renamed
// over the target after the check alone.
TemporaryFile::CommitResult TemporaryFile::replaceTarget(const struct stat& written) {
    struct stat existing {};
    if (::lstat(m_target.c_str(), &existing) != 0)
        return errno == ENOENT ? takeFreeTarget(written) : CommitResult::kFailed;
    if (S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return CommitResult::kFailed;
    }
    bool arrived = false;
    int error = 0;
    {
        // The ending signals' handler removes the temporary's name, which
        // holds the target's file until the exchange is settled.
        EndingSignalsHeld held;
        lockPending();
        if (exchangeNames(m_name, m_target)) {
            arrived = namesFile(m_target, written);
            // Otherwise back where it was; if the names moved meanwhile, the
            // file may have arrived after all.
            if (!arrived && exchangeNames(m_name, m_target)) arrived = namesFile(m_target, written);
        } else {
            error = errno;
        }
        unlockPending();
    }
    if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
        if (std::rename(m_name.c_str(), m_target.c_str()) != 0) return CommitResult::kFailed;
        return namesFile(m_target, written) ? CommitResult::kCommitted : CommitResult::kTemporaryReplaced;
    }
    if (error == ENOENT) {
        // Whichever name went: the target's leaves a name nobody holds.
        if (!namesFile(m_name, written)) return CommitResult::kTemporaryReplaced;
        return takeFreeTarget(written);
    }
    if (error != 0) {
        errno = error;
        return CommitResult::kFailed;
    }
    if (!arrived) return CommitResult::kTemporaryReplaced;
    // The replaced file, if it is still what the temporary's name holds.
    struct stat left {};
    if (::lstat(m_name.c_str(), &left) == 0 && sameFile(left, existing)) ::unlink(m_name.c_str());
    return CommitResult::kCommitted;
}

void TemporaryFile::discard() {
    // A file a stranger put in the temporary's place is theirs to remove.
    if (!m_name.empty() && stillNamesThisFile(m_name)) ::unlink(m_name.c_str());
    forgetName();
    if (m_handle >= 0) ::close(m_handle);
    m_handle = -1;
}

std::string TemporaryFile::describe(CommitResult result) {
    switch (result) {
        case CommitResult::kCommitted:
            return {};
        case CommitResult::kTargetExists:
            return describeSystemError(EEXIST);
        case CommitResult::kTemporaryReplaced:
            return "its temporary file was replaced by another file";
        case CommitResult::kFailed:
            break;
    }
    return describeSystemError(errno);
}

bool isSameFile(const std::string& first, const std::string& second) {
    struct stat one {
    }, other{};
    return ::stat(first.c_str(), &one) == 0 && ::stat(second.c_str(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

std::string createTemporaryFileBeside(const std::string& targetPath) {
    const PendingName* name = makeNamed(targetPath, [](const std::string& path) {
        const int handle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (handle < 0) return errno;
        ::close(handle);
        return 0;
    });
    return name != nullptr ? name->path : std::string();
}

bool renameTemporaryFile(const std::string& temporaryPath, const std::string& targetPath) {
    if (std::rename(temporaryPath.c_str(), targetPath.c_str()) != 0) return false;
    removePending(findPending(temporaryPath));
    return true;
}

void removeTemporaryFile(const std::string& temporaryPath) {
    ::unlink(temporaryPath.c_str());
    removePending(findPending(temporaryPath));
}

namespace temporary_file_testing {

void setCreatedHook(void (*hook)(const std::string&)) {
    g_createdHook = hook;
}

void setCommittingHook(void (*hook)(const std::string& temporaryPath, const std::string& targetPath)) {
    g_committingHook = hook;
}

}  // namespace temporary_file_testing
