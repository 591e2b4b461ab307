#pragma once
// Gaussian Bevel: the alpha channel, disk-blurred, taken as a height field
// lit from one direction; edges facing the light brighten, edges facing away
// darken. Size kept.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct GaussianBevelParams {
    float width = 8;     // pixels, radius of the disk that turns alpha into height
    float softness = 2;  // pixels, radius of the disk that softens the shading
    float strength = 1;  // used clamped to [0, 1]
    float angle = 135;   // light direction in degrees
    bool operator==(const GaussianBevelParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitGaussianBevelParams(EffectParams& p);
// Rescale on object resize; nothing unless the record is its own.
// Width becomes max(f x width, 0); the rest stays.
void ScaleGaussianBevelParams(EffectParams& p, float f);
// Same size, offset (0, 0), alpha and transparent pixels kept; a copy when
// the width rounds below 1 or the strength is 0. Null for another record or an
// empty source.
BitmapPtr ApplyGaussianBevel(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
