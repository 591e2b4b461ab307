#include "posable/PoseEditorTools.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "posable/RuntimeRig.h"
#include "scene/BoneList.h"
#include "scene/JointLinks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

CanvasObject* SelectedPoseEditorPart(CQuillfenEditorDoc& doc) {
    if (doc.poseScene.primarySelectedId.empty()) return nullptr;
    return doc.poseScene.FindObject(doc.poseScene.primarySelectedId);
}

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr double kRadToDeg = 180.0 / 3.14159265358979323846;
constexpr float kDragThreshold = 4;
constexpr float kMinBoneLength = 16;  // scene units

float DistSq(PointF a, PointF b) { return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y); }

ObjectTransform TransformOf(const CanvasObject& o) { return {o.x, o.y, o.width, o.height, o.rotation, o.opacity}; }

bool SameTransform(const ObjectTransform& a, const ObjectTransform& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height && a.rotation == b.rotation &&
           a.opacity == b.opacity;
}

bool BonesEqual(const std::vector<Bone>& a, const std::vector<Bone>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const Bone &x = a[i], &y = b[i];
        if (x.id != y.id || x.name != y.name || x.hasParent != y.hasParent || x.parentId != y.parentId ||
            x.parentEnd != y.parentEnd || x.headX != y.headX || x.headY != y.headY || x.tailX != y.tailX ||
            x.tailY != y.tailY || x.stretchable != y.stretchable || x.width != y.width ||
            x.headCapLength != y.headCapLength || x.tailCapLength != y.tailCapLength || x.headShift != y.headShift ||
            x.tailShift != y.tailShift || x.headOffset != y.headOffset || x.tailOffset != y.tailOffset ||
            x.headCapWidth != y.headCapWidth || x.tailCapWidth != y.tailCapWidth ||
            x.roundHeadCap != y.roundHeadCap || x.roundTailCap != y.roundTailCap || x.feather != y.feather ||
            x.wholeImage != y.wholeImage)
            return false;
    }
    return true;
}

CanvasObject* PrimaryPart(CQuillfenEditorDoc& doc) { return SelectedPoseEditorPart(doc); }

PointF JointOf(const Bone& b, int end) { return end == 0 ? PointF{b.headX, b.headY} : PointF{b.tailX, b.tailY}; }

void SetJoint(Bone& b, int end, PointF p) {
    if (end == 0) {
        b.headX = p.x;
        b.headY = p.y;
    } else {
        b.tailX = p.x;
        b.tailY = p.y;
    }
}

void AddPair(std::vector<std::pair<std::string, int>>& list, const std::string& id, int end) {
    for (const auto& e : list)
        if (e.first == id && e.second == end) return;
    list.emplace_back(id, end);
}

// Records the bone edit as one undo step and marks the document changed.
void CommitBones(CQuillfenEditorDoc& doc, const std::string& objectId, const std::vector<Bone>& before) {
    CanvasObject* part = doc.poseScene.FindObject(objectId);
    if (!part) return;
    if (BonesEqual(before, part->bones)) return;
    doc.SetBoneDefinitions(objectId, before, part->bones);
    doc.SetModifiedFlag(true);
}

bool PartGroupContains(const JointLink& group, const std::string& objectId) {
    for (const JointLinkEnd& e : group.ends)
        if (e.objectId == objectId) return true;
    return false;
}

int FindGroupIndex(const std::vector<JointLink>& links, const JointLinkEnd& end) {
    for (size_t i = 0; i < links.size(); ++i)
        for (const JointLinkEnd& e : links[i].ends)
            if (SameEnd(e, end)) return int(i);
    return -1;
}

}  // namespace

void RotatedCorners(const RectF& r, float rotation, PointF out[4]) {
    const double cx = r.x + r.width / 2.0, cy = r.y + r.height / 2.0;
    const double a = rotation * kDegToRad, c = std::cos(a), s = std::sin(a);
    const double dx[4] = {-r.width / 2.0, r.width / 2.0, r.width / 2.0, -r.width / 2.0};
    const double dy[4] = {-r.height / 2.0, -r.height / 2.0, r.height / 2.0, r.height / 2.0};
    for (int i = 0; i < 4; ++i) out[i] = {float(cx + dx[i] * c - dy[i] * s), float(cy + dx[i] * s + dy[i] * c)};
}

bool SameEnd(const JointLinkEnd& a, const JointLinkEnd& b) {
    return a.objectId == b.objectId && a.boneId == b.boneId && a.end == b.end;
}

bool ApplyLinkDrop(std::vector<JointLink>& links, const JointLinkEnd& source, const JointLinkEnd& target) {
    if (source.objectId == target.objectId || target.boneId.empty() || source.boneId.empty()) return false;
    const int g = FindGroupIndex(links, source), h = FindGroupIndex(links, target);
    if (g >= 0 && h >= 0) {
        if (g == h) return false;
        for (const JointLinkEnd& e : links[size_t(h)].ends)
            if (PartGroupContains(links[size_t(g)], e.objectId)) return false;
        const std::vector<JointLinkEnd> moved = links[size_t(h)].ends;
        links[size_t(g)].ends.insert(links[size_t(g)].ends.end(), moved.begin(), moved.end());
        links.erase(links.begin() + h);
        return true;
    }
    if (g >= 0) {
        if (PartGroupContains(links[size_t(g)], target.objectId)) return false;
        links[size_t(g)].ends.push_back(target);
        return true;
    }
    if (h >= 0) {
        if (PartGroupContains(links[size_t(h)], source.objectId)) return false;
        links[size_t(h)].ends.push_back(source);
        return true;
    }
    JointLink link;
    link.id = MakeJointLinkId(links);
    link.name = link.id;
    link.ends = {source, target};
    links.push_back(std::move(link));
    return true;
}

