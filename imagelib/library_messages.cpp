#include "imagelib/library_messages.h"

#include <cstdio>

namespace {

// The libraries frame their texts with line feeds for a terminal; a log
// takes them as one line.
std::string OneLine(const char* text) {
    std::string line;
    bool space = false;
    for (const char* c = text; *c != '\0'; ++c) {
        const bool blank = *c == '\n' || *c == '\r' || *c == '\t' || *c == ' ';
        if (blank) {
            space = !line.empty();
            continue;
        }
        if (space) line += ' ';
        space = false;
        line += *c;
    }
    return line;
}

}  // namespace

void CLibraryMessages::Report(const char* text) noexcept {
    if (text == nullptr) return;
    if (!m_kept) {
        std::fputs(text, stderr);
        return;
    }
    try {
        const std::string line = OneLine(text);
        if (!line.empty()) Count(line, 1);
    } catch (...) {
        // Out of memory: the message is lost, the decode goes on.
        ++m_otherCount;
    }
}

void CLibraryMessages::Count(const std::string& text, std::uint64_t count) {
    for (Entry& entry : m_entries) {
        if (entry.text == text) {
            entry.count += count;
            return;
        }
    }
    if (m_entries.size() < kMaxTexts)
        m_entries.push_back(Entry{text, count});
    else
        m_otherCount += count;
}

void CLibraryMessages::Clear() noexcept {
    m_entries.clear();
    m_otherCount = 0;
}

void CLibraryMessages::Merge(const CLibraryMessages& other) noexcept {
    if (&other == this) return;
    try {
        for (const Entry& entry : other.m_entries) Count(entry.text, entry.count);
        m_otherCount += other.m_otherCount;
    } catch (...) {
        ++m_otherCount;
    }
}

std::vector<std::string> CLibraryMessages::Lines() const {
    std::vector<std::string> lines;
    for (const Entry& entry : m_entries)
        lines.push_back(entry.count > 1 ? entry.text + " (repeated " + std::to_string(entry.count) + " times)"
                                        : entry.text);
    if (m_otherCount > 0)
        lines.push_back("and " + std::to_string(m_otherCount) +
                        (m_otherCount > 1 ? " further messages" : " further message"));
    return lines;
}
