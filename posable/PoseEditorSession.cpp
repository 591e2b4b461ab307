#include "posable/PoseEditorSession.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/ClipboardFormats.h"
#include "posable/PosedPreview.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPlainSceneSide = 2000;
constexpr float kMinPoseSceneSide = 3000;
constexpr float kMultiObjectMargin = 512;

float RoundHalfAway(double v) { return float(std::round(v)); }

ImagePartRecord RecordOf(const ImagePart& p) {
    ImagePartRecord r;
    r.id = p.id;
    r.name = p.name;
    r.source = p.source;
    r.encoded = p.encoded;
    r.pixelWidth = p.pixelWidth;
    r.pixelHeight = p.pixelHeight;
    r.offsetX = p.offsetX;
    r.offsetY = p.offsetY;
    r.displayWidth = p.displayWidth;
    r.displayHeight = p.displayHeight;
    r.opacity = p.opacity;
    r.visible = p.visible;
    r.z = p.z;
    return r;
}

bool Contains(const std::vector<std::string>& ids, const std::string& id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool CommitPaintSession(CQuillfenEditorDoc& doc) { return doc.CommitPaintSession(); }

bool NothingVisible(const PosableScene& scene) {
    return std::none_of(scene.parts.begin(), scene.parts.end(), [](const PosablePart& p) { return p.visible; });
}

// The object as Finish leaves it: made posable from the scene, placed so that
// its parts stay where the picture it showed had them.
bool FinishedObject(const CanvasObject& object, const PosableScene& scene, float scaleX, float scaleY,
                    CanvasObject& out) {
    PosableScene shown;
    const CanvasObject* posedBy = nullptr;
    if (object.kind == kObjectPosable) {
        shown = object.posableScene;
        posedBy = &object;
    } else {
        PosableSceneFromObject(object, shown);
    }
    float originX = 0, originY = 0;
    out = object;
    if (PosableSceneRenderOrigin(shown, posedBy, originX, originY))
        return ApplyPosableSceneInPlace(out, scene, scaleX, scaleY, originX, originY);
    return ApplyPosableScene(out, scene, scaleX, scaleY);
}

// Asks the frame for the workspace mode; true when the document is in it
// afterwards. A document without a frame (a tool or a test) switches itself.
bool SwitchWorkspace(CQuillfenEditorDoc& doc, int mode) {
    if (DocumentHost* host = doc.Host())
        host->SetWorkspaceMode(mode);
    else
        doc.SetEditorMode(mode);
    return doc.workspaceMode == mode;
}

}  // namespace

bool PosableSceneFromObject(const CanvasObject& object, PosableScene& scene) {
    scene = PosableScene{};
    scene.width = scene.height = kPlainSceneSide;
    scene.colour = kPosableSceneDefaultColour;
    SceneRect b;
    if (!object.GetPartsBounds(b) || !(b.width > 0) || !(b.height > 0) || !std::isfinite(b.x) ||
        !std::isfinite(b.y) || !std::isfinite(b.width) || !std::isfinite(b.height))
        b = SceneRect{0, 0, object.width, object.height};
    PosablePart part;
    part.id = object.id + "_item";
    part.name = object.name;
    part.x = RoundHalfAway((kPlainSceneSide - b.width) / 2.0);
    part.y = RoundHalfAway((kPlainSceneSide - b.height) / 2.0);
    part.width = std::max(RoundHalfAway(b.width), 1.0f);
    part.height = std::max(RoundHalfAway(b.height), 1.0f);
    part.rotation = 0;
    part.opacity = object.opacity;
    part.visible = object.visible;
    part.locked = false;
    part.z = 0;
    for (const ImagePart& p : object.parts) {
        ImagePartRecord r = RecordOf(p);
        r.offsetX -= b.x;
        r.offsetY -= b.y;
        part.parts.push_back(std::move(r));
    }
    scene.parts.push_back(std::move(part));
    return true;
}

void LoadPoseEditorScene(CQuillfenEditorDoc& doc, const PosableScene& scene) {
    CanvasDocument::LoadFromScene(scene, doc.poseScene, doc.poseLinkGroups);
    // The Pose Editor shows the stored colour as it is, transparent included.
    doc.poseScene.canvasColour = scene.colour;
    doc.poseScene.ResolveJointLinks(doc.poseLinkGroups);
    doc.poseScene.ClearSelection();
}

PosableScene ExportPoseEditorScene(const CQuillfenEditorDoc& doc) {
    const CanvasDocument& s = doc.poseScene;
    PosableScene scene;
    scene.width = s.width;
    scene.height = s.height;
    scene.colour = s.canvasColour;
    for (const Layer& layer : s.layers)
        for (const CanvasObject& o : layer.objects) {
            PosablePart part;
            part.id = o.id;
            part.name = o.name;
            part.x = o.x;
            part.y = o.y;
            part.width = o.width;
            part.height = o.height;
            part.rotation = o.rotation;
            part.opacity = o.opacity;
            part.visible = o.visible;
            part.locked = o.locked;
            part.z = o.z;
            for (const ImagePart& p : o.parts) part.parts.push_back(RecordOf(p));
            part.bones = o.bones;
            scene.parts.push_back(std::move(part));
        }
    scene.links = doc.poseLinkGroups;
    scene.usePartialIK = false;
    return scene;
}

