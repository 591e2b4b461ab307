#pragma once
// Drawing of the object transform frame, shared by every view that shows
// one: the dashed frame with its rotation stem and nine handles, and the
// handle-less half-transparent frame. The geometry and the hit test are in
// canvas_view/TransformHandles.h.
#include "canvas_view/TransformHandles.h"

class QPainter;

// The frame around r (grown by the style's margin) turned by angle degrees
// about the pivot (the frame's centre when hasPivot is false).
void DrawObjectTransformFrame(QPainter& g, const TransformHandleStyle& s, const FrameRect& r, float angle,
                              bool hasPivot = false, float px = 0, float py = 0);
// The same frame without stem and handles, half transparent.
void DrawObjectFrameSimple(QPainter& g, const TransformHandleStyle& s, const FrameRect& r, float angle,
                           bool hasPivot = false, float px = 0, float py = 0);
