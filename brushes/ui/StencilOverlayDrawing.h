#pragma once
// Drawing the stencil overlay for the canvas view: the preview of the placed
// stencil (on a painter already mapping canvas pixels to the view) and the
// gizmo (on a painter in view client pixels), and the cursor of each gizmo part.
#include "brushes/StencilOverlay.h"

#include <QCursor>
#include <QImage>
#include <QRectF>

class QPainter;

// The preview at the overlay's opacity: nothing without a stencil or while
// hidden; the source image with the live transform while a drag runs (the
// placed image is rebuilt at the release), else the placed image.
void DrawStencilOverlay(QPainter& painter, const StencilOverlay& overlay);

// The gizmo on its frame square (StencilGizmo::FrameRect), in client pixels.
void DrawStencilGizmo(QPainter& painter, const RectI& frame);
// One white handle with a blue outline, and the four-way move arrow.
void DrawStencilGizmoHandle(QPainter& painter, const QRectF& rect, float radius);
void DrawStencilGizmoArrow(QPainter& painter, const QRectF& rect);

// The cursor over a gizmo part; false over none (the brush cursor then).
bool StencilGizmoCursor(StencilGizmoHit hit, Qt::CursorShape& shape);

// A bitmap as a premultiplied image for drawing, converted once per bitmap
// and kept while the bitmap lives (the last few are remembered).
QImage StencilPreviewImage(const BitmapPtr& bitmap);
