#include "cli/console_front_end.h"

#include "engine/string_table.h"

#include <cstdio>

namespace {

std::mutex g_consoleMutex;

void writeTo(std::FILE* stream, const std::string& line) {
    std::lock_guard lock(g_consoleMutex);
    std::fputs(line.c_str(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Library texts end in a line feed; one line per message reads better, and a
// line break inside a name must not start a line of its own.
std::string oneLine(const std::string& text) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

}  // namespace

void ConsoleFrontEnd::writeLine(const std::string& line) {
    writeTo(stderr, oneLine(line));
}

void ConsoleFrontEnd::writeResult(const std::string& line) {
    writeTo(stdout, oneLine(line));
}

void ConsoleFrontEnd::writeError(const std::string& file, const std::string& reason) {
    writeLine("kestrin-convert: " + file + ": " + reason);
}

void ConsoleFrontEnd::showMessage(const std::string& text, MessageIcon icon) {
    if (icon == MessageIcon::Error || icon == MessageIcon::Warning)
        writeError(m_picture, text);
    else if (m_verbosity != Verbosity::kQuiet)
        writeLine(m_picture + ": " + text);
}

void ConsoleFrontEnd::showFileMessage(const std::string&, MessageIcon icon, const MessageSubject& subject) {
    if (icon == MessageIcon::Error || icon == MessageIcon::Warning)
        writeError(subject.file, subject.reason);
    else if (m_verbosity != Verbosity::kQuiet)
        writeLine(subject.file + ": " + subject.reason);
}

void ConsoleFrontEnd::open(const std::string& caption) {
    appendLine(caption);
}

void ConsoleFrontEnd::appendLine(const std::string& text) {
    // What is deleted after a failure is the hidden temporary file, never a
    // database the user could have seen: the console does not mention it.
    if (text == loadString(IDS_DELETING_DATABASE)) return;
    if (m_verbosity == Verbosity::kVerbose) writeLine(m_namePictureInLog ? m_picture + ": " + text : text);
}

void ConsoleFrontEnd::appendNote(const std::string& text) {
    if (m_verbosity != Verbosity::kQuiet) writeLine(m_picture + ": " + text);
}
