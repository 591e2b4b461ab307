#include "canvas_view/LightGizmo.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kPi = 3.1415927f;
}

LightGizmoGeometry ComputeLightGizmo(const CanvasObject& o, float zoom, float ox, float oy) {
    LightGizmoGeometry g;
    const float W = o.width, H = o.height;
    const float cx = o.x + W / 2, cy = o.y + H / 2;
    const float th = o.rotation * kPi / 180.0f, c = std::cos(th), s = std::sin(th);
    auto map = [&](float u, float v, float& X, float& Y) {
        X = (u * c - v * s + cx) * zoom + ox;
        Y = (u * s + v * c + cy) * zoom + oy;
    };
    const LightConeParams& p = o.lightCone;
    map(W * p.lightX, H * p.lightY, g.lightX, g.lightY);
    const float tu = W * p.targetX, tv = H * p.targetY;
    map(tu, tv, g.targetX, g.targetY);
    const float angle = std::clamp(p.coneAngle, 0.5f, 89.0f);
    const float l = std::tan(angle * kPi / 180.0f) * std::max(p.height, 1.0f);
    map(tu, tv - l, g.lineX[0], g.lineY[0]);
    map(tu + l, tv, g.lineX[1], g.lineY[1]);
    map(tu, tv + l, g.lineX[2], g.lineY[2]);
    map(tu - l, tv, g.lineX[3], g.lineY[3]);
    g.thirdX = g.lineX[1];
    g.thirdY = g.lineY[1];
    g.ellipseX = g.targetX - l * zoom;
    g.ellipseY = g.targetY - l * zoom;
    g.ellipseW = g.ellipseH = 2 * l * zoom;
    g.coneShown = l * zoom > 1;
    return g;
}

int PickLightHandle(const LightGizmoGeometry& g, float px, float py, float r) {
    auto near = [&](float x, float y) { return (px - x) * (px - x) + (py - y) * (py - y) <= r * r; };
    if (near(g.targetX, g.targetY)) return 2;
    if (near(g.lightX, g.lightY)) return 1;
    if (g.coneShown && near(g.thirdX, g.thirdY)) return 3;
    return 0;
}

LightConeParams ApplyLightDrag(const LightConeParams& p, int mode, float lx, float ly, float w, float h) {
    LightConeParams n = p;
    if (mode == 1) {
        n.lightX = lx / w;
        n.lightY = ly / h;
        n.targetX += n.lightX - p.lightX;
        n.targetY += n.lightY - p.lightY;
    } else if (mode == 2) {
        n.targetX = lx / w;
        n.targetY = ly / h;
    } else if (mode == 3) {
        const float d = std::hypot(lx - w * p.targetX, ly - h * p.targetY);
        n.coneAngle = std::clamp(std::atan2(d, std::max(p.height, 1.0f)) * 57.295776f, 1.0f, 85.0f);
    }
    return n;
}
