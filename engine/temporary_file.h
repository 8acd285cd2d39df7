#pragma once

#include <string>

struct PendingName;
struct stat;

// A new file that becomes `targetPath` only when it is complete, so a failure
// never leaves a partial file and never destroys an existing one. It is a
// hidden file beside the target (".NAME.kestrin-1a2b3c4d", NAME shortened so
// that the temporary's name fits wherever the target's does), written through
// the descriptor of its own exclusive creation and never reopened by name:
// whatever a stranger puts at a name in a shared folder is never written
// through, and a temporary swapped for another file is not moved to the
// target, nor does it take the place of a file there. Until committed or discarded it is removed also when
// SIGINT, SIGTERM or SIGHUP ends the process (unless the program handles or ignores that signal itself),
// however many there are.
class TemporaryFile {
public:
    enum class CommitResult {
        kCommitted,
        // Something has the target's name (a link too) and was not to be replaced.
        kTargetExists,
        // Another file was put in the temporary's place in the folder.
        kTemporaryReplaced,
        // The system refused; errno says why.
        kFailed,
    };

    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file, empty and with the permissions an ordinary new file
    // gets. False with errno set when it cannot be made.
    bool create(const std::string& targetPath);
    // The descriptor to write through; it stays this object's.
    int handle() const { return m_handle; }

    // Gives the file the target's name. With replaceExisting a file there is
    // replaced at once and whole (a link there is replaced, never followed);
    // without it, any name there is left alone. Unless committed, the file
    // stays pending.
    CommitResult commit(bool replaceExisting);
    // Throws the file away (also on destruction when not committed).
    void discard();

    // Why a commit failed, for messages ("File exists", ...); errno must still
    // be the one the commit left for kFailed.
    static std::string describe(CommitResult result);

private:
    bool stillNamesThisFile(const std::string& path) const;
    CommitResult takeFreeTarget(const struct stat& written);
    CommitResult replaceTarget(const struct stat& written);
    void forgetName();

    int m_handle = -1;
    std::string m_target;
    std::string m_name;  // the temporary's path until committed or discarded
    PendingName* m_pending = nullptr;
};

// True when both paths lead, through links too, to one existing file: a
// program that reads the one must not write the other.
bool isSameFile(const std::string& first, const std::string& second);

// The name-only form: a new, empty temporary file beside `targetPath`, closed,
// and removed by the ending signals until renamed or removed below. Returns
// the path, or an empty string with errno set. Whatever reopens this name can
// be misled in a shared folder; files that Kestrin writes go through
// TemporaryFile.
std::string createTemporaryFileBeside(const std::string& targetPath);

// Renames the temporary file over the target; false with errno set when that
// fails, and the file is still there.
bool renameTemporaryFile(const std::string& temporaryPath, const std::string& targetPath);

// Removes the temporary file (if it is still there).
void removeTemporaryFile(const std::string& temporaryPath);

// A seam for the tests of what strangers can do in a shared folder: called
// with the temporary's path whenever one is created. Not thread-safe.
namespace temporary_file_testing {
void setCreatedHook(void (*hook)(const std::string& temporaryPath));
// Called by a commit after it has checked the temporary's name and before it
// moves the file.
void setCommittingHook(void (*hook)(const std::string& temporaryPath, const std::string& targetPath));
}  // namespace temporary_file_testing