bool RemoveLinkEnd(std::vector<JointLink>& links, const JointLinkEnd& end) {
    const int g = FindGroupIndex(links, end);
    if (g < 0) return false;
    auto& ends = links[size_t(g)].ends;
    ends.erase(std::remove_if(ends.begin(), ends.end(), [&](const JointLinkEnd& e) { return SameEnd(e, end); }),
               ends.end());
    if (ends.size() < 2) links.erase(links.begin() + g);
    return true;
}

void RemapBonesToPart(CanvasObject& part, const ObjectTransform& old, const std::vector<Bone>& bones) {
    if (bones.empty()) return;
    part.bones = bones;
    BoneList::MapToPlacement(part.bones, old, {part.x, part.y, part.width, part.height, part.rotation, part.opacity});
    part.BumpGeneration();
}

void PoseEditorTools::Reset() {
    partDrag = waitThreshold = marqueePending = marqueeActive = marqueeAdditive = false;
    grabbedHandle = kPartHandleNone;
    records.clear();
    addActive = false;
    addTarget.clear();
    addParent.clear();
    addParentEnd = 1;
    grabbedJoints.clear();
    jointDragStarted = false;
    activeHandle = BoneHandle::None;
    boneMovePending = boneMoveActive = false;
    movedJoints.clear();
    movedStarts.clear();
    snapshot.clear();
    snapshotObjectId.clear();
    linkDrag = false;
    linkSource = linkTarget = JointLinkEnd{};
    linkTarget.end = 1;
    hoverBone.clear();
    hoverEnd = 1;
    hoverMidpoint.clear();
}

bool PoseEditorTools::Busy() const {
    return partDrag || marqueePending || marqueeActive || addActive || linkDrag || activeHandle != BoneHandle::None ||
           boneMovePending || boneMoveActive || !grabbedJoints.empty();
}

// --- Part tool ---

bool PoseEditorTools::SelectionSceneBounds(const CanvasDocument& scene, RectF& out) const {
    bool any = false;
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const std::string& id : scene.selectedIds) {
        const CanvasObject* o = scene.FindObject(id);
        if (!o || !o->visible) continue;
        PointF c[4];
        RotatedCorners(RectF{o->x, o->y, o->width, o->height}, o->rotation, c);
        for (const PointF& p : c) {
            x0 = any ? std::min(x0, p.x) : p.x;
            y0 = any ? std::min(y0, p.y) : p.y;
            x1 = any ? std::max(x1, p.x) : p.x;
            y1 = any ? std::max(y1, p.y) : p.y;
            any = true;
        }
    }
    if (!any) return false;
    out = {x0, y0, std::max(x1 - x0, 1.0f), std::max(y1 - y0, 1.0f)};
    return true;
}

int PoseEditorTools::HitTestPartHandle(CQuillfenEditorDoc& doc, PointF p) const {
    CanvasDocument& scene = doc.poseScene;
    if (scene.selectedIds.size() < 2) {
        const CanvasObject* o = scene.primarySelectedId.empty() ? nullptr : scene.FindObject(scene.primarySelectedId);
        if (!o || o->locked) return kPartHandleNone;
        const PointF tl = view.SceneToView({o->x, o->y});
        return HitTestObjectHandles(p.x, p.y, frameStyle, {tl.x, tl.y, o->width * view.zoom, o->height * view.zoom},
                                    o->rotation);
    }
    RectF b;
    if (!SelectionSceneBounds(scene, b)) return kPartHandleNone;
    const PointF tl = view.SceneToView({b.x, b.y});
    return HitTestObjectHandles(p.x, p.y, frameStyle, {tl.x, tl.y, b.width * view.zoom, b.height * view.zoom}, 0);
}

void PoseEditorTools::BeginPartDrag(CQuillfenEditorDoc& doc, int handle, PointF p, bool wait) {
    CanvasDocument& scene = doc.poseScene;
    grabbedHandle = handle;
    partDrag = true;
    waitThreshold = wait;
    pressView = lastPoint = p;
    pressScene = view.ViewToScene(p);
    records.clear();
    for (const std::string& id : scene.selectedIds)
        if (const CanvasObject* o = scene.FindObject(id)) records.push_back({id, TransformOf(*o)});
    if (!SelectionSceneBounds(scene, selectionBounds)) selectionBounds = {0, 0, 1, 1};
    if (const CanvasObject* o = PrimaryPart(doc)) anchor = TransformOf(*o);
}

