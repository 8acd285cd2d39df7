#pragma once

#include "engine/front_end.h"

#include <mutex>
#include <string>

// Messages and progress lines of the command line: everything goes to
// standard error, one line at a time, prefixed with the input's name when
// several pictures are converted. Lines from parallel conversions never mix.
class ConsoleFrontEnd : public UserNotifier, public ProgressLog {
public:
    ConsoleFrontEnd(std::string prefix, bool showProgress)
        : m_prefix(std::move(prefix)), m_showProgress(showProgress) {}

    void showMessage(const std::string& text, MessageIcon icon) override;
    void open(const std::string& caption) override;
    void appendLine(const std::string& text) override;
    void close() override {}

    // Writes one line to standard error under the process-wide console lock.
    static void writeLine(const std::string& line);

private:
    std::string m_prefix;
    bool m_showProgress;
};
