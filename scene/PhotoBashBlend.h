#pragma once
// "Photo-Bash Blend": a pasted layer keeps its own detail (its difference from
// its blur) and takes its low frequencies from the blurred backdrop around it.
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"

// Mixes the layer (straight BGRA, top-left at the origin, truncated toward
// zero) into the premultiplied surface. Radii are clamped to [1, 254],
// opacity and mix to [0, 1]. Where the layer covers a pixel the surface alpha
// becomes 255; uncovered pixels are untouched.
void DrawLayerBackdropBlur(CompositeSurface& surface, const Bitmap& layer, float originX, float originY, float opacity,
                           int bgRadius, int fgRadius, float mix);
