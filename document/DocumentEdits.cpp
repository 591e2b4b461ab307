// The document's edit operations: record-only commits of live edits, direct
// edits with undo, and the filter-stack edits that are not recorded.
#include "document/CQuillfenEditorDoc.h"

#include "filters/EffectRegistry.h"

#include <algorithm>
#include <cmath>

namespace {

// The selection part of a step, taken from the scene as it is now.
void StoreSelection(const CanvasDocument& scene, UndoStep& step, bool before, bool after) {
    if (before) {
        step.activeLayerBefore = scene.activeLayerId;
        step.primaryBefore = scene.primarySelectedId;
        step.selectionBefore = scene.selectedIds;
    }
    if (after) {
        step.activeLayerAfter = scene.activeLayerId;
        step.primaryAfter = scene.primarySelectedId;
        step.selectionAfter = scene.selectedIds;
    }
}

// Nearest integer, halves away from zero.
float RoundHalfAway(float v) { return std::round(v); }

}  // namespace

// --- Record-only commits ---

void CQuillfenEditorDoc::CommitObjectTransform(const std::string& objectId, const ObjectTransform& before,
                                               const ObjectTransform& after) {
    if (applyingUndo || objectId.empty() || TransformsEqual(before, after)) return;
    UndoStep step;
    step.kind = kUndoObjectTransform;
    step.objectId = objectId;
    step.transformBefore = before;
    step.transformAfter = after;
    StoreSelection(SceneInUse(), step, true, true);
    PushUndo(step);
}

void CQuillfenEditorDoc::CommitObjectTransforms(const std::vector<UndoTransformEntry>& entries) {
    if (applyingUndo || entries.empty()) return;
    UndoStep step;
    step.kind = kUndoObjectTransforms;
    for (const UndoTransformEntry& e : entries)
        if (!e.objectId.empty() && !TransformsEqual(e.before, e.after)) step.transformEntries.push_back(e);
    if (step.transformEntries.empty()) return;
    StoreSelection(SceneInUse(), step, true, true);
    PushUndo(step);
}

void CQuillfenEditorDoc::SetBoneDefinitions(const std::string& objectId, const std::vector<Bone>& before,
                                            const std::vector<Bone>& after) {
    if (applyingUndo || objectId.empty() || BoneListsEqual(before, after)) return;
    UndoStep step;
    step.kind = kUndoBones;
    step.objectId = objectId;
    step.bonesBefore = before;
    step.bonesAfter = after;
    StoreSelection(SceneInUse(), step, true, true);
    PushUndo(step);
}

void CQuillfenEditorDoc::CommitLinks(const std::vector<JointLink>& before, const std::vector<JointLink>& after) {
    if (applyingUndo) return;
    // Links carry no ids and no selection: undoing them leaves the first layer
    // active and nothing selected.
    UndoStep step;
    step.kind = kUndoJointLinks;
    step.linksBefore = before;
    step.linksAfter = after;
    PushUndo(step);
}

void CQuillfenEditorDoc::CommitPhotoBashParams(const std::string& objectId, const PhotoBashParams& before,
                                               const PhotoBashParams& after) {
    if (applyingUndo || objectId.empty() || PhotoBashEqual(before, after)) return;
    UndoStep step;
    step.kind = kUndoPhotoBash;
    step.objectId = objectId;
    step.photoBashBefore = before;
    step.photoBashAfter = after;
    StoreSelection(SceneInUse(), step, true, true);
    PushUndo(step);
}

void CQuillfenEditorDoc::CommitLightConeParams(const std::string& objectId, const LightConeParams& before,
                                               const LightConeParams& after) {
    if (applyingUndo || objectId.empty() || before == after) return;
    UndoStep step;
    step.kind = kUndoLightCone;
    step.objectId = objectId;
    step.lightBefore = before;
    step.lightAfter = after;
    StoreSelection(SceneInUse(), step, true, true);
    PushUndo(step);
}

// --- Direct edits of the main scene. Their steps go on the main pair, so they
// are replayed on the main scene even when made while the Pose Editor is open.

