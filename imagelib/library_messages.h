#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the C libraries a decode runs on say besides failing: giflib's errors
// that decoding goes on after, libjpeg's warnings about damaged data. They go
// to the standard error stream, as the libraries write them themselves,
// unless kept: then each distinct text is counted, for a caller that shows
// them in a log of its own. A damaged file can say the same thing for every
// row, so only a few distinct texts are kept and the others are counted.
class CLibraryMessages {
public:
    void SetKept(bool kept) { m_kept = kept; }
    bool IsKept() const { return m_kept; }

    // Never throws: called from inside the libraries' callbacks.
    void Report(const char* text) noexcept;
    void Clear() noexcept;
    // Adds another decode's messages, as if reported here.
    void Merge(const CLibraryMessages& other) noexcept;

    // One line per distinct text, in the order they first came, with how
    // often it came when more than once; then a line that counts the
    // messages beyond the texts kept.
    std::vector<std::string> Lines() const;

private:
    struct Entry {
        std::string text;
        std::uint64_t count = 0;
    };
    static constexpr std::size_t kMaxTexts = 16;

    void Count(const std::string& text, std::uint64_t count);

    bool m_kept = false;
    std::vector<Entry> m_entries;
    std::uint64_t m_otherCount = 0;
};
