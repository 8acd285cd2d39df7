#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <QString>

// Every text of the window that is not a numbered one of the string table
// passes through here whole, placeholders and all (%1, never pieces glued
// together), and comes back in the user's language when a translation is
// loaded (app/ui_language.h). All of them share one translation context;
// texts kept in tables are marked QT_TRANSLATE_NOOP("Kestrin", ...) where they
// are written, so that scripts/update_translations.sh finds them.
inline QString uiText(const char* text) {
    return QCoreApplication::translate("Kestrin", text);
}

// A number inside such a text, written as the words around it are.
inline QString uiNumber(qlonglong number) {
    return QLocale().toString(number);
}
