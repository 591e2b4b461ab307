#include "document/Undo.h"

#include "document/CQuillfenEditorDoc.h"
#include "scene/BoneList.h"
#include "platform/Prompts.h"

#include <unistd.h>

#include <algorithm>
#include <new>
#include <utility>
#include <variant>

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

// Heap bytes of strings and lists; a string within its inline buffer has none.
size_t HeapBytes(const std::string& s) { return s.capacity() > 15 ? s.capacity() + 1 : 0; }
template <class T>
size_t ListBytes(const std::vector<T>& v) {
    return v.capacity() * sizeof(T);
}
size_t HeapBytes(const std::vector<std::string>& v) {
    size_t n = ListBytes(v);
    for (const std::string& s : v) n += HeapBytes(s);
    return n;
}

size_t HeapBytes(const EffectInstance& e) {
    return std::visit(
        [](const auto& record) -> size_t {
            if constexpr (requires { record.points; })
                return ListBytes(record.points);
            else
                return 0;
        },
        e.params.value);
}
size_t HeapBytes(const std::vector<EffectInstance>& v) {
    size_t n = ListBytes(v);
    for (const EffectInstance& e : v) n += HeapBytes(e);
    return n;
}

size_t HeapBytes(const Bone& b) { return HeapBytes(b.id) + HeapBytes(b.name) + HeapBytes(b.parentId); }
size_t HeapBytes(const std::vector<Bone>& v) {
    size_t n = ListBytes(v);
    for (const Bone& b : v) n += HeapBytes(b);
    return n;
}

size_t HeapBytes(const std::vector<JointLink>& v) {
    size_t n = ListBytes(v);
    for (const JointLink& l : v) {
        n += HeapBytes(l.id) + HeapBytes(l.name) + ListBytes(l.ends);
        for (const JointLinkEnd& e : l.ends) n += HeapBytes(e.objectId) + HeapBytes(e.boneId);
    }
    return n;
}

size_t HeapBytes(const ImagePart& p) {
    return HeapBytes(p.id) + HeapBytes(p.name) + HeapBytes(p.source) + p.encoded.capacity();
}

size_t HeapBytes(const CanvasObject& o) {
    size_t n = HeapBytes(o.id) + HeapBytes(o.name) + ListBytes(o.parts) + o.maskPixels.capacity();
    for (const ImagePart& p : o.parts) n += HeapBytes(p);
    n += HeapBytes(o.bones) + HeapBytes(o.effects) + ListBytes(o.partPoses);
    for (const PartPose& pose : o.partPoses) n += HeapBytes(pose.objectId);
    n += ListBytes(o.posableScene.parts) + HeapBytes(o.posableScene.links);
    for (const PosablePart& part : o.posableScene.parts) {
        n += HeapBytes(part.id) + HeapBytes(part.name) + HeapBytes(part.bones) + ListBytes(part.parts);
        for (const ImagePartRecord& r : part.parts)
            n += HeapBytes(r.id) + HeapBytes(r.name) + HeapBytes(r.source) + r.encoded.capacity();
    }
    return n;
}

size_t HeapBytes(const std::vector<UndoObjectEntry>& v) {
    size_t n = ListBytes(v);
    for (const UndoObjectEntry& e : v) n += HeapBytes(e.layerId) + HeapBytes(e.object);
    return n;
}

void DropObjectCaches(CanvasObject& o) {
    for (ImagePart& p : o.parts) p.InvalidateDecoded();
    o.caches = ObjectRenderCaches{};
}

}  // namespace

size_t UndoStepBytes(const UndoStep& s) {
    size_t n = sizeof(UndoStep);
    n += HeapBytes(s.layerId) + HeapBytes(s.objectId);
    n += HeapBytes(s.layerCopy.id) + HeapBytes(s.layerCopy.name) + ListBytes(s.layerCopy.objects);
    for (const CanvasObject& o : s.layerCopy.objects) n += HeapBytes(o);
    n += HeapBytes(s.objectA) + HeapBytes(s.objectB);
    n += HeapBytes(s.objectEntries);
    n += ListBytes(s.transformEntries);
    for (const UndoTransformEntry& e : s.transformEntries) n += HeapBytes(e.objectId);
    n += HeapBytes(s.bonesBefore) + HeapBytes(s.bonesAfter);
    n += HeapBytes(s.linksBefore) + HeapBytes(s.linksAfter);
    n += HeapBytes(s.targetLayerBefore) + HeapBytes(s.targetLayerAfter);
    n += HeapBytes(s.effectsBefore) + HeapBytes(s.effectsAfter);
    n += HeapBytes(s.activeLayerBefore) + HeapBytes(s.activeLayerAfter);
    n += HeapBytes(s.primaryBefore) + HeapBytes(s.primaryAfter);
    n += HeapBytes(s.selectionBefore) + HeapBytes(s.selectionAfter);
    return n;
}

