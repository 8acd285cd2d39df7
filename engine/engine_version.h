#pragma once

// The version shown by the command line and the about box: the project's
// version, which the package and the metainfo carry too.
extern const char kKestrinVersion[];
