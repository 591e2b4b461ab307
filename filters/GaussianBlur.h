#pragma once
// Gaussian Blur: the recursive Gaussian over the whole image on premultiplied
// pixels; the image grows by the radius on every side. The radius is a
// fraction of the larger side, so there is no scale rule.
#include "platform/Bitmap.h"

#include <cstdint>

struct EffectParams;

struct GaussianBlurParams {
    float radius = 0.05f;  // fraction of max(width, height); 0 or less: no blur
    bool operator==(const GaussianBlurParams&) const = default;
};

// Writes the defaults above and selects the record.
void InitGaussianBlurParams(EffectParams& p);
// The image on a border of r = round(max(w, h) x radius) pixels, blurred by the
// recursive Gaussian premultiplied; offset (-r, -r). An exact copy when r < 1;
// null for another record or an empty source.
BitmapPtr ApplyGaussianBlur(const Bitmap& source, const EffectParams& params, float& offsetX, float& offsetY);
