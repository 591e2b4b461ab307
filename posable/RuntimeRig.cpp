#include "posable/RuntimeRig.h"

#include "platform/Bitmap.h"
#include "posable/RuntimeScene.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

struct Vec {
    double x = 0, y = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
double Length(Vec a) { return std::hypot(a.x, a.y); }
Vec V(PointF p) { return {p.x, p.y}; }
PointF P(Vec v) { return {float(v.x), float(v.y)}; }

// Turns v by degrees (clockwise on screen).
Vec Turn(Vec v, double degrees) {
    const double c = std::cos(degrees * kDeg), s = std::sin(degrees * kDeg);
    return {v.x * c - v.y * s, v.x * s + v.y * c};
}

}  // namespace

PointF NormalizedToCanvas(const CanvasObject& o, float u, float v) {
    const Vec centre{o.x + o.width / 2.0, o.y + o.height / 2.0};
    const Vec p{o.x + double(o.width) * u, o.y + double(o.height) * v};
    return P(centre + Turn(p - centre, o.rotation));
}

std::vector<CanvasObject*> CollectVisibleObjectsByZ(CanvasDocument& scene) {
    std::vector<CanvasObject*> list;
    for (Layer& layer : scene.layers)
        for (CanvasObject& o : layer.objects)
            if (o.visible) list.push_back(&o);
    std::stable_sort(list.begin(), list.end(), [](const CanvasObject* a, const CanvasObject* b) { return a->z < b->z; });
    return list;
}

const PartRest* RuntimeRig::FindRest(const std::string& objectId) const {
    for (const PartRest& r : partRests)
        if (r.objectId == objectId) return &r;
    return nullptr;
}

CanvasObject* RuntimeRig::FindOneBonePart(const std::string& objectId, const std::string& boneId) const {
    if (!doc) return nullptr;
    CanvasObject* o = doc->FindObject(objectId);
    if (!o || o->bones.size() != 1 || o->bones.front().id != boneId) return nullptr;
    return o;
}

void RuntimeRig::CaptureRest() {
    partRests.clear();
    linkRests.clear();
    if (doc) {
        for (const Layer& layer : doc->layers)
            for (const CanvasObject& o : layer.objects) {
                if (o.bones.size() != 1) continue;
                const Bone& b = o.bones.front();
                PartRest r;
                r.objectId = o.id;
                r.x = o.x;
                r.y = o.y;
                r.width = o.width;
                r.height = o.height;
                r.rotation = o.rotation;
                r.opacity = o.opacity;
                r.head = {o.width * b.headX, o.height * b.headY};
                r.tail = {o.width * b.tailX, o.height * b.tailY};
                partRests.push_back(std::move(r));
            }
    }
    if (!links) return;
    for (const JointLink& link : *links) {
        if (link.ends.size() < 2) continue;
        LinkRest rest;
        rest.linkId = link.id;
        PointF first;
        bool ok = true;
        for (size_t i = 0; i < link.ends.size() && ok; ++i) {
            PointF p;
            ok = GetJointPosition(link.ends[i], p);
            if (!ok) break;
            if (i == 0) first = p;
            rest.offsets.push_back({p.x - first.x, p.y - first.y});
        }
        if (ok) linkRests.push_back(std::move(rest));
    }
}

bool RuntimeRig::GetJointPosition(const JointLinkEnd& end, PointF& out) const {
    const CanvasObject* o = FindOneBonePart(end.objectId, end.boneId);
    if (!o) return false;
    const Bone& b = o->bones.front();
    out = end.end != 0 ? NormalizedToCanvas(*o, b.tailX, b.tailY) : NormalizedToCanvas(*o, b.headX, b.headY);
    return true;
}

bool RuntimeRig::MoveJoint(const JointLinkEnd& end, PointF target) {
    CanvasObject* o = FindOneBonePart(end.objectId, end.boneId);
    if (!o) return false;
    Bone& b = o->bones.front();
    const Vec H = V(NormalizedToCanvas(*o, b.headX, b.headY));
    if (end.end == 0) {
        o->x = float(o->x + (target.x - H.x));
        o->y = float(o->y + (target.y - H.y));
        return true;
    }
    const PartRest* rest = FindRest(o->id);
    if (!rest) return false;
    const double rho = (std::atan2(target.y - H.y, target.x - H.x) -
                        std::atan2(double(rest->tail.y) - rest->head.y, double(rest->tail.x) - rest->head.x)) /
                       kDeg;
    const double Wr = rest->width, Hr = rest->height;
    const Vec e{Wr * b.headX - Wr / 2, Hr * b.headY - Hr / 2};
    const Vec te = Turn(e, rho);
    // The placement stays fractional: rounding it here would shift the head
    // by up to half a pixel on every move, and the drift adds up over a drag.
    o->rotation = float(rho);
    o->x = float(H.x - (te.x + Wr / 2));
    o->y = float(H.y - (te.y + Hr / 2));
    o->width = float(std::max(Wr, 1.0));
    o->height = float(std::max(Hr, 1.0));
    if (b.stretchable) {
        const Vec centre{o->x + o->width / 2.0, o->y + o->height / 2.0};
        const Vec local = centre + Turn(V(target) - centre, -rho) - Vec{o->x, o->y};
        b.tailX = float(local.x / std::max(double(o->width), 1.0));
        b.tailY = float(local.y / std::max(double(o->height), 1.0));
    } else {
        b.tailX = float(rest->tail.x / std::max(Wr, 1.0));
        b.tailY = float(rest->tail.y / std::max(Hr, 1.0));
    }
    return true;
}