void CQuillfenEditorDoc::SetLayerVisible(const std::string& layerId, bool visible) {
    Layer* layer = mainScene.FindLayer(layerId);
    if (!layer || layer->visible == visible) return;
    UndoStep step;
    step.kind = kUndoLayerVisible;
    step.layerId = layerId;
    step.flagBefore = layer->visible;
    step.flagAfter = visible;
    step.activeLayerBefore = step.activeLayerAfter = mainScene.activeLayerId;
    step.primaryBefore = step.primaryAfter = mainScene.primarySelectedId;
    mainScene.SetLayerVisible(layerId, visible);
    PushMainUndo(step);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::SetLayerLocked(const std::string& layerId, bool locked) {
    Layer* layer = mainScene.FindLayer(layerId);
    if (!layer || layer->locked == locked) return;
    UndoStep step;
    step.kind = kUndoLayerLocked;
    step.layerId = layerId;
    step.flagBefore = layer->locked;
    step.flagAfter = locked;
    step.activeLayerBefore = mainScene.activeLayerId;
    step.primaryBefore = mainScene.primarySelectedId;
    mainScene.SetLayerLocked(layerId, locked);
    if (locked) mainScene.ClearSelection();
    step.activeLayerAfter = mainScene.activeLayerId;
    step.primaryAfter = mainScene.primarySelectedId;
    PushMainUndo(step);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::SetObjectVisible(const std::string& objectId, bool visible) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->visible == visible) return;
    UndoStep step;
    step.kind = kUndoObjectVisible;
    step.objectId = objectId;
    step.flagBefore = object->visible;
    step.flagAfter = visible;
    step.activeLayerBefore = step.activeLayerAfter = mainScene.activeLayerId;
    step.primaryBefore = step.primaryAfter = mainScene.primarySelectedId;
    object->visible = visible;
    object->InvalidateCaches();
    PushMainUndo(step);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::SetObjectLocked(const std::string& objectId, bool locked) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->locked == locked) return;
    UndoStep step;
    step.kind = kUndoObjectLocked;
    step.objectId = objectId;
    step.flagBefore = object->locked;
    step.flagAfter = locked;
    step.activeLayerBefore = mainScene.activeLayerId;
    step.primaryBefore = mainScene.primarySelectedId;
    object->locked = locked;
    if (locked && objectId == mainScene.primarySelectedId) mainScene.ClearSelection();
    step.activeLayerAfter = mainScene.activeLayerId;
    step.primaryAfter = mainScene.primarySelectedId;
    PushMainUndo(step);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::SetObjectBlendMode(const std::string& objectId, uint8_t blendMode) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->blendMode == blendMode) return;
    UndoStep step;
    step.kind = kUndoBlendMode;
    step.objectId = objectId;
    step.blendBefore = object->blendMode;
    step.blendAfter = blendMode;
    StoreSelection(mainScene, step, true, true);
    object->blendMode = blendMode;
    PushMainUndo(step);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::SetObjectClipToBelow(const std::string& objectId, bool clip) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->clipToLayerBelow == clip) return;
    UndoStep step;
    step.kind = kUndoClipToBelow;
    step.objectId = objectId;
    step.clipBefore = object->clipToLayerBelow;
    step.clipAfter = clip;
    StoreSelection(mainScene, step, true, true);
    object->clipToLayerBelow = clip;
    PushMainUndo(step);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::SetCanvasColor(uint32_t argb) {
    if (mainScene.canvasColour == argb) return;
    UndoStep step;
    step.kind = kUndoCanvasColour;
    step.colourBefore = mainScene.canvasColour;
    step.colourAfter = argb;
    step.activeLayerBefore = step.activeLayerAfter = mainScene.activeLayerId;
    step.primaryBefore = step.primaryAfter = mainScene.primarySelectedId;
    mainScene.canvasColour = argb;
    PushMainUndo(step);
    SetModifiedFlag(true);
    UpdateAllViews();
}

// --- Direct edits of the scene in use ---

bool CQuillfenEditorDoc::FindObjectLayer(const std::string& objectId, std::string& layerId, int32_t& index) const {
    for (const Layer& layer : SceneInUse().layers) {
        const int32_t i = layer.IndexOfObject(objectId);
        if (i >= 0) {
            layerId = layer.id;
            index = i;
            return true;
        }
    }
    return false;
}

