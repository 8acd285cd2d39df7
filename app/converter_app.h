#pragma once

#include <optional>

// The program: names the settings location, loads the settings, runs the main
// dialog until it is closed, and saves the settings afterwards.
class CConverterApp {
public:
    // Call first thing in main(), before anything else can take time: a
    // termination request (SIGTERM, SIGINT, SIGHUP) from then on closes the
    // main dialog the normal way, so the settings are still saved.
    static void prepareTermination();

    // Answers --help and --version, and refuses to start where no window can
    // be shown (a server, an SSH session) with a pointer to kestrin-convert
    // instead of the platform plugin's abort. The exit status when the
    // program should end without a window, nullopt when the window may open.
    static std::optional<int> answerWithoutWindow(int argc, char** argv);

    // Runs the window; the first argument that Qt leaves over is the input
    // picture, as a file manager's "Open with" passes it.
    int run(int& argc, char** argv);
};
