#pragma once

// The numbered texts the engine shows itself: the progress lines of the
// conversion run. Unknown numbers give an empty string.
const char* loadString(int id);

enum StringId : int {
    IDS_CREATING_DATABASE = 130,
    IDS_WRITING_HEADER = 131,
    IDS_CLOSING_DATABASE = 136,
    IDS_DELETING_DATABASE = 137,
    IDS_PROGRESS_CAPTION = 138,
    IDS_CREATING_IMAGE = 139,
};
