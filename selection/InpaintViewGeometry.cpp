#include "selection/InpaintViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace {
int RoundHalfAway(double v) { return int(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5)); }
}  // namespace

RectI InpaintViewGeometry::DeviceImageRect() const {
    const int x0 = RoundHalfAway(double(offsetX) * ratio), y0 = RoundHalfAway(double(offsetY) * ratio);
    const int w = RoundHalfAway(double(imageW) * zoom * ratio), h = RoundHalfAway(double(imageH) * zoom * ratio);
    return {x0, y0, x0 + w, y0 + h};
}

bool InpaintViewGeometry::ViewToImage(float px, float py, int& x, int& y) const {
    if (zoom <= 0 || imageW <= 0 || imageH <= 0) return false;
    const RectI r = DeviceImageRect();
    if (r.Width() < 1 || r.Height() < 1) return false;
    // Device pixels per image pixel. zoom is display zoom / ratio in floats, so
    // the product can miss a whole number by a rounding step; the tolerance
    // keeps a pointer on a pixel's first device pixel in that pixel.
    const double scale = double(zoom) * ratio;
    constexpr double kTolerance = 1e-4;
    x = int(std::floor((double(px) * ratio - r.left) / scale + kTolerance));
    y = int(std::floor((double(py) * ratio - r.top) / scale + kTolerance));
    return x >= 0 && y >= 0 && x < imageW && y < imageH;
}

bool InpaintViewGeometry::Fit(int cw, int ch) {
    if (imageW <= 0 || imageH <= 0 || cw < 1 || ch < 1) return false;
    const float zx = float(std::max(cw - 48, 1)) / float(imageW);
    const float zy = float(std::max(ch - 48, 1)) / float(imageH);
    zoom = std::clamp(std::min(zx, zy) * ratio, kMinZoom, 1.0f) / ratio;
    offsetX = (float(cw) - zoom * float(imageW)) / 2.0f;
    offsetY = (float(ch) - zoom * float(imageH)) / 2.0f;
    return true;
}

bool InpaintViewGeometry::WheelZoom(bool in, float px, float py) {
    const float old = DisplayZoom();
    const float shown = std::clamp(in ? old * 1.15f : old * 0.86956525f, kMinZoom, kMaxZoom);
    if (shown == old) return false;
    const float z = shown / ratio;
    offsetX = px - (px - offsetX) / zoom * z;
    offsetY = py - (py - offsetY) / zoom * z;
    zoom = z;
    return true;
}
