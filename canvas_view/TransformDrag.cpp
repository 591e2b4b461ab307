#include "canvas_view/TransformDrag.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kPi = 3.1415927f;
constexpr float kDeg = 180.0f / kPi;
}  // namespace

void ResizeFromCorner(int handle, float w, float h, float ldx, float ldy, float& W, float& H, float& ax, float& ay) {
    float sx = 1, sy = 1;
    switch (handle) {
    case 2: sx = -1, sy = -1; break;
    case 4: sx = 1, sy = -1; break;
    case 6: sx = 1, sy = 1; break;
    default: sx = -1, sy = 1; break;  // 8
    }
    const float g = std::max(w + sx * ldx, 1.0f), hh = std::max(h + sy * ldy, 1.0f);
    if (g / w > hh / h) {
        W = g;
        H = g * h / w;
    } else {
        H = hh;
        W = hh * w / h;
    }
    // The anchor is the opposite corner, in the new object's own frame.
    ax = sx < 0 ? W : 0;
    ay = sy < 0 ? H : 0;
}

ObjectTransform ApplySingleDrag(const ObjectTransform& s, int handle, float pressX, float pressY, float px, float py) {
    ObjectTransform t = s;
    const float dx = px - pressX, dy = py - pressY;
    const float w = std::max(s.width, 1.0f), h = std::max(s.height, 1.0f);
    const float cx = s.x + w / 2, cy = s.y + h / 2;
    if (handle == 1) {
        t.x = s.x + dx;
        t.y = s.y + dy;
        return t;
    }
    if (handle == 10) {
        t.rotation = s.rotation + (std::atan2(py - cy, px - cx) - std::atan2(pressY - cy, pressX - cx)) * kDeg;
        return t;
    }
    if (handle < 2 || handle > 9) return t;
    const float r = s.rotation / kDeg, cr = std::cos(r), sr = std::sin(r);
    const float ldx = dx * cr + dy * sr, ldy = -dx * sr + dy * cr;
    float W = w, H = h, ax = 0, ay = 0;   // anchor in the new frame
    float sxA = 0, syA = 0;               // anchor in the snapshot's frame
    switch (handle) {
    case 3: H = std::max(h - ldy, 1.0f), ax = w / 2, ay = H, sxA = w / 2, syA = h; break;
    case 5: W = std::max(w + ldx, 1.0f), ax = 0, ay = h / 2, sxA = 0, syA = h / 2; break;
    case 7: H = std::max(h + ldy, 1.0f), ax = w / 2, ay = 0, sxA = w / 2, syA = 0; break;
    case 9: W = std::max(w - ldx, 1.0f), ax = W, ay = h / 2, sxA = w, syA = h / 2; break;
    default:
        ResizeFromCorner(handle, w, h, ldx, ldy, W, H, ax, ay);
        sxA = ax > 0 ? w : 0;
        syA = ay > 0 ? h : 0;
        break;
    }
    // The anchor of the snapshot rectangle on the canvas.
    const float ux = sxA - w / 2, uy = syA - h / 2;
    const float Ax = ux * cr - uy * sr + cx, Ay = ux * sr + uy * cr + cy;
    t.x = Ax - ((ax - W / 2) * cr - (ay - H / 2) * sr) - W / 2;
    t.y = Ay - ((ay - H / 2) * cr + (ax - W / 2) * sr) - H / 2;
    t.width = W;
    t.height = H;
    return t;
}

