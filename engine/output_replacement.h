#pragma once

#include <optional>
#include <string>

// What Kestrin may replace when it writes a file: a file of the kind it
// writes there, and only when replacing was asked for (--force, or a "yes"
// in the window). Anything else at the name is the user's and stays: a photo
// that a mistyped command names as the output, a folder, a link (never
// written through, and not replaced by a file either), a pipe or device.

enum class OutputKind { kPalmDatabase, kPng };

struct OutputRefusal {
    // A file of the kind is there and replacing it was not asked for: the one
    // refusal that --force or the window's question mends.
    bool exists = false;
    // Why, said shortly for a line after the file's name ("already exists",
    // "exists and is not a Palm database, so it is not replaced").
    std::string reason;
};

// Nothing when a new file of `kind` may take `path`: the name is free, or
// holds a regular file of that kind and `replaceExisting` is set.
std::optional<OutputRefusal> outputRefusal(const std::string& path, OutputKind kind, bool replaceExisting);

// True when the regular file at `path` (not followed through a link) starts
// as a PNG does.
bool isPngFile(const std::string& path);
