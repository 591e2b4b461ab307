#pragma once
// The arithmetic of the Move tool's drags: one object moved, rotated or
// resized in its own rotated frame about the opposite corner or edge, a group
// moved, rotated or scaled through the box that holds it, and the marquee's
// overlap test. Each step starts from the snapshot taken at the press, so
// rounding never accumulates. Canvas units, degrees clockwise on screen.
#include "scene/CanvasDocument.h"

#include <string>
#include <vector>

struct TransformSnapshot {
    std::string id;
    ObjectTransform t;
};

// One object: the transform for handle (1 move, 2..9 resize, 10 rotate) when
// the pointer went from the press (pressX, pressY) to (px, py).
ObjectTransform ApplySingleDrag(const ObjectTransform& snap, int handle, float pressX, float pressY, float px,
                                float py);

// A corner resize in the object's own frame: the new size for the local drag
// (ldx, ldy), keeping the aspect ratio (the larger factor wins).
void ResizeFromCorner(int handle, float w, float h, float ldx, float ldy, float& outW, float& outH,
                      float& anchorX, float& anchorY);

struct GroupBox {
    float x = 0, y = 0, width = 0, height = 0;
};

// Several objects: every snapshot transformed for the handle through the
// group box taken at the press. angleOut receives the group rotation (handle 10).
std::vector<ObjectTransform> ApplyGroupDrag(const std::vector<TransformSnapshot>& snaps, const GroupBox& box,
                                            int handle, float pressX, float pressY, float px, float py,
                                            float* angleOut = nullptr);

struct QuadPoints {
    float x[4], y[4];
};
// Separating-axis overlap of two four-corner shapes, on the axis (ax, ay):
// apart when one projection's minimum exceeds the other's maximum; touching overlaps.
bool QuadsOverlap(const QuadPoints& a, const QuadPoints& b, float ax, float ay);
// Whether a convex outline overlaps the axis-aligned rectangle (left, top,
// width, height): the rectangle's two axes and the normal of each outline edge.
bool OutlineOverlapsRect(const QuadPoints& outline, float left, float top, float width, float height);
