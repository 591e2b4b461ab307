#include "posable/PoseTabEdits.h"

#include "document/CQuillfenEditorDoc.h"
#include "posable/PosedPreview.h"

#include <cctype>

CanvasObject* FindPoseEditorPart(CQuillfenEditorDoc& doc) {
    if (!doc.IsPoseEditorOpen()) return nullptr;
    for (Layer& layer : doc.poseScene.layers)
        if (!layer.objects.empty()) return &layer.objects.front();
    return nullptr;
}

PoseObjectFieldResult EditPoseObjectField(const ObjectTransform& current, PoseObjectField field, float value,
                                          bool linked, const ObjectTransform* snapshot) {
    PoseObjectFieldResult r{current, false};
    ObjectTransform& t = r.transform;
    switch (field) {
    case PoseObjectField::X: t.x = value; break;
    case PoseObjectField::Y: t.y = value; break;
    case PoseObjectField::Width: t.width = value; break;
    case PoseObjectField::Height: t.height = value; break;
    }
    const bool side = field == PoseObjectField::Width || field == PoseObjectField::Height;
    if (!linked || !snapshot || !side || !(snapshot->width > 0) || !(snapshot->height > 0)) return r;
    if (field == PoseObjectField::Width)
        t.height = snapshot->height / snapshot->width * t.width;
    else
        t.width = snapshot->width / snapshot->height * t.height;
    r.otherSideChanged = true;
    return r;
}

std::string TrimName(const std::string& text) {
    auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    size_t begin = 0, end = text.size();
    while (begin < end && space(text[begin])) ++begin;
    while (end > begin && space(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

PartNameCommit CommitPoseEditorPartName(CQuillfenEditorDoc& doc, const std::string& typed, std::string& shown) {
    CanvasObject* part = FindPoseEditorPart(doc);
    if (!part) return PartNameCommit::NoPart;
    const std::string name = TrimName(typed);
    PartNameCommit result = PartNameCommit::Unchanged;
    if (name.empty()) {
        result = PartNameCommit::Restored;
    } else if (name != part->name) {
        const std::string id = part->id;
        doc.RecordEdit(kUndoWholeObject, [&](UndoStep& step) {
            CanvasObject* o = doc.poseScene.FindObject(id);
            if (!o) return false;
            step.objectId = id;
            step.objectA = *o;
            o->name = name;
            step.objectB = *o;
            return true;
        });
        result = PartNameCommit::Renamed;
    }
    part = FindPoseEditorPart(doc);
    shown = part ? part->name : std::string();
    return result;
}

bool ResetPosableObjectPose(CQuillfenEditorDoc& doc, const LivePose* live) {
    CanvasDocument& scene = doc.mainScene;
    if (doc.workspaceMode != kWorkspaceCanvas || scene.selectedIds.size() != 1 || scene.primarySelectedId.empty())
        return false;
    const std::string id = scene.primarySelectedId;
    const CanvasObject* found = scene.FindObject(id);
    if (!found || found->kind != kObjectPosable || !found->hasPosableScene) return false;
    const CanvasObject original = *found;
    const bool wasModified = doc.IsModified();
    RecordEditOptions options;
    options.mainScene = true;
    return doc.RecordEdit(
        kUndoWholeObject,
        [&](UndoStep& step) {
            // The pose on screen is what undo brings back, so a live one is
            // stored in the object first.
            if (live) CommitPose(doc, id, live->poses, live->scaleX, live->scaleY, live->originX, live->originY);
            CanvasObject* o = scene.FindObject(id);
            if (!o) return false;
            step.objectId = id;
            step.objectA = *o;
            // Kept at its displayed size: the render is stretched by the
            // object's size over its parts' bounds, as the preview is now.
            float sx = 1, sy = 1;
            SceneRect bounds;
            if (o->GetPartsBounds(bounds) && bounds.width > 0 && bounds.height > 0)
                sx = o->width / bounds.width, sy = o->height / bounds.height;
            if (!ResetPoseInPlace(*o, sx, sy)) {
                *o = original;
                o->InvalidateCaches();
                doc.SetModifiedFlag(wasModified);
                return false;
            }
            step.objectB = *o;
            return true;
        },
        options);
}

bool SetPosablePartialIK(CQuillfenEditorDoc& doc, const std::string& objectId, bool on) {
    CanvasObject* o = objectId.empty() ? nullptr : doc.mainScene.FindObject(objectId);
    if (!o || o->kind != kObjectPosable) return false;
    o->posableScene.usePartialIK = on;
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}
