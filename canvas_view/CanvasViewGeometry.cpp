#include "canvas_view/CanvasViewGeometry.h"

#include "platform/DeviceScale.h"

#include <algorithm>
#include <cmath>

RectI CanvasViewGeometry::Viewport() const {
    RectI v = client;
    v.right -= barThickness;
    v.bottom -= barThickness;
    if (v.right < v.left) v.right = v.left;
    if (v.bottom < v.top) v.bottom = v.top;
    return v;
}

namespace {
float CentringOffset(int viewportSide, float zoom, float canvasSide) {
    return std::max(0.0f, (float(std::max(viewportSide - 48, 1)) - zoom * canvasSide) * 0.5f);
}
}  // namespace

namespace {
// At a fractional ratio the centred origin can fall between physical pixels;
// it moves to the nearest one so that 100 % stays pixel-exact. At ratio 1 the
// origin is left exactly as computed.
float OnDeviceGrid(float v, float ratio) { return ratio == 1.0f ? v : float(SnapToDevice(v, ratio)); }
}  // namespace

float CanvasViewGeometry::OriginX() const {
    return OnDeviceGrid(CentringOffset(Viewport().Width(), zoom, canvasW) + kMargin - scrollX, ratio);
}

float CanvasViewGeometry::OriginY() const {
    return OnDeviceGrid(CentringOffset(Viewport().Height(), zoom, canvasH) + kMargin - scrollY, ratio);
}

RectF CanvasViewGeometry::CanvasScreenRect() const {
    return {OriginX(), OriginY(), zoom * canvasW, zoom * canvasH};
}

void CanvasViewGeometry::CanvasToClient(float x, float y, float& px, float& py) const {
    px = OriginX() + zoom * x;
    py = OriginY() + zoom * y;
}

void CanvasViewGeometry::ClientToCanvas(float px, float py, float& x, float& y) const {
    x = (px - OriginX()) / zoom;
    y = (py - OriginY()) / zoom;
}

int CanvasViewGeometry::RangeX() const { return int(std::ceil(zoom * canvasW + 48.0f)); }
int CanvasViewGeometry::RangeY() const { return int(std::ceil(zoom * canvasH + 48.0f)); }

bool CanvasViewGeometry::SetZoomAt(float z, int px, int py) {
    float nz = std::max(std::min(z, kMaxZoom), kMinZoom);
    if (std::fabs(nz - DisplayZoom()) < 0.00001f) return false;
    RectF r = CanvasScreenRect();
    float cx = 0, cy = 0;
    if (zoom > 0) {
        cx = (float(px) - r.x) / zoom;
        cy = (float(py) - r.y) / zoom;
    }
    zoom = nz / ratio;
    RectI v = Viewport();
    float sx = CentringOffset(v.Width(), zoom, canvasW) + kMargin + zoom * cx - float(px);
    float sy = CentringOffset(v.Height(), zoom, canvasH) + kMargin + zoom * cy - float(py);
    scrollX = int(std::lround(sx));
    scrollY = int(std::lround(sy));
    return true;
}

void CanvasViewGeometry::ZoomToFit() {
    RectI v = Viewport();
    float fit = std::min(float(std::max(v.Height() - 48, 1)) / canvasH, float(std::max(v.Width() - 48, 1)) / canvasW);
    fit = std::max(std::min(fit * ratio, kMaxZoom), kMinZoom);
    scrollX = scrollY = 0;
    zoom = fit / ratio;
}

void CanvasViewGeometry::ClampScroll() {
    RectI v = Viewport();
    scrollX = std::max(0, std::min(scrollX, std::max(0, RangeX() - v.Width())));
    scrollY = std::max(0, std::min(scrollY, std::max(0, RangeY() - v.Height())));
}

namespace {
ScrollBarSetting BarFor(int range, int viewportSide, int offset) {
    ScrollBarSetting s;
    s.minimum = 0;
    s.maximum = std::max(range - 1, 0);
    s.page = viewportSide > 1 ? viewportSide : 1;
    s.position = std::max(0, std::min(offset, std::max(0, s.maximum - s.page + 1)));
    return s;
}
}  // namespace

ScrollBarSetting CanvasViewGeometry::HorizontalBar() const { return BarFor(RangeX(), Viewport().Width(), scrollX); }
ScrollBarSetting CanvasViewGeometry::VerticalBar() const { return BarFor(RangeY(), Viewport().Height(), scrollY); }

void CanvasViewGeometry::ViewportCentre(int& x, int& y) const {
    RectI v = Viewport();
    x = (v.right - v.left) / 2;
    y = (v.bottom - v.top) / 2;
}

int ComputeScrollPosition(int code, int thumb, int current, int page, int barMaximum) {
    long long limit = (long long)barMaximum - (page >= 2 ? page - 1 : 0);
    if (limit <= 0) limit = 0;
    long long v = current;
    switch (code) {
    case 0: v = (long long)current - 32; break;
    case 1: v = (long long)current + 32; break;
    case 2: v = (long long)current - std::max(page, 32); break;
    case 3: v = (long long)current + std::max(page, 32); break;
    case 4:
    case 5: v = thumb; break;
    default: break;
    }
    return int(std::max(0LL, std::min(limit, v)));
}

PlacementBounds ComputePlacementBounds(const RectI& v, float W, float H) {
    PlacementBounds b;
    if (v.Width() < 1 || v.Height() < 1) return b;
    b.width = float(v.Width()) / 0.12f;
    b.height = float(v.Height()) / 0.12f;
    b.x = W * 0.5f - b.width * 0.5f;
    b.y = H * 0.5f - b.height * 0.5f;
    b.valid = true;
    return b;
}

CanvasChildLayout LayoutCanvasChildren(const RectI& c, int s, int w) {
    CanvasChildLayout l;
    l.verticalBar = {c.right - s, c.top, s, c.Height() - s};
    l.horizontalBar = {c.left, c.bottom - s, std::max(0, c.Width() - w - s), s};
    l.zoomReadout = {c.right - w - s, c.bottom - s, s + w, s};
    return l;
}

int CanvasPixelSize(float side) {
    double r = std::round(double(side));  // halves away from zero
    if (!(r >= 1)) return 1;
    return r > 1e9 ? 1000000000 : int(r);
}
