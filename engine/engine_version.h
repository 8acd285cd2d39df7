#pragma once

// The version shown by the command line and the about box.
inline constexpr const char* kKestrinVersion = "0.1.0";
