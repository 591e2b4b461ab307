#pragma once
// Drawing one object onto a composite surface: the per-object pipeline (base
// image, warp, mask plane, filters) with each stage cached on the object, the
// rotated draw with opacity, and the blended or clipped draw through a
// temporary layer bitmap. Bitmaps are straight BGRA; the surface is premultiplied.
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "scene/CanvasObject.h"

#include <vector>

class CanvasDocument;

// Set by the canvas view while a resize handle is dragged: objects with a
// light cone, filters or a warp then reuse their frozen images, stretched.
extern bool ScaleDragActive;

// One entry of the draw list: an object and the order of its layer.
struct Drawable {
    CanvasObject* object = nullptr;
    int32_t layerOrder = 0;
};