bool PosableEditorProvider::EnterBoneEditor(CQuillfenEditorDoc& doc) {
    if (doc.workspaceMode != kWorkspaceCanvas) return false;
    if (!CommitPaintSession(doc)) return false;
    const std::string id = doc.mainScene.primarySelectedId;
    const CanvasObject* object = id.empty() ? nullptr : doc.mainScene.FindObject(id);
    if (!object) return false;

    SceneRect b;
    if (object->GetPartsBounds(b) && b.width > 0 && b.height > 0) {
        doc.poseEntryScaleX = object->width / b.width;
        doc.poseEntryScaleY = object->height / b.height;
    } else {
        doc.poseEntryScaleX = doc.poseEntryScaleY = 1.0f;
    }
    PosableScene scene;
    if (object->kind == kObjectPosable)
        scene = object->posableScene;
    else if (!PosableSceneFromObject(*object, scene))
        return false;
    const bool fromPlain = object->kind != kObjectPosable;

    LoadPoseEditorScene(doc, scene);
    doc.ClearPoseEditorUndo();
    doc.poseEditorObjectId = id;
    doc.enteredFromPlainObject = fromPlain;
    doc.itemPixelsEdited = false;
    doc.SetActiveTool(kToolMove);
    doc.ClearBoneSelection();

    if (!SwitchWorkspace(doc, kWorkspacePoseEditor)) {
        doc.poseEditorObjectId.clear();
        return false;
    }
    doc.SetEditorMode(kWorkspacePoseEditor);
    doc.UpdateAllViews();
    return true;
}

bool PosableEditorProvider::FinishBoneEditor(CQuillfenEditorDoc& doc, std::string& why) {
    why.clear();
    if (doc.poseEditorObjectId.empty()) return false;
    // A paint session that cannot be stored has said why and stays open.
    if (!CommitPaintSession(doc)) return false;
    CanvasObject* object = doc.mainScene.FindObject(doc.poseEditorObjectId);
    if (!object) {
        why = "The object opened in the Pose Editor is no longer in the picture.";
        return false;
    }

    PosableScene scene = ExportPoseEditorScene(doc);
    const bool untouchedPlain = doc.enteredFromPlainObject && scene.parts.size() == 1 &&
                                scene.parts.front().bones.empty() && !doc.itemPixelsEdited;
    if (!untouchedPlain) {
        // The Pose Editor scene keeps no IK switch; the object's own stays.
        if (object->kind == kObjectPosable) scene.usePartialIK = object->posableScene.usePartialIK;
        CanvasObject after = *object;
        if (!FinishedObject(*object, scene, doc.poseEntryScaleX, doc.poseEntryScaleY, after)) {
            why = NothingVisible(scene) ? "No part of the object is visible: show or add a part before finishing."
                                        : "The object's picture could not be made (too large or out of memory).";
            return false;
        }
        // One step on the canvas: undo gives back the object as it was before
        // the Pose Editor, redo the object as finished, so older steps of the
        // canvas never act on a picture they did not make.
        if (WriteObjectPayload(after) != WriteObjectPayload(*object)) {
            const bool recorded = doc.RecordEdit(
                kUndoWholeObject,
                [&](UndoStep& step) {
                    step.objectId = object->id;
                    step.objectA = *object;
                    *object = std::move(after);
                    step.objectB = *object;
                },
                {.mainScene = true, .recordOnly = true});
            // Refused by the history: the object is as it was, the user told.
            if (!recorded) return false;
        }
    }

    doc.poseEditorObjectId.clear();
    doc.enteredFromPlainObject = false;
    doc.itemPixelsEdited = false;
    doc.poseScene.Reset();
    doc.poseEntryScaleX = doc.poseEntryScaleY = 1.0f;
    doc.ClearPoseEditorUndo();
    if (!SwitchWorkspace(doc, kWorkspaceCanvas)) {
        CommitPaintSession(doc);
        doc.SetEditorMode(kWorkspaceCanvas);
        doc.UpdateAllViews();
        doc.RefreshPropertiesPane();
    }
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    return true;
}

bool PosableEditorProvider::CanCreateMultiObject(const CQuillfenEditorDoc& doc) const {
    if (doc.workspaceMode != kWorkspaceCanvas) return false;
    const CanvasDocument& scene = doc.mainScene;
    int count = 0;
    for (const Layer& layer : scene.layers) {
        if (layer.locked) continue;
        for (const CanvasObject& o : layer.objects)
            if (!o.locked && Contains(scene.selectedIds, o.id) && ++count > 1) return true;
    }
    return false;
}

void PosableEditorProvider::CreateMultiObject(CQuillfenEditorDoc& doc) { CreateMultiObjectChecked(doc); }

