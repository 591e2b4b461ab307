#include "canvas_view/SelectionPress.h"

#include "canvas_view/ToolDispatch.h"
#include "scene/CanvasDocument.h"
#include "selection/SelectionToolController.h"

#include <algorithm>

SelectionPressKind PressSelectionTool(CanvasDocument& scene, SelectionToolController& c, int tool, int x,
                                      int y, bool shift, bool alt) {
    scene.EnsureSelectionMask();
    const int kind = SelectionShapeForTool(tool);
    if (kind != c.kind) {
        if (c.dragging || c.polygonOpen) c.Cancel();
        c.kind = kind;
    }
    const SelectionToolSettings& settings = GetSelectionToolSettings();
    c.edgeOptions = SelectionEdgeOptionsFromSettings(settings);
    if (c.pending.kind != kSelectionShapeNone) c.Commit();
    const int op = SelectionCombineOpForModifiers(shift, alt, settings);
    switch (kind) {
    case kSelectionToolMagicWand:
        scene.PushSelectionUndo();
        c.tolerance = std::clamp(settings.tolerance, 0, 255);
        if (c.pending.kind == kSelectionShapeMagicWand) {
            c.pending.tolerance = c.tolerance;
            c.Commit();
        }
        c.Click(x, y, op);
        return SelectionPressKind::Click;
    case kSelectionToolPolygon:
    case kSelectionToolCurveLasso:
        if (!c.polygonOpen) scene.PushSelectionUndo();
        c.Click(x, y, op);
        return SelectionPressKind::PolygonClick;
    default:
        scene.PushSelectionUndo();
        c.BeginDrag(x, y, op);
        return SelectionPressKind::Drag;
    }
}
