#pragma once
// How the canvas view draws one object of the main scene: the scene's object
// drawing at a scale and origin. A clipped object is clipped by the object
// below it in its layer and is not drawn without one.
#include "canvas_view/CanvasCompositeCache.h"

class CanvasDocument;

// A painter for the cache and the uncached path that draws objects of scene.
CanvasObjectPainter MakeCanvasObjectPainter(CanvasDocument& scene);
