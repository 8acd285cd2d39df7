#pragma once

#include <string>

// Writes a PNG of what the handheld will show for a written database, read
// back from the file: the whole picture at each density the database holds,
// lowest first, side by side from left to right. The PNG goes through a
// temporary file renamed into place, replacing an existing PNG only with
// `replaceExisting`. Returns false with the reason in `error` when the
// database cannot be read or the PNG written.
bool writePreviewPng(const std::string& databasePath, const std::string& pngPath, bool replaceExisting,
                     std::string& error);
