#pragma once

#include <QString>
#include <QStringList>

#include <string>

class QMimeData;

// Which files the window takes as pictures: the file dialog's filter, the
// names a folder's pictures match, and what a drop carries. All of it comes
// from the picture file types of the image library, the list kestrin-convert
// reads too.

// The source picker's filter in the string table's form (label and patterns
// separated by "|", ending in "||"): every picture type, then each type, then
// all files.
const std::string& pictureFilterText();
// The patterns of the filter's "All supported formats" entry, lower case
// first, then upper case.
QStringList pictureNamePatterns();
// The pictures in `folder` (not in its subfolders), sorted by name without
// regard to case.
QStringList picturesInFolder(const QString& folder);
// The pictures a drop or the command line names: a folder stands for its
// pictures, a Palm database is left out, and a file that is not there still
// counts (its conversion says what is wrong with it).
QStringList expandPicturePaths(const QStringList& paths);

// The first local file a drag carries, or empty.
QString droppedFile(const QMimeData* data);
// The local files and folders a drag carries.
QStringList droppedPaths(const QMimeData* data);

// Palm image databases are shown, never converted: the input stays for pictures.
bool isPalmDatabasePath(const QString& path);

// A path as the engine's batch runner takes it: its names end at "/" on
// every system.
std::string enginePath(const QString& path);
