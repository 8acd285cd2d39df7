#pragma once

#include <QString>

#include <string>

// The engine and the image library report in English, as printf formats them
// ("Error %d decoding %s: %s"); kestrin-convert prints them so. The window
// shows them in the user's language: each text is matched against the
// messages the engine can give (app/engine_message_table.h, written by
// scripts/extract_engine_messages.py), translated in the context
// "EngineMessage" with its arguments put back, the arguments that are
// messages themselves translated too. A text the table does not know, or one
// without a translation, stays exactly as the engine wrote it.
QString engineMessageText(const std::string& text);
