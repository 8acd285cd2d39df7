#include "cli/console_front_end.h"

#include <cstdio>

namespace {
std::mutex g_consoleMutex;
}

void ConsoleFrontEnd::writeLine(const std::string& line) {
    std::lock_guard lock(g_consoleMutex);
    std::fputs(line.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void ConsoleFrontEnd::showMessage(const std::string& text, MessageIcon icon) {
    const char* kind = icon == MessageIcon::Error     ? "error: "
                       : icon == MessageIcon::Warning ? "warning: "
                                                      : "";
    // Library texts end in a line feed; one line per message reads better.
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    writeLine(m_prefix + kind + message);
}

void ConsoleFrontEnd::open(const std::string& caption) {
    if (m_showProgress) writeLine(m_prefix + caption);
}

void ConsoleFrontEnd::appendLine(const std::string& text) {
    if (m_showProgress) writeLine(m_prefix + text);
}
