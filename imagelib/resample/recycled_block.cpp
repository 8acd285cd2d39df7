#include "imagelib/resample/recycled_block.h"

#include <mutex>
#include <vector>

namespace resample {
namespace {

// What is kept: the intermediates of two photos to the high-resolution
// databases at a time, not the pictures of a huge one.
constexpr std::size_t kLargestKept = std::size_t{8} << 20;
constexpr std::size_t kMostKept = std::size_t{16} << 20;
constexpr std::size_t kMostBlocks = 8;

struct Kept {
    std::uint8_t* block;
    std::size_t size;
};

class BlockShelf {
public:
    BlockShelf() { m_blocks.reserve(kMostBlocks); }

    // The smallest block kept that holds `bytes` without wasting half of itself.
    std::uint8_t* Take(std::size_t bytes, std::size_t& size) {
        std::lock_guard lock(m_mutex);
        auto best = m_blocks.end();
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it)
            if (it->size >= bytes && it->size / 2 <= bytes &&
                (best == m_blocks.end() || it->size < best->size))
                best = it;
        if (best == m_blocks.end()) return nullptr;
        std::uint8_t* block = best->block;
        size = best->size;
        m_held -= size;
        m_blocks.erase(best);
        return block;
    }

    bool Keep(std::uint8_t* block, std::size_t size) noexcept {
        if (size > kLargestKept) return false;
        std::lock_guard lock(m_mutex);
        if (m_held + size > kMostKept || m_blocks.size() == m_blocks.capacity()) return false;
        m_blocks.push_back({block, size});
        m_held += size;
        return true;
    }

private:
    std::mutex m_mutex;
    std::vector<Kept> m_blocks;
    std::size_t m_held = 0;
};

// Never destroyed: a job that ends while the program exits may still hand
// its blocks back.
BlockShelf& Shelf() {
    static BlockShelf& shelf = *new BlockShelf;
    return shelf;
}

}  // namespace

void RecycleBlock::operator()(std::uint8_t* block) const noexcept {
    if (block != nullptr && !Shelf().Keep(block, size)) delete[] block;
}

RecycledBlock TakeBlock(std::size_t bytes) {
    std::size_t size = 0;
    if (std::uint8_t* kept = Shelf().Take(bytes, size)) return RecycledBlock(kept, RecycleBlock{size});
    return RecycledBlock(new std::uint8_t[bytes], RecycleBlock{bytes});
}

}  // namespace resample
