#include "posable/PoseEditorGeometry.h"

#include "posable/RuntimeRig.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_set>

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr float kHandlePickSq = 144;   // 12 view pixels
constexpr float kMidpointPickSq = 100;  // 10 view pixels
constexpr float kJointPickSq = 324;     // 18 view pixels
constexpr double kCapHandleGap = 28;    // part pixels beyond the flat cap
constexpr double kSideHandleGap = 18;   // part pixels beyond the body's edge

float DistSq(PointF a, PointF b) { return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y); }

// A bone laid out in the part's own pixels.
struct PartFrame {
    double wp = 1, hp = 1, s = 1;
    double hx = 0, hy = 0, tx = 0, ty = 0;
    double len = 0, ax = 0, ay = 0, nx = 0, ny = 0;
};

PartFrame FrameOf(const CanvasObject& part, const Bone& bone) {
    PartFrame f;
    f.wp = std::max<double>(part.width, 1);
    f.hp = std::max<double>(part.height, 1);
    f.s = std::max(f.wp, f.hp);
    f.hx = f.wp * bone.headX;
    f.hy = f.hp * bone.headY;
    f.tx = f.wp * bone.tailX;
    f.ty = f.hp * bone.tailY;
    const double dx = f.tx - f.hx, dy = f.ty - f.hy;
    f.len = std::sqrt(dx * dx + dy * dy);
    if (f.len > 0) {
        f.ax = dx / f.len;
        f.ay = dy / f.len;
        f.nx = -f.ay;
        f.ny = f.ax;
    }
    return f;
}

PointF PartPixelToView(const CanvasObject& part, const PartFrame& f, double px, double py, const PoseViewState& view) {
    return PartPointToView(part, float(px / f.wp), float(py / f.hp), view);
}

}  // namespace

RectF PoseViewState::ScrollWorld() const {
    const float w = float(std::max(viewportWidth, 1)) / 0.15f, h = float(std::max(viewportHeight, 1)) / 0.15f;
    return {sceneWidth / 2 - w / 2, sceneHeight / 2 - h / 2, w, h};
}

PointF PoseViewState::ClampScroll(PointF s) const {
    const float z = std::max(zoom, MinViewZoom());
    const RectF w = ScrollWorld();
    const float maxX = std::max(w.x + w.width - float(std::max(viewportWidth, 1)) / z, w.x);
    const float maxY = std::max(w.y + w.height - float(std::max(viewportHeight, 1)) / z, w.y);
    if (!std::isfinite(s.x)) s.x = w.x;
    if (!std::isfinite(s.y)) s.y = w.y;
    return {std::max(std::min(s.x, maxX), w.x), std::max(std::min(s.y, maxY), w.y)};
}

void PoseViewState::ClampScroll() {
    const PointF s = ClampScroll(PointF{scrollX, scrollY});
    scrollX = s.x;
    scrollY = s.y;
}

void PoseViewState::SetZoomAt(float z, PointF p) {
    if (!std::isfinite(z)) return;
    const float z0 = std::max(zoom, MinViewZoom());
    const float z1 = std::clamp(z, kMinZoom, kMaxZoom) / ratio;
    scrollX = (p.x + scrollX * z0) / z0 - p.x / z1;
    scrollY = (p.y + scrollY * z0) / z0 - p.y / z1;
    zoom = z1;
    ClampScroll();
}

void PoseViewState::FitContent(const CanvasDocument& scene) {
    if (viewportWidth <= 0 || viewportHeight <= 0) {
        zoom = 1.0f;
        scrollX = scrollY = 0;
        return;
    }
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const Layer& layer : scene.layers) {
        if (!layer.visible) continue;
        for (const CanvasObject& o : layer.objects) {
            if (!o.visible) continue;
            const double cx = o.x + o.width / 2.0, cy = o.y + o.height / 2.0;
            const double r = o.rotation * kDegToRad, c = std::cos(r), s = std::sin(r);
            const double dxs[2] = {-o.width / 2.0, o.width / 2.0}, dys[2] = {-o.height / 2.0, o.height / 2.0};
            for (double dx : dxs)
                for (double dy : dys) {
                    const double px = cx + dx * c - dy * s, py = cy + dx * s + dy * c;
                    if (!std::isfinite(px) || !std::isfinite(py)) continue;
                    x0 = any ? std::min(x0, px) : px;
                    y0 = any ? std::min(y0, py) : py;
                    x1 = any ? std::max(x1, px) : px;
                    y1 = any ? std::max(y1, py) : py;
                    any = true;
                }
        }
    }
    if (!any) {
        x0 = y0 = 0;
        x1 = sceneWidth;
        y1 = sceneHeight;
    }
    const double cw = std::max(x1 - x0, 1.0), ch = std::max(y1 - y0, 1.0);
    const double z = std::min(std::max(viewportHeight - 64.0, 1.0) / ch, std::max(viewportWidth - 64.0, 1.0) / cw);
    zoom = std::clamp(float(z) * ratio, kMinZoom, kMaxZoom) / ratio;
    scrollX = float(x0 + cw / 2 - viewportWidth / zoom / 2.0);
    scrollY = float(y0 + ch / 2 - viewportHeight / zoom / 2.0);
    ClampScroll();
}

