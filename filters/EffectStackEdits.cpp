#include "filters/EffectStackEdits.h"

#include "document/CQuillfenEditorDoc.h"
#include "filters/EffectRegistry.h"

#include <utility>

namespace {

// Runs change on the object's filter list as one step of the main scene
// that holds the list before and after, not the object's pictures; change
// returns false when it changed nothing (nothing is recorded then).
template <class Change>
bool RecordStackChange(CQuillfenEditorDoc& doc, const std::string& objectId, Change&& change) {
    CanvasObject* object = doc.mainScene.FindObject(objectId);
    if (!object) return false;
    return doc.RecordEdit(
        kUndoEffectStack,
        [&](UndoStep& step) {
            step.objectId = objectId;
            step.effectsBefore = object->effects;
            if (!change(object->effects)) return false;
            object->BumpGeneration();
            step.effectsAfter = object->effects;
            return true;
        },
        {.mainScene = true});
}

bool ValidIndex(const std::vector<EffectInstance>& stack, int index) {
    return index >= 0 && size_t(index) < stack.size();
}

}  // namespace

std::vector<EffectInstance>* FindEffectStack(CQuillfenEditorDoc& doc, const std::string& objectId) {
    if (objectId.empty()) return nullptr;
    CanvasObject* object = doc.mainScene.FindObject(objectId);
    return object ? &object->effects : nullptr;
}

EffectInstance* FindEffectInstance(CQuillfenEditorDoc& doc, const std::string& objectId, int index) {
    std::vector<EffectInstance>* stack = FindEffectStack(doc, objectId);
    return stack && ValidIndex(*stack, index) ? &(*stack)[size_t(index)] : nullptr;
}

bool AddObjectEffect(CQuillfenEditorDoc& doc, const std::string& objectId, uint8_t type) {
    return RecordStackChange(doc, objectId, [&](std::vector<EffectInstance>& stack) {
        stack.push_back(MakeEffectInstance(type));
        return true;
    });
}

bool RemoveObjectEffect(CQuillfenEditorDoc& doc, const std::string& objectId, int index) {
    return RecordStackChange(doc, objectId, [&](std::vector<EffectInstance>& stack) {
        if (!ValidIndex(stack, index)) return false;
        stack.erase(stack.begin() + index);
        return true;
    });
}

bool MoveObjectEffect(CQuillfenEditorDoc& doc, const std::string& objectId, int from, int to) {
    return RecordStackChange(doc, objectId, [&](std::vector<EffectInstance>& stack) {
        if (!ValidIndex(stack, from) || !ValidIndex(stack, to) || from == to) return false;
        EffectInstance moved = std::move(stack[size_t(from)]);
        stack.erase(stack.begin() + from);
        stack.insert(stack.begin() + to, std::move(moved));
        return true;
    });
}

bool SetObjectEffectEnabled(CQuillfenEditorDoc& doc, const std::string& objectId, int index, bool enabled) {
    return RecordStackChange(doc, objectId, [&](std::vector<EffectInstance>& stack) {
        if (!ValidIndex(stack, index) || stack[size_t(index)].enabled == enabled) return false;
        stack[size_t(index)].enabled = enabled;
        return true;
    });
}

bool SetAllObjectEffectsEnabled(CQuillfenEditorDoc& doc, const std::string& objectId, bool enabled) {
    return RecordStackChange(doc, objectId, [&](std::vector<EffectInstance>& stack) {
        bool changed = false;
        for (EffectInstance& e : stack) {
            changed |= e.enabled != enabled;
            e.enabled = enabled;
        }
        return changed;
    });
}

void EffectParamsEditRecorder::Begin(CQuillfenEditorDoc& doc, const std::string& objectId) {
    if (before_) End(doc);
    std::vector<EffectInstance>* stack = FindEffectStack(doc, objectId);
    if (!stack) return;
    objectId_ = objectId;
    before_ = *stack;
}

bool EffectParamsEditRecorder::End(CQuillfenEditorDoc& doc) {
    if (!before_) return false;
    std::vector<EffectInstance> before = std::move(*before_);
    before_.reset();
    CanvasObject* object = doc.mainScene.FindObject(objectId_);
    if (!object || object->effects == before) return false;
    // The live edit is already on screen: only the step is recorded, with
    // the object as it was when the interaction began.
    return doc.RecordEdit(
        kUndoEffectStack,
        [&](UndoStep& step) {
            step.objectId = objectId_;
            step.effectsBefore = std::move(before);
            step.effectsAfter = object->effects;
            doc.SetModifiedFlag(true);
        },
        {.mainScene = true, .recordOnly = true});
}
