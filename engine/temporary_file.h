#pragma once

#include <string>

// Creates a new, empty, hidden file with a unique name in the folder of
// `targetPath` (".NAME.kestrin-1a2b3c4d"), with the permissions an ordinary
// new file gets, never through a link. Something written there and renamed
// over the target replaces it at once and whole. Returns the path, or an
// empty string with errno set when no such file could be made.
//
// Until it is renamed or removed by the two functions below, the file is
// also removed when the process is ended by SIGINT, SIGTERM or SIGHUP (Ctrl-C,
// a timeout, a desktop closing a thumbnailer), unless the program handles
// or ignores that signal itself.
std::string createTemporaryFileBeside(const std::string& targetPath);

// Renames the temporary file over the target; false with errno set when that
// fails, and the file is still there.
bool renameTemporaryFile(const std::string& temporaryPath, const std::string& targetPath);

// Removes the temporary file (if it is still there).
void removeTemporaryFile(const std::string& temporaryPath);
