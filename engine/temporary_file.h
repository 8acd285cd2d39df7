#pragma once

#include <string>

// Creates a new, empty, hidden file with a unique name in the folder of
// `targetPath` (".NAME.kestrin-1a2b3c4d"), with the permissions an ordinary
// new file gets, never through a link. Something written there and renamed
// over the target replaces it at once and whole. Returns the path, or an
// empty string with errno set when no such file could be made.
std::string createTemporaryFileBeside(const std::string& targetPath);
