#pragma once
// What the "Selection" and "Refine" property tabs do with their controls,
// apart from the windows: the Selection tab writes the selection tools'
// settings and re-commits the live shape of the scene in use, so a change of
// antialias, feather or tolerance shows at once; the Refine tab recomputes
// the refined selection from the copy kept when the Refine tool was entered
// (the whole refine is the one selection undo step pushed then).
#include <cstdint>

class CQuillfenEditorDoc;

// Control ids of the Selection tab.
enum SelectionTabControl : int {
    kSelectionTabCombineOp = 301,
    kSelectionTabAntialias = 302,
    kSelectionTabFeather = 303,
    kSelectionTabTolerance = 306,
};
// Control ids of the Refine tab.
enum RefineTabControl : int {
    kRefineTabOperation = 401,  // 0 Expand, 1 Contract, 2 Feather
    kRefineTabPixels = 402,
};

// Control notification codes.
constexpr int kPropNotifyClick = 0;
constexpr int kPropNotifyChange = 0x1000;
constexpr int kPropNotifyBegin = 0x1001;
constexpr int kPropNotifyEnd = 0x1002;

// Whether a notification of a Selection tab control acts on the settings.
// Feather acts at the end of an interaction; Tolerance at every change while
// nothing is feathered (re-filling a wand shape is cheap then), else at the end.
bool SelectionTabActsOn(int controlId, int code, float feather);
// Applies a control's new value (the check state as 0 or 1 for Antialias).
void ApplySelectionTabControl(CQuillfenEditorDoc& doc, int controlId, float value);

// Whether a notification of a Refine tab control acts.
bool RefineTabActsOn(int controlId, int code);
// The Refine tab's remembered operation and radius, for the whole run.
struct RefineTabState {
    int32_t operation = 0;
    int32_t radius = 1;
};
RefineTabState& GetRefineTabState();
// Takes the control's value into the state and refines the selection of the
// scene in use from its entry copy.
void ApplyRefineTabControl(CQuillfenEditorDoc& doc, RefineTabState& state, int controlId, float value);
