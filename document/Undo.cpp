#include "document/Undo.h"

#include "document/CQuillfenEditorDoc.h"
#include "scene/BoneList.h"

#include <algorithm>
#include <utility>

namespace {

// Sets a flag for the duration of a scope, also when the scope is left by an exception.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

bool FloatEq(float a, float b) { return a == b; }  // false whenever either is NaN

void AddObjectsToLayers(CanvasDocument& scene, const std::vector<UndoObjectEntry>& entries) {
    for (const UndoObjectEntry& e : entries) {
        Layer target;
        target.id = e.layerId;
        scene.AddObjectToLayer(target, e.object);
    }
}

void DeleteEntryObjects(CanvasDocument& scene, const std::vector<UndoObjectEntry>& entries) {
    for (const UndoObjectEntry& e : entries) scene.DeleteObject(e.object.id);
}

// Moves the object so that it ends at finalIndex (from the top) of the layer.
// The scene's move counts the index before the object is taken out of its own
// layer, so a move further down the same layer asks for one place more.
void MoveObjectToFinalIndex(CanvasDocument& scene, const std::string& id, const std::string& layerId,
                            int32_t finalIndex) {
    int32_t index = finalIndex;
    if (const Layer* layer = scene.FindLayer(layerId)) {
        const int32_t current = layer->IndexOfObject(id);
        if (current >= 0 && current < finalIndex) index = finalIndex + 1;
    }
    scene.MoveObjectToLayer(id, layerId, index);
}

bool AddObjectToLayerId(CanvasDocument& scene, const std::string& layerId, const CanvasObject& object) {
    Layer target;
    target.id = layerId;
    return scene.AddObjectToLayer(target, object);
}

}  // namespace

bool TransformsEqual(const ObjectTransform& a, const ObjectTransform& b) {
    return FloatEq(a.x, b.x) && FloatEq(a.y, b.y) && FloatEq(a.width, b.width) && FloatEq(a.height, b.height) &&
           FloatEq(a.rotation, b.rotation) && FloatEq(a.opacity, b.opacity);
}

bool PhotoBashEqual(const PhotoBashParams& a, const PhotoBashParams& b) {
    return FloatEq(a.bgRadius, b.bgRadius) && FloatEq(a.fgRadius, b.fgRadius) && FloatEq(a.mix, b.mix);
}

namespace {

bool BonesEqual(const Bone& a, const Bone& b) {
    return a.id == b.id && a.name == b.name && a.hasParent == b.hasParent && a.parentId == b.parentId &&
           a.parentEnd == b.parentEnd && FloatEq(a.headX, b.headX) && FloatEq(a.headY, b.headY) &&
           FloatEq(a.tailX, b.tailX) && FloatEq(a.tailY, b.tailY) && a.stretchable == b.stretchable &&
           FloatEq(a.width, b.width) && FloatEq(a.headCapLength, b.headCapLength) &&
           FloatEq(a.tailCapLength, b.tailCapLength) && FloatEq(a.headShift, b.headShift) &&
           FloatEq(a.tailShift, b.tailShift) && FloatEq(a.headOffset, b.headOffset) &&
           FloatEq(a.tailOffset, b.tailOffset) && FloatEq(a.headCapWidth, b.headCapWidth) &&
           FloatEq(a.tailCapWidth, b.tailCapWidth) && a.roundHeadCap == b.roundHeadCap &&
           a.roundTailCap == b.roundTailCap && FloatEq(a.feather, b.feather) && a.wholeImage == b.wholeImage;
}

}  // namespace

bool BoneListsEqual(const std::vector<Bone>& a, const std::vector<Bone>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!BonesEqual(a[i], b[i])) return false;
    return true;
}

void RestoreSelection(CanvasDocument& scene, const std::string& activeLayerId, const std::vector<std::string>& ids,
                      const std::string& primaryId) {
    if (!scene.layers.empty()) {
        if (scene.FindLayer(activeLayerId))
            scene.activeLayerId = activeLayerId;
        else
            scene.activeLayerId = scene.layers.front().id;
    }
    scene.ClearSelection();
    const bool primaryExists = !primaryId.empty() && scene.FindObject(primaryId) != nullptr;
    if (ids.empty()) {
        if (primaryExists) scene.SelectObject(primaryId);
        return;
    }
    for (const std::string& id : ids)
        if (scene.FindObject(id)) scene.AddToSelection(id);
    if (primaryExists && scene.IsSelected(primaryId)) {
        // Re-adding moves it to the end of the list, where the primary belongs.
        scene.RemoveFromSelection(primaryId);
        scene.AddToSelection(primaryId);
    }
}

bool RemoveLayerById(CanvasDocument& scene, const std::string& id) {
    auto it = std::find_if(scene.layers.begin(), scene.layers.end(), [&](const Layer& l) { return l.id == id; });
    if (it == scene.layers.end()) return false;
    scene.layers.erase(it);
    return true;
}

bool AddLayerIfAbsent(CanvasDocument& scene, const Layer& layer) {
    if (scene.FindLayer(layer.id)) return false;
    scene.layers.push_back(layer);
    return true;
}