PointF PartPointToView(const CanvasObject& part, float u, float v, const PoseViewState& view) {
    return view.SceneToView(NormalizedToCanvas(part, u, v));
}

PointF CanvasToPartNormalized(const CanvasObject& part, PointF p) {
    const double cx = part.x + part.width / 2.0, cy = part.y + part.height / 2.0;
    const double r = -part.rotation * kDegToRad, c = std::cos(r), s = std::sin(r);
    const double dx = p.x - cx, dy = p.y - cy;
    const double ux = cx + dx * c - dy * s, uy = cy + dx * s + dy * c;
    return {float((ux - part.x) / std::max<double>(part.width, 1)),
            float((uy - part.y) / std::max<double>(part.height, 1))};
}

bool GetBoneHandle(const CanvasObject& part, const Bone& bone, int end, BoneHandle handle, const PoseViewState& view,
                   PointF& position, PointF* inner) {
    const PartFrame f = FrameOf(part, bone);
    if (!(f.len >= 0.0001)) return false;
    const bool head = end == 0;
    const double jx = head ? f.hx : f.tx, jy = head ? f.hy : f.ty;
    const double cap = head ? bone.headCapLength : bone.tailCapLength;
    const bool round = (head ? bone.roundHeadCap : bone.roundTailCap) == 1;
    const double mx = (f.hx + f.tx) / 2, my = (f.hy + f.ty) / 2;
    double px = 0, py = 0, ix = jx, iy = jy;
    switch (handle) {
        case BoneHandle::CapLength: {
            const double k = head ? -1 : 1, d = k * (cap * f.len + kCapHandleGap);
            px = jx + d * f.ax;
            py = jy + d * f.ay;
            break;
        }
        case BoneHandle::Width: {
            const double d = std::max(f.s * bone.width, 1.0) / 2 + kSideHandleGap;
            ix = mx;
            iy = my;
            px = mx + d * f.nx;
            py = my + d * f.ny;
            break;
        }
        case BoneHandle::Feather: {
            const double hw = std::max(f.s * bone.width, 1.0) / 2, fe = std::max(f.s * bone.feather, 0.0);
            const double b = hw > 0.0001 ? std::sqrt(std::min(fe / hw, 1.0)) : 0;
            ix = mx - hw * f.nx;
            iy = my - hw * f.ny;
            const double d = hw + b * hw + kSideHandleGap;
            px = mx - d * f.nx;
            py = my - d * f.ny;
            break;
        }
        case BoneHandle::RoundCapOffset: {
            if (!round) return false;
            const double k = head ? 1 : -1;
            const double shift = head ? bone.headShift : bone.tailShift;
            const double offset = head ? bone.headOffset : bone.tailOffset;
            const double a = k * (cap + shift) * f.len, o = offset * f.s;
            px = jx + a * f.ax + o * f.nx;
            py = jy + a * f.ay + o * f.ny;
            break;
        }
        case BoneHandle::RoundCapWidth: {
            if (!round) return false;
            const double cw = head ? bone.headCapWidth : bone.tailCapWidth;
            const double d = std::max(f.s * cw, 1.0) / 2 + kSideHandleGap;
            px = jx + d * f.nx;
            py = jy + d * f.ny;
            break;
        }
        default:
            return false;
    }
    position = PartPixelToView(part, f, px, py, view);
    if (inner) *inner = PartPixelToView(part, f, ix, iy, view);
    return true;
}

BoneHandle HitTestBoneHandles(const CanvasObject& part, const Bone& bone, int end, bool selectedFlag,
                              const PoseViewState& view, PointF p) {
    static constexpr BoneHandle kOrder[] = {BoneHandle::CapLength, BoneHandle::Width, BoneHandle::Feather,
                                            BoneHandle::RoundCapOffset, BoneHandle::RoundCapWidth};
    for (BoneHandle h : kOrder) {
        if (!selectedFlag && (h == BoneHandle::CapLength || h == BoneHandle::RoundCapOffset ||
                              h == BoneHandle::RoundCapWidth))
            continue;
        PointF at;
        if (GetBoneHandle(part, bone, end, h, view, at) && DistSq(at, p) <= kHandlePickSq) return h;
    }
    return BoneHandle::None;
}

