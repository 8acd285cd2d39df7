#include "engine/string_table.h"

#include "imagelib/translated_text.h"

#include <algorithm>
#include <iterator>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Sorted by number.
constexpr StringEntry kStrings[] = {
    {130, KESTRIN_TRANSLATE_NOOP("StringTable", "Creating database file...")},
    {131, KESTRIN_TRANSLATE_NOOP("StringTable", "Writing database header...")},
    {136, KESTRIN_TRANSLATE_NOOP("StringTable", "Closing database file...")},
    {137, KESTRIN_TRANSLATE_NOOP("StringTable", "Deleting database file due to errors during conversion...")},
    {138, KESTRIN_TRANSLATE_NOOP("StringTable", "Creating %s...")},
    {139, KESTRIN_TRANSLATE_NOOP("StringTable", "Creating image...")},
};

}  // namespace

const char* loadString(int id) {
    const auto* found =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                         [](const StringEntry& entry, int wanted) { return entry.id < wanted; });
    return found != std::end(kStrings) && found->id == id ? found->text : "";
}