bool InsertObjectEntries(CanvasDocument& scene, const std::vector<UndoObjectEntry>& entries) {
    AddObjectsToLayers(scene, entries);
    return !entries.empty();
}

void ApplyUndoStepToScene(CanvasDocument& scene, std::vector<JointLink>& linkGroups, CanvasDocument& linkScene,
                          const UndoStep& s, UndoDirection direction) {
    const bool undo = direction == kUndoBackward;
    switch (s.kind) {
        case kUndoLayerAdded:
        case kUndoLayerDeleted:
            if ((s.kind == kUndoLayerAdded) == undo)
                RemoveLayerById(scene, s.layerId);
            else
                AddLayerIfAbsent(scene, s.layerCopy);
            break;
        case kUndoObjectAdded:
        case kUndoObjectDeleted:
            if ((s.kind == kUndoObjectAdded) == undo)
                scene.DeleteObject(s.objectId);
            else
                AddObjectToLayerId(scene, s.layerId, s.objectA);
            break;
        case kUndoObjectsAdded:
        case kUndoObjectsDeleted:
            if ((s.kind == kUndoObjectsAdded) == undo)
                DeleteEntryObjects(scene, s.objectEntries);
            else
                AddObjectsToLayers(scene, s.objectEntries);
            break;
        case kUndoObjectTransform:
            scene.SetObjectTransform(s.objectId, undo ? s.transformBefore : s.transformAfter);
            break;
        case kUndoObjectTransforms:
            for (const UndoTransformEntry& e : s.transformEntries)
                scene.SetObjectTransform(e.objectId, undo ? e.before : e.after);
            break;
        case kUndoBones:
            if (CanvasObject* o = scene.FindObject(s.objectId)) {
                o->bones = undo ? s.bonesBefore : s.bonesAfter;
                BoneList::BoneIdRenames renames;
                BoneList::NormalizeIds(o->bones, &renames);
                if (&scene == &linkScene) BoneList::RemapLinkEnds(linkGroups, o->id, renames);
            }
            break;
        case kUndoJointLinks:
            linkGroups = undo ? s.linksBefore : s.linksAfter;
            linkScene.ResolveJointLinks(linkGroups);
            break;
        case kUndoLayerVisible:
            scene.SetLayerVisible(s.layerId, undo ? s.flagBefore : s.flagAfter);
            break;
        case kUndoLayerLocked:
            scene.SetLayerLocked(s.layerId, undo ? s.flagBefore : s.flagAfter);
            break;
        case kUndoObjectVisible:
            if (CanvasObject* o = scene.FindObject(s.objectId)) {
                const bool v = undo ? s.flagBefore : s.flagAfter;
                if (o->visible != v) {
                    o->visible = v;
                    o->InvalidateCaches();
                }
            }
            break;
        case kUndoObjectLocked:
            if (CanvasObject* o = scene.FindObject(s.objectId)) o->locked = undo ? s.flagBefore : s.flagAfter;
            break;
        case kUndoObjectMoved:
            if (undo)
                MoveObjectToFinalIndex(scene, s.objectId, s.targetLayerBefore, s.indexBefore);
            else
                MoveObjectToFinalIndex(scene, s.objectId, s.targetLayerAfter, s.indexAfter);
            break;
        case kUndoCanvasColour:
            scene.canvasColour = undo ? s.colourBefore : s.colourAfter;
            break;
        case kUndoObjectsToPosable:
        case kUndoObjectsMerged:
            if (undo) {
                scene.DeleteObject(s.objectId);
                AddObjectsToLayers(scene, s.objectEntries);
            } else {
                DeleteEntryObjects(scene, s.objectEntries);
                AddObjectToLayerId(scene, s.layerId, s.objectA);
            }
            break;
        case kUndoBlendMode:
            if (CanvasObject* o = scene.FindObject(s.objectId)) o->blendMode = undo ? s.blendBefore : s.blendAfter;
            break;
        case kUndoClipToBelow:
            if (CanvasObject* o = scene.FindObject(s.objectId))
                o->clipToLayerBelow = undo ? s.clipBefore : s.clipAfter;
            break;
        case kUndoPhotoBash:
            if (CanvasObject* o = scene.FindObject(s.objectId))
                o->photoBash = undo ? s.photoBashBefore : s.photoBashAfter;
            break;
        case kUndoLightCone:
            if (CanvasObject* o = scene.FindObject(s.objectId)) {
                o->lightCone = undo ? s.lightBefore : s.lightAfter;
                o->InvalidateCaches();
            }
            break;
        case kUndoWholeObject:
            if (CanvasObject* o = scene.FindObject(s.objectId)) {
                // The stacking number stays the layer's: the stored copy's z
                // may predate later reordering and would break the numbering.
                const int32_t z = o->z;
                *o = undo ? s.objectA : s.objectB;
                o->z = z;
                o->InvalidateCaches();
            }
            break;
        case kUndoObjectCreated:
            if (undo) {
                scene.DeleteObject(s.objectId);
            } else if (AddObjectToLayerId(scene, s.layerId, s.objectB)) {
                if (CanvasObject* o = scene.FindObject(s.objectB.id)) o->InvalidateCaches();
            }
            break;
        default:
            break;  // an unknown kind changes nothing but the selection
    }
    if (undo)
        RestoreSelection(scene, s.activeLayerBefore, s.selectionBefore, s.primaryBefore);
    else
        RestoreSelection(scene, s.activeLayerAfter, s.selectionAfter, s.primaryAfter);
}