bool PosableEditorProvider::CreateMultiObjectChecked(CQuillfenEditorDoc& doc) {
    if (!CanCreateMultiObject(doc)) return false;
    CanvasDocument& scene = doc.mainScene;

    std::vector<UndoObjectEntry> gathered;
    std::string primaryLayer;
    for (const Layer& layer : scene.layers) {
        if (layer.locked) continue;
        std::vector<const CanvasObject*> picked;
        for (const CanvasObject& o : layer.objects)
            if (!o.locked && Contains(scene.selectedIds, o.id)) picked.push_back(&o);
        std::stable_sort(picked.begin(), picked.end(),
                         [](const CanvasObject* a, const CanvasObject* b) { return a->z < b->z; });
        for (const CanvasObject* o : picked) {
            if (o->id == scene.primarySelectedId) primaryLayer = layer.id;
            gathered.push_back({layer.id, *o});
        }
    }
    if (gathered.size() < 2) return false;
    const std::string targetLayerId = primaryLayer.empty() ? gathered.front().layerId : primaryLayer;

    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (size_t i = 0; i < gathered.size(); ++i) {
        const SceneRect r = GetRotatedBounds(gathered[i].object);
        if (i == 0) {
            minX = r.x, minY = r.y, maxX = r.x + r.width, maxY = r.y + r.height;
        } else {
            minX = std::min<double>(minX, r.x);
            minY = std::min<double>(minY, r.y);
            maxX = std::max<double>(maxX, r.x + r.width);
            maxY = std::max<double>(maxY, r.y + r.height);
        }
    }
    const double uw = std::max(maxX - minX, 1.0), uh = std::max(maxY - minY, 1.0);
    if (!std::isfinite(uw) || !std::isfinite(uh)) return false;

    PosableScene posable;
    posable.colour = kPosableSceneDefaultColour;
    posable.width = float(std::max(uw + kMultiObjectMargin, double(kMinPoseSceneSide)));
    posable.height = float(std::max(uh + kMultiObjectMargin, double(kMinPoseSceneSide)));
    posable.usePartialIK = false;
    for (size_t k = 0; k < gathered.size(); ++k) {
        const CanvasObject& o = gathered[k].object;
        PosablePart part;
        part.id = o.id + "_item";
        part.name = o.name;
        part.x = RoundHalfAway(o.x - minX + (posable.width - uw) / 2);
        part.y = RoundHalfAway(o.y - minY + (posable.height - uh) / 2);
        part.width = std::max(RoundHalfAway(o.width), 1.0f);
        part.height = std::max(RoundHalfAway(o.height), 1.0f);
        part.rotation = o.rotation;
        part.opacity = o.opacity;
        part.visible = o.visible;
        part.locked = false;
        part.z = int32_t(k);
        for (const ImagePart& p : o.parts) part.parts.push_back(RecordOf(p));
        posable.parts.push_back(std::move(part));
    }

    CanvasObject fresh;
    fresh.id = doc.MakeUniqueObjectId();
    fresh.name = doc.MakeCopyName("Posable");
    fresh.rotation = 0;
    fresh.opacity = 1.0f;
    fresh.visible = true;
    {
        const Layer* target = scene.FindLayer(targetLayerId);
        fresh.z = target && !target->objects.empty() ? target->HighestZ() + 1 : 0;
    }
    if (!ApplyPosableScene(fresh, posable, 1.0f, 1.0f)) return false;
    fresh.x = RoundHalfAway(minX);
    fresh.y = RoundHalfAway(minY);

    const std::string activeBefore = scene.activeLayerId;
    const std::string primaryBefore = scene.primarySelectedId;
    const std::vector<std::string> selectionBefore = scene.selectedIds;

    for (Layer& layer : scene.layers) {
        if (layer.locked) continue;
        std::erase_if(layer.objects, [&](const CanvasObject& o) {
            return std::any_of(gathered.begin(), gathered.end(),
                               [&](const UndoObjectEntry& e) { return e.object.id == o.id; });
        });
    }
    Layer* target = scene.FindLayer(targetLayerId);
    if (!target) return false;
    target->objects.push_back(fresh);
    target->NormalizeZ();
    scene.SetActiveLayer(targetLayerId);
    scene.selectedIds.clear();
    scene.selectedMaskObjectId.clear();
    scene.primarySelectedId = fresh.id;
    scene.selectedIds.push_back(fresh.id);

    if (!doc.applyingUndo) {
        UndoStep step;
        step.kind = kUndoObjectsToPosable;
        step.layerId = targetLayerId;
        step.objectId = fresh.id;
        if (const CanvasObject* stored = scene.FindObject(fresh.id)) step.objectA = *stored;
        step.objectEntries = std::move(gathered);
        step.activeLayerBefore = activeBefore;
        step.activeLayerAfter = scene.activeLayerId;
        step.primaryBefore = primaryBefore;
        step.selectionBefore = selectionBefore;
        step.primaryAfter = scene.primarySelectedId;
        step.selectionAfter = scene.selectedIds;
        doc.PushMainUndo(step);
    }
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews();
    EnterBoneEditor(doc);
    return true;
}
