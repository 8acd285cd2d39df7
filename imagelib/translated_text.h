#pragma once

// Marks a text that the window shows in the user's language. The libraries
// stay free of Qt, so the mark leaves the text as it is; the translation tools
// read it as QT_TRANSLATE_NOOP (scripts/update_translations.sh).
#define KESTRIN_TRANSLATE_NOOP(context, text) text