bool PoseEditorTools::PartPress(CQuillfenEditorDoc& doc, PointF p, bool ctrl) {
    CanvasDocument& scene = doc.poseScene;
    const PointF q = view.ViewToScene(p);
    const std::string hit = scene.HitTest(ScenePoint{q.x, q.y});
    const int h = HitTestPartHandle(doc, p);
    if (h >= 2 && !scene.selectedIds.empty()) {
        BeginPartDrag(doc, h, p, false);
        return true;
    }
    if (hit.empty()) {
        if (h == kPartHandleInside && !scene.selectedIds.empty()) {
            BeginPartDrag(doc, kPartHandleInside, p, false);
        } else {
            Reset();
            doc.ClearBoneSelection();
            marqueePending = true;
            marqueeAdditive = ctrl;
            pressView = marqueeStart = marqueeEnd = p;
        }
    } else if (ctrl) {
        if (scene.IsSelected(hit))
            scene.RemoveFromSelection(hit);
        else
            scene.AddToSelection(hit);
        Reset();
    } else if (scene.IsSelected(hit)) {
        BeginPartDrag(doc, kPartHandleInside, p, false);
    } else {
        scene.SelectObject(hit);
        doc.ClearBoneSelection();
        BeginPartDrag(doc, kPartHandleInside, p, true);
    }
    doc.UpdateAllViews();
    return true;
}

bool PoseEditorTools::PartMove(CQuillfenEditorDoc& doc, PointF p) {
    if (partDrag) {
        if (waitThreshold && std::abs(p.x - pressView.x) < kDragThreshold &&
            std::abs(p.y - pressView.y) < kDragThreshold)
            return false;
        waitThreshold = false;
        ApplyTransformDrag(doc, p);
        return true;
    }
    if (marqueePending || marqueeActive) {
        if (marqueePending && std::abs(p.x - pressView.x) < kDragThreshold &&
            std::abs(p.y - pressView.y) < kDragThreshold)
            return false;
        marqueePending = false;
        marqueeActive = true;
        marqueeEnd = p;
        return true;
    }
    return false;
}

