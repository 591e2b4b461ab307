// The document's edit operations: record-only commits of live edits, direct
// edits with undo, and the filter-stack edits that are not recorded.
#include "document/CQuillfenEditorDoc.h"

#include "filters/EffectRegistry.h"

#include <algorithm>
#include <cmath>

namespace {

// Nearest integer, halves away from zero.
float RoundHalfAway(float v) { return std::round(v); }

}  // namespace

// --- Record-only commits ---

void CQuillfenEditorDoc::CommitObjectTransform(const std::string& objectId, const ObjectTransform& before,
                                               const ObjectTransform& after) {
    if (applyingUndo || objectId.empty() || TransformsEqual(before, after)) return;
    RecordEdit(
        kUndoObjectTransform,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.transformBefore = before;
            step.transformAfter = after;
        },
        {.recordOnly = true});
}

void CQuillfenEditorDoc::CommitObjectTransforms(const std::vector<UndoTransformEntry>& entries) {
    if (applyingUndo || entries.empty()) return;
    RecordEdit(
        kUndoObjectTransforms,
        [&](UndoStep& step) {
            for (const UndoTransformEntry& e : entries)
                if (!e.objectId.empty() && !TransformsEqual(e.before, e.after)) step.transformEntries.push_back(e);
            return !step.transformEntries.empty();
        },
        {.recordOnly = true});
}

void CQuillfenEditorDoc::SetBoneDefinitions(const std::string& objectId, const std::vector<Bone>& before,
                                            const std::vector<Bone>& after) {
    if (applyingUndo || objectId.empty() || BoneListsEqual(before, after)) return;
    RecordEdit(
        kUndoBones,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.bonesBefore = before;
            step.bonesAfter = after;
        },
        {.recordOnly = true});
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
    RecordEdit(
        kUndoPhotoBash,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.photoBashBefore = before;
            step.photoBashAfter = after;
        },
        {.recordOnly = true});
}

void CQuillfenEditorDoc::CommitLightConeParams(const std::string& objectId, const LightConeParams& before,
                                               const LightConeParams& after) {
    if (applyingUndo || objectId.empty() || before == after) return;
    RecordEdit(
        kUndoLightCone,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.lightBefore = before;
            step.lightAfter = after;
        },
        {.recordOnly = true});
}

// --- Direct edits of the main scene. Their steps go on the main pair, so they
// are replayed on the main scene even when made while the Pose Editor is open.

void CQuillfenEditorDoc::SetLayerVisible(const std::string& layerId, bool visible) {
    Layer* layer = mainScene.FindLayer(layerId);
    if (!layer || layer->visible == visible) return;
    RecordEdit(
        kUndoLayerVisible,
        [&](UndoStep& step) {
            step.layerId = layerId;
            step.flagBefore = layer->visible;
            step.flagAfter = visible;
            mainScene.SetLayerVisible(layerId, visible);
        },
        {.mainScene = true, .selection = StoredSelection::ActiveAndPrimary});
}

void CQuillfenEditorDoc::SetLayerLocked(const std::string& layerId, bool locked) {
    Layer* layer = mainScene.FindLayer(layerId);
    if (!layer || layer->locked == locked) return;
    RecordEdit(
        kUndoLayerLocked,
        [&](UndoStep& step) {
            step.layerId = layerId;
            step.flagBefore = layer->locked;
            step.flagAfter = locked;
            mainScene.SetLayerLocked(layerId, locked);
            if (locked) mainScene.ClearSelection();
        },
        {.mainScene = true, .selection = StoredSelection::ActiveAndPrimary});
}

void CQuillfenEditorDoc::SetObjectVisible(const std::string& objectId, bool visible) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->visible == visible) return;
    RecordEdit(
        kUndoObjectVisible,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.flagBefore = object->visible;
            step.flagAfter = visible;
            object->visible = visible;
            object->InvalidateCaches();
        },
        {.mainScene = true, .selection = StoredSelection::ActiveAndPrimary});
}

void CQuillfenEditorDoc::SetObjectLocked(const std::string& objectId, bool locked) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->locked == locked) return;
    RecordEdit(
        kUndoObjectLocked,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.flagBefore = object->locked;
            step.flagAfter = locked;
            object->locked = locked;
            if (locked && objectId == mainScene.primarySelectedId) mainScene.ClearSelection();
        },
        {.mainScene = true, .selection = StoredSelection::ActiveAndPrimary});
}

void CQuillfenEditorDoc::SetObjectBlendMode(const std::string& objectId, uint8_t blendMode) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->blendMode == blendMode) return;
    RecordEdit(
        kUndoBlendMode,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.blendBefore = object->blendMode;
            step.blendAfter = blendMode;
            object->blendMode = blendMode;
        },
        {.mainScene = true});
}

void CQuillfenEditorDoc::SetObjectClipToBelow(const std::string& objectId, bool clip) {
    CanvasObject* object = mainScene.FindObject(objectId);
    if (!object || object->clipToLayerBelow == clip) return;
    RecordEdit(
        kUndoClipToBelow,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.clipBefore = object->clipToLayerBelow;
            step.clipAfter = clip;
            object->clipToLayerBelow = clip;
        },
        {.mainScene = true});
}

void CQuillfenEditorDoc::SetCanvasColor(uint32_t argb) {
    if (mainScene.canvasColour == argb) return;
    RecordEdit(
        kUndoCanvasColour,
        [&](UndoStep& step) {
            step.colourBefore = mainScene.canvasColour;
            step.colourAfter = argb;
            mainScene.canvasColour = argb;
        },
        {.mainScene = true, .selection = StoredSelection::ActiveAndPrimary});
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
    RecordEdit(
        kUndoLayerAdded,
        [&](UndoStep& step) {
            const Layer& added = mainScene.AddLayer();
            step.layerId = added.id;
            step.layerCopy = added;
        },
        {.mainScene = true, .selection = StoredSelection::ActiveAndPrimary});
}

bool CQuillfenEditorDoc::ImportImageFiles(const std::string& path, float dropX, float dropY, std::string& error) {
    CanvasDocument& scene = SceneInUse();
    return RecordEdit(
        kUndoObjectAdded,
        [&](UndoStep& step) {
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
            step.layerId = layerId;
            step.objectId = objectId;
            step.objectA = *object;
            return true;
        },
        {.selection = StoredSelection::ActiveAndPrimary});
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
