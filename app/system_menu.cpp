#include "app/system_menu.h"

#include <QString>
#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>

void addSystemMenuItem(QWidget* window, int command, const QString& text) {
    HMENU systemMenu = GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (systemMenu == nullptr) return;
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, static_cast<UINT_PTR>(command),
                reinterpret_cast<LPCWSTR>(text.utf16()));
}

int systemMenuCommand(const void* message) {
    const auto* msg = static_cast<const MSG*>(message);
    // The low four bits of a system command are the system's own.
    return msg->message == WM_SYSCOMMAND ? static_cast<int>(msg->wParam & 0xFFF0) : 0;
}

#else

void addSystemMenuItem(QWidget*, int, const QString&) {}

int systemMenuCommand(const void*) {
    return 0;
}

#endif