bool GetCapOutline(const CanvasObject& part, const Bone& bone, int end, const PoseViewState& view, CapOutline& out) {
    out = CapOutline{};
    const PointF H = PartPointToView(part, bone.headX, bone.headY, view);
    const PointF T = PartPointToView(part, bone.tailX, bone.tailY, view);
    const double dx = T.x - H.x, dy = T.y - H.y, L = std::hypot(dx, dy);
    if (!(L > 1)) return false;
    const bool head = end == 0;
    const PointF P = head ? H : T;
    const double s = std::max(std::max<double>(part.width, 1), std::max<double>(part.height, 1));
    const double z = view.zoom;
    const double nx = -dy / L, ny = dx / L;
    const double rw = std::max(s * (head ? bone.headCapWidth : bone.tailCapWidth) * z, 1.0) / 2;
    out.round = (head ? bone.roundHeadCap : bone.roundTailCap) == 1;
    if (out.round) {
        out.hasGuide = true;
        out.guideA = {float(P.x + (rw + 40) * nx), float(P.y + (rw + 40) * ny)};
        out.guideB = {float(P.x - (rw + 40) * nx), float(P.y - (rw + 40) * ny)};
    }
    const double c = L * (head ? bone.headCapLength : bone.tailCapLength);
    if (c > 0.5) {
        const double k = head ? 1 : -1;
        const double shift = head ? bone.headShift : bone.tailShift;
        const double offset = head ? bone.headOffset : bone.tailOffset;
        out.hasShape = true;
        out.centre = {float(P.x + k * L * shift * dx / L + s * offset * z * nx),
                      float(P.y + k * L * shift * dy / L + s * offset * z * ny)};
        out.angle = float(std::atan2(dy, dx) / kDegToRad);
        out.halfLength = float(c);
        out.halfWidth = float(rw);
    }
    return true;
}

bool HitTestBoneMidpoint(const CanvasObject& part, const PoseViewState& view, PointF p, std::string& boneId) {
    for (const Bone& b : part.bones) {
        const PointF m = PartPointToView(part, (b.headX + b.tailX) / 2, (b.headY + b.tailY) / 2, view);
        if (DistSq(m, p) <= kMidpointPickSq) {
            boneId = b.id;
            return true;
        }
    }
    return false;
}

bool HitTestJoint(const CanvasObject& part, const PoseViewState& view, PointF p, bool tieToHead, std::string& boneId,
                  int& end) {
    std::string found;
    end = 1;
    float best = kJointPickSq;
    for (const Bone& b : part.bones) {
        const float t = DistSq(PartPointToView(part, b.headX, b.headY, view), p);
        if (t <= best) {
            found = b.id;
            end = 0;
            best = t;
        }
    }
    for (const Bone& b : part.bones) {
        const float t = DistSq(PartPointToView(part, b.tailX, b.tailY, view), p);
        if (tieToHead ? t < best : t <= best) {
            found = b.id;
            end = 1;
            best = t;
        }
    }
    boneId = found;
    return !found.empty();
}

bool HitTestAnyJoint(const CanvasDocument& scene, const PoseViewState& view, PointF p, JointLinkEnd& out) {
    out = JointLinkEnd{};
    out.end = 1;
    float best = kJointPickSq;
    for (const Layer& layer : scene.layers) {
        if (!layer.visible) continue;
        for (const CanvasObject& part : layer.objects) {
            if (!part.visible) continue;
            for (const Bone& b : part.bones) {
                const float t = DistSq(PartPointToView(part, b.headX, b.headY, view), p);
                if (t <= best) {
                    out = JointLinkEnd{part.id, b.id, 0};
                    best = t;
                }
            }
            for (const Bone& b : part.bones) {
                const float t = DistSq(PartPointToView(part, b.tailX, b.tailY, view), p);
                if (t < best) {
                    out = JointLinkEnd{part.id, b.id, 1};
                    best = t;
                }
            }
        }
    }
    return !out.objectId.empty();
}

std::string MakeUniqueSceneBoneId(const CanvasDocument& scene) {
    std::unordered_set<std::string> used;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects)
            for (const Bone& b : o.bones) used.insert(b.id);
    char buf[32];
    for (int n = 1; n <= 99999; ++n) {
        std::snprintf(buf, sizeof buf, "bone_%d", n);
        if (!used.count(buf)) return buf;
    }
    return "bone";
}

const Bone* FindBone(const CanvasObject& part, const std::string& boneId) {
    for (const Bone& b : part.bones)
        if (b.id == boneId) return &b;
    return nullptr;
}

Bone* FindBone(CanvasObject& part, const std::string& boneId) {
    for (Bone& b : part.bones)
        if (b.id == boneId) return &b;
    return nullptr;
}
