#pragma once

#include "engine/string_table.h"

// Every numbered text the application shows: its own messages, prompts and
// tooltips, and the engine's progress lines, which it looks up there. Unknown
// numbers give an empty string.
const char* applicationString(int id);

// The program name, the caption of every message box.
inline constexpr int IDS_PROGRAM_NAME = 101;
