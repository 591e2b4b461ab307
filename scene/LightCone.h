#pragma once
// The spotlight render of a light-cone object: an opaque straight-alpha BGRA
// bitmap lit inside the cone with the tint and ambient grey everywhere else.
#include "platform/Bitmap.h"
#include "scene/CanvasObject.h"

// Renders the light at width x height (each rounded half away from zero, at
// least 1). Null when the size exceeds the bitmap caps or memory is short.
BitmapPtr RenderLightCone(const LightConeParams& params, float width, float height);
