#pragma once
// A selection tool's button press, shared by the canvas view and the Pose
// Editor view: both start the same gesture on their own scene's selection,
// each in its own coordinates.
class CanvasDocument;
class SelectionToolController;

enum class SelectionPressKind {
    Click,         // magic wand: finished at the press
    PolygonClick,  // polygon or curve lasso: a vertex added, the rubber band follows the pointer
    Drag,          // rectangle, ellipse, freehand: the view captures the mouse until the release
};

// Switches the controller to the tool's shape, commits a pending shape, and
// starts the gesture at (x, y) in scene pixels with the combine operation of
// the modifiers. Pushes the selection's undo step where the gesture begins.
SelectionPressKind PressSelectionTool(CanvasDocument& scene, SelectionToolController& controller,
                                      int tool, int x, int y, bool shift, bool alt);