bool CQuillfenEditorDoc::MoveObjectToLayer(const std::string& objectId, const std::string& layerId, int32_t index) {
    CanvasDocument& scene = SceneInUse();
    std::string oldLayer, newLayer;
    int32_t oldIndex = 0, newIndex = 0;
    if (!FindObjectLayer(objectId, oldLayer, oldIndex)) return false;
    if (!scene.MoveObjectToLayer(objectId, layerId, index)) return false;
    if (!FindObjectLayer(objectId, newLayer, newIndex)) return false;
    if (newLayer == oldLayer && newIndex == oldIndex) return false;
    UndoStep step;
    step.kind = kUndoObjectMoved;
    step.objectId = objectId;
    step.targetLayerBefore = oldLayer;
    step.targetLayerAfter = newLayer;
    step.indexBefore = oldIndex;
    step.indexAfter = newIndex;
    // The active layer of the scene the step is replayed on.
    step.activeLayerBefore = step.activeLayerAfter = scene.activeLayerId;
    step.primaryBefore = step.primaryAfter = objectId;
    PushUndo(step);
    SetModifiedFlag(true);
    UpdateAllViews();
    return true;
}

void CQuillfenEditorDoc::AddLayer() {
    if (workspaceMode == kWorkspacePoseEditor) {
        poseScene.AddLayer();
        SetModifiedFlag(true);
        UpdateAllViews();
        return;
    }
    UndoStep step;
    step.kind = kUndoLayerAdded;
    step.activeLayerBefore = mainScene.activeLayerId;
    step.primaryBefore = mainScene.primarySelectedId;
    const Layer& added = mainScene.AddLayer();
    if (!applyingUndo) {
        step.layerId = added.id;
        step.layerCopy = added;
        step.activeLayerAfter = mainScene.activeLayerId;
        step.primaryAfter = mainScene.primarySelectedId;
        PushMainUndo(step);
    }
    SetModifiedFlag(true);
    UpdateAllViews();
}

bool CQuillfenEditorDoc::ImportImageFiles(const std::string& path, float dropX, float dropY, std::string& error) {
    CanvasDocument& scene = SceneInUse();
    UndoStep step;
    step.kind = kUndoObjectAdded;
    step.activeLayerBefore = scene.activeLayerId;
    step.primaryBefore = scene.primarySelectedId;
    std::string objectId, layerId;
    if (!scene.ImportImageFile(path, error, &objectId, &layerId)) return false;
    CanvasObject* object = scene.FindObject(objectId);
    if (!object) return false;
    if (dropX >= 0 && dropY >= 0) {
        // Centred on the drop point as placed, without clamping to the canvas.
        object->x = RoundHalfAway(dropX - object->width / 2);
        object->y = RoundHalfAway(dropY - object->height / 2);
        object->width = std::max(RoundHalfAway(object->width), 1.0f);
        object->height = std::max(RoundHalfAway(object->height), 1.0f);
    }
    if (!applyingUndo) {
        step.layerId = layerId;
        step.objectId = objectId;
        step.objectA = *object;
        step.activeLayerAfter = scene.activeLayerId;
        step.primaryAfter = scene.primarySelectedId;
        PushUndo(step);
    }
    SetModifiedFlag(true);
    UpdateAllViews();
    return true;
}

bool CQuillfenEditorDoc::RemoveBoneFromLinks(const std::string& objectId, const std::string& boneId) {
    if (objectId.empty() || boneId.empty()) return false;
    const std::vector<JointLink> before = poseLinkGroups;
    bool changed = false;
    std::vector<JointLink> kept;
    for (JointLink link : poseLinkGroups) {
        const size_t n = link.ends.size();
        std::erase_if(link.ends,
                      [&](const JointLinkEnd& e) { return e.objectId == objectId && e.boneId == boneId; });
        if (link.ends.size() != n) changed = true;
        if (link.ends.size() < 2) {
            changed = true;
            continue;
        }
        kept.push_back(std::move(link));
    }
    if (!changed) return false;
    poseLinkGroups = std::move(kept);
    CommitLinks(before, poseLinkGroups);
    SetModifiedFlag(true);
    return true;
}

// --- Filter-stack edits (not recorded) ---

bool CQuillfenEditorDoc::MoveEffect(const std::string& objectId, int from, int to) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object) return false;
    const int count = int(object->effects.size());
    if (from < 0 || to < 0 || from >= count || to >= count || from == to) return false;
    EffectInstance moved = std::move(object->effects[size_t(from)]);
    object->effects.erase(object->effects.begin() + from);
    object->effects.insert(object->effects.begin() + to, std::move(moved));
    object->BumpGeneration();
    SetModifiedFlag(true);
    UpdateAllViews();
    return true;
}

bool CQuillfenEditorDoc::AddEffect(const std::string& objectId, uint8_t type) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object) return false;
    object->effects.push_back(MakeEffectInstance(type));
    object->BumpGeneration();
    SetModifiedFlag(true);
    UpdateAllViews();
    return true;
}