void RuntimeRig::SatisfyLinks() {
    if (!links) return;
    for (int pass = 0; pass < kLinkPasses; ++pass) {
        bool moved = false;
        for (const JointLink& link : *links) {
            if (link.ends.size() < 2) continue;
            const LinkRest* rest = nullptr;
            for (const LinkRest& r : linkRests)
                if (r.linkId == link.id) {
                    rest = &r;
                    break;
                }
            if (!rest || rest->offsets.size() != link.ends.size()) continue;
            Vec sum;
            int count = 0;
            for (size_t i = 0; i < link.ends.size(); ++i) {
                PointF p;
                if (!GetJointPosition(link.ends[i], p)) continue;
                sum = sum + (V(p) - V(rest->offsets[i]));
                ++count;
            }
            if (count == 0) continue;
            const Vec anchor = sum * (1.0 / count);
            for (size_t i = 0; i < link.ends.size(); ++i) {
                const Vec target = anchor + V(rest->offsets[i]);
                PointF before, after;
                if (!GetJointPosition(link.ends[i], before)) continue;
                MoveJoint(link.ends[i], P(target));
                if (!GetJointPosition(link.ends[i], after)) continue;
                const Vec d = V(after) - V(before);
                if (d.x * d.x + d.y * d.y > 0.0001) moved = true;
            }
        }
        if (!moved) break;
    }
}

bool RuntimeRig::SolveChainIK(const std::string& grabbedId, PointF target) {
    if (!doc || !links) return false;
    struct Entry {
        std::string partId, boneId;
    };
    std::vector<Entry> chain;
    const std::string source = RuntimePartSourceId(grabbedId);
    std::string current = grabbedId;
    // Every step adds a part not yet in the chain, so the walk ends after at
    // most one step per part, whatever the links say.
    for (;;) {
        const CanvasObject* o = doc->FindObject(current);
        if (!o || o->bones.size() != 1) break;
        chain.push_back({current, o->bones.front().id});
        std::string parent;
        for (const JointLink& link : *links) {
            const bool holdsHead = std::any_of(link.ends.begin(), link.ends.end(), [&](const JointLinkEnd& e) {
                return e.objectId == current && e.end == 0;
            });
            if (!holdsHead) continue;
            auto tail = std::find_if(link.ends.begin(), link.ends.end(), [](const JointLinkEnd& e) { return e.end == 1; });
            if (tail == link.ends.end()) continue;
            parent = tail->objectId;
            break;
        }
        if (parent.empty() || RuntimePartSourceId(parent) != source) break;
        if (std::any_of(chain.begin(), chain.end(), [&](const Entry& e) { return e.partId == parent; })) break;
        current = parent;
    }
    const size_t n = chain.size();
    if (n < 2) return false;

    std::vector<Vec> pts(n + 1);
    {
        const CanvasObject* top = doc->FindObject(chain[n - 1].partId);
        const Bone& b = top->bones.front();
        pts[0] = V(NormalizedToCanvas(*top, b.headX, b.headY));
        for (size_t k = 1; k <= n; ++k) {
            const CanvasObject* o = doc->FindObject(chain[n - k].partId);
            const Bone& bk = o->bones.front();
            pts[k] = V(NormalizedToCanvas(*o, bk.tailX, bk.tailY));
        }
    }
    std::vector<double> len(n);
    for (size_t k = 0; k < n; ++k) len[k] = std::max(Length(pts[k + 1] - pts[k]), 0.0001);
    const Vec base = pts[0];
    const Vec goal = V(target);
    for (int iter = 0; iter < kIkIterations; ++iter) {
        pts[n] = goal;
        for (size_t k = n; k-- > 0;) {
            const Vec d = pts[k] - pts[k + 1];
            const double dist = Length(d);
            if (dist >= 0.0001) pts[k] = pts[k + 1] + d * (len[k] / dist);
        }
        pts[0] = base;
        for (size_t k = 0; k < n; ++k) {
            const Vec d = pts[k + 1] - pts[k];
            const double dist = Length(d);
            if (dist >= 0.0001) pts[k + 1] = pts[k] + d * (len[k] / dist);
        }
        const Vec miss = pts[n] - goal;
        if (miss.x * miss.x + miss.y * miss.y < 0.25) break;
    }
    for (size_t k = 0; k < n; ++k) {
        const Entry& e = chain[n - 1 - k];
        MoveJoint({e.partId, e.boneId, 0}, P(pts[k]));
        MoveJoint({e.partId, e.boneId, 1}, P(pts[k + 1]));
    }
    SatisfyLinks();
    return true;
}

