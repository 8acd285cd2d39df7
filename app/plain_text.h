#pragma once

#include <QString>

class QLabel;

// File names and messages that name files are text, never markup. Qt guesses
// rich text from what a text starts with, so a picture named "<h1>BIG.png"
// would show as a heading and "<img src=x>" as a broken picture. Every place
// of the window that shows such a text goes through one of these.

// A label that shows every character of its text as it is.
void showPlainText(QLabel* label);

// A tooltip that shows `text` as it is: tooltips take no text format, so the
// text becomes rich text in which every character is escaped, with its line
// breaks kept.
QString plainToolTip(const QString& text);
