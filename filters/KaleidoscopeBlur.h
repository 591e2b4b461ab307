#pragma once
// Kaleidoscope Blur: the object's colours smeared along the contour lines of
// its silhouette (lines of equal distance from the edge); alpha and size kept.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct KaleidoscopeBlurParams {
    float width = 8;  // half-length r = trunc(max(width, 0) + 0.5) of the sampling line, 2r + 1 samples
    bool operator==(const KaleidoscopeBlurParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitKaleidoscopeBlurParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Width becomes max(f x width, 0).
void ScaleKaleidoscopeBlurParams(EffectParams& p, float f);
// Each pixel with alpha above 0 becomes the alpha-weighted mean of 2r + 1
// bilinear samples along the contour of the distance field through it; alpha,
// transparent pixels and size are kept, offset (0, 0). An exact copy when
// r < 1. Null for another record or an empty source.
BitmapPtr ApplyKaleidoscopeBlur(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
