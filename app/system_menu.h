#pragma once

class QString;
class QWidget;

// Windows gives every window a system menu, and the main dialog adds its
// About item there. Elsewhere there is none, and these do nothing.

// Appends a separator and the item `text`, which sends `command`.
void addSystemMenuItem(QWidget* window, int command, const QString& text);
// The command of a native message that chose an item of the system menu,
// or 0 for every other message.
int systemMenuCommand(const void* message);
