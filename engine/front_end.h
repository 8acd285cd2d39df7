#pragma once

#include <string>

// The engine shows messages and progress only through these small interfaces;
// the desktop application, the command line and the tests implement them.

enum class MessageIcon { Error, Warning, Information, Question };

// What a message is about, for a front end that says it in one line after
// the file's name, as command-line tools do ("missing.jpg: No such file or
// directory"): the file as the user named it, and the reason alone.
struct MessageSubject {
    std::string file;
    std::string reason;
};

// Message boxes: the caption is always the program name (string 101).
class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    virtual void showMessage(const std::string& text, MessageIcon icon) = 0;
    // The same message with its file and reason apart; a front end that
    // shows whole messages shows `text`.
    virtual void showFileMessage(const std::string& text, MessageIcon icon, const MessageSubject& subject) {
        (void)subject;
        showMessage(text, icon);
    }
};

// The progress window of one conversion run: opened with a caption at the
// start of the run, one line per step, closed before the run returns.
class ProgressLog {
public:
    virtual ~ProgressLog() = default;
    virtual void open(const std::string& caption) = 0;
    virtual void appendLine(const std::string& text) = 0;
    // A line that says what is wrong with a picture that converted all the
    // same ("the picture ends early: ..."): a front end that sums up many
    // pictures keeps it for its summary. A line of the log unless overridden.
    virtual void appendWarning(const std::string& text) { appendLine(text); }
    // A line a user should see even without the log of steps: what became of
    // the picture's colour profile, what its decoder had to say. A line of
    // the log unless overridden.
    virtual void appendNote(const std::string& text) { appendLine(text); }
    virtual void close() = 0;
};

// Front ends that want neither messages nor progress (tests, quiet batch runs).
class SilentNotifier : public UserNotifier {
public:
    void showMessage(const std::string&, MessageIcon) override {}
};

class SilentProgressLog : public ProgressLog {
public:
    void open(const std::string&) override {}
    void appendLine(const std::string&) override {}
    void close() override {}
};
