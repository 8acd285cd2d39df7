#include "engine/string_table.h"

#include <algorithm>
#include <iterator>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Sorted by number.
constexpr StringEntry kStrings[] = {
    {130, "Creating database file..."},
    {131, "Writing database header..."},
    {136, "Closing database file..."},
    {137, "Deleting database file due to errors during conversion..."},
    {138, "Creating %s..."},
    {139, "Creating image..."},
};

}  // namespace

const char* loadString(int id) {
    const auto* found =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                         [](const StringEntry& entry, int wanted) { return entry.id < wanted; });
    return found != std::end(kStrings) && found->id == id ? found->text : "";
}
