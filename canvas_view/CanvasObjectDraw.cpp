#include "canvas_view/CanvasObjectDraw.h"

// Objects are not drawn yet: the scene's object renderer is still to come.
CanvasObjectPainter MakeCanvasObjectPainter(CanvasDocument&) {
    return [](CompositeSurface&, CanvasObject&, float, float, float) {};
}