void PoseEditorTools::ApplyTransformDrag(CQuillfenEditorDoc& doc, PointF p) {
    CanvasDocument& scene = doc.poseScene;
    CanvasObject* primary = PrimaryPart(doc);
    if (!primary || primary->locked || grabbedHandle == kPartHandleNone) return;
    const PointF c = view.ViewToScene(p), s = pressScene;
    const double dx = c.x - s.x, dy = c.y - s.y;
    lastPoint = p;
    if (records.size() < 2) {
        ObjectTransform t = anchor;
        const double u = std::max(anchor.width, 1.0f), v = std::max(anchor.height, 1.0f);
        const double cx = anchor.x + u / 2, cy = anchor.y + v / 2;
        const double r0 = anchor.rotation * kDegToRad, cr = std::cos(r0), sr = std::sin(r0);
        if (grabbedHandle == kPartHandleInside) {
            t.x = float(anchor.x + dx);
            t.y = float(anchor.y + dy);
        } else if (grabbedHandle == kPartHandleRotate) {
            t.rotation = float(anchor.rotation +
                               (std::atan2(c.y - cy, c.x - cx) - std::atan2(s.y - cy, s.x - cx)) * kRadToDeg);
        } else {
            // The mouse delta in the part's own frame.
            const double ldx = cr * dx + sr * dy, ldy = -sr * dx + cr * dy;
            double W = u, H = v, fx = 0, fy = 0;
            switch (grabbedHandle) {
                case kPartHandleTop: H = std::max(v - ldy, 1.0); fx = u / 2; fy = v; break;
                case kPartHandleBottom: H = std::max(v + ldy, 1.0); fx = u / 2; fy = 0; break;
                case kPartHandleRight: W = std::max(u + ldx, 1.0); fx = 0; fy = v / 2; break;
                case kPartHandleLeft: W = std::max(u - ldx, 1.0); fx = u; fy = v / 2; break;
                default: {
                    const double sx = (grabbedHandle == kPartHandleTopLeft || grabbedHandle == kPartHandleBottomLeft) ? -1 : 1;
                    const double sy = (grabbedHandle == kPartHandleTopLeft || grabbedHandle == kPartHandleTopRight) ? -1 : 1;
                    const double g = std::max(sx * ldx + u, 1.0), k = std::max(sy * ldy + v, 1.0);
                    if (g / u > k / v) {
                        W = g;
                        H = g * v / u;
                    } else {
                        H = k;
                        W = k * u / v;
                    }
                    fx = sx < 0 ? u : 0;
                    fy = sy < 0 ? v : 0;
                }
            }
            // The fixed point in the scene, on the unchanged part.
            const double Fx = cx + (fx - u / 2) * cr - (fy - v / 2) * sr;
            const double Fy = cy + (fx - u / 2) * sr + (fy - v / 2) * cr;
            // The same point of the resized part's own frame.
            const double nfx = (grabbedHandle == kPartHandleTop || grabbedHandle == kPartHandleBottom) ? W / 2
                               : fx == 0                                                                ? 0
                                                                                                        : W;
            const double nfy = (grabbedHandle == kPartHandleLeft || grabbedHandle == kPartHandleRight) ? H / 2
                               : fy == 0                                                                ? 0
                                                                                                        : H;
            t.x = float(Fx - ((nfx - W / 2) * cr - (nfy - H / 2) * sr) - W / 2);
            t.y = float(Fy - ((nfy - H / 2) * cr + (nfx - W / 2) * sr) - H / 2);
            t.width = float(W);
            t.height = float(H);
        }
        scene.SetObjectTransform(primary->id, t);
    } else {
        const RectF& B = selectionBounds;
        const double bw = std::max(B.width, 1.0f), bh = std::max(B.height, 1.0f);
        const double gx = B.x + bw / 2, gy = B.y + bh / 2;
        double left = B.x, top = B.y, right = B.x + bw, bottom = B.y + bh;
        double angle = 0;
        switch (grabbedHandle) {
            case kPartHandleInside: break;
            case kPartHandleRotate:
                angle = (std::atan2(c.y - gy, c.x - gx) - std::atan2(s.y - gy, s.x - gx)) * kRadToDeg;
                break;
            case kPartHandleTop: top = std::min(B.y + dy, bottom - 1); break;
            case kPartHandleBottom: bottom = std::max(bottom + dy, double(B.y) + 1); break;
            case kPartHandleRight: right = std::max(right + dx, double(B.x) + 1); break;
            case kPartHandleLeft: left = std::min(B.x + dx, right - 1); break;
            default: {
                const double sx = (grabbedHandle == kPartHandleTopLeft || grabbedHandle == kPartHandleBottomLeft) ? -1 : 1;
                const double sy = (grabbedHandle == kPartHandleTopLeft || grabbedHandle == kPartHandleTopRight) ? -1 : 1;
                const double f = std::max(std::max(bh + sy * dy, 1.0) / bh, std::max(bw + sx * dx, 1.0) / bw);
                if (sx < 0) left = right - bw * f; else right = left + bw * f;
                if (sy < 0) top = bottom - bh * f; else bottom = top + bh * f;
            }
        }
        const double kx = std::max(right - left, 1.0) / bw, ky = std::max(bottom - top, 1.0) / bh;
        for (const PartDragRecord& rec : records) {
            CanvasObject* o = scene.FindObject(rec.objectId);
            if (!o || o->locked) continue;
            ObjectTransform t = rec.before;
            const double cx0 = t.x + t.width / 2.0, cy0 = t.y + t.height / 2.0;
            if (grabbedHandle == kPartHandleInside) {
                t.x = float(t.x + dx);
                t.y = float(t.y + dy);
            } else if (grabbedHandle == kPartHandleRotate) {
                const double a = angle * kDegToRad, ca = std::cos(a), sa = std::sin(a);
                const double ncx = gx + (cx0 - gx) * ca - (cy0 - gy) * sa, ncy = gy + (cx0 - gx) * sa + (cy0 - gy) * ca;
                t.rotation = float(t.rotation + angle);
                t.x = float(ncx - t.width / 2.0);
                t.y = float(ncy - t.height / 2.0);
            } else {
                const double w = std::max(t.width * kx, 1.0), h = std::max(t.height * ky, 1.0);
                const double ncx = left + (cx0 - B.x) / bw * (right - left);
                const double ncy = top + (cy0 - B.y) / bh * (bottom - top);
                t.width = float(w);
                t.height = float(h);
                t.x = float(ncx - w / 2);
                t.y = float(ncy - h / 2);
            }
            scene.SetObjectTransform(o->id, t);
        }
    }
    doc.SetModifiedFlag(true);
}

void PoseEditorTools::SelectInMarquee(CQuillfenEditorDoc& doc) {
    CanvasDocument& scene = doc.poseScene;
    const float x = std::min(marqueeStart.x, marqueeEnd.x), y = std::min(marqueeStart.y, marqueeEnd.y);
    float w = std::abs(marqueeEnd.x - marqueeStart.x), h = std::abs(marqueeEnd.y - marqueeStart.y);
    if (w < 2) w = 1;
    if (h < 2) h = 1;
    if (!marqueeAdditive) scene.ClearSelection();
    for (const Layer& layer : scene.layers) {
        if (!layer.visible || layer.locked) continue;
        for (const CanvasObject& o : layer.objects) {
            if (!o.visible || o.locked) continue;
            const PointF tl = view.SceneToView({o.x, o.y});
            PointF c[4];
            RotatedCorners({tl.x, tl.y, o.width * view.zoom, o.height * view.zoom}, o.rotation, c);
            float x0 = c[0].x, y0 = c[0].y, x1 = c[0].x, y1 = c[0].y;
            for (const PointF& q : c) {
                x0 = std::min(x0, q.x);
                y0 = std::min(y0, q.y);
                x1 = std::max(x1, q.x);
                y1 = std::max(y1, q.y);
            }
            if (x0 < x + w && x < x0 + std::max(x1 - x0, 1.0f) && y0 < y + h && y < y0 + std::max(y1 - y0, 1.0f))
                scene.AddToSelection(o.id);
        }
    }
    doc.UpdateAllViews();
}

