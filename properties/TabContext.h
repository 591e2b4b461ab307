#pragma once
// What the properties pane shows depends on: the tool, the single selected
// object, the selection count, the workspace mode and the Pose Editor's
// object and bone selection. Built afresh from the document on every pane
// update; two contexts are the same when all eight fields are equal.
#include <cstdint>
#include <string>

class CQuillfenEditorDoc;

struct TabContext {
    int32_t tool = 0;
    int32_t objectKind = 0;  // 0 none, 1 bitmap, 2 posable, 3 light cone
    std::string objectId;
    int32_t selectionCount = 0;  // main scene; 0 in the Pose Editor
    int32_t mode = 0;
    std::string poseObjectId;          // Pose Editor: first object of its scene
    std::string poseSelectedObjectId;  // Pose Editor: the bone selection's object
    std::string poseBoneId;            // Pose Editor: the bone selection's bone

    bool operator==(const TabContext&) const = default;
};

// The context of the document; every field stays 0 or empty without one.
TabContext BuildTabContext(const CQuillfenEditorDoc* doc);

// Every property tab the pane can hold, in the pane's order: the object tabs
// and tool tabs first (group A), the effect tab last (group B).
enum class PropTabKind : int {
    Object,           // "Info"
    LightCone,        // "Light"
    Brush,            // "Brush"
    BrushAdvanced,    // "Advanced"
    Selection,        // "Selection"
    SelectionRefine,  // "Refine"
    Eyedropper,       // "Picker"
    Bone,             // "Bone"
    PoseObject,       // "Pose" (Pose Editor)
    AddBone,          // "Add Bone"
    LinkJoints,       // "Links"
    Pose,             // "Pose" (canvas)
    InpaintBrush,     // "Brush" (inpaint mode)
    StencilBrush,     // "Brush" (Stencil Kitbash)
    Stencil,          // "Kitbash"
    Effect,           // "Effect"
    Count
};

// Whether the tab of that kind is shown for the context; each tab's
// AppliesTo answers with this, so the rules live in one place.
bool PropTabApplies(PropTabKind kind, const TabContext& ctx);
// The tab's title and its width in the tab strip.
const char* PropTabTitle(PropTabKind kind);
int PropTabWidth(PropTabKind kind);
// The fallback page's text for a context in which no tab applies.
const char* PropMessageForContext(const TabContext& ctx);