size_t DefaultHistoryBudget() {
    constexpr size_t kCeiling = size_t(2) << 30;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return kCeiling;
    return std::min(kCeiling, size_t(pages) / 4 * size_t(pageSize));
}

void DropStepCaches(UndoStep& s) {
    for (CanvasObject& o : s.layerCopy.objects) DropObjectCaches(o);
    DropObjectCaches(s.objectA);
    DropObjectCaches(s.objectB);
    for (UndoObjectEntry& e : s.objectEntries) DropObjectCaches(e.object);
}

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
        case kUndoEffectStack:
            if (CanvasObject* o = scene.FindObject(s.objectId)) {
                o->effects = undo ? s.effectsBefore : s.effectsAfter;
                o->BumpGeneration();
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

bool CQuillfenEditorDoc::FinishRecordedEdit(CanvasDocument& scene, UndoStep& step, const RecordEditOptions& options) {
    StoreSelectionAfter(scene, step, options.selection);
    if (!(options.mainScene ? PushMainUndo(std::move(step)) : PushUndo(std::move(step)))) return false;
    if (options.recordOnly) return true;
    SetModifiedFlag(true);
    UpdateAllViews();
    return true;
}

bool CQuillfenEditorDoc::PushUndo(UndoStep step) {
    return StoreStep(UndoPairInUse(), SceneInUse(), std::move(step));
}

bool CQuillfenEditorDoc::PushMainUndo(UndoStep step) { return StoreStep(mainUndo, mainScene, std::move(step)); }

bool CQuillfenEditorDoc::StoreStep(UndoPair& pair, CanvasDocument& scene, UndoStep&& step) {
    if (applyingUndo) return true;
    // A stored step keeps only what it needs: the render caches it would
    // share with the live object could outgrow everything else it holds.
    DropStepCaches(step);
    bool stored = UndoStepBytes(step) <= historyBudget;
    if (stored) {
        try {
            pair.undo.reserve(pair.undo.size() + 1);
        } catch (const std::bad_alloc&) {
            stored = false;
        }
    }
    if (!stored) {
        // The change is taken back rather than left without a way back.
        {
            FlagScope applying(applyingUndo);
            ApplyUndoStepToScene(scene, poseLinkGroups, poseScene, step, kUndoBackward);
        }
        UpdateAllViews();
        if (Prompts* prompts = GetPrompts())
            prompts->Warn("Not enough memory to keep this change in the undo history; the change was not made.");
        return false;
    }
    step.serial = ++stepSerial_;
    pair.redo.clear();
    pair.undo.push_back(std::move(step));
    TrimHistory();
    return true;
}

size_t CQuillfenEditorDoc::HistoryBytes() const {
    size_t total = 0;
    for (const std::vector<UndoStep>* list : {&mainUndo.undo, &mainUndo.redo, &poseUndo.undo, &poseUndo.redo})
        for (const UndoStep& step : *list) total += UndoStepBytes(step);
    return total;
}

void CQuillfenEditorDoc::TrimHistory() {
    size_t total = HistoryBytes();
    while (total > historyBudget) {
        // The oldest recorded step of either scene, never the one just stored.
        std::vector<UndoStep>* from = nullptr;
        for (std::vector<UndoStep>* list : {&mainUndo.undo, &poseUndo.undo}) {
            if (list->empty() || list->front().serial == stepSerial_) continue;
            if (!from || list->front().serial < from->front().serial) from = list;
        }
        // Then the steps furthest from being redone.
        for (std::vector<UndoStep>* list : {&mainUndo.redo, &poseUndo.redo})
            if (!from && !list->empty()) from = list;
        if (!from) return;
        total -= std::min(total, UndoStepBytes(from->front()));
        from->erase(from->begin());
    }
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
