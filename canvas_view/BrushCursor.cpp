#include "canvas_view/BrushCursor.h"

#include "brushes/BrushEngine.h"
#include "brushes/DabRenderer.h"

#include <algorithm>
#include <cmath>

namespace {
// The repaint reach around the cursor: enough for the circle and for the
// crosses of 10 and 14 pixels whatever the brush size.
constexpr int kMinReach = 16;
constexpr double kCoordLimit = 1 << 29;

int Reach(float size, float zoom) {
    const double f = std::ceil(double(size) * 0.5 * double(zoom));
    if (!(f >= 1)) return kMinReach;  // also NaN
    return int(std::clamp(f, double(kMinReach), kCoordLimit));
}

int ClampInt(double v) { return int(std::clamp(v, -kCoordLimit, kCoordLimit)); }
}  // namespace

BrushCursorLook BrushCursorLookFor(int tool, bool altDown, bool overStencilGizmo) {
    const bool brush = (tool >= 9 && tool <= 17) || tool == 26 || tool == 27;
    if (!brush) return {};
    if (altDown && (tool == 9 || tool == 10 || tool == 15)) return {};
    if (tool == 16) return overStencilGizmo ? BrushCursorLook{} : BrushCursorLook{true, 4};
    if (altDown && (tool == 13 || tool == 14)) return {true, 10};
    return {true, 0};
}

float BrushCursorRadius(float size, float zoom) {
    const float r = size * 0.5f * zoom;
    return r > 1.0f ? r : 1.0f;  // also NaN
}

RectI BrushCursorBounds(float size, float zoom, int cx, int cy) {
    const int f = Reach(size, zoom);
    return {ClampInt(double(cx) - f - 1), ClampInt(double(cy) - f - 1), ClampInt(double(cx) + f + 2),
            ClampInt(double(cy) + f + 2)};
}

RectI BrushCursorBoundsAt(float size, float zoom, float cx, float cy) {
    const int f = Reach(size, zoom);
    if (!std::isfinite(cx) || !std::isfinite(cy)) return {};
    return {ClampInt(std::floor(cx) - f - 1), ClampInt(std::floor(cy) - f - 1), ClampInt(std::ceil(cx) + f + 2),
            ClampInt(std::ceil(cy) + f + 2)};
}

RectI UniteRects(const RectI& a, const RectI& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

uint32_t BrushCursorPenColour(float luminance) { return luminance > 0.5f ? 0xDC1E1E1Eu : 0xDCE6E6E6u; }

float MeanLuminanceAround(const uint8_t* pixels, int width, int height, int strideBytes, int x, int y) {
    if (!pixels || width <= 0 || height <= 0) return 0.0f;
    const int x0 = std::max(0, x - 4), x1 = std::min(x + 5, width);
    const int y0 = std::max(0, y - 4), y1 = std::min(y + 5, height);
    if (x0 >= x1 || y0 >= y1) return 0.0f;
    double sum = 0;
    for (int row = y0; row < y1; ++row) {
        const uint8_t* p = pixels + size_t(row) * size_t(strideBytes) + size_t(x0) * 4;
        for (int col = x0; col < x1; ++col, p += 4) sum += 0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0];
    }
    return float(sum / (255.0 * double(x1 - x0) * double(y1 - y0)));
}

bool CloneSourcePoint(const BrushEngine& e, float x, float y, PointF& s) {
    if (!e.cloneSourceSet) return false;
    if (!e.freezeSource && e.cloneOffsetValid) s = {x - e.cloneOffsetX, y - e.cloneOffsetY};
    else s = {e.cloneSourceX, e.cloneSourceY};
    return true;
}

int ClonePatchSide(float size) { return TipSizeFor(size); }

RectF ClonePatchClientRect(float x, float y, int n, float zoom, float originX, float originY) {
    const float half = float(n) / 2;
    return {std::floor(x - half + 0.5f) * zoom + originX, std::floor(y - half + 0.5f) * zoom + originY,
            float(n) * zoom, float(n) * zoom};
}