bool PoseEditorTools::PartRelease(CQuillfenEditorDoc& doc, PointF) {
    CanvasDocument& scene = doc.poseScene;
    if (partDrag) {
        std::vector<UndoTransformEntry> entries;
        for (const PartDragRecord& rec : records)
            if (const CanvasObject* o = scene.FindObject(rec.objectId))
                entries.push_back({rec.objectId, rec.before, TransformOf(*o)});
        if (entries.size() < 2) {
            for (const auto& e : entries)
                if (!SameTransform(e.before, e.after)) {
                    doc.CommitObjectTransform(e.objectId, e.before, e.after);
                    doc.SetModifiedFlag(true);
                }
        } else {
            std::vector<UndoTransformEntry> changed;
            for (const auto& e : entries)
                if (!SameTransform(e.before, e.after)) changed.push_back(e);
            if (!changed.empty()) {
                doc.CommitObjectTransforms(changed);
                doc.SetModifiedFlag(true);
            }
        }
        Reset();
        doc.UpdateAllViews();
        return true;
    }
    if (marqueeActive || marqueePending) {
        if (marqueeActive) {
            SelectInMarquee(doc);
        } else if (!marqueeAdditive) {
            scene.ClearSelection();
            doc.UpdateAllViews();
        }
        Reset();
        return true;
    }
    return false;
}

// --- Add Bone ---

bool PoseEditorTools::AddBonePress(CQuillfenEditorDoc& doc, PointF p) {
    CanvasObject* part = PrimaryPart(doc);
    if (!part || part->locked) return true;
    const PointF n = CanvasToPartNormalized(*part, view.ViewToScene(p));
    if (part->bones.empty()) {
        addStart = n;
        addParent.clear();
        addParentEnd = 1;
    } else {
        std::string id;
        int end = 1;
        if (!HitTestJoint(*part, view, p, false, id, end)) return true;
        const Bone* b = FindBone(*part, id);
        addStart = JointOf(*b, end);
        addParent = id;
        addParentEnd = end;
    }
    addActive = true;
    addTarget = part->id;
    addEnd = addStart;
    return true;
}

bool PoseEditorTools::AddBoneMove(CQuillfenEditorDoc& doc, PointF p) {
    CanvasObject* part = addActive ? doc.poseScene.FindObject(addTarget) : PrimaryPart(doc);
    if (!part) return false;
    lastPoint = p;
    std::string id;
    int end = 1;
    if (HitTestJoint(*part, view, p, false, id, end)) {
        hoverBone = id;
        hoverEnd = end;
    } else {
        hoverBone.clear();
    }
    if (addActive) addEnd = CanvasToPartNormalized(*part, view.ViewToScene(p));
    return true;
}

bool PoseEditorTools::AddBoneRelease(CQuillfenEditorDoc& doc, PointF p) {
    if (!addActive) return true;
    CanvasObject* part = doc.poseScene.FindObject(addTarget);
    if (!part || part->locked) {
        Reset();
        return true;
    }
    const std::vector<Bone> before = part->bones;
    const PointF n = CanvasToPartNormalized(*part, view.ViewToScene(p));
    const double lx = part->width * (n.x - addStart.x), ly = part->height * (n.y - addStart.y);
    if (std::sqrt(lx * lx + ly * ly) < kMinBoneLength) {
        Reset();
        doc.UpdateAllViews();
        return true;
    }
    Bone bone;
    bone.id = MakeUniqueSceneBoneId(doc.poseScene);
    char name[32];
    std::snprintf(name, sizeof name, "Bone %d", int(part->bones.size()) + 1);
    bone.name = name;
    bone.hasParent = !addParent.empty();
    bone.parentId = addParent;
    bone.parentEnd = addParentEnd;
    bone.headX = addStart.x;
    bone.headY = addStart.y;
    bone.tailX = n.x;
    bone.tailY = n.y;
    part->bones.push_back(bone);
    BoneList::SnapToParents(part->bones);
    part->BumpGeneration();
    const std::string id = part->id;
    Reset();
    CommitBones(doc, id, before);
    doc.UpdateAllViews();
    return true;
}

// --- Select/Move Joint ---

