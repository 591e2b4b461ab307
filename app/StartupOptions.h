#pragma once
// What the command line asks of start-up, and whether a window can be shown.
#include <string>
#include <vector>

struct StartupOptions {
    std::string fileToOpen;  // empty: a new document
    bool isDemo = false;     // the file is the demonstration project beside the program
};

// The first argument that is not an option names the project to open; with
// none, "demo.qvk" in the program folder is opened when it exists.
StartupOptions ParseStartupOptions(const std::vector<std::string>& args, const std::string& programFolder);

// Empty when a window can be shown; otherwise the reason, for the user.
// A platform chosen through QT_QPA_PLATFORM is trusted; otherwise X11 or
// Wayland must be named by DISPLAY or WAYLAND_DISPLAY.
std::string MissingDisplayReason(const char* qpaPlatform, const char* display, const char* waylandDisplay);
