#pragma once

#include "engine/string_table.h"

// Every numbered text the application shows: its own messages, prompts and
// tooltips, and the engine's progress lines, which it looks up there. Unknown
// numbers give an empty string.
const char* applicationString(int id);

// The numbers of the application's own texts.
enum : int {
    // The program name, the caption of every message box.
    IDS_PROGRAM_NAME = 101,
    IDS_NO_OUTPUT_CHOSEN = 102,
    IDS_NO_SOURCE = 107,
    IDS_NO_OUTPUT_PATH = 108,
    IDS_CONVERSION_FAILED = 110,
    IDS_INSTALL_FAILED = 111,
    IDS_OVERWRITE_CAPTION = 116,
    IDS_COMPANY_KEY = 120,
    // Built from the picture file types.
    IDS_SOURCE_FILTER = 121,
    IDS_OUTPUT_FILTER = 122,
    IDS_OVERWRITE_QUESTION = 123,
    IDS_ABOUT_MENU_ITEM = 124,
    IDS_DELETE_CAPTION = 150,
    IDS_DELETE_QUESTION = 151,
    IDS_DELETE_QUESTION_FILE = 152,
    IDS_NO_IMAGE_NAME = 160,
    IDS_IMAGE_NAME_TOO_LONG = 161,
    IDS_NOT_ASSOCIATED = 162,
    IDS_IMAGE_NAME_CHARACTER = 163,
    IDS_NO_OUTPUT_FOLDER = 170,
    IDS_NO_SUCH_FOLDER = 171,
    IDS_OVERWRITE_SOME_QUESTION = 172,
    IDS_SAME_DATABASE_NAME = 173,
    IDS_OUTPUT_FILE_TIP = 201,
    IDS_SET_FILE_TIP = 203,
    IDS_OUTPUT_FOLDER_TIP = 216,
    IDS_SET_FOLDER_TIP = 217,
};
