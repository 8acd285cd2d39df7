#pragma once

#include "engine/front_end.h"

#include <mutex>
#include <string>

// How much kestrin-convert says besides its errors.
enum class Verbosity {
    kQuiet,    // -q: errors only
    kNormal,   // errors, what a user should know of each picture, a result line per database
    kVerbose,  // -v: also the log of each conversion's steps
};

// The voice of one picture on the command line, as GNU tools speak: an error
// is one line "kestrin-convert: FILE: reason" on standard error; what a user
// should know of a picture (its colour profile, a decoder's warning) is a
// line starting with the picture's name; the steps of the conversion are
// logged only when verbose, with the picture's name in front when several
// pictures are converted. Lines from parallel conversions never mix.
class ConsoleFrontEnd : public UserNotifier, public ProgressLog {
public:
    ConsoleFrontEnd(std::string picture, bool namePictureInLog, Verbosity verbosity)
        : m_picture(std::move(picture)), m_namePictureInLog(namePictureInLog), m_verbosity(verbosity) {}

    void showMessage(const std::string& text, MessageIcon icon) override;
    void showFileMessage(const std::string& text, MessageIcon icon, const MessageSubject& subject) override;
    void open(const std::string& caption) override;
    void appendLine(const std::string& text) override;
    void appendWarning(const std::string& text) override { appendNote(text); }
    void appendNote(const std::string& text) override;
    void close() override {}

    // "kestrin-convert: FILE: reason" on standard error.
    static void writeError(const std::string& file, const std::string& reason);
    // One line to standard error, or to standard output, under the
    // process-wide console lock.
    static void writeLine(const std::string& line);
    static void writeResult(const std::string& line);

private:
    std::string m_picture;
    bool m_namePictureInLog;
    Verbosity m_verbosity;
};
