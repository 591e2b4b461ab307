#include "canvas_view/ToolDispatch.h"

CanvasInputRoute RouteForTool(int t) {
    if (t == 25) return CanvasInputRoute::None;
    if (t == 1) return CanvasInputRoute::Eyedropper;
    if (t == 16) return CanvasInputRoute::Stencil;
    if (IsBrushTool(t)) return CanvasInputRoute::Paint;
    if (t >= 18 && t <= 24) return CanvasInputRoute::Selection;
    if (t == 2) return CanvasInputRoute::Pose;
    if (t == 6 || t == 7) return CanvasInputRoute::Warp;
    if (t == 8) return CanvasInputRoute::Light;
    return CanvasInputRoute::Move;
}

bool IsBrushTool(int t) { return (t >= 9 && t <= 17) || t == 26 || t == 27; }

bool IsSelectionTool(int t) { return t >= 18 && t <= 25; }

int SelectionShapeForTool(int t) {
    switch (t) {
    case 19: return 1;
    case 20: return 6;
    case 21: return 3;
    case 22: return 2;
    case 23: return 4;
    case 24: return 5;
    default: return 0;
    }
}
