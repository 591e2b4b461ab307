#include "platform/ZoomReadout.h"

#include <cmath>
#include <cstdio>

std::string ZoomReadoutText(float zoom) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d%%", int(double(zoom) * 100.0 + 0.001));
    return buf;
}

const std::vector<int>& ZoomPresets() {
    static const std::vector<int> presets{10, 30, 50, 80, 100, 150, 200, 400, 800};
    return presets;
}

bool ZoomPresetChecked(int preset, float zoom) {
    return preset == int(std::lround(double(zoom) * 100.0));
}