bool PoseEditorTools::JointPress(CQuillfenEditorDoc& doc, PointF p) {
    CanvasObject* part = PrimaryPart(doc);
    if (!part || part->locked || part->bones.empty()) return true;
    const BoneSelection& sel = doc.boneSelection;
    const PointF n = CanvasToPartNormalized(*part, view.ViewToScene(p));
    const Bone* selBone = sel.objectId == part->id ? FindBone(*part, sel.boneId) : nullptr;
    const int selEnd = sel.handleIndex == 0 ? 0 : 1;
    auto takeSnapshot = [&] {
        snapshot = part->bones;
        snapshotObjectId = part->id;
    };
    // 1. A handle of the selected bone.
    if (selBone) {
        const BoneHandle h = HitTestBoneHandles(*part, *selBone, selEnd, sel.selected, view, p);
        if (h != BoneHandle::None) {
            dragBoneId = selBone->id;
            dragEnd = selEnd;
            takeSnapshot();
            activeHandle = h;
            jointPress = p;
            if (h == BoneHandle::RoundCapWidth)
                if (DocumentHost* host = doc.Host()) host->SetStatusHint(kCapWidthHint);
            return true;
        }
    }
    // 2. A bone's midpoint.
    std::string mid;
    if (HitTestBoneMidpoint(*part, view, p, mid)) {
        const Bone* b = FindBone(*part, mid);
        const int end = (selBone && selBone->id == mid && sel.selected) ? selEnd : 1;
        dragBoneId = mid;
        dragEnd = end;
        takeSnapshot();
        grabPoint = n;
        movedJoints.clear();
        movedStarts.clear();
        const PointF h = JointOf(*b, 0), t = JointOf(*b, 1);
        for (const Bone& o : part->bones) {
            const PointF oh = JointOf(o, 0), ot = JointOf(o, 1);
            if (oh.x == h.x && oh.y == h.y) AddPair(movedJoints, o.id, 0);
            if (ot.x == h.x && ot.y == h.y) AddPair(movedJoints, o.id, 1);
            if (oh.x == t.x && oh.y == t.y) AddPair(movedJoints, o.id, 0);
            if (ot.x == t.x && ot.y == t.y) AddPair(movedJoints, o.id, 1);
        }
        for (const auto& j : movedJoints) movedStarts.push_back(JointOf(*FindBone(*part, j.first), j.second));
        boneMovePending = true;
        doc.SetBoneSelection(part->id, mid, end);
        jointPress = p;
        return true;
    }
    // 3. A joint: the selected bone's own first, so its joint wins over a
    // nearer one of another bone; then any joint. The tool selects a bone
    // as it becomes active, so a press on another bone's joint must pick
    // that joint at once, or the first drag after a tool switch does nothing.
    std::string id;
    int end = 1;
    const bool found = SelectedBoneJointAt(*part, selBone, p, id, end) || HitTestJoint(*part, view, p, true, id, end);
    if (!found) {
        dragBoneId.clear();
        doc.ClearBoneSelection();
        return true;
    }
    const PointF at = JointOf(*FindBone(*part, id), end);
    grabbedJoints.clear();
    for (const Bone& o : part->bones)
        for (int e = 0; e < 2; ++e) {
            const PointF q = JointOf(o, e);
            if (q.x == at.x && q.y == at.y) AddPair(grabbedJoints, o.id, e);
        }
    takeSnapshot();
    dragBoneId = id;
    dragEnd = end;
    doc.SetBoneSelection(part->id, id, end);
    jointPress = p;
    jointDragStarted = false;
    return true;
}

bool PoseEditorTools::SelectedBoneJointAt(const CanvasObject& part, const Bone* bone, PointF p, std::string& id,
                                          int& end) const {
    if (!bone) return false;
    for (int e = 0; e < 2; ++e) {
        const PointF j = JointOf(*bone, e);
        if (DistSq(PartPointToView(part, j.x, j.y, view), p) <= 100) {
            id = bone->id;
            end = e;
            return true;
        }
    }
    return false;
}

