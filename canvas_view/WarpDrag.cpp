#include "canvas_view/WarpDrag.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kPi = 3.1415927f;

void Corner(const Quad& q, int k, float& x, float& y) {
    switch (k & 3) {
    case 0: x = q.x0, y = q.y0; break;
    case 1: x = q.x1, y = q.y1; break;
    case 2: x = q.x2, y = q.y2; break;
    default: x = q.x3, y = q.y3; break;
    }
}
void SetCorner(Quad& q, int k, float x, float y) {
    switch (k & 3) {
    case 0: q.x0 = x, q.y0 = y; break;
    case 1: q.x1 = x, q.y1 = y; break;
    case 2: q.x2 = x, q.y2 = y; break;
    default: q.x3 = x, q.y3 = y; break;
    }
}
}  // namespace

QuadHandles ComputeQuadHandles(const CanvasObject& o, float zoom, float ox, float oy) {
    QuadHandles h{};
    const float w = std::max(o.width, 1.0f), ht = std::max(o.height, 1.0f);
    const float cx = o.x + w / 2, cy = o.y + ht / 2;
    const float th = o.rotation * kPi / 180.0f, c = std::cos(th), s = std::sin(th);
    for (int k = 0; k < 4; ++k) {
        float qx, qy;
        Corner(o.warp, k, qx, qy);
        const float u = w * qx + o.x - cx, v = ht * qy + o.y - cy;
        h.cx[k] = (u * c - v * s + cx) * zoom + ox;
        h.cy[k] = (u * s + v * c + cy) * zoom + oy;
    }
    for (int e = 0; e < 4; ++e) {
        h.mx[e] = (h.cx[e] + h.cx[(e + 1) % 4]) / 2;
        h.my[e] = (h.cy[e] + h.cy[(e + 1) % 4]) / 2;
    }
    return h;
}

int PickQuadHandle(const QuadHandles& h, float px, float py) {
    float best = 49;
    int result = -1;
    for (int i = 0; i < 8; ++i) {
        const float x = i < 4 ? h.cx[i] : h.mx[i - 4], y = i < 4 ? h.cy[i] : h.my[i - 4];
        const float d = (px - x) * (px - x) + (py - y) * (py - y);
        if (d <= best) {
            best = d;
            result = i;
        }
    }
    return result;
}

bool InsideQuadOutline(const QuadHandles& h, float px, float py) {
    int sign = 0;
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        const float cross = (py - h.cy[i]) * (h.cx[j] - h.cx[i]) - (h.cy[j] - h.cy[i]) * (px - h.cx[i]);
        if (cross == 0) continue;
        const int s = cross > 0 ? 1 : -1;
        if (sign == 0) sign = s;
        else if (s != sign) return false;
    }
    return true;
}

void LerpQuad(const Quad& a, const Quad& b, float t, Quad& out) {
    for (int k = 0; k < 4; ++k) {
        float ax, ay, bx, by;
        Corner(a, k, ax, ay);
        Corner(b, k, bx, by);
        SetCorner(out, k, ax + (bx - ax) * t, ay + (by - ay) * t);
    }
}

bool IsQuadConvex(const Quad& q) {
    int sign = 0;
    for (int i = 0; i < 4; ++i) {
        float ax, ay, bx, by, cx, cy;
        Corner(q, i, ax, ay);
        Corner(q, i + 1, bx, by);
        Corner(q, i + 2, cx, cy);
        const float turn = (bx - ax) * (cy - by) - (by - ay) * (cx - bx);
        if (turn == 0) continue;
        const int s = turn > 0 ? 1 : -1;
        if (sign == 0) sign = s;
        else if (s != sign) return false;
    }
    return true;
}

Quad DragQuadHandle(const Quad& current, const Quad& start, int handle, float f, float g, bool skew) {
    Quad target = current;
    if (handle >= 0 && handle < 4) {
        SetCorner(target, handle, f, g);
        if (skew) {
            float sx, sy, ox, oy;
            Corner(start, handle, sx, sy);
            Corner(start, handle ^ 2, ox, oy);
            SetCorner(target, handle ^ 2, ox + sx - f, oy + sy - g);
        }
    } else if (handle >= 4 && handle < 8) {
        const int e = handle - 4;
        float ax, ay, bx, by;
        Corner(start, e, ax, ay);
        Corner(start, e + 1, bx, by);
        const float dx = f - (ax + bx) / 2, dy = g - (ay + by) / 2;
        SetCorner(target, e, ax + dx, ay + dy);
        SetCorner(target, e + 1, bx + dx, by + dy);
    } else {
        return current;
    }
    if (IsQuadConvex(target)) return target;
    float lo = 0, hi = 1;
    Quad q;
    for (int i = 0; i < 20; ++i) {
        const float mid = (lo + hi) / 2;
        LerpQuad(current, target, mid, q);
        if (IsQuadConvex(q)) lo = mid;
        else hi = mid;
    }
    LerpQuad(current, target, std::max(lo - 0.0001f, 0.0f), q);
    return q;
}
