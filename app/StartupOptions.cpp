#include "app/StartupOptions.h"

#include "platform/Files.h"

StartupOptions ParseStartupOptions(const std::vector<std::string>& args, const std::string& programFolder) {
    StartupOptions o;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] == '-') continue;
        o.fileToOpen = a;
        return o;
    }
    if (!programFolder.empty()) {
        std::string demo = JoinPath(programFolder, "demo.qvk");
        if (FileExists(demo)) {
            o.fileToOpen = demo;
            o.isDemo = true;
        }
    }
    return o;
}

std::string MissingDisplayReason(const char* qpa, const char* display, const char* wayland) {
    if (qpa && *qpa) return {};
    if ((display && *display) || (wayland && *wayland)) return {};
    return "Plindrow needs a graphical session: no display was found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
           "Start it from a desktop session, or under a virtual display such as: xvfb-run scripts/run";
}

