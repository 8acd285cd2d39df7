#pragma once

#include <QString>

// Every text of the window that is not a numbered one of the string table
// passes through here whole, placeholders and all (%1, never pieces glued
// together), so that translating the window later changes this one function.
inline QString uiText(const char* text) {
    return QString::fromUtf8(text);
}
