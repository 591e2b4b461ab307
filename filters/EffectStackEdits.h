#pragma once
// Edits of a main-scene object's filter stack, each one undo step. Callers
// name the object by id and the instance by index; both are looked up at
// every call, so nothing here (or in a caller) keeps a pointer into a stack
// that undo, paste or delete may reallocate.
#include "filters/EffectInstance.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CQuillfenEditorDoc;
struct CanvasObject;

// The stack of the main-scene object with that id, or null.
std::vector<EffectInstance>* FindEffectStack(CQuillfenEditorDoc& doc, const std::string& objectId);
// The instance at index of that object's stack, or null.
EffectInstance* FindEffectInstance(CQuillfenEditorDoc& doc, const std::string& objectId, int index);

// Appends a new instance of the type with its defaults; false when the object
// is missing.
bool AddObjectEffect(CQuillfenEditorDoc& doc, const std::string& objectId, uint8_t type);
// Removes the instance at index; false (nothing recorded) when it is not there.
bool RemoveObjectEffect(CQuillfenEditorDoc& doc, const std::string& objectId, int index);
// Moves the instance at from to to (later ones shift); false for indexes
// outside the stack or from == to.
bool MoveObjectEffect(CQuillfenEditorDoc& doc, const std::string& objectId, int from, int to);
// Switches one instance on or off; false when the index is outside the stack
// or the flag already has that value.
bool SetObjectEffectEnabled(CQuillfenEditorDoc& doc, const std::string& objectId, int index, bool enabled);
// Switches every instance; false when no flag changed.
bool SetAllObjectEffectsEnabled(CQuillfenEditorDoc& doc, const std::string& objectId, bool enabled);

// One interaction with a parameter view (a drag, a typed value, a picked
// colour) as one undo step: Begin keeps the object as it was, the view writes
// its parameters into the live instance meanwhile, and End records the step
// when the stack differs from the kept one. A second Begin without End ends
// the first interaction first.
class EffectParamsEditRecorder {
public:
    void Begin(CQuillfenEditorDoc& doc, const std::string& objectId);
    // True when a step was recorded.
    bool End(CQuillfenEditorDoc& doc);
    bool IsOpen() const { return before_.has_value(); }
    void Drop() { before_.reset(); }

private:
    std::string objectId_;
    std::optional<std::vector<EffectInstance>> before_;
};