void StoreSelectionBefore(const CanvasDocument& scene, UndoStep& step, StoredSelection parts) {
    step.activeLayerBefore = scene.activeLayerId;
    step.primaryBefore = scene.primarySelectedId;
    if (parts == StoredSelection::All) step.selectionBefore = scene.selectedIds;
}

void StoreSelectionAfter(const CanvasDocument& scene, UndoStep& step, StoredSelection parts) {
    step.activeLayerAfter = scene.activeLayerId;
    step.primaryAfter = scene.primarySelectedId;
    if (parts == StoredSelection::All) step.selectionAfter = scene.selectedIds;
}

// --- The document's undo operations ---

void CQuillfenEditorDoc::FinishRecordedEdit(CanvasDocument& scene, UndoStep& step, const RecordEditOptions& options) {
    StoreSelectionAfter(scene, step, options.selection);
    if (options.mainScene)
        PushMainUndo(step);
    else
        PushUndo(step);
    if (options.recordOnly) return;
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::PushUndo(const UndoStep& step) {
    if (applyingUndo) return;
    UndoPair& pair = UndoPairInUse();
    pair.undo.push_back(step);
    pair.redo.clear();
}

void CQuillfenEditorDoc::PushMainUndo(const UndoStep& step) {
    if (applyingUndo) return;
    mainUndo.undo.push_back(step);
    mainUndo.redo.clear();
}

void CQuillfenEditorDoc::ApplyUndoStep(const UndoStep& step, uint8_t direction) {
    if (direction > kRedoForward) return;
    ApplyUndoStepToScene(SceneInUse(), poseLinkGroups, poseScene, step, UndoDirection(direction));
}

// While a paint session is open Undo and Redo step through its strokes; past
// its first stroke (or with none yet, as right after a command reopened it)
// they reach the document's own steps: the session closes first, so the
// step applies to the model and painting resumes in a new session.
bool CQuillfenEditorDoc::CanUndo() {
    DocumentEditSession* session = FindPaintingView();
    if (session && session->CanUndoStroke()) return true;
    return !UndoPairInUse().undo.empty();
}

bool CQuillfenEditorDoc::CanRedo() {
    DocumentEditSession* session = FindPaintingView();
    if (session && session->CanRedoStroke()) return true;
    if (session && session->CanUndoStroke()) return false;  // a redo would skip the session's strokes
    return !UndoPairInUse().redo.empty();
}

void CQuillfenEditorDoc::OnEditUndo() {
    if (DocumentEditSession* session = FindPaintingView()) {
        if (session->CanUndoStroke()) {
            session->UndoStroke();
            RefreshAllViews();
            return;
        }
        if (UndoPairInUse().undo.empty() || !CommitPaintSession()) return;
    }
    // The pair in use belongs to the scene in use, which the step is applied to.
    UndoPair& pair = UndoPairInUse();
    if (pair.undo.empty()) return;
    UndoStep step = std::move(pair.undo.back());
    pair.undo.pop_back();
    {
        FlagScope applying(applyingUndo);
        ApplyUndoStep(step, kUndoBackward);
    }
    pair.redo.push_back(std::move(step));
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::OnEditRedo() {
    if (DocumentEditSession* session = FindPaintingView()) {
        if (session->CanRedoStroke()) {
            session->RedoStroke();
            RefreshAllViews();
            return;
        }
        if (session->CanUndoStroke() || UndoPairInUse().redo.empty() || !CommitPaintSession()) return;
    }
    UndoPair& pair = UndoPairInUse();
    if (pair.redo.empty()) return;
    UndoStep step = std::move(pair.redo.back());
    pair.redo.pop_back();
    {
        FlagScope applying(applyingUndo);
        ApplyUndoStep(step, kRedoForward);
    }
    pair.undo.push_back(std::move(step));
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQuillfenEditorDoc::ClearAllUndo() {
    mainUndo.undo.clear();
    mainUndo.redo.clear();
    poseUndo.undo.clear();
    poseUndo.redo.clear();
}

void CQuillfenEditorDoc::ClearPoseEditorUndo() { poseUndo.Clear(); }

bool CQuillfenEditorDoc::RemoveLayerById(const std::string& id) { return ::RemoveLayerById(SceneInUse(), id); }

bool CQuillfenEditorDoc::AddLayerIfAbsent(const Layer& layer) { return ::AddLayerIfAbsent(SceneInUse(), layer); }

bool CQuillfenEditorDoc::InsertObjectEntries(const std::vector<UndoObjectEntry>& entries) {
    return ::InsertObjectEntries(SceneInUse(), entries);
}
