#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The lookup behind both players' record tables. Each table lists, once per
// record number, what the player knows of that record (its smallest sound
// size, its handler); the index finds an entry with one array read and one
// comparison, so a hostile file pays the same for every record it holds.
namespace metafile {

// Entries are indexed by the low byte of their `number`: the record numbers
// of Windows metafiles keep their function index there (the high byte counts
// parameter words), and those of enhanced metafiles are all below 256. Two
// entries sharing a low byte stop the compilation.
template <typename Entry, std::size_t Count>
class CRecordTable {
public:
    static_assert(Count < 255, "a record table holds fewer than 255 entries");

    constexpr explicit CRecordTable(const Entry (&entries)[Count]) {
        for (std::uint8_t& slot : m_slots) slot = kNoEntry;
        for (std::size_t i = 0; i < Count; ++i) {
            m_entries[i] = entries[i];
            std::uint8_t& slot = m_slots[entries[i].number & 0xFF];
            if (slot != kNoEntry) throw "two records of one table share the low byte of their number";
            slot = static_cast<std::uint8_t>(i);
        }
    }

    // The entry of a record number, or null for records the table does not list.
    constexpr const Entry* Find(std::uint32_t number) const {
        const std::uint8_t slot = m_slots[number & 0xFF];
        if (slot == kNoEntry || m_entries[slot].number != number) return nullptr;
        return &m_entries[slot];
    }

private:
    static constexpr std::uint8_t kNoEntry = 0xFF;

    std::array<Entry, Count> m_entries{};
    std::array<std::uint8_t, 256> m_slots{};
};

}  // namespace metafile
