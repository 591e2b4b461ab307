// Deleting: the Delete key's choice between selected pixels, a selected mask
// and the selected objects, the deletion of objects, and Delete Layer with its
// confirmation. One undo step each; erased pixels are a stroke of the paint
// session instead.
#include "document/CQuillfenEditorDoc.h"

#include "platform/Prompts.h"
#include "scene/SelectionMask.h"

#include <algorithm>
#include <cmath>

bool CQuillfenEditorDoc::DeleteSelected() {
    const CanvasDocument& scene = SceneInUse();
    if (paintSession && paintSession->IsActive() && scene.selectionMask && scene.selectionMask->HasSelection()) {
        paintSession->EraseSelection(*this);
        return true;
    }
    if (DeleteSelectedMask()) return true;
    return DeleteSelectedObjects();
}

bool CQuillfenEditorDoc::DeleteSelectedMask() {
    const std::string id = mainScene.selectedMaskObjectId;
    if (id.empty()) return false;
    if (!mainScene.FindObject(id)) {
        // A stale mask row: nothing to remove, and nothing to keep pointing at.
        mainScene.selectedMaskObjectId.clear();
        return false;
    }
    // The painting (of the mask too) is stored first, so the undo step of
    // the removal gives it back; one that cannot be stored stops here.
    if (!EndPaintMode()) return true;
    const CanvasObject* object = mainScene.FindObject(id);
    if (!object) return true;
    float w = float(object->maskWidth), h = float(object->maskHeight);
    if ((w < 1 || h < 1) && !object->parts.empty()) {
        w = std::round(object->parts.front().pixelWidth);
        h = std::round(object->parts.front().pixelHeight);
    }
    const int32_t mw = (w >= 1 && w < 2147483647.0f) ? int32_t(w) : 1;
    const int32_t mh = (h >= 1 && h < 2147483647.0f) ? int32_t(h) : 1;
    mainScene.selectedMaskObjectId.clear();
    SetObjectMask(id, std::vector<uint8_t>{}, mw, mh);
    UpdateAllViews();
    return true;
}

bool CQuillfenEditorDoc::GetSelectionState() const {
    const CanvasDocument& scene = SceneInUse();
    if (scene.selectedIds.empty()) return false;
    size_t total = 0, deletable = 0;
    for (const Layer& layer : scene.layers)
        for (const CanvasObject& o : layer.objects) {
            ++total;
            if (!layer.locked && !o.locked &&
                std::find(scene.selectedIds.begin(), scene.selectedIds.end(), o.id) != scene.selectedIds.end())
                ++deletable;
        }
    if (deletable == 0) return false;
    // The Pose Editor needs at least one part to stay.
    if (&scene == &poseScene && IsPoseEditorOpen()) return total - deletable >= 1;
    return true;
}

bool CQuillfenEditorDoc::DeleteSelectedObjects() {
    CanvasDocument& scene = SceneInUse();
    if (scene.selectedIds.empty() || !GetSelectionState()) return false;
    // The painting goes into its object first: undoing the deletion gives
    // the object back as it was painted. A painting that cannot be stored
    // stops the deletion (the session has said why).
    if (!EndPaintMode()) return false;
    if (scene.selectedIds.empty() || !GetSelectionState()) return false;

    return RecordEdit(kUndoObjectsDeleted, [&](UndoStep& step) {
        const std::vector<std::string>& selected = step.selectionBefore;
        for (Layer& layer : scene.layers) {
            if (layer.locked) continue;
            // The others keep their z numbers, so undo puts each object back
            // exactly where it stood.
            for (auto it = layer.objects.begin(); it != layer.objects.end();) {
                if (!it->locked && std::find(selected.begin(), selected.end(), it->id) != selected.end()) {
                    step.objectEntries.push_back({layer.id, *it});
                    it = layer.objects.erase(it);
                } else {
                    ++it;
                }
            }
        }
        if (step.objectEntries.empty()) return false;
        if (step.objectEntries.size() == 1) {
            step.kind = kUndoObjectDeleted;
            step.layerId = step.objectEntries.front().layerId;
            step.objectId = step.objectEntries.front().object.id;
            step.objectA = std::move(step.objectEntries.front().object);
            step.objectEntries.clear();
        } else {
            step.kind = kUndoObjectsDeleted;
        }
        scene.ClearSelection();
        return true;
    });
}

bool CQuillfenEditorDoc::CanDeleteActiveLayer() const {
    if (mainScene.activeLayerId.empty() || mainScene.layers.size() <= 1) return false;
    for (const Layer& layer : mainScene.layers)
        if (layer.id == mainScene.activeLayerId) return true;
    return false;
}

bool CQuillfenEditorDoc::DeleteActiveLayer() {
    if (!CanDeleteActiveLayer()) return false;
    // Delete Layer is a command of the main scene's layer list: it asks about,
    // stores and removes the main scene's layer whichever scene is in use.
    Layer* layer = mainScene.FindLayer(mainScene.activeLayerId);
    if (!layer) return false;
    if (!layer->objects.empty()) {
        const std::string message = "Layer \"" + layer->name + "\" contains " +
                                    std::to_string(layer->objects.size()) +
                                    " item(s).\n\nDelete the layer and all items inside it?";
        Prompts* prompts = GetPrompts();
        if (!prompts || !prompts->AskYesNo(message, PromptIcon::Exclamation)) return false;
    }
    // The painting goes into its object before the layer is stored, so
    // undoing the deletion gives back what was painted; a painting that
    // cannot be stored stops the deletion (the session has said why).
    if (!CommitPaintSession()) return false;
    layer = mainScene.FindLayer(mainScene.activeLayerId);
    if (!layer) return false;

    return RecordEdit(
        kUndoLayerDeleted,
        [&](UndoStep& step) {
            step.layerId = layer->id;
            step.layerCopy = *layer;
            ::RemoveLayerById(mainScene, step.layerId);
            if (mainScene.layers.empty()) {
                mainScene.Reset();
            } else {
                mainScene.SetActiveLayer(mainScene.layers.front().id);
                mainScene.ClearSelection();
            }
        },
        {.mainScene = true});
}

void CQuillfenEditorDoc::OnEditDelete() { DeleteSelectedObjects(); }

void CQuillfenEditorDoc::OnModifyDeleteLayer() { DeleteActiveLayer(); }
