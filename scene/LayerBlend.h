#pragma once
// Puts a layer bitmap (an object already rotated into its own straight BGRA
// bitmap) onto a premultiplied CompositeSurface at an origin, with a blend
// mode and an opacity. Normal is a plain source-over draw; Photo-Bash Blend
// mixes blurred backdrop and layer; every other mode writes the surface's
// pixels directly, through a four-pixel kernel or pixel by pixel.
#include "platform/Bitmap.h"
#include "platform/CompositeSurface.h"
#include "scene/CanvasObject.h"

#include <cstdint>

void DrawLayerWithBlend(CompositeSurface& surface, const Bitmap& layer, float originX, float originY, int mode,
                        float opacity, const PhotoBashParams& photoBash);

// True for the modes that have a four-pixel kernel.
bool HasBlendKernel(int mode);

// The rectangle [x0, x1) x [y0, y1) of the surface, already clipped to it and
// to the layer; surface pixel (x, y) pairs with layer pixel (x - ox, y - oy).
struct BlendRect {
    int ox = 0, oy = 0;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Places a layer of the given size with its top-left at the origin truncated
// toward zero (-0.5 lands on column 0): r receives that corner and the part
// on the surface. False when nothing lies on it or the origin is not finite;
// the bounds are worked out in doubles before any integer conversion.
bool PlaceLayerOnSurface(const CompositeSurface& surface, int layerWidth, int layerHeight, float originX,
                         float originY, BlendRect& r);

// Opacity clamped to [0, 1]; NaN gives 0.
float ClampOpacity(float opacity);

// Four-pixel path. Surface premultiplied, layer straight. Per group of four:
// Cb = premultiplied / max(ab, 1e-6) (0 where ab <= 0), B = kernel(Cb, Cs) with
// divisors floored at 1e-6, the source-over composite divided by max(ao, 1e-6)
// and multiplied back by ao, every value x 255 clamped and rounded half to
// even. Pixels with as <= 0 keep their bytes. The 1 to 3 pixels left at the
// end of a row take the per-pixel composite. Modes without a kernel go to
// BlendPixelRows. Both paths run 4, 8 or 16 lanes at a time, as the CPU
// allows; the lane count changes no result.
void BlendLayerSimd(CompositeSurface& surface, const uint8_t* layer, int64_t layerPitch, const BlendRect& r, int mode,
                    float opacity);

// Per-pixel path: Cb = byte / 255 x (1 / ab), the composite of
// CompositePixelWithBlend, bytes = clamp(C x ao, 0, 1) x 255 + 0.5 truncated.
// Pixels with as <= 0 are untouched. Dissolve replaces the pixel by the layer's
// colour at alpha 255 where as > DissolveThreshold(x, y).
void BlendPixelRows(CompositeSurface& surface, const uint8_t* layer, int64_t layerPitch, const BlendRect& r, int mode,
                    float opacity);

// Dissolve's dither threshold in [0, 1] for surface column x, row y.
float DissolveThreshold(uint32_t x, uint32_t y);

// Plain scalar versions of the two paths, one pixel at a time, for tests and benchmarks.
void BlendLayerSimdReference(CompositeSurface& surface, const uint8_t* layer, int64_t layerPitch, const BlendRect& r,
                             int mode, float opacity);
void BlendPixelRowsReference(CompositeSurface& surface, const uint8_t* layer, int64_t layerPitch, const BlendRect& r,
                             int mode, float opacity);
