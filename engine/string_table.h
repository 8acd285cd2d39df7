#pragma once

#include <string>

// Every numbered user-visible text: the messages of the application and the
// progress lines of the conversion run, looked up by number. Unknown numbers
// give an empty string.
const char* loadString(int id);

// Numbers the engine itself uses.
enum StringId : int {
    IDS_PROGRAM_NAME = 101,
    IDS_CREATING_DATABASE = 130,
    IDS_WRITING_HEADER = 131,
    IDS_CLOSING_DATABASE = 136,
    IDS_DELETING_DATABASE = 137,
    IDS_PROGRESS_CAPTION = 138,
    IDS_CREATING_IMAGE = 139,
};
