#pragma once

#include <cstddef>
#include <cstdint>

// What a HEIF file's boxes say about its items, read ahead of libheif.
//
// libheif 1.15 looks up each item's properties, location and references by
// walking lists of every item, so reading a file costs time growing with the
// square of its item count; and it decodes a derived image's pictures (the
// tiles of a grid) one by one, as often as they are listed, even when they
// all point at the same coded bytes. Its API tells neither the tiles nor
// their data, so the decoder reads the meta box itself to refuse such files
// before libheif sees them.
struct HeifItemCensus {
    // The longest of the meta box's lists: item infos, locations, property
    // associations, references.
    std::uint64_t longestItemList = 0;
    // The most pictures one derived image (a grid, overlay or identity
    // image) is made of.
    std::uint64_t mostDerivedPictures = 0;
    // True when some derived image lists one picture twice, or two of its
    // pictures whose coded data overlap.
    bool picturesShareData = false;
    // True when some derived image is a grid.
    bool hasGrid = false;
};

// The census of the file's top-level meta box; all zero when it has none.
// Boxes cut short or malformed end the count where they start: libheif
// refuses them itself.
HeifItemCensus CountHeifItems(const std::uint8_t* data, std::size_t size);
