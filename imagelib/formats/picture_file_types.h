#pragma once

#include <string>
#include <vector>

// The kinds of picture file the any-format decoder reads, as file dialogs,
// folder scans, the shell's completion and the desktop's file types name
// them. The decoder itself goes by content (metafiles by name), so these
// suffixes only say which files to offer; each format of CAnyFormatDecoder
// belongs to one type here.
struct PictureFileType {
    // The file dialog's label, as it has always read.
    std::string label;
    // Lower case, without the dot.
    std::vector<std::string> suffixes;
    std::vector<std::string> mimeTypes;
    // The CAnyFormatDecoder::Format values the type's files are read as.
    std::vector<int> formats;
};

// In the order file dialogs list them.
const std::vector<PictureFileType>& pictureFileTypes();

// Every type's suffixes, or MIME types, in the table's order.
std::vector<std::string> pictureFileSuffixes();
std::vector<std::string> pictureMimeTypes();
