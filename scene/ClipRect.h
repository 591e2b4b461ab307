#pragma once
// A rectangle of pixels clipped to a width x height area.
#include <algorithm>
#include <cstdint>

// Clipped to [0, width) x [0, height); empty when x0 >= x1 or y0 >= y1.
struct ClipRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// Computed in 64 bits so that x + w cannot overflow.
inline ClipRect ClipToArea(int x, int y, int w, int h, int width, int height) {
    ClipRect c;
    c.x0 = int(std::max<int64_t>(x, 0));
    c.y0 = int(std::max<int64_t>(y, 0));
    c.x1 = int(std::min<int64_t>(int64_t(x) + w, width));
    c.y1 = int(std::min<int64_t>(int64_t(y) + h, height));
    return c;
}
