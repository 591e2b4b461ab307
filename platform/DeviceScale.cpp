#include "platform/DeviceScale.h"

#include <cmath>

double SaneRatio(double ratio) { return std::isfinite(ratio) && ratio > 0 ? ratio : 1.0; }

int DevicePixels(int clientLength, double ratio) {
    if (clientLength <= 0) return 0;
    // A small tolerance keeps 100 x 1.1 (110.00000000000001) at 110.
    const double d = std::ceil(double(clientLength) * SaneRatio(ratio) - 1e-6);
    return d > 1e9 ? 1000000000 : int(d);
}

double SnapToDevice(double clientCoord, double ratio) {
    const double r = SaneRatio(ratio);
    return std::round(clientCoord * r) / r;
}
