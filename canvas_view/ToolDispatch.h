#pragma once
// Which handler of the canvas view a tool's mouse input goes to. The view
// reads the document's tool at every message and switches on this.
enum class CanvasInputRoute {
    None,        // Refine: the canvas ignores the input
    Eyedropper,
    Stencil,     // the stencil overlay first, then as a paint tool
    Paint,
    Selection,
    Move,        // Move and the Pose Editor's bone tools 3, 4, 5, and unknown ids
    Pose,
    Warp,        // Skew and Distort
    Light,
};

CanvasInputRoute RouteForTool(int toolId);
bool IsBrushTool(int toolId);      // 9..17, 26, 27
bool IsSelectionTool(int toolId);  // 18..25
// The selection controller's shape for a selection tool; 0 (rectangle) for any other id.
int SelectionShapeForTool(int toolId);
