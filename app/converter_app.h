#pragma once

// The program: names the settings location, loads the settings, runs the main
// dialog until it is closed, and saves the settings afterwards.
class CConverterApp {
public:
    // Call first thing in main(), before anything else can take time: a
    // termination request (SIGTERM, SIGINT, SIGHUP) from then on closes the
    // main dialog the normal way, so the settings are still saved.
    static void prepareTermination();

    int run(int& argc, char** argv);
};
