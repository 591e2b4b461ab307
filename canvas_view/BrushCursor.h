#pragma once
// The brush tools' own cursor on the canvas view without a window: which
// marks a tool shows, the circle's radius at the zoom, the rectangle to
// repaint around the cursor (and around the clone source), the grey that
// stands out from the pixels below, and where the clone source and its
// preview patch lie.
#include "platform/Raster.h"
#include "platform/RectI.h"

#include <cstdint>

class BrushEngine;

// What the cursor shows for a tool.
struct BrushCursorLook {
    bool circle = false;  // the circle of the brush size
    int crossArm = 0;     // half-length of the centre cross in client pixels, 0 for none
    bool operator==(const BrushCursorLook&) const = default;
};

// Brush tools (9 to 17, 26, 27) show the circle; the Paint, Mixer and Recolor
// brushes (9, 10, 15) show nothing while Alt picks a colour; the clone brushes
// (13, 14) add a cross of 10 while Alt sets the source; the Stencil Kitbash
// tool (16) adds a cross of 4 and shows nothing over its stencil's gizmo.
BrushCursorLook BrushCursorLookFor(int toolId, bool altDown, bool overStencilGizmo);

// Radius of the brush circle in client pixels: half the size at the zoom, at
// least 1.
float BrushCursorRadius(float size, float zoom);

// The client rectangle a cursor at (cx, cy) paints into: ceil(size / 2 x
// zoom) but at least 16 pixels around the centre, plus a pixel for the pen
// (left, top) and two (right, bottom, which are exclusive).
RectI BrushCursorBounds(float size, float zoom, int cx, int cy);

// The same reach around a client point given in floats (the clone source),
// rounded outwards.
RectI BrushCursorBoundsAt(float size, float zoom, float cx, float cy);

// The smallest rectangle holding both; an empty one is ignored.
RectI UniteRects(const RectI& a, const RectI& b);

// The pen of the brush circle: dark over a light background (luminance above
// 0.5), light otherwise.
uint32_t BrushCursorPenColour(float luminance);

// The mean luminance (0.299 R + 0.587 G + 0.114 B) / 255 of the pixels of a
// B, G, R, A buffer in the 9 x 9 window around (x, y), cut to the buffer; 0
// for an empty window or no pixels.
float MeanLuminanceAround(const uint8_t* pixels, int width, int height, int strideBytes, int x, int y);

// The canvas point the clone brushes copy from while the cursor is at canvas
// (x, y): the cursor minus the stored offset when the source follows the
// cursor, else the fixed source point. False without a source.
bool CloneSourcePoint(const BrushEngine& engine, float x, float y, PointF& source);

// The side of the clone source patch for a brush of this size.
int ClonePatchSide(float size);

// The client rectangle of the n x n source patch previewed under a cursor at
// canvas (x, y): its canvas top-left is floor(cursor - n / 2 + 0.5) on each axis.
RectF ClonePatchClientRect(float x, float y, int n, float zoom, float originX, float originY);