void PoseEditorTools::ApplyHandleDrag(CanvasObject& part, PointF pv, bool ctrl, bool alt) {
    Bone* bone = FindBone(part, dragBoneId);
    if (!bone) return;
    const double W = std::max<double>(part.width, 1), H = std::max<double>(part.height, 1), s = std::max(W, H);
    const PointF n = CanvasToPartNormalized(part, view.ViewToScene(pv));
    const double px = n.x * W, py = n.y * H;
    const double hx = bone->headX * W, hy = bone->headY * H, tx = bone->tailX * W, ty = bone->tailY * H;
    const double L = std::hypot(tx - hx, ty - hy);
    if (!(L > 0.0001)) return;
    const double ax = (tx - hx) / L, ay = (ty - hy) / L, nx = -ay, ny = ax;
    const double mx = (hx + tx) / 2, my = (hy + ty) / 2;
    const bool head = dragEnd == 0;
    const double jx = head ? hx : tx, jy = head ? hy : ty;
    const Bone* snap = nullptr;
    for (const Bone& b : snapshot)
        if (b.id == bone->id) snap = &b;
    switch (activeHandle) {
        case BoneHandle::CapLength: {
            const double k = head ? -1 : 1;
            const float c = float(std::max((((px - jx) * ax + (py - jy) * ay) * k - 28) / L, 0.0));
            (head ? bone->headCapLength : bone->tailCapLength) = c;
            break;
        }
        case BoneHandle::Width: {
            const double t = (px - mx) * nx + (py - my) * ny - 18;
            bone->width = float(std::max(2 * std::max(t, 1.0) / s, 0.01));
            if (!ctrl && snap && snap->width > 0.0001f) {
                const double ratio = bone->width / snap->width;
                bone->headCapWidth = float(std::max(ratio * snap->headCapWidth, 0.01));
                bone->tailCapWidth = float(std::max(ratio * snap->tailCapWidth, 0.01));
            }
            break;
        }
        case BoneHandle::Feather: {
            const double hw = std::max(s * bone->width, 1.0) / 2;
            const double ox = mx - hw * nx, oy = my - hw * ny;
            const double t = -((px - ox) * nx + (py - oy) * ny) - 18;
            const double f = hw <= 0.0001 ? 0 : std::min(std::max(t, 0.0) / hw, 1.0);
            bone->feather = float(std::max(f * f * hw / s, 0.0));
            break;
        }
        case BoneHandle::RoundCapOffset: {
            const double k = head ? 1 : -1, cap = head ? bone->headCapLength : bone->tailCapLength;
            const double shift = std::clamp(((px - jx) * ax + (py - jy) * ay) * k / L - cap, 0.0, std::max(cap, 0.0));
            const double lim = std::abs(cap * L);
            const double offset = std::clamp((px - jx) * nx + (py - jy) * ny, -lim, lim) / s;
            (head ? bone->headShift : bone->tailShift) = float(shift);
            (head ? bone->headOffset : bone->tailOffset) = float(offset);
            break;
        }
        case BoneHandle::RoundCapWidth: {
            const float w =
                float(std::max(2 * std::max(std::abs((px - jx) * nx + (py - jy) * ny) - 18, 1.0) / s, 0.01));
            (head ? bone->headCapWidth : bone->tailCapWidth) = w;
            if (ctrl || !snap) break;
            const float snapW = head ? snap->headCapWidth : snap->tailCapWidth;
            if (!alt && snapW <= 0.0001f) break;
            const double ratio = alt ? 1 : w / snapW;
            auto scaled = [&](float v) { return alt ? w : float(std::max(ratio * v, 0.01)); };
            std::string ownerId = bone->id;
            int ownerEnd = dragEnd;
            if (head && bone->hasParent) {
                ownerId = bone->parentId;
                ownerEnd = bone->parentEnd == 0 ? 0 : 1;
            }
            const std::string draggedId = bone->id;
            const int draggedEnd = dragEnd;
            if (!(ownerId == draggedId && ownerEnd == draggedEnd)) {
                Bone* owner = FindBone(part, ownerId);
                const Bone* ownerSnap = nullptr;
                for (const Bone& b : snapshot)
                    if (b.id == ownerId) ownerSnap = &b;
                if (owner && ownerSnap)
                    (ownerEnd == 0 ? owner->headCapWidth : owner->tailCapWidth) =
                        scaled(ownerEnd == 0 ? ownerSnap->headCapWidth : ownerSnap->tailCapWidth);
            }
            for (size_t i = 0; i < part.bones.size(); ++i) {
                Bone& b = part.bones[i];
                if (!b.hasParent || b.parentId != ownerId || (b.parentEnd == 0 ? 0 : 1) != ownerEnd) continue;
                if (b.id == draggedId && draggedEnd == 0) continue;
                for (const Bone& sb : snapshot)
                    if (sb.id == b.id) {
                        b.headCapWidth = scaled(sb.headCapWidth);
                        break;
                    }
            }
            break;
        }
        default:
            break;
    }
}

bool PoseEditorTools::JointMove(CQuillfenEditorDoc& doc, PointF p, bool buttonDown, bool ctrl, bool alt) {
    CanvasObject* part = PrimaryPart(doc);
    if (!part) return false;
    lastPoint = p;
    if (!buttonDown) {
        const BoneSelection& sel = doc.boneSelection;
        const Bone* selBone = sel.objectId == part->id ? FindBone(*part, sel.boneId) : nullptr;
        std::string id;
        int end = 1;
        // The joint a press here would grab.
        const bool found =
            SelectedBoneJointAt(*part, selBone, p, id, end) || HitTestJoint(*part, view, p, true, id, end);
        hoverBone = found ? id : std::string();
        hoverEnd = end;
        std::string mid;
        HitTestBoneMidpoint(*part, view, p, mid);
        hoverMidpoint = mid;
        return true;
    }
    if (snapshotObjectId != part->id) return true;  // the part changed under the drag
    if (activeHandle != BoneHandle::None) {
        ApplyHandleDrag(*part, p, ctrl, alt);
    } else if (boneMovePending || boneMoveActive) {
        if (boneMovePending) {
            if (DistSq(p, jointPress) < 4) return true;
            boneMovePending = false;
            boneMoveActive = true;
        }
        const PointF n = CanvasToPartNormalized(*part, view.ViewToScene(p));
        for (size_t i = 0; i < movedJoints.size(); ++i)
            if (Bone* b = FindBone(*part, movedJoints[i].first))
                SetJoint(*b, movedJoints[i].second,
                         {movedStarts[i].x + n.x - grabPoint.x, movedStarts[i].y + n.y - grabPoint.y});
    } else if (!grabbedJoints.empty() && !dragBoneId.empty()) {
        if (!jointDragStarted && std::abs(p.x - jointPress.x) < 2 && std::abs(p.y - jointPress.y) < 2) return true;
        jointDragStarted = true;
        const PointF n = CanvasToPartNormalized(*part, view.ViewToScene(p));
        for (const auto& j : grabbedJoints) {
            if (ctrl) {
                BoneList::MoveBoneEnd(part->bones, j.first, j.second, n.x, n.y);
            } else if (Bone* b = FindBone(*part, j.first)) {
                SetJoint(*b, j.second, n);
            }
        }
        jointPress = p;
    } else {
        return true;
    }
    part->BumpGeneration();
    doc.UpdateAllViews();
    return true;
}

