#include "canvas_view/CanvasPoseSession.h"

#include "document/CQuillfenEditorDoc.h"
#include "posable/PosedPreview.h"
#include "posable/RuntimeScene.h"

#include <algorithm>

namespace {

bool SamePoses(bool hasA, const std::vector<PartPose>& a, bool hasB, const std::vector<PartPose>& b) {
    if (hasA != hasB || a.size() != b.size()) return false;
    return std::equal(a.begin(), a.end(), b.begin(), [](const PartPose& p, const PartPose& q) {
        return p.objectId == q.objectId && p.x == q.x && p.y == q.y && p.width == q.width && p.height == q.height &&
               p.rotation == q.rotation && p.opacity == q.opacity && p.headX == q.headX && p.headY == q.headY &&
               p.tailX == q.tailX && p.tailY == q.tailY;
    });
}

}  // namespace

bool CanvasPoseSession::Open(CQuillfenEditorDoc& doc, const std::string& id) {
    const CanvasObject* o = doc.mainScene.FindObject(id);
    if (!o || o->kind != kObjectPosable) return false;
    SceneRect u;
    float sx = 1, sy = 1;
    if (o->GetPartsBounds(u) && u.width > 0 && u.height > 0) sx = o->width / u.width, sy = o->height / u.height;
    if (open && objectId == id) {
        if (SamePoses(o->hasPose, o->partPoses, builtHasPose, builtPoses)) return true;
        Close(&doc, false);
    }
    // Another object's pose is kept, not dropped, when its session is replaced.
    if (open) Close(&doc, true);
    o = doc.mainScene.FindObject(id);
    if (!o) return false;
    objectId = id;
    scaleX = sx, scaleY = sy;
    CanvasDocument loaded;
    std::vector<JointLink> userLinks;
    CanvasDocument::LoadFromScene(o->posableScene, loaded, userLinks);
    BuildRuntimeDocument(loaded, userLinks, runtime, links, false);
    rig = RuntimeRig{};
    rig.doc = &runtime;
    rig.links = &links;
    rig.CaptureRest();
    if (o->hasPose) ApplyPartPoses(runtime, o->partPoses);
    builtHasPose = o->hasPose;
    builtPoses = o->partPoses;
    PosePreviewImage image;
    SceneRect b;
    if (RenderPosedScene(runtime, image, b) && b.width > 0 && b.height > 0) bounds = b;
    else bounds = {0, 0, 1, 1};
    dragActive = false;
    dragPartId.clear();
    dirty = false;
    open = true;
    return true;
}

bool CanvasPoseSession::CommitPose(CQuillfenEditorDoc& doc) {
    if (!open || !dirty) return false;
    dirty = false;
    if (!doc.mainScene.FindObject(objectId)) return false;
    // Copies: storing the pose updates the views, which build the session
    // again from the posed object.
    const std::string id = objectId;
    const std::vector<PartPose> poses = CanvasDocument::BuildPartPoses(runtime);
    const float sx = scaleX, sy = scaleY, ox = bounds.x, oy = bounds.y;
    RecordEditOptions options;
    options.mainScene = true;
    // The pose made on the canvas is one undo step of the whole object.
    return doc.RecordEdit(
        kUndoWholeObject,
        [&](UndoStep& step) {
            CanvasObject* o = doc.mainScene.FindObject(id);
            if (!o) return false;
            step.objectId = id;
            step.objectA = *o;
            if (!::CommitPose(doc, id, poses, sx, sy, ox, oy)) return false;
            o = doc.mainScene.FindObject(id);
            if (!o) return false;
            step.objectB = *o;
            return true;
        },
        options);
}

void CanvasPoseSession::Close(CQuillfenEditorDoc* doc, bool commit) {
    if (!open) return;
    if (commit && doc) CommitPose(*doc);
    open = false;
    objectId.clear();
    builtHasPose = false;
    builtPoses.clear();
    runtime.Reset();
    links.clear();
    rig = RuntimeRig{};
    dragActive = false;
    dragPartId.clear();
    dirty = false;
}

bool CanvasPoseSession::RuntimeToCanvas(const CanvasDocument& main, PointF r, PointF& out) const {
    const CanvasObject* o = main.FindObject(objectId);
    if (!o) return false;
    const ScenePoint local{(r.x - bounds.x) / std::max(bounds.width, 1.0f) * o->width,
                           (r.y - bounds.y) / std::max(bounds.height, 1.0f) * o->height};
    const ScenePoint c = o->LocalToCanvas(local);
    out = {c.x, c.y};
    return true;
}

bool CanvasPoseSession::CanvasToRuntime(const CanvasDocument& main, PointF c, PointF& out) const {
    const CanvasObject* o = main.FindObject(objectId);
    if (!o || !(o->width > 0) || !(o->height > 0)) return false;
    const ScenePoint l = o->CanvasToLocal({c.x, c.y});
    out = {l.x / o->width * std::max(bounds.width, 1.0f) + bounds.x,
           l.y / o->height * std::max(bounds.height, 1.0f) + bounds.y};
    return true;
}

bool CanvasPoseSession::PickJoint(const CanvasDocument& main, float zoom, float ox, float oy, float px, float py,
                                  std::string& partId, int& end) {
    if (!open) return false;
    float best = 196;
    bool found = false;
    for (Layer& layer : runtime.layers) {
        for (CanvasObject& part : layer.objects) {
            if (!part.visible || part.bones.size() != 1) continue;
            const Bone& bone = part.bones[0];
            PointF h, t;
            if (!RuntimeToCanvas(main, NormalizedToCanvas(part, bone.headX, bone.headY), h) ||
                !RuntimeToCanvas(main, NormalizedToCanvas(part, bone.tailX, bone.tailY), t))
                continue;
            const float hx = h.x * zoom + ox - px, hy = h.y * zoom + oy - py;
            const float tx = t.x * zoom + ox - px, ty = t.y * zoom + oy - py;
            if (hx * hx + hy * hy <= best) {
                best = hx * hx + hy * hy;
                partId = part.id, end = 0, found = true;
            }
            if (tx * tx + ty * ty < best) {
                best = tx * tx + ty * ty;
                partId = part.id, end = 1, found = true;
            }
        }
    }
    return found;
}

bool CanvasPoseSession::DragTo(const CanvasDocument& main, PointF canvas) {
    CanvasObject* part = runtime.FindObject(dragPartId);
    const CanvasObject* posed = main.FindObject(objectId);
    if (!part || part->bones.size() != 1 || !posed) return false;
    PointF r;
    if (!CanvasToRuntime(main, canvas, r)) return false;
    if (dragEnd == 1 && posed->kind == kObjectPosable && posed->posableScene.usePartialIK &&
        rig.SolveChainIK(dragPartId, r)) {
        dirty = true;
        return true;
    }
    // A runtime part's own id names it in the rig; its one bone is the joint's bone.
    const std::string boneId = part->bones[0].id;
    std::string sourceId = part->id;
    if (!rig.MoveJoint(JointLinkEnd{sourceId, boneId, dragEnd}, r)) return false;
    rig.SatisfyLinks();
    dirty = true;
    return true;
}
