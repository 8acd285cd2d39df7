#pragma once

#include "engine/palm_database_reader.h"
#include "imagelib/limits/decode_limits.h"

#include <vector>

class CImageBitmap;

// What the viewer shows of a Palm image file, as a 32-bit picture (blue,
// green, red, alpha 255 per pixel): the "abmp" resources before the "Tbmp"
// ones, the "abmp" resources of a picture cut into halves stacked top to
// bottom in the order of their IDs, and of each family the deepest bitmap of
// the chosen density.

// Densities to ask for: kLowDensity, kHighestDensity (the highest present),
// or any density a bitmap header can state (108, 144, 216, 288).
inline constexpr int kLowDensity = 72;
inline constexpr int kHighestDensity = 0;

// The densities of the resources the viewer shows, in ascending order.
// Throws PalmFormatError when the file holds no bitmap resource.
std::vector<int> viewerDensities(const PalmDatabaseRecord& database);

// Replaces `picture` with what the viewer shows at `density`. Throws
// PalmFormatError when the file holds no bitmap of that density or the
// picture would go beyond the limits.
void renderViewerPicture(const PalmDatabaseRecord& database, int density, CImageBitmap& picture,
                         const DecodeLimits& limits = {});

// Colours of one bitmap through its colour table or the system palette of its
// depth, or from its 5-6-5 pixels, into its height of rows of 32-bit pixels.
void renderPalmBitmap(const PalmBitmapRecord& bitmap, std::uint8_t* const* rows);
