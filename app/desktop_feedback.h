#pragma once

#include <chrono>
#include <functional>

class CFileManager;
class CNotifier;

// What the desktop adds to the window's own account of a conversion: "Show
// in folder" for what was written, and a notification at the end of a long
// batch. Without a file manager nothing is shown in a folder; without a
// notifier a batch ends quietly. The window does not own them.
struct DesktopFeedback {
    CFileManager* fileManager = nullptr;
    CNotifier* notifier = nullptr;
    // The clock a batch is timed by.
    std::function<std::chrono::steady_clock::time_point()> now = [] {
        return std::chrono::steady_clock::now();
    };
};
