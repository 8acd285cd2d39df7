#pragma once

#include <string>

// Writes a PNG of what the handheld will show for a written database: every
// bitmap of the first resource, its packed pixels rendered through the Palm
// palette of its depth, side by side from left to right. Returns false with a
// message in `error` when the database cannot be read or the PNG written.
bool writePreviewPng(const std::string& databasePath, const std::string& pngPath, std::string& error);
