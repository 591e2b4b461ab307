#include "canvas_view/TransformHandles.h"

#include <cmath>

namespace {
constexpr float kPi = 3.1415927f;

bool InBox(float u, float v, float cx, float cy, float w, float h) {
    return u >= cx - w / 2 && u <= cx + w / 2 && v >= cy - h / 2 && v <= cy + h / 2;
}

FrameRect Centred(float cx, float cy, float w, float h) { return {cx - w / 2, cy - h / 2, w, h}; }
}  // namespace

FrameRect TransformFrameOf(const TransformHandleStyle& s, const FrameRect& r) {
    return {r.x - s.margin, r.y - s.margin, r.width + 2 * s.margin, r.height + 2 * s.margin};
}

HandleBoxes DrawnHandleBoxes(const TransformHandleStyle& s, const FrameRect& f) {
    HandleBoxes b;
    const float l = f.x, t = f.y, r = f.x + f.width, btm = f.y + f.height, cx = f.CentreX(), cy = f.CentreY();
    const float c = 2 * s.cornerRadius, L = s.edgeLength, T = s.edgeThickness;
    b.box[kHandleRotate] = Centred(cx, t - s.rotationStem, 2 * s.rotationRadius, 2 * s.rotationRadius);
    b.box[kHandleTopLeft] = Centred(l, t, c, c);
    b.box[kHandleTopRight] = Centred(r, t, c, c);
    b.box[kHandleBottomRight] = Centred(r, btm, c, c);
    b.box[kHandleBottomLeft] = Centred(l, btm, c, c);
    b.box[kHandleTop] = Centred(cx, t, L, T);
    b.box[kHandleRight] = Centred(r, cy, T, L);
    b.box[kHandleBottom] = Centred(cx, btm, L, T);
    b.box[kHandleLeft] = Centred(l, cy, T, L);
    return b;
}

TransformHandle HitTestObjectHandles(float qx, float qy, const TransformHandleStyle& s, const FrameRect& r,
                                     float angleDeg, bool hasPivot, float px, float py) {
    const FrameRect f = TransformFrameOf(s, r);
    if (!hasPivot) {
        px = f.CentreX();
        py = f.CentreY();
    }
    const float a = -angleDeg * kPi / 180.0f;
    const float dx = qx - px, dy = qy - py;
    const float u = dx * std::cos(a) - dy * std::sin(a) + px;
    const float v = dx * std::sin(a) + dy * std::cos(a) + py;
    const float l = f.x, t = f.y, rt = f.x + f.width, b = f.y + f.height, cx = f.CentreX(), cy = f.CentreY();

    const float rot = 2.4f * s.rotationRadius;
    if (InBox(u, v, cx, t - s.rotationStem, rot, rot)) return kHandleRotate;
    const float c = 2 * s.cornerRadius * 1.8f;
    if (InBox(u, v, l, t, c, c)) return kHandleTopLeft;
    if (InBox(u, v, rt, t, c, c)) return kHandleTopRight;
    if (InBox(u, v, rt, b, c, c)) return kHandleBottomRight;
    if (InBox(u, v, l, b, c, c)) return kHandleBottomLeft;
    const float L = s.edgeLength * 1.25f, T = s.edgeThickness * 2;
    if (InBox(u, v, cx, t, L, T)) return kHandleTop;
    if (InBox(u, v, rt, cy, T, L)) return kHandleRight;
    if (InBox(u, v, cx, b, L, T)) return kHandleBottom;
    if (InBox(u, v, l, cy, T, L)) return kHandleLeft;
    if (u >= l && u <= rt && v >= t && v <= b) return kHandleInside;
    return kHandleNone;
}

int ResizeCursorFor(int handle, float angleDeg) {
    static const float kBase[11] = {0, 0, 225, 270, 315, 0, 45, 90, 135, 180, 0};
    if (handle < kHandleTopLeft || handle > kHandleLeft) return -1;
    float e = std::fmod(kBase[handle] + angleDeg, 180.0f);
    if (e < 0) e += 180.0f;
    if (e < 22.5f || e >= 157.5f) return 0;
    if (e < 67.5f) return 1;
    if (e < 112.5f) return 2;
    return 3;
}
