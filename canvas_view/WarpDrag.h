#pragma once
// The Skew and Distort tools' arithmetic on an object's warp quad: corner
// and edge handles in client pixels, the convexity test, and a corner or edge
// drag that never folds the quad (cut back to the last convex shape).
#include "scene/CanvasObject.h"

struct QuadHandles {
    float cx[4], cy[4];  // corners in client pixels (top-left, top-right, bottom-right, bottom-left)
    float mx[4], my[4];  // edge midpoints: top, right, bottom, left
};

// Client positions of the handles of the object's quad at the zoom and origin.
QuadHandles ComputeQuadHandles(const CanvasObject& o, float zoom, float originX, float originY);
// The handle within 7 pixels of (px, py): 0..3 corners, 4..7 edges (later
// handles win ties), or -1.
int PickQuadHandle(const QuadHandles& h, float px, float py);
// Inside the client outline through the four corners, edges included.
bool InsideQuadOutline(const QuadHandles& h, float px, float py);

void LerpQuad(const Quad& current, const Quad& target, float t, Quad& out);
// All non-zero turns of the corner sequence have the same sign (collinear counts as convex).
bool IsQuadConvex(const Quad& q);

// The quad after dragging handle (0..7) to the fractions (f, g) of the
// object's unrotated frame. skew moves the opposite corner by the opposite
// amount. A fold is cut back by bisection between current and the target.
Quad DragQuadHandle(const Quad& current, const Quad& start, int handle, float f, float g, bool skew);
