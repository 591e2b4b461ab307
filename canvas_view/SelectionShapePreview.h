#pragma once
// The selection shape the user is dragging or clicking, as the canvas view
// outlines it in client pixels: the rectangle or ellipse of a drag, the
// freehand path, and the polygon or curve lasso with its rubber band to the
// cursor and a square on every clicked vertex.
#include "platform/Raster.h"

#include <vector>

class SelectionToolController;

struct SelectionShapePreview {
    enum Kind { kNone, kRectangle, kEllipse, kPolyline };
    Kind kind = kNone;
    RectF rect;                   // kRectangle and kEllipse
    std::vector<PointF> points;   // kPolyline
    std::vector<PointF> squares;  // top-left corners of the 5 x 5 vertex squares
};

// The outline of the controller's shape in progress with the cursor at canvas
// (cursorX, cursorY). A rectangle or ellipse of zero extent and a path of
// fewer than 2 points show nothing; the magic wand never shows a shape.
SelectionShapePreview BuildSelectionShapePreview(const SelectionToolController& c, float cursorX, float cursorY,
                                                 float zoom, float originX, float originY);
