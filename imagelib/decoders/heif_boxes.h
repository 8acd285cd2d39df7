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
// their sizes, so the decoder reads the meta box itself to refuse such files
// before libheif sees them. The census costs time in proportion to the file:
// every count a box states is checked against the bytes the box has left
// before anything is walked or kept.
struct HeifItemCensus {
    // The longest of the meta box's lists: item infos, locations, property
    // associations, references. A list that states more entries than the
    // census was asked to walk is counted by what it states, not walked.
    std::uint64_t longestItemList = 0;
    // The most pictures one derived image (a grid, overlay or identity
    // image) is made of.
    std::uint64_t mostDerivedPictures = 0;
    // What decoding the primary image costs the codecs: the pixels of the
    // coded pictures it is made of (its own, or those its tiles and layers
    // hold, each as often as it is listed), by the larger of their stored
    // sizes and the sizes their HEVC configurations decode at.
    std::uint64_t primaryDecodedPixels = 0;
    // The primary image's pixels with the largest of its pictures added to
    // its width and height: what decoding every pixel once costs, tiles that
    // overhang its right and bottom edges included.
    std::uint64_t primaryCoveredPixels = 0;
    // True when the primary image is made of pictures of its own, and when
    // decoding it assembles a grid.
    bool primaryIsDerived = false;
    bool primaryIsGrid = false;
    // Why the meta box cannot be read, when a list states more than its box
    // holds; null otherwise.
    const char* malformed = nullptr;
};

// The census of the file's top-level meta box; all zero when it has none.
// Boxes cut short end the count where they start (libheif refuses them
// itself); lists that state more entries than their box holds, and item
// locations that repeat an extent of no size, are malformed.
HeifItemCensus CountHeifItems(const std::uint8_t* data, std::size_t size, std::uint64_t maxListEntries);