std::vector<ObjectTransform> ApplyGroupDrag(const std::vector<TransformSnapshot>& snaps, const GroupBox& g,
                                            int handle, float pressX, float pressY, float px, float py,
                                            float* angleOut) {
    std::vector<ObjectTransform> out;
    out.reserve(snaps.size());
    const float dx = px - pressX, dy = py - pressY;
    const float gw = std::max(g.width, 1.0f), gh = std::max(g.height, 1.0f);
    const float Gx = g.x + gw / 2, Gy = g.y + gh / 2;
    if (handle == 1) {
        for (const TransformSnapshot& s : snaps) {
            ObjectTransform t = s.t;
            t.x += dx;
            t.y += dy;
            out.push_back(t);
        }
        return out;
    }
    if (handle == 10) {
        const float a = (std::atan2(py - Gy, px - Gx) - std::atan2(pressY - Gy, pressX - Gx)) * kDeg;
        if (angleOut) *angleOut = a;
        const float r = a / kDeg, c = std::cos(r), sn = std::sin(r);
        for (const TransformSnapshot& s : snaps) {
            ObjectTransform t = s.t;
            const float cx = t.x + t.width / 2, cy = t.y + t.height / 2;
            const float nx = (cx - Gx) * c - (cy - Gy) * sn + Gx, ny = (cx - Gx) * sn + (cy - Gy) * c + Gy;
            t.x = nx - t.width / 2;
            t.y = ny - t.height / 2;
            t.rotation += a;
            out.push_back(t);
        }
        return out;
    }
    float left = g.x, top = g.y, right = g.x + gw, bottom = g.y + gh;
    switch (handle) {
    case 3: top = std::min(g.y + dy, bottom - 1); break;
    case 5: right = std::max(right + dx, left + 1); break;
    case 7: bottom = std::max(bottom + dy, top + 1); break;
    case 9: left = std::min(g.x + dx, right - 1); break;
    case 2: case 4: case 6: case 8: {
        const bool leftSide = handle == 2 || handle == 8, topSide = handle == 2 || handle == 4;
        const float wc = std::max(leftSide ? gw - dx : gw + dx, 1.0f);
        const float hc = std::max(topSide ? gh - dy : gh + dy, 1.0f);
        const float F = std::max(hc / gh, wc / gw);
        const float nw = gw * F, nh = gh * F;
        if (leftSide) left = right - nw; else right = left + nw;
        if (topSide) top = bottom - nh; else bottom = top + nh;
        break;
    }
    default:
        for (const TransformSnapshot& s : snaps) out.push_back(s.t);
        return out;
    }
    const float width = right - left, height = bottom - top;
    const float kx = std::max(width, 1.0f) / gw, ky = std::max(height, 1.0f) / gh;
    for (const TransformSnapshot& s : snaps) {
        ObjectTransform t = s.t;
        const float cx = t.x + t.width / 2, cy = t.y + t.height / 2;
        const float nw = std::max(t.width * kx, 1.0f), nh = std::max(t.height * ky, 1.0f);
        const float ncx = (cx - g.x) / gw * width + left, ncy = (cy - g.y) / gh * height + top;
        t.width = nw;
        t.height = nh;
        t.x = ncx - nw / 2;
        t.y = ncy - nh / 2;
        out.push_back(t);
    }
    return out;
}

bool QuadsOverlap(const QuadPoints& a, const QuadPoints& b, float ax, float ay) {
    float amin = 1e30f, amax = -1e30f, bmin = 1e30f, bmax = -1e30f;
    for (int i = 0; i < 4; ++i) {
        const float pa = a.x[i] * ax + a.y[i] * ay, pb = b.x[i] * ax + b.y[i] * ay;
        amin = std::min(amin, pa), amax = std::max(amax, pa);
        bmin = std::min(bmin, pb), bmax = std::max(bmax, pb);
    }
    return !(amin > bmax || bmin > amax);
}

bool OutlineOverlapsRect(const QuadPoints& q, float left, float top, float width, float height) {
    const QuadPoints r{{left, left + width, left + width, left}, {top, top, top + height, top + height}};
    if (!QuadsOverlap(q, r, 1, 0) || !QuadsOverlap(q, r, 0, 1)) return false;
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        const float ex = q.x[j] - q.x[i], ey = q.y[j] - q.y[i];
        if (std::fabs(ex) < 1e-6f && std::fabs(ey) < 1e-6f) continue;
        if (!QuadsOverlap(q, r, -ey, ex)) return false;
    }
    return true;
}