bool PoseEditorTools::JointRelease(CQuillfenEditorDoc& doc) {
    CanvasObject* part = PrimaryPart(doc);
    const bool edited = boneMoveActive || jointDragStarted || activeHandle != BoneHandle::None;
    if (edited && part && !dragBoneId.empty() && snapshotObjectId == part->id) CommitBones(doc, part->id, snapshot);
    activeHandle = BoneHandle::None;
    boneMovePending = boneMoveActive = jointDragStarted = false;
    snapshot.clear();
    snapshotObjectId.clear();
    grabbedJoints.clear();
    movedJoints.clear();
    movedStarts.clear();
    if (DocumentHost* host = doc.Host()) host->SetStatusHint(std::string());
    doc.UpdateAllViews();
    return true;
}

bool PoseEditorTools::JointToolMoveCursor(CQuillfenEditorDoc& doc, PointF p) const {
    if (activeHandle != BoneHandle::None || boneMovePending || boneMoveActive || !grabbedJoints.empty()) return true;
    const CanvasObject* part = SelectedPoseEditorPart(doc);
    if (!part) return false;
    const BoneSelection& sel = doc.boneSelection;
    if (const Bone* b = sel.objectId == part->id ? FindBone(*part, sel.boneId) : nullptr)
        if (HitTestBoneHandles(*part, *b, sel.handleIndex == 0 ? 0 : 1, sel.selected, view, p) != BoneHandle::None)
            return true;
    std::string id;
    int end = 1;
    return HitTestJoint(*part, view, p, true, id, end) || HitTestBoneMidpoint(*part, view, p, id);
}

bool PoseEditorTools::DeleteSelectedBone(CQuillfenEditorDoc& doc) {
    CanvasObject* part = PrimaryPart(doc);
    // The selected bone: the one shown highlighted and edited in the tabs.
    const BoneSelection& sel = doc.boneSelection;
    if (!part || part->locked || sel.objectId != part->id || sel.boneId.empty()) return false;
    const std::string boneId = sel.boneId;
    if (!FindBone(*part, boneId)) return false;
    for (const Bone& b : part->bones)
        if (b.hasParent && b.parentId == boneId) return false;
    const std::vector<Bone> before = part->bones;
    part->bones.erase(std::remove_if(part->bones.begin(), part->bones.end(),
                                     [&](const Bone& b) { return b.id == boneId; }),
                      part->bones.end());
    part->BumpGeneration();
    const std::string partId = part->id;
    doc.RemoveBoneFromLinks(partId, boneId);
    doc.ClearBoneSelection();
    dragBoneId.clear();
    grabbedJoints.clear();
    snapshot.clear();
    CommitBones(doc, partId, before);
    doc.UpdateAllViews();
    return true;
}

// --- Link Joints ---

bool PoseEditorTools::LinkPress(CQuillfenEditorDoc& doc, PointF p) {
    JointLinkEnd end;
    if (!HitTestAnyJoint(doc.poseScene, view, p, end)) return true;
    linkDrag = true;
    linkSource = end;
    linkLast = p;
    linkTarget = JointLinkEnd{};
    linkTarget.end = 1;
    return true;
}

bool PoseEditorTools::LinkMove(CQuillfenEditorDoc& doc, PointF p) {
    JointLinkEnd found;
    const bool hit = HitTestAnyJoint(doc.poseScene, view, p, found);
    if (linkDrag) {
        linkLast = p;
        if (hit && found.objectId != linkSource.objectId) {
            linkTarget = found;
        } else {
            linkTarget = JointLinkEnd{};
            linkTarget.end = 1;
        }
    } else {
        hoveredEnd = found;
    }
    return true;
}

bool PoseEditorTools::LinkRelease(CQuillfenEditorDoc& doc) {
    if (linkDrag && !linkTarget.boneId.empty() && linkTarget.objectId != linkSource.objectId) {
        const std::vector<JointLink> before = doc.poseLinkGroups;
        ApplyLinkDrop(doc.poseLinkGroups, linkSource, linkTarget);
        doc.CommitLinks(before, doc.poseLinkGroups);
        doc.SetModifiedFlag(true);
        doc.UpdateAllViews();
    }
    linkDrag = false;
    linkSource = JointLinkEnd{};
    linkTarget = JointLinkEnd{};
    linkTarget.end = 1;
    return true;
}

bool PoseEditorTools::RemoveHoveredLinkEnd(CQuillfenEditorDoc& doc) {
    if (hoveredEnd.objectId.empty() || hoveredEnd.boneId.empty()) return false;
    const std::vector<JointLink> before = doc.poseLinkGroups;
    if (!RemoveLinkEnd(doc.poseLinkGroups, hoveredEnd)) return false;
    doc.CommitLinks(before, doc.poseLinkGroups);
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}

void PoseEditorTools::CaptureLost(CQuillfenEditorDoc& doc, int tool) {
    if (partDrag || marqueePending || marqueeActive) PartRelease(doc, lastPoint);
    (void)tool;
    if (addActive) AddBoneRelease(doc, lastPoint);
    if (activeHandle != BoneHandle::None || boneMovePending || boneMoveActive || !grabbedJoints.empty())
        JointRelease(doc);
    if (linkDrag) LinkRelease(doc);
}