bool RuntimeRig::MapRestPointToPose(const CanvasObject& part, const Bone& bone, PointF p, PointF& out) const {
    const PartRest* rest = FindRest(part.id);
    if (!rest) return false;
    const Vec hr = V(rest->head), tr = V(rest->tail);
    const double lr = Length(tr - hr);
    const Vec hc{double(part.width) * bone.headX, double(part.height) * bone.headY};
    const Vec tc{double(part.width) * bone.tailX, double(part.height) * bone.tailY};
    const double lc = Length(tc - hc);
    const Vec ar = lr > 0.0001 ? (tr - hr) * (1 / lr) : Vec{1, 0};
    const Vec ac = lc >= 0.0001 ? (tc - hc) * (1 / lc) : (tr - hr) * (1 / std::max(lr, 0.0001));
    const Vec rel = V(p) - hr;
    const double along = rel.x * ar.x + rel.y * ar.y;
    const double across = rel.x * -ar.y + rel.y * ar.x;
    double scale = 1;
    if (bone.stretchable && lr > 0.0001) scale = (lc < 0.0001 ? std::max(lr, 0.0001) : lc) / lr;
    const Vec q = hc + ac * (along * scale) + Vec{-ac.y, ac.x} * across;
    const Vec centre{part.x + part.width / 2.0, part.y + part.height / 2.0};
    const Vec canvas = Vec{part.x + q.x, part.y + q.y};
    out = P(centre + Turn(canvas - centre, part.rotation));
    return true;
}

namespace {

void FillDisc(const RasterTarget& target, Vec c, double diameter, uint32_t argb) {
    RasterPath path;
    const float r = float(diameter / 2);
    path.AddEllipse(RectF{float(c.x) - r, float(c.y) - r, 2 * r, 2 * r});
    FillPath(target, path, argb);
}

void StrokeLine(const RasterTarget& target, Vec a, Vec b, double width, uint32_t argb) {
    const Vec d = b - a;
    const double l = Length(d);
    if (l < 1e-6) return;
    const Vec n = Vec{-d.y, d.x} * (width / 2 / l);
    const PointF quad[4] = {P(a + n), P(b + n), P(b - n), P(a - n)};
    FillPolygon(target, quad, 4, argb);
}

}  // namespace

void RuntimeRig::Draw(const RasterTarget& target, CanvasDocument& scene, const RuntimeRig* rig, float zoom,
                      PointF offset, const RectF& fillRect, float pixelScale) {
    if (target.Empty()) return;
    FillRect(target, fillRect, 0xFF383C42);
    const double z = zoom;
    auto screen = [&](PointF p) { return Vec{z * p.x + offset.x, z * p.y + offset.y}; };
    const std::vector<CanvasObject*> objects = CollectVisibleObjectsByZ(scene);
    for (CanvasObject* o : objects) {
        BitmapPtr bmp = o->ComposeBitmap();
        if (!bmp) continue;
        ImageDrawOptions opt;
        opt.interpolation = Interpolation::Bicubic;
        opt.opacity = o->opacity;
        if (rig && o->bones.size() == 1 && o->bones.front().stretchable) {
            const Bone& b = o->bones.front();
            PointF ul, ur, ll;
            if (rig->MapRestPointToPose(*o, b, {0, 0}, ul) && rig->MapRestPointToPose(*o, b, {o->width, 0}, ur) &&
                rig->MapRestPointToPose(*o, b, {0, o->height}, ll)) {
                DrawBitmapToPoints(target, *bmp, RectF{0, 0, float(bmp->Width()), float(bmp->Height())},
                                   P(screen(ul)), P(screen(ur)), P(screen(ll)), opt);
                continue;
            }
        }
        const RectF dest{float(z * o->x + offset.x), float(z * o->y + offset.y), float(z * o->width),
                         float(z * o->height)};
        const Affine world = Affine::RotationAbout(o->rotation, dest.x + dest.width / 2, dest.y + dest.height / 2);
        opt.world = &world;
        DrawBitmapRect(target, *bmp, dest, opt);
    }
    for (CanvasObject* o : objects) {
        if (o->bones.size() != 1) continue;
        const Bone& b = o->bones.front();
        const Vec head = screen(NormalizedToCanvas(*o, b.headX, b.headY));
        const Vec tail = screen(NormalizedToCanvas(*o, b.tailX, b.tailY));
        StrokeLine(target, head, tail, 2.0 * pixelScale, b.stretchable ? 0xFFDC5858 : 0xFFEBCE60);
        FillDisc(target, head, 14.0 * pixelScale, 0xFFF8FAFF);
        FillDisc(target, tail, 14.0 * pixelScale, b.stretchable ? 0xFFF07878 : 0xFFFAD65C);
    }
}
